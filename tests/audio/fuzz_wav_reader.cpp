// libFuzzer target for the WAV readers: TWAVFile.LoadFromFile/Duration,
// the header check WaveHeaderProblem (the same answer from memory and from
// the file) and the player's header scan in PlayFile (over the device
// double, so the sound data found is also spooled and queued), and the
// voice processing's block reader TWaveSource, on arbitrary files.
#include "audio/Audio.h"
#include "audio/WAVFile.h"
#include "audio/WaveSource.h"

#include "AudioTestHelpers.h"
#include "FakeWaveService.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {
TScratchDir* Dir = nullptr;
TFakeWaveService* Fake = nullptr;
TAudio* Audio = nullptr;
std::string Path;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnsureApp();
    Dir = new TScratchDir;
    // The spool file goes to the current directory.
    if (chdir(Dir->Path.c_str()) != 0)
        return 1;
    Path = Dir->File("input.wav");
    // libFuzzer leaves by exit(): remove the scratch files then.
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(Dir->Path, ec);
    });
    Fake = new TFakeWaveService;
    Audio = new TAudio(Fake);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fake->ClearLog();
    WriteBytes(Path, std::vector<uint8_t>(data, data + size));
    TWAVFile w;
    w.LoadFromFile(Path);
    const double d = w.Duration();
    if (d < 0)
        __builtin_trap();
    TMemoryStream memory;
    memory.Data.assign(data, data + size);
    TFileStream file(Path, TFileStream::Mode::OpenRead);
    if (WaveHeaderProblem(memory) != WaveHeaderProblem(file))
        __builtin_trap();
    if (Audio->Player()->PlayFile(Path)) {
        Fake->CompleteOutput();
        ProcessPendingEvents();
        Audio->Player()->Stop();
    }
    if (Audio->Player()->IsOpen())
        __builtin_trap();
    // The block reader delivers exactly the frames it announces, or refuses.
    try {
        TWaveSource source(Path);
        std::vector<float> block;
        int64_t frames = 0;
        while (size_t n = source.Read(block, 4096))
            frames += static_cast<int64_t>(n);
        if (frames != source.Frames())
            __builtin_trap();
    } catch (const Exception&) {
    }
    return 0;
}
