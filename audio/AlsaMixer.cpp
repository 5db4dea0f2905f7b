// The ALSA simple-mixer view behind the mixer calls; see AlsaMixer.h.
// Values are read only, never set. Volumes are scaled from the element's
// range to 0..65535; a switch that is off reads as muted.
#include "audio/AlsaMixer.h"

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

// Card number of the n-th card ALSA knows, or -1.
int NthCard(uint32_t n) {
    int card = -1;
    uint32_t i = 0;
    while (snd_card_next(&card) == 0 && card >= 0) {
        if (i++ == n)
            return card;
    }
    return -1;
}

uint32_t ScaleVolume(long v, long min, long max) {
    if (max <= min)
        return 0;
    v = std::clamp(v, min, max);
    return static_cast<uint32_t>((v - min) * 65535 / (max - min));
}

} // namespace

uint32_t TAlsaMixer::CardCount() {
    int card = -1;
    uint32_t n = 0;
    while (snd_card_next(&card) == 0 && card >= 0)
        ++n;
    return n;
}

TMMResult TAlsaMixer::Caps(uint32_t device, TMixerCaps& caps) {
    const int card = NthCard(device);
    if (card < 0)
        return MMSYSERR_BADDEVICEID;
    char* name = nullptr;
    if (snd_card_get_name(card, &name) == 0 && name) {
        caps.ProductName = name;
        free(name);
    }
    caps.Destinations = 2;
    return MMSYSERR_NOERROR;
}

TMMResult TAlsaMixer::Open(uint32_t device, TMixerHandle handle, TMixerCallback callback,
                           uintptr_t instance, std::unique_ptr<TAlsaMixer>& out) {
    const int card = NthCard(device);
    if (card < 0)
        return MMSYSERR_BADDEVICEID;
    std::unique_ptr<TAlsaMixer> m(new TAlsaMixer);
    m->Handle = handle;
    m->Callback = callback;
    m->Instance = instance;
    const std::string ctl = "hw:" + std::to_string(card);
    if (snd_mixer_open(&m->Mixer, 0) < 0)
        return MMSYSERR_NODRIVER;
    if (snd_mixer_attach(m->Mixer, ctl.c_str()) < 0 ||
        snd_mixer_selem_register(m->Mixer, nullptr, nullptr) < 0 || snd_mixer_load(m->Mixer) < 0)
        return MMSYSERR_NODRIVER;
    m->Destinations[0].Name = "Playback";
    m->Destinations[0].ComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    m->Destinations[1].Name = "Capture";
    m->Destinations[1].ComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(m->Mixer); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e))
            continue;
        m->Elements.push_back(e);
        snd_mixer_elem_set_callback(e, &ElementEvent);
        snd_mixer_elem_set_callback_private(e, m.get());
        const char* name = snd_mixer_selem_get_name(e);
        const bool playback =
            snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e);
        const bool capture =
            snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e);
        if (playback) {
            if (!m->Destinations[0].Own && std::strcmp(name, "Master") == 0)
                m->Destinations[0].Own = e;
            else
                m->Destinations[0].Sources.push_back(e);
        }
        if (capture) {
            if (!m->Destinations[1].Own && std::strcmp(name, "Capture") == 0)
                m->Destinations[1].Own = e;
            else
                m->Destinations[1].Sources.push_back(e);
        }
    }
    if (pipe(m->StopPipe) != 0)
        return MMSYSERR_NOMEM;
    TAlsaMixer* raw = m.get();
    m->Watcher = std::thread([raw] { raw->Watch(); });
    out = std::move(m);
    return MMSYSERR_NOERROR;
}

TAlsaMixer::~TAlsaMixer() {
    if (Watcher.joinable()) {
        const char c = 0;
        if (write(StopPipe[1], &c, 1) < 0) {
            // The watcher also wakes every second and would miss nothing
            // but the exit; joining still succeeds.
        }
        Watcher.join();
    }
    for (int fd : StopPipe)
        if (fd >= 0)
            close(fd);
    if (Mixer)
        snd_mixer_close(Mixer);
}

void TAlsaMixer::Watch() {
    for (;;) {
        std::vector<pollfd> fds(1);
        fds[0] = {StopPipe[0], POLLIN, 0};
        {
            std::lock_guard<std::mutex> lock(Lock);
            const int n = snd_mixer_poll_descriptors_count(Mixer);
            if (n > 0) {
                fds.resize(1 + static_cast<size_t>(n));
                snd_mixer_poll_descriptors(Mixer, fds.data() + 1, static_cast<unsigned>(n));
            }
        }
        if (poll(fds.data(), fds.size(), 1000) < 0)
            continue;
        if (fds[0].revents)
            return;
        std::lock_guard<std::mutex> lock(Lock);
        snd_mixer_handle_events(Mixer);
    }
}

int TAlsaMixer::ElementEvent(snd_mixer_elem_t* elem, unsigned int mask) {
    auto* self = static_cast<TAlsaMixer*>(snd_mixer_elem_get_callback_private(elem));
    if (!self || !self->Callback || !(mask & SND_CTL_EVENT_MASK_VALUE))
        return 0;
    const uint32_t index = self->ElementIndex(elem);
    for (uint32_t d = 0; d < 2; ++d) {
        const TDestination& dest = self->Destinations[d];
        if (dest.Own != elem &&
            std::find(dest.Sources.begin(), dest.Sources.end(), elem) == dest.Sources.end())
            continue;
        self->Callback(self->Instance, self->Handle, index << 8 | d << 4 | VolumeKind);
        self->Callback(self->Instance, self->Handle, index << 8 | d << 4 | MuteKind);
    }
    return 0;
}

