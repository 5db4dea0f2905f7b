// Reply parsing on bytes alone: record kinds in reply order, response codes,
// size checks, and replies that lie (cut short, looping pointers, overlong
// names, inflated counts) rejected cleanly without touching the results.
#include "dns/NetDNSResolver.h"

#include "tests/support/dns_PacketBuilder.h"

#include <gtest/gtest.h>

namespace {

using S = TDnsPacketBuilder::Section;
using T = TQueryRecordTypes;

class DnsResponse : public ::testing::Test {
public:
    DnsResponse() {
        R.QueryRecords = {T::qtMX};
        R.BuildQuery("example.com");
    }
    TDnsPacketBuilder Reply(uint16_t flags = 0x8180) {
        return TDnsPacketBuilder::ReplyTo(R.QueryPacket(), flags);
    }
    // The typical reply: two MX answers, NS authority, A additionals.
    std::string Typical() {
        return Reply()
            .MX(S::Answer, "example.com", 10, "mx1.example.com")
            .MX(S::Answer, "example.com", 20, "mx2.example.com")
            .NS(S::Authority, "example.com", "ns1.example.com")
            .A(S::Additional, "mx1.example.com", "192.0.2.1")
            .A(S::Additional, "mx2.example.com", "192.0.2.2")
            .Build();
    }
    std::string ErrorOf(const std::string& reply) {
        try {
            R.ParseResponse(reply);
        } catch (const ENetDnsResolverError& e) {
            return e.what();
        }
        return "no error";
    }
    template <class K> K& Get(int i) {
        K* k = dynamic_cast<K*>(&R.QueryResult[i]);
        if (!k)
            throw std::runtime_error("record " + std::to_string(i) + " is of another kind");
        return *k;
    }

