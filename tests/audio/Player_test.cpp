// The player through the device double: buffers written and completed,
// OnBufferPlayed/OnPlayed counts, repeat, append, format adoption and
// restore, the header scan, Stop re-entry, and every failure text.
#include "audio/Audio.h"

#include "AudioTestHelpers.h"
#include "FakeWaveService.h"

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        setenv("XDG_RUNTIME_DIR", Runtime.Path.c_str(), 1);
        Audio->OnPlayed = [this](TPlayer* sender) {
            EXPECT_EQ(sender, Player);
            ++Played;
        };
        Audio->OnBufferPlayed = [this](TPlayer*) { ++BuffersPlayed; };
    }

    std::string Wav(const std::vector<uint8_t>& data, uint16_t channels = 1, uint32_t rate = 11025,
                    uint16_t bits = 8, uint32_t fmtSize = 16) {
        const std::string path = Cwd.File("f" + std::to_string(++Files) + ".wav");
        WriteBytes(path, MakeWav(channels, rate, bits, data, fmtSize));
        return path;
    }
    // Lets the device finish every buffer, refilling in between.
    void PlayOut() {
        for (int guard = 0; guard < 1000 && (Fake.OutQueued() > 0 || Fake.OutIsOpen); ++guard) {
            Fake.CompleteOutput();
            PumpEvents();
        }
    }

    TScratchCwd Cwd;
    TScratchDir Runtime; // private (mkdtemp makes it 0700): the spool goes here
    TFakeWaveService Fake;
    std::unique_ptr<TAudio> Audio = std::make_unique<TAudio>(&Fake);
    TPlayer* Player = Audio->Player();
    int Played = 0;
    int BuffersPlayed = 0;
    int Files = 0;
};

TEST_F(PlayerTest, TwoAndAHalfBuffers) {
    const auto data = Ramp(8192 * 2 + 4096);
    ASSERT_TRUE(Player->PlayFile(Wav(data)));
    EXPECT_EQ(Fake.Count("OutWrite"), 3u);
    PlayOut();
    EXPECT_EQ(Fake.Count("OutWrite"), 3u);
    EXPECT_EQ(BuffersPlayed, 2);
    EXPECT_EQ(Played, 1);
    EXPECT_EQ(Fake.Played, data);
    EXPECT_FALSE(Player->IsOpen());
    EXPECT_FALSE(Player->Playing());
    EXPECT_FALSE(std::filesystem::exists(Runtime.File("PLAY.TMP"))) << "the spool is removed";
    EXPECT_FALSE(std::filesystem::exists(Cwd.File("PLAY.TMP")));
    const std::vector<std::string> tail = {"OutUnprepareHeader", "OutUnprepareHeader",
                                           "OutUnprepareHeader", "OutUnprepareHeader",
                                           "OutClose",           "WOM_CLOSE"};
    const auto log = Fake.Log();
    EXPECT_EQ(std::vector<std::string>(log.end() - 6, log.end()), tail);
    EXPECT_EQ(log.front(), "OutOpen");
    EXPECT_EQ(log[1], "WOM_OPEN");
}

TEST_F(PlayerTest, LongFileCyclesTheFourSlots) {
    const auto data = Ramp(8192 * 9 + 1);
    ASSERT_TRUE(Player->PlayFile(Wav(data)));
    EXPECT_EQ(Fake.OutQueued(), 4u);
    PlayOut();
    EXPECT_EQ(Fake.Played, data);
    EXPECT_EQ(Fake.Count("OutWrite"), 10u);
    EXPECT_EQ(BuffersPlayed, 9);
    EXPECT_EQ(Played, 1);
}

TEST_F(PlayerTest, DeviceFasterThanTheRefills) {
    // All four buffers finish before the GUI thread refills any: the fourth
    // is not the end of the sound unless nothing more is left to queue.
    for (size_t buffers : {size_t(3), size_t(4), size_t(5), size_t(12)}) {
        SCOPED_TRACE(buffers);
        Fake.Played.clear();
        const int before = Played;
        const auto data = Ramp(8192 * buffers - 100);
        ASSERT_TRUE(Player->PlayFile(Wav(data)));
        for (int guard = 0; guard < 100 && Fake.OutIsOpen; ++guard) {
            while (Fake.CompleteOutput()) {
            }
            PumpEvents();
        }
        EXPECT_EQ(Fake.Played, data);
        EXPECT_EQ(Played, before + 1);
        EXPECT_FALSE(Player->IsOpen());
    }
}

