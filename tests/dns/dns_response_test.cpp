// Reply parsing on bytes alone: record kinds in reply order, response codes,
// size checks, and replies that lie (cut short, looping pointers, overlong
// names, inflated counts) rejected cleanly without touching the results.
#include "dns/NetDNSResolver.h"

#include "base/Text.h"

#include "tests/support/dns_PacketBuilder.h"

#include <gtest/gtest.h>

namespace {

using S = TDnsPacketBuilder::Section;
using T = TQueryRecordTypes;

// A record as "owner type: KIND fields", KIND and fields by its class.
std::string Describe(const TResultRecord& r) {
    const std::string head = r.OwnerName + " " + std::to_string(int(r.RecordType)) + ": ";
    auto texts = [](const std::vector<std::string>& t) {
        std::string s;
        for (const std::string& x : t)
            s += " [" + x + "]";
        return s;
    };
    if (auto* k = dynamic_cast<const TMXRecord*>(&r))
        return head + "MX " + std::to_string(k->Preference) + " " + k->Exchange;
    if (auto* k = dynamic_cast<const TSOARecord*>(&r))
        return head + Format("SOA %s %s %u %u %u %u %u", k->MName.c_str(), k->RName.c_str(),
                             k->ZoneVersion, k->Refresh, k->Retry, k->Expire, k->Minimum);
    if (auto* k = dynamic_cast<const THINFORecord*>(&r))
        return head + "HINFO " + k->Cpu + " " + k->Os + texts(k->Texts);
    if (auto* k = dynamic_cast<const TTextRecord*>(&r))
        return head + "TXT" + texts(k->Texts);
    if (auto* k = dynamic_cast<const TMINFORecord*>(&r))
        return head + "MINFO " + k->ResponsibleMailbox + " " + k->ErrorMailbox;
    if (auto* k = dynamic_cast<const TWKSRecord*>(&r))
        return head + "WKS " + k->HostAddress + " " + std::to_string(k->Protocol) + " " + k->BitMap;
    if (auto* k = dynamic_cast<const TARecord*>(&r))
        return head + "A " + k->HostAddress;
    if (auto* k = dynamic_cast<const TNSRecord*>(&r))
        return head + "NS " + k->TargetName;
    if (auto* k = dynamic_cast<const TPTRRecord*>(&r))
        return head + "PTR " + k->TargetName;
    if (auto* k = dynamic_cast<const TNAMERecord*>(&r))
        return head + "CNAME " + k->TargetName;
    return head + "[" + r.RawData + "]";
}

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
    std::vector<std::string> Records() const {
        std::vector<std::string> all;
        for (int i = 0; i < R.QueryResult.Count(); ++i)
            all.push_back(Describe(R.QueryResult[i]));
        return all;
    }

    TNetDNSResolver R;
};

TEST_F(DnsResponse, TypicalMxReplyBecomesRecordsInReplyOrder) {
    R.ParseResponse(Typical());
    EXPECT_EQ(Records(), (std::vector<std::string>{
                             "example.com 15: MX 10 mx1.example.com",
                             "example.com 15: MX 20 mx2.example.com",
                             "example.com 2: NS ns1.example.com",
                             "mx1.example.com 1: A 192.0.2.1",
                             "mx2.example.com 1: A 192.0.2.2",
                         }));
    EXPECT_EQ(R.QueryResult.QueryDomain, "example.com");
    EXPECT_EQ(R.QueryResult.QueryType, 15);
    EXPECT_EQ(R.QueryResult.QueryClass, 1);
    EXPECT_EQ(R.DNSHeader().ANCount, 2);
    EXPECT_EQ(R.QueryResult[0].RecordClass, 1);
    EXPECT_EQ(R.QueryResult[0].TimeToLive, 3600u);
    // Compressed: preference, "mx1" and a pointer.
    EXPECT_EQ(R.QueryResult[0].RawData, std::string("\0\12\3mx1\xC0\14", 8));
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
    EXPECT_EQ(Records(), std::vector<std::string>{"example.com 15: MX 1 " + four + ".a"});
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
    EXPECT_EQ(Records(), std::vector<std::string>{"example.com 15: MX 5 mx.example.com"});
}

TEST_F(DnsResponse, EveryKindOfRecord) {
    const std::string spf(255, 's'), dkim(64, 'k');
    R.ParseResponse(Reply()
                        .CNAME(S::Answer, "example.com", "mail.example.net")
                        .MX(S::Answer, "mail.example.net", 0, "")
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
                        .BeginRecord(S::Answer, "example.com", 14)
                        .Name("resp.example.com")
                        .Name("err.example.com")
                        .EndRecord()
                        .BeginRecord(S::Answer, "example.com", 11)
                        .U32(0xC0000201)
                        .U8(6)
                        .Raw("AB")
                        .EndRecord()
                        .PTR(S::Answer, "4.3.2.1.in-addr.arpa", "host.example.com")
                        .BeginRecord(S::Answer, "example.com", 28)
                        .Raw(std::string(16, ' '))
                        .EndRecord()
                        .BeginRecord(S::Answer, "empty.example.com", 1)
                        .EndRecord()
                        .SOA(S::Authority, "example.com", "ns.example.com", "admin.example.com", 7,
                             3600, 600, 86400, 300)
                        .Build());
    EXPECT_EQ(Records(),
              (std::vector<std::string>{
                  "example.com 5: CNAME mail.example.net",
                  "mail.example.net 15: MX 0 ", // the root name
                  "example.com 16: TXT [" + spf + "] [" + dkim + "]",
                  "example.com 16: TXT [first]", // a zero length ends the strings
                  "host.example.com 13: HINFO CPU OS [CPU] [OS]",
                  "example.com 14: MINFO resp.example.com err.example.com",
                  "example.com 11: WKS 192.0.2.1 6 AB",
                  "4.3.2.1.in-addr.arpa 12: PTR host.example.com",
                  "example.com 28: [" + std::string(16, ' ') + "]", // no kind of its own
                  "empty.example.com 1: A ",                        // empty data
                  "example.com 6: SOA ns.example.com admin.example.com 7 3600 600 86400 300",
              }));
}

} // namespace
