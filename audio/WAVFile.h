// The RIFF WAVE PCM file as the recorder writes it (a fixed 44-byte header,
// sizes completed when the recording ends) and TWAVFile, the small reader
// that tells a recording's length. Only this one layout is read: the data
// chunk must start at offset 36.
#pragma once

#include "audio/WaveDevice.h"
#include "base/Stream.h"

#include <cstdint>
#include <string>

// Writes the 44-byte header with both size fields zero.
void WriteWaveHeader(TStream& stream, const TWaveFormat& format);
// Writes length - 8 at offset 4 and length - 44 at offset 40.
void CompleteWaveHeader(TStream& stream);

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
