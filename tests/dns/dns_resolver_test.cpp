// Lookups over UDP against the scripted fake server: the whole round trip,
// which datagrams are taken as the answer (sender, identifier, echoed
// question), stale answers of earlier lookups, the time-out with the
// window serviced while waiting, and the servers asked after a silent one.
#include "dns/NetDNSResolver.h"
#include "net/NetAntiFreeze.h"

#include "platform/Clock.h"
#include "platform/EventQueue.h"
#include "tests/support/dns_FakeServer.h"
#include "tests/support/dns_PacketBuilder.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

using S = TDnsPacketBuilder::Section;
using T = TQueryRecordTypes;
using Datagrams = std::vector<TDnsFakeDatagram>;

std::string MxReply(const std::string& query, const std::string& exchange) {
    TDnsPacketBuilder b = TDnsPacketBuilder::ReplyTo(query);
    return b.MX(S::Answer, "example.com", 10, exchange).Build();
}

std::string ExchangeOf(const TNetDNSResolver& r) {
    if (r.QueryResult.Count() != 1)
        return "count " + std::to_string(r.QueryResult.Count());
    const auto* mx = dynamic_cast<const TMXRecord*>(&r.QueryResult[0]);
    return mx ? mx->Exchange : "not MX";
}

std::string LookupError(TNetDNSResolver& r, const std::string& domain) {
    try {
        r.ResolveDomain(domain);
    } catch (const ENetDnsResolverError& e) {
        return e.what();
    }
    return "no error";
}

void Configure(TNetDNSResolver& r, const TDnsFakeServer& server, int32_t timeout) {
    r.Host = "127.0.0.1";
    r.Port = server.Port();
    r.ReceiveTimeout = timeout;
    r.QueryRecords = {T::qtMX};
}

TEST(DnsResolver, RoundTripThroughTheSocket) {
    TDnsFakeServer server([](const std::string& q, int) {
        return Datagrams{{TDnsPacketBuilder::ReplyTo(q)
                              .MX(S::Answer, "example.com", 10, "mx1.example.com")
                              .A(S::Additional, "mx1.example.com", "127.0.0.25")
                              .Build()}};
    });
    TNetDNSResolver r;
    Configure(r, server, 2000);
    r.Host = "LocalHost";
    r.ResolveDomain("example.com");
    ASSERT_EQ(r.QueryResult.Count(), 2);
    EXPECT_EQ(dynamic_cast<TARecord&>(r.QueryResult[1]).HostAddress, "127.0.0.25");
    ASSERT_EQ(server.Queries().size(), 1u);
    EXPECT_EQ(server.Queries()[0], r.QueryPacket());
}

// Decoy datagrams the lookup must pass over; the right answer follows each.
struct Decoy {
    const char* why;
    std::function<TDnsFakeDatagram(const std::string& query)> make;
    const char* aloneGives; // the lookup's error when only the decoy comes
};

const Decoy Decoys[] = {
    {"another identifier",
     [](const std::string& q) {
         std::string d = MxReply(q, "decoy.example");
         d[0] = static_cast<char>(d[0] ^ 0x40);
         return TDnsFakeDatagram{d};
     },
     "Invalid Header Id %d"},
    {"from another port",
     [](const std::string& q) {
         return TDnsFakeDatagram{MxReply(q, "decoy.example"), 0, true};
     },
     "TimedOut"},
    {"another question name",
     [](const std::string& q) {
         return TDnsFakeDatagram{TDnsPacketBuilder(TDnsPacketBuilder::IdOf(q))
                                     .Question("example.org", 15)
                                     .MX(S::Answer, "example.org", 10, "decoy.example")
                                     .Build()};
     },
     "TimedOut"},
    {"another question type",
     [](const std::string& q) {
         return TDnsFakeDatagram{TDnsPacketBuilder(TDnsPacketBuilder::IdOf(q))
                                     .Question("example.com", 1)
                                     .MX(S::Answer, "example.com", 10, "decoy.example")
                                     .Build()};
     },
     "TimedOut"},
    {"longer than the buffer, from another port",
     [](const std::string&) {
         return TDnsFakeDatagram{std::string(9000, 'x'), 0, true};
     },
     "TimedOut"},
    {"fewer than 5 bytes", [](const std::string& q) { return TDnsFakeDatagram{q.substr(0, 4)}; },
     "TimedOut"},
};

TEST(DnsResolver, DecoysBeforeTheAnswerAreIgnored) {
    for (const Decoy& decoy : Decoys) {
        TDnsFakeServer server([&](const std::string& q, int) {
            return Datagrams{decoy.make(q), {MxReply(q, "right.example")}};
        });
        TNetDNSResolver r;
        Configure(r, server, 2000);
        r.ResolveDomain("example.com");
        EXPECT_EQ(ExchangeOf(r), "right.example") << decoy.why;
    }
}

TEST(DnsResolver, DecoyAloneEndsInTheTimeOutError) {
    for (const Decoy& decoy : Decoys) {
        TDnsFakeServer server([&](const std::string& q, int) { return Datagrams{decoy.make(q)}; });
        TNetDNSResolver r;
        Configure(r, server, 300);
        const std::string error = LookupError(r, "example.com");
        std::string expected = decoy.aloneGives;
        if (expected == "Invalid Header Id %d")
            expected = "Invalid Header Id " + std::to_string(r.QueryId());
        EXPECT_EQ(error, expected) << decoy.why;
    }
}

