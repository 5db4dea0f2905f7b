// TAlsaPcm: one open ALSA PCM with its driver thread, behind the wave
// device service (AlsaWaveDevice.h). The thread owns every transfer call on
// the PCM; the GUI thread only queues buffers and sets requests under Lock.
#pragma once

#include "audio/WaveDevice.h"

#include <alsa/asoundlib.h>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class TAlsaPcm {
public:
    TAlsaPcm(snd_pcm_t* pcm, bool capture, unsigned frameBytes, TWaveCallback callback,
             uintptr_t instance, TWaveHandle handle);
    ~TAlsaPcm();

    // Starts the driver thread and returns once it has delivered the open
    // notification.
    void Run();
    // Header flags change under Lock, as the driver thread writes them too.
    TMMResult SetPrepared(TWaveHeader* hdr, bool prepared);
    // WAVERR_UNPREPARED for a header that was not prepared.
    TMMResult Add(TWaveHeader* hdr);
    void Start();
    void SetPaused(bool paused);
    // Returns every queued buffer through the notification routine, then returns.
    void Reset();
    bool Busy();
    // Delivers the close notification, ends the thread and closes the PCM.
    void Close();

    const bool Capture;

private:
    // Driver thread.
    void Main();
    void ReturnAll();
    // One read or write into the front buffer; false when nothing moved.
    bool Transfer(TWaveHeader* hdr);
    // aplay's recovery: -EPIPE prepare, -ESTRPIPE resume (then prepare).
    void Recover(int err);
    void Notify(uint32_t msg, TWaveHeader* hdr);
    bool HaveWork() const;

    snd_pcm_t* Pcm;
    const unsigned FrameBytes;
    snd_pcm_uframes_t MaxFrames = 0; // largest transfer; 0: no limit
    const TWaveCallback Callback;
    const uintptr_t Instance;
    const TWaveHandle Handle;

    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<TWaveHeader*> Queue;
    size_t Offset = 0; // bytes moved in the front buffer
    bool Started = false;
    bool Paused = false;
    bool PauseApplied = false;
    bool ResetRequest = false;
    uint64_t ResetsDone = 0;
    bool Quit = false;
    bool OpenDelivered = false;
    bool Lost = false; // capture device gone: nothing more is read
    std::thread Thread;
};
