// quillet-send and the outbox, as child processes against real servers on
// loopback: a greylisting aiosmtpd (queued, then delivered once by
// --flush), what --flush ends with for each state of the queue, two
// flushers at once, and SIGKILL at each stage of a flush. Queued mails are
// made through the outbox's own API where the send before it is not the
// point.
#include "tests/cli/CliFixture.h"
#include "tests/support/net_Ports.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"
#include "workflow/Outbox.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <set>
#include <thread>

namespace {

class OutboxCliTest : public CliTest {
protected:
    // A queued mail for bob@example.org, Message-ID <n@test>, queued ago
    // seconds before now and due now.
    std::string Queue(int n, int64_t ago = 0) const {
        TOutboxEnvelope e;
        e.Sender = "ann@example.org";
        e.Recipients = {"bob@example.org"};
        e.To = "Bob <bob@example.org>";
        e.Subject = "Note " + std::to_string(n);
        e.Created = e.LastTry = int64_t(std::time(nullptr)) - ago;
        e.Attempts = 1;
        e.NextTry = e.Created + 60;
        e.Expires = e.Created + 2 * 86400;
        return TOutbox(Outbox()).Add(Text(n), e);
    }
    static std::string Text(int n) {
        return "Message-ID: <" + std::to_string(n) + "@test>\r\nSubject: Note " +
               std::to_string(n) + "\r\n\r\nHello\r\n.a line with a leading dot\r\n";
    }
    std::vector<std::string> Queued() const { return TOutbox(Outbox()).List(); }
    TCliResult Flush(int port, TCliRun run = {}) const {
        return Run({"--flush", "--settings", Settings({{"SMTP/Port", std::to_string(port)}})}, run);
    }
};

// The dialogue of one message up to its data, from a server without AUTH.
std::vector<TSmtpStep> UpToData() {
    return {Srv("220 hi"), Cli(), Srv("250 hi"), Cli("RSET"), Srv("250 ok"), Cli(),
            Srv("250 ok"), Cli(), Srv("250 ok"), Cli("DATA"), Srv("354 go")};
}

} // namespace

