// Encoder run; see Encoder.h.
#include "workflow/Encoder.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "net/NetAntiFreeze.h"
#include "platform/Process.h"
#include "platform/Program.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

int64_t FileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

// One wait slice: the anti-freeze's chance (which may raise a cancel), or
// a plain sleep when nothing services a window.
void WaitSlice() {
    constexpr useconds_t SliceUs = 10000;
    ::usleep(SliceUs);
    TNetAntiFreezeBase::DoProcess(true);
}

} // namespace

void RunEncoder(const TEncoderJob& job,
                const std::function<void(int64_t done, int64_t total)>& onProgress) {
    DeleteFile(job.OutputFile);
    const int64_t total = FileSize(job.InputFile);
    TChildProcess encoder;
    if (!encoder.Start(job.CommandLine, job.WorkDir))
        throw EEncoderError(Tr("Encoder", "the encoder (lame) could not be started."));
    int64_t shown = -1;
    try {
        while (!encoder.Poll()) {
            WaitSlice();
            long long pos = encoder.FilePosition(job.InputFile);
            if (onProgress && pos > shown && total > 0) {
                shown = pos;
                onProgress(std::min<int64_t>(pos, total), total);
            }
        }
    } catch (...) {
        // Cancelled (or the window's handler failed): the encoder must not
        // go on writing behind the user's back.
        encoder.Terminate();
        DeleteFile(job.OutputFile);
        throw;
    }
    if (encoder.ExitCode() != 0)
        throw EEncoderError(
            Tr("Encoder", "the encoder (lame) failed with exit code %1.").Arg(encoder.ExitCode()));
    if (!FileExists(job.OutputFile))
        throw EEncoderError(
            Tr("Encoder", "the encoder (lame) left no file %1.").Arg(job.OutputFile));
    if (onProgress && total > 0)
        onProgress(total, total);
}
