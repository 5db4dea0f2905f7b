// Reaching the own server by every address its name has: a server on ::1
// alone, a first address that is a black hole, every address refused or
// silent. "localhost" is ::1 and 127.0.0.1 (IPv6 first), so one port on
// both loopbacks gives a host with an address of each family; the peers
// are aiosmtpd and listeners whose full accept queue drops the SYN.
#include "tests/support/net_LoopbackListeners.h"
#include "tests/support/net_Ports.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/workflow/WorkflowFixture.h"

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

class ReachTest : public TWorkflowFixture {
protected:
    // The own server named server at port, with the Timeout setting.
    void UseServer(const std::string& server, int port, int timeoutSeconds) {
        UseSmtp(port, ssNone, timeoutSeconds);
        TSendSettings s = Applied;
        s.SmtpServer = server;
        s.SmtpUser.clear();
        s.SmtpPassword.clear();
        Apply(s);
    }
    // Seconds from "Connecting ..." to the end of the send.
    double SendTimed(bool& delivered) {
        Clock::time_point connecting = Clock::now();
        Wf->OnWaitText = [&](const std::string& t, bool) {
            WaitTexts.push_back(t);
            if (t.rfind("Connecting", 0) == 0)
                connecting = Clock::now();
        };
        delivered = Wf->Send(Fields);
        return std::chrono::duration<double>(Clock::now() - connecting).count();
    }
};

TEST_F(ReachTest, AServerOnlyOnIPv6IsReachedByNameOrLiteral) {
    TSmtpAiosmtpd sink(false, "::1");
    ASSERT_GT(sink.Port(), 0) << "aiosmtpd on ::1";
    int n = 0;
    for (const char* server : {"localhost", "::1", "[::1]"}) {
        SCOPED_TRACE(server);
        UseServer(server, sink.Port(), 60);
        EXPECT_TRUE(Wf->Send(Fields));
        EXPECT_EQ(Notices, std::vector<std::string>{});
        EXPECT_NE(sink.Message(++n), "");
    }
}

TEST_F(ReachTest, ABlackHoleFirstDoesNotHoldTheDeliveryUp) {
    const int port = DualStackPort();
    ASSERT_GT(port, 0);
    SilentListener hole("::1", port);
    ASSERT_TRUE(hole.Bound);
    TSmtpAiosmtpd sink(false, "127.0.0.1", port);
    ASSERT_GT(sink.Port(), 0);
    UseServer("localhost", port, 60);
    bool delivered = false;
    const double seconds = SendTimed(delivered);
    EXPECT_TRUE(delivered);
    EXPECT_NE(sink.Message(1), "");
    // The next address starts 250 ms after the silent one, not after the
    // 60 s Timeout; 1 s on an idle machine, with room for a busy one.
    EXPECT_LT(seconds, 5.0);
}

// Every address fails: one message names each with its reason, and the
// Timeout bounds the whole race, not each attempt.
TEST_F(ReachTest, EveryAddressFailingIsNamedInOneMessage) {
    const int port = DualStackPort();
    ASSERT_GT(port, 0);
    {
        UseServer("localhost", port, 60);
        EXPECT_FALSE(Wf->Send(Fields));
        EXPECT_EQ(Notices, std::vector<std::string>{
                               "Could not connect to localhost at any of its addresses:\r\n"
                               "[::1]: Socket Error # 10061 Connection refused.\r\n"
                               "127.0.0.1: Socket Error # 10061 Connection refused.:localhost"});
    }
    Notices.clear();
    SilentListener hole6("::1", port), hole4("127.0.0.1", port);
    ASSERT_TRUE(hole6.Bound && hole4.Bound);
    UseServer("localhost", port, 1);
    bool delivered = true;
    const double seconds = SendTimed(delivered);
    EXPECT_FALSE(delivered);
    EXPECT_EQ(Notices, std::vector<std::string>{"Could not connect to localhost at any of its "
                                                "addresses:\r\n[::1]: Connect timed out.\r\n"
                                                "127.0.0.1: Connect timed out.:localhost"});
    EXPECT_LT(seconds, 5.0) << "a 1 s Timeout for the whole race";
}

} // namespace
