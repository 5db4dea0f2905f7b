// quillet-send as its users run it: a child process without a display,
// with a settings file, the real lame, and real peers on loopback (aiosmtpd,
// dnsmasq, the recording Simple MAPI provider, ALSA's file plugin fed at a
// device's pace); and the exit status of every kind of failure.
#include "audio/WAVFile.h"
#include "platform/Process.h"
#include "platform/Program.h"
#include "tests/cli/CliChild.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_WavBytes.h"
#include "tests/support/dns_Dnsmasq.h"
#include "tests/support/net_Port25.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string Success = "Your voice e-mail has successfully sent out!\n";

// The decoded base64 body of the attachment part of a stored mail.
std::string AttachmentBytes(const std::string& message) {
    size_t part = message.find("filename=\"Quillet.mp3\"");
    size_t start = message.find("\r\n\r\n", part);
    size_t end = message.find("\r\n\r\n", start + 4);
    if (part == std::string::npos || start == std::string::npos || end == std::string::npos)
        return "";
    QByteArray b64 = QByteArray::fromStdString(message.substr(start + 4, end - start - 4));
    return QByteArray::fromBase64(b64.replace("\r\n", "")).toStdString();
}

// Seconds of sound that `lame --decode` gets back from MP3 bytes.
double DecodedSeconds(const std::string& mp3) {
    TTempDir dir;
    dir.Write("got.mp3", mp3);
    if (RunAndWait("lame --quiet --decode got.mp3 got.wav", dir.Path()) != 0)
        return -1;
    TWAVFile wav;
    wav.LoadFromFile(dir.File("got.wav"));
    return wav.Duration();
}

// A loopback port nothing listens on.
int ClosedPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), n);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
}

// Feeds the capture device's FIFO at a device's pace. The file plugin
// returns a whole period for every read, however little the FIFO held, so
// the pace comes from one piece per period (a period is a quarter of the
// half-second device buffer, 125 ms); a piece of nearly a period's bytes
// at 16-bit samples takes two reads when the device reads 8-bit samples.
class TPacedFixture {
public:
    explicit TPacedFixture(const std::string& path) {
        mkfifo(path.c_str(), 0600);
        Feeder = std::thread([this, path] {
            const std::string piece = WavBytes(1).substr(44, 2600);
            int fd = -1;
            while (!Stop) {
                if (fd < 0)
                    fd = open(path.c_str(), O_WRONLY | O_NONBLOCK); // ENXIO until a reader
                if (fd >= 0 && write(fd, piece.data(), piece.size()) < 0 && errno == EPIPE) {
                    close(fd);
                    fd = -1;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(125));
            }
            if (fd >= 0)
                close(fd);
        });
    }
    ~TPacedFixture() {
        Stop = true;
        Feeder.join();
    }

private:
    std::atomic<bool> Stop{false};
    std::thread Feeder;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        Dir.Write("take.wav", WavBytes(1));
        std::filesystem::create_directory(Tmp());
    }
    std::string Tmp() const { return Dir.File("tmp"); }
    // The settings file with these values in place of the usual ones
    // ("Section/Key" -> value).
    std::string SettingsText(std::map<std::string, std::string> values) const {
        const std::vector<std::pair<std::string, std::string>> keys = {
            {"Audio/SampleRate", "11025"}, {"Audio/BitPerSample", "16"},
            {"User/Name", "Ann Example"},  {"User/Email", "ann@example.org"},
            {"User/SendType", "SMTP"},     {"SMTP/Server", "127.0.0.1"},
            {"SMTP/User", "user"},         {"SMTP/Password", "secret"},
            {"SMTP/Port", "25"},           {"SMTP/Security", "None"},
            {"SMTP/Timeout", "10"}};
        std::string text, section;
        for (const auto& [name, def] : keys) {
            std::string s = name.substr(0, name.find('/')), key = name.substr(s.size() + 1);
            if (s != section)
                text += "[" + (section = s) + "]\n";
            text += key + "=" + (values.count(name) ? values[name] : def) + "\n";
        }
        return text;
    }
    std::string Settings(std::map<std::string, std::string> values = {}) const {
        Dir.Write("quillet.ini", SettingsText(std::move(values)));
        return Dir.File("quillet.ini");
    }
    TCliResult Run(std::vector<std::string> args, TCliRun run = {}) const {
        run.Args = std::move(args);
        run.Env["TMPDIR"] = Tmp();
        return RunCli(run);
    }
    // The working directories quillet-send left in its TMPDIR.
    size_t WorkDirsLeft() const {
        size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(Tmp()))
            n += e.path().filename().string().rfind("quillet-send-", 0) == 0;
        return n;
    }

    TTempDir Dir;
};

} // namespace