    TNetDNSResolver R;
};

TEST_F(DnsResponse, TypicalMxReplyBecomesRecordsInReplyOrder) {
    const std::string reply = Typical();
    R.ParseResponse(reply);
    ASSERT_EQ(R.QueryResult.Count(), 5);
    EXPECT_EQ(R.QueryResult.QueryDomain, "example.com");
    EXPECT_EQ(R.QueryResult.QueryType, 15);
    EXPECT_EQ(R.QueryResult.QueryClass, 1);

    const auto& mx1 = Get<TMXRecord>(0);
    EXPECT_EQ(mx1.OwnerName, "example.com");
    EXPECT_EQ(mx1.Preference, 10);
    EXPECT_EQ(mx1.Exchange, "mx1.example.com");
    EXPECT_EQ(mx1.RecordType, T::qtMX);
    EXPECT_EQ(mx1.RecordClass, 1);
    EXPECT_EQ(mx1.TimeToLive, 3600u);
    // Compressed: preference, "mx1" and a pointer.
    EXPECT_EQ(mx1.RawData, std::string("\0\12\3mx1\xC0\14", 8));
    EXPECT_EQ(Get<TMXRecord>(1).Exchange, "mx2.example.com");
    EXPECT_EQ(Get<TMXRecord>(1).Preference, 20);
    EXPECT_EQ(Get<TNSRecord>(2).TargetName, "ns1.example.com");
    EXPECT_EQ(Get<TARecord>(3).OwnerName, "mx1.example.com");
    EXPECT_EQ(Get<TARecord>(3).HostAddress, "192.0.2.1");
    EXPECT_EQ(Get<TARecord>(4).HostAddress, "192.0.2.2");
    EXPECT_EQ(R.DNSHeader().ANCount, 2);
}

TEST_F(DnsResponse, CnameBeforeMxAndRootExchange) {
    R.ParseResponse(Reply()
                        .CNAME(S::Answer, "example.com", "mail.example.net")
                        .MX(S::Answer, "mail.example.net", 0, "")
                        .Build());
    ASSERT_EQ(R.QueryResult.Count(), 2);
    auto& cname = Get<TNAMERecord>(0);
    EXPECT_EQ(dynamic_cast<TNSRecord*>(&cname), nullptr);
    EXPECT_EQ(cname.TargetName, "mail.example.net");
    EXPECT_EQ(cname.RecordType, T::qtName);
    EXPECT_EQ(Get<TMXRecord>(1).OwnerName, "mail.example.net");
    EXPECT_EQ(Get<TMXRecord>(1).Exchange, "") << "the root name";
}

TEST_F(DnsResponse, ResponseCodes) {
    const char* texts[] = {
        "DNS Server Reports Query Format Error",  "DNS Server Reports Query Server Error",
        "DNS Server Reports Query Name Error",    "DNS Server Reports Query Not Implemented Error",
        "DNS Server Reports Query Refused Error",
    };
    for (int code = 1; code <= 15; ++code) {
        const std::string expected = code <= 5 ? texts[code - 1] : "Server Returned Unknown Error";
        EXPECT_EQ(ErrorOf(Reply(uint16_t(0x8180 | code)).Build()), expected) << code;
    }
    // Other flag bits, truncation included, are not looked at.
    EXPECT_EQ(ErrorOf(Reply(0x83F0).MX(S::Answer, "example.com", 1, "a").Build()), "no error");
}

TEST_F(DnsResponse, ReplyWithoutRecordsLeavesTheResults) {
    R.ParseResponse(Typical());
    R.ParseResponse(Reply().Build());
    EXPECT_EQ(R.QueryResult.Count(), 5);
    R.QueryResult.Clear();
    R.ParseResponse(Reply().Build());
    EXPECT_EQ(R.QueryResult.Count(), 0);
}

// One MX answer whose owner name is written as the raw bytes name.
std::string AnswerWithOwner(DnsResponse& t, const std::string& name) {
    return t.Reply()
        .Raw(name)
        .U16(15)
        .U16(1)
        .U32(0)
        .U16(3)
        .U16(1)
        .U8(0)
        .SetCounts(1, 1, 0, 0)
        .Build();
}

TEST_F(DnsResponse, NamesUpToTheirLimitsAreTaken) {
    const std::string label62(62, 'x');
    const std::string four = label62 + "." + label62 + "." + label62 + "." + label62;
    // 4 * 63 + 2 + 1 = 255 bytes on the wire.
    R.ParseResponse(Reply().MX(S::Answer, "example.com", 1, four + ".a").Build());
    EXPECT_EQ(Get<TMXRecord>(0).Exchange, four + ".a");
    R.ParseResponse(AnswerWithOwner(*this, "\77" + std::string(63, 'x') + '\0'));
    EXPECT_EQ(R.QueryResult[0].OwnerName, std::string(63, 'x')) << "a label of 63 bytes";
}

// Replies that are cut short (at every length) or lie are refused with
// their reason, and the results of the last good reply stay as they were.
TEST_F(DnsResponse, BadRepliesAreRejectedAndKeepTheResults) {
    const std::string full = Typical();
    const size_t owner = R.QueryPacket().size(); // where the answer's owner name starts
    auto pointer = [](size_t to) { return std::string{char(0xC0 | (to >> 8)), char(to & 0xFF)}; };
    auto label = [](uint8_t length) { return char(length) + std::string(length, 'x') + '\0'; };
    std::string otherId = full;
    otherId[1] = static_cast<char>(otherId[1] ^ 1);
    const std::string four = std::string(62, 'x') + "." + std::string(62, 'x') + "." +
                             std::string(62, 'x') + "." + std::string(62, 'x');
    // The MX exchange points at the owner name of the next record.
    TDnsPacketBuilder pastRecord = Reply();
    pastRecord.BeginRecord(S::Answer, "example.com", 15)
        .U16(1)
        .U16(uint16_t(0xC000 | (owner + 2 + 10 + 4)))
        .EndRecord()
        .A(S::Answer, "mx.example.com", "192.0.2.9");
    const struct {
        std::string Reply;
        std::string Error; // "" for any
        const char* Why;
    } cases[] = {
        {otherId, "Invalid Header Id " + std::to_string(R.QueryId()), "another identifier"},
        {AnswerWithOwner(*this, pointer(owner)), "", "pointer to itself"},
        {AnswerWithOwner(*this, pointer(owner + 2) + pointer(owner)), "",
         "two pointers pointing at each other"},
        {AnswerWithOwner(*this, "\1a" + pointer(owner)), "", "a label and a pointer back to it"},
        {AnswerWithOwner(*this, pointer(owner + 2) + pointer(owner + 4) + pointer(owner + 2)), "",
         "forward and back"},
        {AnswerWithOwner(*this, pointer(0x3FFF)), "", "pointer past the end"},
        {AnswerWithOwner(*this, "\1a"), "", "name without its zero byte at the very end"},
        {AnswerWithOwner(*this, label(64)), "Invalid label type 0x40 in a domain name", "64"},
        {AnswerWithOwner(*this, label(0x7F)), "Invalid label type 0x40 in a domain name", "0x7F"},
        {AnswerWithOwner(*this, label(0x80)), "Invalid label type 0x80 in a domain name", "0x80"},
        {AnswerWithOwner(*this, label(0xBF)), "Invalid label type 0x80 in a domain name", "0xBF"},
        {Reply().MX(S::Answer, "example.com", 1, four + ".ab").Build(),
         "Domain name longer than 255 bytes", "256 bytes on the wire"},
        {Reply()
             .MX(S::Answer, "example.com", 10, "mx1.example.com")
             .BeginRecord(S::Answer, "example.com", 15)
             .U16(5)
             .U8(5)
             .Raw("ab")
             .EndRecord()
             .A(S::Additional, "mx1.example.com", "192.0.2.1")
             .Build(),
         "Invalid Packet Size 3", "a label claims 5 bytes of a record that holds 2"},
        {pastRecord.Build(), "", "record data pointing past its record"},
        // 65535 + 1 answers wrap to 0 in 16 bits, which would pass as "no records".
        {Reply()
             .MX(S::Answer, "example.com", 5, "mx.example.com")
             .SetCounts(1, 65535, 1, 0)
             .Build(),
         "", "record total counted wide"},
        {Reply().BeginRecord(S::Answer, "example.com", 16).U8(10).Raw("short").EndRecord().Build(),
         "", "a text string running past its record data"},
        {Reply().BeginRecord(S::Answer, "example.com", 1).U16(0x7F00).EndRecord().Build(), "",
         "an address record with fewer than four bytes"},
    };
    R.ParseResponse(full);
    const TResultRecord* first = &R.QueryResult[0];
    auto expectRejected = [&](const std::string& reply, const std::string& expected,
                              const std::string& why) {
        const std::string error = ErrorOf(reply);
        EXPECT_NE(error, "no error") << why;
        if (!expected.empty()) {
            EXPECT_EQ(error, expected) << why;
        }
        EXPECT_EQ(R.QueryResult.Count(), 5) << why;
        EXPECT_EQ(&R.QueryResult[0], first) << why;
    };
    const std::string tooSmall = "Received Packet is too small. Less than 12 bytes ";
    for (size_t n = 0; n < full.size(); ++n)
        expectRejected(full.substr(0, n),
                       n < 5       ? "TimedOut"
                       : n < 12    ? tooSmall + "29"
                       : n < owner ? tooSmall + "30" // shorter than the query
                                   : "",
                       "cut to " + std::to_string(n));
    for (const auto& c : cases)
        expectRejected(c.Reply, c.Error, c.Why);
}

TEST_F(DnsResponse, EveryEchoedQuestionIsSkipped) {
    const std::string reply = Reply()
                                  .Question("example.com", 1)
                                  .SetCounts(2, 1, 0, 0)
                                  .MX(S::Answer, "example.com", 5, "mx.example.com")
                                  .Build();
    R.ParseResponse(reply);
    ASSERT_EQ(R.QueryResult.Count(), 1);
    EXPECT_EQ(Get<TMXRecord>(0).Exchange, "mx.example.com");
}

TEST_F(DnsResponse, TextRecordsHoldLongStrings) {
    const std::string spf(255, 's');
    const std::string dkim(64, 'k');
    R.ParseResponse(Reply()
                        .TXT(S::Answer, "example.com", {spf, dkim})
                        .BeginRecord(S::Answer, "example.com", 16)
                        .CharacterString("first")
                        .U8(0)
                        .CharacterString("after the end")
                        .EndRecord()
                        .BeginRecord(S::Answer, "host.example.com", 13)
                        .CharacterString("CPU")
                        .CharacterString("OS")
                        .EndRecord()
                        .Build());
    EXPECT_EQ(Get<TTextRecord>(0).Texts, (std::vector<std::string>{spf, dkim}));
    EXPECT_EQ(Get<TTextRecord>(1).Texts, std::vector<std::string>{"first"}) << "zero length ends";
    auto& hinfo = Get<THINFORecord>(2);
    EXPECT_EQ(hinfo.Cpu, "CPU");
    EXPECT_EQ(hinfo.Os, "OS");
    EXPECT_EQ(hinfo.Texts, (std::vector<std::string>{"CPU", "OS"}));
}

TEST_F(DnsResponse, OtherKinds) {
    R.ParseResponse(Reply()
                        .SOA(S::Authority, "example.com", "ns.example.com", "admin.example.com", 7,
                             3600, 600, 86400, 300)
                        .BeginRecord(S::Answer, "example.com", 14)
                        .Name("resp.example.com")
                        .Name("err.example.com")
                        .EndRecord()
                        .BeginRecord(S::Answer, "example.com", 11)
                        .U32(0xC0000201)
                        .U8(6)
                        .Raw("\x01\x02")
                        .EndRecord()
                        .PTR(S::Answer, "4.3.2.1.in-addr.arpa", "host.example.com")
                        .BeginRecord(S::Answer, "example.com", 28)
                        .Raw(std::string(16, '\x20'))
                        .EndRecord()
                        .BeginRecord(S::Answer, "empty.example.com", 1)
                        .EndRecord()
                        .Build());
    ASSERT_EQ(R.QueryResult.Count(), 6);
    auto& soa = Get<TSOARecord>(0);
    EXPECT_EQ(soa.MName, "ns.example.com");
    EXPECT_EQ(soa.RName, "admin.example.com");
    EXPECT_EQ(soa.ZoneVersion, 7u);
    EXPECT_EQ(soa.Refresh, 3600u);
    EXPECT_EQ(soa.Retry, 600u);
    EXPECT_EQ(soa.Expire, 86400u);
    EXPECT_EQ(soa.Minimum, 300u);
    EXPECT_EQ(Get<TMINFORecord>(1).ResponsibleMailbox, "resp.example.com");
    EXPECT_EQ(Get<TMINFORecord>(1).ErrorMailbox, "err.example.com");
    auto& wks = Get<TWKSRecord>(2);
    EXPECT_EQ(wks.HostAddress, "192.0.2.1");
    EXPECT_EQ(wks.Protocol, 6);
    EXPECT_EQ(wks.BitMap, "\x01\x02");
    EXPECT_EQ(Get<TPTRRecord>(3).TargetName, "host.example.com");
    auto& generic = R.QueryResult[4];
    EXPECT_EQ(typeid(generic), typeid(TResultRecord));
    EXPECT_EQ(static_cast<int>(generic.RecordType), 28);
    EXPECT_EQ(generic.RawData, std::string(16, '\x20'));
    EXPECT_EQ(Get<TARecord>(5).HostAddress, "") << "empty data";
}

} // namespace