TEST_F(PlayerTest, RepeatCountPlaysTheSoundAgain) {
    const auto data = Ramp(3000);
    ASSERT_TRUE(Player->PlayFile(Wav(data), 2));
    PlayOut();
    std::vector<uint8_t> thrice;
    for (int i = 0; i < 3; ++i)
        thrice.insert(thrice.end(), data.begin(), data.end());
    EXPECT_EQ(Fake.Played, thrice);
    EXPECT_EQ(Played, 1);
}

TEST_F(PlayerTest, SecondFileIsAppended) {
    const auto a = Ramp(10000, 1), b = Ramp(5000, 9);
    ASSERT_TRUE(Player->PlayFile(Wav(a)));
    Fake.CompleteOutput();
    PumpEvents();
    ASSERT_TRUE(Player->PlayFile(Wav(b)));
    EXPECT_EQ(Fake.Count("OutOpen"), 1u);
    PlayOut();
    std::vector<uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_EQ(Fake.Played, both);
    EXPECT_EQ(Played, 1);
}

TEST_F(PlayerTest, FileFormatIsAdoptedAndRestored) {
    Audio->Recorder()->SetBitsPerSample(TBPS::_16);
    Audio->Recorder()->SetSampleRate(22050);
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(5000), 1, 11025, 8)));
    EXPECT_EQ(Fake.OutFormat.BitsPerSample, 8);
    EXPECT_EQ(Fake.OutFormat.SamplesPerSec, 11025u);
    EXPECT_EQ(Audio->Recorder()->SampleRate(), 11025) << "the recorder follows";
    PlayOut();
    EXPECT_EQ(Played, 1);
    for (TAudioSettings* s :
         {static_cast<TAudioSettings*>(Player), static_cast<TAudioSettings*>(Audio->Recorder())}) {
        EXPECT_EQ(s->BitsPerSample(), TBPS::_16);
        EXPECT_EQ(s->SampleRate(), 22050);
        EXPECT_EQ(s->Channels(), TChannels::Mono);
        EXPECT_EQ(s->WaveFormat()->SamplesPerSec, 22050u);
    }
    // A stereo 16-bit file: bits byte above 8 and channel byte 2.
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(4000), 2, 44100, 16)));
    EXPECT_EQ(Fake.OutFormat.Channels, 2);
    EXPECT_EQ(Fake.OutFormat.BitsPerSample, 16);
    EXPECT_EQ(Fake.OutFormat.SamplesPerSec, 44100u);
    PlayOut();
    EXPECT_EQ(Player->Channels(), TChannels::Mono);
}

TEST_F(PlayerTest, HeaderScanFindsTheDataTag) {
    struct Case {
        const char* Why;
        size_t Padding; // bytes between the fixed fields and "data"
        bool Plays;
    };
    const Case cases[] = {
        {"plain 44-byte header", 0, true},
        {"18-byte format chunk", 2, true},
        {"tag ends at the last byte of the window", 252, true},
        {"tag one byte past the window", 253, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        auto bytes = MakeWav(1, 8000, 8, Ramp(700), 16 + static_cast<uint32_t>(c.Padding));
        const std::string path = Cwd.File("scan.wav");
        WriteBytes(path, bytes);
        Fake.Played.clear();
        const int before = Played;
        EXPECT_EQ(Player->PlayFile(path), c.Plays);
        PlayOut();
        if (c.Plays) {
            EXPECT_EQ(Fake.Played, Ramp(700));
            EXPECT_EQ(Played, before + 1);
        } else {
            EXPECT_EQ(Audio->ErrorMessage(), "No sound data found in \"" + path + "\"");
            EXPECT_FALSE(Player->IsOpen());
            EXPECT_EQ(Player->SampleRate(), 11025) << "format unchanged";
        }
    }
}

TEST_F(PlayerTest, FilesWithoutSoundData) {
    // Short files: false, idle, format unchanged.
    auto full = MakeWav(2, 44100, 16, {});
    for (size_t size : {size_t(0), size_t(30), size_t(40), size_t(43)}) {
        SCOPED_TRACE(size);
        const std::string path = Cwd.File("short.wav");
        WriteBytes(path, std::vector<uint8_t>(full.begin(), full.begin() + size));
        EXPECT_FALSE(Player->PlayFile(path));
        EXPECT_EQ(Player->Channels(), TChannels::Mono);
        EXPECT_EQ(Fake.Count("OutOpen"), 0u);
    }
    // An unfinished recording (data size 0) opens and ends at once.
    ASSERT_TRUE(Player->PlayFile(Wav({})));
    PumpEvents();
    EXPECT_EQ(Played, 1);
    EXPECT_FALSE(Player->IsOpen());
    EXPECT_FALSE(Player->PlayFile(""));
    EXPECT_THROW(Player->PlayFile(Cwd.File("missing.wav")), EFOpenError);
}

TEST_F(PlayerTest, StopRaisesOnPlayedBeforeReturning) {
    int nested = 0;
    Audio->OnPlayed = [&](TPlayer* p) {
        ++Played;
        p->Stop(); // re-entry from the handler
        ++nested;
    };
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(8192 * 6))));
    Fake.CompleteOutput();
    PumpEvents();
    Player->Stop();
    EXPECT_EQ(Played, 1);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(Audio->ErrorMessage(), "Player already closed");
    EXPECT_FALSE(Player->IsOpen());
    EXPECT_FALSE(Player->Playing());
    EXPECT_EQ(Fake.Count("OutReset"), 1u);
    PumpEvents();
    EXPECT_EQ(Played, 1) << "no second end";
    // A stopped player plays again from the start.
    Fake.Played.clear();
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(100))));
    PlayOut();
    EXPECT_EQ(Fake.Played, Ramp(100));
}

