// The main window's send workflow: compress the recording with the external
// encoder, compose the mail from the window's fields, and hand it over by
// the chosen way (own SMTP server, the recipient domain's mail hosts, the
// default mail client), or save it as an .eml file. GUI thread; network
// waits keep the window serviced through the anti-freeze hook.
#include "app/Dialogs.h"
#include "app/FormMain.h"
#include "app/FormWait.h"
#include "app/Launchers.h"
#include "app/TextCodec.h"
#include "audio/Audio.h"
#include "base/Text.h"
#include "mail/delivery/NetAntiFreeze.h"
#include "mail/delivery/NetDNSResolver.h"
#include "mail/delivery/NetSMTP.h"
#include "mail/message/NetMessage.h"
#include "mapi/Email.h"
#include "platform/Network.h"
#include "platform/Process.h"
#include "platform/Program.h"
#include "ui_FormMain.h"

#include <algorithm>

namespace {

const char* const EncoderCommandLine = "lame.exe Quillet.wav Quillet.mp3";

class EEncoderError : public Exception {
public:
    explicit EEncoderError(const std::string& reason)
        : Exception("Could not compress the recording: " + reason) {}
};

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
    return ProgramDir() + "Quillet.mp3";
}

void TFormMain::CreateMailComponents() {
    NetMessage1 = std::make_unique<TNetMessage>();
    NetMessage1->SetEncoding(TNetMessageEncoding::meMIME);
    NetMessage1->Organization = HomePageUrl;
    NetSMTP1 = std::make_unique<TNetSMTP>();
    NetSMTP1->Port = 25;
    NetSMTP1->SetAuthenticationType(atLogin);
    NetSMTP1->ReadTimeout = 0;
    NetSMTP1->MaxLineAction = maException;
    NetSMTP1->MailAgent = MailAgentText;
    NetDNSResolver1 = std::make_unique<TNetDNSResolver>();
    NetDNSResolver1->Port = 53;
    NetDNSResolver1->QueryRecords.clear();
    EmailMAPI = std::make_unique<TEmail>();
    EmailMAPI->DownLoadFirst = false;
    EmailMAPI->NewSession = false;
    EmailMAPI->UnreadOnly = false;
    NetAntiFreeze1 = std::make_unique<TNetAntiFreeze>();
}

void TFormMain::ApplySettingsToComponents() {
    NetMessage1->From.Name = UserName;
    NetMessage1->From.Address = UserEmail;
    NetSMTP1->Host = SmtpServer;
    NetSMTP1->Username = SmtpUser;
    NetSMTP1->Password = SmtpPassword;
}

void TFormMain::ApplySecurityToComponents() {
    NetSMTP1->Port = SmtpPort;
    NetSMTP1->Security = SmtpSecurityFromText(SmtpSecurity);
    NetSMTP1->VerifyPeer = true;
}

void TFormMain::BindSendActions() {
    Bind(ui->ActionFileSend, &TFormMain::SendExecute);
    Bind(ui->ActionToolbarSend, &TFormMain::SendExecute);
    Bind(ui->FileSaveAs1, &TFormMain::FileSaveAs1Execute);
}

void TFormMain::SetWaitText(const std::string& text) {
    if (TFormWait* wait = FormWait()) {
        wait->SetText(text);
        wait->RepaintNow();
    }
    WaitTexts.push_back(text);
}

