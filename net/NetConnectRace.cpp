// The connect race; see NetConnectRace.h. Every attempt is a non-blocking
// connect on a socket of its own; one poll waits for all of them, never
// longer than a slice, the start of the next attempt or the deadline.
#include "net/NetConnectRace.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "net/NetAntiFreeze.h"
#include "net/NetConnect.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketError.h"

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

int32_t MsUntil(Clock::time_point t) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count();
    return static_cast<int32_t>(std::clamp<long long>(ms, 0, INT32_MAX));
}

// A socket error's message on one line, for a list of addresses.
std::string OneLine(const std::string& text) {
    std::string out = text;
    for (size_t p; (p = out.find("\r\n")) != std::string::npos;)
        out.replace(p, 2, " ");
    return out;
}

const char* const TimedOut = TR_NOOP("NetConnectRace", "Connect timed out.");

} // namespace

std::vector<std::string> InterleaveFamilies(const std::vector<std::string>& addresses) {
    if (addresses.empty())
        return addresses;
    const int first = AddressFamilyOf(addresses.front());
    std::vector<std::string> same, other, out;
    for (const std::string& a : addresses)
        (AddressFamilyOf(a) == first ? same : other).push_back(a);
    for (size_t i = 0; i < std::max(same.size(), other.size()); ++i) {
        if (i < same.size())
            out.push_back(same[i]);
        if (i < other.size())
            out.push_back(other[i]);
    }
    return out;
}

TNetConnectRace::TNetConnectRace(std::string host, std::vector<std::string> addresses, int port)
    : FHost(std::move(host)), FAddresses(std::move(addresses)), FPort(port),
      FReasons(FAddresses.size()), FCodes(FAddresses.size(), 0) {}

void TNetConnectRace::NoteFailure(size_t index, const std::string& reason, int code) {
    FReasons[index] = reason;
    FCodes[index] = code;
}

void TNetConnectRace::StartNext() {
    const size_t index = FNext++;
    const std::string& ip = FAddresses[index];
    TNetStack& stack = TNetStack::Instance();
    auto socket = std::make_unique<TNetSocketHandle>();
    try {
        const int family = AddressFamilyOf(ip);
        socket->AllocateSocket(SOCK_STREAM, 0, family ? family : AF_INET);
        if (!BoundIP.empty() || BoundPort != 0 || BoundPortMax != 0) {
            socket->IP = BoundIP;
            socket->Port = BoundPort;
            socket->ClientPortMin = BoundPortMin;
            socket->ClientPortMax = BoundPortMax;
            socket->Bind();
        }
    } catch (const ENetSocketError& e) {
        NoteFailure(index, OneLine(e.Message), e.Code);
        return;
    } catch (const ENetException& e) {
        NoteFailure(index, e.Message, WSAEINVAL);
        return;
    }
    socket->PeerIP = ip;
    socket->PeerPort = FPort;
    const TNetSocket s = socket->Handle();
    if (stack.SetBlocking(s, false) != 0 ||
        (stack.Connect(s, ip, FPort) != 0 && stack.LastError() != WSAEINPROGRESS &&
         stack.LastError() != WSAEWOULDBLOCK)) {
        const int code = stack.LastError();
        NoteFailure(index, OneLine(SocketErrorMessage(code)), code);
        return;
    }
    // A connect that completed at once (loopback may) is seen by the next
    // poll as writable, with no wait.
    FAttempts.push_back({std::move(socket), index});
}

