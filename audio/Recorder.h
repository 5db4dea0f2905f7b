// TRecorder: captures from the wave input device through the four slots,
// appends every accepted buffer to an open WAV file and offers it to the
// owner's OnRecord event, with a level trigger, pause and split channels.
// The device's data notifications arrive on its driver thread, which also
// queues the buffer again; only failures are posted to the GUI thread.
#pragma once

#include "audio/AudioSettings.h"
#include "base/Stream.h"
#include "platform/EventQueue.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

class TRecorder : public TAudioSettings {
public:
    explicit TRecorder(TAudio* owner);
    ~TRecorder() override;

    // Begins a WAV file (raises EFCreateError). With a left stream the file
    // gets the streams' data (interleaved when the right one has the same
    // size) and is finished at once; otherwise captured data is appended
    // until Stop. An empty name only clears the saving state.
    void RecordToFile(const std::string& fileName, TStream* left = nullptr,
                      TStream* right = nullptr);
    bool Start();
    // Ends capture, closes the device and finishes the file. Processes GUI
    // events until the device has reported that it closed.
    bool Stop();
    void Pause();
    void Resume();

    uint16_t NoSamples() const { return NoSamplesValue; }
    void SetNoSamples(uint16_t value);
    bool SplitChannels() const { return Split; }
    // Kept only while the recorder is Stereo.
    void SetSplitChannels(bool value);
    uint16_t TrigLevel() const { return TrigLevelValue; }
    void SetTrigLevel(uint16_t value) { TrigLevelValue = value; }
    bool Triggered() const { return TriggeredValue; }
    void SetTriggered(bool value) { TriggeredValue = value; }
    bool Saving() const { return SavingFlag; }
    bool Paused() const { return PausedFlag; }

    // Writes the final sizes and closes the output file. After a failed
    // append the data is first cut back to whole blocks.
    void FinishFile();

private:
    bool OpenDevice();
    bool CloseDevice();
    bool QueueBuffer();
    bool TriggerCheck(const uint8_t* lp, uint16_t size);
    void SplitBuffer(uint8_t* lp, uint8_t* rp, uint16_t& size);
    void WriteInterleaved(TStream& left, TStream& right);
    // Driver thread.
    static void WaveInProc(TWaveHandle device, uint32_t msg, uintptr_t instance,
                           TWaveHeader* param1, uintptr_t param2);
    void DataArrived();
    // Driver thread, under WriteLock: the returned buffer goes back to the device.
    void RequeueOnDriverThread();
    // Driver thread: the device is gone; the GUI thread stops the take.
    void DeviceLost();
    // GUI thread: the posted stop of take `take` after a device failure;
    // report raises OnRecordError.
    void StopAfterDeviceError(uint32_t take, const std::string& message, bool report);
    // Driver thread, under WriteLock: keeps the header's sizes at most
    // SizesInterval behind the data, so a crash leaves a playable take.
    void UpdateSizes();
    // Driver thread, under WriteLock: no more appends; the GUI thread stops.
    void AppendFailed(const std::string& reason);
    // GUI thread: the posted stop after a failed append of take `take`.
    void StopAfterWriteError(uint32_t take, const std::string& message);

    TWaveHandle Device = 0;
    std::atomic<bool> PausedFlag{false};
    std::atomic<bool> Split{false};
    std::atomic<uint16_t> TrigLevelValue{0};
    std::atomic<bool> TriggeredValue{false};
    std::unique_ptr<TFileStream> OutFile;
    std::atomic<bool> SavingFlag{false};
    // The active check and the file append are one step; Stop and
    // FinishFile take this lock, so they wait for an append in progress.
    std::mutex WriteLock;
    // Guarded by WriteLock: bytes in the output file, when its sizes were
    // last written, and whether an append failed.
    int64_t FileLength = 0;
    std::chrono::steady_clock::time_point SizesWritten;
    bool WriteFailed = false;
    // Counts RecordToFile calls, so a late failure report of an earlier
    // take does not stop the next one.
    std::atomic<uint32_t> Take{0};
    std::unique_ptr<TRequestQueue> Window;
};
