// Capture into a WAV file; see Recorder.h. The data notification runs on the
// device's driver thread: under WriteLock it checks the active flag, appends
// the buffer, raises OnRecord and hands the buffer straight back to the
// device, so a take costs the GUI thread nothing per buffer. Everything
// else runs on the GUI thread.
#include "audio/Recorder.h"

#include "audio/Audio.h"
#include "audio/WAVFile.h"
#include "audio/WAVRepair.h"
#include "base/Translate.h"

#include <cerrno>
#include <thread>
#include <unistd.h>

namespace {
// Header sizes trail the data by at most this (plus one buffer).
constexpr auto SizesInterval = std::chrono::milliseconds(500);
} // namespace

TRecorder::TRecorder(TAudio* owner)
    : TAudioSettings(owner), Window(std::make_unique<TRequestQueue>()) {}

TRecorder::~TRecorder() = default;

void TRecorder::SetNoSamples(uint16_t value) {
    // Both objects share the frame count whatever SeparateCtrls says.
    OwnerObj->Player()->ApplyNoSamples(value);
    ApplyNoSamples(value);
}

void TRecorder::SetSplitChannels(bool value) {
    Split = value && ChannelsValue == TChannels::Stereo;
}

void TRecorder::RecordToFile(const std::string& fileName, TStream* left, TStream* right) {
    if (fileName.empty()) {
        SavingFlag = false;
        return;
    }
    auto file = std::make_unique<TFileStream>(fileName, TFileStream::Mode::Create);
    TWaveFormat format;
    if (Format)
        format = *Format;
    WriteWaveHeader(*file, format);
    {
        std::lock_guard<std::mutex> lock(WriteLock);
        OutFile = std::move(file);
        FileLength = 44;
        SizesWritten = std::chrono::steady_clock::now();
        WriteFailed = false;
        ++Take;
        SavingFlag = true;
    }
    if (!left)
        return;
    left->SetPosition(0);
    if (right && right->Size() == left->Size()) {
        right->SetPosition(0);
        WriteInterleaved(*left, *right);
    } else {
        uint8_t block[4096];
        size_t n;
        while ((n = left->Read(block, sizeof block)) > 0)
            OutFile->Write(block, n);
    }
    FinishFile();
}

void TRecorder::WriteInterleaved(TStream& left, TStream& right) {
    const int64_t size = left.Size();
    const bool wide = BitsValue == TBPS::_16;
    const int sample = wide ? 2 : 1;
    const int64_t frames = wide ? size / 2 : size;
    uint8_t block[1000];
    size_t used = 0;
    for (int64_t i = 0; i < frames; ++i) {
        left.ReadBuffer(block + used, sample);
        right.ReadBuffer(block + used + sample, sample);
        used += 2 * sample;
        if (used == sizeof block) {
            OutFile->Write(block, used);
            used = 0;
        }
    }
    if (used > 0)
        OutFile->Write(block, used);
}

void TRecorder::FinishFile() {
    std::lock_guard<std::mutex> lock(WriteLock);
    if (OutFile) {
        if (WriteFailed) {
            const int64_t whole =
                WholeBlockLength(OutFile->Size(), Format ? Format->BlockAlign : 1);
            if (::ftruncate(OutFile->Handle(), whole) != 0)
                throw EWriteError(SystemErrorText(errno));
        }
        CompleteWaveHeader(*OutFile);
        OutFile.reset();
    }
    SavingFlag = false;
}

bool TRecorder::Start() {
    if (!OpenDevice())
        return false;
    const TMMResult r = Service().InStart(Device);
    if (r != MMSYSERR_NOERROR) {
        const std::string text = Service().InGetErrorText(r);
        CloseDevice();
        SetDeviceError(Tr("Audio", "Error starting wave record: "), text);
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (!QueueBuffer()) {
            SetError(Tr("Audio", "Error adding next input buffer"));
            return false;
        }
    }
    return true;
}

