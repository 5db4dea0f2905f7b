// The send workflow; see SendWorkflow.h. The steps keep the wait texts and
// messages the user knows; a cancel unwinds through them untouched.
#include "workflow/SendWorkflow.h"

#include "base/Text.h"
#include "dns/NetDNSResolver.h"
#include "mail/message/NetAddressCheck.h"
#include "mail/message/NetMessage.h"
#include "mail/message/NetMessageWriter.h"
#include "mapi/Email.h"
#include "net/NetIOHandlerTLS.h"
#include "net/NetIdna.h"
#include "platform/Network.h"
#include "platform/Program.h"
#include "smtp/NetSMTP.h"
#include "workflow/Encoder.h"
#include "workflow/MailHosts.h"
#include "workflow/MessageId.h"

#include <algorithm>

namespace {

const char* const HomePage = "http://www.quillet.example/";
const char* const MailAgentText = "Quillet(http://www.quillet.example/)";

// Counts the bytes the writer produces, for the progress of an upload;
// gives the anti-freeze its chance as a large attachment is encoded.
class TCountingOutput : public TNetLineOutput {
public:
    int64_t Bytes = 0;
    void WriteLine(const std::string& text) override { Add(text.size() + 2); }
    void WriteText(const std::string& text) override { Add(text.size()); }
    void WriteBytes(const void*, size_t count, bool) override { Add(count); }

private:
    void Add(size_t n) {
        Bytes += static_cast<int64_t>(n);
        if ((Bytes >> 20) != FLastMb) {
            FLastMb = Bytes >> 20;
            TNetAntiFreezeBase::DoProcess(false);
        }
    }
    int64_t FLastMb = 0;
};

// The time limits of one setting: every reply and every stalled write get
// it, the reply to "." at least ten minutes (RFC 5321 4.5.3.2.6).
void ApplyTimeLimits(TSmtpOptions& options, int32_t seconds) {
    const int32_t ms = seconds > 0 ? (seconds > 2000000 ? 2000000000 : seconds * 1000) : 0;
    // The connect too: every address of the host raced within it.
    options.ConnectTimeout = ms;
    options.ReplyTimeout = ms;
    options.WriteTimeout = ms;
    options.DataReplyTimeout = ms > 0 ? std::max<int32_t>(ms, 600000) : 0;
}

} // namespace

TSendWorkflow::TSendWorkflow(TWorkflowOptions options)
    : FOptions(std::move(options)), FAntiFreeze(std::make_unique<TSendAntiFreeze>()),
      FMessage(std::make_unique<TNetMessage>()), FMapi(std::make_unique<TEmail>()) {
    FMessage->SetEncoding(TNetMessageEncoding::meMIME);
    FMessage->Organization = HomePage;
    FMapi->DownLoadFirst = false;
    FMapi->NewSession = false;
    FMapi->UnreadOnly = false;
}

TSendWorkflow::~TSendWorkflow() = default;

void TSendWorkflow::ApplySettings(const TSendSettings& settings) {
    FSettings = settings;
    FMessage->From.Name = settings.UserName;
    FMessage->From.Address = settings.UserEmail;
}

TSmtpOptions TSendWorkflow::OwnServerOptions() const {
    TSmtpOptions o;
    o.Host = FSettings.SmtpServer;
    o.Port = FSettings.SmtpPort;
    o.Security = FSettings.SmtpSecurity;
    o.CAFile = FSettings.CAFile;
    // A pin belongs to the host it was made for.
    if (!FSettings.PinnedHost.empty() && SameText(FSettings.PinnedHost, FSettings.SmtpServer))
        o.PinnedSha256 = FSettings.PinnedCertificate;
    o.Authentication = atLogin;
    o.Username = FSettings.SmtpUser;
    o.Password = FSettings.SmtpPassword;
    o.MailAgent = MailAgentText;
    o.HostAddresses = FixedAddresses(o.Host);
    ApplyTimeLimits(o, FSettings.TimeoutSeconds);
    return o;
}

std::vector<std::string> TSendWorkflow::FixedAddresses(const std::string& host) const {
    for (const auto& [name, addresses] : FOptions.HostAddresses)
        if (SameText(name, host))
            return addresses;
    return {};
}

