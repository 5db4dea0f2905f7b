// TVoiceProcessor: makes the copy of a take that the encoder compresses,
// leaving the take itself untouched. Optionally takes out background noise
// (TNoiseReducer); optionally levels the voice to -16 LUFS integrated
// loudness (EBU R128, measured with libebur128) with the true peak held
// below -1 dBTP (TPeakLimiter) and trims silence of more than 0.5 s at
// either end to 0.25 s (TSpeechSpan), the silence judged against the
// take's own speech level. Two streaming passes (measure, then render)
// over blocks of the file: memory stays fixed whatever the take's length.
// The copy is 16-bit PCM at the take's rate and channels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct TVoiceOptions {
    bool Level = true; // loudness, true peak and silence trimming
    bool Denoise = false;
    double TargetLufs = -16;
    // Below the -1 dBTP promised, so the encoder's own overshoot stays under
    // it: a low-rate MP3 of a noisy 8-bit take was seen 1.6 dB over its input.
    double CeilingDbtp = -3.5;
    double MaxGainDb = 30; // a take that is nearly silent is not blown up to noise
    double TrimOverSeconds = 0.5, TrimKeepSeconds = 0.25;
};

// What the processing found and did.
struct TVoiceReport {
    double LoudnessLufs = 0; // of the take (after noise reduction); -inf: no speech found
    double GainDb = 0;
    int64_t Frames = 0;                   // of the take
    int64_t FirstFrame = 0, EndFrame = 0; // the part kept
};

// progress(done, total) after every block (total: four passes' frames); it may raise to cancel,
// which removes the copy and passes the exception on.
TVoiceReport ProcessVoice(const std::string& input, const std::string& output,
                          const TVoiceOptions& options,
                          const std::function<void(int64_t done, int64_t total)>& progress);
