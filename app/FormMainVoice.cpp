// The main window's voice recording state machine: Record, Play, Pause,
// Stop, the 10 ms timer, the end-of-playback event, a take stopped by a
// failed write, and the take a previous run left behind (GUI thread).
#include "app/Dialogs.h"
#include "app/ErrorHandler.h"
#include "app/FormMain.h"
#include "app/LevelMeter.h"
#include "audio/Audio.h"
#include "audio/WAVFile.h"
#include "audio/WAVRepair.h"
#include "base/Translate.h"
#include "platform/Program.h"
#include "ui_FormMain.h"
#include "workflow/MailSizeEstimate.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <cmath>

void TFormMain::ActionVoiceRecordExecute() {
    if (VoiceState == vsRecordPaused) {
        Audio1->Recorder()->Resume();
        StartTick = Now() - ElapsedMs;
    } else if (VoiceState == vsIdle) {
        if (TakeKept() && Dialogs().MessageBox(this, Tr("TFormMain", "Are you sure to overwrite?"),
                                               Tr("TFormMain", "Warning"), TMsgIcon::Warning,
                                               TMsgButtons::YesNo) == TMsgResult::No)
            return;
        Audio1->Recorder()->RecordToFile(RecordingFile());
        LabelTake->clear();
        Peaks->SixteenBit = Audio1->Recorder()->BitsPerSample() == TBPS::_16;
        Peaks->Take();
        LevelMeter1->Reset();
        if (!Audio1->Recorder()->Start()) {
            // A device that cannot record is said so, not shown as a take
            // that runs without sound.
            const std::string reason = Audio1->ErrorMessage();
            Audio1->Recorder()->Stop();
            ShowErrorBox(Tr("TFormMain", "The input device \"%1\" cannot record. %2")
                             .Arg(Audio1->InputDevice(), reason));
            return;
        }
        StartTick = Now();
    }
    VoiceState = vsRecording;
    SetVoiceEnabled(false, false, true, true);
    Timer1->start();
}

void TFormMain::ActionVoicePlayExecute() {
    if (VoiceState == vsPlayPaused) {
        Audio1->Player()->Resume();
        StartTick = Now() - ElapsedMs;
    } else if (VoiceState == vsIdle) {
        double duration;
        {
            TWAVFile reader;
            reader.LoadFromFile(RecordingFile());
            duration = reader.Duration();
        }
        ProgressBar1->setMinimum(0);
        ProgressBar1->setMaximum(static_cast<int>(std::lround(duration * 1000)));
        Audio1->Player()->PlayFile(RecordingFile(), 0);
        StartTick = Now();
    }
    VoiceState = vsPlaying;
    SetVoiceEnabled(false, false, true, true);
    Timer1->start();
}

void TFormMain::ActionVoicePauseExecute() {
    if (VoiceState == vsPlaying) {
        Audio1->Player()->Pause();
        VoiceState = vsPlayPaused;
        SetVoiceEnabled(true, false, false, true);
    } else if (VoiceState == vsRecording) {
        Audio1->Recorder()->Pause();
        VoiceState = vsRecordPaused;
        SetVoiceEnabled(false, true, false, true);
    }
    Timer1->stop();
}

void TFormMain::ActionVoiceStopExecute() {
    if (VoiceState == vsRecording || VoiceState == vsRecordPaused) {
        Audio1->Recorder()->Stop();
        LevelMeter1->Reset();
        ShowTake();
    } else
        Audio1->Player()->Stop(); // may run Audio1Played inside; Stop is idempotent
    VoiceState = vsIdle;
    ui->ActionVoicePlay->setEnabled(true);
    SetRecordEnabled(true);
    ui->ActionVoiceStop->setEnabled(false);
    SetSendEnabled(true);
    SetSaveAsEnabled(true);
    Timer1->stop();
    ProgressBar1->setValue(0);
    LabelLength->setText("0");
}

void TFormMain::Audio1Played(TPlayer* /*sender*/) {
    ActionVoiceStopExecute();
}

void TFormMain::Timer1Timer() {
    const uint32_t now = Now();
    ElapsedMs = now - StartTick; // unsigned: right across a wrap of the counter
    if (VoiceState == vsRecording)
        LevelMeter1->Update(Peaks->Take(), now);
    if (VoiceState == vsPlaying)
        ProgressBar1->setValue(std::min(static_cast<int64_t>(ElapsedMs),
                                        static_cast<int64_t>(ProgressBar1->maximum())));
    LabelLength->setText(QString::number(ElapsedMs / 1000));
}

void TFormMain::Audio1RecordError(const std::string& message) {
    if (VoiceState == vsRecording || VoiceState == vsRecordPaused)
        ActionVoiceStopExecute();
    ShowErrorBox(message);
}

void TFormMain::KeepLeftRecording() {
    const std::string path = RecordingFile();
    if (!FileExists(path))
        return;
    if (!RepairWAVFile(path)) {
        const std::string aside = MoveAsideFile(path);
        ui->StatusBar1->showMessage(QString::fromLocal8Bit(
            Tr("TFormMain", "The last recording could not be read; it was moved to %1")
                .Arg(aside)));
        return;
    }
    // As after a Stop of that take: it can be played and sent, and the
    // next Record asks before overwriting it.
    TWAVFile reader;
    reader.LoadFromFile(path);
    ElapsedMs = static_cast<uint32_t>(std::lround(reader.Duration() * 1000));
    ui->ActionVoicePlay->setEnabled(true);
    SetRecordEnabled(true);
    ui->ActionVoiceStop->setEnabled(false);
    SetSendEnabled(true);
    SetSaveAsEnabled(true);
    LabelLength->setText("0");
    ShowTake();
}

bool TFormMain::TakeKept() const {
    if (ElapsedMs != 0)
        return true;
    TWAVFile reader;
    return reader.LoadFromFile(RecordingFile()) && reader.Duration() > 0;
}

void TFormMain::ShowTake() {
    TWAVFile reader;
    reader.LoadFromFile(RecordingFile());
    const double seconds = reader.Duration();
    if (seconds <= 0) {
        LabelTake->clear();
        return;
    }
    // The size from the format and the encoder's bit rate, before anything
    // is encoded: the user knows what the mail weighs before Send.
    const auto s = static_cast<int64_t>(seconds);
    const int64_t bytes = EstimateMailBytes(seconds, reader.SampleRate, reader.Channels,
                                            ui->MemoContent->toPlainText().size());
    LabelTake->setText(tr("Recorded %1:%2, about %3 by mail")
                           .arg(s / 60)
                           .arg(s % 60, 2, 10, QChar('0'))
                           .arg(QString::fromStdString(SizeText(bytes))));
}