TEST_F(PlayerTest, StopWhileDrainingAndWhenClosed) {
    Player->Stop();
    EXPECT_EQ(Audio->ErrorMessage(), "Player already closed");
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(100))));
    Player->Stop();
    EXPECT_EQ(Played, 1);
    EXPECT_EQ(Fake.Count("OutReset"), 1u);
    // Draining: no spool file to discard, so the earlier text is kept.
    EXPECT_EQ(Audio->ErrorMessage(), "Player already closed");
}

TEST_F(PlayerTest, PauseAndResume) {
    Player->Pause();
    Player->Resume();
    EXPECT_EQ(Fake.Count("OutPause") + Fake.Count("OutRestart"), 0u) << "idle: nothing";
    const auto data = Ramp(20000);
    ASSERT_TRUE(Player->PlayFile(Wav(data)));
    Fake.CompleteOutput();
    PumpEvents();
    Player->Pause();
    EXPECT_TRUE(Fake.OutPaused);
    Player->Resume();
    EXPECT_FALSE(Fake.OutPaused);
    PlayOut();
    EXPECT_EQ(Fake.Played, data);
}

TEST_F(PlayerTest, FailureTexts) {
    struct Case {
        const char* Op;
        int Nth;
        TMMResult Code;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {"OutOpen", 0, 4, "Could not open the output device for playing:  out error 4"},
        {"OutOpen", 0, TFakeWaveService::SilentCode,
         "Could not open the output device for playing: "},
        {"OutWrite", 2, 11, " out error 11"},
        {"OutPrepareHeader", 1, 7, " out error 7"},
        {"OutWrite", 1, TFakeWaveService::SilentCode, ""},
        {"OutUnprepareHeader", 1, 5, "Error unpreparing header for playing:  out error 5"},
        {"OutClose", 1, 1, "Error closing output device:  out error 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Op) + " " + std::to_string(c.Nth));
        TFakeWaveService fake;
        fake.Fail(c.Op, c.Code, c.Nth);
        TAudio audio(&fake);
        int played = 0;
        audio.OnPlayed = [&](TPlayer*) { ++played; };
        const bool opens = std::string(c.Op) != "OutOpen";
        EXPECT_EQ(audio.Player()->PlayFile(Wav(Ramp(3 * 8192))), opens);
        for (int guard = 0; guard < 100 && fake.OutQueued() > 0; ++guard) {
            fake.CompleteOutput();
            PumpEvents();
        }
        PumpEvents();
        EXPECT_EQ(audio.ErrorMessage(), c.Message);
        const bool closeFails =
            std::string(c.Op) == "OutUnprepareHeader" || std::string(c.Op) == "OutClose";
        EXPECT_EQ(audio.Player()->IsOpen(), closeFails);
        EXPECT_EQ(played, opens && !closeFails ? 1 : 0);
        if (std::string(c.Op) == "OutWrite" && c.Nth == 2) {
            // The refused buffer's sound is lost; playback goes on with the rest.
            std::vector<uint8_t> expected = Ramp(3 * 8192);
            expected.erase(expected.begin() + 8192, expected.begin() + 2 * 8192);
            EXPECT_EQ(fake.Played, expected);
        }
        if (closeFails) {
            // Stop gives up waiting once the end request has run.
            audio.Player()->Stop();
            EXPECT_TRUE(audio.Player()->IsOpen());
        }
    }
}

TEST_F(PlayerTest, ResetFailure) {
    Fake.Fail("OutReset", 6);
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(8192 * 5))));
    Player->Stop();
    EXPECT_EQ(Audio->ErrorMessage(), "Error in waveOutReset");
    EXPECT_EQ(Played, 0);
    Fake.Fail("OutReset", 0);
}

