// The RIFF WAVE PCM file as the recorder writes it (a fixed 44-byte header,
// sizes completed when the recording ends), TWAVFile, the small reader
// that tells a recording's length (only this one layout: the data chunk
// must start at offset 36), and the check of a WAV file from elsewhere
// before it is handed to the encoder.
#pragma once

#include "audio/WaveDevice.h"
#include "base/Stream.h"

#include <cstdint>
#include <string>

// Writes the 44-byte header with both size fields zero.
void WriteWaveHeader(TStream& stream, const TWaveFormat& format);
// Writes length - 8 at offset 4 and length - 44 at offset 40.
void CompleteWaveHeader(TStream& stream);

// The sample rates WaveHeaderProblem accepts, in Hz.
constexpr uint32_t MinWaveRate = 1000;
constexpr uint32_t MaxWaveRate = 192000;

// Why the RIFF WAVE file in stream is no PCM sound the encoder can take, or
// "" when it is: a fmt chunk of 16 or 18 bytes before the data chunk, with
// format tag 1, 1 or 2 channels, 8 or 16 bits, MinWaveRate..MaxWaveRate Hz,
// block align and byte rate that follow from those, and a data chunk that
// lies inside the stream. Other chunks are skipped; the RIFF size is not
// looked at (many writers leave it wrong). Reads from the stream's start.
std::string WaveHeaderProblem(TStream& stream);

class TWAVFile {
public:
    // Clears the fields and reads the header; true when 44 bytes were read,
    // whether or not the header was accepted. Never raises.
    bool LoadFromFile(const std::string& fileName);
    // Seconds of sound by the stored RIFF size. 0 when not Valid, when the
    // stored size is below 36 (an unfinished recording), or when the rate,
    // bits or channels are 0.
    double Duration() const;

    bool Valid = false;
    uint8_t Channels = 0;
    uint16_t SampleRate = 0;
    uint8_t BitsPerSample = 0;
    int32_t FileSize = 0;
};