TSmtpOptions TSendWorkflow::MailExchangerOptions(const std::string& host,
                                                 const std::vector<std::string>& recipients) const {
    // Mail exchangers take mail on port 25, whatever the submission port
    // is; their TLS is opportunistic and unverified (RFC 7435), as they
    // rarely carry certificates for their names. No login.
    TSmtpOptions o;
    o.Host = host;
    o.Port = 25;
    o.Security = ssAuto;
    o.VerifyPeer = false;
    o.MailAgent = MailAgentText;
    o.EnvelopeRecipients = recipients;
    o.HostAddresses = FixedAddresses(host);
    ApplyTimeLimits(o, FSettings.TimeoutSeconds);
    return o;
}

void TSendWorkflow::Cancel() {
    if (FRunning)
        FAntiFreeze->RequestCancel();
}

void TSendWorkflow::ShowWait(const std::string& text) {
    if (OnWaitText)
        OnWaitText(text, true);
}

void TSendWorkflow::SetWaitText(const std::string& text) {
    if (OnWaitText)
        OnWaitText(text, false);
}

void TSendWorkflow::HideWait() {
    if (OnHideWait)
        OnHideWait();
}

void TSendWorkflow::Progress(int64_t done, int64_t total) {
    if (done == FShown)
        return;
    FShown = done;
    if (OnProgress)
        OnProgress(done, total);
}

namespace {
// Marks the workflow busy for one run; a cancel belongs to the run it was made in.
struct TRunScope {
    bool& Running;
    TSendAntiFreeze& AntiFreeze;
    TRunScope(bool& running, TSendAntiFreeze& antiFreeze)
        : Running(running), AntiFreeze(antiFreeze) {
        Running = true;
        AntiFreeze.Reset();
    }
    ~TRunScope() {
        Running = false;
        AntiFreeze.Reset();
    }
};
} // namespace

void TSendWorkflow::CheckFields(const TSendFields& fields, bool sending) const {
    CheckRecipientText(fields.To, "To field");
    CheckRecipientText(fields.Cc, "Cc field");
    CheckHeaderText("subject", fields.Subject);
    CheckHeaderText("name in Options", FSettings.UserName);
    // The own address becomes the envelope sender of an SMTP delivery; the
    // default mail client uses its own.
    if (sending ? FSettings.SendType != TSendType::Mapi : !FSettings.UserEmail.empty())
        CheckPlainAddress(FSettings.UserEmail);
}

bool TSendWorkflow::Send(const TSendFields& fields) {
    // Refused input sends nothing and runs no encoder.
    CheckFields(fields, true);
    TRunScope run(FRunning, *FAntiFreeze);
    PrepareMessage(fields);
    ShowWait("Sending, please wait...");
    return SendPrepared();
}

void TSendWorkflow::SaveAs(const TSendFields& fields, const std::string& fileName) {
    CheckFields(fields, false);
    TRunScope run(FRunning, *FAntiFreeze);
    PrepareMessage(fields);
    FAntiFreeze->CheckCancel();
    FMessage->WriteToFile(fileName, false);
}

void TSendWorkflow::PrepareMessage(const TSendFields& fields) {
    ShowWait("Compressing, please wait...");
    TEncoderJob job;
    job.CommandLine = FOptions.EncoderCommandLine;
    // The encoder's relative names resolve where the recording is.
    job.WorkDir = ExtractFilePath(FOptions.RecordingFile);
    job.InputFile = FOptions.RecordingFile;
    job.OutputFile = FOptions.EncodedFile;
    FShown = -1;
    RunEncoder(job, [this](int64_t done, int64_t total) { Progress(done, total); });
    ComposeMessage(fields);
    ComposeDefaultClientMail(fields);
    HideWait();
}

void TSendWorkflow::ComposeMessage(const TSendFields& fields) {
    FMessage->ResetContent();
    FMessage->Parts.Clear();
    // The one raw header line this program adds; nothing else uses the list.
    FMessage->RawHeaders.Clear();
    FMessage->AddRawHeader("X-Unsent: 1");
    // A fresh identifier for every send and save: receivers refuse or
    // thread wrongly mail without one.
    FMessage->AddRawHeader("Message-ID: " + NewMessageId(FMessage->From.Address));
    FMessage->Body.push_back(fields.Body);
    FMessage->Recipients.AssignText(fields.To);
    FMessage->CCList.AssignText(fields.Cc);
    FMessage->Subject = fields.Subject;
    FMessage->Parts.AddAttachment(FOptions.EncodedFile);
    FTo = fields.To;
}

