// The wave device service over ALSA. Device -1 is ALSA's "default" PCM,
// devices 0-9 the capture (or playback) PCMs ALSA lists. Each open device has
// one driver thread that moves data between the queued buffers and the PCM
// and calls the notification routine: open, then data/done per buffer in
// queue order, then close. Reads and writes recover from xruns and suspends
// the way aplay does and wait in poll rather than spin. Mixer device n is the
// n-th sound card (mapping in MixerSettings.h); its change watcher is a
// thread of its own.
#pragma once

#include "audio/WaveDevice.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>

class TAlsaPcm;
class TAlsaMixer;

class TAlsaWaveService : public TWaveDeviceService {
public:
    TAlsaWaveService();
    ~TAlsaWaveService() override;

    uint32_t InGetNumDevs() override;
    TMMResult InOpen(TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                     TWaveCallback callback, uintptr_t instance, uint32_t flags) override;
    TMMResult InPrepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) override;
    TMMResult InUnprepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) override;
    TMMResult InAddBuffer(TWaveHandle h, TWaveHeader* hdr, uint32_t size) override;
    TMMResult InStart(TWaveHandle h) override;
    TMMResult InReset(TWaveHandle h) override;
    TMMResult InClose(TWaveHandle h) override;
    std::string InGetErrorText(TMMResult code) override;
    // "default", pipewire, pulse and each card's plughw, as ALSA's hints list them.
    std::vector<std::string> InDeviceNames() override;
    // A device that refuses the format is opened again through "plug:".
    TMMResult InOpenNamed(TWaveHandle* handle, const std::string& name, const TWaveFormat* format,
                          TWaveCallback callback, uintptr_t instance, uint32_t flags) override;
    bool InDevicePresent(const std::string& name) override;

    uint32_t OutGetNumDevs() override;
    TMMResult OutOpen(TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                      TWaveCallback callback, uintptr_t instance, uint32_t flags) override;
    TMMResult OutPrepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) override;
    TMMResult OutUnprepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) override;
    TMMResult OutWrite(TWaveHandle h, TWaveHeader* hdr, uint32_t size) override;
    TMMResult OutPause(TWaveHandle h) override;
    TMMResult OutRestart(TWaveHandle h) override;
    TMMResult OutReset(TWaveHandle h) override;
    TMMResult OutClose(TWaveHandle h) override;
    std::string OutGetErrorText(TMMResult code) override;

    uint32_t MixerGetNumDevs() override;
    TMMResult MixerGetDevCaps(uint32_t device, TMixerCaps& caps) override;
    TMMResult MixerOpen(TMixerHandle* handle, uint32_t device, TMixerCallback callback,
                        uintptr_t instance) override;
    TMMResult MixerGetLineInfo(TMixerHandle h, uint32_t destination, uint32_t source, bool bySource,
                               TMixerLine& line) override;
    TMMResult MixerGetLineControls(TMixerHandle h, uint32_t lineID,
                                   std::vector<TMixerControl>& controls) override;
    TMMResult MixerGetControlDetails(TMixerHandle h, uint32_t controlID, uint32_t channels,
                                     uint32_t* values) override;
    TMMResult MixerClose(TMixerHandle h) override;

    // The text shared by the input and output error calls.
    static std::string ErrorText(TMMResult code);

private:
    TMMResult Open(bool capture, TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                   TWaveCallback callback, uintptr_t instance);
    TMMResult OpenPcm(bool capture, const std::string& name, const TWaveFormat* format,
                      TWaveCallback callback, uintptr_t instance, TWaveHandle* handle);
    TAlsaPcm* Find(TWaveHandle h, bool capture);
    TMMResult WithHeader(TWaveHandle h, bool capture, TWaveHeader* hdr, uint32_t size,
                         const std::function<TMMResult(TAlsaPcm&, TWaveHeader*)>& act);
    TMMResult WithDevice(TWaveHandle h, bool capture, const std::function<void(TAlsaPcm&)>& act);
    TMMResult CloseDevice(TWaveHandle h, bool capture);
    TAlsaMixer* FindMixer(TMixerHandle h);

    std::mutex Lock;
    std::map<TWaveHandle, std::unique_ptr<TAlsaPcm>> Pcms;
    std::map<TMixerHandle, std::unique_ptr<TAlsaMixer>> Mixers;
    uintptr_t NextHandle = 1;
};
