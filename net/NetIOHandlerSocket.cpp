// The socket transport: open, connect (steps of the client's connect that
// concern the socket), close, and the byte calls over the handle.
#include "net/NetIOHandlerSocket.h"

#include "net/NetAntiFreeze.h"
#include "net/NetConnect.h"
#include "net/NetConnectRace.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketError.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// How often a write that waits for the peer looks at what it acknowledged.
constexpr int32_t AckCheckMs = 250;
// How much later than the write time-out the kernel's guard ends a
// connection: late enough that the time-out, which names the fault, comes
// first even on a busy machine.
constexpr int32_t UserTimeoutMarginMs = 5000;

} // namespace

TNetIOHandlerSocket::TNetIOHandlerSocket() = default;

TNetIOHandlerSocket::~TNetIOHandlerSocket() {
    Close();
}

void TNetIOHandlerSocket::Open() {
    if (!FBinding)
        FBinding = std::make_unique<TNetSocketHandle>();
    else
        FBinding->Reset();
}

void TNetIOHandlerSocket::Close() {
    ++FCloses;
    if (FBinding)
        FBinding->CloseSocket();
}

void TNetIOHandlerSocket::ConnectClient(const std::string& host, int port,
                                        const std::string& boundIP, int boundPort, int boundPortMin,
                                        int boundPortMax, int32_t timeout) {
    if (!FBinding)
        Open();
    std::vector<std::string> addresses = FHostAddresses;
    if (addresses.empty()) {
        if (!AddressFamilyOf(host))
            DoStatus(TNetStatus::Resolving, host);
        addresses = TNetStack::Instance().ResolveAddresses(host);
    }
    addresses = InterleaveFamilies(addresses);
    DoStatus(TNetStatus::Connecting, addresses.front());
    int32_t limit = TimeoutInfinite;
    if (timeout != TimeoutDefault && timeout != 0)
        limit = timeout;
    else if (TNetAntiFreezeBase::ShouldUse())
        limit = ConnectDefaultTimeoutMs;
    TNetConnectRace race(host, addresses, port);
    race.BoundIP = boundIP;
    race.BoundPort = boundPort;
    race.BoundPortMin = boundPortMin;
    race.BoundPortMax = boundPortMax;
    const unsigned closes = FCloses;
    race.Abandoned = [this, closes] { return FCloses != closes; };
    // Without a limit or a window to service, failures read as those of
    // the blocking connect of old.
    FBinding = race.Run(limit, limit == TimeoutInfinite);
    TNetSocketHandle& b = *FBinding;
    if (!UseNagle)
        b.SetSockOpt(IPPROTO_TCP, TCP_NODELAY, 1);
    ApplyUserTimeout();
    b.UpdateBindingLocal();
    b.UpdateBindingPeer();
}

bool TNetIOHandlerSocket::Connected() {
    return FBinding && FBinding->HandleAllocated();
}

bool TNetIOHandlerSocket::Readable(int32_t timeout) {
    if (!FBinding)
        throw ENetConnClosedGracefully();
    return FBinding->Readable(timeout);
}

ssize_t TNetIOHandlerSocket::Recv(void* buffer, size_t count) {
    if (!Connected())
        throw ENetClosedSocket();
    return FBinding->Receive(buffer, count);
}

ssize_t TNetIOHandlerSocket::Send(const void* data, size_t count) {
    if (!Connected())
        throw ENetClosedSocket();
    TNetStack& stack = TNetStack::Instance();
    for (;;) {
        ssize_t n = FBinding->Send(data, count);
        if (n >= 0 || stack.LastError() != WSAEWOULDBLOCK)
            return n;
        AwaitRoom();
    }
}

void TNetIOHandlerSocket::AwaitRoom() {
    // The limit counts from the last byte the peer acknowledged: a slow
    // reader keeps the write going, one that stopped ends it, however
    // much the kernel still holds.
    using Clock = std::chrono::steady_clock;
    int64_t unacked = FBinding->Unacknowledged();
    auto progress = Clock::now();
    for (;;) {
        int32_t slice = AckCheckMs;
        if (FWriteTimeout > 0) {
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - progress)
                    .count();
            if (spent >= FWriteTimeout) {
                // Part of a command or message may be out: the stream is
                // useless now, and a QUIT after it would only wait again.
                FBinding->CloseSocket(false);
                throw ENetReadTimeout();
            }
            slice = static_cast<int32_t>(std::min<long long>(slice, FWriteTimeout - spent));
        }
        const bool room = FBinding->Writable(slice);
        if (FWriteWaitHook)
            FWriteWaitHook();
        if (room)
            return;
        const int64_t now = FBinding->Unacknowledged();
        if (now < unacked)
            progress = Clock::now();
        unacked = now;
    }
}

void TNetIOHandlerSocket::SetWriteTimeout(int32_t ms) {
    if (ms == FWriteTimeout)
        return;
    FWriteTimeout = ms;
    if (Connected())
        ApplyUserTimeout();
}

void TNetIOHandlerSocket::ApplyUserTimeout() {
    const int32_t guard = FWriteTimeout > 0
                              ? static_cast<int32_t>(std::min<long long>(
                                    INT_MAX, (long long)FWriteTimeout + UserTimeoutMarginMs))
                              : 0;
    // Best effort: a kernel without the option still has the write time-out.
    TNetStack::Instance().SetSocketOption(FBinding->Handle(), IPPROTO_TCP, TCP_USER_TIMEOUT, guard);
}

int64_t TNetIOHandlerSocket::Unacknowledged() {
    return Connected() ? FBinding->Unacknowledged() : 0;
}

int TNetIOHandlerSocket::LastErrorCode() {
    return TNetStack::Instance().LastError();
}

std::string TNetIOHandlerSocket::PeerIP() {
    return FBinding ? FBinding->PeerIP : "";
}
