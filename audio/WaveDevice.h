// The wave device service: the wave-in, wave-out and mixer operations the
// recorder, player and mixer object drive, with numeric result codes
// (0 = success). The ALSA backend (AlsaWaveDevice.h) implements it for the
// program; tests implement it with a double for exact notification order and
// injected failures. This header has no code of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using TMMResult = uint32_t;

// Result codes.
enum : TMMResult {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_BADDEVICEID = 2,
    MMSYSERR_NOTENABLED = 3,
    MMSYSERR_ALLOCATED = 4,
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_NODRIVER = 6,
    MMSYSERR_NOMEM = 7,
    MMSYSERR_NOTSUPPORTED = 8,
    MMSYSERR_INVALFLAG = 10,
    MMSYSERR_INVALPARAM = 11,
    WAVERR_BADFORMAT = 32,
    WAVERR_STILLPLAYING = 33,
    WAVERR_UNPREPARED = 34,
};

// Notification codes handed to the wave notification routine.
enum : uint32_t {
    WOM_OPEN = 0x3BB,
    WOM_CLOSE = 0x3BC,
    WOM_DONE = 0x3BD,
    WIM_OPEN = 0x3BE,
    WIM_CLOSE = 0x3BF,
    WIM_DATA = 0x3C0,
    // Our own: the capture device went away (unplugged); no more data follows.
    WIM_DEVICE_LOST = 0x3C1,
    MM_MIXM_CONTROL_CHANGE = 0x3D1,
};

// Open flags: function notification, synchronous devices allowed.
enum : uint32_t {
    CALLBACK_FUNCTION = 0x30000,
    WAVE_ALLOWSYNC = 0x0002,
    CALLBACK_WINDOW = 0x10000,
};

// Header flags.
enum : uint32_t {
    WHDR_DONE = 0x01,
    WHDR_PREPARED = 0x02,
    WHDR_INQUEUE = 0x10,
};

// The PCM wave format record: 18 bytes, little-endian on every supported
// machine, no padding.
#pragma pack(push, 1)
struct TWaveFormat {
    uint16_t FormatTag = 0;
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    uint16_t Size = 0;
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormat) == 18);

// One buffer handed to a device. On a 64-bit machine the record is larger
// than 32 bytes (native pointer size); callers pass
// sizeof(TWaveHeader) as the header size.
struct TWaveHeader {
    uint8_t* Data = nullptr;
    uint32_t BufferLength = 0;
    uint32_t BytesRecorded = 0;
    uintptr_t User = 0;
    uint32_t Flags = 0;
    uint32_t Loops = 0;
    TWaveHeader* Next = nullptr;
    uintptr_t Reserved = 0;
};

using TWaveHandle = uintptr_t;
using TMixerHandle = uintptr_t;

// Called on the device's driver thread: open, then data/done for each buffer
// in the order given, then close. param1 is the returned header for data and
// done, otherwise null.
using TWaveCallback = void (*)(TWaveHandle device, uint32_t msg, uintptr_t instance,
                               TWaveHeader* param1, uintptr_t param2);

// Called on the mixer's own thread when a control's value changes elsewhere.
using TMixerCallback = void (*)(uintptr_t instance, TMixerHandle mixer, uint32_t controlID);

// Mixer line component types and control types the mixer object looks at.
enum : uint32_t {
    MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4,
    MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7,
    MIXERLINE_COMPONENTTYPE_SRC_ANALOG = 0x1000 + 10,
    MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001,
    MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002,
    MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001,
};

struct TMixerCaps {
    std::string ProductName;
    uint32_t Destinations = 0;
};

struct TMixerLine {
    uint32_t Destination = 0;
    uint32_t Source = 0;
    uint32_t LineID = 0;
    uint32_t ComponentType = 0;
    uint32_t Channels = 0;
    uint32_t Connections = 0; // source lines of a destination
    uint32_t Controls = 0;
    std::string Name;
};

struct TMixerControl {
    uint32_t ControlID = 0;
    uint32_t ControlType = 0;
};

class TWaveDeviceService {
public:
    virtual ~TWaveDeviceService() = default;

    // Wave input. device -1 is the default device.
    virtual uint32_t InGetNumDevs() = 0;
    virtual TMMResult InOpen(TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                             TWaveCallback callback, uintptr_t instance, uint32_t flags) = 0;
    virtual TMMResult InPrepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) = 0;
    virtual TMMResult InUnprepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) = 0;
    virtual TMMResult InAddBuffer(TWaveHandle h, TWaveHeader* hdr, uint32_t size) = 0;
    virtual TMMResult InStart(TWaveHandle h) = 0;
    // Every queued buffer is returned (data notification) before this returns.
    virtual TMMResult InReset(TWaveHandle h) = 0;
    // The close notification is delivered before this returns.
    virtual TMMResult InClose(TWaveHandle h) = 0;
    // At most 255 characters, possibly empty.
    virtual std::string InGetErrorText(TMMResult code) = 0;
    // Capture devices by name, as the user chooses them: "default" first.
    virtual std::vector<std::string> InDeviceNames() { return {"default"}; }
    // Opens the named capture device; "default" is device -1.
    virtual TMMResult InOpenNamed(TWaveHandle* handle, const std::string& name,
                                  const TWaveFormat* format, TWaveCallback callback,
                                  uintptr_t instance, uint32_t flags) {
        return name == "default" ? InOpen(handle, -1, format, callback, instance, flags)
                                 : MMSYSERR_BADDEVICEID;
    }
    // Whether the named capture device can be opened now.
    virtual bool InDevicePresent(const std::string& name) { return name == "default"; }

    // Wave output.
    virtual uint32_t OutGetNumDevs() = 0;
    virtual TMMResult OutOpen(TWaveHandle* handle, int32_t device, const TWaveFormat* format,
                              TWaveCallback callback, uintptr_t instance, uint32_t flags) = 0;
    virtual TMMResult OutPrepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) = 0;
    virtual TMMResult OutUnprepareHeader(TWaveHandle h, TWaveHeader* hdr, uint32_t size) = 0;
    virtual TMMResult OutWrite(TWaveHandle h, TWaveHeader* hdr, uint32_t size) = 0;
    virtual TMMResult OutPause(TWaveHandle h) = 0;
    virtual TMMResult OutRestart(TWaveHandle h) = 0;
    virtual TMMResult OutReset(TWaveHandle h) = 0;
    virtual TMMResult OutClose(TWaveHandle h) = 0;
    virtual std::string OutGetErrorText(TMMResult code) = 0;

    // Mixer: read-only listing of lines and controls.
    virtual uint32_t MixerGetNumDevs() = 0;
    virtual TMMResult MixerGetDevCaps(uint32_t device, TMixerCaps& caps) = 0;
    virtual TMMResult MixerOpen(TMixerHandle* handle, uint32_t device, TMixerCallback callback,
                                uintptr_t instance) = 0;
    // bySource false: the destination line `destination`; true: its source line `source`.
    virtual TMMResult MixerGetLineInfo(TMixerHandle h, uint32_t destination, uint32_t source,
                                       bool bySource, TMixerLine& line) = 0;
    virtual TMMResult MixerGetLineControls(TMixerHandle h, uint32_t lineID,
                                           std::vector<TMixerControl>& controls) = 0;
    // Reads `channels` 32-bit unsigned values of the control.
    virtual TMMResult MixerGetControlDetails(TMixerHandle h, uint32_t controlID, uint32_t channels,
                                             uint32_t* values) = 0;
    virtual TMMResult MixerClose(TMixerHandle h) = 0;
};
