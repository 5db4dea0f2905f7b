// The two passes of the voice processing; see VoiceProcessor.h. Pass one
// reads the take (through the noise reducer, whose output is kept in a
// scratch copy so pass two need not run it again), measures the integrated
// loudness in libebur128's histogram mode (fixed memory) and the block
// levels for the speech span. Pass two reads the kept part, applies the
// gain and the limiter and writes the copy (again, at most twice, while the
// limiter keeps the loudness off target).
#include "audio/VoiceProcessor.h"

#include "audio/NoiseReducer.h"
#include "audio/PeakLimiter.h"
#include "audio/SpeechSpan.h"
#include "audio/WaveSource.h"
#include "base/Exception.h"
#include "base/Translate.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <limits>
#include <memory>
#include <unistd.h>

namespace {

// Frames per block: small enough to keep the window serviced between two
// progress calls, large enough that the calls cost nothing.
constexpr size_t BlockFrames = 8820;
// Renders of the copy at most: the first, and two corrections of the gain.
constexpr int MaxRenders = 3;

struct TEbur128Deleter {
    void operator()(ebur128_state* s) const { ebur128_destroy(&s); }
};

// The speech threshold: 30 dB under the speech level, raised to 6 dB over
// the take's floor when noise sits there, but never closer than 20 dB to
// the speech, so quiet syllables are not taken for silence.
double SilenceThreshold(double speechDb, double floorDb) {
    return std::min(std::max(speechDb - 30, floorDb + 6), speechDb - 20);
}

// Writes the kept part of source into output with gain and the limiter;
// returns the integrated loudness of what was written. progress gets the
// frames of the take passed (the skipped start included).
double Render(TWaveSource& source, const std::string& output, const TVoiceReport& report,
              double gain, const TVoiceOptions& options, int channels, uint32_t rate,
              const std::function<void(int64_t)>& progress) {
    std::unique_ptr<ebur128_state, TEbur128Deleter> meter(ebur128_init(
        static_cast<unsigned>(channels), rate, EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM));
    source.SeekFrame(report.FirstFrame);
    TWaveSink sink(output, static_cast<uint16_t>(channels), rate);
    TPeakLimiter limiter(channels, rate, options.CeilingDbtp);
    std::vector<float> block, limited;
    auto put = [&] {
        const size_t n = limited.size() / static_cast<size_t>(channels);
        sink.Write(limited.data(), n);
        if (meter)
            ebur128_add_frames_float(meter.get(), limited.data(), n);
        limited.clear();
    };
    int64_t left = report.EndFrame - report.FirstFrame, done = report.FirstFrame;
    while (left > 0) {
        const size_t n =
            source.Read(block, static_cast<size_t>(std::min<int64_t>(left, BlockFrames)));
        if (n == 0)
            break;
        left -= static_cast<int64_t>(n);
        if (options.Level) {
            for (float& v : block)
                v = static_cast<float>(v * gain);
            limiter.Process(block.data(), n, limited);
        } else {
            limited = block;
        }
        put();
        done += static_cast<int64_t>(n);
        progress(done);
    }
    if (options.Level)
        limiter.Flush(limited);
    put();
    sink.Finish();
    double loudness = -std::numeric_limits<double>::infinity();
    if (meter)
        ebur128_loudness_global(meter.get(), &loudness);
    return loudness;
}

} // namespace

