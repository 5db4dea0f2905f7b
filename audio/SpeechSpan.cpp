// Block levels and the speech span; see SpeechSpan.h.
#include "audio/SpeechSpan.h"

#include <algorithm>
#include <cmath>

TSpeechSpan::TSpeechSpan(int channels, uint32_t rate)
    : Channels(channels), BlockFrames(std::max<size_t>(1, rate / 100)) {}

void TSpeechSpan::Add(const float* frames, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        for (int ch = 0; ch < Channels; ++ch) {
            const double v = frames[i * Channels + ch];
            Energy += v * v;
        }
        if (++InBlock == BlockFrames)
            CloseBlock();
    }
    FrameCount += static_cast<int64_t>(count);
}

void TSpeechSpan::Finish() {
    if (InBlock > 0)
        CloseBlock();
}

void TSpeechSpan::CloseBlock() {
    // Channels add up, as they do for loudness (BS.1770 without weighting).
    const double meanSquare = Energy / static_cast<double>(InBlock);
    const double db = meanSquare > 0 ? -0.691 + 10 * std::log10(meanSquare) : LowDb;
    const auto bin =
        static_cast<size_t>(std::clamp((db - LowDb) / BinDb, 0.0, static_cast<double>(Bins - 1)));
    TBin& b = Histogram[bin];
    if (b.Count++ == 0)
        b.First = Blocks;
    b.Last = Blocks;
    ++Blocks;
    Energy = 0;
    InBlock = 0;
}

double TSpeechSpan::FloorDb() const {
    int64_t seen = 0;
    for (size_t i = 0; i < Bins; ++i) {
        seen += Histogram[i].Count;
        if (seen * 10 >= Blocks && seen > 0)
            return LowDb + static_cast<double>(i) * BinDb;
    }
    return LowDb;
}

TSpeechSpan::TSpan TSpeechSpan::Above(double thresholdDb) const {
    TSpan span;
    int64_t first = -1, last = -1;
    const auto from = static_cast<size_t>(
        std::clamp(std::ceil((thresholdDb - LowDb) / BinDb), 0.0, static_cast<double>(Bins)));
    for (size_t i = from; i < Bins; ++i) {
        const TBin& b = Histogram[i];
        if (b.Count == 0)
            continue;
        first = first < 0 ? b.First : std::min(first, b.First);
        last = std::max(last, b.Last);
    }
    if (first < 0)
        return span;
    span.Found = true;
    span.First = first * static_cast<int64_t>(BlockFrames);
    span.End = std::min(FrameCount, (last + 1) * static_cast<int64_t>(BlockFrames));
    return span;
}
