// Account settings from the address, against a real name server (dnsmasq
// on loopback): the provider table first, then _submissions before
// _submission, the targets by priority, the provider of the domain's mail
// hosts, and nothing found.
#include "tests/support/TempDir.h"
#include "tests/support/dns_Dnsmasq.h"
#include "workflow/AccountDiscovery.h"

#include <gtest/gtest.h>

namespace {

TEST(AccountDiscovery, TableThenSrvThenMailHosts) {
    TDnsmasq dns({
        "local=/quillet-test/",
        // Both kinds: implicit TLS wins.
        "srv-host=_submissions._tcp.both.quillet-test,tls.both.quillet-test,465,0,1",
        "srv-host=_submission._tcp.both.quillet-test,starttls.both.quillet-test,587,0,1",
        // Only STARTTLS, two targets: the lower priority value first.
        "srv-host=_submission._tcp.prio.quillet-test,second.prio.quillet-test,2587,20,0",
        "srv-host=_submission._tcp.prio.quillet-test,first.prio.quillet-test,1587,10,0",
        // Implicit TLS said to be not there ("."): STARTTLS is asked.
        "srv-host=_submissions._tcp.dot.quillet-test",
        "srv-host=_submission._tcp.dot.quillet-test,mail.dot.quillet-test,587,0,0",
        // A company domain whose mail Google handles.
        "mx-host=corp.quillet-test,aspmx.l.google.com,10",
        "host-record=plain.quillet-test,127.0.0.9",
    });
    TTempDir dir;
    dir.Write("resolv.conf", "nameserver 127.0.0.1\n");
    setenv("QUILLET_RESOLV_CONF", dir.File("resolv.conf").c_str(), 1);
    TDiscoveryOptions o;
    o.DnsPort = dns.Port();
    struct TCase {
        const char* Address;
        const char* Lines; // nullptr: nothing found
        const char* Source;
    } cases[] = {
        {"ann@GMail.com",
         "Server=smtp.gmail.com\nPort=465\nSecurity=SSL/TLS\nAuth=OAuth2\n"
         "OAuthProvider=Google\n",
         "Found in Quillet's table of providers (Gmail)."},
        {"bob@hotmail.com",
         "Server=smtp-mail.outlook.com\nPort=587\nSecurity=STARTTLS\n"
         "Auth=OAuth2\nOAuthProvider=Microsoft\n",
         "Found in Quillet's table of providers (Outlook.com)."},
        {"eve@contoso.onmicrosoft.com",
         "Server=smtp.office365.com\nPort=587\n"
         "Security=STARTTLS\nAuth=OAuth2\nOAuthProvider=Microsoft\n",
         "Found in Quillet's table of providers (Microsoft 365)."},
        {"tim@proton.me", "Server=127.0.0.1\nPort=1025\nSecurity=STARTTLS\nAuth=Password\n",
         "Found in Quillet's table of providers (Proton Mail Bridge)."},
        {"carol@both.quillet-test",
         "Server=tls.both.quillet-test\nPort=465\nSecurity=SSL/TLS\nAuth=Password\n",
         "Found in the DNS of both.quillet-test."},
        {"dave@prio.quillet-test",
         "Server=first.prio.quillet-test\nPort=1587\nSecurity=STARTTLS\nAuth=Password\n",
         "Found in the DNS of prio.quillet-test."},
        {"erin@dot.quillet-test",
         "Server=mail.dot.quillet-test\nPort=587\nSecurity=STARTTLS\nAuth=Password\n",
         "Found in the DNS of dot.quillet-test."},
        {"fay@corp.quillet-test",
         "Server=smtp.gmail.com\nPort=465\nSecurity=SSL/TLS\n"
         "Auth=OAuth2\nOAuthProvider=Google\n",
         "The mail of corp.quillet-test goes to Gmail."},
        {"gus@plain.quillet-test", nullptr, ""},
        {"hal@nowhere.quillet-test", nullptr, ""},
        {"no address", nullptr, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Address);
        const auto found = DiscoverAccount(c.Address, o);
        ASSERT_EQ(found.has_value(), c.Lines != nullptr);
        if (found) {
            EXPECT_EQ(ProposalLines(*found), c.Lines);
            EXPECT_EQ(found->Source, c.Source);
        }
    }
    unsetenv("QUILLET_RESOLV_CONF");
}

} // namespace