TVoiceReport ProcessVoice(const std::string& input, const std::string& output,
                          const TVoiceOptions& options,
                          const std::function<void(int64_t done, int64_t total)>& progress) {
    const std::string scratch = output + ".part";
    try {
        TWaveSource take(input);
        const int channels = take.Channels();
        const uint32_t rate = take.Rate();
        const int64_t frames = take.Frames();
        TVoiceReport report;
        report.Frames = frames;
        report.EndFrame = frames;
        const int64_t total = (1 + MaxRenders) * frames;
        std::vector<float> block;

        // Pass one: noise reduction into the scratch copy, measurements.
        std::unique_ptr<ebur128_state, TEbur128Deleter> meter(ebur128_init(
            static_cast<unsigned>(channels), rate, EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM));
        if (!meter)
            throw Exception(Tr("Audio", "The loudness of the recording cannot be measured."));
        TSpeechSpan span(channels, rate);
        std::unique_ptr<TNoiseReducer> reducer;
        std::unique_ptr<TWaveSink> cleaned;
        size_t blockFrames = BlockFrames;
        if (options.Denoise) {
            reducer = std::make_unique<TNoiseReducer>(channels, rate);
            blockFrames = (BlockFrames / reducer->FrameSize() + 1) * reducer->FrameSize();
            cleaned = std::make_unique<TWaveSink>(scratch, channels, rate);
        }
        int64_t done = 0;
        while (size_t n = take.Read(block, blockFrames)) {
            if (reducer) {
                reducer->Process(block.data(), n);
                cleaned->Write(block.data(), n);
            }
            if (options.Level) {
                ebur128_add_frames_float(meter.get(), block.data(), n);
                span.Add(block.data(), n);
            }
            done += static_cast<int64_t>(n);
            if (progress)
                progress(done, total);
        }
        span.Finish();
        if (cleaned)
            cleaned->Finish();

        double gain = 1.0;
        if (options.Level) {
            double loudness = -std::numeric_limits<double>::infinity();
            ebur128_loudness_global(meter.get(), &loudness);
            report.LoudnessLufs = loudness;
            // A take without speech above the loudness gate stays as it is.
            if (std::isfinite(loudness)) {
                report.GainDb = std::min(options.TargetLufs - loudness, options.MaxGainDb);
                gain = std::pow(10.0, report.GainDb / 20.0);
                const TSpeechSpan::TSpan speech =
                    span.Above(SilenceThreshold(loudness, span.FloorDb()));
                const auto over = static_cast<int64_t>(options.TrimOverSeconds * rate);
                const auto keep = static_cast<int64_t>(options.TrimKeepSeconds * rate);
                if (speech.Found && speech.First > over)
                    report.FirstFrame = speech.First - keep;
                if (speech.Found && frames - speech.End > over)
                    report.EndFrame = speech.End + keep;
            }
        }

        // Pass two: the kept part, levelled and limited, into the copy. The
        // limiter takes loudness off a take with sharp peaks, so the copy is
        // measured too and, when it missed the target, made once more with
        // the gain corrected by what was missed.
        std::unique_ptr<TWaveSource> cleanedTake;
        if (reducer)
            cleanedTake = std::make_unique<TWaveSource>(scratch);
        TWaveSource& source = cleanedTake ? *cleanedTake : take;
        // Each further render corrects the gain by the slope the last two
        // showed (the limiter gives back less than the gain added).
        double lastGain = 0, lastMade = 0;
        for (int render = 0;; ++render) {
            const double made =
                Render(source, output, report, gain, options, channels, rate, [&](int64_t n) {
                    if (progress)
                        progress(frames * (1 + render) + n, total);
                });
            const double missed = options.TargetLufs - made;
            if (!options.Level || render == MaxRenders - 1 || !std::isfinite(made) ||
                std::fabs(missed) < 0.2)
                break;
            double slope = 1;
            if (render > 0 && made != lastMade)
                slope = std::clamp((made - lastMade) / (report.GainDb - lastGain), 0.2, 1.0);
            lastGain = report.GainDb;
            lastMade = made;
            const double next = std::min(report.GainDb + missed / slope, options.MaxGainDb);
            if (next == report.GainDb)
                break;
            report.GainDb = next;
            gain = std::pow(10.0, report.GainDb / 20.0);
        }
        cleanedTake.reset();
        ::unlink(scratch.c_str());
        if (progress)
            progress(total, total);
        return report;
    } catch (...) {
        // Cancelled or failed: no half-made copy is left for the encoder.
        ::unlink(scratch.c_str());
        ::unlink(output.c_str());
        throw;
    }
}