TEST_F(CliTest, SmtpDeliversTheRecordingWithTheFields) {
    TSmtpAiosmtpd server(true);
    ASSERT_GT(server.Port(), 0);
    const std::string wav = Dir.Read("take.wav");
    TCliResult r = Run({"--to", "Bob <bob@example.org>", "--cc", "carol@example.org", "--subject",
                        "Voice note", "--text", "Hello Bob,\n.\nlisten to this.", "--wav",
                        Dir.File("take.wav"), "--settings",
                        Settings({{"SMTP/Port", std::to_string(server.Port())}})});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, Success);
    EXPECT_EQ(r.Err, "") << "no wait texts or progress when stderr is no terminal";

    std::string got = server.Message(1);
    EXPECT_NE(got.find("X-Unsent: 1\r\n"), std::string::npos);
    EXPECT_NE(got.find("From: \"Ann Example\" <ann@example.org>\r\n"), std::string::npos);
    EXPECT_NE(got.find("To: \"Bob\" <bob@example.org>\r\n"), std::string::npos);
    EXPECT_NE(got.find("Cc: carol@example.org\r\n"), std::string::npos);
    EXPECT_NE(got.find("Subject: Voice note\r\n"), std::string::npos);
    EXPECT_NE(got.find("Hello Bob,\r\n.\r\nlisten to this.\r\n"), std::string::npos)
        << "line breaks as CR LF";
    EXPECT_NE(server.Envelope(1).find("login=user\n"), std::string::npos);
    EXPECT_NEAR(DecodedSeconds(AttachmentBytes(got)), 1.0, 0.25);
    EXPECT_EQ(Dir.Read("take.wav"), wav) << "the user's recording is not touched";
    EXPECT_EQ(WorkDirsLeft(), 0u);
}

TEST_F(CliTest, DirectTriesTheExchangersInPreferenceOrder) {
    if (!CanListenOn25("127.0.0.13"))
        GTEST_SKIP() << "needs to listen on ports 25 and 53 (root)";
    // The program asks the resolver's server on port 53: dnsmasq listens
    // there on an address of its own. 127.0.0.12 (preferred) refuses.
    TDnsmasq dns({"local=/quillet-test/", "mx-host=quillet-test,127.0.0.13,20",
                  "mx-host=quillet-test,127.0.0.12,10"},
                 "127.0.0.14", 53);
    TSmtpAiosmtpd server(false, "127.0.0.13", 25);
    ASSERT_GT(server.Port(), 0);
    Dir.Write("resolv.conf", "nameserver 127.0.0.14\n");
    TCliRun run;
    run.Env["QUILLET_RESOLV_CONF"] = Dir.File("resolv.conf");
    TCliResult r = Run({"--to", "bob@quillet-test", "--wav", Dir.File("take.wav"), "--settings",
                        Settings({{"User/SendType", "Direct"}})},
                       run);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "quillet-send: Socket Error # 10061\nConnection refused.:127.0.0.12\n");
    EXPECT_NE(server.Message(1).find("To: bob@quillet-test\r\n"), std::string::npos);
}