TEST(DnsResolver, LateAnswerOfAnEarlierLookupIsNotTaken) {
    std::string firstQuery;
    TDnsFakeServer server([&](const std::string& q, int index) {
        if (index == 0) {
            firstQuery = q; // answered only after the lookup gave up
            return Datagrams{};
        }
        return Datagrams{{MxReply(firstQuery, "stale.example")}, {MxReply(q, "fresh.example")}};
    });
    TNetDNSResolver r;
    Configure(r, server, 300);
    EXPECT_EQ(LookupError(r, "example.com"), "TimedOut");
    r.ResolveDomain("example.com");
    EXPECT_EQ(ExchangeOf(r), "fresh.example");
}

TEST(DnsResolver, EchoedNameIsComparedWithoutLetterCase) {
    TDnsFakeServer server([](const std::string& q, int) {
        return Datagrams{{TDnsPacketBuilder(TDnsPacketBuilder::IdOf(q))
                              .Question("EXAMPLE.Com", 15)
                              .MX(S::Answer, "example.com", 10, "mx.example.net")
                              .Build()}};
    });
    TNetDNSResolver r;
    Configure(r, server, 2000);
    r.ResolveDomain("example.com");
    EXPECT_EQ(ExchangeOf(r), "mx.example.net");
}

TEST(DnsResolver, ErrorRepliesFailAtOnce) {
    struct Case {
        const char* why;
        std::function<std::string(const std::string&)> reply;
        const char* message;
    } cases[] = {
        {"name error",
         [](const std::string& q) { return TDnsPacketBuilder::ReplyTo(q, 0x8183).Build(); },
         "DNS Server Reports Query Name Error"},
        {"error reply without the question",
         [](const std::string& q) {
             return TDnsPacketBuilder(TDnsPacketBuilder::IdOf(q), 0x8181).Build();
         },
         "DNS Server Reports Query Format Error"},
        {"8 bytes", [](const std::string& q) { return MxReply(q, "x").substr(0, 8); },
         "Received Packet is too small. Less than 12 bytes 29"},
        {"header only", [](const std::string& q) { return MxReply(q, "x").substr(0, 12); },
         "Received Packet is too small. Less than 12 bytes 30"},
    };
    for (const Case& c : cases) {
        TDnsFakeServer server([&](const std::string& q, int) { return Datagrams{{c.reply(q)}}; });
        TNetDNSResolver r;
        Configure(r, server, 10000);
        const uint32_t started = GetTickCount();
        EXPECT_EQ(LookupError(r, "example.com"), c.message) << c.why;
        EXPECT_LT(GetTickCount() - started, 3000u) << c.why << ": taken, not waited out";
    }
}

TEST(DnsResolver, OnlyASilentServerHandsOverToTheNext) {
    const auto silent = [](const std::string&, int) { return Datagrams{}; };
    const auto answers = [](const std::string& q, int) {
        return Datagrams{{MxReply(q, "second.example")}};
    };
    const auto nameError = [](const std::string& q, int) {
        return Datagrams{{TDnsPacketBuilder::ReplyTo(q, 0x8183).Build()}};
    };
    struct Case {
        const char* why;
        TDnsFakeServer::TScript first, second;
        const char* result; // the exchange or the error
        size_t secondAsked;
    } cases[] = {
        {"silent first, answering second", silent, answers, "second.example", 1},
        {"an error code is an answer", nameError, answers, "DNS Server Reports Query Name Error",
         0},
        {"both silent", silent, silent, "TimedOut", 1},
    };
    for (const Case& c : cases) {
        TDnsFakeServer first(c.first);
        TDnsFakeServer second(c.second, nullptr, "127.0.0.2", first.Port());
        TNetDNSResolver r;
        Configure(r, first, 300);
        r.FallbackHosts = {"", "127.0.0.2"};
        const std::string error = LookupError(r, "example.com");
        EXPECT_EQ(error == "no error" ? ExchangeOf(r) : error, c.result) << c.why;
        EXPECT_EQ(first.Queries().size(), 1u) << c.why;
        EXPECT_EQ(second.Queries().size(), c.secondAsked) << c.why;
    }
}

TEST(DnsResolver, SilenceTimesOutWithTheWindowServiced) {
    int argc = 1;
    char name[] = "dns_resolver_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TNetAntiFreeze antiFreeze;
    TRequestQueue queue;
    int serviced = 0;
    std::function<void()> tick = [&] {
        ++serviced;
        queue.Post(tick);
    };
    queue.Post(tick);

    TDnsFakeServer server([](const std::string&, int) { return Datagrams{}; });
    TNetDNSResolver r;
    Configure(r, server, 5000);
    const uint32_t started = GetTickCount();
    EXPECT_EQ(LookupError(r, "example.com"), "TimedOut");
    const uint32_t elapsed = GetTickCount() - started;
    EXPECT_GE(elapsed, 5000u);
    EXPECT_LT(elapsed, 10000u) << "one wait, not a second one";
    // 20 slices of 250 ms; each dispatch runs the posted request.
    EXPECT_GE(serviced, 4) << "window not serviced";
}

} // namespace
