// Noise reduction through speexdsp; see NoiseReducer.h.
#include "audio/NoiseReducer.h"

#include <algorithm>
#include <cmath>
#include <speex/speex_preprocess.h>

namespace {
// How far the noise is pulled down, in dB: deep enough that pauses turn
// quiet, not so deep that the voice sounds under water.
constexpr int NoiseSuppressDb = -30;
} // namespace

TNoiseReducer::TNoiseReducer(int channels, uint32_t rate)
    : Channels(channels), Frame(std::max<size_t>(64, rate / 50)), Buffer(Frame) {
    for (int ch = 0; ch < channels; ++ch) {
        SpeexPreprocessState* s =
            speex_preprocess_state_init(static_cast<int>(Frame), static_cast<int>(rate));
        int on = 1, off = 0, depth = NoiseSuppressDb;
        speex_preprocess_ctl(s, SPEEX_PREPROCESS_SET_DENOISE, &on);
        speex_preprocess_ctl(s, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, &depth);
        speex_preprocess_ctl(s, SPEEX_PREPROCESS_SET_AGC, &off);
        speex_preprocess_ctl(s, SPEEX_PREPROCESS_SET_DEREVERB, &off);
        States.push_back(s);
    }
}

TNoiseReducer::~TNoiseReducer() {
    for (SpeexPreprocessState* s : States)
        speex_preprocess_state_destroy(s);
}

void TNoiseReducer::Process(float* frames, size_t count) {
    for (size_t start = 0; start < count; start += Frame) {
        const size_t n = std::min(Frame, count - start);
        for (int ch = 0; ch < Channels; ++ch) {
            for (size_t i = 0; i < Frame; ++i) {
                const float v = i < n ? frames[(start + i) * Channels + ch] : 0.0f;
                Buffer[i] =
                    static_cast<int16_t>(std::clamp(std::lround(v * 32768.0f), -32768L, 32767L));
            }
            speex_preprocess_run(States[static_cast<size_t>(ch)], Buffer.data());
            for (size_t i = 0; i < n; ++i)
                frames[(start + i) * Channels + ch] = Buffer[i] / 32768.0f;
        }
    }
}