std::unique_ptr<TNetSocketHandle> TNetConnectRace::Run(int32_t timeout, bool plainErrors) {
    if (FAddresses.empty())
        TNetStack::RaiseSocketError(WSAHOST_NOT_FOUND);
    TNetStack& stack = TNetStack::Instance();
    int32_t slice = ConnectSliceMs;
    if (TNetAntiFreezeBase::ShouldUse())
        slice = std::max<int32_t>(
            1, std::min(TNetAntiFreezeBase::Instance()->IdleTimeOut, ConnectSliceMs));
    const bool infinite = timeout == TimeoutInfinite || timeout < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeout);
    auto nextStart = Clock::now();
    auto closeAll = [this] { FAttempts.clear(); };
    for (;;) {
        if (!infinite && Clock::now() >= deadline) {
            for (const TAttempt& a : FAttempts)
                NoteFailure(a.Index, Tr("NetConnectRace", TimedOut), 0);
            closeAll();
            RaiseAllFailed(plainErrors);
        }
        // Start attempts that are due: the first, one every AttemptDelayMs,
        // and one at once whenever nothing is in flight.
        while (FNext < FAddresses.size() && (FAttempts.empty() || Clock::now() >= nextStart)) {
            const size_t flying = FAttempts.size();
            StartNext();
            if (FAttempts.size() > flying) {
                nextStart = Clock::now() + std::chrono::milliseconds(AttemptDelayMs);
                break;
            }
        }
        if (FAttempts.empty())
            RaiseAllFailed(plainErrors);

        int32_t wait = slice;
        if (FNext < FAddresses.size())
            wait = std::min(wait, MsUntil(nextStart));
        if (!infinite)
            wait = std::min(wait, MsUntil(deadline));
        std::vector<TNetSocket> sockets;
        for (const TAttempt& a : FAttempts)
            sockets.push_back(a.Socket->Handle());
        std::vector<bool> ready;
        if (stack.WaitAnyWritable(sockets, wait, ready) < 0) {
            const int code = stack.LastError();
            closeAll();
            TNetStack::RaiseSocketError(code);
        }
        bool any = false;
        for (size_t i = 0; i < FAttempts.size();) {
            if (!ready[i]) {
                ++i;
                continue;
            }
            any = true;
            TAttempt& a = FAttempts[i];
            if (const int err = stack.PendingError(a.Socket->Handle())) {
                NoteFailure(a.Index, OneLine(SocketErrorMessage(err)), err);
                FAttempts.erase(FAttempts.begin() + static_cast<long>(i));
                ready.erase(ready.begin() + static_cast<long>(i));
                continue;
            }
            // The winner; the others close as FAttempts goes.
            std::unique_ptr<TNetSocketHandle> winner = std::move(a.Socket);
            closeAll();
            if (stack.SetBlocking(winner->Handle(), true) != 0)
                TNetStack::RaiseSocketError(stack.LastError());
            return winner;
        }
        if (any)
            continue;
        try {
            TNetAntiFreezeBase::DoProcess(true);
        } catch (...) {
            // A cancel: no half-open connect may stay behind.
            closeAll();
            throw;
        }
        if (Abandoned && Abandoned()) {
            closeAll();
            throw ENetConnectTimeout();
        }
    }
}

void TNetConnectRace::RaiseAllFailed(bool plainErrors) {
    if (FAddresses.size() == 1) {
        // One address: the messages a single connect has always given.
        if (FCodes[0] == 0)
            throw ENetConnectTimeout();
        if (FCodes[0] == WSAEBADF || FCodes[0] == WSAENOTSOCK)
            throw ENetConnectTimeout();
        if (plainErrors)
            TNetStack::RaiseSocketError(FCodes[0]);
        throw ENetConnectException(FCodes[0], SocketErrorMessage(FCodes[0]));
    }
    std::string message =
        Tr("NetConnectRace", "Could not connect to %1 at any of its addresses:").Arg(FHost);
    for (size_t i = 0; i < FAddresses.size(); ++i)
        message += "\r\n" + AddressForDisplay(FAddresses[i]) + ": " +
                   (FReasons[i].empty() ? Tr("NetConnectRace", "not tried before the time-out.")
                                        : FReasons[i]);
    // The first address's code stands for the race (one never answered: a
    // time-out).
    throw ENetConnectException(FCodes[0] != 0 ? FCodes[0] : WSAETIMEDOUT, message);
}
