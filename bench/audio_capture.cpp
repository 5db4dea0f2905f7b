// Capture throughput and CPU cost of the recorder: records SECONDS of
// 44100 Hz 16-bit stereo from ALSA's default capture PCM into a WAV file and
// prints wall time, CPU time, the real-time factor and CPU seconds per audio
// minute. Meant for the file-plugin configuration, which delivers as fast as
// it is read; audio_capture.sh runs it beside arecord.
#include "audio/Audio.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS OUT.wav\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const double seconds = std::atof(argv[1]);
    const uint64_t target = static_cast<uint64_t>(seconds * 176400);
    TAudio audio;
    TRecorder* r = audio.Recorder();
    r->SetChannels(TChannels::Stereo);
    r->SetBitsPerSample(TBPS::_16);
    r->SetSampleRate(44100);
    std::atomic<uint64_t> bytes{0};
    audio.OnRecord = [&](TRecorder*, uint8_t*, uint8_t*, uint16_t size) { bytes += size; };
    r->RecordToFile(argv[2]);
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    if (!r->Start()) {
        std::fprintf(stderr, "%s\n", audio.ErrorMessage().c_str());
        return 1;
    }
    // The GUI thread's part: an event loop that sleeps until the driver
    // thread posts a re-queue request.
    while (bytes < target)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    r->Stop();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    const double audioSeconds = static_cast<double>(bytes.load()) / 176400;
    std::printf("%-12s %9.2f %9.3f %9.3f %10.1f %12.4f\n", "quillet", audioSeconds, wall, cpu,
                audioSeconds / wall, cpu / (audioSeconds / 60));
    return 0;
}
