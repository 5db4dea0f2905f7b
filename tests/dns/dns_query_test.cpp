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

TEST(DnsQuery, MxQueryHasTheExactLayout) {
    TNetDNSResolver r;
    r.QueryRecords = {T::qtMX};
    r.BuildQuery("example.com");
    const std::string& q = r.QueryPacket();
    EXPECT_EQ(q, Bytes({r.QueryId() >> 8, r.QueryId() & 0xFF, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0}) +
                     "\7example\3com" + Bytes({0, 0, 15, 0, 1}));
    EXPECT_EQ(r.QuestionLength(), 17u);
    r.AllowRecursiveQueries = false;
    r.BuildQuery("example.com");
    EXPECT_EQ(r.QueryPacket().substr(2, 2), Bytes({0, 0})) << "no recursion desired";
}

TEST(DnsQuery, QuestionsPerTypeAndName) {
    const std::string x = "\1x" + Bytes({0});
    const std::string reverse = "\0014\0013\0012\0011\7in-addr\4arpa" + Bytes({0});
    const struct {
        std::set<T> Types;
        const char* Domain;
        std::string Questions;
        const char* Why;
    } cases[] = {
        {{T::qtMX},
         "example.com.",
         "\7example\3com" + Bytes({0, 0, 15, 0, 1}),
         "a trailing dot adds nothing"},
        {{T::qtMX}, "", Bytes({0, 0, 15, 0, 1}), "the empty domain is the root"},
        {{T::qtMX}, ".", Bytes({0, 0, 15, 0, 1}), "the root with its dot"},
        {{T::qtMX}, "MiXed.Case", "\5MiXed\4Case" + Bytes({0, 0, 15, 0, 1}), "letter case is kept"},
        {{T::qtSTAR, T::qtTXT, T::qtA, T::qtMX},
         "x",
         x + Bytes({0, 1, 0, 1}) + x + Bytes({0, 15, 0, 1}) + x + Bytes({0, 16, 0, 1}) + x +
             Bytes({0, 255, 0, 1}),
         "one question per type, in type order"},
        {{T::qtA, T::qtPTR},
         "1.2.3.4",
         "\0011\0012\0013\0014" + Bytes({0, 0, 1, 0, 1}) + reverse + Bytes({0, 12, 0, 1}),
         "a pointer query is reversed under in-addr.arpa"},
        {{T::qtPTR},
         "4.3.2.1.in-addr.arpa",
         reverse + Bytes({0, 12, 0, 1}),
         "already in reverse form: asked as given"},
    };
    for (const auto& c : cases) {
        TNetDNSResolver r;
        r.QueryRecords = c.Types;
        r.BuildQuery(c.Domain);
        EXPECT_EQ(r.QueryPacket()[5], char(c.Types.size())) << c.Why << ": question count";
        EXPECT_EQ(r.QueryPacket().substr(12), c.Questions) << c.Why;
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
