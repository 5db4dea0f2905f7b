// Which failed sends go into the outbox and which are reported at once,
// against the scripted SMTP and DNS servers: every passing failure the
// delivery knows (a server down, 4xx at each stage, a connection cut before
// the reply to ".", a DNS SERVFAIL) queues the very bytes sent with the
// recipients still waiting; 5xx and a name that does not exist do not. A
// full disk while queueing says so and leaves nothing half written. A mail
// over the server's SIZE limit is refused for good before RSET, whether
// sent now or from the outbox, and the connection goes on with the next.
#include "tests/support/dns_FakeServer.h"
#include "tests/support/dns_PacketBuilder.h"
#include "tests/support/net_Ports.h"
#include "tests/support/smtp_FakeServer.h"
#include "tests/workflow/WorkflowFixture.h"
#include "workflow/Outbox.h"

#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

namespace {

class OutboxWorkflowTest : public TWorkflowFixture {
protected:
    void SetUp() override {
        TWorkflowFixture::SetUp();
        OutboxDir = Dir.File("outbox");
        Make();
    }
    std::vector<std::string> Queued() const { return TOutbox(OutboxDir).List(); }
    // The sentence of a queued send, with the time of its next try.
    std::string QueuedNotice(const std::string& reason, int64_t nextTry) const {
        const std::time_t t = nextTry;
        std::tm local{};
        localtime_r(&t, &local);
        char clock[8];
        std::strftime(clock, sizeof clock, "%H:%M", &local);
        return "The voice e-mail could not be sent now (" + reason +
               "). It is in the Outbox and will be sent again at " + clock + ".";
    }
};

// The scripted dialogue to DATA's go-ahead, the last steps replaced by then.
std::vector<TSmtpStep> Dialogue(size_t keep, std::vector<TSmtpStep> then) {
    std::vector<TSmtpStep> s = {Srv("220 sink"), Cli(),       Srv("250 sink"), Cli("RSET"),
                                Srv("250 ok"),   Cli(),       Srv("250 ok"),   Cli(),
                                Srv("250 ok"),   Cli("DATA"), Srv("354 go")};
    s.resize(keep);
    s.insert(s.end(), then.begin(), then.end());
    return s;
}

} // namespace

