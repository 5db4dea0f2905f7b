// Termination handling; see Termination.h.
#include "app/Termination.h"

#include "app/Dialogs.h"
#include "app/FormMain.h"
#include "platform/TerminationSignals.h"

namespace {
TFormMain* MainWindow = nullptr;
}

void SetMainWindowForSignals(TFormMain* form) {
    MainWindow = form;
}

void EndOnTerminationSignals() {
    QuitOnTerminationSignals([] {
        CloseDialogsForExit();
        if (MainWindow && MainWindow->SendRunning())
            MainWindow->CancelForExit();
    });
}
