// quillet-send as its users run it: a child process without a display,
// with a settings file, the real lame, and real peers on loopback (aiosmtpd,
// gnome-keyring on a private bus, our Simple MAPI provider over a stand-in
// xdg-email, ALSA's file plugin fed at a device's pace); where it finds its
// settings; signals; and the exit status of every kind of failure.
#include "platform/Keyring.h"
#include "platform/Process.h"
#include "platform/Program.h"
#include "tests/cli/CliChild.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_PacedFixture.h"
#include "tests/support/audio_WavBytes.h"
#include "tests/support/keyring_GnomeKeyring.h"
#include "tests/support/mail_Attachment.h"
#include "tests/support/mail_FakeXdgEmail.h"
#include "tests/support/net_Ports.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string Success = "Your voice e-mail has successfully sent out!\n";

} // namespace

// An installed program: its folder read-only, the settings where the window
// keeps them then ($XDG_CONFIG_HOME/quillet/), the password only in the
// keyring. Delivered with the login, quietly when stderr is no terminal,
// and the user's recording untouched.
TEST_F(CliTest, InstalledReadOnlyFindsTheWindowsSettingsAndTheKeyringsPassword) {
    TKeyringGnomeKeyring keyring;
    if (!keyring.Failure().empty())
        GTEST_SKIP() << "no Secret Service can run here: " << keyring.Failure();
    setenv("DBUS_SESSION_BUS_ADDRESS", keyring.Address().c_str(), 1);
    ASSERT_TRUE(TKeyring().StorePassword("127.0.0.1", "user", "secret"));
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    TSmtpAiosmtpd server(true);
    ASSERT_GT(server.Port(), 0);

    TTempDir installed;
    std::filesystem::create_directory(installed.File("bin"));
    std::filesystem::copy_file(QUILLET_SEND_PATH, installed.File("bin/quillet-send"));
    std::filesystem::create_directories(installed.File("config/quillet"));
    installed.Write(
        "config/quillet/quillet.ini",
        SettingsText({{"SMTP/Port", std::to_string(server.Port())}, {"SMTP/Password", ""}}));
    chmod(installed.File("bin").c_str(), 0555);
    TCliRun run;
    run.Program = installed.File("bin/quillet-send");
    run.Env["XDG_CONFIG_HOME"] = installed.File("config");
    run.Env["DBUS_SESSION_BUS_ADDRESS"] = keyring.Address();
    const std::string wav = Dir.Read("take.wav");
    TCliResult r = Run({"--to", "bob@example.org", "--wav", Dir.File("take.wav")}, run);
    chmod(installed.File("bin").c_str(), 0755);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, Success);
    EXPECT_EQ(r.Err, "") << "no wait texts or progress when stderr is no terminal";
    EXPECT_NE(server.Envelope(1).find("login=user\n"), std::string::npos);
    EXPECT_NEAR(DecodedSeconds(AttachmentBytes(server.Message(1))), 1.0, 0.25);
    EXPECT_EQ(Dir.Read("take.wav"), wav) << "the user's recording is not touched";
    EXPECT_EQ(WorkDirsLeft(), 0u);
}

