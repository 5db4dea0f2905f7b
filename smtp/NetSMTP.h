// TNetSMTP: the SMTP client (RFC 5321 client side, one message per
// transaction, no pipelining): greeting, EHLO with HELO as fallback,
// STARTTLS (RFC 3207) or implicit TLS (RFC 8314) as Security asks, RSET,
// AUTH LOGIN or PLAIN (RFC 4954, 4616; only what the server announces;
// OAUTHBEARER, RFC 7628, or XOAUTH2 with an access token), MAIL FROM (with
// SIZE, RFC 1870, when announced; a mail over the announced limit stops
// before RSET), RCPT TO, DATA, a TNetMessage through the writer or stored
// .eml text, "." and QUIT. International addresses as RFC 6531 asks
// (NetInternationalAddress.h). A 421 ends the session at any step (RFC 5321
// 3.8). Connection and reply caps are TNetTCPConnection's; TLS itself is
// TNetIOHandlerTLS's.
#pragma once

#include "base/NetException.h"
#include "smtp/NetMessageClient.h"
#include "smtp/SmtpOptions.h"

#include <functional>
#include <string>
#include <vector>

class TNetMessage;
class TNetEMailAddressList;
class TStream;

class TNetIOHandlerTLS;

// An OAuth 2.0 login that could not be made: the server offers no bearer
// mechanism, or refused the token ("The server <host> refused the sign-in
// token (<status>)."; Status is the server's word for why).
class ENetSignInError : public ENetException {
public:
    explicit ENetSignInError(const std::string& message, std::string status = "")
        : ENetException(message), Status(std::move(status)) {}
    std::string Status;
};

class TNetSMTP : public TNetMessageClient {
public:
    TNetSMTP();
    // A client for one delivery as options describe it.
    explicit TNetSMTP(const TSmtpOptions& options);

    std::string Username;
    std::string Password;
    // atOAuth2: the access token; RenewAccessToken gives a fresh one when
    // the server calls it invalid (one more try per login; empty: none).
    std::string AccessToken;
    std::function<std::string()> RenewAccessToken;
    std::string MailAgent; // "X-Mailer" of every sent message; empty: none
    std::string HeloName;  // empty: the local host name
    // When not empty, the RCPT TO addresses of SendMail instead of the
    // message's To, Cc and Bcc (a delivery to one recipient domain).
    std::vector<std::string> EnvelopeRecipients;
    // ms for the reply to the final "." (a server may check the whole
    // message first); 0: ReplyTimeout as for every other reply.
    int32_t DataReplyTimeout = 0;

    // Read by ConnectAndGreet. VerifyPeer false: any certificate (Direct
    // delivery's opportunistic TLS). CAFile: trusted besides the system's.
    // PinnedSha256: a certificate the user trusts for Host although it
    // fails the check (see TNetIOHandlerTLS::PinnedSha256).
    TSmtpSecurity Security = ssAuto;
    bool VerifyPeer = true;
    std::string CAFile;
    std::string PinnedSha256;

    TAuthenticationType AuthenticationType() const { return FAuthenticationType; }
    // atLogin also sets UseEhlo.
    void SetAuthenticationType(TAuthenticationType value);
    bool UseEhlo() const { return FUseEhlo; }
    // false also sets AuthenticationType to atNone.
    void SetUseEhlo(bool value);

    // Methods announced in the reply to EHLO, upper case, no duplicates.
    std::vector<std::string> ServerAuthMethods;
    bool LoggedIn = false;
    // The SIZE the server announced (RFC 1870): -1 none, 0 no fixed limit,
    // else the largest message in octets it takes.
    int64_t ServerSizeLimit = -1;
    // The server listed STARTTLS in a reply to EHLO sent in clear.
    bool StartTLSOffered() const { return FStartTLSOffered; }
    // The server listed SMTPUTF8 in its last reply to EHLO.
    bool SMTPUTF8Offered() const { return FSMTPUTF8Offered; }
    // TLS is active on the connection.
    bool Encrypted() const;

