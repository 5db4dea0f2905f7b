// Parses the quillet-send command line; see CommandLine.h.
#include "cli/CommandLine.h"

#include "base/Exception.h"
#include "base/Translate.h"
#include "mail/message/NetAddressCheck.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The options that take a value, and where each one goes.
std::string* ValueSlot(TCliOptions& o, const std::string& name) {
    static const std::map<std::string, std::string TCliOptions::*> slots = {
        {"--to", &TCliOptions::To},
        {"--cc", &TCliOptions::Cc},
        {"--subject", &TCliOptions::Subject},
        {"--text", &TCliOptions::Text},
        {"--text-file", &TCliOptions::TextFile},
        {"--wav", &TCliOptions::WavFile},
        {"--save", &TCliOptions::SaveFile},
        {"--settings", &TCliOptions::SettingsFile},
        {"--device", &TCliOptions::Device},
        {"--discover", &TCliOptions::Discover},
    };
    auto it = slots.find(name);
    return it == slots.end() ? nullptr : &(o.*(it->second));
}

double TakeSeconds(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(seconds) || seconds <= 0 ||
        seconds > MaxRecordSeconds)
        throw EUsageError(
            Tr("CommandLine", "--record needs a number of seconds above 0 and at most %1, not '%2'")
                .Arg(static_cast<int>(MaxRecordSeconds), text));
    return seconds;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

} // namespace

TCliOptions ParseCommandLine(const std::vector<std::string>& args) {
    TCliOptions o;
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            o.Help = true;
            return o;
        }
    for (const std::string& a : args)
        if (a == "--version") {
            o.Version = true;
            return o;
        }
    std::map<std::string, bool> seen;
    std::string record;
    const std::map<std::string, bool TCliOptions::*> flags = {
        {"--no-queue", &TCliOptions::NoQueue},  {"--flush", &TCliOptions::Flush},
        {"--outbox", &TCliOptions::ListOutbox}, {"--no-level", &TCliOptions::NoLevel},
        {"--denoise", &TCliOptions::Denoise},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        if (auto flag = flags.find(args[i]); flag != flags.end()) {
            if (seen[args[i]])
                throw EUsageError(Tr("CommandLine", "%1 is given twice").Arg(args[i]));
            seen[args[i]] = true;
            o.*(flag->second) = true;
            continue;
        }
        std::string name = args[i], value;
        bool inlineValue = false;
        if (size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        if (name == "--sign-in" && !inlineValue) {
            if (seen[name])
                throw EUsageError(Tr("CommandLine", "%1 is given twice").Arg(name));
            seen[name] = o.SignIn = true;
            continue;
        }
        std::string* slot = name == "--record" ? &record : ValueSlot(o, name);
        if (!slot)
            throw EUsageError(name.rfind("-", 0) == 0
                                  ? Tr("CommandLine", "unknown option %1").Arg(name)
                                  : Tr("CommandLine", "unexpected argument '%1'").Arg(name));
        if (seen[name])
            throw EUsageError(Tr("CommandLine", "%1 is given twice").Arg(name));
        seen[name] = true;
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw EUsageError(Tr("CommandLine", "%1 needs a value").Arg(name));
            value = args[++i];
        }
        *slot = value;
    }
    auto given = [&seen](const char* name) { return seen.count(name) && seen.at(name); };
    if (given("--discover")) {
        if (seen.size() > 1)
            throw EUsageError(Tr("CommandLine", "--discover takes no other option"));
        if (o.Discover.find('@') == std::string::npos)
            throw EUsageError(Tr("CommandLine", "--discover needs an e-mail address"));
        o.Send = false;
        return o;
    }
    if (o.Flush || o.ListOutbox) {
        // The outbox commands send what is queued; nothing new is made.
        if (o.Flush && o.ListOutbox)
            throw EUsageError(Tr("CommandLine", "give --flush or --outbox, not both"));
        for (const auto& [name, given] : seen)
            if (given && name != "--settings" && name != "--flush" && name != "--outbox")
                throw EUsageError(Tr("CommandLine", "%1 takes no %2")
                                      .Arg(o.Flush ? "--flush" : "--outbox", name));
        o.Send = false;
        return o;
    }
    // --sign-in alone (or with --settings) signs in and sends nothing.
    if (o.SignIn && seen.size() == 1 + (given("--settings") ? 1 : 0)) {
        o.Send = false;
        return o;
    }
    if (o.To.empty())
        throw EUsageError(Tr("CommandLine", "--to is missing"));
    // Header fields are one line; a line break would end up in the header.
    for (const char* name : {"--to", "--cc", "--subject"})
        if (ValueSlot(o, name)->find_first_of("\r\n") != std::string::npos)
            throw EUsageError(Tr("CommandLine", "%1 must be one line").Arg(name));
    // The workflow's own checks, with its field names, before a take is made.
    try {
        CheckRecipientText(o.To, Tr("Fields", "To field"));
        CheckRecipientText(o.Cc, Tr("Fields", "Cc field"));
        CheckHeaderText(Tr("Fields", "subject"), o.Subject);
    } catch (const ENetInvalidAddress& e) {
        throw EUsageError(e.Message);
    }
    if (seen["--text"] && seen["--text-file"])
        throw EUsageError(Tr("CommandLine", "give --text or --text-file, not both"));
    if (seen["--wav"] == seen["--record"])
        throw EUsageError(Tr("CommandLine", "give either --wav or --record"));
    if (seen["--wav"] && o.WavFile.empty())
        throw EUsageError(Tr("CommandLine", "--wav needs a file name"));
    if (seen["--device"] && (o.Device.empty() || !seen["--record"]))
        throw EUsageError(Tr("CommandLine", "--device needs a device name and goes with --record"));
    if (seen["--save"] && o.SaveFile.empty())
        throw EUsageError(Tr("CommandLine", "--save needs a file name"));
    if (seen["--record"])
        o.RecordSeconds = TakeSeconds(record);
    return o;
}

