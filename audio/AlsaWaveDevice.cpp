// The wave device service over ALSA; see AlsaWaveDevice.h. Handles are
// small numbers looked up in a table, so a stale or foreign handle is
// refused with MMSYSERR_INVALHANDLE instead of being dereferenced.
#include "audio/AlsaWaveDevice.h"

#include "audio/AlsaMixer.h"
#include "audio/AlsaPcm.h"
#include "audio/Audio.h"
#include "base/Translate.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

struct THint {
    std::string Name, IoId; // IoId empty: both directions
};

// ALSA's PCM hints. A scan reads the whole configuration (about a
// millisecond), and a component asks for both directions at once, so one
// scan serves the calls of the next second.
std::vector<THint> PcmHints() {
    static std::mutex lock;
    static std::vector<THint> cached;
    static std::chrono::steady_clock::time_point taken;
    static std::string takenWith;
    std::lock_guard<std::mutex> guard(lock);
    const auto now = std::chrono::steady_clock::now();
    // Another configuration (ALSA_CONFIG_PATH) lists other devices.
    const char* config = std::getenv("ALSA_CONFIG_PATH");
    const std::string with = config ? config : "";
    if (taken.time_since_epoch().count() != 0 && now - taken < std::chrono::seconds(1) &&
        with == takenWith)
        return cached;
    takenWith = with;
    cached.clear();
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) >= 0) {
        for (void** h = hints; *h; ++h) {
            char* name = snd_device_name_get_hint(*h, "NAME");
            char* io = snd_device_name_get_hint(*h, "IOID");
            if (name)
                cached.push_back({name, io ? io : ""});
            free(name);
            free(io);
        }
        snd_device_name_free_hint(hints);
    }
    taken = now;
    return cached;
}

bool Fits(const THint& hint, bool capture) {
    return hint.IoId.empty() || hint.IoId == (capture ? "Input" : "Output");
}

// The PCMs ALSA lists for one direction, at most ten.
std::vector<std::string> ListPcms(bool capture) {
    std::vector<std::string> names;
    for (const THint& h : PcmHints())
        if (names.size() < 10 && Fits(h, capture) && h.Name != "null")
            names.push_back(h.Name);
    return names;
}

// The capture devices a user picks from: "default", the sound servers'
// PCMs and each card's plughw (which converts any format the card lacks).
std::vector<std::string> CaptureChoices() {
    std::vector<std::string> names = {"default"};
    for (const THint& h : PcmHints()) {
        const std::string& n = h.Name;
        if (Fits(h, true) && (n == "pipewire" || n == "pulse" || n.rfind("plughw:", 0) == 0) &&
            std::find(names.begin(), names.end(), n) == names.end())
            names.push_back(n);
    }
    return names;
}

TMMResult FromAlsa(int err) {
    switch (-err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return MMSYSERR_NODRIVER;
    case EBUSY:
    case EAGAIN:
        return MMSYSERR_ALLOCATED;
    case ENOMEM:
        return MMSYSERR_NOMEM;
    case EINVAL:
        return WAVERR_BADFORMAT;
    default:
        return MMSYSERR_ERROR;
    }
}

bool ValidHeader(const TWaveHeader* hdr, uint32_t size) {
    return hdr && size >= sizeof(TWaveHeader) && hdr->Data;
}

} // namespace

TWaveDeviceService& AlsaWaveService() {
    static TAlsaWaveService service;
    return service;
}

TAlsaWaveService::TAlsaWaveService() = default;

TAlsaWaveService::~TAlsaWaveService() = default;