// The default client through our provider beside an installed program:
// what reaches xdg-email (a lone Cc keeps its name), the attachment in a
// hand-over folder that outlives the run; an xdg-email that fails at once;
// a signal while a client that stays open has the mail.
TEST_F(CliTest, DefaultClientGetsTheMailInAFolderOfItsOwnAndASignalEndsTheWait) {
    TTempDir installed;
    const std::string program = installed.File("quillet-send");
    std::filesystem::copy_file(QUILLET_SEND_PATH, program);
    std::filesystem::copy_file(MAPI_PROVIDER_PATH, installed.File("libmapi32.so"));
    installed.Write("quillet.ini", SettingsText({{"User/SendType", "MAPI"}}));
    auto send = [&](const TFakeXdgEmail& client, std::vector<std::string> args,
                    std::function<void(pid_t)> whileRunning = {}) {
        TCliRun run;
        run.Program = program;
        for (const auto& [name, value] : client.Env())
            run.Env[name] = value;
        run.WhileRunning = std::move(whileRunning);
        args.insert(args.end(), {"--wav", Dir.File("take.wav")});
        return Run(args, run);
    };

    TFakeXdgEmail client;
    TCliResult r = send(client, {"--to", "bob@example.org", "--cc", "Cy <cy@example.net>",
                                 "--subject", std::string(300, 'S'), "--text", "Hello\nBob"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, Success);
    std::vector<std::string> args = client.Args();
    ASSERT_EQ(args.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 9),
              (std::vector<std::string>{"--to", "bob@example.org", "--cc", "Cy <cy@example.net>",
                                        "--subject", std::string(300, 'S'), "--body", "Hello\nBob",
                                        "--attach"}));
    EXPECT_EQ(args[9].rfind(Cache() + "/quillet/handover/", 0), 0u) << args[9];
    EXPECT_NEAR(DecodedSeconds(ReadWholeFile(args[9])), 1.0, 0.25)
        << "the mail client reads the attachment after the program has ended";

    TFakeXdgEmail failing(3);
    r = send(failing, {"--to", "bob@example.org"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "quillet-send: Can't send the mail by your default email client, please "
                     "check your email account settings.\n");

    TFakeXdgEmail open(0, 60);
    std::chrono::steady_clock::time_point signalled;
    r = send(open, {"--to", "bob@example.org"}, [&](pid_t pid) {
        for (int i = 0; i < 3000 && open.Pid() < 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        signalled = std::chrono::steady_clock::now();
        kill(pid, SIGTERM);
    });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Err, "quillet-send: Sending cancelled.\n");
    EXPECT_LT(seconds, 2.0) << "an idle machine takes 0.05 s";
    EXPECT_EQ(open.State(), 0) << "xdg-email was ended";

    EXPECT_EQ(WorkDirsLeft(), 0u);
    size_t folders = 0;
    for (const auto& e : std::filesystem::directory_iterator(Cache() + "/quillet/handover"))
        folders += e.is_directory();
    EXPECT_EQ(folders, 1u) << "only the mail the client has keeps its folder";
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
        {"--flush takes only --settings",
         {"--flush", "--to", "b@x"},
         {},
         1,
         "--flush takes no --to"},
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
         "is not a usable WAV file: no RIFF WAVE header"},
        {"encoder fails", ok, {}, 2, "the encoder (lame) failed with exit code 3", true},
        {"delivery refused, not queued",
         with({"--no-queue"}),
         {},
         3,
         "Connection refused.:127.0.0.1\n"},
        {"delivery refused for now: queued",
         ok,
         {},
         75,
         "quillet-send: The voice e-mail could not be sent now (Socket Error # 10061 / "
         "Connection refused.:127.0.0.1). It is in the Outbox and will be sent again at "},
        {"eml not writable", with({"--save", Tmp()}), {}, 3, "Cannot create file"},
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
        {"a switch twice", with({"--no-level", "--no-level"}), {}, 1, "--no-level is given twice"},
        {"a switch with a value", with({"--denoise=1"}), {}, 1, "unknown option --denoise"},
        {"--outbox takes no voice switch",
         {"--outbox", "--denoise"},
         {},
         1,
         "--outbox takes no --denoise"},
        {"the voice switches with the outbox's",
         with({"--no-level", "--denoise", "--no-queue", "--save", d + "x.eml"}),
         {},
         0,
         ""},
        {"Level neither 1 nor 0",
         ok,
         {{"Audio/Level", "yes"}},
         4,
         "'yes' is not 1 or 0 (key Level in section [Audio] of "},
        {"--device without a take to record",
         with({"--device", "pulse"}),
         {},
         1,
         "--device needs a device name and goes with --record"},
        {"a capture device that is gone",
         {"--to", "b@x", "--record", "1", "--device", "plughw:CARD=Gone,DEV=0", "--settings", ini},
         {},
         2,
         "Cannot record from the input device \"plughw:CARD=Gone,DEV=0\""},
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
    // German from LANG alone, whether or not the machine has that locale.
    TCliRun german;
    german.Env["LANG"] = "de_DE.UTF-8";
    EXPECT_EQ(Run({"--help"}, german).Out.rfind("Aufruf: quillet-send --to ADR", 0), 0u);
    const TCliResult bogus = Run({"--bogus"}, german);
    EXPECT_EQ(bogus.Err.rfind("quillet-send: unbekannte Option --bogus\nAufruf:", 0), 0u)
        << bogus.Err;
}