void TFormMain::ShowWait(const std::string& text) {
    if (TFormWait* wait = FormWait()) {
        wait->SetText(text);
        wait->ShowWait();
        wait->RepaintNow();
    }
    WaitTexts.push_back(text);
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

void TFormMain::SendExecute() {
    SetSendEnabled(false);
    Sending = true;
    SetBusy(true);
    // Whatever happens, the wait window goes away and the commands come back.
    struct TRestore {
        TFormMain* Form;
        ~TRestore() {
            Form->HideWait();
            Form->Sending = false;
            Form->SetBusy(false);
            Form->SetSendEnabled(true);
        }
    } restore{this};
    PrepareMessage();
    ShowWait("Sending, please wait...");
    if (SendPrepared())
        ShowMessage(this, "Your voice e-mail has successfully sent out!");
}

void TFormMain::FileSaveAs1Execute() {
    std::string fileName;
    if (!Dialogs().SaveFileName(this, "Email files (*.eml)|*.eml", "eml", fileName))
        return;
    SetBusy(true);
    struct TRestore {
        TFormMain* Form;
        ~TRestore() {
            Form->HideWait();
            Form->SetBusy(false);
        }
    } restore{this};
    PrepareMessage();
    NetMessage1->WriteToFile(fileName, false);
}

void TFormMain::RunEncoder() {
    // A failed run must never send an older recording under this one's name.
    std::string mp3 = EncodedFile();
    DeleteFile(mp3);
    int exitCode = 0;
    // The encoder's relative names resolve in the program's directory, where the recording is.
    if (RunAndWait(EncoderCommandLine, ProgramDir(), &exitCode) != 0)
        throw EEncoderError("the encoder (lame) could not be started.");
    if (exitCode != 0)
        throw EEncoderError("the encoder (lame) failed with exit code " + IntToStr(exitCode) + ".");
    if (!FileExists(mp3))
        throw EEncoderError("the encoder (lame) left no file " + mp3 + ".");
}

void TFormMain::PrepareMessage() {
    // The encoder needs a complete WAV file: a running take is stopped first.
    if (VoiceState == vsRecording || VoiceState == vsRecordPaused)
        ActionVoiceStopExecute();
    ShowWait("Compressing, please wait...");
    RunEncoder();
    std::string body = MemoText(ui->MemoContent->toPlainText());
    std::string attachment = EncodedFile();

    NetMessage1->ResetContent();
    NetMessage1->Parts.Clear();
    // The one raw header line this program adds; nothing else uses the list.
    NetMessage1->RawHeaders.Clear();
    NetMessage1->AddRawHeader("X-Unsent: 1");
    NetMessage1->Body.push_back(body);
    NetMessage1->Recipients.AssignText(FromQt(ui->EditTo->text()));
    NetMessage1->CCList.AssignText(FromQt(ui->EditCc->text()));
    NetMessage1->Subject = FromQt(ui->EditSubject->text());
    NetMessage1->Parts.AddAttachment(attachment);

    EmailMAPI->Recipient.clear();
    EmailMAPI->CC.clear();
    EmailMAPI->Attachment.clear();
    EmailMAPI->Recipient.push_back(FromQt(ui->EditTo->text()));
    EmailMAPI->CC.push_back(FromQt(ui->EditCc->text()));
    EmailMAPI->Subject = FromQt(ui->EditSubject->text()).substr(0, 255);
    EmailMAPI->SetLongText(body);
    EmailMAPI->Attachment.push_back(attachment);
    HideWait();
}

bool TFormMain::SendPrepared() {
    if (SendType == "MAPI") {
        try {
            int32_t result = EmailMAPI->SendMail();
            if (result != 0)
                throw Exception("");
        } catch (const Exception& e) {
            ShowMessage(this,
                        "Can't send the mail by your default email client, please check your email "
                        "account settings." +
                            e.Message);
            return false;
        }
        return true;
    }
    if (SendType == "SMTP") {
        NetSMTP1->SetAuthenticationType(atLogin);
        ApplySecurityToComponents();
        return DeliverToHost(SmtpServer);
    }
    if (SendType == "Direct") {
        // Mail exchangers take mail on port 25, whatever the submission port
        // is; their TLS is opportunistic and unverified (RFC 7435), as they
        // rarely carry certificates for their names.
        NetSMTP1->SetAuthenticationType(atNone);
        NetSMTP1->Port = 25;
        NetSMTP1->Security = ssAuto;
        NetSMTP1->VerifyPeer = false;
        if (!ResolveMailHosts())
            return false;
        for (const std::string& host : MailHosts)
            if (DeliverToHost(host))
                return true;
        return false;
    }
    return false;
}

std::string TFormMain::GetDnsServer() {
    std::string server;
    if (!GetFirstDnsServer(server))
        throw Exception("Error occured!");
    return server;
}

bool TFormMain::ResolveMailHosts() {
    MailHosts.clear();
    NetDNSResolver1->QueryResult.Clear();
    NetDNSResolver1->QueryRecords = {TQueryRecordTypes::qtMX};
    NetDNSResolver1->Host = GetDnsServer();
    NetDNSResolver1->ReceiveTimeout = 5000;
    std::string to = FromQt(ui->EditTo->text());
    size_t at = to.find('@');
    std::string domain = at == std::string::npos ? to : to.substr(at + 1);
    try {
        NetDNSResolver1->ResolveDomain(domain);
    } catch (const Exception& e) {
        Dialogs().MessageBox(this, "Error resolving domain: " + e.Message, "Information",
                             TMsgIcon::Information, TMsgButtons::Ok);
        return false;
    }
    // The mail hosts are the MX exchanges, most preferred first (equal
    // preferences in reply order); without MX records the domain itself
    // (implicit MX, RFC 5321 section 5.1). A lone MX "." (RFC 7505) means the
    // domain takes no mail.
    std::vector<const TMXRecord*> mx;
    const TQueryResult& result = NetDNSResolver1->QueryResult;
    for (int i = 0; i < result.Count(); ++i)
        if (auto* r = dynamic_cast<const TMXRecord*>(&result[i]))
            mx.push_back(r);
    std::stable_sort(mx.begin(), mx.end(), [](const TMXRecord* a, const TMXRecord* b) {
        return a->Preference < b->Preference;
    });
    if (mx.size() == 1 && (mx[0]->Exchange.empty() || mx[0]->Exchange == ".")) {
        Dialogs().MessageBox(this, "The domain " + domain + " does not accept mail (null MX).",
                             "Information", TMsgIcon::Information, TMsgButtons::Ok);
        return false;
    }
    auto addHost = [this](const std::string& host) {
        if (host.empty() || host == ".")
            return;
        for (const std::string& known : MailHosts)
            if (SameText(known, host))
                return;
        MailHosts.push_back(host);
    };
    for (const TMXRecord* r : mx)
        addHost(r->Exchange);
    if (mx.empty())
        addHost(domain);
    if (MailHosts.empty()) {
        Dialogs().MessageBox(this, "There is no response from the DNS server !", "Information",
                             TMsgIcon::Information, TMsgButtons::Ok);
        return false;
    }
    return true;
}

bool TFormMain::DeliverToHost(const std::string& host) {
    try {
        NetSMTP1->Host = host;
        SetWaitText("Connecting " + host + "...");
        NetSMTP1->ConnectAndGreet();
        SetWaitText("Sending by " + host + "...");
        NetSMTP1->SendMail(*NetMessage1);
        SetWaitText("Disconnecting " + host + " ...");
        NetSMTP1->QuitAndClose();
        return true;
    } catch (const Exception& e) {
        try {
            if (NetSMTP1->IsConnected())
                NetSMTP1->QuitAndClose();
        } catch (const Exception&) {
            // The host's own error is the one worth showing.
        }
        ShowMessage(this, e.Message + ":" + host);
        return false;
    }
}
