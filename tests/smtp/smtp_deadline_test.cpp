// Time limits and cancel of a send against the scripted server: a silent
// server, a reply dripped a byte at a time and a server that stops reading
// during the message each end in "Read Timeout" once their limit is waited
// out, long before the server would end the wait itself (it hangs up then,
// or the reply completes); an anti-freeze that throws (the user's Cancel)
// ends every kind of wait at once and leaves the client ready for a
// second, successful send.
#include "base/Exception.h"
#include "mail/message/NetMessage.h"
#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "smtp/NetSMTP.h"
#include "tests/support/net_LoopbackListeners.h"
#include "tests/support/smtp_FakeServer.h"

#include <QCoreApplication>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

class ECancelled : public Exception {
public:
    ECancelled() : Exception("Cancelled") {}
};

// Counts its calls and throws on call number ThrowAt (0: never), noting
// when.
class CountingAntiFreeze : public TNetAntiFreezeBase {
public:
    int Calls = 0;
    int ThrowAt = 0;
    Clock::time_point Thrown;
    void Process() override {
        if (++Calls == ThrowAt) {
            Thrown = Clock::now();
            throw ECancelled();
        }
    }
};

// Everything up to the 354 after DATA.
std::vector<TSmtpStep> UpToData() {
    return {Srv("220 ready"),       Cli("EHLO client.test"),
            Srv("250 server.test"), Cli("RSET"),
            Srv("250 reset"),       Cli("MAIL FROM:<sender@example.test>"),
            Srv("250 ok"),          Cli("RCPT TO:<to@example.test>"),
            Srv("250 ok"),          Cli("DATA"),
            Srv("354 go")};
}

std::vector<TSmtpStep> With(std::vector<TSmtpStep> a, const std::vector<TSmtpStep>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::unique_ptr<TNetMessage> Message(bool large) {
    auto m = std::make_unique<TNetMessage>();
    m->From.Address = "sender@example.test";
    m->Recipients.Add().Address = "to@example.test";
    // 24 MB: more than the send and receive buffers of loopback together.
    m->Body.assign(large ? 300000 : 1, std::string(78, 'x'));
    return m;
}

struct Client : TNetSMTP {
    explicit Client(int port) {
        Host = "127.0.0.1";
        Port = port;
        HeloName = "client.test";
        Security = ssNone;
    }
};

// Runs a whole send; the exception's text, or "" when delivered.
std::string Send(Client& c, TNetMessage& m) {
    try {
        c.ConnectAndGreet(5000);
        c.SendMail(m);
        return "";
    } catch (const Exception& e) {
        return e.Message;
    }
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SmtpDeadline : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "smtp_deadline_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
};

TEST_F(SmtpDeadline, EachLimitEndsItsWait) {
    struct Case {
        const char* Name;
        std::vector<TSmtpStep> Script;
        int32_t Read, Reply, DataReply, Write;
        bool Large;
        const char* Expected; // "" : delivered
        long long MinMs;      // the limit that must have been waited out
    };
    // Whatever the server does after the limit (hang up, finish the reply)
    // ends a wait that the limit failed to end with another outcome.
    const Case cases[] = {
        {"silent server", {Quiet(5000), Hangup()}, 0, 600, 0, 0, false, "Read Timeout", 550},
        // 100 ms a byte passes a 300 ms per-read limit every time; only the
        // limit on the whole reply ends it.
        {"dripped greeting",
         {Drip("220 a slow server greets you byte by byte\r\n", 100), Hangup()},
         300,
         800,
         0,
         0,
         false,
         "Read Timeout",
         750},
        {"dripped reply to the dot",
         With(UpToData(), {CliData(), Drip("250 2.0.0 queued as 1234567890\r\n", 100)}), 300, 5000,
         600, 0, false, "Read Timeout", 550},
        // The dot's own limit is the longer one here.
        {"slow reply to the dot in time", With(UpToData(), {CliData(), Quiet(700), Srv("250 ok")}),
         0, 400, 3000, 0, false, "", 650},
        {"server stops reading", With(UpToData(), {Quiet(8000), Hangup()}), 0, 5000, 0, 500, true,
         "Read Timeout", 450},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Name);
        TSmtpFakeServer server(k.Script);
        Client c(server.Port());
        c.ReadTimeout = k.Read;
        c.ReplyTimeout = k.Reply;
        c.DataReplyTimeout = k.DataReply;
        c.WriteTimeout = k.Write;
        auto m = Message(k.Large);
        CountingAntiFreeze af;
        af.IdleTimeOut = 100;
        const auto start = Clock::now();
        EXPECT_EQ(Send(c, *m), k.Expected);
        const long long ms = MsSince(start);
        EXPECT_GE(ms, k.MinMs);
        // The window was serviced while the write could not go on.
        if (k.Write > 0) {
            EXPECT_GE(af.Calls, k.Write / 100 - 1);
        }
        c.QuitAndClose();
        EXPECT_FALSE(c.IsConnected());
    }
}

TEST_F(SmtpDeadline, CancelEndsEveryWaitAndTheClientSendsAgain) {
    enum Wait { Connect, Greeting, Write, DotReply };
    struct Case {
        const char* Name;
        Wait Where;
        std::vector<TSmtpStep> Script;
    };
    const Case cases[] = {
        {"connect", Connect, {}},
        {"greeting", Greeting, {Quiet(5000)}},
        {"write to a server that stops reading", Write, With(UpToData(), {Quiet(8000)})},
        {"reply to the dot", DotReply, With(UpToData(), {CliData(), Quiet(5000)})},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Name);
        std::unique_ptr<SilentListener> silent;
        std::unique_ptr<TSmtpFakeServer> server;
        if (k.Where == Connect)
            silent = std::make_unique<SilentListener>();
        else
            server = std::make_unique<TSmtpFakeServer>(k.Script);
        Client c(silent ? silent->Port : server->Port());
        CountingAntiFreeze af;
        af.IdleTimeOut = 50;
        af.ThrowAt = 3;
        auto m = Message(k.Where == Write);
        EXPECT_EQ(Send(c, *m), "Cancelled");
        EXPECT_LT(MsSince(af.Thrown), 1000) << "the cancel ends the wait at once";
        EXPECT_FALSE(c.IsConnected());
        c.CloseConnection();

        TSmtpFakeServer good(With(UpToData(), {CliData(), Srv("250 queued"), Cli("QUIT")}));
        c.Port = good.Port();
        auto small = Message(false);
        EXPECT_EQ(Send(c, *small), "");
        c.QuitAndClose();
        ASSERT_TRUE(good.WaitDone());
        EXPECT_EQ(good.Failure(), "");
        EXPECT_NE(good.Data().find(std::string(78, 'x') + "\r\n"), std::string::npos);
    }
}

} // namespace