TEST_F(OutboxWorkflowTest, PassingFailuresQueueTheBytesSentAndLastingOnesDoNot) {
    const std::string two = "bob@example.org, carol@example.org";
    struct TCase {
        const char* Why;
        std::vector<TSmtpStep> Script; // empty: nothing listens
        bool Queued;
        std::string Said; // queued: the reason; else the failure notice shown
        std::string To = "bob@example.org";
        std::vector<std::string> Waiting = {"bob@example.org"};
    } cases[] = {
        {"the server is down", {}, true, "Socket Error # 10061 / Connection refused.:127.0.0.1"},
        {"421 greeting", {Srv("421 4.3.2 going down")}, true, "4.3.2 going down:127.0.0.1"},
        {"451 to MAIL FROM", Dialogue(7, {Srv("451 4.3.0 try again")}), true,
         "4.3.0 try again:127.0.0.1"},
        {"452 to the recipient", Dialogue(9, {Srv("452 4.2.2 mailbox full")}), true,
         "4.2.2 mailbox full:127.0.0.1"},
        {"one of two recipients put off",
         Dialogue(9, {Cli(), Srv("451 4.7.1 greylisted"), Cli("DATA"), Srv("354 go"), CliData(),
                      Srv("250 taken")}),
         true,
         "4.7.1 greylisted:127.0.0.1",
         two,
         {"carol@example.org"}},
        {"451 to the final dot", Dialogue(11, {CliData(), Srv("451 4.3.0 later")}), true,
         "4.3.0 later:127.0.0.1"},
        {"cut before the reply to the final dot", Dialogue(11, {CliData(), Hangup()}), true,
         "Connection Closed Gracefully.:127.0.0.1"},
        {"554 greeting", {Srv("554 5.7.1 go away")}, false, "5.7.1 go away\r\n:127.0.0.1"},
        {"550 to the recipient", Dialogue(9, {Srv("550 5.1.1 no such user")}), false,
         "5.1.1 no such user\r\n:127.0.0.1"},
        {"554 to the final dot", Dialogue(11, {CliData(), Srv("554 5.6.0 refused")}), false,
         "5.6.0 refused\r\n:127.0.0.1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        std::filesystem::remove_all(OutboxDir);
        Notices.clear();
        std::unique_ptr<TSmtpFakeServer> server;
        if (!c.Script.empty())
            server = std::make_unique<TSmtpFakeServer>(c.Script);
        UseSmtp(server ? server->Port() : ClosedPort());
        Fields.To = c.To;
        EXPECT_FALSE(Wf->Send(Fields));
        EXPECT_EQ(Wf->Queued(), c.Queued);
        const std::vector<std::string> queued = Queued();
        if (!c.Queued) {
            EXPECT_TRUE(queued.empty());
            EXPECT_EQ(Notices, std::vector<std::string>{c.Said});
            continue;
        }
        ASSERT_EQ(queued.size(), 1u);
        std::string problem;
        const TOutboxEnvelope e = *TOutbox(OutboxDir).ReadEnvelope(queued[0], problem);
        EXPECT_EQ(Notices, std::vector<std::string>{QueuedNotice(c.Said, e.NextTry)});
        EXPECT_EQ(e.Recipients, c.Waiting);
        EXPECT_EQ(e.Attempts, 1);
        EXPECT_EQ(e.LastReply, c.Said);
        EXPECT_EQ(e.NextTry, e.LastTry + 60);
        EXPECT_EQ(e.Expires, e.Created + 2 * 86400);
        if (server) {
            server->WaitDone();
            if (!server->Data().empty()) {
                EXPECT_EQ(ReadWholeFile(TOutbox(OutboxDir).MessageFile(queued[0])), server->Data())
                    << "the bytes that went";
            }
        }
    }
}

TEST_F(OutboxWorkflowTest, ADnsServerFailureQueuesANameThatDoesNotExistDoesNot) {
    for (uint16_t flags : {0x8182, 0x8183}) {
        const bool servfail = flags == 0x8182;
        SCOPED_TRACE(servfail ? "SERVFAIL" : "NXDOMAIN");
        TDnsFakeServer dns([flags](const std::string& query, int) {
            return std::vector<TDnsFakeDatagram>{
                {TDnsPacketBuilder::ReplyTo(query, flags).Build(), 0, false}};
        });
        Make("", dns.Port());
        UseDirect();
        Notices.clear();
        EXPECT_FALSE(Wf->Send(Fields));
        EXPECT_EQ(Wf->Queued(), servfail);
        ASSERT_EQ(Notices.size(), 1u);
        EXPECT_NE(Notices[0].find(servfail ? "(Error resolving domain: DNS Server Reports Query "
                                             "Server Error). It is in the Outbox"
                                           : "Error resolving domain: DNS Server Reports Query "
                                             "Name Error"),
                  std::string::npos)
            << Notices[0];
        std::string problem;
        if (servfail) {
            EXPECT_EQ(TOutbox(OutboxDir).ReadEnvelope(Queued().at(0), problem)->Way,
                      TSendType::Direct);
        }
    }
}

TEST_F(OutboxWorkflowTest, AFullDiskWhileQueueingSaysSoAndLeavesNothingHalfWritten) {
    // The encoder's 4000 bytes fit under the limit, the queued mail does not.
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit limit = before;
    limit.rlim_cur = 5000;
    UseSmtp(ClosedPort());
    const std::string take = Dir.Read("Quillet.wav");
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool sent = Wf->Send(Fields);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(sent);
    EXPECT_FALSE(Wf->Queued());
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_EQ(Notices[0].rfind("The voice e-mail could not be sent now (Socket Error # 10061 / "
                               "Connection refused.:127.0.0.1), and it could not be put in the "
                               "Outbox: " +
                                   OutboxDir + "/.new-",
                               0),
              0u)
        << Notices[0];
    EXPECT_NE(Notices[0].find("/message.eml: File too large"), std::string::npos) << Notices[0];
    EXPECT_TRUE(std::filesystem::is_empty(OutboxDir)) << "nothing half written";
    EXPECT_EQ(Dir.Read("Quillet.wav"), take) << "the recording stays";
}

// The mail a server is told of on MAIL FROM is the text that goes, X-Mailer
// included; one over the announced limit stops before RSET, is not queued,
// and its message names the host once.
TEST_F(OutboxWorkflowTest, TheSizeOnMailFromIsTheTextThatGoesAndALargerMailIsNotQueued) {
    {
        TSmtpFakeServer server({Srv("220 sink"), Cli(), Srv("250-sink\r\n250 SIZE 100000"),
                                Cli("RSET"), Srv("250 ok"), Cli(), Srv("250 ok"), Cli(),
                                Srv("250 ok"), Cli("DATA"), Srv("354 go"), CliData(),
                                Srv("250 taken")});
        UseSmtp(server.Port());
        EXPECT_TRUE(Wf->Send(Fields));
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
        const std::string data = server.Data();
        EXPECT_NE(data.find("\r\nX-Mailer: Quillet(http://www.quillet.example/)\r\n"),
                  std::string::npos);
        ASSERT_GE(server.Lines().size(), 3u);
        EXPECT_EQ(server.Lines()[2],
                  "MAIL FROM:<ann@example.org> SIZE=" + std::to_string(data.size()));
    }
    TSmtpFakeServer server({Srv("220 sink"), Cli(), Srv("250-sink\r\n250 SIZE 1000000")});
    UseSmtp(server.Port());
    Make("", 53, 1); // a 1 MB attachment
    Notices.clear();
    EXPECT_FALSE(Wf->Send(Fields));
    EXPECT_FALSE(Wf->Queued());
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(Notices, std::vector<std::string>{
                           "The mail (1.4 MB) is larger than 127.0.0.1 accepts (1 MB)."});
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Lines().size(), 2u) << "EHLO, then QUIT";
    EXPECT_EQ(server.Lines().back(), "QUIT");
}

