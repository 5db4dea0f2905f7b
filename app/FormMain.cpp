// Main window: layout, creation step, settings, New, and the plain commands.
#include "app/FormMain.h"

#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/FormAbout.h"
#include "app/FormOptions.h"
#include "app/FormOutbox.h"
#include "app/FormWait.h"
#include "app/Icons.h"
#include "app/Launchers.h"
#include "app/LevelMeter.h"
#include "app/OutboxScheduler.h"
#include "audio/Audio.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "platform/Clock.h"
#include "platform/Program.h"
#include "ui_FormMain.h"
#include "ui_FormOptions.h"
#include "workflow/SendWorkflow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>

TFormMain::TFormMain(QWidget* parent, TWaveDeviceService* waveService,
                     std::function<uint32_t()> tickSource)
    : QMainWindow(parent), ui(std::make_unique<Ui::TFormMain>()),
      Timer1(std::make_unique<QTimer>()), Audio1(std::make_unique<TAudio>(waveService)),
      Now(tickSource ? std::move(tickSource) : std::function<uint32_t()>(GetTickCount)) {
    ui->setupUi(this);
    setWindowIcon(ProgramIcon());
    BuildBars();
    BindActions();
    // Client area 400 x 411 (bars included), centred on the screen.
    resize(400, 411);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1->setInterval(10);
    connect(Timer1.get(), &QTimer::timeout, this,
            [this] { GuardHandler([this] { Timer1Timer(); }); });
    Audio1->Recorder()->SetTrigLevel(0);
    Audio1->Recorder()->SetTriggered(false);
    Audio1->OnPlayed = [this](TPlayer* sender) { GuardHandler([&] { Audio1Played(sender); }); };
    Peaks = std::make_unique<TPeakMailbox>();
    // Driver thread: only the number crosses to the GUI thread.
    Audio1->OnRecord = [peaks = Peaks.get()](TRecorder*, uint8_t* lp, uint8_t* rp, uint16_t size) {
        const bool wide = peaks->SixteenBit.load(std::memory_order_relaxed);
        peaks->Offer(PeakDbfs(lp, size, wide));
        if (rp)
            peaks->Offer(PeakDbfs(rp, size, wide));
    };
    CreateWorkflow();
    CreateOutbox();

    CreationStep();
}

TFormMain::~TFormMain() {
    Timer1->stop();
    // Releasing the audio component stops a take and completes a recording file.
    Audio1->OnPlayed = nullptr;
    Audio1.reset(); // before Peaks, which the driver thread may still fill
}

std::string TFormMain::RecordingFile() {
    return UserDataDir() + "Quillet.wav";
}

void TFormMain::CreationStep() {
    Audio1->OnRecordError = [this](const std::string& message) {
        GuardHandler([&] { Audio1RecordError(message); });
    };
    // A value the settings cannot use is shown and replaced by its default;
    // the kept take is still offered and the fields still filled.
    GuardHandler([this] { LoadSettings(); });
    GuardHandler([this] {
        // Unlike File > New, start-up never deletes a take the last run
        // left behind (it may have ended in a crash before a Send).
        ClearForNewTake();
        GuardHandler([this] { KeepLeftRecording(); });
        if (Workflow->Settings().UserName.empty()) {
            ShowMessage(this,
                        Tr("TFormMain", "This is the first time you use Quillet, please setup "
                                        "your account infomation."));
            auto* options = new TFormOptions(
                this, [this] { LoadSettings(); }, &Audio1->Service());
            options->ui->PageControl1->setCurrentIndex(1);
            Dialogs().ExecModal(options);
            options->deleteLater();
        }
    });
}

void TFormMain::LoadSettings() {
    const TSettings settings = ReadSettings(SettingsFilePath());
    Audio1->Recorder()->SetSampleRate(settings.Recording.SampleRate);
    Audio1->Recorder()->SetBitsPerSample(settings.Recording.SixteenBit ? TBPS::_16 : TBPS::_8);
    // A device that is gone (a microphone unplugged) gives way to the
    // default one until it is back; the setting keeps its name.
    std::string device = settings.Recording.Device;
    if (device != "default" && !Audio1->Service().InDevicePresent(device)) {
        ui->StatusBar1->showMessage(QString::fromLocal8Bit(
            Tr("TFormMain", "The input device \"%1\" is not available; recording from \"default\".")
                .Arg(device)));
        device = "default";
    }
    Audio1->SetInputDevice(device);
    Workflow->ApplySettings(settings.Send);
    TVoiceOptions voice;
    voice.Level = settings.Recording.Level;
    voice.Denoise = settings.Recording.Denoise;
    Workflow->ApplyVoiceOptions(voice);
    for (const TSettingsProblem& problem : settings.Problems)
        ShowErrorBox(problem.Message);
}