TEST_F(CliTest, DefaultClientGetsTheMailAndKeepsItsAttachment) {
    // An installed copy: the provider and the settings file beside the program.
    TTempDir installed;
    const std::string program = installed.File("quillet-send");
    std::filesystem::copy_file(QUILLET_SEND_PATH, program);
    std::filesystem::copy_file(MAPI_TEST_PROVIDER_PATH, installed.File("libmapi32.so"));
    installed.Write("quillet.ini", SettingsText({{"User/SendType", "MAPI"}}));
    TCliRun run;
    run.Program = program;
    run.Env["QUILLET_TEST_PROVIDER_RECORD"] = Dir.File("sent.txt");
    TCliResult r = Run({"--to", "bob@example.org", "--subject", std::string(300, 'S'), "--text",
                        "Hello\nBob", "--wav", Dir.File("take.wav")},
                       run);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, Success);
    std::string sent = Dir.Read("sent.txt");
    EXPECT_EQ(sent.substr(0, sent.find("File=")), "Subject=" + std::string(300, 'S') +
                                                      "\nNoteText=Hello\\r\\nBob\n"
                                                      "Recip=1:bob@example.org\n");
    size_t file = sent.find("File=") + 5;
    std::string attachment = sent.substr(file, sent.find('\n', file) - file);
    EXPECT_EQ(attachment.rfind(Tmp() + "/quillet-send-", 0), 0u) << attachment;
    EXPECT_NEAR(DecodedSeconds(ReadWholeFile(attachment)), 1.0, 0.25)
        << "the mail client reads the attachment after the program has ended";

    run.Env["QUILLET_TEST_PROVIDER_SEND_CODE"] = "2";
    r = Run({"--to", "bob@example.org", "--wav", Dir.File("take.wav")}, run);
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Err, "quillet-send: Can't send the mail by your default email client, please "
                     "check your email account settings.\n");
    EXPECT_EQ(WorkDirsLeft(), 1u) << "only the handed-over attachment stays";
}

TEST_F(CliTest, RecordSavesATakeOfTheLengthAndFormatOfTheSettings) {
    // 16-bit samples at 11025 Hz: a take read as 8-bit would last twice as long.
    TPacedFixture fixture(Dir.File("capture.fifo"));
    TCliRun run;
    run.Env["ALSA_CONFIG_PATH"] =
        "/usr/share/alsa/alsa.conf:" QUILLET_TEST_SOURCE_DIR "/tests/support/audio_alsa.conf";
    run.Env["QUILLET_ALSA_INFILE"] = Dir.File("capture.fifo");
    const std::string eml = Dir.File("take.eml");
    TCliResult r = Run({"--to", "bob@example.org", "--subject", "Voice note", "--record", "1.5",
                        "--save", eml, "--settings", Settings()},
                       run);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "Saved " + eml + "\n");
    std::string saved = ReadWholeFile(eml);
    EXPECT_EQ(saved.rfind("X-Unsent: 1\r\nMessage-ID: <", 0), 0u);
    EXPECT_NE(saved.find("@example.org>\r\nFrom: \"Ann Example\" <ann@example.org>\r\n"),
              std::string::npos);
    EXPECT_NE(saved.find("\r\nTo: bob@example.org\r\n"), std::string::npos);
    EXPECT_NEAR(DecodedSeconds(AttachmentBytes(saved)), 1.5, 0.4);
    EXPECT_EQ(WorkDirsLeft(), 0u);
}

