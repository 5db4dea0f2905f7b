// WAV playback through a spool file; see Player.h. The done notification
// runs on the driver thread and only counts, raises OnBufferPlayed and posts;
// refilling (data window) and closing (close window) run on the GUI thread.
#include "audio/Player.h"

#include "audio/Audio.h"
#include "base/Translate.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads up to count bytes, going on after short reads.
size_t ReadFully(TStream& s, uint8_t* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        const size_t n = s.Read(buffer + got, count - got);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// The "data" tag must lie within this many bytes after the fixed fields.
constexpr size_t SearchWindow = 256;

} // namespace

TPlayer::TPlayer(TAudio* owner)
    : TAudioSettings(owner), DataWindow(std::make_unique<TRequestQueue>()),
      CloseWindow(std::make_unique<TRequestQueue>()) {}

TPlayer::~TPlayer() = default;

void TPlayer::WaitForFileEnd() {
    while (FilePlaying) {
        ProcessPendingEvents();
        if (FilePlaying)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool TPlayer::PlayFile(const std::string& fileName, uint16_t repeatCount) {
    if (fileName.empty())
        return false;
    if (!Spool) {
        SavedChannels = ChannelsValue;
        SavedBits = BitsValue;
        SavedSampleRate = SampleRateValue;
    }
    Source = std::make_unique<TFileStream>(fileName, TFileStream::Mode::OpenRead);
    // The whole header is read before anything changes, so a file without
    // sound data leaves the format and the player as they were.
    uint8_t fixed[36];
    uint8_t window[SearchWindow];
    size_t windowGot = 0;
    int64_t dataStart = -1;
    uint8_t sizeBytes[4];
    if (ReadFully(*Source, fixed, sizeof fixed) == sizeof fixed) {
        windowGot = ReadFully(*Source, window, sizeof window);
        for (size_t i = 0; i + 4 <= windowGot; ++i) {
            if (std::memcmp(window + i, "data", 4) == 0) {
                Source->SetPosition(static_cast<int64_t>(sizeof fixed + i + 4));
                if (ReadFully(*Source, sizeBytes, 4) == 4)
                    dataStart = Source->Position();
                break;
            }
        }
    }
    if (dataStart < 0) {
        Source.reset();
        SetError(Tr("Audio", "No sound data found in \"%1\"").Arg(fileName));
        return false;
    }
    const TChannels channels = fixed[22] == 2 ? TChannels::Stereo : TChannels::Mono;
    const uint16_t rate = Get16(fixed + 24);
    const TBPS bits = fixed[34] > 8 ? TBPS::_16 : TBPS::_8;
    int32_t dataSize;
    std::memcpy(&dataSize, sizeBytes, 4);
    if (channels != ChannelsValue) {
        WaitForFileEnd();
        SetChannels(channels);
    }
    if (rate != SampleRateValue) {
        WaitForFileEnd();
        SetSampleRate(rate);
    }
    if (bits != BitsValue) {
        WaitForFileEnd();
        SetBitsPerSample(bits);
    }
    FilePlaying = true;
    if (!Spool) {
        // Create the spool first: if that raises, no device is left open.
        auto spool = std::make_unique<TSpoolFile>();
        if (!OpenDevice()) {
            FilePlaying = false;
            Source.reset();
            return false;
        }
        Spool = std::move(spool);
        RepeatCount = repeatCount;
        ReadPosition = 0;
    } else {
        Spool->Seek(0, TSeekOrigin::End);
    }
    Source->SetPosition(dataStart);
    uint8_t block[65536];
    int64_t left = dataSize > 0 ? dataSize : 0;
    while (left > 0) {
        const size_t n =
            Source->Read(block, static_cast<size_t>(std::min<int64_t>(left, sizeof block)));
        if (n == 0)
            break;
        Spool->Write(block, n);
        left -= static_cast<int64_t>(n);
    }
    if (ReadPosition == 0) {
        // The first fill counts as a pending refill: no completion that
        // arrives meanwhile is taken for the end of the sound.
        ++PendingRefills;
        const int32_t slots = 4 - QueuedCount;
        for (int32_t i = 0; i < slots; ++i)
            QueueNextBuffer();
        // With nothing at the device (empty sound data, or every write
        // refused) no completion would ever end the playback: end it here.
        if (--PendingRefills == 0 && QueuedCount == 0)
            PostEndRequest();
    }
    Source.reset();
    return true;
}

bool TPlayer::OpenDevice() {
    if (Open)
        return true;
    QueueIndex = 0;
    QueuedCount = 0;
    CompletionIndex = 1;
    EndRequested = false;
    EndHandled = false;
    PendingRefills = 0;
    const TMMResult r =
        Service().OutOpen(&Device, OwnerObj->AudioDeviceID(), Format.get(), &WaveOutProc,
                          reinterpret_cast<uintptr_t>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
    if (r != MMSYSERR_NOERROR) {
        SetDeviceError(Tr("Audio", "Could not open the output device for playing: "),
                       Service().OutGetErrorText(r));
        return false;
    }
    Open = true;
    InitHeaders();
    return true;
}

uint32_t TPlayer::QueueNextBuffer() {
    if (!Spool)
        return 0;
    EndRequested = false;
    const uint32_t slot = QueueIndex;
    uint8_t* data = DataBuffers[slot].get();
    const int64_t remembered = Spool->Position();
    Spool->SetPosition(ReadPosition);
    size_t got = ReadFully(*Spool, data, BufferSizeValue);
    if (got == 0 && RepeatCount > 0) {
        --RepeatCount;
        Spool->SetPosition(0);
        got = ReadFully(*Spool, data, BufferSizeValue);
    }
    ReadPosition = static_cast<int32_t>(Spool->Position());
    Spool->SetPosition(remembered);
    if (got > 0) {
        TWaveHeader* h = Headers[slot].get();
        h->BufferLength = static_cast<uint32_t>(got);
        h->Flags = 0;
        h->Loops = 0;
        // Counted before the write: the driver thread may finish the
        // buffer before OutWrite returns.
        QueueIndex = (slot + 1) % 4;
        ++QueuedCount;
        TMMResult r = Service().OutPrepareHeader(Device, h, sizeof(TWaveHeader));
        if (r == MMSYSERR_NOERROR)
            r = Service().OutWrite(Device, h, sizeof(TWaveHeader));
        if (r != MMSYSERR_NOERROR) {
            QueueIndex = slot;
            --QueuedCount;
            SetDeviceError("", Service().OutGetErrorText(r));
        }
    } else {
        Spool.reset();
    }
    return static_cast<uint32_t>(got);
}

void TPlayer::PostEndRequest() {
    if (EndRequested.exchange(true))
        return;
    EndHandled = false;
    CloseWindow->Post([this] {
        EndHandled = true;
        CloseDevice();
    });
}

void TPlayer::CloseDevice() {
    if (!Open) {
        SetError(Tr("Audio", "Player already closed"));
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const TMMResult r =
            Service().OutUnprepareHeader(Device, Headers[i].get(), sizeof(TWaveHeader));
        if (r != MMSYSERR_NOERROR) {
            SetDeviceError(Tr("Audio", "Error unpreparing header for playing: "),
                           Service().OutGetErrorText(r));
            return;
        }
    }
    const TMMResult r = Service().OutClose(Device);
    if (r != MMSYSERR_NOERROR) {
        SetDeviceError(Tr("Audio", "Error closing output device: "), Service().OutGetErrorText(r));
        return;
    }
    Open = false;
    if (FilePlaying && !Spool) {
        SetChannels(SavedChannels);
        SetSampleRate(SavedSampleRate);
        SetBitsPerSample(SavedBits);
        FilePlaying = false;
    }
    if (OwnerObj->OnPlayed)
        OwnerObj->OnPlayed(this);
}

void TPlayer::Stop() {
    if (!Open) {
        SetError(Tr("Audio", "Player already closed"));
        return;
    }
    if (Spool) {
        Spool.reset();
        // The next completion counts as the last one.
        QueueIndex = CompletionIndex.load();
        SetError("");
    }
    if (!EndRequested) {
        if (Service().OutReset(Device) != MMSYSERR_NOERROR) {
            SetError(Tr("Audio", "Error in waveOutReset"));
            return;
        }
        // Nothing was queued, so no completion will post the end request.
        if (QueuedCount == 0)
            PostEndRequest();
    }
    // The end request runs in here: the device closes, the format is
    // restored and OnPlayed is raised before Stop returns. A close that
    // failed leaves the device open; then stop waiting.
    while (Active && !EndHandled) {
        ProcessPendingEvents();
        if (Active && !EndHandled)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TPlayer::Pause() {
    if (Open)
        Service().OutPause(Device);
}

void TPlayer::Resume() {
    if (Open)
        Service().OutRestart(Device);
}

void TPlayer::WaveOutProc(TWaveHandle, uint32_t msg, uintptr_t instance, TWaveHeader*, uintptr_t) {
    auto* self = reinterpret_cast<TPlayer*>(instance);
    switch (msg) {
    case WOM_OPEN:
        self->Active = true;
        break;
    case WOM_CLOSE:
        self->Active = false;
        break;
    case WOM_DONE:
        if (self->Active)
            self->BufferDone();
        break;
    default:
        break;
    }
}

void TPlayer::BufferDone() {
    // The ring alone cannot tell "the last buffer finished" from "all four
    // finished before the GUI thread refilled any" (output faster than real
    // time, or a busy GUI thread): while refills are still pending this is
    // an ordinary completion, and the refill that finds nothing to play
    // ends the playback instead.
    const bool lastWritten = QueueIndex == CompletionIndex;
    if (lastWritten && PendingRefills == 0) {
        // The buffer just finished was the last one written.
        PostEndRequest();
        return;
    }
    // A completion that may still turn out to be the last raises no event.
    if (!lastWritten && OwnerObj->OnBufferPlayed)
        OwnerObj->OnBufferPlayed(this);
    ++PendingRefills;
    DataWindow->Post([this] {
        if (Open)
            QueueNextBuffer();
        if (--PendingRefills == 0 && Open && QueuedCount == 0)
            PostEndRequest();
    });
    CompletionIndex = (CompletionIndex + 1) % 4;
    --QueuedCount;
}
