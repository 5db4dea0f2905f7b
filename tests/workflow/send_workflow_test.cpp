// The send workflow without a window: a cancel ends every stage at once
// (encoder, DNS wait, connect, greeting, upload, the reply to ".", the
// hand-over to the mail client), time limits end a stalled server and a
// mail client's wait, the progress it reports, refused input and failing
// encoders that send nothing. Real peers on loopback: the scripted SMTP
// server, aiosmtpd, a silent UDP socket; the real lame; our Simple MAPI
// provider over a stand-in xdg-email.
#include "mapi/SMapi.h"
#include "platform/Program.h"
#include "tests/support/TempDir.h"
#include "tests/support/mail_Attachment.h"
#include "tests/support/mail_FakeXdgEmail.h"
#include "tests/support/net_LoopbackListeners.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"
#include "tests/workflow/WorkflowFixture.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class SendWorkflowTest : public TWorkflowFixture {
protected:
    void TearDown() override { UnloadMapiLibrary(); }

    // Sends with a cancel after ms, or once ready() holds after that;
    // returns the seconds from the cancel to the end of the send, or -1
    // when the send did not end in a cancel.
    double SendAndCancelAfter(int ms, const std::function<bool()>& ready) {
        Clock::time_point cancelled = Clock::time_point::max();
        QTimer timer; // ends with this call, even when the send does not
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (!ready()) {
                timer.start(10);
                return;
            }
            cancelled = Clock::now();
            Wf->Cancel();
        });
        timer.start(ms);
        try {
            Wf->Send(Fields);
        } catch (const ESendCancelled& e) {
            EXPECT_STREQ(e.what(), "Sending cancelled.");
            return std::chrono::duration<double>(Clock::now() - cancelled).count();
        }
        return -1;
    }

    // The default mail client: our provider over the xdg-email on PATH.
    void UseDefaultClient() {
        LoadMapiLibrary(MAPI_PROVIDER_PATH);
        ASSERT_TRUE(MapiAvail());
        Apply(Base(TSendType::Mapi));
    }
    // The hand-over folders under the workflow's root.
    std::vector<std::string> HandoverFolders() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Dir.File("handover"), ec))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
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
    std::unique_ptr<TFakeXdgEmail> client;
    int udp = -1;
    const std::vector<TCase> cases = {
        {"encoding", [this] { Make("sleep 30"); }},
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
             Make("", ntohs(a.sin_port));
             UseDirect();
         }},
        {"connect",
         [&, this] {
             silent = std::make_unique<SilentListener>();
             Make();
             UseSmtp(silent->Port);
         }},
        {"greeting",
         [&, this] {
             server = std::make_unique<TSmtpFakeServer>(std::vector<TSmtpStep>{Quiet(20000)});
             Make();
             UseSmtp(server->Port());
         }},
        {"upload to a server that stopped reading",
         [&, this] {
             server = std::make_unique<TSmtpFakeServer>(UpToData({Quiet(20000)}));
             Make("", 53, 32);
             UseSmtp(server->Port());
         }},
        {"reply to the final dot",
         [&, this] {
             server = std::make_unique<TSmtpFakeServer>(UpToData({CliData(), Quiet(20000)}));
             Make();
             UseSmtp(server->Port());
         }},
        {"hand-over to a mail client that stays open",
         [&, this] {
             client = std::make_unique<TFakeXdgEmail>(0, 60);
             client->Install();
             Make();
             UseDefaultClient();
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Stage);
        Notices.clear();
        c.Arrange();
        // An idle machine ends every stage within 2 ms of the cancel.
        double seconds = SendAndCancelAfter(400, [&] { return !client || client->Pid() > 0; });
        EXPECT_GE(seconds, 0) << "the send must end in a cancel";
        EXPECT_LT(seconds, 1.0);
        EXPECT_TRUE(Notices.empty()) << Notices.front();
        EXPECT_FALSE(Wf->Running());
        if (std::strcmp(c.Stage, "encoding") == 0) {
            EXPECT_FALSE(FileExists(Dir.File("Quillet.mp3")))
                << "no half-written recording is left";
        }
        if (client) {
            EXPECT_EQ(client->State(), 0) << "xdg-email was ended and reaped";
            EXPECT_TRUE(HandoverFolders().empty()) << "nothing was handed over";
        }
        client.reset();
        server.reset();
        silent.reset();
        if (udp >= 0)
            ::close(udp);
        udp = -1;
    }
}

