// Cancelling a send from inside its own waits. The workflow installs a
// TSendAntiFreeze: every socket, DNS, encoder and mail-client wait gives it
// a chance, it dispatches the window's events (the Cancel button among
// them), and when a cancel is pending it raises ESendCancelled right there,
// which unwinds the running stage like any delivery error. GUI thread only.
#pragma once

#include "base/Exception.h"
#include "base/Translate.h"
#include "net/NetAntiFreeze.h"

#include <chrono>

class ESendCancelled : public Exception {
public:
    ESendCancelled() : Exception(Tr("SendWorkflow", "Sending cancelled.")) {}
};

class TSendAntiFreeze : public TNetAntiFreeze {
public:
    TSendAntiFreeze();

    // Asks the running stage to stop at its next wait.
    void RequestCancel() { FCancelRequested = true; }
    bool CancelRequested() const { return FCancelRequested; }
    // Starts a new run: no cancel pending.
    void Reset();
    // While held, a pending cancel raises nothing (the clean-up after a
    // cancel, such as a short QUIT, must be able to wait).
    void HoldCancel(bool hold) { FHold = hold; }
    // Raises ESendCancelled when a cancel is pending and not held.
    void CheckCancel() const;

    // Dispatches events at most every 5 ms while data flows (and at every
    // idle slice), then checks for a cancel.
    void Process() override;

private:
    bool FCancelRequested = false;
    bool FHold = false;
    std::chrono::steady_clock::time_point FLast{};
};

// Marks the workflow busy for one run; a cancel belongs to the run it was
// made in.
struct TSendRunScope {
    bool& Running;
    TSendAntiFreeze& AntiFreeze;
    TSendRunScope(bool& running, TSendAntiFreeze& antiFreeze)
        : Running(running), AntiFreeze(antiFreeze) {
        Running = true;
        AntiFreeze.Reset();
    }
    ~TSendRunScope() {
        Running = false;
        AntiFreeze.Reset();
    }
};
