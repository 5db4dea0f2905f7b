// The recording quillet-send sends: a WAV file the user names, copied into
// the working directory so the user's file is never touched, or a take of
// a given length from a capture device through the audio component, in
// the format and from the device of the settings file's [Audio] section.
#pragma once

#include "base/Exception.h"
#include "workflow/SendSettings.h"

#include <cstdint>
#include <string>

class QEventLoop;

// The recording cannot be read or made.
class ERecordingError : public Exception {
public:
    using Exception::Exception;
};

// Copies source to target and checks the copy with WaveHeaderProblem;
// raises ERecordingError when source cannot be read or copied, or with
// "'<source>' is not a usable WAV file: <reason>".
void CopyWavFile(const std::string& source, const std::string& target);

// Whether the named ALSA capture device can be opened now.
bool CaptureDevicePresent(const std::string& device);

// One take from the capture device the settings name. GUI thread, with a
// QCoreApplication.
class TCapture {
public:
    // Records seconds of sound into target (a new WAV file) while the
    // event loop runs; false when Abort ended it early (the file is then
    // complete but shorter). Raises ERecordingError when the device or the
    // file fails, also when a write fails mid-take (the take then stops at
    // once, with the recorder's message).
    bool Record(const std::string& target, double seconds, const TRecordingSettings& format);
    // Ends a running Record early; safe to call at any time.
    void Abort();

private:
    QEventLoop* Loop = nullptr;
    bool Aborted = false;
};
