// Ends the event loop in order when the desktop session or the user asks
// the program to stop (SIGTERM, SIGINT, SIGHUP), so windows and components
// are released normally and a recording in progress is completed.
#pragma once

#include <functional>

// GUI thread, once, after the application object exists. onSignal runs on
// the GUI thread for each signal before the event loop is told to quit
// (the program cancels a running send and closes its dialogs there).
void QuitOnTerminationSignals(std::function<void()> onSignal = {});
