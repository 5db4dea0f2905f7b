// The send workflow; see SendWorkflow.h. The steps keep the wait texts and
// messages the user knows; a cancel unwinds through them untouched.
#include "workflow/SendWorkflow.h"

#include "base/Stream.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "dns/NetDNSResolver.h"
#include "mail/message/NetAddressCheck.h"
#include "mail/message/NetMessage.h"
#include "mail/message/NetMessageWriter.h"
#include "mapi/Email.h"
#include "net/NetIOHandlerTLS.h"
#include "net/NetIdna.h"
#include "oauth/AccessTokens.h"
#include "oauth/OAuthError.h"
#include "platform/Network.h"
#include "platform/Program.h"
#include "smtp/NetInternationalAddress.h"
#include "smtp/NetMessageSize.h"
#include "smtp/NetSMTP.h"
#include "workflow/Compression.h"
#include "workflow/DeliveryFailure.h"
#include "workflow/HandoverFolder.h"
#include "workflow/MailHosts.h"
#include "workflow/MessageId.h"
#include "workflow/Outbox.h"

#include <algorithm>
#include <ctime>
#include <string_view>

namespace {

const char* const HomePage = "http://www.quillet.example/";
const char* const MailAgentText = "Quillet(http://www.quillet.example/)";

// Collects the writer's text as a reader sees it (no dot-stuffing; the
// connection's data guard stuffs it on the way); gives the anti-freeze its
// chance as a large attachment is encoded.
class TComposeOutput : public TNetLineOutput {
public:
    explicit TComposeOutput(std::vector<uint8_t>& text) : Text(text) {}
    void WriteLine(const std::string& text) override {
        Add(text.data(), text.size());
        Add("\r\n", 2);
    }
    void WriteText(const std::string& text) override { Add(text.data(), text.size()); }
    void WriteBytes(const void* data, size_t count, bool) override {
        Add(static_cast<const char*>(data), count);
    }

private:
    void Add(const char* data, size_t n) {
        Text.insert(Text.end(), data, data + n);
        if ((Text.size() >> 20) != FLastMb) {
            FLastMb = Text.size() >> 20;
            TNetAntiFreezeBase::DoProcess(false);
        }
    }
    std::vector<uint8_t>& Text;
    size_t FLastMb = 0;
};

// "HH:MM" of a Unix time, local.
std::string ClockText(int64_t when) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M", &local);
    return text;
}

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
      FMessage(std::make_unique<TNetMessage>()), FComposed(std::make_unique<TMemoryStream>()),
      FMapi(std::make_unique<TEmail>()) {
    FVoice.Level = false;
    FVoice.Denoise = false;
    FMessage->SetEncoding(TNetMessageEncoding::meMIME);
    FMessage->Organization = HomePage;
    FMapi->DownLoadFirst = false;
    FMapi->NewSession = false;
    FMapi->UnreadOnly = false;
    // The wait for the mail client gives the anti-freeze its chance like
    // every other wait: the window stays serviced, and a cancel raised
    // there ends the hand-over.
    FMapi->OnWait = [](TEmail*) { TNetAntiFreezeBase::DoProcess(true); };
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

void TSendWorkflow::CheckFields(const TSendFields& fields, bool sending) const {
    CheckRecipientText(fields.To, Tr("Fields", "To field"));
    CheckRecipientText(fields.Cc, Tr("Fields", "Cc field"));
    CheckHeaderText(Tr("Fields", "subject"), fields.Subject);
    CheckHeaderText(Tr("Fields", "name in Options"), FSettings.UserName);
    // The own address becomes the envelope sender of an SMTP delivery; the
    // default mail client uses its own.
    if (sending ? FSettings.SendType != TSendType::Mapi : !FSettings.UserEmail.empty())
        CheckPlainAddress(FSettings.UserEmail);
}

bool TSendWorkflow::Send(const TSendFields& fields) {
    // Refused input sends nothing and runs no encoder.
    CheckFields(fields, true);
    TSendRunScope run(FRunning, *FAntiFreeze);
    FQueued = false;
    PrepareMessage(fields);
    ShowWait(Tr("SendWorkflow", "Sending, please wait..."));
    // The text can be large (the whole recording): freed after the send.
    struct TRelease {
        TMemoryStream& Text;
        ~TRelease() {
            Text.Clear();
            Text.Data.shrink_to_fit();
        }
    } release{*FComposed};
    return SendPrepared();
}

void TSendWorkflow::SaveAs(const TSendFields& fields, const std::string& fileName) {
    CheckFields(fields, false);
    TSendRunScope run(FRunning, *FAntiFreeze);
    PrepareMessage(fields);
    FAntiFreeze->CheckCancel();
    FMessage->WriteToFile(fileName, false);
}

void TSendWorkflow::PrepareMessage(const TSendFields& fields) {
    ShowWait(Tr("SendWorkflow", "Compressing, please wait..."));
    TCompressionJob job;
    job.RecordingFile = FOptions.RecordingFile;
    job.EncodedFile = FOptions.EncodedFile;
    job.CommandLine = FOptions.EncoderCommandLine;
    job.Voice = FVoice;
    FShown = -1;
    CompressRecording(job, [this](int64_t done, int64_t total) { Progress(done, total); });
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
        ComposeText();
        return SendToOwnServer();
    case TSendType::Direct:
        ComposeText();
        return SendDirect();
    case TSendType::None:
        break;
    }
    return false;
}

