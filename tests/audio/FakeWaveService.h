// A test double of the wave device service: it logs every call and
// notification in order, lets a test inject a failure code into any call,
// and hands buffers back only when the test says so. Notifications run on a
// short-lived thread of their own, as a driver's would, and are waited for.
#pragma once

#include "audio/WaveDevice.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TFakeWaveService : public TWaveDeviceService {
public:
    // The code whose platform text is empty.
    static constexpr TMMResult SilentCode = 99;

    uint32_t InDevs = 1, OutDevs = 1, MixerDevs = 0;

    // The nth call (1-based; 0 = every call) of op returns code.
    void Fail(const std::string& op, TMMResult code, int nth = 0) { Failures[op] = {nth, code}; }

    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> lock(LogLock);
        return Entries;
    }
    void ClearLog() {
        std::lock_guard<std::mutex> lock(LogLock);
        Entries.clear();
    }
    size_t Count(const std::string& entry) {
        auto l = Log();
        return static_cast<size_t>(std::count(l.begin(), l.end(), entry));
    }

    // Input: hands the first queued buffer back filled with data.
    bool DeliverInput(const std::vector<uint8_t>& data) {
        if (InQueue.empty())
            return false;
        TWaveHeader* h = InQueue.front();
        InQueue.pop_front();
        const size_t n = std::min<size_t>(data.size(), h->BufferLength);
        if (n > 0)
            std::memcpy(h->Data, data.data(), n);
        h->BytesRecorded = static_cast<uint32_t>(n);
        h->Flags = (h->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
        Notify(InCallback, InInstance, WIM_DATA, h);
        return true;
    }
    size_t InQueued() const { return InQueue.size(); }
    // The input device goes away, as an unplugged microphone does.
    void LoseInput() { Notify(InCallback, InInstance, WIM_DEVICE_LOST, nullptr); }
    bool InStarted = false;
    alignas(4) TWaveFormat InFormat;
    int32_t InDevice = 0;

    // Output: finishes the first queued buffer, appending it to Played.
    bool CompleteOutput() {
        if (OutQueue.empty())
            return false;
        TWaveHeader* h = OutQueue.front();
        OutQueue.pop_front();
        Played.insert(Played.end(), h->Data, h->Data + h->BufferLength);
        h->Flags = (h->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
        Notify(OutCallback, OutInstance, WOM_DONE, h);
        return true;
    }
    size_t OutQueued() const { return OutQueue.size(); }
    std::vector<uint8_t> Played;
    bool OutPaused = false;
    alignas(4) TWaveFormat OutFormat;
    bool OutIsOpen = false;
    bool InIsOpen = false;

    // Mixer lines: destinations, each with its source lines and controls.
    struct TLine {
        TMixerLine Line;
        std::vector<TMixerControl> Controls;
        std::vector<TLine> Sources;
    };
    std::string MixerName = "Fake Mixer";
    std::vector<TLine> MixerLines;
    std::map<uint32_t, std::vector<uint32_t>> ControlValues;
    TMixerCallback MixerCb = nullptr;
    uintptr_t MixerInstance = 0;
    uint32_t MixerOpenCount = 0, MixerCloseCount = 0;
    // Raises a control change on a thread of its own, as the mixer's would.
    void ChangeControl(uint32_t controlID) {
        std::thread t([&] { MixerCb(MixerInstance, 0x12345, controlID); });
        t.join();
    }

    uint32_t InGetNumDevs() override { return InDevs; }
    TMMResult InOpen(TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                     TWaveCallback callback, uintptr_t instance, uint32_t flags) override {
        Add("InOpen");
        if (TMMResult r = Injected("InOpen"))
            return r;
        if (InDevs == 0)
            return MMSYSERR_BADDEVICEID;
        if (!format || flags != 0x30002)
            return MMSYSERR_INVALPARAM;
        InFormat = *format;
        InDevice = device;
        *handle = 1;
        InCallback = callback;
        InInstance = instance;
        InIsOpen = true;
        Notify(callback, instance, WIM_OPEN, nullptr);
        return MMSYSERR_NOERROR;
    }
    TMMResult InPrepareHeader(TWaveHandle, TWaveHeader* hdr, uint32_t) override {
        Add("InPrepareHeader");
        if (TMMResult r = Injected("InPrepareHeader"))
            return r;
        hdr->Flags |= WHDR_PREPARED;
        return 0;
    }
    TMMResult InUnprepareHeader(TWaveHandle, TWaveHeader* hdr, uint32_t) override {
        Add("InUnprepareHeader");
        if (TMMResult r = Injected("InUnprepareHeader"))
            return r;
        hdr->Flags &= ~WHDR_PREPARED;
        return 0;
    }
    TMMResult InAddBuffer(TWaveHandle, TWaveHeader* hdr, uint32_t) override {
        Add("InAddBuffer");
        if (TMMResult r = Injected("InAddBuffer"))
            return r;
        if (!(hdr->Flags & WHDR_PREPARED))
            return WAVERR_UNPREPARED;
        hdr->Flags |= WHDR_INQUEUE;
        InQueue.push_back(hdr);
        return 0;
    }
    TMMResult InStart(TWaveHandle) override {
        Add("InStart");
        if (TMMResult r = Injected("InStart"))
            return r;
        InStarted = true;
        return 0;
    }
    TMMResult InReset(TWaveHandle) override {
        Add("InReset");
        if (TMMResult r = Injected("InReset"))
            return r;
        InStarted = false;
        while (!InQueue.empty()) {
            TWaveHeader* h = InQueue.front();
            InQueue.pop_front();
            h->BytesRecorded = 0;
            h->Flags = (h->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
            Notify(InCallback, InInstance, WIM_DATA, h);
        }
        return 0;
    }
    TMMResult InClose(TWaveHandle) override {
        Add("InClose");
        if (TMMResult r = Injected("InClose"))
            return r;
        InIsOpen = false;
        Notify(InCallback, InInstance, WIM_CLOSE, nullptr);
        return 0;
    }
    std::string InGetErrorText(TMMResult code) override { return Text("in", code); }

    uint32_t OutGetNumDevs() override { return OutDevs; }
    TMMResult OutOpen(TWaveHandle* handle, int32_t, const TWaveFormat* format,
                      TWaveCallback callback, uintptr_t instance, uint32_t flags) override {
        Add("OutOpen");
        if (TMMResult r = Injected("OutOpen"))
            return r;
        if (OutDevs == 0)
            return MMSYSERR_BADDEVICEID;
        if (!format || flags != 0x30002)
            return MMSYSERR_INVALPARAM;
        OutFormat = *format;
        *handle = 2;
        OutCallback = callback;
        OutInstance = instance;
        OutIsOpen = true;
        Notify(callback, instance, WOM_OPEN, nullptr);
        return 0;
    }
    TMMResult OutPrepareHeader(TWaveHandle, TWaveHeader* hdr, uint32_t) override {
        Add("OutPrepareHeader");
        if (TMMResult r = Injected("OutPrepareHeader"))
            return r;
        hdr->Flags |= WHDR_PREPARED;
        return 0;
    }
    TMMResult OutUnprepareHeader(TWaveHandle, TWaveHeader*, uint32_t) override {
        Add("OutUnprepareHeader");
        return Injected("OutUnprepareHeader");
    }
    TMMResult OutWrite(TWaveHandle, TWaveHeader* hdr, uint32_t) override {
        Add("OutWrite");
        if (TMMResult r = Injected("OutWrite"))
            return r;
        hdr->Flags |= WHDR_INQUEUE;
        OutQueue.push_back(hdr);
        return 0;
    }
    TMMResult OutPause(TWaveHandle) override {
        Add("OutPause");
        OutPaused = true;
        return Injected("OutPause");
    }
    TMMResult OutRestart(TWaveHandle) override {
        Add("OutRestart");
        OutPaused = false;
        return Injected("OutRestart");
    }
    TMMResult OutReset(TWaveHandle) override {
        Add("OutReset");
        if (TMMResult r = Injected("OutReset"))
            return r;
        while (!OutQueue.empty()) {
            TWaveHeader* h = OutQueue.front();
            OutQueue.pop_front();
            h->Flags = (h->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
            Notify(OutCallback, OutInstance, WOM_DONE, h);
        }
        return 0;
    }
    TMMResult OutClose(TWaveHandle) override {
        Add("OutClose");
        if (TMMResult r = Injected("OutClose"))
            return r;
        OutIsOpen = false;
        Notify(OutCallback, OutInstance, WOM_CLOSE, nullptr);
        return 0;
    }
    std::string OutGetErrorText(TMMResult code) override { return Text("out", code); }

    uint32_t MixerGetNumDevs() override { return MixerDevs; }
    TMMResult MixerGetDevCaps(uint32_t, TMixerCaps& caps) override {
        caps.ProductName = MixerName;
        caps.Destinations = static_cast<uint32_t>(MixerLines.size());
        return Injected("MixerGetDevCaps");
    }
    TMMResult MixerOpen(TMixerHandle* handle, uint32_t, TMixerCallback callback,
                        uintptr_t instance) override {
        Add("MixerOpen");
        if (TMMResult r = Injected("MixerOpen"))
            return r;
        ++MixerOpenCount;
        MixerCb = callback;
        MixerInstance = instance;
        *handle = 0x12345;
        return 0;
    }
    TMMResult MixerGetLineInfo(TMixerHandle, uint32_t destination, uint32_t source, bool bySource,
                               TMixerLine& line) override {
        if (TMMResult r = Injected("MixerGetLineInfo"))
            return r;
        if (destination >= MixerLines.size())
            return MMSYSERR_INVALPARAM;
        const TLine& d = MixerLines[destination];
        if (!bySource) {
            line = d.Line;
            line.Connections = static_cast<uint32_t>(d.Sources.size());
            return 0;
        }
        if (source >= d.Sources.size())
            return MMSYSERR_INVALPARAM;
        line = d.Sources[source].Line;
        return 0;
    }
    TMMResult MixerGetLineControls(TMixerHandle, uint32_t lineID,
                                   std::vector<TMixerControl>& controls) override {
        if (TMMResult r = Injected("MixerGetLineControls"))
            return r;
        for (const TLine& d : MixerLines) {
            if (d.Line.LineID == lineID) {
                controls = d.Controls;
                return 0;
            }
            for (const TLine& s : d.Sources)
                if (s.Line.LineID == lineID) {
                    controls = s.Controls;
                    return 0;
                }
        }
        return MMSYSERR_INVALPARAM;
    }
    TMMResult MixerGetControlDetails(TMixerHandle, uint32_t controlID, uint32_t channels,
                                     uint32_t* values) override {
        if (TMMResult r = Injected("MixerGetControlDetails"))
            return r;
        auto it = ControlValues.find(controlID);
        if (it == ControlValues.end())
            return MMSYSERR_INVALPARAM;
        for (uint32_t c = 0; c < channels; ++c)
            values[c] = c < it->second.size() ? it->second[c] : 0;
        return 0;
    }
    TMMResult MixerClose(TMixerHandle) override {
        Add("MixerClose");
        ++MixerCloseCount;
        return 0;
    }

private:
    void Add(const std::string& entry) {
        std::lock_guard<std::mutex> lock(LogLock);
        Entries.push_back(entry);
    }
    TMMResult Injected(const std::string& op) {
        const int n = ++Calls[op];
        auto it = Failures.find(op);
        if (it == Failures.end())
            return 0;
        return it->second.first == 0 || it->second.first == n ? it->second.second : 0;
    }
    std::string Text(const char* dir, TMMResult code) {
        if (code == SilentCode)
            return "";
        return std::string(dir) + " error " + std::to_string(code);
    }
    void Notify(TWaveCallback cb, uintptr_t instance, uint32_t msg, TWaveHeader* h) {
        static const std::map<uint32_t, const char*> names = {{WOM_OPEN, "WOM_OPEN"},
                                                              {WOM_CLOSE, "WOM_CLOSE"},
                                                              {WOM_DONE, "WOM_DONE"},
                                                              {WIM_OPEN, "WIM_OPEN"},
                                                              {WIM_CLOSE, "WIM_CLOSE"},
                                                              {WIM_DATA, "WIM_DATA"},
                                                              {WIM_DEVICE_LOST, "WIM_DEVICE_LOST"}};
        Add(names.at(msg));
        std::thread driver([&] {
            cb(msg == WOM_OPEN || msg == WOM_CLOSE || msg == WOM_DONE ? 2 : 1, msg, instance, h, 0);
        });
        driver.join();
    }

    std::mutex LogLock;
    std::vector<std::string> Entries;
    std::map<std::string, std::pair<int, TMMResult>> Failures;
    std::map<std::string, int> Calls;
    std::deque<TWaveHeader*> InQueue, OutQueue;
    TWaveCallback InCallback = nullptr, OutCallback = nullptr;
    uintptr_t InInstance = 0, OutInstance = 0;
};