// xdg-email waits for the whole mail client to exit when it had to start
// it. A hand-over not ended within five seconds counts as done; the event
// loop runs all the while; the client runs on, neither holding our stderr
// nor left a zombie when it ends. Its attachment lies in a private folder
// of its own, and folders older than a week are gone.
TEST_F(SendWorkflowTest, AMailClientThatStaysOpenHasTheMailAfterFiveSeconds) {
    const std::string root = Dir.File("handover/");
    auto earlier = [&](const std::string& name, int days) {
        std::filesystem::create_directories(root + name);
        Dir.Write("handover/" + name + "/Quillet.mp3", "earlier");
        const timespec then = {time(nullptr) - days * 24 * 3600, 0}, times[2] = {then, then};
        utimensat(AT_FDCWD, (root + name).c_str(), times, 0);
    };
    earlier("a-week-and-a-day", 8);
    earlier("six-days", 6);
    TFakeXdgEmail client(0, 60);
    client.Install();
    UseDefaultClient();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(100);
    Clock::time_point handOver;
    Wf->OnWaitText = [&](const std::string& text, bool) {
        if (text == "Sending, please wait...")
            handOver = Clock::now();
    };

    EXPECT_TRUE(Wf->Send(Fields));
    const double seconds = std::chrono::duration<double>(Clock::now() - handOver).count();
    EXPECT_GE(seconds, 5.0);
    EXPECT_LT(seconds, 25.0) << "an idle machine takes 5.01 s";
    EXPECT_GE(ticks, 10) << "about 50 on an idle machine";
    EXPECT_TRUE(Notices.empty());

    EXPECT_EQ(client.State(), 'S') << "the client runs on";
    char err[64] = "";
    readlink(("/proc/" + std::to_string(client.Pid()) + "/fd/2").c_str(), err, sizeof err - 1);
    EXPECT_STREQ(err, "/dev/null") << "a pipe reading our stderr would wait for the client";
    EXPECT_TRUE(client.EndAndAwaitGone(10000)) << "reaped when it ends";

    const std::vector<std::string> args = client.Args();
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args[args.size() - 2], "--attach");
    const std::string attachment = args.back(), folder = ExtractFilePath(attachment);
    EXPECT_EQ(ExtractFilePath(folder.substr(0, folder.size() - 1)), root);
    EXPECT_EQ(ExtractFileName(attachment), "Quillet.mp3");
    EXPECT_TRUE(ReadWholeFile(attachment) == Dir.Read("take.mp3")) << "a copy of the MP3";
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    const std::vector<std::string> folders = HandoverFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[1], "six-days") << "the older one was removed";
}

