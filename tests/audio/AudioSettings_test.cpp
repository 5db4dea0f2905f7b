// Format settings of the component: the wave format record and buffer size,
// the setters' follow and rebuild rules, AudioDeviceID, Version, and what a
// machine without devices gets. The defaults are the settings' own
// constants; the recordings they give are pinned by the recorder tests.
#include "audio/Audio.h"

#include "AudioTestHelpers.h"
#include "FakeWaveService.h"

#include <gtest/gtest.h>

namespace {

class AudioSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    TScratchCwd Cwd;
    TFakeWaveService Fake;
};

TEST_F(AudioSettingsTest, FormatRecordAndBufferSize) {
    const struct {
        TChannels Channels;
        TBPS Bits;
        uint16_t Rate, Align;
        uint32_t BytesPerSec;
        uint16_t BufferSize;
    } cases[] = {
        {TChannels::Mono, TBPS::_8, 11025, 1, 11025, 8192},
        {TChannels::Stereo, TBPS::_16, 44100, 4, 176400, 32768},
        {TChannels::Mono, TBPS::_16, 22050, 2, 44100, 16384},
        {TChannels::Stereo, TBPS::_8, 8000, 2, 16000, 16384},
    };
    for (const auto& c : cases) {
        TAudio audio(&Fake);
        TRecorder* r = audio.Recorder();
        r->SetChannels(c.Channels);
        r->SetBitsPerSample(c.Bits);
        r->SetSampleRate(c.Rate);
        for (TAudioSettings* s :
             {static_cast<TAudioSettings*>(r), static_cast<TAudioSettings*>(audio.Player())}) {
            const TWaveFormat* f = s->WaveFormat();
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->FormatTag, 1);
            EXPECT_EQ(f->Channels, c.Channels == TChannels::Stereo ? 2 : 1);
            EXPECT_EQ(f->SamplesPerSec, c.Rate);
            EXPECT_EQ(f->AvgBytesPerSec, c.BytesPerSec);
            EXPECT_EQ(f->BlockAlign, c.Align);
            EXPECT_EQ(f->BitsPerSample, c.Bits == TBPS::_16 ? 16 : 8);
            EXPECT_EQ(f->Size, 0);
            EXPECT_EQ(s->BufferSize(), c.BufferSize);
            EXPECT_NE(s->Header(3)->Data, nullptr);
        }
    }
}

// A rebuilt slot loses the length a device open gave its header.
bool Rebuilt(const TAudioSettings* s) {
    return s->Header(0)->BufferLength == 0;
}

TEST_F(AudioSettingsTest, SettersFollowAndRebuildOnlyOnChange) {
    TAudio audio(&Fake);
    TRecorder* r = audio.Recorder();
    TPlayer* p = audio.Player();
    // Open both devices once so that their headers carry a length.
    auto openBoth = [&] {
        ASSERT_TRUE(r->Start());
        r->Stop();
        TScratchDir dir;
        WriteBytes(dir.File("a.wav"),
                   MakeWav(p->Channels() == TChannels::Stereo ? 2 : 1, p->SampleRate(),
                           p->BitsPerSample() == TBPS::_16 ? 16 : 8, Ramp(10)));
        ASSERT_TRUE(p->PlayFile(dir.File("a.wav")));
        p->Stop();
        ASSERT_FALSE(Rebuilt(r));
        ASSERT_FALSE(Rebuilt(p));
    };
    openBoth();
    r->SetSampleRate(22050);
    EXPECT_EQ(p->SampleRate(), 22050);
    EXPECT_TRUE(Rebuilt(r));
    EXPECT_TRUE(Rebuilt(p));

    openBoth();
    r->SetSampleRate(22050); // same value: nothing rebuilt
    p->SetBitsPerSample(TBPS::_8);
    r->SetChannels(TChannels::Mono);
    EXPECT_FALSE(Rebuilt(r));
    EXPECT_FALSE(Rebuilt(p));

    // SeparateCtrls: only the object itself changes.
    audio.SeparateCtrls = true;
    p->SetChannels(TChannels::Stereo);
    EXPECT_EQ(p->Channels(), TChannels::Stereo);
    EXPECT_EQ(r->Channels(), TChannels::Mono);
    r->SetBitsPerSample(TBPS::_16);
    EXPECT_EQ(p->BitsPerSample(), TBPS::_8);

    // The frame count goes to both whatever SeparateCtrls says.
    r->SetNoSamples(1000);
    EXPECT_EQ(p->SampleFrames(), 1000);
    EXPECT_EQ(r->BufferSize(), 2000);
    EXPECT_EQ(p->BufferSize(), 2000);
}

TEST_F(AudioSettingsTest, ChannelsReappliesSplitChannels) {
    TAudio audio(&Fake);
    TRecorder* r = audio.Recorder();
    r->SetSplitChannels(true);
    EXPECT_FALSE(r->SplitChannels()) << "mono recorder cannot split";
    r->SetChannels(TChannels::Stereo);
    r->SetSplitChannels(true);
    EXPECT_TRUE(r->SplitChannels());
    audio.SeparateCtrls = true;
    audio.Player()->SetChannels(TChannels::Mono);
    EXPECT_TRUE(r->SplitChannels()) << "recorder still stereo";
    audio.SeparateCtrls = false;
    audio.Player()->SetChannels(TChannels::Mono);
    EXPECT_EQ(r->Channels(), TChannels::Mono);
    EXPECT_FALSE(r->SplitChannels()) << "recorder followed the player to mono";
}

TEST_F(AudioSettingsTest, NewComponentAudioDeviceIdAndVersion) {
    TAudio audio(&Fake);
    ASSERT_TRUE(audio.Recorder()->Start());
    EXPECT_EQ(Fake.InDevice, -1) << "a new component records from the default device";
    EXPECT_EQ(audio.Recorder()->TrigLevel(), 0) << "and keeps every buffer";
    audio.Recorder()->Stop();
    const std::pair<int32_t, int32_t> cases[] = {{12, -1}, {3, 3}, {-7, -7}, {9, 9}, {10, -1}};
    for (auto [given, stored] : cases) {
        audio.SetAudioDeviceID(given);
        EXPECT_EQ(audio.AudioDeviceID(), stored) << given;
    }
    audio.SetVersion("9.9");
    EXPECT_EQ(audio.Version(), "4.1 (32bit)");
}

TEST_F(AudioSettingsTest, NoDevicesMeansNoBuffers) {
    Fake.InDevs = 0;
    TAudio audio(&Fake);
    EXPECT_EQ(audio.Recorder()->WaveFormat(), nullptr);
    EXPECT_EQ(audio.Player()->WaveFormat(), nullptr);
    EXPECT_EQ(audio.ErrorMessage(), "");
    EXPECT_FALSE(audio.Recorder()->Start());
    EXPECT_EQ(audio.ErrorMessage().rfind("Could not open the input device for recording: ", 0), 0u)
        << audio.ErrorMessage();

    TFakeWaveService noOut;
    noOut.OutDevs = 0;
    TAudio audio2(&noOut);
    EXPECT_NE(audio2.Recorder()->WaveFormat(), nullptr);
    EXPECT_EQ(audio2.Player()->WaveFormat(), nullptr);
}

} // namespace
