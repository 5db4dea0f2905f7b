// TFormMain: the program's main window. It holds the message fields and the
// voice recording controls, owns every long-lived component, and runs the
// voice recording state machine (FormMainVoice.cpp) and the send workflow
// (FormMainSend.cpp). Everything here runs on the GUI thread.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TFormMain;
}
class QAction;
class QLabel;
class TLevelMeter;
class TPeakMailbox;
class QLineEdit;
class QProgressBar;
class QTimer;
class QWidget;
class TAudio;
class TFormOutbox;
class TOutboxScheduler;
class TPlayer;
class TSendWorkflow;
struct TGivenUpMail;
struct TRetrySchedule;
struct TSendFields;
class TWaveDeviceService;

enum TVoiceState : uint8_t {
    vsIdle = 0,
    vsPlaying = 1,
    vsRecording = 2,
    vsPlayPaused = 3,
    vsRecordPaused = 4,
};

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // waveService: the audio device layer; null selects ALSA. tickSource:
    // the millisecond tick counter; null selects the platform's.
    explicit TFormMain(QWidget* parent = nullptr, TWaveDeviceService* waveService = nullptr,
                       std::function<uint32_t()> tickSource = nullptr);
    ~TFormMain() override;

    TVoiceState VoiceState = vsIdle;
    uint32_t StartTick = 0;
    uint32_t ElapsedMs = 0;

    // The recording: "Quillet.wav" in UserDataDir() (the program's directory
    // unless installed read-only).
    static std::string RecordingFile();
    // The encoder's output: "Quillet.mp3" beside the recording.
    static std::string EncodedFile();

    // Reads the settings file into the recorder and the send workflow. A
    // value that cannot be used is shown in an error box, one per value,
    // and its default applied; the rest of the file still applies.
    void LoadSettings();

    // Command handlers.
    void ActionFileNewExecute();
    void ActionOptionsExecute();
    void ActionFileExitExecute();
    void ActionHelpAboutExecute();
    void EditCut1Execute();
    void EditCopy1Execute();
    void EditPaste1Execute();
    void ActionVoiceRecordExecute();
    void ActionVoicePlayExecute();
    void ActionVoicePauseExecute();
    void ActionVoiceStopExecute();
    void Timer1Timer();
    void Audio1Played(TPlayer* sender);
    // Shows the length of the take in the recording file and the size of
    // its mail, or clears it when there is no take.
    void ShowTake();

    // The send workflow's commands (FormMainSend.cpp).
    void SendExecute();
    void FileSaveAs1Execute();
    // The wait window's Cancel: stops the running send or save.
    void CancelSend();
    // Exit, closing the window or a termination signal during a send or a
    // save: cancels it, and the program ends once it has unwound.
    void CancelForExit();
    // A send or save of the user's, or the outbox in the background.
    bool SendRunning() const { return Sending || Busy || OutboxSending(); }

    // File > Outbox: the Outbox window (FormMainOutbox.cpp).
    void ActionFileOutboxExecute();

    // Screenshot mode: brings up the named state or dialog and returns the
    // widget to picture (nullptr for the plain main window).
    QWidget* ScreenshotWindow(const std::string& which);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Tests reach the controls and components through tests/app/FormMainAccess.h.
    friend struct TFormMainTestAccess;

    std::unique_ptr<Ui::TFormMain> ui;
    // Lives in the voice toolbar's row: the length label, the progress bar
    // and the input level meter.
    QWidget* Panel1 = nullptr;
    QLabel* LabelLength = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    TLevelMeter* LevelMeter1 = nullptr;
    // In the status bar: "Recorded m:ss, about N KB by mail" for the take
    // there is, else empty.
    QLabel* LabelTake = nullptr;
    // The recorded buffers' peaks, from the driver thread to the timer.
    std::unique_ptr<TPeakMailbox> Peaks;

    // Owned components. The send workflow owns the mail components.
    std::unique_ptr<QTimer> Timer1;
    std::unique_ptr<TAudio> Audio1;
    std::unique_ptr<TSendWorkflow> Workflow;
    // Sends the outbox in the background through Workflow.
    std::unique_ptr<TOutboxScheduler> Outbox;
    TFormOutbox* OutboxWindow = nullptr; // made at its first opening
    // In the status bar: "Outbox: N" while N voice mails wait.
    QLabel* LabelOutbox = nullptr;

    void CreationStep();
    void BuildBars();
    void BindActions();
    void Bind(QAction* action, void (TFormMain::*handler)());
    void LayoutClientPanel();
    // The single-line field with the focus, or nullptr (the memo).
    QLineEdit* FocusedLineEdit() const;
    void SetSendEnabled(bool enabled);
    void SetVoiceEnabled(bool play, bool record, bool pause, bool stop);
    void SetRecordEnabled(bool enabled);
    void SetSaveAsEnabled(bool enabled);
    void SetBusy(bool busy);
    // retry: the outbox's schedule; null: the usual one.
    void CreateWorkflow(const TRetrySchedule* retry = nullptr);
    // Asks whether to trust a refused certificate; Yes stores the pin.
    bool TrustCertificate(const std::string& host, const std::string& fingerprint,
                          const std::string& message);
    void BindSendActions();
    // The fields as the workflow takes them.
    TSendFields SendFields() const;
    // Stops a running take: the encoder needs a complete WAV file.
    void StopTakeForSend();
    void ShowWait(const std::string& text, bool show);
    void HideWait();

    // The outbox (FormMainOutbox.cpp).
    void CreateOutbox();
    bool OutboxSending() const;
    // A command that needs the workflow while the outbox sends in the
    // background: the background stops, and handler runs after it. True
    // when handler was put off so.
    bool PutOffForOutbox(void (TFormMain::*handler)());
    void ShowOutboxCount(size_t count);
    // One message box for each voice mail given up.
    void ShowGivenUp(const std::vector<TGivenUpMail>& mails);

    // What Record and Save As would be without a running send (see SetBusy).
    bool RecordEnabled = true;
    bool SaveAsEnabled = false;
    bool Busy = false;
    bool SendEnabled = true; // what Send would be without a running send
    bool Sending = false;
    bool ExitRequested = false; // an exit waits for the running send to unwind

    std::function<uint32_t()> Now;

    // Recording file handling at start-up and after a failed write
    // (FormMain.cpp, FormMainVoice.cpp).
    // New without deleting the recording file.
    void ClearForNewTake();
    // A take the next Record would replace: one stopped in this run, or a
    // recording file with sound in it, however start-up went.
    bool TakeKept() const;
    // Start-up: a recording left by the last run is repaired and kept as
    // after a Stop, or moved aside under a dated name when it cannot be.
    void KeepLeftRecording();
    // The audio component stopped the take because its file could not be
    // written: the error box, and the voice commands as after a Stop.
    void Audio1RecordError(const std::string& message);
};
