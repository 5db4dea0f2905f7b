// The ALSA backend with no sound card: the default capture PCM reads a
// fixture file and the default playback PCM writes a file (ALSA's file
// plugin over null, tests/support/audio_alsa.conf). Checks the notification
// order of a driver thread, the service's result codes, and a recording and
// a playback made by the component end to end.
#include "audio/AlsaWaveDevice.h"
#include "audio/Audio.h"
#include "audio/WAVFile.h"

#include "AudioTestHelpers.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>

namespace {

TScratchDir* Scratch = nullptr;
std::vector<uint8_t> Fixture;

class AlsaEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Scratch = new TScratchDir;
        Fixture = Ramp(100000, 3);
        WriteBytes(Scratch->File("fixture.raw"), Fixture);
        setenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" QUILLET_AUDIO_ALSA_CONF, 1);
        setenv("QUILLET_ALSA_INFILE", Scratch->File("fixture.raw").c_str(), 1);
        setenv("QUILLET_ALSA_OUTFILE", Scratch->File("played.raw").c_str(), 1);
        EnsureApp();
    }
    void TearDown() override { delete Scratch; }
};
const auto* const Env = ::testing::AddGlobalTestEnvironment(new AlsaEnvironment);

struct TLogged {
    std::mutex Lock;
    std::vector<uint32_t> Messages;
    std::vector<uint32_t> Bytes;
    std::atomic<int> Data{0};
    std::thread::id Thread;
};

void Logger(TWaveHandle, uint32_t msg, uintptr_t instance, TWaveHeader* hdr, uintptr_t) {
    auto* log = reinterpret_cast<TLogged*>(instance);
    std::lock_guard<std::mutex> lock(log->Lock);
    log->Messages.push_back(msg);
    log->Thread = std::this_thread::get_id();
    if (hdr) {
        log->Bytes.push_back(hdr->BytesRecorded);
        ++log->Data;
    }
}

