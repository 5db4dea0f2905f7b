// How the program ends on a session end or kill request (SIGTERM, SIGINT,
// SIGHUP): a running send or save is cancelled, the open dialogs are
// closed and none opens any more, and the event loop ends, so windows and
// components are released in order (a take in progress is completed).
#pragma once

class TFormMain;

// GUI thread, once, after the application object exists.
void EndOnTerminationSignals();
// The window whose send a signal cancels (null: none yet, or no more).
void SetMainWindowForSignals(TFormMain* form);
