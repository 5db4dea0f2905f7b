// The 44-byte WAV header, its completion, and TWAVFile; see WAVFile.h.
#include "audio/WAVFile.h"

#include <cstring>
#include <memory>

namespace {

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

void WriteWaveHeader(TStream& stream, const TWaveFormat& format) {
    uint8_t h[44] = {};
    std::memcpy(h, "RIFF", 4);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, format.Channels);
    // The rate is a 16-bit setting; the high half stays zero.
    Put16(h + 24, static_cast<uint16_t>(format.SamplesPerSec));
    Put32(h + 28, format.AvgBytesPerSec);
    Put16(h + 32, format.BlockAlign);
    Put16(h + 34, format.BitsPerSample);
    std::memcpy(h + 36, "data", 4);
    stream.Write(h, sizeof h);
}

void CompleteWaveHeader(TStream& stream) {
    const int64_t length = stream.Size();
    uint8_t v[4];
    Put32(v, static_cast<uint32_t>(length - 8));
    stream.SetPosition(4);
    stream.Write(v, 4);
    Put32(v, static_cast<uint32_t>(length - 44));
    stream.SetPosition(40);
    stream.Write(v, 4);
}

bool TWAVFile::LoadFromFile(const std::string& fileName) {
    Valid = false;
    Channels = 0;
    SampleRate = 0;
    BitsPerSample = 0;
    FileSize = 0;
    uint8_t h[44];
    size_t got = 0;
    try {
        TFileStream f(fileName, TFileStream::Mode::OpenRead);
        while (got < sizeof h) {
            const size_t n = f.Read(h + got, sizeof h - got);
            if (n == 0)
                break;
            got += n;
        }
    } catch (const Exception&) {
        return false;
    }
    if (got < sizeof h)
        return false;
    const uint16_t channels = Get16(h + 22);
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0 ||
        std::memcmp(h + 12, "fmt ", 4) != 0 || Get32(h + 16) != 16 || Get16(h + 20) != 1 ||
        std::memcmp(h + 36, "data", 4) != 0 || (channels != 1 && channels != 2))
        return true;
    Valid = true;
    Channels = h[22];
    SampleRate = Get16(h + 24);
    BitsPerSample = h[34];
    FileSize = static_cast<int32_t>(Get32(h + 4) + 8);
    return true;
}

double TWAVFile::Duration() const {
    if (!Valid || SampleRate == 0 || BitsPerSample == 0 || Channels == 0)
        return 0;
    // A stored RIFF size below 36 (0 in an unfinished recording) has no data.
    if (static_cast<uint32_t>(FileSize) - 8 < 36)
        return 0;
    const uint32_t bits = (static_cast<uint32_t>(FileSize) - 44) * 8;
    return static_cast<double>(bits) / SampleRate / BitsPerSample / Channels;
}
