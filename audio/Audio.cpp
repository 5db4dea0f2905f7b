// The audio component's construction and destruction order; see Audio.h.
#include "audio/Audio.h"

namespace {
const char* const FixedVersion = "4.1 (32bit)";
}

TAudio::TAudio(TWaveDeviceService* service)
    : ServiceObj(service ? service : &AlsaWaveService()), VersionText(FixedVersion) {
    RecorderObj = std::make_unique<TRecorder>(this);
    PlayerObj = std::make_unique<TPlayer>(this);
    Window = std::make_unique<TRequestQueue>();
    WaveFormatSize = sizeof(TWaveFormat);
    MixerObj = std::make_unique<TMixerSettings>(this);
    MixerID = 0;
    if (MixerObj->MixerOpen(0))
        MixerObj->SetAvailable(true);
    ErrorText.clear();
    if (ServiceObj->InGetNumDevs() > 0 && RecorderObj->AllocateBuffers() &&
        ServiceObj->OutGetNumDevs() > 0)
        PlayerObj->AllocateBuffers();
}

TAudio::~TAudio() {
    Shutdown();
}

void TAudio::Shutdown() {
    if (ShutDown)
        return;
    ShutDown = true;
    PlayerObj->Stop();
    RecorderObj->Stop();
    MixerObj.reset();
    if (RecorderObj->Saving())
        RecorderObj->FinishFile();
    RecorderObj->FreeBuffers();
    RecorderObj.reset();
    PlayerObj->FreeBuffers();
    PlayerObj.reset();
    Window.reset();
}

void TAudio::SetAudioDeviceID(int32_t value) {
    if (value == DeviceID)
        return;
    DeviceID = value <= 9 ? value : -1;
    RecorderObj->FreeBuffers();
    RecorderObj->AllocateBuffers();
    PlayerObj->FreeBuffers();
    PlayerObj->AllocateBuffers();
}

void TAudio::SetMixerDeviceID(int32_t value) {
    if (value == MixerID)
        return;
    MixerID = value;
    if (MixerObj->MixerOpen(static_cast<uint32_t>(value)))
        MixerObj->SetAvailable(true);
}

void TAudio::SetVersion(const std::string&) {
    VersionText = FixedVersion;
}
