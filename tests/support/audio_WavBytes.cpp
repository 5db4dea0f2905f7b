// See audio_WavBytes.h.
#include "tests/support/audio_WavBytes.h"

#include <cstdint>

std::string WavBytes(int seconds, int rate) {
    std::string pcm;
    for (int i = 0; i < seconds * rate; ++i) {
        int16_t s = (i / 20) % 2 ? 3000 : -3000;
        pcm.append(reinterpret_cast<const char*>(&s), 2);
    }
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    return "RIFF" + u32(36 + pcm.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(rate) +
           u32(rate * 2) + u16(2) + u16(16) + "data" + u32(pcm.size()) + pcm;
}
