// The cancelling anti-freeze; see SendCancel.h.
#include "workflow/SendCancel.h"

TSendAntiFreeze::TSendAntiFreeze() {
    // Uploads call the anti-freeze after every write, not only when idle:
    // a fast connection is never idle, and the window must still repaint.
    OnlyWhenIdle = false;
    IdleTimeOut = 10;
}

void TSendAntiFreeze::Reset() {
    FCancelRequested = false;
    FHold = false;
}

void TSendAntiFreeze::CheckCancel() const {
    if (FCancelRequested && !FHold)
        throw ESendCancelled();
}

void TSendAntiFreeze::Process() {
    auto now = std::chrono::steady_clock::now();
    if (now - FLast >= std::chrono::milliseconds(5)) {
        FLast = now;
        TNetAntiFreeze::Process();
    }
    CheckCancel();
}
