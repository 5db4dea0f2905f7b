// TNetSMTP: the SMTP client (RFC 5321 client side, one message per
// transaction, no pipelining, no TLS) that delivers a TNetMessage: greeting,
// EHLO with HELO as fallback, RSET, AUTH LOGIN (RFC 4954 style, only when
// the server announces LOGIN), MAIL FROM, RCPT TO for To, Cc and Bcc, DATA,
// the message through the writer, "." and QUIT. The connection, replies and
// their caps are TNetTCPConnection's.
#pragma once

#include "mail/delivery/NetMessageClient.h"

#include <string>
#include <vector>

class TNetMessage;
class TNetEMailAddressList;

enum TAuthenticationType { atNone, atLogin };

class TNetSMTP : public TNetMessageClient {
public:
    TNetSMTP();

    std::string Username;
    std::string Password;
    std::string MailAgent; // "X-Mailer" of every sent message; empty: none
    std::string HeloName;  // empty: the local host name

    TAuthenticationType AuthenticationType() const { return FAuthenticationType; }
    // atLogin also sets UseEhlo.
    void SetAuthenticationType(TAuthenticationType value);
    bool UseEhlo() const { return FUseEhlo; }
    // false also sets AuthenticationType to atNone.
    void SetUseEhlo(bool value);

    // Methods announced in the reply to EHLO, upper case, no duplicates.
    std::vector<std::string> ServerAuthMethods;
    bool LoggedIn = false;

    // Connects, reads the 220 greeting and announces the client. A failure
    // after the connect closes the connection (QuitAndClose) first.
    void ConnectAndGreet(int32_t timeout = TimeoutDefault);
    // Delivers message on the open connection.
    void SendMail(TNetMessage& message);
    // "QUIT" without waiting for its reply, then closes; always closes.
    void QuitAndClose();

    // The dialogue steps, in order of use.
    void ReadGreeting();
    void Announce();
    void CollectAuthMethods();
    void AuthLogin();
    void MailFrom(const std::string& address);
    void RcptTo(const TNetEMailAddressList& list);
    void SendData(TNetMessage& message);

private:
    TAuthenticationType FAuthenticationType = atNone;
    bool FUseEhlo = true;
};

// The base64 form of text's bytes on one line (RFC 2045 alphabet, "=" fill).
std::string EncodeBase64Line(const std::string& text);
