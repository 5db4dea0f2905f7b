// Integration with a real DNS server: dnsmasq on 127.0.0.1 and a free port,
// serving two mail exchangers for one domain and none for another; and
// one on ::1, asked over UDP and, for a reply too long for a datagram, TCP.
#include "dns/NetDNSResolver.h"

#include "tests/support/dns_Dnsmasq.h"

#include <gtest/gtest.h>
#include <map>

namespace {

using T = TQueryRecordTypes;

class DnsDnsmasq : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Server = new TDnsmasq({
            "local=/test/", // answer for .test here, never ask further
            "mx-host=mail.test,mx1.mail.test,10",
            "mx-host=mail.test,mx2.mail.test,20",
            "host-record=mx1.mail.test,127.0.0.11",
            "host-record=mx2.mail.test,127.0.0.12",
            "host-record=nomx.test,127.0.0.13",
        });
    }
    static void TearDownTestSuite() {
        delete Server;
        Server = nullptr;
    }
    DnsDnsmasq() {
        R.Host = "127.0.0.1";
        R.Port = Server->Port();
        R.ReceiveTimeout = 5000;
        R.QueryRecords = {T::qtMX};
    }

    static TDnsmasq* Server;
    TNetDNSResolver R;
};

TDnsmasq* DnsDnsmasq::Server = nullptr;

TEST_F(DnsDnsmasq, ServedExchangersAndTheirAddresses) {
    R.ResolveDomain("mail.test");
    std::map<std::string, int> preferences;
    std::map<std::string, std::string> addresses;
    for (int i = 0; i < R.QueryResult.Count(); ++i) {
        if (auto* mx = dynamic_cast<TMXRecord*>(&R.QueryResult[i])) {
            EXPECT_EQ(mx->OwnerName, "mail.test");
            preferences[mx->Exchange] = mx->Preference;
        } else if (auto* a = dynamic_cast<TARecord*>(&R.QueryResult[i])) {
            addresses[a->OwnerName] = a->HostAddress;
        }
    }
    EXPECT_EQ(preferences,
              (std::map<std::string, int>{{"mx1.mail.test", 10}, {"mx2.mail.test", 20}}));
    EXPECT_EQ(addresses, (std::map<std::string, std::string>{{"mx1.mail.test", "127.0.0.11"},
                                                             {"mx2.mail.test", "127.0.0.12"}}));
    EXPECT_EQ(R.QueryResult.QueryDomain, "mail.test");
}

TEST_F(DnsDnsmasq, DomainWithoutExchangers) {
    R.ResolveDomain("nomx.test");
    for (int i = 0; i < R.QueryResult.Count(); ++i)
        EXPECT_EQ(dynamic_cast<TMXRecord*>(&R.QueryResult[i]), nullptr) << i;
}

TEST_F(DnsDnsmasq, UnknownDomainIsANameError) {
    try {
        R.ResolveDomain("nowhere.test");
        FAIL() << "no error";
    } catch (const ENetDnsResolverError& e) {
        EXPECT_STREQ(e.what(), "DNS Server Reports Query Name Error");
    }
}

TEST_F(DnsDnsmasq, RepeatedLookupsOnOneSocket) {
    for (int i = 0; i < 50; ++i) {
        R.QueryResult.Clear();
        R.ResolveDomain(i % 2 ? "mail.test" : "MAIL.TEST.");
        int exchangers = 0;
        for (int k = 0; k < R.QueryResult.Count(); ++k)
            exchangers += dynamic_cast<TMXRecord*>(&R.QueryResult[k]) != nullptr;
        ASSERT_EQ(exchangers, 2) << i;
    }
}

TEST(DnsDnsmasqIPv6, AServerOnIPv6OverUdpAndTcp) {
    std::vector<std::string> zone = {"local=/test/", "mx-host=mail.test,mx1.mail.test,10"};
    // Forty exchangers do not fit the 512 bytes of a plain UDP reply.
    for (int i = 0; i < 40; ++i)
        zone.push_back("mx-host=big.test,exchanger-" + std::to_string(i) + ".big.test," +
                       std::to_string(i));
    TDnsmasq server(zone, "::1");
    TNetDNSResolver r;
    r.Host = "::1";
    r.Port = server.Port();
    r.ReceiveTimeout = 5000;
    r.QueryRecords = {T::qtMX};
    auto exchangers = [&r](const char* domain) {
        r.ResolveDomain(domain);
        int n = 0;
        for (int k = 0; k < r.QueryResult.Count(); ++k)
            n += dynamic_cast<TMXRecord*>(&r.QueryResult[k]) != nullptr;
        return n;
    };
    EXPECT_EQ(exchangers("mail.test"), 1) << "over UDP";
    EXPECT_EQ(exchangers("big.test"), 40) << "truncated over UDP, whole over TCP";
}

} // namespace
