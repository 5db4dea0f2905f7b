// The external encoder run: "lame.exe Quillet.wav Quillet.mp3" in the
// program's directory, waited for in short slices that give the
// anti-freeze its chance (so the window stays serviced and Cancel can end
// the run), with the share of the WAV file it has read as progress.
#pragma once

#include "base/Exception.h"

#include <cstdint>
#include <functional>
#include <string>

class EEncoderError : public Exception {
public:
    explicit EEncoderError(const std::string& reason)
        : Exception("Could not compress the recording: " + reason) {}
};

struct TEncoderJob {
    std::string CommandLine = "lame.exe Quillet.wav Quillet.mp3";
    std::string WorkDir;    // where the relative names resolve
    std::string InputFile;  // the WAV it reads, for progress
    std::string OutputFile; // the MP3 it must leave
};

// Runs job to its end. Deletes OutputFile first, so a failed run never
// leaves an older recording under this one's name. Raises EEncoderError
// when the encoder cannot start, fails or leaves no file; a cancel raised
// by the anti-freeze terminates the encoder and passes on. onProgress
// gets (bytes read, input size). GUI thread.
void RunEncoder(const TEncoderJob& job,
                const std::function<void(int64_t done, int64_t total)>& onProgress);
