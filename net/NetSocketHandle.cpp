// Socket handle operations over the process-wide stack.
#include "net/NetSocketHandle.h"

#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketError.h"

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

TNetSocketHandle::~TNetSocketHandle() {
    if (!HandleAllocated())
        return;
    // A handle may outlive the last component (and so the stack): the
    // descriptor is still released.
    if (TNetStack::Exists())
        CloseSocket();
    else
        ::close(FHandle);
}

void TNetSocketHandle::AllocateSocket(int type, int protocol, int family) {
    CloseSocket();
    TNetSocket s = TNetStack::Instance().CreateSocket(family, type, protocol);
    if (s == NetInvalidSocket)
        throw ENetInvalidSocket();
    FHandle = s;
    FFamily = family;
}

void TNetSocketHandle::Bind() {
    TNetStack& stack = TNetStack::Instance();
    if (ClientPortMin != 0 && ClientPortMax != 0 && Port == 0) {
        // A range: the first free port from the top down.
        for (int p = ClientPortMax; p >= ClientPortMin; --p)
            if (stack.Bind(FHandle, IP, p) == 0) {
                Port = p;
                return;
            }
        throw ENetCouldNotBindSocket();
    }
    if (stack.Bind(FHandle, IP, Port) == 0)
        return;
    if (stack.LastError() == WSAEADDRINUSE)
        throw ENetCouldNotBindSocket();
    TNetStack::RaiseSocketError(stack.LastError());
}

void TNetSocketHandle::Connect() {
    TNetStack& stack = TNetStack::Instance();
    stack.CheckForSocketError(stack.Connect(FHandle, PeerIP, PeerPort));
}

void TNetSocketHandle::CloseSocket(bool shutdownFirst) {
    if (!HandleAllocated())
        return;
    TNetSocket s = FHandle;
    FHandle = NetInvalidSocket;
    TNetStack& stack = TNetStack::Instance();
    // Failures of either call change nothing for the caller: the socket is gone.
    if (shutdownFirst)
        stack.Shutdown(s, SHUT_WR);
    stack.Close(s);
}

void TNetSocketHandle::Reset() {
    CloseSocket();
    IP.clear();
    Port = 0;
    PeerIP.clear();
    PeerPort = 0;
}

ssize_t TNetSocketHandle::Send(const void* data, size_t count) {
    return TNetStack::Instance().Send(FHandle, data, count);
}

ssize_t TNetSocketHandle::Receive(void* buffer, size_t count) {
    return TNetStack::Instance().Receive(FHandle, buffer, count);
}

int64_t TNetSocketHandle::Unacknowledged() {
    if (!HandleAllocated())
        return 0;
    const int64_t n = TNetStack::Instance().Unacknowledged(FHandle);
    return n < 0 ? 0 : n;
}

ssize_t TNetSocketHandle::SendTo(const std::string& ip, int port, const void* data, size_t count) {
    return TNetStack::Instance().SendTo(FHandle, data, count, ip, port);
}

ssize_t TNetSocketHandle::ReceiveFrom(void* buffer, size_t count, std::string& ip, int& port) {
    return TNetStack::Instance().ReceiveFrom(FHandle, buffer, count, ip, port);
}

bool TNetSocketHandle::Select(int32_t timeout) {
    TNetStack& stack = TNetStack::Instance();
    int r = stack.WaitReadable(FHandle, timeout);
    stack.CheckForSocketError(r);
    return r > 0;
}

bool TNetSocketHandle::Readable(int32_t timeout) {
    return WaitSliced(false, timeout);
}

bool TNetSocketHandle::Writable(int32_t timeout) {
    return WaitSliced(true, timeout);
}

bool TNetSocketHandle::WaitSliced(bool write, int32_t timeout) {
    if (!HandleAllocated())
        throw ENetConnClosedGracefully();
    TNetStack& stack = TNetStack::Instance();
    auto wait = [&](int32_t ms) {
        int r = write ? stack.WaitWritable(FHandle, ms) : stack.WaitReadable(FHandle, ms);
        stack.CheckForSocketError(r);
        return r > 0;
    };
    if (!TNetAntiFreezeBase::ShouldUse())
        return wait(timeout);
    // Every single wait is at most IdleTimeOut long so the window is
    // serviced in between; the anti-freeze runs as idle while nothing came.
    const int32_t idle = std::max<int32_t>(1, TNetAntiFreezeBase::Instance()->IdleTimeOut);
    const bool infinite = timeout == TimeoutInfinite;
    int32_t remaining = std::max<int32_t>(0, timeout);
    for (;;) {
        int32_t slice = infinite ? idle : std::min(remaining, idle);
        bool ready = wait(slice);
        try {
            TNetAntiFreezeBase::DoProcess(!ready);
        } catch (...) {
            CloseSocket(false);
            throw;
        }
        if (ready)
            return true;
        // The event handlers may have closed the socket meanwhile.
        if (!HandleAllocated())
            throw ENetConnClosedGracefully();
        if (!infinite) {
            remaining -= slice;
            if (remaining <= 0)
                return false;
        }
    }
}

void TNetSocketHandle::SetSockOpt(int level, int name, int value) {
    TNetStack& stack = TNetStack::Instance();
    stack.CheckForSocketError(stack.SetSocketOption(FHandle, level, name, value));
}

void TNetSocketHandle::UpdateBindingLocal() {
    TNetStack& stack = TNetStack::Instance();
    stack.CheckForSocketError(stack.GetSocketName(FHandle, IP, Port));
}

void TNetSocketHandle::UpdateBindingPeer() {
    TNetStack& stack = TNetStack::Instance();
    stack.CheckForSocketError(stack.GetPeerName(FHandle, PeerIP, PeerPort));
}
