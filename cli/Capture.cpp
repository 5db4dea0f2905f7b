// Copying the WAV file and recording a take; see Capture.h.
#include "cli/Capture.h"

#include "audio/Audio.h"
#include "audio/WAVFile.h"
#include "base/Text.h"
#include "base/Translate.h"

#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>

void CopyWavFile(const std::string& source, const std::string& target) {
    if (!std::ifstream(source, std::ios::binary))
        throw ERecordingError(Tr("quillet-send", "Cannot read the recording %1: %2")
                                  .Arg(source, SystemErrorText(errno)));
    std::error_code error;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error)
        throw ERecordingError(
            Tr("quillet-send", "Cannot copy the recording %1: %2").Arg(source, error.message()));
    // The copy is checked, not the user's file: it is what the encoder
    // reads, and nobody else changes it in between.
    std::string problem;
    try {
        TFileStream copy(target, TFileStream::Mode::OpenRead);
        problem = WaveHeaderProblem(copy);
    } catch (const Exception& e) {
        problem = e.Message;
    }
    if (!problem.empty())
        throw ERecordingError(
            Tr("quillet-send", "'%1' is not a usable WAV file: %2").Arg(source, problem));
}

bool CaptureDevicePresent(const std::string& device) {
    return AlsaWaveService().InDevicePresent(device);
}

bool TCapture::Record(const std::string& target, double seconds, const TRecordingSettings& format) {
    std::string writeError; // outlives the component that reports it
    TAudio audio;
    TRecorder& recorder = *audio.Recorder();
    recorder.SetSampleRate(format.SampleRate);
    recorder.SetBitsPerSample(format.SixteenBit ? TBPS::_16 : TBPS::_8);
    recorder.SetTrigLevel(0);
    recorder.SetTriggered(false);
    audio.SetInputDevice(format.Device.empty() ? "default" : format.Device);
    // A failed write (a full disk, the file size limit) stops the take; the
    // part that was written is no recording of the length asked for.
    audio.OnRecordError = [this, &writeError](const std::string& message) {
        writeError = message;
        if (Loop)
            Loop->quit();
    };
    try {
        recorder.RecordToFile(target);
    } catch (const Exception& e) {
        throw ERecordingError(e.Message);
    }
    if (!recorder.Start())
        throw ERecordingError(Tr("quillet-send", "Cannot record from the input device \"%1\": %2")
                                  .Arg(audio.InputDevice(), audio.ErrorMessage()));
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::lround(seconds * 1000)), &loop, &QEventLoop::quit);
    Loop = &loop;
    if (!Aborted)
        loop.exec();
    Loop = nullptr;
    recorder.Stop();
    if (!writeError.empty())
        throw ERecordingError(writeError);
    TWAVFile wav;
    if (!wav.LoadFromFile(target) || !wav.Valid)
        throw ERecordingError(Tr("quillet-send", "Cannot record: %1")
                                  .Arg(audio.ErrorMessage().empty()
                                           ? Tr("quillet-send", "no sound was captured")
                                           : audio.ErrorMessage()));
    return !Aborted;
}

void TCapture::Abort() {
    Aborted = true;
    if (Loop)
        Loop->quit();
}