void TSendWorkflow::ComposeText() {
    // Written once, so every try and the outbox carry the same bytes, Date
    // and Message-ID included.
    FMessage->ExtraHeaders.SetHeader("X-Mailer", MailAgentText);
    // Unless a local part needs SMTPUTF8, the text suits every server: its
    // domains as A-labels (Save As keeps the addresses as typed).
    std::vector<std::string> addresses = AllRecipients();
    addresses.push_back(FMessage->From.Address);
    std::unique_ptr<TASCIIDomainHeaders> ascii;
    if (FirstUTF8LocalPart(addresses).empty())
        ascii = std::make_unique<TASCIIDomainHeaders>(*FMessage);
    FComposed->Clear();
    TComposeOutput out(FComposed->Data);
    TNetMessageWriter(out, false).WriteMessage(*FMessage, false);
}

std::vector<std::string> TSendWorkflow::AllRecipients() const {
    std::vector<std::string> all;
    for (const TNetEMailAddressList* list :
         {&FMessage->Recipients, &FMessage->CCList, &FMessage->BccList})
        for (const TNetEMailAddressItem& item : list->Items)
            all.push_back(item.Address);
    return all;
}

bool TSendWorkflow::SendToOwnServer() {
    // With an outbox a passing failure is told once, with where the mail
    // went; a lasting one as always.
    TSmtpOptions options;
    try {
        SignInToOwnServer(options);
    } catch (const EOAuthError& e) {
        Notify(e.Message, false);
        return false;
    }
    FCollectFailures = !FOptions.OutboxDir.empty();
    FFailures.clear();
    bool delivered;
    try {
        delivered = DeliverToHost(options, AllRecipients());
    } catch (...) {
        FCollectFailures = false;
        throw;
    }
    FCollectFailures = false;
    if (delivered) {
        if (FDeferred.empty())
            return true;
        std::vector<std::string> waiting;
        for (const TNetSMTP::TDeferredRecipient& d : FDeferred)
            waiting.push_back(d.Address);
        const std::string reason = FDeferred.front().Reply + ":" + FDeferredHost;
        if (FOptions.OutboxDir.empty())
            Notify(reason, false);
        else
            QueueForLater(waiting, reason);
        return false;
    }
    if (!FFailures.empty() && FFailures.back().Temporary)
        QueueForLater(AllRecipients(), FFailures.back().Text);
    else
        ShowFailures(FFailures);
    return false;
}

bool TSendWorkflow::SendToDefaultClient() {
    try {
        // The client reads the attachment after the send has returned, and
        // the next encoding would overwrite it: it gets a copy of its own.
        THandoverFolder folder(FOptions.HandoverRoot);
        for (std::string& file : FMapi->Attachment)
            file = folder.Add(file);
        int32_t result = FMapi->SendMail();
        if (result != 0)
            throw Exception("");
        folder.Keep();
    } catch (const ESendCancelled&) {
        throw;
    } catch (const Exception& e) {
        if (OnMessage)
            OnMessage(Tr("SendWorkflow",
                         "Can't send the mail by your default email client, please check "
                         "your email account settings.") +
                      e.Message);
        return false;
    }
    return true;
}

