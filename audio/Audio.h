// TAudio: the audio component through which the main window records and
// plays sound. It owns the recorder, the player and the mixer object over a
// wave device service (the ALSA backend unless a test passes its own), and
// reports every failure in ErrorMessage instead of raising.
//
// Usage (GUI thread, with a QCoreApplication running):
//   TAudio audio;                                  // or TAudio audio(&service)
//   audio.OnPlayed = [](TPlayer* sender) { ... };  // end of playback, GUI thread
//   audio.OnBufferPlayed = ...;                    // driver thread: no GUI calls
//   audio.OnRecordError = [](const std::string& m) { ... };  // take stopped, GUI thread
//   audio.Recorder()->SetSampleRate(22050);        // player follows unless SeparateCtrls
//   audio.Recorder()->SetBitsPerSample(TBPS::_16);
//   audio.Recorder()->SetTrigLevel(0); audio.Recorder()->SetTriggered(false);
//   audio.Recorder()->RecordToFile(path);          // raises EFCreateError
//   if (!audio.Recorder()->Start()) show(audio.ErrorMessage());
//   ... Pause() / Resume() ... audio.Recorder()->Stop();   // completes the file
//   TWAVFile f; f.LoadFromFile(path); f.Duration();        // seconds, 0 when unknown
//   audio.Player()->PlayFile(path);                // raises EFOpenError; false + ErrorMessage
//   audio.Player()->Pause(); Resume(); Stop();     // Stop raises OnPlayed before it returns
//   audio.Shutdown();                              // on session end: finalises a recording
// Stop and PlayFile process GUI events while they wait, so handlers can run
// inside them.
#pragma once

#include "audio/MixerSettings.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "audio/WaveDevice.h"
#include "platform/EventQueue.h"

#include <functional>
#include <memory>
#include <string>

using TNotifyAudioRecordEvent =
    std::function<void(TRecorder* sender, uint8_t* lp, uint8_t* rp, uint16_t bufferSize)>;
using TNotifyBufferPlayedEvent = std::function<void(TPlayer* sender)>;
using TNotifyPlayedEvent = std::function<void(TPlayer* sender)>;
using TNotifyRecordError = std::function<void(const std::string& message)>;
using TNotifyMixerChange =
    std::function<void(TMixerSettings* sender, uint16_t destination, uint16_t source)>;

class TAudio {
public:
    // service: the device layer; null selects the process's ALSA service.
    explicit TAudio(TWaveDeviceService* service = nullptr);
    // Stops playback and recording and completes a recording in progress.
    ~TAudio();
    TAudio(const TAudio&) = delete;
    TAudio& operator=(const TAudio&) = delete;

    TRecorder* Recorder() const { return RecorderObj.get(); }
    TPlayer* Player() const { return PlayerObj.get(); }
    TMixerSettings* Mixer() const { return MixerObj.get(); }

    int32_t AudioDeviceID() const { return DeviceID; }
    // 10 and above select the default device (-1); rebuilds both objects.
    void SetAudioDeviceID(int32_t value);
    // The capture device by name (InDeviceNames); empty: AudioDeviceID.
    const std::string& InputDevice() const { return InputDeviceName; }
    void SetInputDevice(const std::string& name) { InputDeviceName = name; }
    int32_t MixerDeviceID() const { return MixerID; }
    void SetMixerDeviceID(int32_t value);
    bool SeparateCtrls = false;
    const std::string& Version() const { return VersionText; }
    // Ignores the value: the version is fixed.
    void SetVersion(const std::string& value);
    const std::string& ErrorMessage() const { return ErrorText; }
    // The steps of destruction; safe to call twice. Also what the program
    // calls when the desktop session ends, so a recording is finalised.
    void Shutdown();

    // Driver thread.
    TNotifyAudioRecordEvent OnRecord;
    // Driver thread.
    TNotifyBufferPlayedEvent OnBufferPlayed;
    TNotifyPlayedEvent OnPlayed;
    // A write to the recording failed: the take has been stopped and its
    // file completed with what was written. GUI thread; not raised while
    // the component is being released.
    TNotifyRecordError OnRecordError;
    TNotifyMixerChange OnMixerChange;

    TWaveDeviceService& Service() const { return *ServiceObj; }

private:
    friend class TAudioSettings;
    friend class TRecorder;
    friend class TPlayer;
    friend class TMixerSettings;

    TWaveDeviceService* ServiceObj;
    std::string VersionText;
    int32_t DeviceID = -1;
    std::string InputDeviceName;
    std::unique_ptr<TRecorder> RecorderObj;
    std::unique_ptr<TPlayer> PlayerObj;
    std::unique_ptr<TRequestQueue> Window;
    uint32_t WaveFormatSize = 0;
    int32_t MixerID = 0;
    std::unique_ptr<TMixerSettings> MixerObj;
    std::string ErrorText;
    bool ShutDown = false;
};

// The process-wide ALSA service (created on first use).
TWaveDeviceService& AlsaWaveService();
