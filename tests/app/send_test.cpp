// Sending from the window: a take recorded through ALSA file plugins,
// compressed by the real lame, delivered to a real SMTP server (aiosmtpd),
// handed to a recording Simple MAPI provider, or saved as .eml; what the
// window shows meanwhile and after, the trust question, and the ways a
// running send ends. The workflow's own faults are tested in tests/workflow.
#include "app/FormMain.h"
#include "app/FormWait.h"
#include "app/Termination.h"
#include "audio/WAVFile.h"
#include "mapi/SMapi.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/Program.h"
#include "tests/app/FormMainAccess.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/SendWindowFixture.h"
#include "tests/app/WindowTestMain.h"
#include "tests/mapi/TestProvider.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_PacedFixture.h"
#include "tests/support/mail_Attachment.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/smtp_FakeServer.h"
#include "tests/support/tls_TestPki.h"
#include "ui_FormMain.h"
#include "ui_FormWait.h"
#include "workflow/SendWorkflow.h"

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

using SendTest = TSendWindowFixture;

const char* const Success = "Your voice e-mail has successfully sent out!";

} // namespace

TEST_F(SendTest, SmtpDeliversTheComposedMailWithItsRecordingAfterALogin) {
    TSmtpAiosmtpd server(true);
    ASSERT_GT(server.Port(), 0);
    Settings("SMTP", "127.0.0.1", server.Port());
    TFormMain& m = Make();
    RecordTake();
    Fill("Bob <bob@example.org>", "carol@example.org");
    UiOf(m)->ActionToolbarSend->trigger();

    EXPECT_EQ(Texts(), std::vector<std::string>{Success});
    EXPECT_FALSE(Wait->isVisible());
    EXPECT_TRUE(UiOf(m)->ActionFileSend->isEnabled());
    EXPECT_TRUE(UiOf(m)->ActionFileNew->isEnabled());

    std::string got = server.Message(1);
    EXPECT_EQ(Count(got, "X-Unsent: 1\r\n"), 1u);
    EXPECT_NE(got.find("X-Mailer: Quillet(http://www.quillet.example/)\r\n"), std::string::npos);
    EXPECT_NE(got.find("From: \"Ann Example\" <ann@example.org>\r\n"), std::string::npos)
        << got.substr(0, 600);
    EXPECT_NE(got.find("To: \"Bob\" <bob@example.org>\r\n"), std::string::npos)
        << got.substr(0, 600);
    EXPECT_NE(got.find("Cc: carol@example.org\r\n"), std::string::npos);
    EXPECT_NE(got.find("Subject: Voice note\r\n"), std::string::npos);
    EXPECT_NE(got.find("Hello Bob,\r\n.\r\nlisten to this.\r\n"), std::string::npos)
        << "memo text, dot kept";
    std::string envelope = server.Envelope(1);
    EXPECT_NE(envelope.find("login=user\n"), std::string::npos);
    EXPECT_NE(envelope.find("rcpt=bob@example.org\n"), std::string::npos);
    EXPECT_NE(envelope.find("rcpt=carol@example.org\n"), std::string::npos);

    double seconds = DecodedSeconds(AttachmentBytes(got));
    EXPECT_NEAR(seconds, RecordingSeconds(), 0.25 + RecordingSeconds() * 0.02);

    // A second send in one run still carries one raw line and one attachment.
    UiOf(m)->ActionFileSend->trigger();
    std::string second = server.Message(2);
    EXPECT_EQ(Count(second, "X-Unsent: 1\r\n"), 1u);
    EXPECT_EQ(Count(second, "filename=\"Quillet.mp3\""), 1u);
}

TEST_F(SendTest, SmtpWithoutAServerNameShowsTheConnectErrorAndAnEmptyHost) {
    Settings("SMTP", "");
    TFormMain& m = Make();
    RecordTake(50);
    UiOf(m)->ActionFileSend->trigger();
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    const std::string& text = Dialogs.Boxes[0].Text;
    EXPECT_EQ(text.rfind("Socket Error # ", 0), 0u) << text;
    EXPECT_EQ(text.back(), ':') << "message first, then \":\" and the empty host";
    EXPECT_FALSE(Wait->isVisible());
}

TEST_F(SendTest, UnknownSendTypeSendsNothingAndSaysNothing) {
    Settings("smtp");
    TFormMain& m = Make();
    RecordTake(50);
    UiOf(m)->ActionFileSend->trigger();
    EXPECT_TRUE(Dialogs.Boxes.empty());
    EXPECT_TRUE(FileExists(TFormMain::EncodedFile())) << "the mail was still prepared";
}

