// The name announced in EHLO/HELO when none is configured: the host's full
// name when it has a dot, else the address literal of the local end, as
// the scripted server sees it.
#include "smtp/NetHeloName.h"
#include "smtp/NetSMTP.h"
#include "tests/support/smtp_FakeServer.h"

#include <gtest/gtest.h>

namespace {

TEST(HeloName, ChoiceByHostNameAndLocalAddress) {
    struct Case {
        const char *host, *local, *name, *why;
    } cases[] = {
        {"mail.example.test", "192.0.2.1", "mail.example.test", "fully qualified"},
        {"vm", "192.0.2.1", "[192.0.2.1]", "no dot: the address literal"},
        {"vm", "2001:db8::1", "[IPv6:2001:db8::1]", "IPv6 literal"},
        {"vm", "fe80::1%eth0", "[IPv6:fe80::1]", "the zone is this host's, not the literal's"},
        {"vm", "", "vm", "local end unknown: the name after all"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DefaultHeloName(c.host, c.local), c.name) << c.why;
}

// The client's lines of one greeting with HeloName empty and the host's
// full name set to host; EHLO is refused so that HELO follows. ssAuto puts
// the socket under a TLS transport (not started: nothing offered).
std::vector<std::string> Announced(const char* host, TSmtpSecurity security = ssNone,
                                   const char* address = "127.0.0.1") {
    setenv("QUILLET_HOST_NAME", host, 1);
    TSmtpFakeOptions at;
    at.Address = address;
    TSmtpFakeServer server({Srv("220 hi"), Cli(), Srv("502 no"), Cli(), Srv("250 ok")}, at);
    TNetSMTP c;
    c.Host = address;
    c.Port = server.Port();
    c.ReadTimeout = 5000;
    c.Security = security;
    c.ConnectAndGreet();
    c.QuitAndClose();
    unsetenv("QUILLET_HOST_NAME");
    EXPECT_TRUE(server.WaitDone());
    return server.Lines();
}

TEST(HeloName, AnnouncedThroughTheConnection) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(Announced("vm"), (Lines{"EHLO [127.0.0.1]", "HELO [127.0.0.1]", "QUIT"}));
    EXPECT_EQ(Announced("vm", ssAuto), (Lines{"EHLO [127.0.0.1]", "HELO [127.0.0.1]", "QUIT"}));
    EXPECT_EQ(Announced("vm", ssNone, "::1"),
              (Lines{"EHLO [IPv6:::1]", "HELO [IPv6:::1]", "QUIT"}));
    EXPECT_EQ(Announced("host.example.test"),
              (Lines{"EHLO host.example.test", "HELO host.example.test", "QUIT"}));
}

} // namespace
