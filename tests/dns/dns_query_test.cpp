// Query packets: the bytes of the question, name encoding, names refused
// before anything is sent, reverse lookups and the identifier drawn for
// every query.
#include "dns/NetDNSResolver.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using T = TQueryRecordTypes;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

// The packet after the identifier.
std::string AfterId(const TNetDNSResolver& r) {
    return r.QueryPacket().substr(2);
}

TEST(DnsQuery, MxQueryHasTheExactLayout) {
    TNetDNSResolver r;
    r.QueryRecords = {T::qtMX};
    r.BuildQuery("example.com");
    const std::string& q = r.QueryPacket();
    ASSERT_EQ(q.size(), 29u);
    EXPECT_EQ(uint16_t((uint8_t(q[0]) << 8) | uint8_t(q[1])), r.QueryId());
    EXPECT_EQ(AfterId(r),
              Bytes({1, 0, 0, 1, 0, 0, 0, 0, 0, 0}) + "\7example\3com" + Bytes({0, 0, 15, 0, 1}));
    EXPECT_EQ(r.QuestionLength(), 17u);
    EXPECT_EQ(r.Port, 53);
}

TEST(DnsQuery, RecursionBitFollowsTheProperty) {
    TNetDNSResolver r;
    r.QueryRecords = {T::qtMX};
    r.AllowRecursiveQueries = false;
    r.BuildQuery("example.com");
    EXPECT_EQ(r.QueryPacket()[2], 0);
    EXPECT_EQ(r.QueryPacket()[3], 0);
}

TEST(DnsQuery, NameEncoding) {
    struct Case {
        const char* domain;
        std::string name;
        const char* why;
    } cases[] = {
        {"example.com.", "\7example\3com" + Bytes({0}), "a trailing dot adds nothing"},
        {"", Bytes({0}), "the empty domain is the root"},
        {".", Bytes({0}), "the root with its dot"},
        {"MiXed.Case", "\5MiXed\4Case" + Bytes({0}), "letter case is kept"},
    };
    for (const Case& c : cases) {
        TNetDNSResolver r;
        r.QueryRecords = {T::qtMX};
        r.BuildQuery(c.domain);
        EXPECT_EQ(r.QueryPacket().substr(12), c.name + Bytes({0, 15, 0, 1})) << c.why;
    }
}

TEST(DnsQuery, InvalidNamesAreRefusedBeforeSending) {
    const std::string l63(63, 'a'), l64(64, 'a'), l192(192, 'a');
    // 127 labels "a." less the last dot: 253 characters, 255 bytes on the wire.
    std::string n253;
    for (int i = 0; i < 127; ++i)
        n253 += "a.";
    n253.pop_back();
    struct Case {
        std::string domain;
        const char* why; // nullptr: a valid name
        const char* error = "";
    } cases[] = {
        {"a..b", "empty label inside", "empty label"},
        {".a", "empty first label", "empty label"},
        {"a.b..", "a second final dot", "empty label"},
        {l63 + ".com", nullptr},
        {l64 + ".com", "64-byte label", "label longer than 63 bytes"},
        {l192, "would read as a compression pointer", "label longer than 63 bytes"},
        {n253, nullptr},
        {n253 + ".", nullptr},
        {n253 + "a", "254 characters", "longer than 253 characters"},
    };
    for (const Case& c : cases) {
        TNetDNSResolver r;
        r.QueryRecords = {T::qtMX};
        // No server: a lookup that got as far as sending would fail on
        // the empty host instead.
        r.Host = "";
        std::string error = "valid";
        try {
            r.ResolveDomain(c.domain);
        } catch (const ENetDnsResolverError& e) {
            error = e.what();
        } catch (const ENetException&) {
            error = "valid"; // the name passed; the send failed
        }
        const std::string expected =
            c.why ? "Invalid domain name \"" + c.domain + "\": " + c.error + "." : "valid";
        EXPECT_EQ(error, expected) << (c.why ? c.why : c.domain.substr(0, 20));
        if (c.why) {
            EXPECT_TRUE(r.QueryPacket().empty()) << c.why;
        }
    }
}

TEST(DnsQuery, OneQuestionPerTypeInTypeOrder) {
    TNetDNSResolver r;
    r.QueryRecords = {T::qtSTAR, T::qtTXT, T::qtA, T::qtMX};
    r.BuildQuery("x");
    const std::string q = "\1x" + Bytes({0});
    EXPECT_EQ(r.QueryPacket()[5], 4);
    EXPECT_EQ(r.QueryPacket().substr(12), q + Bytes({0, 1, 0, 1}) + q + Bytes({0, 15, 0, 1}) + q +
                                              Bytes({0, 16, 0, 1}) + q + Bytes({0, 255, 0, 1}));
}

TEST(DnsQuery, PointerQueriesAreReversedUnderInAddrArpa) {
    TNetDNSResolver r;
    r.QueryRecords = {T::qtA, T::qtPTR};
    r.BuildQuery("1.2.3.4");
    const std::string forward = "\0011\0012\0013\0014" + Bytes({0});
    const std::string reverse = "\0014\0013\0012\0011\7in-addr\4arpa" + Bytes({0});
    EXPECT_EQ(r.QueryPacket().substr(12),
              forward + Bytes({0, 1, 0, 1}) + reverse + Bytes({0, 12, 0, 1}));

    // Already in reverse form: asked as given.
    r.QueryRecords = {T::qtPTR};
    r.BuildQuery("4.3.2.1.in-addr.arpa");
    EXPECT_EQ(r.QueryPacket().substr(12), reverse + Bytes({0, 12, 0, 1}));
}

TEST(DnsQuery, NoTypeSelectedGivesNoPacketAndFailsTheLookup) {
    TNetDNSResolver r;
    r.BuildQuery("example.com");
    EXPECT_TRUE(r.QueryPacket().empty());
    try {
        r.ResolveDomain("example.com");
        FAIL() << "no error";
    } catch (const ENetDnsResolverError& e) {
        EXPECT_STREQ(e.what(), "Invalid Query Count 0");
    }
}

TEST(DnsQuery, EveryQueryDrawsAFreshIdentifier) {
    TNetDNSResolver r;
    r.QueryRecords = {T::qtMX};
    std::set<uint16_t> ids;
    for (int i = 0; i < 64; ++i) {
        r.BuildQuery("example.com");
        ids.insert(r.QueryId());
    }
    // A fixed identifier would give one value; 64 random draws collide rarely.
    EXPECT_GT(ids.size(), 56u);
}

} // namespace
