// quillet-send: records or takes a WAV file, compresses it and sends it as
// a voice mail the way the settings file says, or sends what waits in the
// outbox, from the command line and without a display (Qt Core only).
// Signals cancel a running send.
#include "cli/AccountCommands.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/OutboxCommand.h"
#include "cli/SendCommand.h"
#include "platform/TerminationSignals.h"
#include "platform/Translations.h"

#include <QCoreApplication>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A write past the file size limit must fail with EFBIG and end the take
    // with a message, not end the program and leave a part of it behind.
    std::signal(SIGXFSZ, SIG_IGN);
    // First, so that the usage and its errors are in the user's language.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("quillet-send");
    // Qt takes the environment's locale; numbers (--record 2.5, the sizes
    // printed) keep the C form whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    InstallTranslations();
    TCliOptions options;
    std::string body;
    try {
        options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (!options.Help && !options.Version && options.Send) {
            CheckSaveFolder(options);
            body = MessageBody(options);
        }
    } catch (const EUsageError& e) {
        std::fprintf(stderr, "quillet-send: %s\n%s", e.Message.c_str(), UsageText().c_str());
        return esUsage;
    }
    if (options.Help) {
        std::fputs(UsageText().c_str(), stdout);
        return esDone;
    }
    if (options.Version) {
        std::puts("quillet-send " QUILLET_VERSION);
        return esDone;
    }
    if (!options.Discover.empty())
        return RunDiscover(options);
    if (options.Flush || options.ListOutbox) {
        TOutboxCommand outbox(std::move(options));
        QuitOnTerminationSignals([&outbox] { outbox.Cancel(); });
        return outbox.Run();
    }
    // A signal ends whatever runs: the sign-in, then the send.
    std::function<void()> cancelSignIn;
    TSendCommand* running = nullptr;
    QuitOnTerminationSignals([&] {
        if (cancelSignIn)
            cancelSignIn();
        if (running)
            running->Cancel();
    });
    if (options.SignIn) {
        const int status =
            RunSignIn(options, [&cancelSignIn](std::function<void()> f) { cancelSignIn = f; });
        if (status != esDone || !options.Send)
            return status;
    }
    TSendCommand command(std::move(options), std::move(body));
    running = &command;
    return command.Run();
}
