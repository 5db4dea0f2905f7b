// Voice processing benchmark: a take of MINUTES (default 60) at 11025 Hz,
// 8-bit mono (the default format; a tone with pauses) is processed with
// levelling and, with "denoise", noise reduction. Prints the time and the
// peak resident memory after a one-minute take and after the long one: the
// same figure for both shows the processing streams in fixed memory.
// Usage: voice_processing_bench [MINUTES] [denoise]
#include "audio/VoiceProcessor.h"
#include "audio/WaveSource.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void MakeTake(const std::string& path, int minutes) {
    std::vector<float> minute(11025 * 60);
    for (size_t i = 0; i < minute.size(); ++i)
        minute[i] = (i / 11025) % 4 == 3 ? 0.0f : 0.05f * static_cast<float>(std::sin(i * 0.2));
    TWaveSink sink(path, 1, 11025);
    for (int m = 0; m < minutes; ++m)
        sink.Write(minute.data(), minute.size());
    sink.Finish();
}

double Process(const std::string& take, const std::string& copy, bool denoise) {
    TVoiceOptions o;
    o.Denoise = denoise;
    const auto start = std::chrono::steady_clock::now();
    ProcessVoice(take, copy, o, nullptr);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 60;
    const bool denoise = argc > 2 && std::string(argv[2]) == "denoise";
    char dir[] = "/tmp/quillet_voice_bench_XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string shortTake = std::string(dir) + "/short.wav",
                      longTake = std::string(dir) + "/long.wav",
                      copy = std::string(dir) + "/copy.wav";
    MakeTake(shortTake, 1);
    MakeTake(longTake, minutes);
    const long base = PeakRssKb();
    const double t1 = Process(shortTake, copy, denoise);
    const long afterShort = PeakRssKb();
    const double tn = Process(longTake, copy, denoise);
    const long afterLong = PeakRssKb();
    std::printf("noise reduction %s\n", denoise ? "on" : "off");
    std::printf("peak RSS before processing   %8ld KB\n", base);
    std::printf("after a 1-minute take        %8ld KB  (%.2f s)\n", afterShort, t1);
    std::printf("after a %d-minute take       %8ld KB  (%.2f s)\n", minutes, afterLong, tn);
    for (const std::string& f : {shortTake, longTake, copy})
        unlink(f.c_str());
    rmdir(dir);
    return 0;
}
