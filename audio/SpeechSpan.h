// TSpeechSpan: where the speech of a take begins and ends, found in one
// streaming pass. The take is cut into 10 ms blocks; each block's level
// (dB, on the loudness scale) goes into a fixed histogram that also keeps
// the first and last block of every level. Once the whole take is seen and
// its speech level is known, the span above any threshold is read off the
// histogram, so memory stays fixed however long the take is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class TSpeechSpan {
public:
    TSpeechSpan(int channels, uint32_t rate);

    void Add(const float* frames, size_t count);
    // Closes a partial last block.
    void Finish();

    // The level below which a tenth of the blocks lie: the take's floor.
    double FloorDb() const;

    struct TSpan {
        bool Found = false;
        int64_t First = 0, End = 0; // frames: first of the first block, end of the last
    };
    // The blocks at or above thresholdDb.
    TSpan Above(double thresholdDb) const;
    int64_t Frames() const { return FrameCount; }

private:
    void CloseBlock();

    static constexpr double LowDb = -100, HighDb = 10, BinDb = 0.5;
    static constexpr size_t Bins = static_cast<size_t>((HighDb - LowDb) / BinDb) + 1;
    struct TBin {
        int64_t Count = 0, First = -1, Last = -1;
    };
    const int Channels;
    const size_t BlockFrames;
    std::array<TBin, Bins> Histogram{};
    double Energy = 0;
    size_t InBlock = 0;
    int64_t Blocks = 0, FrameCount = 0;
};