void TSendWorkflow::ComposeDefaultClientMail(const TSendFields& fields) {
    FMapi->Recipient.clear();
    FMapi->CC.clear();
    FMapi->Attachment.clear();
    FMapi->Recipient.push_back(fields.To);
    FMapi->CC.push_back(fields.Cc);
    FMapi->Subject = fields.Subject;
    FMapi->SetLongText(fields.Body);
    FMapi->Attachment.push_back(FOptions.EncodedFile);
}

bool TSendWorkflow::SendPrepared() {
    switch (FSettings.SendType) {
    case TSendType::Mapi:
        return SendToDefaultClient();
    case TSendType::Smtp:
        return DeliverToHost(OwnServerOptions());
    case TSendType::Direct:
        return SendDirect();
    case TSendType::None:
        break;
    }
    return false;
}

bool TSendWorkflow::SendToDefaultClient() {
    try {
        int32_t result = FMapi->SendMail();
        if (result != 0)
            throw Exception("");
    } catch (const ESendCancelled&) {
        throw;
    } catch (const Exception& e) {
        if (OnMessage)
            OnMessage("Can't send the mail by your default email client, please check your "
                      "email account settings." +
                      e.Message);
        return false;
    }
    return true;
}

std::vector<TSendWorkflow::TDomainRecipients> TSendWorkflow::RecipientDomains() const {
    std::vector<TDomainRecipients> groups;
    for (const TNetEMailAddressList* list :
         {&FMessage->Recipients, &FMessage->CCList, &FMessage->BccList}) {
        for (const TNetEMailAddressItem& item : list->Items) {
            size_t at = item.Address.rfind('@');
            std::string domain =
                at == std::string::npos ? item.Address : item.Address.substr(at + 1);
            auto group =
                std::find_if(groups.begin(), groups.end(), [&](const TDomainRecipients& g) {
                    return SameText(g.Domain, domain);
                });
            if (group == groups.end())
                group = groups.insert(groups.end(), TDomainRecipients{domain, {}});
            group->Addresses.push_back(item.Address);
        }
    }
    return groups;
}

bool TSendWorkflow::SendDirect() {
    std::vector<TDomainRecipients> groups = RecipientDomains();
    if (groups.size() <= 1) {
        // One domain: its hosts in turn, each failure shown as it happens.
        std::string domain = groups.empty() ? FTo : groups[0].Domain;
        if (!ResolveMailHosts(domain))
            return false;
        return DeliverToDomain({});
    }
    // Several domains: one transaction per domain with only its recipients,
    // the same text for all, and one report at the end. A domain that took
    // the mail is never sent it again.
    std::string failed, accepted;
    FCollectFailures = true;
    for (const TDomainRecipients& group : groups) {
        FLastFailure.clear();
        bool delivered = false;
        try {
            if (ResolveMailHosts(group.Domain))
                delivered = DeliverToDomain(group.Addresses);
        } catch (...) {
            FCollectFailures = false;
            throw;
        }
        if (delivered)
            accepted += (accepted.empty() ? "" : ", ") + group.Domain;
        else
            failed += "\r\n" + group.Domain + ": " + FLastFailure;
    }
    FCollectFailures = false;
    if (failed.empty())
        return true;
    Notify("The voice e-mail did not reach every recipient domain." + failed + "\r\n" +
               (accepted.empty() ? std::string("No domain accepted it.")
                                 : "Delivered to: " + accepted + "."),
           false);
    return false;
}

bool TSendWorkflow::DeliverToDomain(const std::vector<std::string>& recipients) {
    for (const std::string& host : FMailHosts) {
        if (DeliverToHost(MailExchangerOptions(host, recipients)))
            return true;
        // A 5xx is the domain's answer; anything else was this host's trouble.
        if (FDomainRefused)
            return false;
    }
    return false;
}

void TSendWorkflow::Notify(const std::string& text, bool information) {
    if (FCollectFailures) {
        FLastFailure = text;
        return;
    }
    if (information ? bool(OnInformation) : bool(OnMessage))
        (information ? OnInformation : OnMessage)(text);
}

std::string TSendWorkflow::GetDnsServer() {
    std::string server;
    if (!GetFirstDnsServer(server))
        throw Exception("Error occured!");
    return server;
}