void TSendWorkflow::SignInToOwnServer(TSmtpOptions& options) {
    options = OwnServerOptions();
    FTokens.reset();
    if (FSettings.Auth != TSmtpAuth::OAuth2)
        return;
    // The token first: without one there is nothing to sign in with, and
    // the server need not be troubled.
    TTokenSourceOptions source;
    source.TokenCommand = FSettings.TokenCommand;
    source.TokenCommandTimeoutMs = FOptions.TokenCommandTimeoutMs;
    source.Account = OAuthAccountOf(FSettings);
    FTokens =
        std::make_unique<TAccessTokenSource>(source, [] { TNetAntiFreezeBase::DoProcess(true); });
    SetWaitText(Tr("SendWorkflow", "Signing in..."));
    options.AccessToken = FTokens->Current();
    options.Authentication = atOAuth2;
    options.Username = source.Account.User;
    options.Password.clear();
    options.RenewAccessToken = [tokens = FTokens.get()] { return tokens->Renew(); };
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
    const bool outbox = !FOptions.OutboxDir.empty();
    std::vector<TDomainRecipients> groups = RecipientDomains();
    // Each domain's hosts in turn. Without an outbox and with one domain,
    // each failure is shown as it happens; else they are collected: into
    // one report for several domains, and for a domain that may take the
    // mail later, into the outbox.
    struct TDomainResult {
        std::string Domain;
        bool Delivered = false, Temporary = false;
        std::vector<TFailure> Failures;
        std::vector<std::string> Waiting; // recipients for the outbox
    };
    std::vector<TDomainResult> results;
    FCollectFailures = outbox || groups.size() > 1;
    try {
        for (const TDomainRecipients& group :
             groups.empty() ? std::vector<TDomainRecipients>{{FTo, {}}} : groups) {
            TDomainResult r;
            r.Domain = group.Domain;
            FFailures.clear();
            if (ResolveMailHosts(group.Domain))
                r.Delivered = DeliverToDomain(group.Addresses);
            r.Failures = FFailures;
            // A domain may take the mail later when every host failed for a
            // passing reason (or the lookup did).
            r.Temporary = !r.Delivered && !r.Failures.empty() &&
                          std::all_of(r.Failures.begin(), r.Failures.end(),
                                      [](const TFailure& f) { return f.Temporary; });
            if (r.Temporary)
                r.Waiting = group.Addresses.empty() ? AllRecipients() : group.Addresses;
            if (r.Delivered && !FDeferred.empty()) {
                for (const TNetSMTP::TDeferredRecipient& d : FDeferred)
                    r.Waiting.push_back(d.Address);
                r.Failures = {{FDeferred.front().Reply + ":" + FDeferredHost, false, true}};
            }
            results.push_back(std::move(r));
        }
    } catch (...) {
        FCollectFailures = false;
        throw;
    }
    FCollectFailures = false;

    std::vector<std::string> waiting;
    std::string waitingReason;
    std::string failed, accepted;
    for (const TDomainResult& r : results) {
        if (r.Delivered)
            accepted += (accepted.empty() ? "" : ", ") + r.Domain;
        const bool queue = outbox && !r.Waiting.empty();
        if (queue) {
            waiting.insert(waiting.end(), r.Waiting.begin(), r.Waiting.end());
            waitingReason += (waitingReason.empty() ? "" : "; ") +
                             (results.size() > 1 ? r.Domain + ": " : std::string()) +
                             r.Failures.back().Text;
        } else if (!r.Failures.empty() && (!r.Delivered || !r.Waiting.empty())) {
            failed += "\r\n" + r.Domain + ": " + r.Failures.back().Text;
        }
    }
    if (results.size() == 1 && !failed.empty()) {
        // One domain: its failures as they would have been shown at once.
        ShowFailures(results[0].Failures);
    } else if (!failed.empty()) {
        Notify(Tr("SendWorkflow", "The voice e-mail did not reach every recipient domain.") +
                   failed + "\r\n" +
                   (accepted.empty() ? Tr("SendWorkflow", "No domain accepted it.")
                                     : Tr("SendWorkflow", "Delivered to: %1.").Arg(accepted)),
               false);
    }
    if (!waiting.empty())
        QueueForLater(waiting, waitingReason);
    return std::all_of(results.begin(), results.end(),
                       [](const TDomainResult& r) { return r.Delivered && r.Waiting.empty(); });
}

bool TSendWorkflow::DeliverToDomain(const std::vector<std::string>& recipients) {
    for (const std::string& host : FMailHosts) {
        if (DeliverToHost(MailExchangerOptions(host, recipients),
                          recipients.empty() ? AllRecipients() : recipients))
            return true;
        // A 5xx is the domain's answer; anything else was this host's trouble.
        if (FDomainRefused)
            return false;
    }
    return false;
}

void TSendWorkflow::Notify(const std::string& text, bool information, bool temporary) {
    if (FCollectFailures) {
        FFailures.push_back({text, information, temporary});
        return;
    }
    if (information ? bool(OnInformation) : bool(OnMessage))
        (information ? OnInformation : OnMessage)(text);
}

