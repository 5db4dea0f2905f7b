// TPeakLimiter: a look-ahead limiter that keeps the true peak (the peak
// between samples as well, estimated by 4x oversampling as ITU-R BS.1770
// does) of a stream of interleaved float frames at or below a ceiling. The
// gain reaches its value within the look-ahead, before the peak, and
// recovers slowly after it, so speech is not audibly pumped. Output lags
// input by Delay() frames; Flush delivers the rest. Memory is fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class TPeakLimiter {
public:
    TPeakLimiter(int channels, uint32_t rate, double ceilingDbtp);

    // Appends the frames that are ready to out.
    void Process(const float* in, size_t frames, std::vector<float>& out);
    // Appends the frames still held back.
    void Flush(std::vector<float>& out);
    size_t Delay() const { return FirDelay + Window - 1; }

private:
    void Step(const float* frame, std::vector<float>& out);
    double TruePeak() const;

    static constexpr size_t Taps = 12;    // per oversampling phase
    static constexpr size_t FirDelay = 6; // frames from the newest to the one measured
    const int Channels;
    const size_t Window; // look-ahead in frames
    const double Ceiling, Release;
    double Coef[3][Taps];       // the phases between samples: 1/4, 2/4, 3/4
    std::vector<float> History; // the last Taps frames, oldest first
    size_t Filled = 0;
    std::vector<float> Delayed; // ring of Delay() + 1 frames
    size_t DelayPos = 0;
    std::deque<std::pair<size_t, double>> MinQueue; // sliding minimum of the required gains
    size_t Step_ = 0;
    double Released = 1.0;
    std::vector<double> Gains; // ring of the last Window smoothed gains
    double GainSum;
    size_t GainPos = 0;
    size_t Produced = 0, Consumed = 0;
};
