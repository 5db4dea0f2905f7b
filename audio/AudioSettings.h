// TAudioSettings: the format settings the recorder and player share (sample
// rate, sample width, channels), the wave format record built from them and
// the ring of four buffer slots. Setting a property rebuilds the slots; with
// the owner's SeparateCtrls clear, the player and the recorder follow each
// other. Opening devices is left to TRecorder and TPlayer.
#pragma once

#include "audio/WaveDevice.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TAudio;

enum class TChannels : uint8_t { Mono = 0, Stereo = 1 };
enum class TBPS : uint8_t { _8 = 0, _16 = 1 };

class TAudioSettings {
public:
    explicit TAudioSettings(TAudio* owner);
    virtual ~TAudioSettings();
    TAudioSettings(const TAudioSettings&) = delete;
    TAudioSettings& operator=(const TAudioSettings&) = delete;

    TBPS BitsPerSample() const { return BitsValue; }
    TChannels Channels() const { return ChannelsValue; }
    uint16_t SampleRate() const { return SampleRateValue; }
    void SetBitsPerSample(TBPS value);
    void SetChannels(TChannels value);
    void SetSampleRate(uint16_t value);

    // Builds the wave format record and the four slots; false with the
    // reason in the owner's ErrorMessage.
    bool AllocateBuffers();
    void FreeBuffers();

    // Read access for the owner and tests.
    const TWaveFormat* WaveFormat() const { return Format.get(); }
    uint16_t BufferSize() const { return BufferSizeValue; }
    const TWaveHeader* Header(int slot) const { return Headers[slot].get(); }
    uint16_t SampleFrames() const { return NoSamplesValue; }
    bool IsOpen() const { return Open; }
    bool IsActive() const { return Active; }
    TAudio* Owner() const { return OwnerObj; }

    // Change this object only, rebuilding its buffers when the value differs.
    void ApplyBitsPerSample(TBPS value);
    void ApplyChannels(TChannels value);
    void ApplySampleRate(uint16_t value);
    void ApplyNoSamples(uint16_t value);

protected:
    void Rebuild();
    void SetError(const std::string& text);
    // Message + " " + the platform's text, or the message alone when the
    // platform has no text.
    void SetDeviceError(const std::string& message, const std::string& platformText);
    // Header i points at data buffer i with the full length, all else zero.
    void InitHeaders();
    TWaveDeviceService& Service() const;

    TAudio* OwnerObj;
    std::unique_ptr<TWaveHeader> Headers[4];
    std::unique_ptr<uint8_t[]> DataBuffers[4];
    std::unique_ptr<uint8_t[]> SplitBuffers[4];
    // Touched by the driver thread (completion side) and the GUI thread.
    std::atomic<uint32_t> QueueIndex{0};
    std::atomic<uint32_t> CompletionIndex{0};
    std::atomic<int32_t> QueuedCount{0};
    bool Open = false;
    TChannels ChannelsValue = TChannels::Mono;
    TBPS BitsValue = TBPS::_8;
    uint16_t SampleRateValue = 11025;
    uint16_t NoSamplesValue = 8192;
    std::unique_ptr<TWaveFormat> Format;
    uint16_t BufferSizeValue = 0;
    // Written from the device's notification routine.
    std::atomic<bool> Active{false};

    friend class TAudio;
};
