// TWaveSource: reads the sound of a PCM WAV file (8-bit unsigned or 16-bit
// signed, any channel count) block by block as interleaved floats in
// [-1, 1). Finds the fmt and data chunks wherever they are; nothing but the
// current block is held in memory, so a take of any length streams through.
#pragma once

#include "base/Stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TWaveSource {
public:
    // Raises EFOpenError, or EReadError when the file is no PCM WAV file.
    explicit TWaveSource(const std::string& path);

    uint16_t Channels() const { return ChannelCount; }
    uint32_t Rate() const { return SampleRate; }
    uint16_t Bits() const { return BitsPerSample; }
    int64_t Frames() const { return FrameCount; }

    // Reads up to frames frames into out (resized to frames * Channels());
    // returns the frames read, 0 at the end.
    size_t Read(std::vector<float>& out, size_t frames);
    // Back to the first frame.
    void Rewind();
    // Moves to frame (clamped to the end).
    void SeekFrame(int64_t frame);

private:
    std::unique_ptr<TFileStream> File;
    uint16_t ChannelCount = 0, BitsPerSample = 0;
    uint32_t SampleRate = 0;
    int64_t DataStart = 0, FrameCount = 0, Position = 0;
    std::vector<uint8_t> Raw;
};

// Writes interleaved floats as a 16-bit PCM WAV file: the header first, the
// sizes completed by Finish. Samples are rounded and clipped to 16 bits.
class TWaveSink {
public:
    // Raises EFCreateError.
    TWaveSink(const std::string& path, uint16_t channels, uint32_t rate);
    void Write(const float* frames, size_t count);
    void Finish();
    int64_t Frames() const { return FrameCount; }

private:
    std::unique_ptr<TFileStream> File;
    uint16_t ChannelCount;
    int64_t FrameCount = 0;
    std::vector<int16_t> Out;
};