TEST(AlsaService, CaptureNotifiesOpenDataCloseInOrderOnItsThread) {
    TAlsaWaveService service;
    TLogged log;
    TWaveHandle h = 0;
    const TWaveFormat f = Format(1, 11025, 8);
    ASSERT_EQ(service.InOpen(&h, -1, &f, &Logger, reinterpret_cast<uintptr_t>(&log), 0x30002),
              MMSYSERR_NOERROR);
    std::vector<uint8_t> buffers[3];
    TWaveHeader headers[3];
    for (int i = 0; i < 3; ++i) {
        buffers[i].resize(1000);
        headers[i].Data = buffers[i].data();
        headers[i].BufferLength = 1000;
        EXPECT_EQ(service.InAddBuffer(h, &headers[i], sizeof(TWaveHeader)), WAVERR_UNPREPARED);
        ASSERT_EQ(service.InPrepareHeader(h, &headers[i], sizeof(TWaveHeader)), MMSYSERR_NOERROR);
        ASSERT_EQ(service.InAddBuffer(h, &headers[i], sizeof(TWaveHeader)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(log.Data, 0) << "nothing is captured before the start";
    ASSERT_EQ(service.InStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(PumpUntil([&] { return log.Data == 3; }));
    EXPECT_EQ(service.InUnprepareHeader(h, &headers[0], sizeof(TWaveHeader)), MMSYSERR_NOERROR);
    // Buffers come back in queue order holding the fixture's bytes.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(buffers[i], std::vector<uint8_t>(Fixture.begin() + 1000 * i,
                                                   Fixture.begin() + 1000 * (i + 1)));
    // After a reset capture is stopped: a queued buffer stays queued, blocks
    // the close, and the next reset returns it at once.
    ASSERT_EQ(service.InReset(h), MMSYSERR_NOERROR);
    ASSERT_EQ(service.InAddBuffer(h, &headers[1], sizeof(TWaveHeader)), MMSYSERR_NOERROR);
    EXPECT_EQ(service.InUnprepareHeader(h, &headers[1], sizeof(TWaveHeader)), WAVERR_STILLPLAYING);
    EXPECT_EQ(service.InClose(h), WAVERR_STILLPLAYING);
    ASSERT_EQ(service.InReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(log.Data, 4);
    ASSERT_EQ(service.InClose(h), MMSYSERR_NOERROR);
    const std::vector<uint32_t> order = {WIM_OPEN, WIM_DATA, WIM_DATA,
                                         WIM_DATA, WIM_DATA, WIM_CLOSE};
    EXPECT_EQ(log.Messages, order);
    EXPECT_EQ(log.Bytes[0], 1000u);
    EXPECT_EQ(log.Bytes[3], 0u) << "the reset buffer was not started";
    EXPECT_NE(log.Thread, std::this_thread::get_id());
    EXPECT_EQ(service.InClose(h), MMSYSERR_INVALHANDLE);
}

TEST(AlsaService, ResultCodesAndTexts) {
    TAlsaWaveService service;
    TWaveHandle h = 0;
    TLogged log;
    const TWaveFormat good = Format(2, 44100, 16);
    TWaveFormat bad = good;
    bad.BitsPerSample = 12;
    const auto inst = reinterpret_cast<uintptr_t>(&log);
    EXPECT_EQ(service.InOpen(&h, 9, &good, &Logger, inst, 0x30002), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(service.OutOpen(&h, -2, &good, &Logger, inst, 0x30002), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(service.InOpen(&h, -1, &bad, &Logger, inst, 0x30002), WAVERR_BADFORMAT);
    EXPECT_EQ(service.InOpen(&h, -1, nullptr, &Logger, inst, 0x30002), MMSYSERR_INVALPARAM);
    EXPECT_EQ(service.OutWrite(77, nullptr, 0), MMSYSERR_INVALHANDLE);
    EXPECT_TRUE(log.Messages.empty());
    EXPECT_GE(service.InGetNumDevs(), 1u);
    EXPECT_GE(service.OutGetNumDevs(), 1u);
    for (TMMResult code : {1u, 2u, 4u, 5u, 6u, 7u, 11u, 32u, 33u, 34u}) {
        const std::string text = service.InGetErrorText(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_LE(text.size(), 255u);
        EXPECT_EQ(text, service.OutGetErrorText(code));
    }
    EXPECT_EQ(service.InGetErrorText(12345), "");
}

TEST(AlsaService, MixerWithoutASoundCard) {
    // These machines have no card: no mixer device, and the component
    // leaves its mixer unavailable without an error text.
    if (std::filesystem::exists("/proc/asound/card0"))
        GTEST_SKIP() << "a sound card is present";
    TAlsaWaveService service;
    EXPECT_EQ(service.MixerGetNumDevs(), 0u);
    TMixerCaps caps;
    EXPECT_EQ(service.MixerGetDevCaps(0, caps), MMSYSERR_BADDEVICEID);
    TMixerHandle h = 0;
    EXPECT_EQ(service.MixerOpen(&h, 0, nullptr, 0), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(service.MixerClose(h), MMSYSERR_INVALHANDLE);
    TAudio audio;
    EXPECT_FALSE(audio.Mixer()->Available());
    EXPECT_EQ(audio.ErrorMessage(), "");
}

TEST(AlsaAudio, RecordsTheFixtureIntoAWavFile) {
    TAudio audio;
    TRecorder* r = audio.Recorder();
    r->SetChannels(TChannels::Stereo);
    r->SetBitsPerSample(TBPS::_16);
    r->SetSampleRate(44100);
    r->SetNoSamples(4096); // 16384-byte buffers
    std::atomic<int> buffers{0};
    audio.OnRecord = [&](TRecorder*, uint8_t*, uint8_t*, uint16_t size) {
        EXPECT_EQ(size, 16384);
        ++buffers;
    };
    const std::string wav = Scratch->File("rec.wav");
    r->RecordToFile(wav);
    ASSERT_TRUE(r->Start()) << audio.ErrorMessage();
    ASSERT_TRUE(PumpUntil([&] { return buffers >= 8; }));
    EXPECT_TRUE(r->Stop()) << audio.ErrorMessage();
    const int n = buffers;
    const auto b = ReadBytes(wav);
    ASSERT_EQ(b.size(), 44u + 16384u * static_cast<unsigned>(n));
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(Le32(b, 40), b.size() - 44);
    EXPECT_EQ(Le16(b, 22), 2);
    EXPECT_EQ(Le32(b, 24), 44100u);
    // The fixture's bytes in capture order (what the plugin gives after the
    // fixture's end is not defined).
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.begin() + 44 + 100000), Fixture);
    TWAVFile f;
    ASSERT_TRUE(f.LoadFromFile(wav));
    EXPECT_DOUBLE_EQ(f.Duration(), (16384.0 * n) / 176400);
}

TEST(AlsaAudio, PlaysAWavFileIntoTheOutputFile) {
    TScratchCwd cwd;
    TAudio audio;
    std::atomic<int> bufferEvents{0};
    int played = 0;
    audio.OnBufferPlayed = [&](TPlayer*) { ++bufferEvents; };
    audio.OnPlayed = [&](TPlayer*) { ++played; };
    const auto data = Ramp(8192 * 2 + 4096, 9);
    const std::string wav = cwd.File("play.wav");
    WriteBytes(wav, MakeWav(1, 11025, 8, data));
    ASSERT_TRUE(audio.Player()->PlayFile(wav)) << audio.ErrorMessage();
    ASSERT_TRUE(PumpUntil([&] { return played == 1; }));
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(played, 1);
    // This output outruns the GUI thread, so a completion that might have
    // been the last raises no event; the exact count is a double's test.
    EXPECT_LE(bufferEvents, 2);
    const auto out = ReadBytes(Scratch->File("played.raw"));
    ASSERT_GE(out.size(), data.size());
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(data.size())),
              data);
    EXPECT_FALSE(audio.Player()->IsOpen());
}

TEST(AlsaAudio, PauseHoldsTheOutputUntilResume) {
    TScratchCwd cwd;
    setenv("QUILLET_ALSA_OUTFILE", cwd.File("paused.raw").c_str(), 1);
    TAudio audio;
    int played = 0;
    audio.OnPlayed = [&](TPlayer*) { ++played; };
    const auto data = Ramp(8192 * 12, 5);
    const std::string wav = cwd.File("pause.wav");
    WriteBytes(wav, MakeWav(1, 11025, 8, data));
    ASSERT_TRUE(audio.Player()->PlayFile(wav)) << audio.ErrorMessage();
    audio.Player()->Pause();
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(played, 0) << "paused output must not finish";
    audio.Player()->Resume();
    ASSERT_TRUE(PumpUntil([&] { return played == 1; }));
    const auto out = ReadBytes(cwd.File("paused.raw"));
    ASSERT_GE(out.size(), data.size());
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(data.size())), data)
        << "nothing lost or repeated across the pause";
    setenv("QUILLET_ALSA_OUTFILE", Scratch->File("played.raw").c_str(), 1);
}

TEST(AlsaAudio, StopDuringPlaybackEndsBeforeReturning) {
    TScratchCwd cwd;
    TAudio audio;
    int played = 0;
    audio.OnPlayed = [&](TPlayer*) { ++played; };
    const std::string wav = cwd.File("long.wav");
    WriteBytes(wav, MakeWav(2, 44100, 16, std::vector<uint8_t>(176400 * 3, 1)));
    ASSERT_TRUE(audio.Player()->PlayFile(wav)) << audio.ErrorMessage();
    audio.Player()->Pause();
    audio.Player()->Resume();
    audio.Player()->Stop();
    EXPECT_EQ(played, 1);
    EXPECT_FALSE(audio.Player()->IsOpen());
    EXPECT_EQ(audio.Player()->SampleRate(), 11025) << "format restored";
}

TEST(AlsaAudio, CaptureDevicesByName) {
    TAlsaWaveService service;
    const std::vector<std::string> names = service.InDeviceNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names[0], "default");
    EXPECT_NE(std::find(names.begin(), names.end(), "pipewire"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "null"), names.end()) << "no sink of silence";
    struct Case {
        const char* Why;
        const char* Device;
        bool Records;
    } cases[] = {
        {"the hinted stereo-only device, mono through the plug layer", "pipewire", true},
        {"a card that is gone", "plughw:CARD=Gone,DEV=0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        EXPECT_EQ(service.InDevicePresent(c.Device), c.Records);
        TAudio audio;
        audio.SetInputDevice(c.Device);
        std::atomic<int> buffers{0};
        audio.OnRecord = [&](TRecorder*, uint8_t*, uint8_t*, uint16_t) { ++buffers; };
        const std::string wav = Scratch->File("named.wav");
        audio.Recorder()->RecordToFile(wav);
        EXPECT_EQ(audio.Recorder()->Start(), c.Records) << audio.ErrorMessage();
        if (c.Records)
            EXPECT_TRUE(PumpUntil([&] { return buffers >= 2; }));
        else
            EXPECT_EQ(
                audio.ErrorMessage().rfind("Could not open the input device for recording: ", 0),
                0u);
        audio.Recorder()->Stop();
        TWAVFile f;
        ASSERT_TRUE(f.LoadFromFile(wav));
        EXPECT_EQ(f.Channels, 1) << "the take keeps its own format";
        EXPECT_EQ(f.Duration() > 0, c.Records);
        if (c.Records) {
            const auto b = ReadBytes(wav);
            EXPECT_NE(std::count(b.begin() + 44, b.end(), 0x80), static_cast<long>(b.size() - 44))
                << "the fixture's sound, not silence";
        }
    }
}

TEST(AlsaAudio, MissingDeviceGivesTheOpenTexts) {
    TScratchCwd cwd;
    TAudio audio;
    audio.SetAudioDeviceID(9);
    EXPECT_FALSE(audio.Recorder()->Start());
    EXPECT_EQ(audio.ErrorMessage(), "Could not open the input device for recording:  There is no "
                                    "sound device with this number.");
    const std::string wav = cwd.File("x.wav");
    WriteBytes(wav, MakeWav(1, 11025, 8, Ramp(100)));
    EXPECT_FALSE(audio.Player()->PlayFile(wav));
    EXPECT_EQ(audio.ErrorMessage(), "Could not open the output device for playing:  There is no "
                                    "sound device with this number.");
}

} // namespace