TEST_F(SendTest, DefaultClientGetsTheFieldsAndAFailureIsReported) {
    LoadMapiLibrary(MAPI_TEST_PROVIDER_PATH);
    ASSERT_TRUE(MapiAvail());
    void* handle = dlopen(MAPI_TEST_PROVIDER_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto* state = reinterpret_cast<TestProviderStateFunc*>(dlsym(handle, "TestProviderState"))();
    dlclose(handle);
    state->Reset();

    Settings("MAPI");
    TFormMain& m = Make();
    RecordTake(50);
    Fill("bob@example.org");
    UiOf(m)->EditSubject->setText(QString(300, 'S'));
    UiOf(m)->ActionFileSend->trigger();
    EXPECT_EQ(Texts(), std::vector<std::string>{Success});
    ASSERT_EQ(state->Sent.size(), 1u);
    const TTestMessage& sent = state->Sent[0];
    EXPECT_EQ(sent.Subject.value_or(""), std::string(300, 'S')) << "the whole subject";
    EXPECT_EQ(sent.NoteText.value_or(""), "Hello Bob,\r\n.\r\nlisten to this.");
    ASSERT_EQ(sent.Recips.size(), 1u) << "the empty Cc entry resolves to nothing";
    EXPECT_EQ(sent.Recips[0].Name.value_or(""), "bob@example.org");
    // The client gets a copy of its own, which the next encoding cannot touch.
    const std::string handover = Dir.File("cache/quillet/handover/");
    ASSERT_EQ(sent.Files.size(), 1u);
    const std::string attachment = sent.Files[0].Path.value_or("");
    EXPECT_EQ(attachment.rfind(handover, 0), 0u) << attachment;
    EXPECT_EQ(ReadWholeFile(attachment), ReadWholeFile(TFormMain::EncodedFile()));

    Dialogs.Boxes.clear();
    state->SendCode = 2;
    UiOf(m)->ActionFileSend->trigger();
    EXPECT_EQ(Texts(),
              std::vector<std::string>{"Can't send the mail by your default email client, please "
                                       "check your email account settings."});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(handover),
                            std::filesystem::directory_iterator()),
              1)
        << "a hand-over that failed leaves no folder";
    UnloadMapiLibrary();
    Dialogs.Boxes.clear();
    UiOf(m)->ActionFileSend->trigger();
    EXPECT_EQ(Texts(),
              std::vector<std::string>{"Can't send the mail by your default email client, please "
                                       "check your email account settings.MAPI services are not "
                                       "available on this system"});
}

TEST_F(SendTest, SaveAsWritesWhatSmtpTransmitsAndCancelRunsNoEncoder) {
    TSmtpAiosmtpd server(true);
    ASSERT_GT(server.Port(), 0);
    Settings("SMTP", "127.0.0.1", server.Port());
    TFormMain& m = Make();
    RecordTake();
    Fill("bob@example.org", "carol@example.org");
    UiOf(m)->ActionFileSend->trigger();
    std::string sent = server.Message(1);
    ASSERT_FALSE(sent.empty());

    Dir.Write("old.eml", "old content");
    Dialogs.SaveAnswer = Dir.File("old.eml");
    UiOf(m)->FileSaveAs1->trigger();
    EXPECT_EQ(Dialogs.SaveFilter, "Email files (*.eml)|*.eml");
    EXPECT_EQ(Dialogs.SaveExt, "eml");
    std::string saved = Dir.Read("old.eml");
    // The file is the message as the server took it: no doubled dots, no
    // final "." line.
    std::string unstuffed = saved;
    // Each composition has its own Message-ID, right after "X-Unsent: 1".
    auto messageId = [](std::string& text) {
        size_t start = text.find("X-Unsent: 1\r\nMessage-ID: <");
        size_t end = text.find(">\r\n", start);
        if (start == std::string::npos || end == std::string::npos)
            return std::string();
        start += 13;
        std::string id = text.substr(start, end + 1 - start);
        text.replace(start, id.size(), "ID");
        return id;
    };
    std::string sentId = messageId(sent), savedId = messageId(unstuffed);
    EXPECT_NE(sentId, "");
    EXPECT_NE(sentId, savedId);
    // The Date may have moved on, and only the wire carries an X-Mailer.
    auto drop = [](std::string& text, const std::string& header) {
        size_t start = text.find("\r\n" + header);
        if (start != std::string::npos)
            text.erase(start, text.find("\r\n", start + 2) - start);
    };
    for (const char* header : {"Date: ", "X-Mailer: "}) {
        drop(sent, header);
        drop(unstuffed, header);
    }
    EXPECT_EQ(unstuffed, sent);

    // Cancel: no encoder run at all.
    DeleteFile(TFormMain::EncodedFile());
    Dialogs.SaveAnswer.clear();
    UiOf(m)->FileSaveAs1->trigger();
    EXPECT_FALSE(FileExists(TFormMain::EncodedFile()));
}

