// Processing and encoding; see Compression.h.
#include "workflow/Compression.h"

#include "net/NetAntiFreeze.h"
#include "platform/Program.h"
#include "workflow/Encoder.h"
#include "workflow/SendCancel.h"

#include <sstream>

namespace {

// Progress units per stage: each reports its own share of this.
constexpr int64_t StageUnits = 1000000;

std::string WithInput(const std::string& commandLine, const std::string& from,
                      const std::string& to) {
    std::istringstream words(commandLine);
    std::string word, out;
    while (words >> word)
        out += (out.empty() ? "" : " ") + (word == from ? to : word);
    return out;
}

} // namespace

std::string ProcessedFileOf(const std::string& recording) {
    const std::string name = ExtractFileName(recording);
    const size_t dot = name.rfind('.');
    return ExtractFilePath(recording) + name.substr(0, dot) + "-voice.wav";
}

void CompressRecording(const TCompressionJob& job,
                       const std::function<void(int64_t done, int64_t total)>& onProgress) {
    TEncoderJob encoder;
    encoder.CommandLine = job.CommandLine;
    encoder.WorkDir = ExtractFilePath(job.RecordingFile);
    encoder.InputFile = job.RecordingFile;
    encoder.OutputFile = job.EncodedFile;
    if (!job.Voice.Level && !job.Voice.Denoise) {
        RunEncoder(encoder, onProgress);
        return;
    }
    const std::string processed = ProcessedFileOf(job.RecordingFile);
    auto share = [&onProgress](int stage, int64_t done, int64_t total) {
        if (onProgress && total > 0)
            onProgress(stage * StageUnits + done * StageUnits / total, 2 * StageUnits);
    };
    try {
        try {
            ProcessVoice(job.RecordingFile, processed, job.Voice,
                         [&share](int64_t done, int64_t total) {
                             share(0, done, total);
                             // The window's chance, and Cancel's.
                             TNetAntiFreezeBase::DoProcess(false);
                         });
        } catch (const ESendCancelled&) {
            throw;
        } catch (const Exception& e) {
            throw EEncoderError(e.Message);
        }
        encoder.CommandLine = WithInput(job.CommandLine, ExtractFileName(job.RecordingFile),
                                        ExtractFileName(processed));
        encoder.InputFile = processed;
        RunEncoder(encoder, [&share](int64_t done, int64_t total) { share(1, done, total); });
    } catch (...) {
        DeleteFile(processed);
        throw;
    }
    DeleteFile(processed);
}