TEST_F(SendWorkflowTest, ProgressRisesToTheWholeForEncodingAndSending) {
    TSmtpAiosmtpd sink(false);
    ASSERT_GT(sink.Port(), 0);
    Dir.Write("Quillet.wav", WavBytes(20));
    Make("lame.exe Quillet.wav Quillet.mp3");
    UseSmtp(sink.Port(), ssNone, 60);
    std::vector<std::pair<int64_t, int64_t>> seen;
    Wf->OnProgress = [&](int64_t done, int64_t total) { seen.emplace_back(done, total); };
    ASSERT_TRUE(Wf->Send(Fields));
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
    EXPECT_EQ(WaitTexts,
              (std::vector<std::string>{"Compressing, please wait...", "Sending, please wait...",
                                        "Connecting 127.0.0.1...", "Sending by 127.0.0.1...",
                                        "Disconnecting 127.0.0.1 ..."}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().first, seen.back().second);
    EXPECT_NEAR(DecodedSeconds(AttachmentBytes(sink.Message(1))), 20.0, 0.5);
}

TEST_F(SendWorkflowTest, TheTimeoutSettingEndsASilentServerWithReadTimeout) {
    TSmtpFakeServer server({Quiet(20000)});
    UseSmtp(server.Port(), ssNone, 1);
    EXPECT_FALSE(Wf->Send(Fields));
    EXPECT_EQ(Notices, std::vector<std::string>{"Read Timeout:127.0.0.1"});
}

// A server that stops reading after 6 KB of a 129 KB mail, with the rest
// in the kernel's buffers: the Timeout ends it, and the bar shows no more
// than the server's kernel took (what it read and its 4 KB buffer's worth).
TEST_F(SendWorkflowTest, AServerThatStopsReadingEndsWithReadTimeout) {
    TSmtpFakeOptions small;
    small.ReceiveBuffer = 4096;
    TSmtpFakeServer server(UpToData({Take(6 * 1024), Quiet(15000)}), small);
    UseSmtp(server.Port(), ssNone, 1);
    Dir.Write("take.mp3", std::string(96 * 1024, 'm')); // 129 KB as base64
    int64_t shown = 0, total = 0;
    Wf->OnProgress = [&](int64_t done, int64_t whole) {
        if (whole > 100000) {
            shown = std::max(shown, done);
            total = whole;
        }
    };
    EXPECT_FALSE(Wf->Send(Fields));
    const double seconds =
        std::chrono::duration<double>(Clock::now() - server.StoppedReading()).count();
    EXPECT_EQ(Notices, std::vector<std::string>{"Read Timeout:127.0.0.1"});
    EXPECT_LT(seconds, 1 + 2.0) << "Timeout + 2 s";
    EXPECT_GT(total, 129000);
    EXPECT_LE(shown, 6 * 1024 + 4 * 4096) << "progress past the acknowledged bytes";
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
    UseSmtp(server.Port());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.To);
        TSendSettings s = Applied;
        s.UserEmail = c.Own;
        Apply(s);
        Fields.To = c.To;
        Fields.Subject = c.Subject;
        try {
            Wf->Send(Fields);
            ADD_FAILURE() << "sent";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.Shown);
        }
        EXPECT_FALSE(FileExists(Dir.File("Quillet.mp3"))) << "no encoder run";
    }
    EXPECT_EQ(server.Connections(), 0);
}

// An encoder that fails or leaves nothing: nothing is sent or saved, and an
// older compressed file never goes out as this recording. A good one runs
// where the recording is, whatever the working directory.
TEST_F(SendWorkflowTest, EncoderFailuresSendAndSaveNothing) {
    TSmtpAiosmtpd server(false);
    ASSERT_GT(server.Port(), 0);
    Dir.Write("fail3", "#!/bin/sh\nexit 3\n", 0755);
    struct TCase {
        std::string Encoder;
        const char* Shown; // the start of the message; nullptr: success
    } cases[] = {
        {Dir.File("fail3"),
         "Could not compress the recording: the encoder (lame) failed with exit code "
         "3."},
        {"true", "Could not compress the recording: the encoder (lame) left no file"},
        {"no-such-encoder Quillet.wav",
         "Could not compress the recording: the encoder (lame) could not be started."},
        {"lame.exe Quillet.wav Quillet.mp3", nullptr},
    };
    TTempDir elsewhere;
    elsewhere.Write("Quillet.wav", "not the recording");
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.Path());
    int delivered = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Encoder);
        Dir.Write("Quillet.mp3", "an older recording");
        Make(c.Encoder);
        UseSmtp(server.Port());
        for (bool save : {false, true}) {
            try {
                if (save)
                    Wf->SaveAs(Fields, Dir.File("out.eml"));
                else
                    EXPECT_TRUE(Wf->Send(Fields));
                EXPECT_EQ(c.Shown, nullptr) << "no failure";
            } catch (const Exception& e) {
                ASSERT_NE(c.Shown, nullptr) << e.Message;
                EXPECT_EQ(e.Message.rfind(c.Shown, 0), 0u) << e.Message;
            }
        }
        if (c.Shown) {
            EXPECT_FALSE(FileExists(Dir.File("out.eml")));
        } else {
            ++delivered;
            EXPECT_NEAR(DecodedSeconds(AttachmentBytes(Dir.Read("out.eml"))), 1.0, 0.25);
        }
    }
    std::filesystem::current_path(cwd);
    EXPECT_NE(server.Message(delivered, 5000), "");
    EXPECT_EQ(server.Message(delivered + 1, 300), "") << "nothing else was sent";
}