std::string TAlsaWaveService::ErrorText(TMMResult code) {
    switch (code) {
    case MMSYSERR_NOERROR:
        return Tr("Audio", "The operation completed successfully.");
    case MMSYSERR_ERROR:
        return Tr("Audio", "The sound device reported an error.");
    case MMSYSERR_BADDEVICEID:
        return Tr("Audio", "There is no sound device with this number.");
    case MMSYSERR_NOTENABLED:
        return Tr("Audio", "The sound driver is not enabled.");
    case MMSYSERR_ALLOCATED:
        return Tr("Audio", "The sound device is in use by another program.");
    case MMSYSERR_INVALHANDLE:
        return Tr("Audio", "The sound device handle is not valid.");
    case MMSYSERR_NODRIVER:
        return Tr("Audio", "No sound driver or device is installed.");
    case MMSYSERR_NOMEM:
        return Tr("Audio", "There is not enough memory for the sound device.");
    case MMSYSERR_NOTSUPPORTED:
        return Tr("Audio", "The sound device does not support this operation.");
    case MMSYSERR_INVALFLAG:
        return Tr("Audio", "An invalid flag was passed to the sound device.");
    case MMSYSERR_INVALPARAM:
        return Tr("Audio", "An invalid parameter was passed to the sound device.");
    case WAVERR_BADFORMAT:
        return Tr("Audio", "The sound device does not support this wave format.");
    case WAVERR_STILLPLAYING:
        return Tr("Audio", "Buffers are still queued on the sound device.");
    case WAVERR_UNPREPARED:
        return Tr("Audio", "The wave header was not prepared.");
    default:
        return Tr("Audio", "");
    }
}

TMMResult TAlsaWaveService::Open(bool capture, TWaveHandle* handle, int32_t device,
                                 const TWaveFormat* format, TWaveCallback callback,
                                 uintptr_t instance) {
    if (!handle || !format)
        return MMSYSERR_INVALPARAM;
    if (format->FormatTag != 1 || (format->BitsPerSample != 8 && format->BitsPerSample != 16) ||
        format->Channels == 0 || format->SamplesPerSec == 0)
        return WAVERR_BADFORMAT;
    std::string name = "default";
    if (device != -1) {
        const std::vector<std::string> pcms = ListPcms(capture);
        if (device < 0 || static_cast<size_t>(device) >= pcms.size())
            return MMSYSERR_BADDEVICEID;
        name = pcms[static_cast<size_t>(device)];
    }
    return OpenPcm(capture, name, format, callback, instance, handle);
}

TMMResult TAlsaWaveService::OpenPcm(bool capture, const std::string& name,
                                    const TWaveFormat* format, TWaveCallback callback,
                                    uintptr_t instance, TWaveHandle* handle) {
    snd_pcm_t* pcm = nullptr;
    int err =
        snd_pcm_open(&pcm, name.c_str(), capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                     SND_PCM_NONBLOCK);
    if (err < 0)
        return FromAlsa(err);
    const snd_pcm_format_t sampleFormat =
        format->BitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
    // Playback: half a second of device buffer, enough to ride over a busy
    // GUI thread. Capture: a second, in quarter-second periods; the driver
    // thread empties it a period per read, so a take costs few calls.
    err = snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format->Channels,
                             format->SamplesPerSec, 1, capture ? 1000000 : 500000);
    if (err < 0) {
        snd_pcm_close(pcm);
        return err == -EINVAL ? WAVERR_BADFORMAT : FromAlsa(err);
    }
    const unsigned frameBytes = format->Channels * (format->BitsPerSample / 8u);
    TWaveHandle h;
    TAlsaPcm* dev;
    {
        std::lock_guard<std::mutex> lock(Lock);
        h = NextHandle++;
        auto owned = std::make_unique<TAlsaPcm>(pcm, capture, frameBytes, callback, instance, h);
        dev = owned.get();
        Pcms[h] = std::move(owned);
    }
    *handle = h;
    dev->Run();
    return MMSYSERR_NOERROR;
}

TAlsaPcm* TAlsaWaveService::Find(TWaveHandle h, bool capture) {
    std::lock_guard<std::mutex> lock(Lock);
    auto it = Pcms.find(h);
    if (it == Pcms.end() || it->second->Capture != capture)
        return nullptr;
    return it->second.get();
}

// The common steps of the per-device calls: find the device of that
// direction, check the header, then act.
TMMResult
TAlsaWaveService::WithHeader(TWaveHandle h, bool capture, TWaveHeader* hdr, uint32_t size,
                             const std::function<TMMResult(TAlsaPcm&, TWaveHeader*)>& act) {
    TAlsaPcm* dev = Find(h, capture);
    if (!dev)
        return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(hdr, size))
        return MMSYSERR_INVALPARAM;
    return act(*dev, hdr);
}