void TFormMain::ActionFileNewExecute() {
    // A running take is stopped first, so vsIdle always means no device is
    // active; its recording file is then deleted below.
    if (VoiceState != vsIdle)
        ActionVoiceStopExecute();
    DeleteFile(RecordingFile());
    // The last send's MP3 is of the take just deleted: it goes too, so no
    // copy of the recording stays behind.
    DeleteFile(EncodedFile());
    ClearForNewTake();
}

void TFormMain::ClearForNewTake() {
    VoiceState = vsIdle;
    SetVoiceEnabled(false, true, false, false);
    SetSendEnabled(false);
    LabelLength->setText("0");
    LabelTake->clear();
    ElapsedMs = 0;
    ui->EditTo->setText(SupportMailbox);
    ui->EditCc->clear();
    ui->EditSubject->setText(tr("This audio message brought to you by Quillet"));
    ui->MemoContent->clear();
}

void TFormMain::SetSendEnabled(bool enabled) {
    // A Stop inside a running send (the recording is stopped before it is
    // encoded) must not offer a second, nested send.
    SendEnabled = enabled;
    ui->ActionFileSend->setEnabled(enabled && !Sending);
    ui->ActionToolbarSend->setEnabled(enabled && !Sending);
}

void TFormMain::SetRecordEnabled(bool enabled) {
    RecordEnabled = enabled;
    ui->ActionVoiceRecord->setEnabled(enabled && !Busy);
}

void TFormMain::SetSaveAsEnabled(bool enabled) {
    SaveAsEnabled = enabled;
    ui->FileSaveAs1->setEnabled(enabled && !Busy);
}

void TFormMain::SetVoiceEnabled(bool play, bool record, bool pause, bool stop) {
    ui->ActionVoicePlay->setEnabled(play);
    SetRecordEnabled(record);
    ui->ActionVoicePause->setEnabled(pause);
    ui->ActionVoiceStop->setEnabled(stop);
}