TEST_F(OutboxCliTest, GreylistedMailIsQueuedAndFlushDeliversItOnce) {
    TSmtpAiosmtpdOptions o;
    o.Greylist = true;
    TSmtpAiosmtpd server(o);
    ASSERT_GT(server.Port(), 0);
    const std::string ini = Settings({{"SMTP/Port", std::to_string(server.Port())}});
    TCliResult r = Run({"--to", "Bob <bob@example.org>", "--subject", "Voice note", "--wav",
                        Dir.File("take.wav"), "--settings", ini});
    EXPECT_EQ(r.Status, 75) << r.Err;
    EXPECT_EQ(r.Err.rfind("quillet-send: The voice e-mail could not be sent now (4.7.1 "
                          "Greylisted, please try again later:127.0.0.1). It is in the Outbox "
                          "and will be sent again at ",
                          0),
              0u)
        << r.Err;
    const std::vector<std::string> ids = Queued();
    ASSERT_EQ(ids.size(), 1u);
    const std::string queued = ReadWholeFile(TOutbox(Outbox()).MessageFile(ids[0]));
    EXPECT_EQ((std::filesystem::status(Outbox()).permissions() & std::filesystem::perms::all),
              std::filesystem::perms::owner_all);

    r = Run({"--outbox"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.rfind(ids[0] + "\t", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find("\t1\t" + std::to_string(queued.size()) +
                         "\tBob <bob@example.org>\tVoice note\t4.7.1 Greylisted"),
              std::string::npos)
        << r.Out;

    r = Run({"--flush", "--settings", ini});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "Sent " + ids[0] + " (Bob <bob@example.org>)\n");
    EXPECT_EQ(server.Message(1), queued) << "the bytes queued, Message-ID and Date too";
    EXPECT_TRUE(Queued().empty());
    r = Run({"--flush", "--settings", ini});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(server.Message(2, 300), "") << "delivered once";
    EXPECT_EQ(Run({"--outbox"}).Out, "");
}

// What --flush ends with: 0 empty, 75 something waits, 3 something was
// refused for good; a server that comes back gets the mail.
TEST_F(OutboxCliTest, FlushTellsWhatIsLeft) {
    EXPECT_EQ(Flush(ClosedPort()).Status, 0) << "an empty outbox";

    const std::string id = Queue(1);
    const int port = ClosedPort();
    TCliResult r = Flush(port);
    EXPECT_EQ(r.Status, 75) << "the server is down";
    EXPECT_NE(r.Err.find(id + " (Bob <bob@example.org>) could not be sent now (Socket Error # "
                              "10061 / Connection refused.:127.0.0.1); next try at "),
              std::string::npos)
        << r.Err;
    std::string problem;
    EXPECT_EQ(TOutbox(Outbox()).ReadEnvelope(id, problem)->Attempts, 2);
    {
        TSmtpAiosmtpd server(false, "127.0.0.1", port);
        ASSERT_GT(server.Port(), 0);
        EXPECT_EQ(Flush(port).Status, 0) << "and up again";
        EXPECT_EQ(server.Message(1), Text(1));
    }

    struct TCase {
        const char* Why;
        int64_t Ago; // queued that long ago
        std::string Reply;
        std::string Said;
    } cases[] = {
        {"a recipient refused for good", 0, "550 5.1.1 no such user", "(5.1.1 no such user:"},
        {"still put off after 2 days", 3 * 86400, "451 4.7.1 try later",
         "(Not delivered within 2 days; the last try said: 4.7.1 try later:"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        const std::string refused = Queue(2, c.Ago);
        std::vector<TSmtpStep> script = UpToData();
        script.resize(7); // through MAIL FROM's reply
        script.insert(script.end(), {Cli("RCPT TO:<bob@example.org>"), Srv(c.Reply)});
        TSmtpFakeServer server(script);
        r = Flush(server.Port());
        EXPECT_EQ(r.Status, 3) << r.Err;
        EXPECT_NE(r.Err.find(refused + " (Bob <bob@example.org>) was not delivered " + c.Said),
                  std::string::npos)
            << r.Err;
        const std::string kept = TOutbox(Outbox()).FailedDir() + refused + ".eml";
        EXPECT_NE(r.Err.find("It is kept as " + kept + "."), std::string::npos) << r.Err;
        EXPECT_EQ(ReadWholeFile(kept), Text(2));
        EXPECT_TRUE(Queued().empty());
        EXPECT_EQ(Flush(ClosedPort()).Status, 0) << "reported once";
    }
}

// The voice settings are for a take being compressed: a value of theirs
// that cannot be used stops a send, never a flush of mails made already.
TEST_F(OutboxCliTest, FlushIsNotStoppedByTheVoiceSettings) {
    Queue(1);
    TSmtpAiosmtpd server(false);
    ASSERT_GT(server.Port(), 0);
    const std::string ini = Settings({{"SMTP/Port", std::to_string(server.Port())},
                                      {"Audio/Level", "yes"},
                                      {"Audio/Denoise", "2"}});
    TCliResult r = Run({"--flush", "--settings", ini});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(server.Message(1), Text(1));
    EXPECT_TRUE(Queued().empty());
    r = Run({"--to", "bob@example.org", "--wav", Dir.File("take.wav"), "--settings", ini});
    EXPECT_EQ(r.Status, 4) << r.Err;
    EXPECT_NE(r.Err.find("'yes' is not 1 or 0"), std::string::npos) << r.Err;
    EXPECT_EQ(server.Message(2, 300), "") << "nothing sent";
}

TEST_F(OutboxCliTest, TwoFlushersAtOnceDeliverEachMailOnce) {
    constexpr int Mails = 40;
    for (int n = 1; n <= Mails; ++n)
        Queue(n);
    TSmtpAiosmtpd server(false);
    ASSERT_GT(server.Port(), 0);
    TCliResult first, second;
    std::thread other([&] { second = Flush(server.Port()); });
    first = Flush(server.Port());
    other.join();
    // One may find the last mails taken by the other and still at work.
    EXPECT_TRUE(first.Status == 0 || first.Status == 75) << first.Err;
    EXPECT_TRUE(second.Status == 0 || second.Status == 75) << second.Err;
    std::set<std::string> got;
    for (int n = 1; n <= Mails; ++n)
        got.insert(server.Message(n));
    EXPECT_EQ(got.size(), size_t(Mails));
    EXPECT_EQ(server.Message(Mails + 1, 500), "") << "no mail twice";
    EXPECT_TRUE(Queued().empty());
}

// A flush killed at each stage, then run again: the mail arrives, and
// twice only when the kill fell after the server took it.
TEST_F(OutboxCliTest, KillDuringAFlushLosesNothing) {
    auto upTo = [](size_t steps, std::vector<TSmtpStep> then) {
        std::vector<TSmtpStep> s = UpToData();
        s.resize(steps);
        s.insert(s.end(), then.begin(), then.end());
        return s;
    };
    auto data = [](TSmtpFakeServer& s) { return !s.Data().empty(); };
    struct TStage {
        const char* Name;
        std::vector<TSmtpStep> Script;
        std::function<bool(TSmtpFakeServer&)> Reached;
        bool Taken; // the server may have taken the mail before the kill
    } stages[] = {
        {"before the greeting",
         {Quiet(20000)},
         [](TSmtpFakeServer& s) { return s.Connections() > 0; },
         false},
        {"after the recipients", upTo(9, {Quiet(20000)}),
         [](TSmtpFakeServer& s) { return s.Lines().size() >= 4; }, false},
        {"waiting for the reply to the final dot", upTo(11, {CliData(), Quiet(20000)}), data,
         false},
        {"as the reply to the final dot comes",
         upTo(11, {CliData(), Srv("250 taken"), Quiet(20000)}), data, true},
    };
    TSmtpAiosmtpd after(false);
    ASSERT_GT(after.Port(), 0);
    int delivered = 0;
    for (TStage& stage : stages) {
        SCOPED_TRACE(stage.Name);
        Queue(1);
        TSmtpFakeServer server(stage.Script);
        TCliRun run;
        run.WhileRunning = [&](pid_t pid) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (!stage.Reached(server) && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            kill(pid, SIGKILL);
        };
        // After the 250 the flush may finish before the kill lands.
        const int status = Flush(server.Port(), run).Status;
        EXPECT_TRUE(status == 128 + SIGKILL || (stage.Taken && status == 0)) << status;
        TCliResult r = Flush(after.Port());
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_TRUE(Queued().empty());
        const bool again = !after.Message(delivered + 1, 300).empty();
        delivered += again;
        if (!stage.Taken) {
            EXPECT_TRUE(again) << "not lost";
        }
    }
}