// A queued mail the server now finds too large is given up; the next one
// still goes over the same connection.
TEST_F(OutboxWorkflowTest, AQueuedMailOverTheSizeLimitIsGivenUpAndTheNextStillGoes) {
    UseSmtp(ClosedPort());
    Make("", 53, 1); // a 1 MB attachment
    EXPECT_FALSE(Wf->Send(Fields));
    ASSERT_EQ(Queued().size(), 1u);
    const std::string large = Queued()[0];
    Make();
    Fields.Subject = "Small";
    EXPECT_FALSE(Wf->Send(Fields));
    ASSERT_EQ(Queued().size(), 2u);
    const std::string small = Queued()[0] == large ? Queued()[1] : Queued()[0];
    const std::string smallText = ReadWholeFile(TOutbox(OutboxDir).MessageFile(small));

    TSmtpFakeServer server({Srv("220 sink"), Cli(), Srv("250-sink\r\n250 SIZE 100000"), Cli("RSET"),
                            Srv("250 ok"), Cli(), Srv("250 ok"), Cli(), Srv("250 ok"), Cli("DATA"),
                            Srv("354 go"), CliData(), Srv("250 taken")});
    UseSmtp(server.Port());
    const TOutboxPass pass = Wf->SendQueued({false, {large, small}});
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Failure(), "");
    ASSERT_EQ(pass.Items.size(), 2u);
    EXPECT_EQ(pass.Items[0].Id, large);
    EXPECT_EQ(pass.Items[0].Result, TOutboxPass::Refused);
    EXPECT_EQ(pass.Items[0].Reason, "The mail (1.4 MB) is larger than 127.0.0.1 accepts (0.1 MB).");
    EXPECT_FALSE(pass.Items[0].File.empty()) << "kept in failed/";
    EXPECT_EQ(pass.Items[1].Id, small);
    EXPECT_EQ(pass.Items[1].Result, TOutboxPass::Sent);
    EXPECT_EQ(pass.Remaining, 0u);
    EXPECT_EQ(server.Data(), smallText);
    const std::vector<std::string> lines = server.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "RSET") << "nothing of the large one went";
    EXPECT_EQ(lines[2], "MAIL FROM:<ann@example.org> SIZE=" + std::to_string(smallText.size()));
    EXPECT_EQ(lines[5], "QUIT");
}
