// How one SMTP delivery is made: the server, the security, the login and
// the time limits, as one value built by the caller (from the settings,
// the command line or a test) and handed to a new TNetSMTP.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// atLogin: LOGIN or PLAIN with a password; atOAuth2: OAUTHBEARER or
// XOAUTH2 with an access token (RFC 7628).
enum TAuthenticationType { atNone, atLogin, atOAuth2 };

// ssAuto: STARTTLS when the server announces it, else the clear dialogue;
// ssStartTLS: STARTTLS required; ssImplicitTLS: TLS from the first byte;
// ssNone: the clear dialogue, STARTTLS never used, LOGIN the only AUTH.
// A password goes in clear only under ssNone.
enum TSmtpSecurity { ssAuto, ssStartTLS, ssImplicitTLS, ssNone };

// "Auto", "STARTTLS", "SSL/TLS", "None" (any case); anything else ssAuto.
TSmtpSecurity SmtpSecurityFromText(const std::string& text);

struct TSmtpOptions {
    std::string Host;
    int32_t Port = 25;
    TSmtpSecurity Security = ssAuto;
    // false: any certificate (opportunistic TLS between mail servers).
    bool VerifyPeer = true;
    std::string CAFile;       // CAs trusted besides the system's; empty: none
    std::string PinnedSha256; // a certificate trusted for Host although it fails the check
    TAuthenticationType Authentication = atNone;
    std::string Username, Password;
    // atOAuth2: the access token, and where a fresh one comes from when the
    // server calls this one invalid (empty: no second try).
    std::string AccessToken;
    std::function<std::string()> RenewAccessToken;
    std::string MailAgent; // "X-Mailer" of every sent message; empty: none
    std::string HeloName;  // empty: the local end's address literal
    // ms; 0: no limit. ReplyTimeout: all lines of one reply together (and
    // the TLS handshake); WriteTimeout: a write the peer takes nothing of;
    // DataReplyTimeout: the reply to the final "." (0: ReplyTimeout).
    int32_t ReplyTimeout = 0, WriteTimeout = 0, DataReplyTimeout = 0;
    // ms the connect may take, every address of Host raced together; 0:
    // the 120 s limit of a connect.
    int32_t ConnectTimeout = 0;
    // Addresses to race instead of looking Host up (tests and benchmarks);
    // empty: the system resolver's.
    std::vector<std::string> HostAddresses;
    // When not empty, the RCPT TO addresses instead of the message's To,
    // Cc and Bcc (a delivery to one recipient domain).
    std::vector<std::string> EnvelopeRecipients;
};