bool TRecorder::OpenDevice() {
    if (Open)
        return true;
    QueueIndex = 0;
    CompletionIndex = 0;
    // Without buffers (no input device at construction) the format is null
    // and the service refuses the open.
    const auto instance = reinterpret_cast<uintptr_t>(this);
    const std::string& name = OwnerObj->InputDevice();
    const TMMResult r =
        name.empty() ? Service().InOpen(&Device, OwnerObj->AudioDeviceID(), Format.get(),
                                        &WaveInProc, instance, CALLBACK_FUNCTION | WAVE_ALLOWSYNC)
                     : Service().InOpenNamed(&Device, name, Format.get(), &WaveInProc, instance,
                                             CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
    if (r != MMSYSERR_NOERROR) {
        CloseDevice();
        SetDeviceError(Tr("Audio", "Could not open the input device for recording: "),
                       Service().InGetErrorText(r));
        return false;
    }
    Open = true;
    InitHeaders();
    for (int i = 0; i < 4; ++i) {
        const TMMResult p =
            Service().InPrepareHeader(Device, Headers[i].get(), sizeof(TWaveHeader));
        if (p != MMSYSERR_NOERROR) {
            CloseDevice();
            SetDeviceError(Tr("Audio", "Error preparing header for recording: "),
                           Service().InGetErrorText(p));
            return false;
        }
    }
    if (!QueueBuffer()) {
        SetError(Tr("Audio", "Error adding next input buffer"));
        return false;
    }
    return true;
}

bool TRecorder::CloseDevice() {
    if (!Open) {
        SetError(Tr("Audio", "Recorder already closed"));
        return true;
    }
    if (Service().InReset(Device) != MMSYSERR_NOERROR) {
        SetError(Tr("Audio", "Error in waveInReset"));
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        const TMMResult r =
            Service().InUnprepareHeader(Device, Headers[i].get(), sizeof(TWaveHeader));
        if (r != MMSYSERR_NOERROR) {
            SetDeviceError(Tr("Audio", "Error in waveInUnprepareHeader"),
                           Service().InGetErrorText(r));
            return false;
        }
    }
    if (Service().InClose(Device) != MMSYSERR_NOERROR) {
        SetError(Tr("Audio", "Error closing input device"));
        return false;
    }
    Open = false;
    return true;
}

bool TRecorder::QueueBuffer() {
    const uint32_t slot = QueueIndex;
    const TMMResult r = Service().InAddBuffer(Device, Headers[slot].get(), sizeof(TWaveHeader));
    if (r != MMSYSERR_NOERROR) {
        const std::string text = Service().InGetErrorText(r);
        Stop();
        SetDeviceError(Tr("Audio", "Error adding input buffer"), text);
        return false;
    }
    QueueIndex = (slot + 1) % 4;
    return true;
}

bool TRecorder::Stop() {
    {
        // Waits for an append in progress; later notifications see the flag.
        std::lock_guard<std::mutex> lock(WriteLock);
        Active = false;
    }
    const bool result = CloseDevice();
    if (SavingFlag)
        FinishFile();
    PausedFlag = false;
    while (Active) {
        ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return result;
}

void TRecorder::Pause() {
    if (Open)
        PausedFlag = true;
}

void TRecorder::Resume() {
    if (Open)
        PausedFlag = false;
}

bool TRecorder::TriggerCheck(const uint8_t* lp, uint16_t size) {
    if (TriggeredValue || size == 0)
        return TriggeredValue;
    const uint16_t level = TrigLevelValue;
    if (BitsValue == TBPS::_8) {
        for (uint16_t i = 0; i < size; ++i) {
            if (lp[i] >= level) {
                TriggeredValue = true;
                break;
            }
        }
    } else {
        const int16_t signedLevel = static_cast<int16_t>(level);
        for (uint16_t i = 0; i + 1 < size; i += 2) {
            const int16_t s = static_cast<int16_t>(lp[i] | (lp[i + 1] << 8));
            if (s >= signedLevel) {
                TriggeredValue = true;
                break;
            }
        }
    }
    return TriggeredValue;
}

void TRecorder::SplitBuffer(uint8_t* lp, uint8_t* rp, uint16_t& size) {
    if (size == 0)
        return;
    size = size / 2;
    if (BitsValue == TBPS::_8) {
        for (uint16_t i = 0; i < size; ++i) {
            const uint8_t l = lp[2 * i];
            rp[i] = lp[2 * i + 1];
            lp[i] = l;
        }
    } else {
        for (uint16_t i = 0; i < size / 2; ++i) {
            const uint8_t l0 = lp[4 * i], l1 = lp[4 * i + 1];
            rp[2 * i] = lp[4 * i + 2];
            rp[2 * i + 1] = lp[4 * i + 3];
            lp[2 * i] = l0;
            lp[2 * i + 1] = l1;
        }
    }
}

void TRecorder::WaveInProc(TWaveHandle, uint32_t msg, uintptr_t instance, TWaveHeader*, uintptr_t) {
    auto* self = reinterpret_cast<TRecorder*>(instance);
    switch (msg) {
    case WIM_OPEN:
        self->Active = true;
        break;
    case WIM_CLOSE:
        self->Active = false;
        break;
    case WIM_DATA:
        self->DataArrived();
        break;
    case WIM_DEVICE_LOST:
        self->DeviceLost();
        break;
    default:
        break;
    }
}

void TRecorder::DataArrived() {
    std::lock_guard<std::mutex> lock(WriteLock);
    if (!Active)
        return;
    const uint32_t slot = CompletionIndex % 4;
    uint8_t* lp = DataBuffers[slot].get();
    uint8_t* rp = SplitBuffers[slot].get();
    const uint16_t recorded = static_cast<uint16_t>(Headers[slot]->BytesRecorded);
    uint16_t size = recorded;
    if (!PausedFlag && TriggerCheck(lp, size)) {
        if (SavingFlag && OutFile && !WriteFailed) {
            try {
                OutFile->Write(lp, size);
                FileLength += size;
                UpdateSizes();
            } catch (const Exception& e) {
                AppendFailed(e.Message);
            }
        }
        if (OwnerObj->OnRecord) {
            if (Split) {
                SplitBuffer(lp, rp, size);
                OwnerObj->OnRecord(this, lp, rp, size);
            } else {
                OwnerObj->OnRecord(this, lp, nullptr, size);
            }
        }
    }
    if (recorded > 0) {
        CompletionIndex = (slot + 1) % 4;
        RequeueOnDriverThread();
    }
}

void TRecorder::RequeueOnDriverThread() {
    // Buffers come back in the order they were queued: the one just
    // returned is the next to queue. Under WriteLock with Active set, so
    // Stop's reset cannot have started.
    const uint32_t slot = QueueIndex;
    const TMMResult r = Service().InAddBuffer(Device, Headers[slot].get(), sizeof(TWaveHeader));
    if (r == MMSYSERR_NOERROR) {
        QueueIndex = (slot + 1) % 4;
        return;
    }
    // Stopping waits for the driver thread: the GUI thread does it.
    std::string message = Tr("Audio", "Error adding input buffer");
    if (const std::string text = Service().InGetErrorText(r); !text.empty())
        message += " " + text;
    const uint32_t take = Take;
    Window->Post([this, take, message] { StopAfterDeviceError(take, message, false); });
}

void TRecorder::DeviceLost() {
    std::lock_guard<std::mutex> lock(WriteLock);
    if (!Active)
        return;
    const std::string& name = OwnerObj->InputDevice();
    const std::string message =
        Tr("Audio", "The input device \"%1\" is no longer available. The take was stopped; what "
                    "was recorded is kept.")
            .Arg(name.empty() ? "default" : name);
    const uint32_t take = Take;
    Window->Post([this, take, message] { StopAfterDeviceError(take, message, true); });
}

void TRecorder::UpdateSizes() {
    const auto now = std::chrono::steady_clock::now();
    if (now - SizesWritten < SizesInterval)
        return;
    WriteWaveSizes(OutFile->Handle(), FileLength);
    SizesWritten = now;
}

void TRecorder::AppendFailed(const std::string& reason) {
    // A full disk must not end the driver thread, and a take that goes on
    // without its sound must not look like a good one: stop it.
    WriteFailed = true;
    const std::string message =
        Tr("Audio", "Cannot write file \"%1\". %2").Arg(OutFile->FileName(), reason);
    const uint32_t take = Take;
    Window->Post([this, take, message] { StopAfterWriteError(take, message); });
}

void TRecorder::StopAfterWriteError(uint32_t take, const std::string& message) {
    // A later RecordToFile has replaced the file: nothing is left to report.
    if (take != Take)
        return;
    Stop();
    SetError(message);
    if (OwnerObj->OnRecordError && !OwnerObj->ShutDown)
        OwnerObj->OnRecordError(message);
}

void TRecorder::StopAfterDeviceError(uint32_t take, const std::string& message, bool report) {
    if (take != Take || !Open)
        return;
    Stop();
    SetError(message);
    if (report && OwnerObj->OnRecordError && !OwnerObj->ShutDown)
        OwnerObj->OnRecordError(message);
}
