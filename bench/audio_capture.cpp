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
    // 44100-byte buffers, four to a second: whole seconds fill whole buffers,
    // so the file ends exactly where arecord's does; one read and one write
    // each, fewer than arecord's period-sized transfers.
    r->SetNoSamples(11025);
    std::atomic<uint64_t> bytes{0};
    // Driver thread, after the buffer was appended and under the recorder's
    // append lock: pausing here drops every later buffer, so the file holds
    // exactly the target (the file plugin outruns the GUI thread's Stop).
    // The recorder posts nothing per buffer; this one wake ends the loop.
    audio.OnRecord = [&](TRecorder* rec, uint8_t*, uint8_t*, uint16_t size) {
        if ((bytes += size) >= target && !rec->Paused()) {
            rec->Pause();
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        }
    };
    r->RecordToFile(argv[2]);
    if (!r->Start()) {
        std::fprintf(stderr, "%s\n", audio.ErrorMessage().c_str());
        return 1;
    }
    if (bytes < target)
        app.exec();
    r->Stop();
    return 0;
}