    // Connects, reads the 220 greeting, announces the client and starts
    // TLS as Security asks. A failure after the connect closes the
    // connection (QuitAndClose) first; after a failed handshake, or clear
    // text following the go-ahead, not even QUIT is sent. Unless a
    // transport of the caller's is set, each call uses a new one
    // (TLS-capable except under ssNone).
    void ConnectAndGreet(int32_t timeout = TimeoutDefault);
    // Delivers message on the open connection. An address with a non-ASCII
    // local part to a server without SMTPUTF8 raises ENetSMTPUTF8Required
    // before anything is sent; a message over the server's SIZE limit
    // raises ENetMessageTooLarge (NetMessageSize.h) likewise.
    void SendMail(TNetMessage& message);

    // A recipient the server put off with a 4xx reply to RCPT TO.
    struct TDeferredRecipient {
        std::string Address;
        int Code = 0;
        std::string Reply; // the reply's text lines, each with CR LF
    };
    // Delivers stored message text (an .eml as TNetMessage::WriteToStream
    // writes it, not dot-stuffed) from sender to recipients on the open
    // connection. Recipients put off with a 4xx reply are left out and
    // returned; the others get the message. When every recipient is put off
    // the first such reply is raised (ENetProtocolReplyError); any other
    // refusal of a recipient raises at once. DATA is not sent then. Its
    // SIZE is what the data guard makes of the text (line ends CR LF, leading
    // dots doubled), counted by reading it once more from where it stands.
    std::vector<TDeferredRecipient> SendStoredMail(const std::string& sender,
                                                   const std::vector<std::string>& recipients,
                                                   TStream& text);
    // "QUIT" without waiting for its reply, then closes; always closes.
    // Inside the message data (a send that failed or was cancelled there)
    // it only closes.
    void QuitAndClose();

    // The dialogue steps, in order of use.
    void ReadGreeting();
    void Announce();
    void CollectAuthMethods();
    // "STARTTLS", the handshake, EHLO again with the methods taken anew.
    void StartTLS();
    void AuthLogin();
    void AuthPlain();
    // "AUTH OAUTHBEARER" or "AUTH XOAUTH2" with the token as initial
    // response; an expired token is renewed once.
    void AuthBearer(const std::string& mechanism);
    // size: the message's octets, sent as SIZE=size when not negative;
    // SMTPUTF8 follows when the transaction's addresses need it.
    void MailFrom(const std::string& address, int64_t size = -1);
    void RcptTo(const TNetEMailAddressList& list);
    void SendData(TNetMessage& message);

private:
    // One offer of the token; empty when the server took it, else why not.
    std::string OfferToken(const std::string& mechanism, bool& renewable);
    // RSET, the login when one is due, MAIL FROM. countOctets gives the
    // message's size as it will be sent; it is asked only when the server
    // announced SIZE, after the login is decided, and a mail over the limit
    // raises ENetMessageTooLarge before RSET.
    void BeginTransaction(const std::string& sender, const std::function<int64_t()>& countOctets);
    // DATA, the text writeText puts on the connection, ".", its reply.
    void TransmitData(const std::function<void()>& writeText);
    void PrepareTransport();
    TNetIOHandlerTLS* TLSTransport() const;
    // A password may go only over TLS unless Security is ssNone.
    bool PasswordNeedsTLS() const;
    // Raises ENetTLSError when a login now would send the password in clear.
    void CheckPasswordMayGo() const;
    // Decides FUseSMTPUTF8 for the transaction's addresses (sender first),
    // or raises.
    void ChooseAddressForm(const std::vector<std::string>& addresses);
    // address as the envelope carries it in this transaction.
    std::string EnvelopeAddress(const std::string& address) const;
    // A 421 (closing) ends the session whatever the step accepts.
    void RefuseClosing(int16_t code);
    TAuthenticationType FAuthenticationType = atNone;
    bool FSMTPUTF8Offered = false;
    bool FUseSMTPUTF8 = false;
    bool FUseEhlo = true;
    bool FStartTLSOffered = false;
    bool FInData = false; // between DATA's go-ahead and the final "."
};

// The base64 form of text's bytes on one line (RFC 2045 alphabet, "=" fill).
std::string EncodeBase64Line(const std::string& text);
