// See audio_Speech.h.
#include "tests/support/audio_Speech.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

int RunShell(const std::string& commandLine) {
    const int status = std::system(commandLine.c_str());
    return status == -1 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
}

bool MakeSpeech(const std::string& path, const std::string& text, int rate, int bits,
                const std::string& effects) {
    const std::string raw = path + ".espeak.wav";
    // -R: sox dithers with a fixed seed, so every run gets the same take.
    const bool ok = RunShell("espeak-ng -s 150 -w '" + raw + "' '" + text + "'") == 0 &&
                    RunShell("sox -q -V1 -R '" + raw + "' -r " + std::to_string(rate) + " -b " +
                             std::to_string(bits) + " -c 1 '" + path + "' " + effects) == 0;
    std::remove(raw.c_str());
    return ok;
}

TLoudness MeasureLoudness(const std::string& path) {
    TLoudness result;
    const std::string command =
        "ffmpeg -nostats -hide_banner -i '" + path + "' -af ebur128=peak=true -f null - 2>&1";
    FILE* out = popen(command.c_str(), "r");
    if (!out)
        return result;
    // The summary comes last: "I: -16.0 LUFS" and, under "True peak:", "Peak: -1.3 dBFS".
    char line[512];
    bool integrated = false, peak = false;
    while (std::fgets(line, sizeof line, out)) {
        double v;
        if (std::sscanf(line, " I: %lf LUFS", &v) == 1) {
            result.Integrated = v;
            integrated = true;
        } else if (std::sscanf(line, " Peak: %lf dBFS", &v) == 1) {
            result.TruePeak = v;
            peak = true;
        }
    }
    result.Valid = pclose(out) == 0 && integrated && peak;
    return result;
}
