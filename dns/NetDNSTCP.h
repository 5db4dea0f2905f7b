// DNS over TCP (RFC 1035 4.2.2, RFC 7766 8): one query on a connection of
// its own, framed with a two-byte length, and the one reply read back.
// The resolver uses it when a UDP reply came truncated; judging the reply
// (identifier, question, sections) stays the resolver's job.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The message with its two-byte big-endian length in front.
std::string FrameDnsMessage(const std::string& message);

// Collects one length-prefixed message from the bytes of a stream as they
// arrive; bytes past the message are not taken.
class TDnsStreamReader {
public:
    // Takes what belongs to the message from bytes; returns how many.
    size_t Feed(std::string_view bytes);
    bool Complete() const { return HavePrefix && Body.size() == Announced; }
    // The message without its prefix; whole only when Complete().
    const std::string& Message() const { return Body; }
    // Bytes received so far and bytes the stream owes in all (prefix
    // included; 2 while the prefix is not in yet).
    size_t Received() const { return Prefix.size() + Body.size(); }
    size_t Expected() const { return 2 + (HavePrefix ? Announced : 0); }

private:
    std::string Prefix;
    std::string Body;
    size_t Announced = 0;
    bool HavePrefix = false;
};

// Sends query to ip:port over a new TCP connection and returns the reply
// without its prefix. Connect, send and reading must all end within
// timeout ms (negative: no limit), else ENetDnsTimedOut. A connection that
// ends before the announced length raises ENetDnsResolverError; connect and
// socket failures are raised as the socket layer raises them, and so is an
// exception of the anti-freeze. The socket is closed on every way out.
std::string ExchangeDnsOverTcp(const std::string& ip, int32_t port, const std::string& query,
                               int32_t timeout);
