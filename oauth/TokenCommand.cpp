// The token command; see TokenCommand.h.
#include "oauth/TokenCommand.h"

#include "base/Translate.h"
#include "oauth/OAuthError.h"
#include "oauth/TokenResponse.h"
#include "platform/CapturedProcess.h"
#include "platform/ShellWords.h"

namespace {

// What the helper said on its error output, as one short printable text.
std::string Said(const std::string& err) {
    std::string text = err;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    text = PrintableText(text, 300);
    return text.empty() ? Tr("OAuth", "it wrote no reason") : text;
}

std::string SecondsText(int ms) {
    if (ms % 1000 == 0)
        return Tr("OAuth", "%1 seconds").Arg(ms / 1000);
    return Tr("OAuth", "%1 seconds")
        .Arg(std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100));
}

} // namespace

std::string RunTokenCommand(const std::string& commandLine, int timeoutMs,
                            const std::function<void()>& onSlice) {
    std::vector<std::string> argv;
    std::string why;
    if (!SplitShellWords(commandLine, argv, &why))
        throw EOAuthError(Tr("OAuth", "The token command cannot be used: %1.").Arg(why));
    if (argv.empty())
        throw EOAuthError(Tr("OAuth", "The token command is empty."));
    TCapturedOutput out;
    if (!RunCaptured(argv, timeoutMs, onSlice, out))
        throw EOAuthError(Tr("OAuth", "The token command '%1' could not be started.").Arg(argv[0]));
    if (out.TimedOut)
        throw EOAuthError(
            Tr("OAuth", "The token command gave no token within %1.").Arg(SecondsText(timeoutMs)));
    if (out.ExitCode != 0)
        throw EOAuthError(Tr("OAuth", "The token command failed with exit status %1: %2")
                              .Arg(out.ExitCode, Said(out.Err)));
    std::string token = out.Out.substr(0, out.Out.find('\n'));
    if (!token.empty() && token.back() == '\r')
        token.pop_back();
    if (token.empty())
        throw EOAuthError(Tr("OAuth", "The token command printed no token: %1").Arg(Said(out.Err)));
    return token;
}
