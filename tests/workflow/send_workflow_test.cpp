// The send workflow without a window: a cancel ends every stage at once
// (encoder, DNS wait, connect, greeting, upload, the reply to "."), time
// limits end a stalled server, and the progress it reports. Real peers on
// loopback: the scripted SMTP server, aiosmtpd, a silent UDP socket.
#include "workflow/SendWorkflow.h"

#include "dns/NetDNSResolver.h"
#include "platform/Process.h"
#include "platform/Program.h"
#include "smtp/NetSMTP.h"
#include "tests/net/tcp_LoopbackListeners.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_WavBytes.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

class SendWorkflowTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "workflow_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        Wf.RecordingFile = Dir.File("Quillet.wav");
        Wf.EncodedFile = Dir.File("Quillet.mp3");
        Dir.Write("Quillet.wav", WavBytes(1));
        Wf.OnMessage = [this](const std::string& t) { Notices.push_back(t); };
        Wf.OnInformation = [this](const std::string& t) { Notices.push_back(t); };
        Fields.To = "bob@example.org";
        Fields.Subject = "Voice note";
        Fields.Body = "Hello";
        TSendSettings s;
        s.UserEmail = "ann@example.org";
        Wf.ApplySettings(s);
    }
    void UseSmtp(int port, int timeoutSeconds = 0) {
        TSendSettings s;
        s.UserEmail = "ann@example.org";
        s.SendType = "SMTP";
        s.SmtpServer = "127.0.0.1";
        s.SmtpPort = port;
        s.SmtpSecurity = "None";
        s.TimeoutSeconds = timeoutSeconds;
        Wf.ApplySettings(s);
    }
    // An attachment of mb megabytes, copied in place of the encoder's run.
    void CopiedAttachment(int mb) {
        Dir.Write("take.mp3", std::string(size_t(mb) << 20, 'x'));
        Wf.EncoderCommandLine = "cp take.mp3 Quillet.mp3";
    }
    // Sends with a cancel after ms; returns the seconds from the cancel to
    // the end of the send, or -1 when the send did not end in a cancel.
    double SendAndCancelAfter(int ms) {
        // Measured from when the cancel was due: a frozen window would
        // only see the click late.
        const Clock::time_point cancelled = Clock::now() + std::chrono::milliseconds(ms);
        QTimer timer; // ends with this call, even when the send does not
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { Wf.Cancel(); });
        timer.start(ms);
        try {
            Wf.Send(Fields);
        } catch (const ESendCancelled& e) {
            EXPECT_STREQ(e.what(), "Sending cancelled.");
            return std::chrono::duration<double>(Clock::now() - cancelled).count();
        }
        return -1;
    }

    TTempDir Dir;
    TSendWorkflow Wf;
    TSendFields Fields;
    std::vector<std::string> Notices;
};

// The scripted dialogue up to DATA's go-ahead, then the given steps.
std::vector<TSmtpStep> UpToData(std::vector<TSmtpStep> then) {
    std::vector<TSmtpStep> s = {Srv("220 sink"), Cli(),       Srv("250 sink"), Cli("RSET"),
                                Srv("250 ok"),   Cli(),       Srv("250 ok"),   Cli(),
                                Srv("250 ok"),   Cli("DATA"), Srv("354 go")};
    s.insert(s.end(), then.begin(), then.end());
    return s;
}

} // namespace