TEST_F(CliTest, SignalsCancelAStalledSend) {
    for (int sig : {SIGINT, SIGTERM}) {
        TSmtpFakeServer server({Quiet(20000)});
        std::chrono::steady_clock::time_point signalled;
        TCliRun run;
        run.WhileRunning = [&](pid_t pid) {
            // Once the server has the connection, the send waits for the
            // greeting (however long the encoding took before).
            for (int i = 0; i < 3000 && server.Connections() == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            signalled = std::chrono::steady_clock::now();
            kill(pid, sig);
        };
        TCliResult r = Run({"--to", "bob@example.org", "--wav", Dir.File("take.wav"), "--settings",
                            Settings({{"SMTP/Port", std::to_string(server.Port())}})},
                           run);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
        EXPECT_EQ(r.Status, 3) << sig;
        EXPECT_EQ(r.Err, "quillet-send: Sending cancelled.\n") << sig;
        EXPECT_LT(seconds, 2.0) << sig;
        EXPECT_EQ(WorkDirsLeft(), 0u) << sig;
    }
}

// One row per way of failing: the status, and the reason on stderr.
TEST_F(CliTest, ExitStatusTellsTheKindOfFailure) {
    const std::string d = Dir.Path() + "/";
    const std::string wav = d + "take.wav", ini = d + "quillet.ini";
    const std::vector<std::string> ok = {"--to", "bob@example.org", "--wav",
                                         wav,    "--settings",      ini};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = ok;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    const std::string refused = std::to_string(ClosedPort());
    struct Case {
        const char* why;
        std::vector<std::string> args;
        std::map<std::string, std::string> settings;
        int status;
        std::string err; // a part of stderr
        bool failingEncoder = false;
    } cases[] = {
        {"--help wins over everything", {"--bogus", "--help"}, {}, 0, ""},
        {"no --to", {"--wav", wav, "--settings", ini}, {}, 1, "--to is missing"},
        {"unknown option", with({"--bcc", "x@y"}), {}, 1, "unknown option --bcc"},
        {"a value missing", with({"--subject"}), {}, 1, "--subject needs a value"},
        {"a header field of two lines",
         with({"--subject", "Hi\nBcc: eve@example.org"}),
         {},
         1,
         "--subject must be one line"},
        {"an option twice", with({"--to", "x@y"}), {}, 1, "--to is given twice"},
        {"both recordings", with({"--record", "2"}), {}, 1, "give either --wav or --record"},
        {"no recording", {"--to", "b@x", "--settings", ini}, {}, 1, "give either --wav or"},
        {"both texts", with({"--text", "a", "--text-file", wav}), {}, 1, "not both"},
        {"text file missing",
         with({"--text-file", d + "none.txt"}),
         {},
         1,
         "cannot read the text file " + d + "none.txt: No such file"},
        {"text file a directory", with({"--text-file", d}), {}, 1, "Is a directory"},
        {"take length no number", {"--to", "b@x", "--record", "soon"}, {}, 1, "not 'soon'"},
        {"WAV missing",
         {"--to", "b@x", "--wav", d + "none.wav", "--settings", ini},
         {},
         2,
         "Cannot read the recording " + d + "none.wav"},
        {"WAV not a WAV",
         {"--to", "b@x", "--wav", ini, "--settings", ini},
         {},
         2,
         "is not a WAV file"},
        {"encoder fails", ok, {}, 2, "the encoder (lame) failed with exit code 3", true},
        {"delivery refused", ok, {{"SMTP/Port", refused}}, 3, "Connection refused.:127.0.0.1\n"},
        {"eml not writable", with({"--save", d + "no/x.eml"}), {}, 3, "Cannot create file"},
        {"--save needs no way of sending",
         with({"--save", d + "x.eml"}),
         {{"User/SendType", "smtp"}},
         0,
         ""},
        {"no settings file",
         {"--to", "b@x", "--wav", wav, "--settings", d + "none.ini"},
         {},
         4,
         "Cannot read the settings file " + d + "none.ini: No such file"},
        {"port out of range",
         ok,
         {{"SMTP/Port", "70000"}},
         4,
         "'70000' is not a valid port number"},
        {"negative time-out", ok, {{"SMTP/Timeout", "-1"}}, 4, "'-1' is not a valid time-out"},
        {"unknown way of sending",
         ok,
         {{"User/SendType", "smtp"}},
         4,
         "'smtp' is not a way of sending"},
        {"sample rate no number",
         {"--to", "b@x", "--record", "1", "--settings", ini},
         {{"Audio/SampleRate", "fast"}},
         4,
         "'fast' is not a valid integer value"},
    };
    std::filesystem::create_directory(d + "bin");
    Dir.Write("bin/lame.exe", "#!/bin/sh\nexit 3\n", 0755);
    for (const Case& c : cases) {
        std::map<std::string, std::string> settings = c.settings;
        settings.emplace("SMTP/Port", refused);
        Settings(settings);
        TCliRun run;
        if (c.failingEncoder)
            run.Env["PATH"] = d + "bin:" + std::getenv("PATH");
        TCliResult r = Run(c.args, run);
        EXPECT_EQ(r.Status, c.status) << c.why << "\n" << r.Err;
        EXPECT_NE(r.Err.find(c.err), std::string::npos) << c.why << "\n" << r.Err;
        if (c.status == 1) {
            EXPECT_NE(r.Err.find("Usage: quillet-send"), std::string::npos) << c.why;
        }
        EXPECT_EQ(WorkDirsLeft(), 0u) << c.why;
    }
    EXPECT_EQ(Run({"--help"}).Out.rfind("Usage: quillet-send --to ADDR", 0), 0u);
}
