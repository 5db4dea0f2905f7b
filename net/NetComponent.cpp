// Component counting over the stack's user count, and the notifications.
#include "net/NetComponent.h"

#include "net/NetStack.h"

TNetComponent::TNetComponent() {
    TNetStack::AddUser();
}

TNetComponent::~TNetComponent() {
    TNetStack::ReleaseUser();
}

void TNetComponent::DoStatus(TNetStatus status, const std::string& text) {
    if (OnStatus)
        OnStatus(*this, status, text);
}

void TNetComponent::DoWork(bool reading, long long count) {
    if (OnWork)
        OnWork(*this, reading, count);
}
