// Block reader and 16-bit writer of PCM WAV files; see WaveSource.h.
#include "audio/WaveSource.h"

#include "audio/WAVFile.h"
#include "base/Translate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

uint32_t Le32(const uint8_t* b) {
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}
uint16_t Le16(const uint8_t* b) {
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

} // namespace

TWaveSource::TWaveSource(const std::string& path)
    : File(std::make_unique<TFileStream>(path, TFileStream::Mode::OpenRead)) {
    uint8_t riff[12];
    if (File->Read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        throw EReadError(Tr("WAVFile", "'%1' is no WAV file").Arg(path));
    const int64_t size = File->Size();
    bool haveFormat = false;
    for (;;) {
        uint8_t chunk[8];
        if (File->Read(chunk, 8) != 8)
            throw EReadError(Tr("WAVFile", "'%1' has no sound data").Arg(path));
        const uint32_t length = Le32(chunk + 4);
        const int64_t body = File->Position();
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16) {
            uint8_t f[16];
            File->ReadBuffer(f, 16);
            if (Le16(f) != 1)
                throw EReadError(Tr("WAVFile", "'%1' is no PCM sound").Arg(path));
            ChannelCount = Le16(f + 2);
            SampleRate = Le32(f + 4);
            BitsPerSample = Le16(f + 14);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat || ChannelCount == 0 || SampleRate == 0 ||
                (BitsPerSample != 8 && BitsPerSample != 16))
                throw EReadError(Tr("WAVFile", "'%1' has no usable format").Arg(path));
            DataStart = body;
            // A recording cut short by a crash may claim more than it holds,
            // or nothing at all (its sizes never written): the file tells.
            const int64_t bytes =
                length == 0 ? size - body : std::min<int64_t>(length, size - body);
            FrameCount = bytes / (ChannelCount * (BitsPerSample / 8));
            return;
        }
        File->SetPosition(body + length + (length & 1));
    }
}

size_t TWaveSource::Read(std::vector<float>& out, size_t frames) {
    frames =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(frames), FrameCount - Position));
    const size_t samples = frames * ChannelCount;
    out.resize(samples);
    if (frames == 0)
        return 0;
    const size_t width = BitsPerSample / 8;
    Raw.resize(samples * width);
    File->ReadBuffer(Raw.data(), Raw.size());
    if (width == 1) {
        for (size_t i = 0; i < samples; ++i)
            out[i] = (static_cast<int>(Raw[i]) - 128) / 128.0f;
    } else {
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int16_t>(Le16(&Raw[2 * i])) / 32768.0f;
    }
    Position += static_cast<int64_t>(frames);
    return frames;
}

void TWaveSource::Rewind() {
    SeekFrame(0);
}

void TWaveSource::SeekFrame(int64_t frame) {
    Position = std::clamp<int64_t>(frame, 0, FrameCount);
    File->SetPosition(DataStart + Position * ChannelCount * (BitsPerSample / 8));
}

TWaveSink::TWaveSink(const std::string& path, uint16_t channels, uint32_t rate)
    : File(std::make_unique<TFileStream>(path, TFileStream::Mode::Create)), ChannelCount(channels) {
    // The recorder's 44-byte layout, with the whole 32-bit rate: a WAV file
    // from elsewhere may run above 65535 Hz.
    uint8_t h[44] = {};
    auto put = [&h](int at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            h[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    std::memcpy(h, "RIFF", 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put(16, 16, 4);
    put(20, 1, 2);
    put(22, channels, 2);
    put(24, rate, 4);
    put(28, rate * 2u * channels, 4);
    put(32, 2u * channels, 2);
    put(34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    File->Write(h, sizeof h);
}

void TWaveSink::Write(const float* frames, size_t count) {
    const size_t samples = count * ChannelCount;
    Out.resize(samples);
    for (size_t i = 0; i < samples; ++i)
        Out[i] =
            static_cast<int16_t>(std::clamp(std::lround(frames[i] * 32768.0f), -32768L, 32767L));
    File->Write(Out.data(), samples * 2);
    FrameCount += static_cast<int64_t>(count);
}

void TWaveSink::Finish() {
    CompleteWaveHeader(*File);
    File.reset();
}
