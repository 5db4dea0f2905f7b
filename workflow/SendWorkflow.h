// TSendWorkflow: turns the recording and the message fields into a mail
// and hands it over by the chosen way (own SMTP server, the recipient
// domain's mail hosts, the default mail client), or saves it as an .eml
// file. It owns the mail components, runs the encoder, composes the
// message, picks and falls back through the mail hosts, and reports its
// wait texts, progress and notices through events; it has no widgets.
// Everything runs on the GUI thread; waits keep the window serviced and
// end at once on Cancel (ESendCancelled "Sending cancelled.").
#pragma once

#include "workflow/SendCancel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Exception;
class TEmail;
class TNetDNSResolver;
class TNetMessage;
class TNetSMTP;

// The recipients of one domain, for a "Direct" delivery.
struct TDomainRecipients {
    std::string Domain;
    std::vector<std::string> Addresses;
};

// The fields the user typed; Body has CR LF between lines.
struct TSendFields {
    std::string To, Cc, Subject, Body;
};

// The send settings (sections User and SMTP of the settings file).
struct TSendSettings {
    std::string UserName, UserEmail;
    std::string SendType = "SMTP"; // "SMTP", "Direct" or "MAPI"
    std::string SmtpServer, SmtpUser, SmtpPassword;
    int32_t SmtpPort = 25;
    std::string SmtpSecurity = "Auto"; // "Auto", "STARTTLS", "SSL/TLS" or "None"
    int32_t TimeoutSeconds = 60;       // whole-reply and stalled-write limit; 0: none
    std::string CAFile;                // PEM file of CAs trusted besides the system's; empty: none
    // A server certificate the user trusts for PinnedHost although it fails
    // the check: its SHA-256 as "AB:CD:..."; empty: none.
    std::string PinnedHost, PinnedCertificate;
};

class TSendWorkflow {
public:
    TSendWorkflow();
    ~TSendWorkflow();
    TSendWorkflow(const TSendWorkflow&) = delete;
    TSendWorkflow& operator=(const TSendWorkflow&) = delete;

    // Applies settings to the components (sender, server, login, port,
    // security, time limits).
    void ApplySettings(const TSendSettings& settings);
    const TSendSettings& Settings() const { return FSettings; }

    // The recording the encoder reads and the file it writes; both beside
    // the program unless a front end says otherwise.
    std::string RecordingFile, EncodedFile;
    std::string EncoderCommandLine = "lame.exe Quillet.wav Quillet.mp3";

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
    bool Send(const TSendFields& fields);
    // Save As: compose, then write the .eml file.
    void SaveAs(const TSendFields& fields, const std::string& fileName);

    // Asks the running Send or SaveAs to stop; it then raises ESendCancelled.
    void Cancel();
    bool Running() const { return FRunning; }

    // The steps, in order of use.
    void PrepareMessage(const TSendFields& fields);
    bool SendPrepared();
    std::string GetDnsServer();
    bool ResolveMailHosts(const std::string& domain);
    bool DeliverToHost(const std::string& host);
    // The recipients of the composed message by domain (letter case
    // ignored), in order of first appearance.
    std::vector<TDomainRecipients> RecipientDomains() const;

    // Candidate hosts of the "Direct" way, refilled by every such send.
    std::vector<std::string> MailHosts;
    // Every wait text of this workflow's life, in order (for tests and review).
    std::vector<std::string> WaitTexts;

    TNetMessage& Message() { return *FMessage; }
    TNetSMTP& Smtp() { return *FSmtp; }
    TNetDNSResolver& Resolver() { return *FResolver; }
    TEmail& Mapi() { return *FMapi; }

private:
    // Raises for recipients, subject or own address that cannot be sent as
    // typed (sending: the own address is the envelope sender).
    void CheckFields(const TSendFields& fields, bool sending) const;
    void ShowWait(const std::string& text);
    void SetWaitText(const std::string& text);
    void HideWait();
    void Progress(int64_t done, int64_t total);
    void ComposeMessage(const TSendFields& fields);
    void ComposeDefaultClientMail(const TSendFields& fields);
    void ApplySecurity();
    bool AskToTrust(const Exception& error, const std::string& host);
    int64_t MessageSize();
    void QuitAfterCancel();
    bool SendDirect();
    // A message or information notice, or the reason of the domain being
    // tried when several are collected into one report.
    void Notify(const std::string& text, bool information);
    bool FCollectFailures = false;
    std::string FLastFailure;

    // Declared first: the components below may wait through it while they
    // are released.
    std::unique_ptr<TSendAntiFreeze> FAntiFreeze;
    std::unique_ptr<TNetMessage> FMessage;
    std::unique_ptr<TNetSMTP> FSmtp;
    std::unique_ptr<TNetDNSResolver> FResolver;
    std::unique_ptr<TEmail> FMapi;
    TSendSettings FSettings;
    std::string FTo; // the To text of the message composed last
    bool FRunning = false;
    int64_t FSendTotal = 0, FSent = 0, FShown = -1;
};
