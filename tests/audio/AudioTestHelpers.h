// Helpers shared by the audio tests: the application object that posted
// requests need, event pumping with a deadline, a scratch directory, and
// building and reading WAV bytes.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/WaveDevice.h"
#include "platform/EventQueue.h"

inline void EnsureApp() {
    static int argc = 1;
    static char name[] = "audio_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// Pumps GUI events until done() holds or the time runs out (generous: a
// device thread under sanitizers on a busy machine starts slowly).
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void PumpEvents() {
    for (int i = 0; i < 3; ++i)
        ProcessPendingEvents();
}

// A fresh directory under the system temporary directory, removed at the end.
class TScratchDir {
public:
    TScratchDir() {
        char tmpl[] = "/tmp/quillet_audio_XXXXXX";
        Path = mkdtemp(tmpl);
    }
    ~TScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string File(const std::string& name) const { return Path + "/" + name; }
    std::string Path;
};

// A scratch directory that is the current directory while it lives (the
// player spools into "PLAY.TMP" there).
class TScratchCwd : public TScratchDir {
public:
    TScratchCwd() : Old(std::filesystem::current_path()) { std::filesystem::current_path(Path); }
    ~TScratchCwd() { std::filesystem::current_path(Old); }

private:
    std::filesystem::path Old;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutTag(std::vector<uint8_t>& b, const char* tag) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(tag[i]));
}

// A PCM WAV file; fmtSize 18 adds a zero extra-size field before "data".
inline std::vector<uint8_t> MakeWav(uint16_t channels, uint32_t rate, uint16_t bits,
                                    const std::vector<uint8_t>& data, uint32_t fmtSize = 16) {
    std::vector<uint8_t> b;
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    PutTag(b, "RIFF");
    Put32(b, static_cast<uint32_t>(4 + 8 + fmtSize + 8 + data.size()));
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    Put32(b, fmtSize);
    Put16(b, 1);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    for (uint32_t i = 16; i < fmtSize; ++i)
        b.push_back(0);
    PutTag(b, "data");
    Put32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// count bytes of a repeating 0..250 ramp: each position is recognisable.
inline std::vector<uint8_t> Ramp(size_t count, uint8_t start = 0) {
    std::vector<uint8_t> v(count);
    for (size_t i = 0; i < count; ++i)
        v[i] = static_cast<uint8_t>((start + i) % 251);
    return v;
}

// The PCM wave format record for channels, rate and bits.
inline TWaveFormat Format(uint16_t channels, uint32_t rate, uint16_t bits) {
    TWaveFormat f;
    f.FormatTag = 1;
    f.Channels = channels;
    f.SamplesPerSec = rate;
    f.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.AvgBytesPerSec = rate * f.BlockAlign;
    f.BitsPerSample = bits;
    return f;
}