TMMResult TAlsaWaveService::WithDevice(TWaveHandle h, bool capture,
                                       const std::function<void(TAlsaPcm&)>& act) {
    TAlsaPcm* dev = Find(h, capture);
    if (!dev)
        return MMSYSERR_INVALHANDLE;
    act(*dev);
    return MMSYSERR_NOERROR;
}

TMMResult TAlsaWaveService::CloseDevice(TWaveHandle h, bool capture) {
    TAlsaPcm* dev = Find(h, capture);
    if (!dev)
        return MMSYSERR_INVALHANDLE;
    if (dev->Busy())
        return WAVERR_STILLPLAYING;
    dev->Close();
    std::lock_guard<std::mutex> lock(Lock);
    Pcms.erase(h);
    return MMSYSERR_NOERROR;
}

uint32_t TAlsaWaveService::InGetNumDevs() {
    // "default" is always configured, even when ALSA lists nothing.
    const size_t n = ListPcms(true).size();
    return static_cast<uint32_t>(n > 0 ? n : 1);
}

TMMResult TAlsaWaveService::InOpen(TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                                   TWaveCallback callback, uintptr_t instance, uint32_t) {
    return Open(true, handle, device, format, callback, instance);
}

std::vector<std::string> TAlsaWaveService::InDeviceNames() {
    return CaptureChoices();
}

TMMResult TAlsaWaveService::InOpenNamed(TWaveHandle* handle, const std::string& name,
                                        const TWaveFormat* format, TWaveCallback callback,
                                        uintptr_t instance, uint32_t) {
    if (!handle || !format || name.empty())
        return MMSYSERR_INVALPARAM;
    if (format->FormatTag != 1 || (format->BitsPerSample != 8 && format->BitsPerSample != 16) ||
        format->Channels == 0 || format->SamplesPerSec == 0)
        return WAVERR_BADFORMAT;
    TMMResult r = OpenPcm(true, name, format, callback, instance, handle);
    // A device that takes only stereo, or only other rates, records
    // through ALSA's plug layer, which converts.
    if (r == WAVERR_BADFORMAT && name.rfind("plug", 0) != 0)
        r = OpenPcm(true, "plug:\"" + name + "\"", format, callback, instance, handle);
    return r;
}

bool TAlsaWaveService::InDevicePresent(const std::string& name) {
    snd_pcm_t* pcm = nullptr;
    if (name.empty() ||
        snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0)
        return false;
    snd_pcm_close(pcm);
    return true;
}

TMMResult TAlsaWaveService::InPrepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) {
    return WithHeader(h, true, hdr, size,
                      [](TAlsaPcm& dev, TWaveHeader* x) { return dev.SetPrepared(x, true); });
}

TMMResult TAlsaWaveService::InUnprepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) {
    return WithHeader(h, true, hdr, size,
                      [](TAlsaPcm& dev, TWaveHeader* x) { return dev.SetPrepared(x, false); });
}

TMMResult TAlsaWaveService::InAddBuffer(TWaveHandle h, TWaveHeader* hdr, uint32_t size) {
    return WithHeader(h, true, hdr, size, [](TAlsaPcm& dev, TWaveHeader* x) { return dev.Add(x); });
}

TMMResult TAlsaWaveService::InStart(TWaveHandle h) {
    return WithDevice(h, true, [](TAlsaPcm& dev) { dev.Start(); });
}

TMMResult TAlsaWaveService::InReset(TWaveHandle h) {
    return WithDevice(h, true, [](TAlsaPcm& dev) { dev.Reset(); });
}

TMMResult TAlsaWaveService::InClose(TWaveHandle h) {
    return CloseDevice(h, true);
}

std::string TAlsaWaveService::InGetErrorText(TMMResult code) {
    return ErrorText(code);
}

uint32_t TAlsaWaveService::OutGetNumDevs() {
    const size_t n = ListPcms(false).size();
    return static_cast<uint32_t>(n > 0 ? n : 1);
}

TMMResult TAlsaWaveService::OutOpen(TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                                    TWaveCallback callback, uintptr_t instance, uint32_t) {
    return Open(false, handle, device, format, callback, instance);
}