TEST_F(PlayerTest, EveryWriteRefusedStillEnds) {
    Fake.Fail("OutWrite", 11);
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(8192 * 5))));
    PumpEvents();
    EXPECT_EQ(Played, 1);
    EXPECT_FALSE(Player->IsOpen());
}

TEST_F(PlayerTest, DestructionStopsPlayback) {
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(8192 * 5))));
    Audio.reset();
    EXPECT_EQ(Played, 1);
    EXPECT_FALSE(Fake.OutIsOpen);
}

// What someone else planted as the spool is never written through or into.
TEST_F(PlayerTest, SpoolIsFreshPrivateAndRemoved) {
    const std::string spool = Runtime.File("PLAY.TMP");
    const std::string victim = Cwd.File("victim");
    struct Case {
        const char* Planted;
        std::function<void()> Plant;
    };
    int plantedFd = -1;
    const std::vector<Case> cases = {
        {"nothing", [] {}},
        {"a symlink to another file",
         [&] { ASSERT_EQ(symlink(victim.c_str(), spool.c_str()), 0); }},
        {"a file open to all, held open",
         [&] {
             plantedFd = open(spool.c_str(), O_RDWR | O_CREAT, 0666);
             fchmod(plantedFd, 0666);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Planted);
        WriteBytes(victim, {1, 2, 3});
        c.Plant();
        const auto data = Ramp(8192 * 6); // more than the four slots: spooled
        ASSERT_TRUE(Player->PlayFile(Wav(data)));
        struct stat st;
        ASSERT_EQ(lstat(spool.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(Player->SpoolFileName(), spool);
        PlayOut();
        EXPECT_EQ(Fake.Played, data);
        Fake.Played.clear();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(spool)));
        EXPECT_EQ(ReadBytes(victim), (std::vector<uint8_t>{1, 2, 3}));
        if (plantedFd >= 0) {
            EXPECT_EQ(lseek(plantedFd, 0, SEEK_END), 0) << "nothing reached the planted file";
            close(plantedFd);
            plantedFd = -1;
        }
    }
    // Released mid-playback: removed too.
    ASSERT_TRUE(Player->PlayFile(Wav(Ramp(8192 * 6))));
    Audio.reset();
    EXPECT_FALSE(std::filesystem::exists(spool));
}

TEST(PlayerSpool, OnlyAPrivateDirectoryOfTheUsersOwn) {
    TScratchDir runtime, tmp;
    const std::string fallback = tmp.File("quillet-" + std::to_string(geteuid()));
    setenv("TMPDIR", tmp.Path.c_str(), 1);
    struct Case {
        const char* Why;
        std::function<void()> Prepare;
        std::string Expected; // "" = refused
    };
    const std::vector<Case> cases = {
        {"private runtime directory", [] {}, runtime.Path},
        {"runtime directory open to all", [&] { chmod(runtime.Path.c_str(), 01777); }, fallback},
        {"runtime directory is a symlink",
         [&] {
             symlink(runtime.Path.c_str(), tmp.File("link").c_str());
             setenv("XDG_RUNTIME_DIR", tmp.File("link").c_str(), 1);
         },
         fallback},
        {"fallback planted as a symlink",
         [&] {
             unsetenv("XDG_RUNTIME_DIR");
             symlink(runtime.Path.c_str(), fallback.c_str());
         },
         ""},
        {"fallback open to others",
         [&] {
             unsetenv("XDG_RUNTIME_DIR");
             mkdir(fallback.c_str(), 0755);
             chmod(fallback.c_str(), 0755);
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        setenv("XDG_RUNTIME_DIR", runtime.Path.c_str(), 1);
        chmod(runtime.Path.c_str(), 0700);
        std::filesystem::remove_all(fallback);
        std::filesystem::remove(tmp.File("link"));
        c.Prepare();
        if (c.Expected.empty()) {
            try {
                TSpoolFile::SpoolDirectory();
                ADD_FAILURE() << "accepted";
            } catch (const EFCreateError& e) {
                EXPECT_EQ(e.Message, "Cannot create file \"" + fallback +
                                         "/PLAY.TMP\". The directory is not private to this user");
            }
        } else {
            EXPECT_EQ(TSpoolFile::SpoolDirectory(), c.Expected);
        }
    }
    std::filesystem::remove(fallback);
    unsetenv("TMPDIR");
    unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
