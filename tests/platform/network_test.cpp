// The DNS servers of the resolver configuration: every "nameserver" of
// either family in file order, and the first of them.
#include "platform/Network.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using Servers = std::vector<std::string>;

TEST(Network, EveryNameserverInFileOrder) {
    struct Case {
        const char* conf;
        Servers servers;
        const char* why;
    } cases[] = {
        {"nameserver 192.0.2.1\nnameserver 192.0.2.2\nnameserver 192.0.2.3\n",
         {"192.0.2.1", "192.0.2.2", "192.0.2.3"},
         "all three, in order"},
        {"search example.test\nnameserver 2001:db8::1\n  nameserver\t192.0.2.9 # ours\n",
         {"2001:db8::1", "192.0.2.9"},
         "IPv6 first, whole; blanks and a trailing comment allowed"},
        {"nameserver fe80::1%lo\nnameserver ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255\n",
         {"fe80::1%lo", "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255"},
         "a scoped address, and one longer than an IPv4 field held"},
        {"#nameserver 192.0.2.1\nnameserver\nnameserver 192.0.2.300\nnameservers 192.0.2.4\n"
         "nameserver dns.example\n",
         {},
         "comment, no address, no valid address, another keyword, a name"},
        {"nameserver 192.0.2.5\nnameserver 192.0.2.6\nnameserver 192.0.2.5\n",
         {"192.0.2.5", "192.0.2.6"},
         "a repeated server is asked once"},
    };
    TTempDir dir;
    for (const Case& c : cases) {
        dir.Write("resolv.conf", c.conf);
        EXPECT_EQ(GetDnsServersFrom(dir.File("resolv.conf")), c.servers) << c.why;
        std::string first = "unchanged";
        EXPECT_EQ(GetFirstDnsServerFrom(dir.File("resolv.conf"), first), !c.servers.empty())
            << c.why;
        EXPECT_EQ(first, c.servers.empty() ? "unchanged" : c.servers[0]) << c.why;
    }
    EXPECT_EQ(GetDnsServersFrom(dir.File("missing.conf")), Servers{});
}

} // namespace