TMMResult TAlsaWaveService::OutPrepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) {
    return WithHeader(h, false, hdr, size,
                      [](TAlsaPcm& dev, TWaveHeader* x) { return dev.SetPrepared(x, true); });
}

TMMResult TAlsaWaveService::OutUnprepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) {
    return WithHeader(h, false, hdr, size,
                      [](TAlsaPcm& dev, TWaveHeader* x) { return dev.SetPrepared(x, false); });
}

TMMResult TAlsaWaveService::OutWrite(TWaveHandle h, TWaveHeader* hdr, uint32_t size) {
    return WithHeader(h, false, hdr, size,
                      [](TAlsaPcm& dev, TWaveHeader* x) { return dev.Add(x); });
}

TMMResult TAlsaWaveService::OutPause(TWaveHandle h) {
    return WithDevice(h, false, [](TAlsaPcm& dev) { dev.SetPaused(true); });
}

TMMResult TAlsaWaveService::OutRestart(TWaveHandle h) {
    return WithDevice(h, false, [](TAlsaPcm& dev) { dev.SetPaused(false); });
}

TMMResult TAlsaWaveService::OutReset(TWaveHandle h) {
    return WithDevice(h, false, [](TAlsaPcm& dev) { dev.Reset(); });
}

TMMResult TAlsaWaveService::OutClose(TWaveHandle h) {
    return CloseDevice(h, false);
}

std::string TAlsaWaveService::OutGetErrorText(TMMResult code) {
    return ErrorText(code);
}

TAlsaMixer* TAlsaWaveService::FindMixer(TMixerHandle h) {
    std::lock_guard<std::mutex> lock(Lock);
    auto it = Mixers.find(h);
    return it == Mixers.end() ? nullptr : it->second.get();
}

uint32_t TAlsaWaveService::MixerGetNumDevs() {
    return TAlsaMixer::CardCount();
}

TMMResult TAlsaWaveService::MixerGetDevCaps(uint32_t device, TMixerCaps& caps) {
    return TAlsaMixer::Caps(device, caps);
}

TMMResult TAlsaWaveService::MixerOpen(TMixerHandle* handle, uint32_t device,
                                      TMixerCallback callback, uintptr_t instance) {
    if (!handle)
        return MMSYSERR_INVALPARAM;
    std::unique_ptr<TAlsaMixer> mixer;
    TMixerHandle h;
    {
        std::lock_guard<std::mutex> lock(Lock);
        h = NextHandle++;
    }
    const TMMResult r = TAlsaMixer::Open(device, h, callback, instance, mixer);
    if (r != MMSYSERR_NOERROR)
        return r;
    std::lock_guard<std::mutex> lock(Lock);
    Mixers[h] = std::move(mixer);
    *handle = h;
    return MMSYSERR_NOERROR;
}

TMMResult TAlsaWaveService::MixerGetLineInfo(TMixerHandle h, uint32_t destination, uint32_t source,
                                             bool bySource, TMixerLine& line) {
    TAlsaMixer* m = FindMixer(h);
    return m ? m->LineInfo(destination, source, bySource, line) : MMSYSERR_INVALHANDLE;
}

TMMResult TAlsaWaveService::MixerGetLineControls(TMixerHandle h, uint32_t lineID,
                                                 std::vector<TMixerControl>& controls) {
    TAlsaMixer* m = FindMixer(h);
    return m ? m->LineControls(lineID, controls) : MMSYSERR_INVALHANDLE;
}

TMMResult TAlsaWaveService::MixerGetControlDetails(TMixerHandle h, uint32_t controlID,
                                                   uint32_t channels, uint32_t* values) {
    TAlsaMixer* m = FindMixer(h);
    return m ? m->ControlDetails(controlID, channels, values) : MMSYSERR_INVALHANDLE;
}

TMMResult TAlsaWaveService::MixerClose(TMixerHandle h) {
    std::unique_ptr<TAlsaMixer> m;
    {
        std::lock_guard<std::mutex> lock(Lock);
        auto it = Mixers.find(h);
        if (it == Mixers.end())
            return MMSYSERR_INVALHANDLE;
        m = std::move(it->second);
        Mixers.erase(it);
    }
    m.reset(); // joins the watcher thread
    return MMSYSERR_NOERROR;
}
