// TAlsaMixer: one sound card's simple-mixer elements seen as two mixer
// destinations (the mapping is documented in MixerSettings.h), with a
// watcher thread that reports value changes made by other programs.
#pragma once

#include "audio/WaveDevice.h"

#include <alsa/asoundlib.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TAlsaMixer {
public:
    ~TAlsaMixer();

    static uint32_t CardCount();
    static TMMResult Caps(uint32_t device, TMixerCaps& caps);
    static TMMResult Open(uint32_t device, TMixerHandle handle, TMixerCallback callback,
                          uintptr_t instance, std::unique_ptr<TAlsaMixer>& out);

    TMMResult LineInfo(uint32_t destination, uint32_t source, bool bySource, TMixerLine& line);
    TMMResult LineControls(uint32_t lineID, std::vector<TMixerControl>& controls);
    TMMResult ControlDetails(uint32_t controlID, uint32_t channels, uint32_t* values);

    // Control identifiers: element index << 8 | destination << 4 | kind.
    static constexpr uint32_t VolumeKind = 1, MuteKind = 2;

private:
    struct TElement {
        snd_mixer_elem_t* Elem;
        std::string Name;
    };
    // One destination's own element (or null) and its source elements.
    struct TDestination {
        std::string Name;
        uint32_t ComponentType;
        snd_mixer_elem_t* Own = nullptr;
        std::vector<snd_mixer_elem_t*> Sources;
    };

    TAlsaMixer() = default;
    snd_mixer_elem_t* LineElement(uint32_t lineID, uint32_t& destination);
    uint32_t ElementIndex(snd_mixer_elem_t* e) const;
    // Watcher thread.
    void Watch();
    static int ElementEvent(snd_mixer_elem_t* elem, unsigned int mask);

    snd_mixer_t* Mixer = nullptr;
    TMixerHandle Handle = 0;
    TMixerCallback Callback = nullptr;
    uintptr_t Instance = 0;
    std::vector<snd_mixer_elem_t*> Elements;
    TDestination Destinations[2];
    // Guards the ALSA mixer between the watcher and the listing calls.
    std::mutex Lock;
    int StopPipe[2] = {-1, -1};
    std::thread Watcher;
};
