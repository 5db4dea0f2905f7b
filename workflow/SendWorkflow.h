// TSendWorkflow: turns the recording and the message fields into a mail
// and hands it over by the chosen way (own SMTP server, the recipient
// domain's mail hosts, the default mail client), or saves it as an .eml
// file. It owns the mail components, runs the encoder, composes the
// message, picks and falls back through the mail hosts, puts a mail that
// fails for a passing reason into the outbox and sends it again later
// (SendWorkflowOutbox.cpp), and reports through events; it has no widgets.
// Everything runs on the GUI thread; waits keep the window serviced and
// end at once on Cancel (ESendCancelled "Sending cancelled.").
#pragma once

#include "audio/VoiceProcessor.h"
#include "oauth/TokenCommand.h"
#include "workflow/RetrySchedule.h"
#include "workflow/SendCancel.h"
#include "workflow/SendSettings.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class Exception;
class TAccessTokenSource;
class TEmail;
class TMemoryStream;
class TNetMessage;
class TNetSMTP;
class TOutbox;
class TOutboxEntry;
struct TOutboxEnvelope;

// The fields the user typed; Body has CR LF between lines.
struct TSendFields {
    std::string To, Cc, Subject, Body;
};

// Where a workflow's files are and how its helpers are reached; fixed for
// its life. Each front end builds one (the window: beside the recording;
// quillet-send: a private working directory).
struct TWorkflowOptions {
    std::string RecordingFile; // the WAV the encoder reads
    std::string EncodedFile;   // the MP3 it writes, attached to the mail
    // Relative names resolve in the recording's directory.
    std::string EncoderCommandLine = "lame.exe Quillet.wav Quillet.mp3";
    int32_t DnsPort = 53; // the name servers' port
    // Where the files handed to the default mail client go, one folder per
    // hand-over; empty: THandoverFolder::DefaultRoot().
    std::string HandoverRoot;
    // How long a TokenCommand may take to print its token.
    int TokenCommandTimeoutMs = DefaultTokenCommandTimeoutMs;
    // Where a voice mail that could not be sent for a passing reason waits
    // to be sent again; empty: nowhere (such a failure is shown like any).
    std::string OutboxDir;
    TRetrySchedule Retry;
    // Host names with fixed addresses, raced instead of asking the system
    // resolver (tests and benchmarks: no hosts file needed); names compare
    // without regard to letter case. Empty: every name is looked up.
    std::map<std::string, std::vector<std::string>> HostAddresses;
};

// Which queued voice mails SendQueued tries.
struct TOutboxRequest {
    bool DueOnly = true;          // false: each, whatever its next try
    std::vector<std::string> Ids; // not empty: only these
};

// What SendQueued did, one item per message and recipient domain tried.
struct TOutboxPass {
    enum TResult { Sent, Waiting, Refused };
    struct TItem {
        std::string Id, To, Subject;
        TResult Result = Waiting;
        std::string Reason;  // Waiting, Refused: why
        int64_t NextTry = 0; // Waiting: Unix seconds
        std::string File;    // Refused and given up: its .eml in failed/
    };
    std::vector<TItem> Items;
    size_t Remaining = 0; // queued afterwards
    int64_t NextTry = 0;  // the earliest next try among them; 0: none
};

class TSendWorkflow {
public:
    explicit TSendWorkflow(TWorkflowOptions options);
    ~TSendWorkflow();
    TSendWorkflow(const TSendWorkflow&) = delete;
    TSendWorkflow& operator=(const TSendWorkflow&) = delete;

    // The settings the next Send or SaveAs uses (sender, way of sending,
    // server, login, security, time limits).
    void ApplySettings(const TSendSettings& settings);
    const TSendSettings& Settings() const { return FSettings; }
    // What is done to the voice before it is compressed (nothing until set).
    void ApplyVoiceOptions(const TVoiceOptions& voice) { FVoice = voice; }
    const TWorkflowOptions& Options() const { return FOptions; }

    // Events; an empty one is skipped. Wait texts: show true for the first
    // text of a stage that shows the wait window.
    std::function<void(const std::string& text, bool show)> OnWaitText;
    std::function<void()> OnHideWait;
    // done of total bytes of the stage running (encoding, then sending).
    std::function<void(int64_t done, int64_t total)> OnProgress;
    // A plain message (a host that failed, the default client's failure).
    std::function<void(const std::string& text)> OnMessage;
    // An information notice (a lookup that failed).
    std::function<void(const std::string& text)> OnInformation;
    // Own server only: its certificate was refused. fingerprint is the
    // certificate's SHA-256, message the refusal. True: the user trusts it
    // (the front end stores the pin and applies it; the send is not
    // repeated). False, or no handler: message goes to OnMessage as usual.
    std::function<bool(const std::string& host, const std::string& fingerprint,
                       const std::string& message)>
        OnTrustCertificate;

    // Send: compose, then hand over. True when the mail was handed over.
    // Recipients, subject or own address that cannot be sent as typed
    // raise ENetInvalidAddress (mail/message/NetAddressCheck.h) before
    // anything runs.
    bool Send(const TSendFields& fields);
    // The last Send put the voice mail, or the part some recipients still
    // wait for, into the outbox (and said so through OnMessage).
    bool Queued() const { return FQueued; }
    // Tries queued voice mails, the ones to one server over one connection
    // with RSET between them, the own server with the settings applied now.
    // Silent (no events): it runs in the background, and the result tells
    // what became of each. A message a server took leaves the outbox before
    // the next step; one given up goes to failed/ with a note for
    // TOutbox::TakeUnreported. Raises ESendCancelled on Cancel; the message
    // being sent then stays queued.
    TOutboxPass SendQueued(const TOutboxRequest& request);
    // Save As: compose, then write the .eml file.
    void SaveAs(const TSendFields& fields, const std::string& fileName);