TEST_F(SendTest, SendDuringARecordingStopsItFirst) {
    Settings("SMTP", "");
    TFormMain& m = Make();
    RecordTake(50);
    UiOf(m)->ActionVoiceRecord->trigger();
    WaitForSound();
    Dialogs.SaveAnswer = Dir.File("out.eml");
    UiOf(m)->FileSaveAs1->trigger();
    EXPECT_EQ(m.VoiceState, vsIdle);
    TWAVFile wav;
    ASSERT_TRUE(wav.LoadFromFile(TFormMain::RecordingFile()));
    EXPECT_TRUE(wav.Valid);
    EXPECT_GT(wav.Duration(), 0.0) << "the encoder got a completed file";
    EXPECT_GT(DecodedSeconds(AttachmentBytes(Dir.Read("out.eml"))), 0.0);
    // Send stops it too, and the Stop inside offers no second send meanwhile.
    Dialogs.Answers = {TMsgResult::Yes}; // overwrite the take
    UiOf(m)->ActionVoiceRecord->trigger();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    bool sendOfferedDuringSend = true;
    Dialogs.OnBox = [&](const TShownBox&) {
        sendOfferedDuringSend = UiOf(m)->ActionFileSend->isEnabled();
    };
    UiOf(m)->ActionFileSend->trigger(); // no server: one error box, shown while the send runs
    EXPECT_EQ(m.VoiceState, vsIdle);
    EXPECT_FALSE(sendOfferedDuringSend);
    EXPECT_TRUE(UiOf(m)->ActionFileSend->isEnabled()) << "back once the send ended";
    Dialogs.OnBox = nullptr;
}

// Yes to the question pins the server's own certificate for its host: the
// next Send goes through, with the fingerprint in the settings file.
TEST_F(SendTest, TrustedSelfSignedCertificateIsPinnedForItsHost) {
    TTlsTestPki pki(Dir.Path());
    TTlsCertFiles self = pki.Issue("self", {"IP:127.0.0.1"}, -1, 365, true);
    TSmtpAiosmtpdOptions o;
    o.Auth = true;
    o.StartTLSCert = self.Cert;
    o.StartTLSKey = self.Key;
    TSmtpAiosmtpd server(o);
    ASSERT_GT(server.Port(), 0);
    Settings("SMTP", "127.0.0.1", server.Port());
    std::string ini = Dir.Read("quillet.ini");
    ini.replace(ini.find("Security=None"), 13, "Security=Auto");
    Dir.Write("quillet.ini", ini);
    TFormMain& m = Make();
    RecordTake(50);
    Fill("bob@example.org");
    Dialogs.Answers = {TMsgResult::Yes};
    UiOf(m)->ActionFileSend->trigger();
    ASSERT_EQ(Dialogs.Boxes.size(), 1u) << "no error box after Yes";
    const std::string question = Dialogs.Boxes[0].Text;
    EXPECT_EQ(Dialogs.Boxes[0].Buttons, TMsgButtons::YesNo);
    EXPECT_EQ(question.rfind("Certificate of 127.0.0.1 rejected: self-signed.\n\nSHA-256 "
                             "fingerprint of the certificate:\n",
                             0),
              0u)
        << question;
    const std::string file = Dir.File("quillet.ini");
    const std::string pin = ReadProfileString(file, "SMTP", "PinnedCertificate", "");
    EXPECT_EQ(ReadProfileString(file, "SMTP", "PinnedHost", ""), "127.0.0.1");
    EXPECT_EQ(pin.size(), 95u) << pin; // 32 bytes as "AB:" pairs
    EXPECT_NE(question.find("\n" + pin + "\n"), std::string::npos) << question;
    EXPECT_EQ(server.Message(1, 300), "") << "not retried on its own";

    Dialogs.Boxes.clear();
    UiOf(m)->ActionFileSend->trigger();
    EXPECT_EQ(Texts(), std::vector<std::string>{Success});
    EXPECT_NE(server.Envelope(1).find("login=user\n"), std::string::npos);
}

