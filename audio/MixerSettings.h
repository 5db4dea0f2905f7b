// TMixerSettings: a read-only view of one mixer device as a list of
// TMixDetails nodes (the device, then each destination line followed by its
// source lines) with the identifiers and current values of their volume,
// mute and peak-meter controls. Control changes made elsewhere arrive on the
// mixer's thread and are posted to the GUI thread, where they raise the
// owner's OnMixerChange. Nothing is ever set on the device.
//
// On ALSA (AlsaWaveDevice.h) mixer device n is the n-th sound card; it has
// two destinations: 0 "Playback" (speakers) whose own controls are the
// "Master" element's, with one source line per other element that has a
// playback volume or switch; and 1 "Capture" (wave input) whose own controls
// are the "Capture" element's, with one source line per other element that
// has a capture volume or switch. A switch maps to the mute control (muted
// when the switch is off); volumes are scaled to 0..65535.
#pragma once

#include "audio/WaveDevice.h"
#include "platform/EventQueue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAudio;

struct TMixDetails {
    uint16_t Destination = 0xFFFF;
    uint16_t Source = 0xFFFF;
    std::string Name;
    uint32_t VolumeControl = 0xFFFF;
    uint32_t MuteControl = 0xFFFF;
    uint32_t MeterControl = 0xFFFF;
    uint16_t LeftVolume = 0;
    uint16_t RightVolume = 0;
    uint16_t MeterChannels = 0;
    uint16_t Kind = 0;
    bool Muted = false;
    bool UniformVolume = false;
    bool Speakers = false;
    bool HasControls = false;
    std::unique_ptr<TMixDetails> Next;
};

class TMixerSettings {
public:
    explicit TMixerSettings(TAudio* owner);
    ~TMixerSettings();
    TMixerSettings(const TMixerSettings&) = delete;
    TMixerSettings& operator=(const TMixerSettings&) = delete;

    // Opens and lists a mixer device; a device opened before is closed and
    // its list released first. Failures are silent (false).
    bool MixerOpen(uint32_t device);
    // Closes the device and releases the list.
    void Close();

    const TMixDetails* List() const { return Head.get(); }
    bool Available() const { return AvailableFlag; }
    void SetAvailable(bool value) { AvailableFlag = value; }

private:
    TMixDetails* AddLine(TMixDetails* last, const TMixerLine& line, bool speakers);
    void AddControls(TMixDetails* node, const TMixerLine& line);
    // Mixer thread.
    static void MixerProc(uintptr_t instance, TMixerHandle mixer, uint32_t controlID);
    // GUI thread.
    void ControlChanged(TMixerHandle mixer, uint32_t controlID);

    TAudio* Owner;
    TMixerHandle Mixer = 0;
    bool DeviceOpen = false;
    std::unique_ptr<TMixDetails> Head;
    bool AvailableFlag = false;
    std::unique_ptr<TRequestQueue> Window;
    std::unique_ptr<std::vector<std::string>> Names;
};
