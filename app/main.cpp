// Start-up: application title, main window, hidden wait window, event loop.
#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/FormMain.h"
#include "app/FormWait.h"
#include "app/Screenshot.h"
#include "app/Termination.h"
#include "base/Translate.h"
#include "mapi/SMapi.h"
#include "platform/Translations.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

static bool HaveDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wl && *wl);
}

int main(int argc, char** argv) {
    if (!HaveDisplay()) {
        // Qt Core alone, for the message in the user's language.
        QCoreApplication core(argc, argv);
        InstallTranslations();
        std::fputs(Tr("main", "Quillet needs a graphical desktop: no DISPLAY or WAYLAND_DISPLAY "
                              "is set.\nStart it from a desktop session, or under Xvfb (xvfb-run "
                              "scripts/run).\n")
                       .c_str(),
                   stderr);
        return 1;
    }
    TQuilletApplication app(argc, argv);
    InstallTranslations();
    TQuilletApplication::setApplicationName("Quillet");
    TQuilletApplication::setApplicationDisplayName("Quillet");
    // A session end or kill request completes a running recording first.
    EndOnTerminationSignals();
    // Past the file size limit a write fails with EFBIG and the take stops
    // with a message, as on a full disk; the signal would end the program.
    std::signal(SIGXFSZ, SIG_IGN);

    // The default-client bridge is bound before the main window exists; a
    // broken one is reported and the other ways of sending still work.
    GuardHandler([] { LoadMapiLibrary(); });

    int rc = 0;
    GuardHandler([&] {
        auto main = std::make_unique<TFormMain>();
        SetMainWindowForSignals(main.get());
        auto wait = std::make_unique<TFormWait>(main.get());
        SetFormWait(wait.get());
        // A signal during start-up (say, with the first-run message open)
        // has already asked to quit; the loop would not see it any more.
        if (!DialogsClosedForExit()) {
            main->show();
            ArmScreenshot(main.get());
            rc = app.exec();
        }
        SetFormWait(nullptr);
        SetMainWindowForSignals(nullptr);
    });
    UnloadMapiLibrary();
    return rc;
}