// The whole road: a spoken sample captured by Record/Stop, sent by Send,
// received by the server, and decoded back into that speech.
TEST_F(SendTest, WholeRoadFromSpeechToTheRecipientsMailbox) {
    TTempDir voice;
    ASSERT_EQ(
        RunAndWait("espeak-ng -w speech.wav \"Hello Bob, this is a voice message from Quillet.\"",
                   voice.Path()),
        0);
    ASSERT_EQ(RunAndWait("sox speech.wav -r 11025 -b 8 -e unsigned-integer -c 1 -t raw speech.raw",
                         voice.Path()),
              0);
    std::string speech = voice.Read("speech.raw");
    ASSERT_GT(speech.size(), 11025u) << "more than a second of speech";
    Capture.reset();
    Capture = std::make_unique<TPacedFixture>(voice.File("speech.fifo"), speech);
    setenv("QUILLET_ALSA_INFILE", voice.File("speech.fifo").c_str(), 1);

    TSmtpAiosmtpd server(true);
    ASSERT_GT(server.Port(), 0);
    Settings("SMTP", "127.0.0.1", server.Port());
    TFormMain& m = Make();
    RecordTake(300);
    Fill("bob@example.org");
    UiOf(m)->ActionFileSend->trigger();
    EXPECT_EQ(Texts(), std::vector<std::string>{Success});

    // The recording starts with the captured speech...
    std::string wav = ReadWholeFile(TFormMain::RecordingFile());
    ASSERT_GE(wav.size(), 44 + speech.size());
    EXPECT_TRUE(wav.compare(44, speech.size(), speech) == 0) << "the captured bytes, nothing else";
    // ...and the mail carries it: loud where the speech is.
    const std::string mp3 = AttachmentBytes(server.Message(1));
    EXPECT_NEAR(DecodedSeconds(mp3), RecordingSeconds(), 0.25 + RecordingSeconds() * 0.02);
    std::string pcm = DecodedWav(mp3).substr(44);
    int peak = 0;
    size_t speechSamples = speech.size();
    for (size_t i = 0; i + 1 < pcm.size() && i / 2 < speechSamples; i += 2)
        peak = std::max(
            peak, std::abs(static_cast<int16_t>((uint8_t)pcm[i] | ((uint8_t)pcm[i + 1] << 8))));
    EXPECT_GT(peak, 3000) << "speech, not silence";
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, true);
}

TEST_F(SendTest, CancelDuringAStalledSendRestoresTheWindowWithoutANestedSend) {
    TSmtpFakeServer server({Quiet(20000)});
    Settings("SMTP", "127.0.0.1", server.Port());
    TFormMain& m = Make();
    RecordTake(50);
    Fill("bob@example.org");
    bool sendOffered = true;
    std::chrono::steady_clock::time_point clicked;
    QTimer::singleShot(400, [&] {
        sendOffered =
            UiOf(m)->ActionFileSend->isEnabled() || UiOf(m)->ActionToolbarSend->isEnabled();
        clicked = std::chrono::steady_clock::now();
        Wait->ui->ButtonCancel->click();
    });
    UiOf(m)->ActionFileSend->trigger();
    // An idle machine ends it within 0.1 s of the click.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count(),
              1.0);
    EXPECT_FALSE(sendOffered) << "no second send while one runs";
    EXPECT_EQ(Texts(), std::vector<std::string>{"Sending cancelled."});
    EXPECT_FALSE(Wait->isVisible());
    EXPECT_TRUE(UiOf(m)->ActionFileSend->isEnabled());
    EXPECT_TRUE(UiOf(m)->ActionFileNew->isEnabled());
    EXPECT_TRUE(UiOf(m)->FileSaveAs1->isEnabled());
}

// Each way of ending runs in a test of its own: the event loop ends once
// per process.
class SendEndTest : public SendTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SendEndTest, DuringAStalledSendEndsTheProgramWithin3Seconds) {
    const std::string way = GetParam();
    EndOnTerminationSignals();
    TSmtpFakeServer server({Quiet(20000)});
    Settings("SMTP", "127.0.0.1", server.Port());
    TFormMain& m = Make();
    SetMainWindowForSignals(&m);
    m.show();
    RecordTake(50);
    Fill("bob@example.org");
    QTimer::singleShot(0, [&] { UiOf(m)->ActionFileSend->trigger(); });
    std::chrono::steady_clock::time_point asked;
    QTimer::singleShot(400, [&] {
        asked = std::chrono::steady_clock::now();
        if (way == "exit")
            UiOf(m)->ActionFileExit->trigger();
        else if (way == "close")
            m.close();
        else
            ::raise(SIGTERM);
    });
    QTimer::singleShot(20000, [] { QApplication::exit(2); }); // only when it hangs
    EXPECT_EQ(QApplication::exec(), 0);
    // An idle machine ends within 0.1 s of the request.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count(), 3.0);
    EXPECT_TRUE(Dialogs.Boxes.empty()) << "nothing to answer on the way out";
    EXPECT_FALSE(Wait->isVisible());
    SetMainWindowForSignals(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ways, SendEndTest, ::testing::Values("exit", "close", "sigterm"));
