// Speech fixtures for the voice processing tests, made with espeak-ng and
// sox, and loudness measured by ffmpeg's ebur128 filter: an outside
// measurement, not the code under test.
#pragma once

#include <string>

// Speaks text into a mono WAV file at rate and bits, then applies sox's
// effects (e.g. "gain -12", "pad 3 3"). False when a tool failed.
bool MakeSpeech(const std::string& path, const std::string& text, int rate, int bits,
                const std::string& effects = "");

struct TLoudness {
    double Integrated = 0; // LUFS
    double TruePeak = 0;   // dBTP
    bool Valid = false;
};
// ffmpeg's EBU R128 summary of a sound file (WAV or MP3).
TLoudness MeasureLoudness(const std::string& path);

// Runs a shell command line; its exit status (-1 when it could not run).
int RunShell(const std::string& commandLine);
