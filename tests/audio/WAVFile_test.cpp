// The recorder's 44-byte header and its completion, and TWAVFile's reading
// and duration rules, on real files.
#include "audio/WAVFile.h"
#include "audio/WAVRepair.h"

#include "AudioTestHelpers.h"

#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/time.h>

namespace {

TEST(WaveHeader, OneSecondOfMono8BitHasExactBytesAndSizes) {
    TScratchDir dir;
    const std::string path = dir.File("one.wav");
    {
        TFileStream f(path, TFileStream::Mode::Create);
        WriteWaveHeader(f, Format(1, 11025, 8));
        EXPECT_EQ(f.Size(), 44);
        const std::vector<uint8_t> data = Ramp(11025);
        f.Write(data.data(), data.size());
        CompleteWaveHeader(f);
    }
    const std::vector<uint8_t> b = ReadBytes(path);
    ASSERT_EQ(b.size(), 11069u);
    const std::vector<uint8_t> expected = MakeWav(1, 11025, 8, Ramp(11025));
    EXPECT_EQ(b, expected);
    EXPECT_EQ(Le32(b, 4), 11061u);
    EXPECT_EQ(Le32(b, 40), 11025u);
    TWAVFile w;
    EXPECT_TRUE(w.LoadFromFile(path));
    EXPECT_TRUE(w.Valid);
    EXPECT_EQ(w.Channels, 1);
    EXPECT_EQ(w.SampleRate, 11025);
    EXPECT_EQ(w.BitsPerSample, 8);
    EXPECT_EQ(w.FileSize, 11069);
    EXPECT_DOUBLE_EQ(w.Duration(), 1.0);
}

TEST(WaveHeader, UnfinishedHeaderHoldsZeroSizes) {
    TMemoryStream m;
    WriteWaveHeader(m, Format(2, 44100, 16));
    ASSERT_EQ(m.Data.size(), 44u);
    EXPECT_EQ(Le32(m.Data, 4), 0u);
    EXPECT_EQ(Le32(m.Data, 40), 0u);
    EXPECT_EQ(Le32(m.Data, 28), 176400u);
    EXPECT_EQ(Le16(m.Data, 32), 4);
}

struct TDurationCase {
    const char* Why;
    std::vector<uint8_t> Bytes;
    bool Loaded;
    bool Valid;
    double Duration;
};

std::vector<uint8_t> WithRiff(std::vector<uint8_t> b, uint32_t riff) {
    for (int i = 0; i < 4; ++i)
        b[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
    return b;
}

std::vector<uint8_t> With16(std::vector<uint8_t> b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
    return b;
}

TEST(WAVFile, LoadAndDuration) {
    const auto stereo16 = MakeWav(2, 44100, 16, std::vector<uint8_t>(176400));
    const auto mono8 = MakeWav(1, 11025, 8, std::vector<uint8_t>(5512));
    std::vector<uint8_t> notRiff = mono8;
    notRiff[0] = 'X';
    const std::vector<TDurationCase> cases = {
        {"16-bit stereo 44100, 176400 data bytes", stereo16, true, true, 1.0},
        {"half a second", mono8, true, true, 5512.0 / 11025},
        {"18-byte format chunk puts data at 38", MakeWav(1, 11025, 8, Ramp(100), 18), true, false,
         0},
        {"three channels", MakeWav(3, 11025, 8, Ramp(99)), true, false, 0},
        {"no RIFF tag", notRiff, true, false, 0},
        {"format tag not PCM", With16(mono8, 20, 3), true, false, 0},
        {"43 bytes", std::vector<uint8_t>(mono8.begin(), mono8.begin() + 43), false, false, 0},
        {"empty file", {}, false, false, 0},
        {"unfinished recording stores RIFF size 0", WithRiff(mono8, 0), true, true, 0},
        {"RIFF size 35 is below the header", WithRiff(mono8, 35), true, true, 0},
        {"RIFF size 36: header only", WithRiff(mono8, 36), true, true, 0},
        {"stored size wins over file length", WithRiff(mono8, 36 + 11025), true, true, 1.0},
        {"sample rate 0", With16(mono8, 24, 0), true, true, 0},
        {"bits 0", With16(mono8, 34, 0), true, true, 0},
    };
    TScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        const std::string path = dir.File("case.wav");
        WriteBytes(path, c.Bytes);
        TWAVFile w;
        EXPECT_EQ(w.LoadFromFile(path), c.Loaded);
        EXPECT_EQ(w.Valid, c.Valid);
        EXPECT_DOUBLE_EQ(w.Duration(), c.Duration);
    }
}

TEST(WAVFile, MissingFileAndReloadClearFields) {
    TScratchDir dir;
    TWAVFile w;
    WriteBytes(dir.File("a.wav"), MakeWav(2, 22050, 16, Ramp(400)));
    ASSERT_TRUE(w.LoadFromFile(dir.File("a.wav")));
    ASSERT_TRUE(w.Valid);
    EXPECT_FALSE(w.LoadFromFile(dir.File("missing.wav")));
    EXPECT_FALSE(w.Valid);
    EXPECT_EQ(w.SampleRate, 0);
    EXPECT_EQ(w.FileSize, 0);
    EXPECT_EQ(w.Duration(), 0);
}

// The rules the command line's WAV cases leave out: the accepted layouts,
// the format fields' own checks and the chunk walk.
TEST(WaveHeaderProblem, AcceptsUsablePcmAndNamesTheFirstFault) {
    const auto mono8 = MakeWav(1, 11025, 8, Ramp(100));
    // mono8 with a chunk of `length` bytes (`present` of them there)
    // between fmt and data.
    auto withChunkBeforeData = [&](uint32_t length, size_t present) {
        std::vector<uint8_t> b(mono8.begin(), mono8.begin() + 36);
        PutTag(b, "LIST");
        Put32(b, length);
        b.resize(b.size() + present, 'x');
        b.insert(b.end(), mono8.begin() + 36, mono8.end());
        return b;
    };
    std::vector<uint8_t> dataFirst(mono8.begin(), mono8.begin() + 12);
    PutTag(dataFirst, "data");
    Put32(dataFirst, 0);
    dataFirst.insert(dataFirst.end(), mono8.begin() + 12, mono8.end());
    const struct {
        const char* Why;
        std::vector<uint8_t> Bytes;
        std::string Problem;
    } cases[] = {
        {"the recorder's layout", mono8, ""},
        {"16-bit stereo at the highest rate", MakeWav(2, 192000, 16, Ramp(8)), ""},
        {"18-byte fmt chunk puts data at 38", MakeWav(1, 11025, 8, Ramp(100), 18), ""},
        {"an odd-length chunk is skipped with its pad byte", withChunkBeforeData(3, 4), ""},
        {"a chunk before the data runs past the end", withChunkBeforeData(1000, 4),
         "the header is cut short"},
        {"data before fmt", dataFirst, "no fmt chunk before the data chunk"},
        {"a float format", With16(mono8, 20, 3), "format tag 3, not PCM (1)"},
        {"rate below 1000", MakeWav(1, 999, 8, Ramp(10)),
         "sample rate 999 Hz (1000 to 192000 expected)"},
        {"block align of another format", With16(mono8, 32, 2),
         "block align 2, not 1 (channels * bits / 8)"},
        {"byte rate that does not follow", With16(mono8, 28, 11024),
         "byte rate 11024, not 11025 (sample rate * block align)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        TMemoryStream m;
        m.Data = c.Bytes;
        EXPECT_EQ(WaveHeaderProblem(m), c.Problem);
    }
}

} // namespace

// A recording cut short keeps its sound; files not of the recorder's layout
// are left exactly as they were.
TEST(RepairWAVFile, FixesStaleSizesOfOurLayoutOnly) {
    TScratchDir dir;
    const std::string path = dir.File("left.wav");
    auto stale = [](std::vector<uint8_t> b) {
        std::fill(b.begin() + 4, b.begin() + 8, 0);
        std::fill(b.begin() + 40, b.begin() + 44, 0);
        return b;
    };
    auto with = [](std::vector<uint8_t> b, size_t at, uint8_t v) {
        b[at] = v;
        return b;
    };
    const auto stereo = stale(MakeWav(2, 22050, 16, Ramp(4000 + 3)));
    struct Case {
        const char* Why;
        std::vector<uint8_t> Bytes;
        bool Repaired;
        size_t Data; // data bytes after a repair
    };
    const std::vector<Case> cases = {
        {"killed mid-take, partial frame", stereo, true, 4000},
        {"header only", stale(MakeWav(1, 11025, 8, {})), true, 0},
        {"already complete", MakeWav(1, 11025, 8, Ramp(5)), true, 5},
        {"18-byte format chunk", stale(MakeWav(1, 11025, 8, Ramp(10), 18)), false, 0},
        {"compressed format tag", with(stereo, 20, 2), false, 0},
        {"block align not of the format", with(stereo, 32, 2), false, 0},
        {"shorter than a header", std::vector<uint8_t>(stereo.begin(), stereo.begin() + 43), false,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteBytes(path, c.Bytes);
        EXPECT_EQ(RepairWAVFile(path), c.Repaired);
        const auto b = ReadBytes(path);
        if (!c.Repaired) {
            EXPECT_EQ(b, c.Bytes);
            continue;
        }
        ASSERT_EQ(b.size(), 44 + c.Data);
        EXPECT_EQ(Le32(b, 4), b.size() - 8);
        EXPECT_EQ(Le32(b, 40), c.Data);
        EXPECT_TRUE(std::equal(b.begin() + 44, b.end(), c.Bytes.begin() + 44));
    }
    EXPECT_FALSE(RepairWAVFile(dir.File("missing.wav")));
}

TEST(MoveAsideFile, DatedNameThatNeverReplacesAnother) {
    TScratchDir dir;
    const std::string path = dir.File("Quillet.wav");
    std::tm when{};
    strptime("2026-01-02 03:04:05", "%Y-%m-%d %H:%M:%S", &when);
    when.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&when), 0}, {std::mktime(&when), 0}};
    WriteBytes(path, {1});
    utimes(path.c_str(), times); // dated by the take, not by the move
    const std::string first = MoveAsideFile(path);
    WriteBytes(path, {2});
    utimes(path.c_str(), times);
    const std::string second = MoveAsideFile(path);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(first, dir.File("Quillet-20260102-030405.wav"));
    EXPECT_EQ(second, dir.File("Quillet-20260102-030405-2.wav"));
    EXPECT_EQ(ReadBytes(first), std::vector<uint8_t>{1});
    EXPECT_EQ(ReadBytes(second), std::vector<uint8_t>{2});
}
