// One DNS query over TCP; see NetDNSTCP.h. The connect and every wait for
// the reply go through the socket layer's waits, so the anti-freeze keeps
// the window serviced and can end the exchange (the socket handle, local
// to the exchange, closes on the way out).
#include "dns/NetDNSTCP.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "dns/DnsReader.h"
#include "net/NetConnect.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketHandle.h"

#include <algorithm>
#include <chrono>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left of the exchange: TimeoutInfinite without a limit,
// ENetDnsTimedOut once the deadline has passed.
class TDeadline {
public:
    explicit TDeadline(int32_t timeout)
        : Unlimited(timeout < 0), End(Clock::now() + std::chrono::milliseconds(timeout)) {}
    int32_t Left() const {
        if (Unlimited)
            return TimeoutInfinite;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(End - Clock::now()).count();
        if (left <= 0)
            throw ENetDnsTimedOut();
        return static_cast<int32_t>(left);
    }

private:
    bool Unlimited;
    Clock::time_point End;
};

void Connect(TNetSocketHandle& socket, const std::string& ip, int32_t port,
             const TDeadline& deadline) {
    socket.AllocateSocket(SOCK_STREAM, 0, AddressFamilyOf(ip) ? AddressFamilyOf(ip) : AF_INET);
    socket.PeerIP = ip;
    socket.PeerPort = port;
    try {
        ConnectWithTimeout(socket, deadline.Left());
    } catch (const ENetConnectTimeout&) {
        throw ENetDnsTimedOut();
    }
}

void SendQuery(TNetSocketHandle& socket, const std::string& query) {
    const std::string framed = FrameDnsMessage(query);
    size_t sent = 0;
    while (sent < framed.size()) {
        const ssize_t n = socket.Send(framed.data() + sent, framed.size() - sent);
        TNetStack::Instance().CheckForSocketError(n);
        sent += static_cast<size_t>(n);
    }
}

std::string ReadReply(TNetSocketHandle& socket, const TDeadline& deadline) {
    TDnsStreamReader reader;
    char buffer[4096];
    while (!reader.Complete()) {
        if (!socket.Readable(deadline.Left())) {
            deadline.Left(); // raises once the whole time is spent
            continue;        // a slice may end a little early
        }
        const ssize_t n = socket.Receive(buffer, sizeof buffer);
        TNetStack::Instance().CheckForSocketError(n);
        if (n == 0)
            throw ENetDnsResolverError(
                Tr("NetDNSResolver",
                   "Reply over TCP cut short: the connection closed after %1 of %2 bytes")
                    .Arg(reader.Received(), reader.Expected()));
        // A server that sends more than the message is ignored past it.
        reader.Feed(std::string_view(buffer, static_cast<size_t>(n)));
    }
    return reader.Message();
}

} // namespace

std::string FrameDnsMessage(const std::string& message) {
    // Our queries are a few hundred bytes; the prefix cannot say more.
    if (message.size() > 0xFFFF)
        throw ENetDnsResolverError(Tr("NetDNSResolver", "DNS message too long for TCP"));
    std::string framed;
    framed += static_cast<char>(message.size() >> 8);
    framed += static_cast<char>(message.size() & 0xFF);
    return framed + message;
}

size_t TDnsStreamReader::Feed(std::string_view bytes) {
    size_t used = 0;
    if (!HavePrefix) {
        used = std::min(bytes.size(), 2 - Prefix.size());
        Prefix.append(bytes.substr(0, used));
        if (Prefix.size() < 2)
            return used;
        Announced = (size_t(uint8_t(Prefix[0])) << 8) | uint8_t(Prefix[1]);
        HavePrefix = true;
    }
    const size_t take = std::min(bytes.size() - used, Announced - Body.size());
    Body.append(bytes.substr(used, take));
    return used + take;
}

std::string ExchangeDnsOverTcp(const std::string& ip, int32_t port, const std::string& query,
                               int32_t timeout) {
    const TDeadline deadline(timeout);
    TNetSocketHandle socket;
    Connect(socket, ip, port, deadline);
    SendQuery(socket, query);
    std::string reply = ReadReply(socket, deadline);
    socket.CloseSocket();
    return reply;
}
