// Truncated UDP replies asked again over TCP against the scripted fake
// server: the full answer replaces the truncated one; replies cut short,
// spoofed or lying about their length are refused; a cancel from the
// anti-freeze ends the wait with the connection closed. Framing split
// into arbitrary chunks is the fuzz_dns_tcp_stream target's.
#include "dns/NetDNSResolver.h"
#include "net/NetAntiFreeze.h"

#include "platform/Clock.h"
#include "tests/support/dns_FakeServer.h"
#include "tests/support/dns_PacketBuilder.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

namespace {

using S = TDnsPacketBuilder::Section;
using Datagrams = std::vector<TDnsFakeDatagram>;
constexpr uint16_t TruncatedReply = 0x8380;

// Every UDP query gets a truncated reply holding one MX of its own.
Datagrams Truncated(const std::string& q, int) {
    return {{TDnsPacketBuilder::ReplyTo(q, TruncatedReply)
                 .MX(S::Answer, "example.com", 1, "partial.example")
                 .Build()}};
}

std::string FullReply(const std::string& q) {
    return TDnsPacketBuilder::ReplyTo(q)
        .MX(S::Answer, "example.com", 10, "mx1.example.com")
        .MX(S::Answer, "example.com", 20, "mx2.example.com")
        .Build();
}

struct Lookup {
    explicit Lookup(const TDnsFakeServer& server, int32_t timeout = 2000) {
        R.Host = "127.0.0.1";
        R.Port = server.Port();
        R.ReceiveTimeout = timeout;
        R.QueryRecords = {TQueryRecordTypes::qtMX};
    }
    std::string Error() {
        try {
            R.ResolveDomain("example.com");
        } catch (const ENetDnsResolverError& e) {
            return e.what();
        }
        return "no error";
    }
    TNetDNSResolver R;
};

TEST(DnsTcp, FullAnswerReplacesTheTruncatedOne) {
    TDnsFakeServer server(
        Truncated, [](const std::string& q) { return TDnsFakeTcpReply{TcpFramed(FullReply(q))}; });
    Lookup l(server);
    EXPECT_EQ(l.Error(), "no error");
    ASSERT_EQ(l.R.QueryResult.Count(), 2);
    EXPECT_EQ(dynamic_cast<TMXRecord&>(l.R.QueryResult[1]).Exchange, "mx2.example.com");
    ASSERT_EQ(server.Queries().size(), 1u);
    ASSERT_EQ(server.TcpQueries().size(), 1u);
    const std::string udp = server.Queries()[0], tcp = server.TcpQueries()[0];
    EXPECT_EQ(tcp, l.R.QueryPacket());
    EXPECT_EQ(tcp.substr(2), udp.substr(2)) << "the same question";
    EXPECT_NE(tcp.substr(0, 2), udp.substr(0, 2)) << "an identifier of its own";
}

TEST(DnsTcp, FaultyReplyOverTcpIsRefused) {
    struct Case {
        const char* why;
        std::function<TDnsFakeTcpReply(const std::string&)> reply;
        std::string error; // "%id": the TCP query's identifier
    } cases[] = {
        {"closed before the end",
         [](const std::string& q) {
             return TDnsFakeTcpReply{TcpFramed(FullReply(q)).substr(0, 40)};
         },
         "Reply over TCP cut short: the connection closed after 40 of 71 bytes"},
        {"closed at once", [](const std::string&) { return TDnsFakeTcpReply{""}; },
         "Reply over TCP cut short: the connection closed after 0 of 2 bytes"},
        {"another identifier",
         [](const std::string& q) {
             std::string r = FullReply(q);
             r[1] = static_cast<char>(r[1] ^ 1);
             return TDnsFakeTcpReply{TcpFramed(r)};
         },
         "Invalid Header Id %id"},
        {"another question",
         [](const std::string& q) {
             return TDnsFakeTcpReply{TcpFramed(TDnsPacketBuilder(TDnsPacketBuilder::IdOf(q))
                                                   .Question("example.org", 15)
                                                   .MX(S::Answer, "example.org", 1, "x.example")
                                                   .Build())};
         },
         "Reply over TCP answers another question than the one asked"},
        {"prefix announces more than follows, connection kept open",
         [](const std::string& q) {
             std::string framed = TcpFramed(FullReply(q));
             framed[1] = static_cast<char>(framed[1] + 10);
             return TDnsFakeTcpReply{framed, false};
         },
         "TimedOut"},
        {"4 bytes framed: too short to be a reply",
         [](const std::string& q) {
             return TDnsFakeTcpReply{TcpFramed(FullReply(q).substr(0, 4))};
         },
         "Received Packet is too small. Less than 12 bytes 29"},
        {"the same checks as over UDP",
         [](const std::string& q) {
             return TDnsFakeTcpReply{TcpFramed(TDnsPacketBuilder::ReplyTo(q, 0x8183).Build())};
         },
         "DNS Server Reports Query Name Error"},
    };
    for (const Case& c : cases) {
        TDnsFakeServer server(Truncated, c.reply);
        Lookup l(server, 500);
        const uint32_t started = GetTickCount();
        std::string error = l.Error();
        const uint32_t elapsed = GetTickCount() - started;
        std::string expected = c.error;
        if (expected == "Invalid Header Id %id")
            expected = "Invalid Header Id " + std::to_string(l.R.QueryId());
        EXPECT_EQ(error, expected) << c.why;
        EXPECT_EQ(l.R.QueryResult.Count(), 0) << c.why << ": the truncated reply is not taken";
        EXPECT_LT(elapsed, 2500u) << c.why << ": the time-out ends the exchange";
    }
}

struct TCancel {};

// Throws the user's cancel once the server has the TCP query.
class TCancellingAntiFreeze : public TNetAntiFreezeBase {
public:
    explicit TCancellingAntiFreeze(const TDnsFakeServer& server) : Server(server) {}
    void Process() override {
        if (!Server.TcpQueries().empty()) {
            Cancelled = GetTickCount();
            throw TCancel();
        }
    }
    const TDnsFakeServer& Server;
    uint32_t Cancelled = 0;
};

TEST(DnsTcp, CancelDuringTheWaitClosesTheConnection) {
    int argc = 1;
    char name[] = "dns_tcp_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TDnsFakeServer server(Truncated, [](const std::string&) {
        return TDnsFakeTcpReply{"", false};
    });
    TCancellingAntiFreeze antiFreeze(server);
    Lookup l(server, 5000);
    EXPECT_THROW(l.R.ResolveDomain("example.com"), TCancel);
    EXPECT_LT(GetTickCount() - antiFreeze.Cancelled, 1000u) << "the cancel ends the wait at once";
    for (int i = 0; i < 100 && server.TcpClientCloses() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(server.TcpClientCloses(), 1);
}

} // namespace
