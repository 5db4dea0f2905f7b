// Starts the real SMTP server (python3-aiosmtpd, smtp_aiosmtpd_server.py) on
// 127.0.0.1 and a free port for one test, and stops it again. What it
// received is read back from its directory. It may offer STARTTLS and a
// second port with implicit TLS, with certificates the test made.
#pragma once

#include <string>
#include <sys/types.h>

struct TSmtpAiosmtpdOptions {
    bool Auth = false;      // announce AUTH and accept user/secret
    bool PlainOnly = false; // AUTH PLAIN alone (implies Auth)
    // STARTTLS on Port() with this certificate; AUTH then only after it.
    std::string StartTLSCert, StartTLSKey;
    // AUTH methods announced in clear before STARTTLS ("": none).
    std::string ClearAuth;
    // Implicit TLS on ImplicitPort() with this certificate.
    std::string ImplicitCert, ImplicitKey;
    // OAuth 2.0 logins only, taking this token for the user "user"
    // (implies Auth); OAuthMechs: the mechanisms announced; RefuseStatus:
    // the JSON status of a refusal.
    std::string OAuthToken, OAuthMechs = "OAUTHBEARER,XOAUTH2", RefuseStatus = "invalid_token";
    bool SMTPUTF8 = false;          // offer SMTPUTF8 (RFC 6531)
    std::string Host = "127.0.0.1"; // "::1" too
    int Port = 0;                   // 0: a free one
    bool Greylist = false;          // 451 to the first RCPT TO of each sender/recipient pair
};

class TSmtpAiosmtpd {
public:
    // withAuth: announce AUTH without TLS and accept user/secret. host and
    // port: where to listen (port 0: a free one).
    explicit TSmtpAiosmtpd(bool withAuth, const std::string& host = "127.0.0.1", int port = 0);
    explicit TSmtpAiosmtpd(const TSmtpAiosmtpdOptions& options);
    ~TSmtpAiosmtpd();
    TSmtpAiosmtpd(const TSmtpAiosmtpd&) = delete;
    TSmtpAiosmtpd& operator=(const TSmtpAiosmtpd&) = delete;

    // 0 when the server did not come up.
    int Port() const { return FPort; }
    // The implicit TLS port; 0 when not asked for or not up.
    int ImplicitPort() const { return FImplicitPort; }
    // Message n (from 1) as stored, "" while not there; waits up to ms.
    std::string Message(int n, int ms = 5000) const;
    // Its envelope lines ("login=...", "from=...", "rcpt=...").
    std::string Envelope(int n) const;
    // Every command verb the server took, one a line with the channel it
    // came on: "EHLO plain", "STARTTLS plain", "AUTH LOGIN tls", ...
    std::string Commands() const;
    // What the server noted of refused OAuth 2.0 logins, one a line.
    std::string Sasl() const;

private:
    std::string FDir;
    pid_t FPid = -1;
    int FPort = 0;
    int FImplicitPort = 0;
};