TEST_F(SendWorkflowTest, CancelEndsEveryStageAtOnce) {
    struct TCase {
        const char* Stage;
        std::function<void()> Arrange;
    };
    std::unique_ptr<TSmtpFakeServer> server;
    std::unique_ptr<SilentListener> silent;
    int udp = -1;
    const std::vector<TCase> cases = {
        {"encoding", [this] { Wf.EncoderCommandLine = "sleep 30"; }},
        {"DNS wait",
         [&, this] {
             // A name server that reads the query and never answers.
             udp = ::socket(AF_INET, SOCK_DGRAM, 0);
             sockaddr_in a{};
             a.sin_family = AF_INET;
             a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
             ::bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof a);
             socklen_t len = sizeof a;
             ::getsockname(udp, reinterpret_cast<sockaddr*>(&a), &len);
             Dir.Write("resolv.conf", "nameserver 127.0.0.1\n");
             setenv("QUILLET_RESOLV_CONF", Dir.File("resolv.conf").c_str(), 1);
             CopiedAttachment(1);
             TSendSettings s;
             s.SendType = "Direct";
             s.UserEmail = "ann@example.org";
             Wf.ApplySettings(s);
             Wf.Resolver().Port = ntohs(a.sin_port);
         }},
        {"connect",
         [&, this] {
             silent = std::make_unique<SilentListener>();
             CopiedAttachment(1);
             UseSmtp(silent->Port);
         }},
        {"greeting",
         [&, this] {
             server = std::make_unique<TSmtpFakeServer>(std::vector<TSmtpStep>{Quiet(20000)});
             CopiedAttachment(1);
             UseSmtp(server->Port());
         }},
        {"upload to a server that stopped reading",
         [&, this] {
             server = std::make_unique<TSmtpFakeServer>(UpToData({Quiet(20000)}));
             CopiedAttachment(32);
             UseSmtp(server->Port());
         }},
        {"reply to the final dot",
         [&, this] {
             server = std::make_unique<TSmtpFakeServer>(UpToData({CliData(), Quiet(20000)}));
             CopiedAttachment(1);
             UseSmtp(server->Port());
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Stage);
        Notices.clear();
        c.Arrange();
        double seconds = SendAndCancelAfter(400);
        EXPECT_GE(seconds, 0) << "the send must end in a cancel";
        EXPECT_LT(seconds, 1.0);
        EXPECT_TRUE(Notices.empty()) << Notices.front();
        EXPECT_FALSE(Wf.Running());
        EXPECT_FALSE(Wf.Smtp().IsConnected());
        if (std::strcmp(c.Stage, "encoding") == 0) {
            EXPECT_FALSE(FileExists(Wf.EncodedFile)) << "no half-written recording is left";
        }
        server.reset();
        silent.reset();
        if (udp >= 0)
            ::close(udp);
        udp = -1;
    }
}

TEST_F(SendWorkflowTest, ProgressRisesToTheWholeForEncodingAndSending) {
    TSmtpAiosmtpd sink(false);
    ASSERT_GT(sink.Port(), 0);
    Dir.Write("Quillet.wav", WavBytes(20));
    UseSmtp(sink.Port(), 60);
    std::vector<std::pair<int64_t, int64_t>> seen;
    Wf.OnProgress = [&](int64_t done, int64_t total) { seen.emplace_back(done, total); };
    ASSERT_TRUE(Wf.Send(Fields));
    ASSERT_FALSE(sink.Message(1).empty());
    // Two stages, each starting afresh and never going back.
    int stages = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
        auto [done, total] = seen[i];
        EXPECT_LE(done, total);
        bool newStage = i == 0 || seen[i - 1].second != total || done < seen[i - 1].first;
        if (newStage) {
            ++stages;
            if (i > 0) {
                EXPECT_EQ(seen[i - 1].first, seen[i - 1].second) << "a stage ends at its whole";
            }
        }
    }
    EXPECT_EQ(stages, 2);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().first, seen.back().second);
}

TEST_F(SendWorkflowTest, TheTimeoutSettingEndsASilentServerWithReadTimeout) {
    TSmtpFakeServer server({Quiet(20000)});
    CopiedAttachment(1);
    UseSmtp(server.Port(), 1);
    auto start = Clock::now();
    EXPECT_FALSE(Wf.Send(Fields));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 3.0);
    EXPECT_EQ(Notices, std::vector<std::string>{"Read Timeout:127.0.0.1"});
}

TEST_F(SendWorkflowTest, RefusedRecipientsOrOwnAddressSendNothingAndRunNoEncoder) {
    struct TCase {
        const char *To, *Subject, *Own, *Shown;
    } cases[] = {
        {"not an address", "s", "ann@example.org",
         "'not an address' is not a valid e-mail address."},
        {"bob@x.test carol@x.test", "s", "ann@example.org",
         "'bob@x.test carol@x.test' is not a valid e-mail address."},
        {"bob@x.test", "a\x1b[31m", "ann@example.org", "The subject contains a control character."},
        {"bob@x.test", "s", "a@x> SIZE=1 AUTH=<spoof@x",
         "Your e-mail address 'a@x> SIZE=1 AUTH=<spoof@x' in Options is not a valid e-mail "
         "address."},
    };
    TSmtpFakeServer server({Quiet(5000)});
    CopiedAttachment(1);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.To);
        TSendSettings s = Wf.Settings();
        s.SendType = "SMTP";
        s.SmtpServer = "127.0.0.1";
        s.SmtpPort = server.Port();
        s.UserEmail = c.Own;
        Wf.ApplySettings(s);
        Fields.To = c.To;
        Fields.Subject = c.Subject;
        try {
            Wf.Send(Fields);
            ADD_FAILURE() << "sent";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.Shown);
        }
        EXPECT_FALSE(FileExists(Wf.EncodedFile)) << "no encoder run";
    }
    EXPECT_EQ(server.Connections(), 0);
}
