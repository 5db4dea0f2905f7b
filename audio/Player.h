// TPlayer: plays WAV files through the wave output device. It adopts the
// file's format for the playback and restores the previous one afterwards,
// spools the sound data into "PLAY.TMP" and streams the device from there,
// repeats, appends a further file, and raises OnPlayed once the device has
// closed. The spool file is private to the user and removed as soon as its
// sound is with the device (SpoolFile.h). Done notifications arrive on the driver thread; refilling
// and closing are posted back to the GUI thread.
#pragma once

#include "audio/AudioSettings.h"
#include "audio/SpoolFile.h"
#include "base/Stream.h"
#include "platform/EventQueue.h"

#include <memory>
#include <string>

class TPlayer : public TAudioSettings {
public:
    explicit TPlayer(TAudio* owner);
    ~TPlayer() override;

    // Starts playing, or appends to the playback in progress. Raises
    // EFOpenError for a missing file and EFCreateError when the spool file
    // cannot be created; false with ErrorMessage otherwise.
    bool PlayFile(const std::string& fileName, uint16_t repeatCount = 0);
    // Ends playback; the device is closed and OnPlayed raised before it returns.
    void Stop();
    void Pause();
    void Resume();

    bool Playing() const { return FilePlaying; }
    // The spool file's path while there is one, otherwise "".
    std::string SpoolFileName() const { return Spool ? Spool->FileName() : std::string(); }

private:
    bool OpenDevice();
    uint32_t QueueNextBuffer();
    void CloseDevice();
    // Waits, processing GUI events, until a running file has finished.
    void WaitForFileEnd();
    // Driver thread.
    static void WaveOutProc(TWaveHandle device, uint32_t msg, uintptr_t instance,
                            TWaveHeader* param1, uintptr_t param2);
    void BufferDone();
    void PostEndRequest();

    TWaveHandle Device = 0;
    uint16_t RepeatCount = 0;
    int32_t ReadPosition = 0;
    std::unique_ptr<TSpoolFile> Spool;
    bool FilePlaying = false;
    std::unique_ptr<TFileStream> Source;
    TChannels SavedChannels = TChannels::Mono;
    TBPS SavedBits = TBPS::_8;
    uint16_t SavedSampleRate = 11025;
    std::atomic<bool> EndRequested{false};
    // The close window's end request has run (Stop waits for it).
    std::atomic<bool> EndHandled{false};
    // Refill requests posted by the driver thread and not yet run.
    std::atomic<int32_t> PendingRefills{0};
    std::unique_ptr<TRequestQueue> DataWindow;
    std::unique_ptr<TRequestQueue> CloseWindow;
};
