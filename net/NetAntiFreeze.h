// TNetAntiFreeze: keeps the window serviced while a network call of the GUI
// thread waits. One instance is installed process-wide; the socket waits
// (readability, writability, connect) give it a chance after every slice.
// It dispatches through platform/EventQueue.h and never on any thread but
// the GUI thread.
#pragma once

#include "net/NetComponent.h"

#include <cstdint>

class TNetAntiFreezeBase : public TNetBaseComponent {
public:
    // Installs this instance unless another one already is (the first stays).
    TNetAntiFreezeBase();
    ~TNetAntiFreezeBase() override;
    TNetAntiFreezeBase(const TNetAntiFreezeBase&) = delete;
    TNetAntiFreezeBase& operator=(const TNetAntiFreezeBase&) = delete;

    bool Active = true;
    bool ApplicationHasPriority = true;
    int32_t IdleTimeOut = 250; // ms; longest single socket wait while in use
    bool OnlyWhenIdle = true;

    // Dispatches pending GUI events (all of them, or one).
    virtual void Process() = 0;

    // The installed instance, or null.
    static TNetAntiFreezeBase* Instance();
    // True when an instance is installed, the caller is the GUI thread and
    // the instance is Active.
    static bool ShouldUse();
    // Gives the anti-freeze a chance: processes events when in use and
    // (idle, or not OnlyWhenIdle, or overrideIdle).
    static void DoProcess(bool idle = true, bool overrideIdle = false);
};

class TNetAntiFreeze : public TNetAntiFreezeBase {
public:
    void Process() override;
};
