// True-peak look-ahead limiter; see PeakLimiter.h. Each frame is measured
// FirDelay frames after it arrived (the interpolation needs frames on both
// sides), its required gain enters a sliding minimum over the look-ahead,
// the minimum recovers towards 1 at the release rate, and a moving average
// over the look-ahead smooths the attack. Every gain averaged for a frame
// is at most the gain that frame needs, so no peak escapes the ceiling.
#include "audio/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double Pi = 3.14159265358979323846;
constexpr double LookAheadSeconds = 0.005;
constexpr double ReleaseSeconds = 0.04;
} // namespace

TPeakLimiter::TPeakLimiter(int channels, uint32_t rate, double ceilingDbtp)
    : Channels(channels),
      Window(std::max<size_t>(1, static_cast<size_t>(std::lround(rate * LookAheadSeconds)))),
      Ceiling(std::pow(10.0, ceilingDbtp / 20.0)),
      Release(std::exp(-1.0 / (ReleaseSeconds * rate))), History(Taps * channels, 0.0f),
      Delayed(Window * channels, 0.0f), Gains(Window, 1.0), GainSum(static_cast<double>(Window)) {
    // Windowed sinc for the three points between two samples, each phase
    // scaled to unit gain at DC.
    for (int p = 0; p < 3; ++p) {
        const double f = (p + 1) / 4.0;
        double sum = 0;
        for (size_t k = 0; k < Taps; ++k) {
            const double d = static_cast<double>(k) - (FirDelay - 1) - f; // distance from c + f
            const double sinc = d == 0 ? 1.0 : std::sin(Pi * d) / (Pi * d);
            const double w =
                0.42 + 0.5 * std::cos(Pi * d / 6.5) + 0.08 * std::cos(2 * Pi * d / 6.5);
            Coef[p][k] = sinc * w;
            sum += Coef[p][k];
        }
        for (double& c : Coef[p])
            c /= sum;
    }
}

double TPeakLimiter::TruePeak() const {
    // The frame measured sits at index FirDelay - 1 of History.
    double peak = 0;
    for (int ch = 0; ch < Channels; ++ch) {
        peak =
            std::max(peak, std::fabs(static_cast<double>(History[(FirDelay - 1) * Channels + ch])));
        for (int p = 0; p < 3; ++p) {
            double y = 0;
            for (size_t k = 0; k < Taps; ++k)
                y += Coef[p][k] * History[k * Channels + ch];
            peak = std::max(peak, std::fabs(y));
        }
    }
    return peak;
}

void TPeakLimiter::Step(const float* frame, std::vector<float>& out) {
    std::copy(History.begin() + Channels, History.end(), History.begin());
    std::copy(frame, frame + Channels, History.end() - Channels);
    const double peak = TruePeak();
    const double need = peak > Ceiling ? Ceiling / peak : 1.0;
    while (!MinQueue.empty() && MinQueue.back().second >= need)
        MinQueue.pop_back();
    MinQueue.emplace_back(Step_, need);
    while (MinQueue.front().first + Window <= Step_)
        MinQueue.pop_front();
    Released = std::min(MinQueue.front().second, 1.0 - (1.0 - Released) * Release);
    GainSum += Released - Gains[GainPos];
    Gains[GainPos] = Released;
    GainPos = (GainPos + 1) % Window;
    const double gain = std::min(1.0, GainSum / static_cast<double>(Window));

    // The measured frame enters the look-ahead ring; the frame the gain
    // belongs to, Window - 1 frames older, leaves it.
    std::copy(History.begin() + (FirDelay - 1) * Channels, History.begin() + FirDelay * Channels,
              &Delayed[DelayPos * Channels]);
    DelayPos = (DelayPos + 1) % Window;
    if (Step_ >= FirDelay + Window - 1 && Produced < Consumed) {
        const float* oldest = &Delayed[DelayPos * Channels];
        for (int ch = 0; ch < Channels; ++ch)
            out.push_back(static_cast<float>(oldest[ch] * gain));
        ++Produced;
    }
    ++Step_;
}

void TPeakLimiter::Process(const float* in, size_t frames, std::vector<float>& out) {
    for (size_t i = 0; i < frames; ++i) {
        ++Consumed;
        Step(in + i * Channels, out);
    }
}

void TPeakLimiter::Flush(std::vector<float>& out) {
    const std::vector<float> silence(Channels, 0.0f);
    while (Produced < Consumed)
        Step(silence.data(), out);
}
