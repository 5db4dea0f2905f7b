// The installed anti-freeze instance and its event dispatch.
#include "net/NetAntiFreeze.h"

#include "platform/EventQueue.h"

#include <atomic>

namespace {
std::atomic<TNetAntiFreezeBase*> Installed{nullptr};
}

TNetAntiFreezeBase::TNetAntiFreezeBase() {
    TNetAntiFreezeBase* none = nullptr;
    Installed.compare_exchange_strong(none, this);
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() {
    TNetAntiFreezeBase* self = this;
    Installed.compare_exchange_strong(self, nullptr);
}

TNetAntiFreezeBase* TNetAntiFreezeBase::Instance() {
    return Installed.load();
}

bool TNetAntiFreezeBase::ShouldUse() {
    TNetAntiFreezeBase* a = Installed.load();
    return a && a->Active && IsGuiThread();
}

void TNetAntiFreezeBase::DoProcess(bool idle, bool overrideIdle) {
    if (!ShouldUse())
        return;
    TNetAntiFreezeBase* a = Installed.load();
    if (idle || !a->OnlyWhenIdle || overrideIdle)
        a->Process();
}

void TNetAntiFreeze::Process() {
    // The event layer offers no "one event only" dispatch; both settings
    // dispatch what is pending, which keeps the window serviced either way.
    ProcessPendingEvents();
}
