// The main window's side of the send workflow: the Send and Save As
// commands hand the fields to TSendWorkflow (workflow/) and show what it
// reports: the wait window with its text, progress bar and Cancel button,
// the message boxes, and the question whether to trust a refused server
// certificate. GUI thread.
#include "app/Dialogs.h"
#include "app/FormMain.h"
#include "app/FormWait.h"
#include "app/OutboxScheduler.h"
#include "app/TextCodec.h"
#include "base/Translate.h"
#include "platform/Program.h"
#include "ui_FormMain.h"
#include "workflow/Outbox.h"
#include "workflow/SendWorkflow.h"

#include <QApplication>

namespace {

// The memo's text with CR LF between lines, as the mail body needs it.
std::string MemoText(const QString& plain) {
    std::string text = FromQt(plain), out;
    out.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string TFormMain::EncodedFile() {
    return UserDataDir() + "Quillet.mp3";
}

void TFormMain::CreateWorkflow(const TRetrySchedule* retry) {
    TWorkflowOptions options;
    options.RecordingFile = RecordingFile();
    options.EncodedFile = EncodedFile();
    options.OutboxDir = OutboxDirPath();
    if (retry)
        options.Retry = *retry;
    Workflow.reset(); // its anti-freeze makes way for the new one's
    Workflow = std::make_unique<TSendWorkflow>(std::move(options));
    Workflow->OnWaitText = [this](const std::string& text, bool show) { ShowWait(text, show); };
    Workflow->OnHideWait = [this] { HideWait(); };
    Workflow->OnProgress = [](int64_t done, int64_t total) {
        if (TFormWait* wait = FormWait())
            wait->SetProgress(done, total);
    };
    Workflow->OnMessage = [this](const std::string& text) { ShowMessage(this, text); };
    Workflow->OnTrustCertificate = [this](const std::string& host, const std::string& fingerprint,
                                          const std::string& message) {
        return TrustCertificate(host, fingerprint, message);
    };
    Workflow->OnInformation = [this](const std::string& text) {
        Dialogs().MessageBox(this, text, Tr("TFormMain", "Information"), TMsgIcon::Information,
                             TMsgButtons::Ok);
    };
}

bool TFormMain::TrustCertificate(const std::string& host, const std::string& fingerprint,
                                 const std::string& message) {
    const std::string question =
        message + "\n\n" +
        Tr("TFormMain",
           "SHA-256 fingerprint of the certificate:\n%1\n\nTrust this certificate for %2 "
           "from now on? Choose Yes only if your mail provider confirms this fingerprint; "
           "then press Send again.")
            .Arg(fingerprint, host);
    if (Dialogs().MessageBox(this, question, "Quillet", TMsgIcon::Warning, TMsgButtons::YesNo) !=
        TMsgResult::Yes)
        return false;
    WritePinnedCertificate(SettingsFilePath(), host, fingerprint);
    // Only the pin changes: the rest of the file is not re-read mid-send.
    TSendSettings settings = Workflow->Settings();
    settings.PinnedHost = host;
    settings.PinnedCertificate = fingerprint;
    Workflow->ApplySettings(settings);
    return true;
}

void TFormMain::BindSendActions() {
    Bind(ui->ActionFileSend, &TFormMain::SendExecute);
    Bind(ui->ActionToolbarSend, &TFormMain::SendExecute);
    Bind(ui->FileSaveAs1, &TFormMain::FileSaveAs1Execute);
}

void TFormMain::ShowWait(const std::string& text, bool show) {
    TFormWait* wait = FormWait();
    if (!wait)
        return;
    wait->SetText(text);
    if (show) {
        wait->OnCancel = [this] { CancelSend(); };
        wait->SetProgress(0, 0);
        wait->ShowWait();
    }
    wait->RepaintNow();
}

void TFormMain::HideWait() {
    if (TFormWait* wait = FormWait())
        wait->hide();
}

void TFormMain::SetBusy(bool busy) {
    // While a send or save runs, the commands that would change the message,
    // the settings or the recording being delivered are held disabled; their
    // own enabled state is kept and comes back afterwards.
    Busy = busy;
    ui->ActionVoiceRecord->setEnabled(RecordEnabled && !Busy);
    ui->FileSaveAs1->setEnabled(SaveAsEnabled && !Busy);
    ui->ActionFileNew->setEnabled(!Busy);
    ui->ActionOptions->setEnabled(!Busy);
    ui->ActionToolbarOptions->setEnabled(!Busy);
}

TSendFields TFormMain::SendFields() const {
    TSendFields fields;
    fields.To = FromQt(ui->EditTo->text());
    fields.Cc = FromQt(ui->EditCc->text());
    fields.Subject = FromQt(ui->EditSubject->text());
    fields.Body = MemoText(ui->MemoContent->toPlainText());
    return fields;
}

void TFormMain::StopTakeForSend() {
    if (VoiceState == vsRecording || VoiceState == vsRecordPaused)
        ActionVoiceStopExecute();
}

void TFormMain::CancelSend() {
    Workflow->Cancel();
}

void TFormMain::CancelForExit() {
    ExitRequested = true;
    Workflow->Cancel();
}

void TFormMain::SendExecute() {
    if (PutOffForOutbox(&TFormMain::SendExecute))
        return;
    SetSendEnabled(false);
    Sending = true;
    SetBusy(true);
    struct TRestore {
        TFormMain* Form;
        ~TRestore() {
            Form->HideWait();
            Form->Sending = false;
            Form->SetBusy(false);
            Form->SetSendEnabled(true);
        }
    } restore{this};
    StopTakeForSend();
    TSendFields fields = SendFields();
    try {
        if (Workflow->Send(fields))
            ShowMessage(this, Tr("FormMain", "Your voice e-mail has successfully sent out!"));
        else if (Workflow->Queued())
            Outbox->CheckSoon(); // the count, and the time of its next try
    } catch (const ESendCancelled& e) {
        HideWait();
        if (!ExitRequested)
            ShowMessage(this, e.Message);
    }
}

void TFormMain::FileSaveAs1Execute() {
    if (PutOffForOutbox(&TFormMain::FileSaveAs1Execute))
        return;
    std::string fileName;
    if (!Dialogs().SaveFileName(this, Tr("TFormMain", "Email files (*.eml)|*.eml"), "eml",
                                fileName))
        return;
    SetBusy(true);
    struct TRestore {
        TFormMain* Form;
        ~TRestore() {
            Form->HideWait();
            Form->SetBusy(false);
        }
    } restore{this};
    StopTakeForSend();
    try {
        Workflow->SaveAs(SendFields(), fileName);
    } catch (const ESendCancelled& e) {
        HideWait();
        if (!ExitRequested)
            ShowMessage(this, e.Message);
    }
}