void TFormMain::BuildBars() {
    ui->ActionToolbarSend->setIcon(SendIcon());
    ui->ActionToolbarOptions->setIcon(OptionsIcon());
    ui->ActionVoiceRecord->setIcon(RecordIcon());
    ui->ActionVoicePlay->setIcon(PlayIcon());
    ui->ActionVoicePause->setIcon(PauseIcon());
    ui->ActionVoiceStop->setIcon(StopIcon());

    Panel1 = new QWidget(ui->ActionToolBar2);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedSize(205, 26);
    LabelLength = new QLabel("0", Panel1);
    LabelLength->setObjectName("LabelLength");
    LabelLength->setGeometry(0, 8, 33, 13);
    LabelLength->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabelLength->setAccessibleDescription(tr("Seconds recorded or played"));
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(40, 5, 97, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(tr("Playback position"));
    LevelMeter1 = new TLevelMeter(Panel1);
    LevelMeter1->setGeometry(143, 9, 58, 9);
    ui->ActionToolBar2->addWidget(Panel1);
    LabelTake = new QLabel(ui->StatusBar1);
    LabelTake->setObjectName("LabelTake");
    ui->StatusBar1->addPermanentWidget(LabelTake);
}

void TFormMain::Bind(QAction* action, void (TFormMain::*handler)()) {
    // Errors that escape a command go to the application-wide handler.
    connect(action, &QAction::triggered, this,
            [this, handler] { GuardHandler([&] { (this->*handler)(); }); });
}

void TFormMain::BindActions() {
    Bind(ui->ActionFileNew, &TFormMain::ActionFileNewExecute);
    Bind(ui->ActionOptions, &TFormMain::ActionOptionsExecute);
    Bind(ui->ActionToolbarOptions, &TFormMain::ActionOptionsExecute);
    Bind(ui->ActionFileExit, &TFormMain::ActionFileExitExecute);
    Bind(ui->ActionHelpAbout, &TFormMain::ActionHelpAboutExecute);
    Bind(ui->EditCut1, &TFormMain::EditCut1Execute);
    Bind(ui->EditCopy1, &TFormMain::EditCopy1Execute);
    Bind(ui->EditPaste1, &TFormMain::EditPaste1Execute);
    Bind(ui->ActionVoiceRecord, &TFormMain::ActionVoiceRecordExecute);
    Bind(ui->ActionVoicePlay, &TFormMain::ActionVoicePlayExecute);
    Bind(ui->ActionVoicePause, &TFormMain::ActionVoicePauseExecute);
    Bind(ui->ActionVoiceStop, &TFormMain::ActionVoiceStopExecute);
    BindSendActions();
    // Esc cancels a running send from the main window too (the wait
    // window seldom has the keyboard).
    auto* cancel = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancel->setContext(Qt::ApplicationShortcut);
    connect(cancel, &QShortcut::activated, this, [this] {
        // Not the outbox in the background: it is no send of the user's.
        if (Sending || Busy)
            CancelSend();
    });

    connect(ui->HelpContents1, &QAction::triggered, this, [] { GuardHandler(ShowHelp); });
    connect(ui->ActionHelpWebsite, &QAction::triggered, this, [] { GuardHandler(OpenHomePage); });
    connect(ui->ActionHelpContactUs, &QAction::triggered, this,
            [] { GuardHandler(OpenSupportMail); });
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutClientPanel();
}

// The edits stretch to the right and the memo in both directions, keeping
// the margins they have at the design size.
void TFormMain::LayoutClientPanel() {
    QWidget* client = ui->PanelClient;
    int w = client->width(), h = client->height();
    if (w <= 0 || h <= 0)
        return;
    for (QWidget* edit : {static_cast<QWidget*>(ui->EditTo), static_cast<QWidget*>(ui->EditCc),
                          static_cast<QWidget*>(ui->EditSubject)}) {
        QRect g = edit->geometry();
        edit->setGeometry(g.x(), g.y(), std::max(40, w - g.x() - 8), g.height());
    }
    QRect m = ui->MemoContent->geometry();
    ui->MemoContent->setGeometry(m.x(), m.y(), std::max(40, w - m.x() - 7),
                                 std::max(40, h - m.y() - 13));
}

void TFormMain::ActionOptionsExecute() {
    auto* options = new TFormOptions(
        this, [this] { LoadSettings(); }, &Audio1->Service());
    Dialogs().ExecModal(options);
    options->deleteLater();
}

void TFormMain::ActionFileExitExecute() {
    if (SendRunning())
        CancelForExit();
    QApplication::quit();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // The window may close during a send: the send is cancelled and the
    // program ends when it has unwound; the wait window goes with it.
    if (SendRunning())
        CancelForExit();
    HideWait();
    QMainWindow::closeEvent(event);
}

void TFormMain::ActionHelpAboutExecute() {
    // A fresh box at each opening.
    auto* about = new TFormAbout(this);
    Dialogs().ExecModal(about);
    about->deleteLater();
}

// The edit commands act on the field with the focus; the memo when none of
// the single-line fields has it.
QLineEdit* TFormMain::FocusedLineEdit() const {
    QWidget* f = QApplication::focusWidget();
    for (QLineEdit* e : {ui->EditTo, ui->EditCc, ui->EditSubject})
        if (f == e)
            return e;
    return nullptr;
}

void TFormMain::EditCut1Execute() {
    if (QLineEdit* e = FocusedLineEdit())
        e->cut();
    else
        ui->MemoContent->cut();
}
void TFormMain::EditCopy1Execute() {
    if (QLineEdit* e = FocusedLineEdit())
        e->copy();
    else
        ui->MemoContent->copy();
}
void TFormMain::EditPaste1Execute() {
    if (QLineEdit* e = FocusedLineEdit())
        e->paste();
    else
        ui->MemoContent->paste();
}

QWidget* TFormMain::ScreenshotWindow(const std::string& which) {
    if (which == "options" || which == "options-account") {
        auto* options = new TFormOptions(
            this, [this] { LoadSettings(); }, &Audio1->Service());
        options->ui->PageControl1->setCurrentIndex(which == "options" ? 0 : 1);
        options->show();
        return options;
    }
    if (which == "outbox") {
        ActionFileOutboxExecute();
        return OutboxWindow;
    }
    if (which == "recording") {
        ui->EditTo->setText("friend@example.org");
        ui->MemoContent->setPlainText("Hello,\nhere is my voice message.");
        ActionVoiceRecordExecute();
        return this;
    }
    return nullptr;
}