// Input that cannot be used is refused with its reason before anything is
// sent, and a failure is never reported as success.
TEST_F(CliTest, BadInputIsRefusedAndNothingIsSent) {
    const std::string d = Dir.Path() + "/", ini = d + "quillet.ini";
    // The take.wav fixture with value written over the bytes at `at`.
    auto wavWith = [&](const char* name, size_t at, uint32_t value, size_t bytes) {
        std::string wav = WavBytes(1);
        for (size_t i = 0; i < bytes; ++i)
            wav[at + i] = static_cast<char>(value >> (8 * i));
        Dir.Write(name, wav);
        return std::vector<std::string>{"--to", "b@x.org", "--wav", d + name, "--settings", ini};
    };
    auto unusable = [&](const char* name, const std::string& reason) {
        return "quillet-send: '" + d + name + "' is not a usable WAV file: " + reason + "\n";
    };
    Dir.Write("cut.wav", WavBytes(1).substr(0, 30));
    constexpr size_t MaxText = 1048576;
    Dir.Write("over.txt", std::string(MaxText + 1, 'a'));
    std::string limit;
    while (limit.size() < MaxText)
        limit += std::string(63, 'a') + "\n";
    Dir.Write("limit.txt", limit);
    const std::string tooLong = " is larger than 1 MB (1048576 bytes)";
    const std::vector<std::string> wav = {"--to",         "b@x.org",    "--wav",
                                          d + "take.wav", "--settings", ini};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = wav;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    struct Case {
        const char* why;
        std::vector<std::string> args;
        int status;
        std::string err; // a part of stderr
        std::string out = "";
        std::string in = "/dev/null";
        long fileSizeLimit = 0;
        std::map<std::string, std::string> settings = {};
    } cases[] = {
        {"a header cut at 30 bytes",
         {"--to", "b@x.org", "--wav", d + "cut.wav", "--settings", ini},
         2,
         unusable("cut.wav", "the header is cut short")},
        {"0 channels", wavWith("ch.wav", 22, 0, 2), 2,
         unusable("ch.wav", "0 channels (1 or 2 expected)")},
        {"0 bits", wavWith("bits.wav", 34, 0, 2), 2,
         unusable("bits.wav", "0 bits per sample (8 or 16 expected)")},
        {"a fmt size that wraps a 32-bit offset", wavWith("fmt.wav", 16, 0xFFFFFFF0, 4), 2,
         unusable("fmt.wav", "fmt chunk of 4294967280 bytes (16 or 18 expected)")},
        {"data past the end", wavWith("data.wav", 40, 22051, 4), 2,
         unusable("data.wav", "the data chunk runs past the end of the file (22051 bytes "
                              "announced, 22050 there)")},
        {"the file size limit is hit mid-take: the part written is not sent",
         {"--to", "b@x.org", "--record", "8", "--settings", ini},
         2,
         "Quillet.wav\". File too large\n",
         "",
         "/dev/null",
         20000},
        {"endless standard input", with({"--text-file", "-"}), 1, "standard input" + tooLong, "",
         "/dev/zero"},
        {"a text file one byte over", with({"--text-file", d + "over.txt"}), 1,
         "the text file " + d + "over.txt" + tooLong},
        {"exactly the limit is taken", with({"--text-file", "-", "--save", d + "t.eml"}), 0, "",
         "Saved " + d + "t.eml\n", d + "limit.txt"},
        {"--save into a missing folder, refused before the take",
         {"--to", "b@x.org", "--record", "1", "--save", d + "no/x.eml", "--settings", ini},
         1,
         "--save: cannot write into the folder " + d + "no: No such file or directory\n"},
        {"a recipient that cannot be sent as typed", with({"--cc", "carol"}), 1,
         "quillet-send: 'carol' is not a valid e-mail address.\n"},
        {"the own address in the settings",
         wav,
         4,
         "quillet-send: Your e-mail address 'ann' in Options is not a valid e-mail address.\n",
         "",
         "/dev/null",
         0,
         {{"User/Email", "ann"}}},
        {"--version wins over the rest",
         {"--bogus", "--version"},
         0,
         "",
         "quillet-send " QUILLET_VERSION "\n"},
    };
    for (const Case& c : cases) {
        std::map<std::string, std::string> settings = c.settings;
        settings.emplace("SMTP/Port", std::to_string(ClosedPort()));
        Settings(settings);
        TCliRun run;
        run.Env["ALSA_CONFIG_PATH"] =
            "/usr/share/alsa/alsa.conf:" QUILLET_TEST_SOURCE_DIR "/tests/support/audio_alsa.conf";
        run.Stdin = c.in;
        run.FileSizeLimit = c.fileSizeLimit;
        TCliResult r = Run(c.args, run);
        EXPECT_EQ(r.Status, c.status) << c.why << "\n" << r.Err;
        EXPECT_NE(r.Err.find(c.err), std::string::npos) << c.why << "\n" << r.Err;
        EXPECT_EQ(r.Err.find("Usage: quillet-send") != std::string::npos, c.status == 1) << c.why;
        EXPECT_EQ(r.Out, c.out) << c.why;
        EXPECT_EQ(WorkDirsLeft(), 0u) << c.why;
    }
}
