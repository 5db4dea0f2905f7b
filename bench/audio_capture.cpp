// Capture program for the capture benchmark: records SECONDS of 44100 Hz
// 16-bit stereo from ALSA's default capture PCM into a WAV file through the
// recorder, exactly SECONDS * 176400 data bytes, and exits. It does no timing
// of its own: audio_capture.sh times it as a whole process, like arecord.
#include "audio/Audio.h"

#include <QCoreApplication>
#include <atomic>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS OUT.wav\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const uint64_t target = static_cast<uint64_t>(std::atoi(argv[1])) * 176400;
    TAudio audio;
    TRecorder* r = audio.Recorder();
    r->SetChannels(TChannels::Stereo);
    r->SetBitsPerSample(TBPS::_16);
    r->SetSampleRate(44100);
    r->SetNoSamples(4410); // 17640-byte buffers: ten to a second, none split
    std::atomic<uint64_t> bytes{0};
    // Driver thread, after the buffer was appended and under the recorder's
    // append lock: pausing here drops every later buffer, so the file holds
    // exactly the target (the file plugin outruns the GUI thread's Stop).
    audio.OnRecord = [&](TRecorder* rec, uint8_t*, uint8_t*, uint16_t size) {
        if ((bytes += size) >= target)
            rec->Pause();
    };
    r->RecordToFile(argv[2]);
    if (!r->Start()) {
        std::fprintf(stderr, "%s\n", audio.ErrorMessage().c_str());
        return 1;
    }
    while (bytes < target)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    r->Stop();
    return 0;
}
