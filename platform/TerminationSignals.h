// Ends the event loop in order when the desktop session or the user asks
// the program to stop (SIGTERM, SIGINT, SIGHUP), so windows and components
// are released normally and a recording in progress is completed.
#pragma once

// GUI thread, once, after the application object exists.
void QuitOnTerminationSignals();
