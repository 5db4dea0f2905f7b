// Non-blocking connect waited for in slices; see NetConnect.h.
#include "net/NetConnect.h"

#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketError.h"
#include "net/NetSocketHandle.h"

#include <algorithm>
#include <chrono>

namespace {

// A connect failure as the connect thread of old stored it; the two codes
// that a locally closed socket produces are not reported.
[[noreturn]] void RaiseConnectFailure(TNetSocketHandle& handle, int code) {
    handle.CloseSocket(false);
    if (code == WSAEBADF || code == WSAENOTSOCK)
        throw ENetConnectTimeout();
    throw ENetConnectException(code, SocketErrorMessage(code));
}

} // namespace

void ConnectWithTimeout(TNetSocketHandle& handle, int32_t timeout) {
    using Clock = std::chrono::steady_clock;
    TNetStack& stack = TNetStack::Instance();
    const TNetSocket s = handle.Handle();
    if (stack.SetBlocking(s, false) != 0)
        RaiseConnectFailure(handle, stack.LastError());
    if (stack.Connect(s, handle.PeerIP, handle.PeerPort) != 0) {
        int code = stack.LastError();
        if (code != WSAEINPROGRESS && code != WSAEWOULDBLOCK)
            RaiseConnectFailure(handle, code);

        int32_t slice = ConnectSliceMs;
        if (TNetAntiFreezeBase::ShouldUse())
            slice = std::max<int32_t>(
                1, std::min(TNetAntiFreezeBase::Instance()->IdleTimeOut, ConnectSliceMs));
        const bool infinite = timeout == TimeoutInfinite;
        const auto start = Clock::now();
        bool done = false;
        for (;;) {
            int32_t wait = slice;
            if (!infinite) {
                auto spent =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                        .count();
                int64_t left = static_cast<int64_t>(timeout) - spent;
                if (left <= 0)
                    break;
                wait = static_cast<int32_t>(std::min<int64_t>(left, slice));
            }
            int r = stack.WaitWritable(s, wait);
            if (r < 0)
                RaiseConnectFailure(handle, stack.LastError());
            if (r > 0) {
                done = true;
                break;
            }
            try {
                TNetAntiFreezeBase::DoProcess(true);
            } catch (...) {
                // A cancel: the half-open connect must not stay behind.
                handle.CloseSocket(false);
                throw;
            }
            // An event handler may have closed the socket while we waited.
            if (!handle.HandleAllocated() || handle.Handle() != s)
                throw ENetConnectTimeout();
        }
        if (!done) {
            handle.CloseSocket(false);
            throw ENetConnectTimeout();
        }
        if (int err = stack.PendingError(s))
            RaiseConnectFailure(handle, err);
    }
    if (stack.SetBlocking(s, true) != 0)
        RaiseConnectFailure(handle, stack.LastError());
}