void TSendWorkflow::ShowFailures(const std::vector<TFailure>& failures) {
    for (const TFailure& f : failures)
        Notify(f.Text, f.Information);
}

void TSendWorkflow::QueueForLater(const std::vector<std::string>& recipients,
                                  const std::string& reason) {
    TOutboxEnvelope e;
    e.Way = FSettings.SendType;
    e.Sender = FMessage->From.Address;
    e.Recipients = recipients;
    e.To = FTo;
    e.Subject = FMessage->Subject;
    e.Created = e.LastTry = Now();
    e.Attempts = 1;
    e.Expires = e.Created + FOptions.Retry.Lifetime(e.Way);
    e.NextTry = std::min(e.Created + FOptions.Retry.DelayAfter(1), e.Expires);
    e.LastReply = OneLine(reason);
    const std::string why =
        Tr("SendWorkflow", "The voice e-mail could not be sent now (%1)").Arg(e.LastReply);
    try {
        TOutbox(FOptions.OutboxDir)
            .Add(std::string_view(reinterpret_cast<const char*>(FComposed->Data.data()),
                                  FComposed->Data.size()),
                 e);
    } catch (const EOutboxError& error) {
        Notify(why + Tr("SendWorkflow", ", and it could not be put in the Outbox: %1")
                         .Arg(error.Message),
               false);
        return;
    }
    FQueued = true;
    Notify(why + Tr("SendWorkflow", ". It is in the Outbox and will be sent again at %1.")
                     .Arg(ClockText(e.NextTry)),
           false);
}

int64_t TSendWorkflow::Now() const {
    return static_cast<int64_t>(std::time(nullptr));
}

std::string TSendWorkflow::GetDnsServer() {
    std::string server;
    if (!GetFirstDnsServer(server))
        throw Exception(Tr("SendWorkflow", "Error occured!"));
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
        inform(Tr("SendWorkflow",
                  "Error resolving domain: %1 is not a valid international domain name.")
                   .Arg(domain));
        return false;
    }
    try {
        resolver.ResolveDomain(asked);
    } catch (const ESendCancelled&) {
        throw;
    } catch (const Exception& e) {
        Notify(Tr("SendWorkflow", "Error resolving domain: %1").Arg(e.Message), true,
               IsTemporaryFailure(e));
        return false;
    }
    TMailHostChoice choice = ChooseMailHosts(resolver.QueryResult, asked);
    if (choice.NullMX) {
        inform(Tr("SendWorkflow", "The domain %1 does not accept mail (null MX).").Arg(domain));
        return false;
    }
    if (choice.NoUsableHost) {
        inform(Tr("SendWorkflow", "The domain %1 names no usable mail host.").Arg(domain));
        return false;
    }
    FMailHosts = choice.Hosts;
    if (FMailHosts.empty()) {
        inform(Tr("SendWorkflow", "There is no response from the DNS server !"));
        return false;
    }
    return true;
}

bool TSendWorkflow::DeliverToHost(const TSmtpOptions& options,
                                  const std::vector<std::string>& recipients) {
    const std::string& host = options.Host;
    FDeferred.clear();
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
        SetWaitText(Tr("SendWorkflow", "Connecting %1...").Arg(host));
        FSmtp->ConnectAndGreet();
        SetWaitText(Tr("SendWorkflow", "Sending by %1...").Arg(host));
        FSendTotal = FComposed->Size();
        FSent = 0;
        FShown = -1;
        Progress(0, FSendTotal);
        FComposed->SetPosition(0);
        FDeferred = FSmtp->SendStoredMail(FMessage->From.Address, recipients, *FComposed);
        FDeferredHost = host;
        Progress(FSendTotal, FSendTotal);
        FSendTotal = 0;
        SetWaitText(Tr("SendWorkflow", "Disconnecting %1 ...").Arg(host));
        try {
            FSmtp->QuitAndClose();
        } catch (const Exception&) {
            // The server has the message: a failed goodbye, or a cancel
            // now, changes nothing about that.
        }
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
        // A sign-in's messages and a size refusal name the host already.
        const bool namesHost = dynamic_cast<const ENetSignInError*>(&e) ||
                               dynamic_cast<const EOAuthError*>(&e) ||
                               dynamic_cast<const ENetMessageTooLarge*>(&e);
        Notify(namesHost ? e.Message : e.Message + ":" + host, false, IsTemporaryFailure(e));
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
