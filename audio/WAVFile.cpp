// The 44-byte WAV header, its completion, and TWAVFile; see WAVFile.h.
#include "audio/WAVFile.h"

#include "base/Translate.h"

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

size_t ReadUpTo(TStream& stream, uint8_t* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        const size_t n = stream.Read(buffer + got, count - got);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// The fields of a PCM fmt chunk that decide whether the sound can be read.
std::string FormatProblem(const uint8_t* f) {
    const uint16_t tag = Get16(f), channels = Get16(f + 2), align = Get16(f + 12),
                   bits = Get16(f + 14);
    const uint32_t rate = Get32(f + 4), byteRate = Get32(f + 8);
    if (tag != 1)
        return Tr("WAVFile", "format tag %1, not PCM (1)").Arg(tag);
    if (channels != 1 && channels != 2)
        return Tr("WAVFile", "%1 channels (1 or 2 expected)").Arg(channels);
    if (bits != 8 && bits != 16)
        return Tr("WAVFile", "%1 bits per sample (8 or 16 expected)").Arg(bits);
    if (rate < MinWaveRate || rate > MaxWaveRate)
        return Tr("WAVFile", "sample rate %1 Hz (%2 to %3 expected)")
            .Arg(rate, MinWaveRate, MaxWaveRate);
    // A wrong block align or byte rate makes readers skip or repeat samples.
    const uint32_t block = channels * bits / 8u;
    if (align != block)
        return Tr("WAVFile", "block align %1, not %2 (channels * bits / 8)").Arg(align, block);
    if (byteRate != rate * block)
        return Tr("WAVFile", "byte rate %1, not %2 (sample rate * block align)")
            .Arg(byteRate, rate * block);
    return "";
}

} // namespace

std::string WaveHeaderProblem(TStream& stream) {
    const uint64_t size = static_cast<uint64_t>(stream.Size());
    const std::string cutShort = Tr("WAVFile", "the header is cut short");
    uint8_t head[12];
    stream.SetPosition(0);
    if (ReadUpTo(stream, head, sizeof head) < sizeof head)
        return cutShort;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return Tr("WAVFile", "no RIFF WAVE header");
    bool haveFormat = false;
    // Every chunk moves this on by at least 8 bytes, so the walk ends.
    for (uint64_t at = sizeof head;;) {
        uint8_t chunk[8];
        if (at + sizeof chunk > size)
            return cutShort;
        stream.SetPosition(static_cast<int64_t>(at));
        if (ReadUpTo(stream, chunk, sizeof chunk) < sizeof chunk)
            return cutShort;
        const uint64_t length = Get32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return Tr("WAVFile", "no fmt chunk before the data chunk");
            if (at + 8 + length > size)
                return Tr("WAVFile", "the data chunk runs past the end of the file (%1 bytes "
                                     "announced, %2 there)")
                    .Arg(length, size - at - 8);
            return "";
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            if (length != 16 && length != 18)
                return Tr("WAVFile", "fmt chunk of %1 bytes (16 or 18 expected)").Arg(length);
            uint8_t format[16];
            if (ReadUpTo(stream, format, sizeof format) < sizeof format)
                return cutShort;
            if (std::string problem = FormatProblem(format); !problem.empty())
                return problem;
            haveFormat = true;
        }
        // Chunks are padded to an even length.
        at += 8 + length + (length & 1);
    }
}

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
