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
#include "workflow/SendSettings.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class Exception;
class TEmail;
class TNetMessage;
class TNetSMTP;

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
    // Host names with fixed addresses, raced instead of asking the system
    // resolver (tests and benchmarks: no hosts file needed); names compare
    // without regard to letter case. Empty: every name is looked up.
    std::map<std::string, std::vector<std::string>> HostAddresses;
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
    bool SendDirect();
    std::string GetDnsServer();
    bool ResolveMailHosts(const std::string& domain);
    // One SMTP delivery of the composed message, on a client of its own.
    // A failure that is the domain's answer sets FDomainRefused.
    bool DeliverToHost(const TSmtpOptions& options);
    // The mail hosts of the domain in turn, until one takes the mail or
    // refuses it for the domain (RFC 5321 5.1).
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
    int64_t MessageSize();
    void QuitAfterCancel();
    // A message or information notice, or the reason of the domain being
    // tried when several are collected into one report.
    void Notify(const std::string& text, bool information);
    bool FCollectFailures = false;
    std::string FLastFailure;
    bool FDomainRefused = false;

    const TWorkflowOptions FOptions;
    // Declared first: the components below may wait through it while they
    // are released.
    std::unique_ptr<TSendAntiFreeze> FAntiFreeze;
    std::unique_ptr<TNetMessage> FMessage;
    std::unique_ptr<TNetSMTP> FSmtp; // the delivery running, while one runs
    std::unique_ptr<TEmail> FMapi;
    TSendSettings FSettings;
    std::vector<std::string> FMailHosts; // of the domain being sent to
    std::string FTo;                     // the To text of the message composed last
    bool FRunning = false;
    int64_t FSendTotal = 0, FSent = 0, FShown = -1;
};
