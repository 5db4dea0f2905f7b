// The driver thread of one ALSA PCM; see AlsaPcm.h. The PCM is opened
// non-blocking so that the thread waits in snd_pcm_wait with a time-out and
// sees reset and close requests within that time; it never spins.
#include "audio/AlsaPcm.h"

#include <cerrno>
#include <chrono>

namespace {
// Longest wait for the PCM before requests are looked at again.
constexpr int WaitSliceMs = 50;
} // namespace

TAlsaPcm::TAlsaPcm(snd_pcm_t* pcm, bool capture, unsigned frameBytes, TWaveCallback callback,
                   uintptr_t instance, TWaveHandle handle)
    : Capture(capture), Pcm(pcm), FrameBytes(frameBytes), Callback(callback), Instance(instance),
      Handle(handle) {
    // One transfer never asks for more than a period: some plugins (the file
    // plugin among them) refuse larger reads and leave the buffer untouched.
    snd_pcm_uframes_t bufferSize = 0, periodSize = 0;
    if (snd_pcm_get_params(pcm, &bufferSize, &periodSize) == 0 && periodSize > 0)
        MaxFrames = periodSize;
}

TAlsaPcm::~TAlsaPcm() {
    if (Thread.joinable())
        Close();
    if (Pcm)
        snd_pcm_close(Pcm);
}

void TAlsaPcm::Run() {
    Thread = std::thread([this] { Main(); });
    std::unique_lock<std::mutex> lock(Lock);
    Wake.wait(lock, [this] { return OpenDelivered; });
}