std::string UsageText() {
    return Tr("CommandLine",
              "Usage: quillet-send --to ADDR [--cc ADDR] [--subject S]\n"
              "                    [--text T | --text-file F] (--wav FILE | --record SECONDS)\n"
              "                    [--save FILE.eml] [--no-queue] [--settings FILE]\n"
              "                    [--device NAME] [--no-level] [--denoise]\n"
              "       quillet-send --sign-in [--settings FILE] [--to ADDR and the rest]\n"
              "       quillet-send --discover ADDRESS\n"
              "       quillet-send (--flush | --outbox) [--settings FILE]\n"
              "Compresses a voice recording with lame and sends it as a mail the way the\n"
              "settings file says (SMTP, Direct or MAPI), or saves the mail with --save.\n"
              "A mail that cannot be sent now for a passing reason waits in the Outbox.\n"
              "\n"
              "  --to ADDR          recipients (an address list)\n"
              "  --cc ADDR          copy recipients\n"
              "  --subject S        the subject\n"
              "  --text T           the message text\n"
              "  --text-file F      the message text from file F (\"-\": standard input),\n"
              "                     at most 1 MB (1048576 bytes)\n"
              "  --wav FILE         send this WAV recording (the file is not changed)\n"
              "  --record SECONDS   record that long from the capture device of the settings\n"
              "  --device NAME      record from this ALSA capture device (e.g. default, pulse,\n"
              "                     plughw:CARD=USB,DEV=0)\n"
              "  --no-level         send the voice as recorded: no levelling, no trimming\n"
              "  --denoise          reduce background noise before compressing\n"
              "  --save FILE.eml    write the mail to FILE.eml instead of sending it\n"
              "  --no-queue         do not put a mail that cannot be sent now in the Outbox\n"
              "  --flush            try every mail in the Outbox now\n"
              "  --outbox           list the mails in the Outbox, one a line\n"
              "  --settings FILE    settings file (default: quillet.ini beside the program)\n"
              "  --sign-in          sign in to the OAuth 2.0 service of the settings first:\n"
              "                     shows an address and a code to enter in any browser, or\n"
              "                     an address to open on this computer\n"
              "  --discover ADDRESS print the server settings proposed for ADDRESS as\n"
              "                     settings lines; status 0 found, 3 not found\n"
              "  -h, --help         show this text\n"
              "  --version          show the version\n"
              "\n"
              "Exit status: 0 sent or saved, 1 usage, 2 recording or encoder,\n"
              "3 delivery or cancelled (--flush: some refused for good), 4 settings,\n"
              "75 in the Outbox for later (--flush: some still wait).\n");
}

std::string MessageBody(const TCliOptions& options) {
    if (options.TextFile.empty())
        return WithCrLf(options.Text);
    const bool standardInput = options.TextFile == "-";
    std::FILE* in = standardInput ? stdin : std::fopen(options.TextFile.c_str(), "rb");
    if (!in)
        throw EUsageError(Tr("CommandLine", "cannot read the text file %1: %2")
                              .Arg(options.TextFile, SystemErrorText(errno)));
    // One byte past the limit tells a text that is too long; an endless
    // source (/dev/zero, a pipe from yes) is not read further.
    std::string text;
    char buffer[8192];
    size_t n;
    while (text.size() <= MaxTextFileBytes &&
           (n = std::fread(buffer, 1, std::min(sizeof buffer, MaxTextFileBytes + 1 - text.size()),
                           in)) > 0)
        text.append(buffer, n);
    // A directory opens, then fails on the first read.
    const int err = std::ferror(in) ? errno : 0;
    if (!standardInput)
        std::fclose(in);
    if (err != 0)
        throw EUsageError(Tr("CommandLine", "cannot read the text file %1: %2")
                              .Arg(options.TextFile, SystemErrorText(err)));
    if (text.size() > MaxTextFileBytes)
        throw EUsageError(
            (standardInput
                 ? Tr("CommandLine", "the text on standard input is larger than 1 MB (%1 bytes)")
                       .Arg(MaxTextFileBytes)
                 : Tr("CommandLine", "the text file %1 is larger than 1 MB (%2 bytes)")
                       .Arg(options.TextFile, MaxTextFileBytes)));
    return WithCrLf(text);
}

void CheckSaveFolder(const TCliOptions& options) {
    if (options.SaveFile.empty())
        return;
    const std::filesystem::path parent = std::filesystem::path(options.SaveFile).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    struct stat st;
    int err = 0;
    if (::stat(folder.c_str(), &st) != 0)
        err = errno;
    else if (!S_ISDIR(st.st_mode))
        err = ENOTDIR;
    else if (::access(folder.c_str(), W_OK | X_OK) != 0)
        err = errno;
    if (err != 0)
        throw EUsageError(Tr("CommandLine", "--save: cannot write into the folder %1: %2")
                              .Arg(folder, SystemErrorText(err)));
}
