// TNoiseReducer: steady background noise (fans, hum, hiss) taken out of
// speech with speexdsp's preprocessor, one state per channel, in frames of
// 20 ms. Its gain control, voice detection and dereverberation stay off:
// levelling is TVoiceProcessor's. A partial last frame is padded with
// silence, so the output has exactly the frames given. Memory is fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SpeexPreprocessState_;

class TNoiseReducer {
public:
    TNoiseReducer(int channels, uint32_t rate);
    ~TNoiseReducer();
    TNoiseReducer(const TNoiseReducer&) = delete;
    TNoiseReducer& operator=(const TNoiseReducer&) = delete;

    // Frames per preprocessor run; blocks that are whole multiples of it
    // keep successive calls seamless.
    size_t FrameSize() const { return Frame; }
    // Cleans interleaved frames in place.
    void Process(float* frames, size_t count);

private:
    const int Channels;
    const size_t Frame;
    std::vector<SpeexPreprocessState_*> States;
    std::vector<int16_t> Buffer;
};
