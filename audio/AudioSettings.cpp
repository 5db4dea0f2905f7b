// Format settings, the wave format record and the four buffer slots; see
// AudioSettings.h. The setters run on the GUI thread and take no lock: a
// format change is made only while both devices are closed.
#include "audio/AudioSettings.h"

#include "audio/Audio.h"
#include "base/Translate.h"

#include <new>

TAudioSettings::TAudioSettings(TAudio* owner) : OwnerObj(owner) {}

TAudioSettings::~TAudioSettings() {
    FreeBuffers();
}

TWaveDeviceService& TAudioSettings::Service() const {
    return OwnerObj->Service();
}

void TAudioSettings::SetError(const std::string& text) {
    OwnerObj->ErrorText = text;
}

void TAudioSettings::SetDeviceError(const std::string& message, const std::string& platformText) {
    if (platformText.empty())
        SetError(message);
    else
        SetError(message + " " + platformText);
}

bool TAudioSettings::AllocateBuffers() {
    Format.reset(new (std::nothrow) TWaveFormat);
    if (!Format) {
        SetError(Tr("Audio", "Not enough memory to allocate WaveFormat"));
        return false;
    }
    const uint16_t channels = ChannelsValue == TChannels::Stereo ? 2 : 1;
    const uint16_t bits = BitsValue == TBPS::_16 ? 16 : 8;
    Format->FormatTag = 1;
    Format->Channels = channels;
    Format->SamplesPerSec = SampleRateValue;
    Format->BlockAlign = static_cast<uint16_t>(bits == 16 ? channels * 2 : channels);
    Format->AvgBytesPerSec = Format->SamplesPerSec * Format->BlockAlign;
    Format->BitsPerSample = bits;
    Format->Size = 0;
    // Stored in 16 bits on purpose: callers keep the product below 65536.
    BufferSizeValue = static_cast<uint16_t>(NoSamplesValue * Format->BlockAlign);
    for (int i = 0; i < 4; ++i) {
        Headers[i].reset(new (std::nothrow) TWaveHeader);
        if (!Headers[i]) {
            SetError(Tr("Audio", "Not enough memory to allocate WaveHeader"));
            return false;
        }
        // Zeroed, so no stale memory can ever reach a recording file.
        DataBuffers[i].reset(new (std::nothrow) uint8_t[BufferSizeValue]());
        SplitBuffers[i].reset(new (std::nothrow) uint8_t[BufferSizeValue / 2]());
        if (!DataBuffers[i] || !SplitBuffers[i]) {
            SetError(Tr("Audio", "Not enough memory to allocate Wave Buffer"));
            return false;
        }
        Headers[i]->Data = DataBuffers[i].get();
    }
    return true;
}

void TAudioSettings::FreeBuffers() {
    if (!Format)
        return;
    Format.reset();
    for (int i = 0; i < 4; ++i) {
        DataBuffers[i].reset();
        SplitBuffers[i].reset();
        Headers[i].reset();
    }
}

void TAudioSettings::InitHeaders() {
    for (int i = 0; i < 4; ++i) {
        *Headers[i] = TWaveHeader{};
        Headers[i]->Data = DataBuffers[i].get();
        Headers[i]->BufferLength = BufferSizeValue;
    }
}

void TAudioSettings::Rebuild() {
    FreeBuffers();
    AllocateBuffers();
}

void TAudioSettings::ApplyBitsPerSample(TBPS value) {
    if (BitsValue == value)
        return;
    BitsValue = value;
    Rebuild();
}

void TAudioSettings::ApplyChannels(TChannels value) {
    if (ChannelsValue == value)
        return;
    ChannelsValue = value;
    Rebuild();
}

void TAudioSettings::ApplySampleRate(uint16_t value) {
    if (SampleRateValue == value)
        return;
    SampleRateValue = value;
    Rebuild();
}

void TAudioSettings::ApplyNoSamples(uint16_t value) {
    if (NoSamplesValue == value)
        return;
    NoSamplesValue = value;
    Rebuild();
}

void TAudioSettings::SetBitsPerSample(TBPS value) {
    if (OwnerObj->SeparateCtrls) {
        ApplyBitsPerSample(value);
        return;
    }
    OwnerObj->Player()->ApplyBitsPerSample(value);
    OwnerObj->Recorder()->ApplyBitsPerSample(value);
}

void TAudioSettings::SetSampleRate(uint16_t value) {
    if (OwnerObj->SeparateCtrls) {
        ApplySampleRate(value);
        return;
    }
    OwnerObj->Player()->ApplySampleRate(value);
    OwnerObj->Recorder()->ApplySampleRate(value);
}

void TAudioSettings::SetChannels(TChannels value) {
    if (OwnerObj->SeparateCtrls) {
        ApplyChannels(value);
    } else {
        OwnerObj->Player()->ApplyChannels(value);
        OwnerObj->Recorder()->ApplyChannels(value);
    }
    // Re-applying the flag clears it unless the recorder is now Stereo.
    TRecorder* recorder = OwnerObj->Recorder();
    recorder->SetSplitChannels(recorder->SplitChannels());
}
