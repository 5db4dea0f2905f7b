// Copying the WAV file and recording a take; see Capture.h.
#include "cli/Capture.h"

#include "audio/Audio.h"
#include "audio/WAVFile.h"
#include "base/Text.h"

#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

void CopyWavFile(const std::string& source, const std::string& target) {
    std::ifstream in(source, std::ios::binary);
    if (!in)
        throw ERecordingError("Cannot read the recording " + source + ": " +
                              SystemErrorText(errno));
    char head[12] = {};
    in.read(head, sizeof head);
    if (in.gcount() != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        throw ERecordingError("The recording " + source + " is not a WAV file");
    std::error_code error;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error)
        throw ERecordingError("Cannot copy the recording " + source + ": " + error.message());
}

bool TCapture::Record(const std::string& target, double seconds, const TRecordingSettings& format) {
    TAudio audio;
    TRecorder& recorder = *audio.Recorder();
    recorder.SetSampleRate(format.SampleRate);
    recorder.SetBitsPerSample(format.SixteenBit ? TBPS::_16 : TBPS::_8);
    recorder.SetTrigLevel(0);
    recorder.SetTriggered(false);
    try {
        recorder.RecordToFile(target);
    } catch (const Exception& e) {
        throw ERecordingError(e.Message);
    }
    if (!recorder.Start())
        throw ERecordingError("Cannot record: " + audio.ErrorMessage());
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::lround(seconds * 1000)), &loop, &QEventLoop::quit);
    Loop = &loop;
    if (!Aborted)
        loop.exec();
    Loop = nullptr;
    recorder.Stop();
    TWAVFile wav;
    if (!wav.LoadFromFile(target) || !wav.Valid)
        throw ERecordingError("Cannot record: " + (audio.ErrorMessage().empty()
                                                       ? "no sound was captured"
                                                       : audio.ErrorMessage()));
    return !Aborted;
}

void TCapture::Abort() {
    Aborted = true;
    if (Loop)
        Loop->quit();
}