uint32_t TAlsaMixer::ElementIndex(snd_mixer_elem_t* e) const {
    return static_cast<uint32_t>(std::find(Elements.begin(), Elements.end(), e) - Elements.begin());
}

// Line identifiers: destination << 16 | (0xFFFF for the destination line, else source).
snd_mixer_elem_t* TAlsaMixer::LineElement(uint32_t lineID, uint32_t& destination) {
    destination = lineID >> 16;
    if (destination > 1)
        return nullptr;
    const uint32_t source = lineID & 0xFFFF;
    const TDestination& d = Destinations[destination];
    if (source == 0xFFFF)
        return d.Own;
    return source < d.Sources.size() ? d.Sources[source] : nullptr;
}

TMMResult TAlsaMixer::LineInfo(uint32_t destination, uint32_t source, bool bySource,
                               TMixerLine& line) {
    if (destination > 1)
        return MMSYSERR_INVALPARAM;
    std::lock_guard<std::mutex> lock(Lock);
    const TDestination& d = Destinations[destination];
    line = TMixerLine{};
    line.Destination = destination;
    snd_mixer_elem_t* e;
    if (!bySource) {
        line.LineID = destination << 16 | 0xFFFF;
        line.ComponentType = d.ComponentType;
        line.Connections = static_cast<uint32_t>(d.Sources.size());
        line.Name = d.Name;
        e = d.Own;
    } else {
        if (source >= d.Sources.size())
            return MMSYSERR_INVALPARAM;
        e = d.Sources[source];
        line.Source = source;
        line.LineID = destination << 16 | source;
        line.ComponentType = MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
        line.Name = snd_mixer_selem_get_name(e);
    }
    line.Channels = 2;
    if (e) {
        const bool mono = destination == 0 ? snd_mixer_selem_is_playback_mono(e)
                                           : snd_mixer_selem_is_capture_mono(e);
        line.Channels = mono ? 1 : 2;
        const bool vol = destination == 0 ? snd_mixer_selem_has_playback_volume(e)
                                          : snd_mixer_selem_has_capture_volume(e);
        const bool sw = destination == 0 ? snd_mixer_selem_has_playback_switch(e)
                                         : snd_mixer_selem_has_capture_switch(e);
        line.Controls = (vol ? 1u : 0u) + (sw ? 1u : 0u);
    }
    return MMSYSERR_NOERROR;
}

TMMResult TAlsaMixer::LineControls(uint32_t lineID, std::vector<TMixerControl>& controls) {
    std::lock_guard<std::mutex> lock(Lock);
    uint32_t d;
    snd_mixer_elem_t* e = LineElement(lineID, d);
    if (!e)
        return MMSYSERR_INVALPARAM;
    controls.clear();
    const uint32_t base = ElementIndex(e) << 8 | d << 4;
    if (d == 0 ? snd_mixer_selem_has_playback_volume(e) : snd_mixer_selem_has_capture_volume(e))
        controls.push_back({base | VolumeKind, MIXERCONTROL_CONTROLTYPE_VOLUME});
    if (d == 0 ? snd_mixer_selem_has_playback_switch(e) : snd_mixer_selem_has_capture_switch(e))
        controls.push_back({base | MuteKind, MIXERCONTROL_CONTROLTYPE_MUTE});
    return MMSYSERR_NOERROR;
}

TMMResult TAlsaMixer::ControlDetails(uint32_t controlID, uint32_t channels, uint32_t* values) {
    std::lock_guard<std::mutex> lock(Lock);
    const uint32_t index = controlID >> 8;
    const uint32_t d = (controlID >> 4) & 0xF;
    const uint32_t kind = controlID & 0xF;
    if (index >= Elements.size() || d > 1 || !values)
        return MMSYSERR_INVALPARAM;
    snd_mixer_elem_t* e = Elements[index];
    const snd_mixer_selem_channel_id_t ids[2] = {SND_MIXER_SCHN_FRONT_LEFT,
                                                 SND_MIXER_SCHN_FRONT_RIGHT};
    for (uint32_t c = 0; c < channels && c < 2; ++c) {
        if (kind == VolumeKind) {
            long v = 0, min = 0, max = 0;
            if (d == 0) {
                snd_mixer_selem_get_playback_volume_range(e, &min, &max);
                snd_mixer_selem_get_playback_volume(e, ids[c], &v);
            } else {
                snd_mixer_selem_get_capture_volume_range(e, &min, &max);
                snd_mixer_selem_get_capture_volume(e, ids[c], &v);
            }
            values[c] = ScaleVolume(v, min, max);
        } else if (kind == MuteKind) {
            int on = 1;
            if (d == 0)
                snd_mixer_selem_get_playback_switch(e, ids[c], &on);
            else
                snd_mixer_selem_get_capture_switch(e, ids[c], &on);
            values[c] = on ? 0 : 1;
        } else {
            return MMSYSERR_INVALPARAM;
        }
    }
    return MMSYSERR_NOERROR;
}