TMMResult TAlsaPcm::SetPrepared(TWaveHeader* hdr, bool prepared) {
    std::lock_guard<std::mutex> lock(Lock);
    if (hdr->Flags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    if (prepared)
        hdr->Flags |= WHDR_PREPARED;
    else
        hdr->Flags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

TMMResult TAlsaPcm::Add(TWaveHeader* hdr) {
    std::lock_guard<std::mutex> lock(Lock);
    if (!(hdr->Flags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    hdr->Flags = (hdr->Flags & ~WHDR_DONE) | WHDR_INQUEUE;
    hdr->BytesRecorded = 0;
    Queue.push_back(hdr);
    Wake.notify_all();
    return MMSYSERR_NOERROR;
}

void TAlsaPcm::Start() {
    std::lock_guard<std::mutex> lock(Lock);
    Started = true;
    Wake.notify_all();
}

void TAlsaPcm::SetPaused(bool paused) {
    std::lock_guard<std::mutex> lock(Lock);
    Paused = paused;
    Wake.notify_all();
}

void TAlsaPcm::Reset() {
    std::unique_lock<std::mutex> lock(Lock);
    const uint64_t target = ResetsDone + 1;
    ResetRequest = true;
    Wake.notify_all();
    Wake.wait(lock, [&] { return ResetsDone >= target; });
}

bool TAlsaPcm::Busy() {
    std::lock_guard<std::mutex> lock(Lock);
    return !Queue.empty();
}

void TAlsaPcm::Close() {
    {
        std::lock_guard<std::mutex> lock(Lock);
        Quit = true;
        Wake.notify_all();
    }
    if (Thread.joinable())
        Thread.join();
}

void TAlsaPcm::Notify(uint32_t msg, TWaveHeader* hdr) {
    if (Callback)
        Callback(Handle, msg, Instance, hdr, 0);
}

bool TAlsaPcm::HaveWork() const {
    if (Queue.empty() || Lost)
        return false;
    return Capture ? Started : !Paused;
}

void TAlsaPcm::Main() {
    Notify(Capture ? WIM_OPEN : WOM_OPEN, nullptr);
    {
        std::lock_guard<std::mutex> lock(Lock);
        OpenDelivered = true;
        Wake.notify_all();
    }
    for (;;) {
        TWaveHeader* hdr = nullptr;
        bool reset = false;
        bool pauseChange = false;
        {
            std::unique_lock<std::mutex> lock(Lock);
            Wake.wait(lock, [this] {
                return Quit || ResetRequest || HaveWork() || (!Capture && Paused != PauseApplied);
            });
            if (ResetRequest) {
                reset = true;
            } else if (!Capture && Paused != PauseApplied) {
                pauseChange = true;
                PauseApplied = Paused;
            } else if (HaveWork()) {
                hdr = Queue.front();
            } else if (Quit) {
                break;
            }
        }
        if (reset) {
            ReturnAll();
        } else if (pauseChange) {
            // Not every PCM can pause; one that cannot simply underruns and
            // is prepared again by the next write.
            if (snd_pcm_pause(Pcm, PauseApplied ? 1 : 0) < 0 && !PauseApplied)
                snd_pcm_prepare(Pcm);
        } else if (hdr && !Transfer(hdr)) {
            snd_pcm_wait(Pcm, WaitSliceMs);
        }
    }
    const snd_pcm_state_t state = snd_pcm_state(Pcm);
    if (!Capture && (state == SND_PCM_STATE_RUNNING || state == SND_PCM_STATE_PREPARED)) {
        // Let the last samples reach the speaker before the device closes;
        // a sound shorter than the start threshold is started by the drain.
        snd_pcm_nonblock(Pcm, 0);
        snd_pcm_drain(Pcm);
    }
    Notify(Capture ? WIM_CLOSE : WOM_CLOSE, nullptr);
}

void TAlsaPcm::ReturnAll() {
    snd_pcm_drop(Pcm);
    snd_pcm_prepare(Pcm);
    std::deque<TWaveHeader*> returned;
    size_t partial;
    {
        std::lock_guard<std::mutex> lock(Lock);
        returned.swap(Queue);
        partial = Offset;
        Offset = 0;
        Started = false;
    }
    bool first = true;
    for (TWaveHeader* hdr : returned) {
        // The buffer being filled comes back with what it holds.
        hdr->BytesRecorded = Capture && first ? static_cast<uint32_t>(partial) : 0;
        hdr->Flags = (hdr->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
        first = false;
        Notify(Capture ? WIM_DATA : WOM_DONE, hdr);
    }
    std::lock_guard<std::mutex> lock(Lock);
    ResetRequest = false;
    ++ResetsDone;
    Wake.notify_all();
}

bool TAlsaPcm::Transfer(TWaveHeader* hdr) {
    const size_t length = hdr->BufferLength - hdr->BufferLength % FrameBytes;
    snd_pcm_uframes_t frames = (length - Offset) / FrameBytes;
    if (MaxFrames > 0 && frames > MaxFrames)
        frames = MaxFrames;
    snd_pcm_sframes_t n = 0;
    if (frames > 0) {
        n = Capture ? snd_pcm_readi(Pcm, hdr->Data + Offset, frames)
                    : snd_pcm_writei(Pcm, hdr->Data + Offset, frames);
        if (n == -EAGAIN)
            return false;
        if (n < 0) {
            Recover(static_cast<int>(n));
            return true;
        }
    }
    bool done;
    {
        std::lock_guard<std::mutex> lock(Lock);
        Offset += static_cast<size_t>(n) * FrameBytes;
        done = Offset >= length;
        if (done) {
            Queue.pop_front();
            hdr->BytesRecorded = Capture ? static_cast<uint32_t>(Offset) : 0;
            hdr->Flags = (hdr->Flags & ~WHDR_INQUEUE) | WHDR_DONE;
            Offset = 0;
        }
    }
    if (done)
        Notify(Capture ? WIM_DATA : WOM_DONE, hdr);
    return n > 0 || done;
}

void TAlsaPcm::Recover(int err) {
    if (err == -ESTRPIPE) {
        int r;
        while ((r = snd_pcm_resume(Pcm)) == -EAGAIN)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (r < 0)
            snd_pcm_prepare(Pcm);
    } else if (err == -EPIPE) {
        snd_pcm_prepare(Pcm);
    } else if (Capture &&
               (err == -ENODEV || err == -ENXIO || err == -EBADFD || err == -ESHUTDOWN)) {
        // The device is gone (unplugged, its server ended): say so once and
        // read no more; reset and close still return the buffers.
        {
            std::lock_guard<std::mutex> lock(Lock);
            Lost = true;
        }
        Notify(WIM_DEVICE_LOST, nullptr);
        return;
    } else {
        // A lasting fault: try again later rather than spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(WaitSliceMs));
        snd_pcm_prepare(Pcm);
    }
    if (Capture)
        snd_pcm_start(Pcm);
}
