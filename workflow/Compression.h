// The "Compressing, please wait..." stage: the voice processing (when the
// settings ask for it) into a copy beside the recording, then the encoder
// run on that copy, with one progress for both (processing the first half,
// the encoder the second) and Cancel honoured in either. The recording
// itself is never written. GUI thread.
#pragma once

#include "audio/VoiceProcessor.h"

#include <cstdint>
#include <functional>
#include <string>

struct TCompressionJob {
    std::string RecordingFile; // the take, read only
    std::string EncodedFile;   // the MP3 the encoder must leave
    // Its relative names resolve in the recording's directory; the word
    // naming the recording is pointed at the processed copy.
    std::string CommandLine;
    TVoiceOptions Voice;
};

// The processed copy of recording: "<name>-voice.wav" beside it.
std::string ProcessedFileOf(const std::string& recording);

// Raises EEncoderError when the take cannot be processed or encoded, and
// passes a cancel on; the processed copy is removed in every case.
void CompressRecording(const TCompressionJob& job,
                       const std::function<void(int64_t done, int64_t total)>& onProgress);
