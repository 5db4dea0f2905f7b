// The voice as it reaches the listener: takes made quiet and loud with
// espeak-ng and sox go through the workflow with the real lame, and the
// MP3 of the saved mail is decoded and measured by ffmpeg's EBU R128
// filter; the size of the mail as it goes to a server (the one SIZE
// announces) is set against the estimate shown after Stop.
#include "WorkflowFixture.h"

#include "audio/WAVFile.h"
#include "tests/support/audio_Speech.h"
#include "tests/support/mail_Attachment.h"
#include "tests/support/smtp_FakeServer.h"
#include "workflow/MailSizeEstimate.h"

#include <cstdio>
#include <fstream>

namespace {

const char* const Speech = "Hello Bob, this is a voice message. The meeting moves to Thursday at "
                           "ten, in the small room next to the kitchen. Please bring the figures.";

class VoiceTest : public TWorkflowFixture {
protected:
    // Saves the mail of take (levelled unless told) and returns its text.
    std::string MailOf(const std::string& effects, int rate, int bits, bool level = true) {
        EXPECT_TRUE(MakeSpeech(Dir.File("Quillet.wav"), Speech, rate, bits, effects));
        Make("lame.exe Quillet.wav Quillet.mp3");
        TVoiceOptions voice;
        voice.Level = level;
        Wf->ApplyVoiceOptions(voice);
        Progress.clear();
        Wf->OnProgress = [this](int64_t done, int64_t total) { Progress.push_back({done, total}); };
        Wf->SaveAs(Fields, Dir.File("mail.eml"));
        return Dir.Read("mail.eml");
    }
    // Sends the take (as recorded) to a server that announces SIZE; returns
    // the data it received, and in sizeLine what MAIL FROM said.
    std::string MailSentOf(int rate, int bits, std::string& sizeLine) {
        EXPECT_TRUE(MakeSpeech(Dir.File("Quillet.wav"), Speech, rate, bits, "pad 0 10"));
        Make("lame.exe Quillet.wav Quillet.mp3");
        TVoiceOptions voice;
        voice.Level = false;
        Wf->ApplyVoiceOptions(voice);
        TSmtpFakeServer server({Srv("220 sink"), Cli(), Srv("250-sink\r\n250 SIZE 50000000"),
                                Cli("RSET"), Srv("250 ok"), Cli(), Srv("250 ok"), Cli(),
                                Srv("250 ok"), Cli("DATA"), Srv("354 go"), CliData(),
                                Srv("250 taken")});
        UseSmtp(server.Port());
        EXPECT_TRUE(Wf->Send(Fields));
        EXPECT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
        const std::vector<std::string> lines = server.Lines();
        sizeLine = lines.size() > 2 ? lines[2] : "";
        return server.Data();
    }
    std::vector<std::pair<int64_t, int64_t>> Progress;
};

TEST_F(VoiceTest, QuietAndLoudTakesArriveAtTheSameLoudness) {
    // The fixture's own loudness, to aim the takes with sox.
    ASSERT_TRUE(MakeSpeech(Dir.File("raw.wav"), Speech, 11025, 16));
    const TLoudness raw = MeasureLoudness(Dir.File("raw.wav"));
    ASSERT_TRUE(raw.Valid);
    struct Case {
        const char* Why;
        double Lufs;
        int Bits;
    } cases[] = {
        {"quiet: -30 LUFS, the default 8-bit format", -30, 8},
        {"loud: -6 LUFS, clipped at 0 dBFS", -6, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        char gain[32];
        std::snprintf(gain, sizeof gain, "gain %.2f", c.Lufs - raw.Integrated);
        const std::string mail = MailOf(gain, 11025, c.Bits);
        const TLoudness take = MeasureLoudness(Dir.File("Quillet.wav"));
        Dir.Write("sent.mp3", AttachmentBytes(mail));
        const TLoudness sent = MeasureLoudness(Dir.File("sent.mp3"));
        ASSERT_TRUE(take.Valid && sent.Valid);
        std::printf("take %.1f LUFS %.1f dBTP -> mailed %.1f LUFS %.1f dBTP\n", take.Integrated,
                    take.TruePeak, sent.Integrated, sent.TruePeak);
        // Clipping takes some loudness off the loud one.
        EXPECT_NEAR(take.Integrated, c.Lufs, 3) << "the fixture is what it claims";
        EXPECT_NEAR(sent.Integrated, -16, 1);
        EXPECT_LE(sent.TruePeak, -1);
        // One bar for processing and encoding: it only grows, to its end.
        ASSERT_FALSE(Progress.empty());
        for (size_t i = 1; i < Progress.size(); ++i)
            EXPECT_GE(Progress[i].first, Progress[i - 1].first);
        EXPECT_EQ(Progress.back().first, Progress.back().second);
    }
}

TEST_F(VoiceTest, CancelWhileProcessingLeavesTheTakeAsRecordedAndNoCopy) {
    Dir.Write("Quillet.wav", WavBytes(300));
    const std::string take = Dir.Read("Quillet.wav");
    Make("lame.exe Quillet.wav Quillet.mp3");
    Wf->ApplyVoiceOptions(TVoiceOptions());
    int calls = 0;
    Wf->OnProgress = [&](int64_t, int64_t) {
        ++calls;
        Wf->Cancel();
    };
    EXPECT_THROW(Wf->SaveAs(Fields, Dir.File("mail.eml")), ESendCancelled);
    EXPECT_LE(calls, 2) << "stopped at the next block";
    EXPECT_EQ(Dir.Read("Quillet.wav"), take) << "the recording is never written";
    EXPECT_FALSE(std::ifstream(Dir.File("Quillet-voice.wav")).good()) << "no processed copy";
    EXPECT_FALSE(std::ifstream(Dir.File("Quillet.mp3")).good());
    EXPECT_FALSE(std::ifstream(Dir.File("mail.eml")).good());
}

TEST_F(VoiceTest, MailSizeEstimateHoldsForEachFormat) {
    struct Case {
        int Rate, Bits;
    } cases[] = {{11025, 8}, {22050, 16}, {44100, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Rate) + " Hz, " + std::to_string(c.Bits) + " bit");
        std::string sizeLine;
        const std::string mail = MailSentOf(c.Rate, c.Bits, sizeLine);
        EXPECT_EQ(sizeLine, "MAIL FROM:<ann@example.org> SIZE=" + std::to_string(mail.size()));
        TWAVFile wav;
        ASSERT_TRUE(wav.LoadFromFile(Dir.File("Quillet.wav")));
        const double estimate = static_cast<double>(
            EstimateMailBytes(wav.Duration(), c.Rate, 1, static_cast<int64_t>(Fields.Body.size())));
        EXPECT_NEAR(estimate, static_cast<double>(mail.size()), 0.15 * mail.size());
    }
}

} // namespace