    // Asks the running Send or SaveAs to stop; it then raises ESendCancelled.
    void Cancel();
    bool Running() const { return FRunning; }

private:
    // The steps, in order of use.
    void CheckFields(const TSendFields& fields, bool sending) const;
    void PrepareMessage(const TSendFields& fields);
    void ComposeMessage(const TSendFields& fields);
    void ComposeDefaultClientMail(const TSendFields& fields);
    bool SendPrepared();
    bool SendToDefaultClient();
    // The message text as it goes and as it is queued, written once.
    void ComposeText();
    bool SendToOwnServer();
    // The own server's options, signed in with a password or an OAuth 2.0
    // token (fetched first, renewable while FTokens lives). Raises
    // EOAuthError when no token comes.
    void SignInToOwnServer(TSmtpOptions& options);
    bool SendDirect();
    std::string GetDnsServer();
    bool ResolveMailHosts(const std::string& domain);
    // One SMTP delivery of the composed text to recipients, on a client of
    // its own. Recipients the server put off land in FDeferred.
    bool DeliverToHost(const TSmtpOptions& options, const std::vector<std::string>& recipients);
    // The composed text into the outbox for recipients after a passing
    // failure, and the sentence that says so (or why it could not be put
    // there).
    void QueueForLater(const std::vector<std::string>& recipients, const std::string& reason);
    std::vector<std::string> AllRecipients() const;
    // The mail hosts of the domain in turn, until one takes the mail or
    // refuses it for the domain (RFC 5321 5.1). A failure that is the
    // domain's answer sets FDomainRefused.
    bool DeliverToDomain(const std::vector<std::string>& recipients);
    // The fixed addresses of host (TWorkflowOptions::HostAddresses), or none.
    std::vector<std::string> FixedAddresses(const std::string& host) const;
    TSmtpOptions OwnServerOptions() const;
    TSmtpOptions MailExchangerOptions(const std::string& host,
                                      const std::vector<std::string>& recipients) const;
    struct TDomainRecipients {
        std::string Domain;
        std::vector<std::string> Addresses;
    };
    // The recipients of the composed message by domain (letter case
    // ignored), in order of first appearance.
    std::vector<TDomainRecipients> RecipientDomains() const;

    void ShowWait(const std::string& text);
    void SetWaitText(const std::string& text);
    void HideWait();
    void Progress(int64_t done, int64_t total);
    bool AskToTrust(const Exception& error, const std::string& host);
    void QuitAfterCancel();
    // A message or information notice, or, while failures are collected
    // (one report for several domains, or a failure that may land in the
    // outbox), one more of them.
    void Notify(const std::string& text, bool information, bool temporary = false);
    struct TFailure {
        std::string Text;
        bool Information = false, Temporary = false;
    };
    // Shows the collected failures as they would have been shown at once.
    void ShowFailures(const std::vector<TFailure>& failures);
    bool FCollectFailures = false;
    std::vector<TFailure> FFailures;
    std::vector<TNetSMTP::TDeferredRecipient> FDeferred;
    std::string FDeferredHost;

    // The outbox side (SendWorkflowOutbox.cpp).
    struct TQueuedJob {
        std::string Id;
        std::vector<std::string> Recipients; // of the domain or server being tried
    };
    void SendQueuedTo(TOutbox& outbox, const std::string& domain, std::vector<TQueuedJob>& jobs,
                      TOutboxPass& pass);
    // One queued message on the open connection; false when the connection
    // cannot go on.
    bool SendQueuedMessage(TOutboxEntry& entry, const std::vector<std::string>& recipients,
                           const std::string& host, TOutboxPass& pass);
    // A try of recipients that failed: their next try, or the give-up.
    void RecordFailure(TOutboxEntry& entry, TOutboxEnvelope& envelope,
                       const std::vector<std::string>& recipients, const std::string& reason,
                       bool temporary, TOutboxPass& pass);
    int64_t Now() const;
    std::set<std::string> FTriedThisPass; // ids whose try this pass counted
    bool FDomainRefused = false;

    const TWorkflowOptions FOptions;
    // Declared first: the components below may wait through it while they
    // are released.
    std::unique_ptr<TSendAntiFreeze> FAntiFreeze;
    std::unique_ptr<TNetMessage> FMessage;
    std::unique_ptr<TMemoryStream> FComposed; // the text of the message being sent
    std::unique_ptr<TNetSMTP> FSmtp;          // the delivery running, while one runs
    std::unique_ptr<TEmail> FMapi;
    std::unique_ptr<TAccessTokenSource> FTokens; // the own server's OAuth 2.0 sign-in
    TSendSettings FSettings;
    TVoiceOptions FVoice;
    std::vector<std::string> FMailHosts; // of the domain being sent to
    std::string FTo;                     // the To text of the message composed last
    bool FRunning = false;
    bool FQueued = false;
    int64_t FSendTotal = 0, FSent = 0, FShown = -1;
};
