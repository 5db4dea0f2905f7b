// The voice processing on real speech (espeak-ng, shaped with sox): silence
// trimmed at both ends without cutting the speech, noise reduced in the
// pauses while the voice keeps its level, and a take of an hour given up
// at once on a cancel. Levels are measured here with plain sums, not with
// the code under test; the loudness target is checked on the mailed MP3
// (tests/workflow/voice_test.cpp).
#include "audio/VoiceProcessor.h"
#include "audio/WaveSource.h"

#include "tests/support/TempDir.h"
#include "tests/support/audio_Speech.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

namespace {

const char* const Sentence = "Hello Bob, this is a voice message about the meeting tomorrow.";

std::vector<float> Samples(const std::string& path, uint32_t* rate = nullptr) {
    TWaveSource wav(path);
    if (rate)
        *rate = wav.Rate();
    std::vector<float> all, block;
    while (size_t n = wav.Read(block, 65536))
        all.insert(all.end(), block.begin(), block.begin() + static_cast<long>(n));
    return all;
}

// First and one past the last sample louder than a thirtieth of the peak.
std::pair<size_t, size_t> LoudSpan(const std::vector<float>& s) {
    float peak = 0;
    for (float v : s)
        peak = std::max(peak, std::fabs(v));
    size_t first = s.size(), last = 0;
    for (size_t i = 0; i < s.size(); ++i)
        if (std::fabs(s[i]) > peak / 30) {
            first = std::min(first, i);
            last = i + 1;
        }
    return {first, last};
}

double RmsDb(const std::vector<float>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return 10 * std::log10(sum / static_cast<double>(to - from) + 1e-20);
}

void WriteMono16(const std::string& path, const std::vector<float>& s, uint32_t rate) {
    TWaveSink sink(path, 1, rate);
    sink.Write(s.data(), s.size());
    sink.Finish();
}

TEST(VoiceProcessor, TrimsLongSilenceAtBothEndsWithoutCuttingSpeech) {
    struct Case {
        const char* Why;
        int Rate, Bits;
        const char* Effects;
    } cases[] = {
        {"digital silence, the default 8-bit format", 11025, 8, "pad 3 3"},
        {"a quiet room's hiss under 16-bit speech", 22050, 16,
         "pad 3 3 synth whitenoise mix gain -3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        TTempDir dir;
        const std::string take = dir.File("take.wav"), copy = dir.File("copy.wav");
        std::string effects = c.Effects;
        if (effects.find("whitenoise") != std::string::npos) {
            // Speech padded with silence, then hiss 55 dB under full scale mixed in.
            ASSERT_TRUE(MakeSpeech(dir.File("s.wav"), Sentence, c.Rate, c.Bits, "pad 3 3"));
            ASSERT_EQ(RunShell("sox -q -V1 -m '" + dir.File("s.wav") + "' '|sox -q -V1 '" +
                               dir.File("s.wav") + "' -p synth whitenoise vol 0.0018' '" + take +
                               "'"),
                      0);
        } else {
            ASSERT_TRUE(MakeSpeech(take, Sentence, c.Rate, c.Bits, effects));
        }
        uint32_t rate = 0;
        const std::vector<float> in = Samples(take, &rate);
        ProcessVoice(take, copy, TVoiceOptions(), nullptr);
        const std::vector<float> out = Samples(copy);
        const auto [inFirst, inEnd] = LoudSpan(in);
        const auto [outFirst, outEnd] = LoudSpan(out);
        EXPECT_GT(inFirst, 2.9 * rate) << "the fixture starts with 3 s of silence";
        EXPECT_LE(outFirst, 0.3 * rate) << "silence left at the start";
        EXPECT_LE(out.size() - outEnd, 0.3 * rate) << "silence left at the end";
        // The limiter tames peaks, so more of the soft edges clear the
        // relative threshold afterwards: the span may only grow.
        EXPECT_GE(double(outEnd - outFirst), double(inEnd - inFirst) - 0.01 * rate)
            << "the speech span is kept whole";
    }
}

TEST(VoiceProcessor, NoiseReductionQuietsPausesAndKeepsTheVoice) {
    TTempDir dir;
    const uint32_t rate = 16000;
    ASSERT_TRUE(MakeSpeech(dir.File("clean.wav"), Sentence, rate, 16, "pad 1.5 1.5"));
    std::vector<float> s = Samples(dir.File("clean.wav"));
    const size_t speechFrom = rate * 3 / 2, speechTo = s.size() - rate * 3 / 2;
    // White noise 10 dB under the speech (SNR over the spoken part).
    const double noiseRms = std::pow(10.0, (RmsDb(s, speechFrom, speechTo) - 10) / 20);
    uint32_t seed = 12345;
    for (float& v : s) {
        seed = seed * 1664525u + 1013904223u;
        const double uniform = (seed >> 8) / double(1 << 24) - 0.5; // rms 1/sqrt(12)
        v += static_cast<float>(uniform * std::sqrt(12.0) * noiseRms);
    }
    WriteMono16(dir.File("noisy.wav"), s, rate);
    TVoiceOptions options;
    options.Level = false;
    options.Denoise = true;
    ProcessVoice(dir.File("noisy.wav"), dir.File("copy.wav"), options, nullptr);
    const std::vector<float> out = Samples(dir.File("copy.wav"));
    ASSERT_EQ(out.size(), s.size()) << "without levelling nothing is trimmed";
    // The last pause: the reducer has learnt the noise by then.
    const size_t pauseFrom = s.size() - rate, pauseTo = s.size() - rate / 10;
    EXPECT_LE(RmsDb(out, pauseFrom, pauseTo), RmsDb(s, pauseFrom, pauseTo) - 10)
        << "noise in the pause";
    EXPECT_NEAR(RmsDb(out, speechFrom, speechTo), RmsDb(s, speechFrom, speechTo), 2)
        << "speech level";
}

TEST(VoiceProcessor, AnHourLongTakeStopsAtOnceWhenCancelled) {
    TTempDir dir;
    const std::string take = dir.File("hour.wav"), copy = dir.File("copy.wav");
    // 60 minutes of 11025 Hz 8-bit mono: a tone, so there is something to level.
    std::vector<float> tone(11025 * 60);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.1f * static_cast<float>(std::sin(i * 0.25));
    {
        TWaveSink sink(take, 1, 11025);
        for (int minute = 0; minute < 60; ++minute)
            sink.Write(tone.data(), tone.size());
        sink.Finish();
    }
    struct ECancel {};
    int64_t reached = 0, total = 0;
    EXPECT_THROW(ProcessVoice(take, copy, TVoiceOptions(),
                              [&](int64_t done, int64_t all) {
                                  reached = done;
                                  total = all;
                                  if (done * 100 > all)
                                      throw ECancel();
                              }),
                 ECancel);
    EXPECT_EQ(total, 4 * 11025LL * 3600) << "at most four passes over every frame";
    EXPECT_LT(reached * 50, total) << "stopped within the block after the cancel";
    EXPECT_FALSE(std::ifstream(copy).good()) << "no half-made copy is left";
}

} // namespace