bool TSendWorkflow::ResolveMailHosts(const std::string& domain) {
    FMailHosts.clear();
    TNetDNSResolver resolver;
    resolver.Port = FOptions.DnsPort;
    resolver.QueryRecords = {TQueryRecordTypes::qtMX};
    resolver.Host = GetDnsServer();
    // The other name servers are asked only when the first stays silent.
    for (const std::string& server : GetDnsServers())
        if (server != resolver.Host)
            resolver.FallbackHosts.push_back(server);
    resolver.ReceiveTimeout = 5000;
    auto inform = [this](const std::string& text) { Notify(text, true); };
    // An international domain is asked, and its hosts named, in A-labels.
    std::string asked;
    if (!DomainToASCII(domain, asked)) {
        inform("Error resolving domain: " + domain + " is not a valid international domain name.");
        return false;
    }
    try {
        resolver.ResolveDomain(asked);
    } catch (const ESendCancelled&) {
        throw;
    } catch (const Exception& e) {
        inform("Error resolving domain: " + e.Message);
        return false;
    }
    TMailHostChoice choice = ChooseMailHosts(resolver.QueryResult, asked);
    if (choice.NullMX) {
        inform("The domain " + domain + " does not accept mail (null MX).");
        return false;
    }
    if (choice.NoUsableHost) {
        inform("The domain " + domain + " names no usable mail host.");
        return false;
    }
    FMailHosts = choice.Hosts;
    if (FMailHosts.empty()) {
        inform("There is no response from the DNS server !");
        return false;
    }
    return true;
}

int64_t TSendWorkflow::MessageSize() {
    TCountingOutput count;
    TNetMessageWriter(count).WriteMessage(*FMessage, false);
    return count.Bytes;
}

bool TSendWorkflow::DeliverToHost(const TSmtpOptions& options) {
    const std::string& host = options.Host;
    FDomainRefused = false;
    FSmtp = std::make_unique<TNetSMTP>(options);
    FSmtp->OnWork = [this](TNetComponent&, bool reading, long long count) {
        if (!reading && FSendTotal > 0) {
            FSent += count;
            Progress(std::min(FSent, FSendTotal), FSendTotal);
        }
    };
    // The client is released after each delivery, whichever way it ends.
    struct TRelease {
        std::unique_ptr<TNetSMTP>& Smtp;
        ~TRelease() { Smtp.reset(); }
    } release{FSmtp};
    try {
        SetWaitText("Connecting " + host + "...");
        FSmtp->ConnectAndGreet();
        SetWaitText("Sending by " + host + "...");
        FSendTotal = MessageSize();
        FSent = 0;
        FShown = -1;
        Progress(0, FSendTotal);
        FSmtp->SendMail(*FMessage);
        Progress(FSendTotal, FSendTotal);
        FSendTotal = 0;
        SetWaitText("Disconnecting " + host + " ...");
        FSmtp->QuitAndClose();
        return true;
    } catch (const ESendCancelled&) {
        FSendTotal = 0;
        QuitAfterCancel();
        throw;
    } catch (const Exception& e) {
        FSendTotal = 0;
        try {
            if (FSmtp->IsConnected())
                FSmtp->QuitAndClose();
        } catch (const Exception&) {
            // The host's own error is the one worth showing.
        }
        FDomainRefused = EndsDomain(e);
        if (AskToTrust(e, host))
            return false;
        Notify(e.Message + ":" + host, false);
        return false;
    }
}

bool TSendWorkflow::AskToTrust(const Exception& error, const std::string& host) {
    // Mail exchangers are not verified at all; only the own server asks.
    const auto* refused = dynamic_cast<const ENetTLSCertificateError*>(&error);
    if (!refused || refused->Fingerprint.empty() || FSettings.SendType != TSendType::Smtp ||
        !OnTrustCertificate)
        return false;
    return OnTrustCertificate(host, refused->Fingerprint, error.Message);
}

void TSendWorkflow::QuitAfterCancel() {
    // A short, polite end: QUIT when the server still reads, never longer
    // than two seconds, then the connection is closed in any case.
    FAntiFreeze->HoldCancel(true);
    FSmtp->WriteTimeout = 2000;
    try {
        if (FSmtp->IsConnected())
            FSmtp->QuitAndClose();
    } catch (...) {
    }
    FSmtp->CloseConnection();
    FAntiFreeze->HoldCancel(false);
}
