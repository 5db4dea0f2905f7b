// Mixer listing and change notification; see MixerSettings.h. Everything
// runs on the GUI thread except MixerProc, which only posts.
#include "audio/MixerSettings.h"

#include "audio/Audio.h"

TMixerSettings::TMixerSettings(TAudio* owner)
    : Owner(owner), Window(std::make_unique<TRequestQueue>()),
      Names(std::make_unique<std::vector<std::string>>()) {}

TMixerSettings::~TMixerSettings() {
    Names.reset();
    Close();
    Window.reset();
}

void TMixerSettings::Close() {
    if (DeviceOpen) {
        Owner->Service().MixerClose(Mixer);
        DeviceOpen = false;
    }
    // Released iteratively: a long list must not recurse deeply.
    while (Head)
        Head = std::move(Head->Next);
    AvailableFlag = false;
}

bool TMixerSettings::MixerOpen(uint32_t device) {
    // Reopening: the previous device and its list go first.
    Close();
    TWaveDeviceService& service = Owner->Service();
    if (service.MixerGetNumDevs() == 0)
        return false;
    TMixerCaps caps;
    if (service.MixerGetDevCaps(device, caps) != MMSYSERR_NOERROR)
        return false;
    if (service.MixerOpen(&Mixer, device, &MixerProc, reinterpret_cast<uintptr_t>(this)) !=
        MMSYSERR_NOERROR)
        return false;
    DeviceOpen = true;
    Head = std::make_unique<TMixDetails>();
    Head->Name = caps.ProductName;
    TMixDetails* last = Head.get();
    for (uint32_t d = 0; d < caps.Destinations; ++d) {
        TMixerLine dest;
        if (service.MixerGetLineInfo(Mixer, d, 0, false, dest) != MMSYSERR_NOERROR)
            return false;
        const bool speakers = dest.ComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
        last = AddLine(last, dest, speakers);
        for (uint32_t s = 0; s < dest.Connections; ++s) {
            TMixerLine src;
            if (service.MixerGetLineInfo(Mixer, d, s, true, src) != MMSYSERR_NOERROR)
                return false;
            last = AddLine(last, src, speakers);
        }
    }
    return true;
}

TMixDetails* TMixerSettings::AddLine(TMixDetails* last, const TMixerLine& line, bool speakers) {
    auto node = std::make_unique<TMixDetails>();
    node->Destination = static_cast<uint16_t>(line.Destination);
    node->Source =
        last->Destination == node->Destination ? static_cast<uint16_t>(last->Source + 1) : 0;
    node->Name = line.Name;
    node->Speakers = speakers;
    node->Kind = 0x80;
    if (line.Controls > 0)
        AddControls(node.get(), line);
    last->Next = std::move(node);
    return last->Next.get();
}

void TMixerSettings::AddControls(TMixDetails* node, const TMixerLine& line) {
    TWaveDeviceService& service = Owner->Service();
    std::vector<TMixerControl> controls;
    if (service.MixerGetLineControls(Mixer, line.LineID, controls) != MMSYSERR_NOERROR)
        return;
    // The value buffer holds two channels; lines with more report the first two.
    const uint32_t channels = line.Channels >= 2 ? 2 : 1;
    for (const TMixerControl& c : controls) {
        uint32_t values[2] = {0, 0};
        switch (c.ControlType) {
        case MIXERCONTROL_CONTROLTYPE_VOLUME:
            if (service.MixerGetControlDetails(Mixer, c.ControlID, channels, values) !=
                MMSYSERR_NOERROR)
                break;
            node->VolumeControl = c.ControlID;
            node->LeftVolume = static_cast<uint16_t>(values[0]);
            if (line.Channels == 1) {
                node->UniformVolume = true;
                node->Kind = static_cast<uint16_t>(node->Kind + 0x40);
            } else {
                node->RightVolume = static_cast<uint16_t>(values[1]);
            }
            node->HasControls = true;
            break;
        case MIXERCONTROL_CONTROLTYPE_MUTE:
            if (node->MuteControl != 0xFFFF)
                break;
            if (service.MixerGetControlDetails(Mixer, c.ControlID, 1, values) != MMSYSERR_NOERROR)
                break;
            node->MuteControl = c.ControlID;
            node->Muted = values[0] != 0;
            node->HasControls = true;
            node->Kind = static_cast<uint16_t>(node->Kind & 0x7F);
            break;
        case MIXERCONTROL_CONTROLTYPE_PEAKMETER:
            if (service.MixerGetControlDetails(Mixer, c.ControlID, channels, values) !=
                MMSYSERR_NOERROR)
                break;
            node->MeterControl = c.ControlID;
            node->MeterChannels = static_cast<uint16_t>(channels == 1 ? 1 : 2);
            break;
        default:
            break;
        }
    }
}

void TMixerSettings::MixerProc(uintptr_t instance, TMixerHandle mixer, uint32_t controlID) {
    auto* self = reinterpret_cast<TMixerSettings*>(instance);
    self->Window->Post([self, mixer, controlID] { self->ControlChanged(mixer, controlID); });
}

void TMixerSettings::ControlChanged(TMixerHandle mixer, uint32_t controlID) {
    if (!AvailableFlag || !Owner->OnMixerChange)
        return;
    Owner->OnMixerChange(this, static_cast<uint16_t>(mixer), static_cast<uint16_t>(controlID));
    for (const TMixDetails* n = Head.get(); n; n = n->Next.get()) {
        if (n->VolumeControl == controlID || n->MuteControl == controlID) {
            Owner->OnMixerChange(this, n->Destination, n->Source);
            return;
        }
    }
}
