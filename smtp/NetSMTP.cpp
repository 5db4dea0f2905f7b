// SMTP dialogue steps; see NetSMTP.h. Every reply is checked against the
// codes the step accepts; a rejected reply raises ENetProtocolReplyError
// with the server's text. Once TLS is wanted nothing falls back to clear
// text: a refused or failed upgrade ends the delivery.
#include "smtp/NetSMTP.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "mail/message/NetEncoders.h"
#include "mail/message/NetMessage.h"
#include "net/NetDeliveryException.h"
#include "net/NetIOHandlerTLS.h"
#include "net/NetStack.h"
#include "smtp/NetHeloName.h"
#include "smtp/NetInternationalAddress.h"
#include "smtp/NetMessageSize.h"
#include "smtp/SaslBearer.h"

#include <QByteArray>

#include <algorithm>
#include <memory>

namespace {

bool Announced(const std::vector<std::string>& methods, const char* name) {
    return std::find(methods.begin(), methods.end(), name) != methods.end();
}

// An EHLO keyword: the first word of a line after the first, which is the
// server's name and greeting (RFC 5321 4.1.1.1).
bool OffersExtension(const TNetRFCReply& reply, const std::string& keyword) {
    for (size_t i = 1; i < reply.Text.size(); ++i) {
        std::string line = UpperCase(Trim(reply.Text[i]));
        if (line == keyword || line.compare(0, keyword.size() + 1, keyword + " ") == 0)
            return true;
    }
    return false;
}

// The SIZE keyword of an EHLO reply (RFC 1870 4): -1 when absent, else its
// limit, 0 when it names none (or none that can be read).
int64_t AnnouncedSize(const TNetRFCReply& reply) {
    for (size_t i = 1; i < reply.Text.size(); ++i) {
        const std::string line = UpperCase(Trim(reply.Text[i]));
        if (line != "SIZE" && line.compare(0, 5, "SIZE ") != 0)
            continue;
        const std::string number = Trim(line.substr(4));
        if (number.empty() || number.size() > 18 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        return std::stoll(number);
    }
    return -1;
}

} // namespace

TSmtpSecurity SmtpSecurityFromText(const std::string& text) {
    if (SameText(text, "STARTTLS"))
        return ssStartTLS;
    if (SameText(text, "SSL/TLS"))
        return ssImplicitTLS;
    if (SameText(text, "None"))
        return ssNone;
    return ssAuto;
}

TNetSMTP::TNetSMTP() {
    Port = 25;
}

TNetSMTP::TNetSMTP(const TSmtpOptions& o) {
    Host = o.Host;
    Port = o.Port;
    Security = o.Security;
    VerifyPeer = o.VerifyPeer;
    CAFile = o.CAFile;
    PinnedSha256 = o.PinnedSha256;
    SetAuthenticationType(o.Authentication);
    Username = o.Username;
    Password = o.Password;
    AccessToken = o.AccessToken;
    RenewAccessToken = o.RenewAccessToken;
    MailAgent = o.MailAgent;
    HeloName = o.HeloName;
    ReplyTimeout = o.ReplyTimeout;
    WriteTimeout = o.WriteTimeout;
    DataReplyTimeout = o.DataReplyTimeout;
    ConnectTimeout = o.ConnectTimeout;
    HostAddresses = o.HostAddresses;
    EnvelopeRecipients = o.EnvelopeRecipients;
}

void TNetSMTP::SetAuthenticationType(TAuthenticationType value) {
    FAuthenticationType = value;
    if (value == atLogin)
        FUseEhlo = true;
}

void TNetSMTP::SetUseEhlo(bool value) {
    FUseEhlo = value;
    if (!value)
        FAuthenticationType = atNone;
}

void TNetSMTP::ConnectAndGreet(int32_t timeout) {
    // A login belongs to its connection: one lost without QuitAndClose must
    // not let the next connection skip authentication.
    LoggedIn = false;
    FInData = false;
    FStartTLSOffered = false;
    FSMTPUTF8Offered = false;
    PrepareTransport();
    OpenConnection(timeout);
    try {
        ReadGreeting();
        ServerAuthMethods.clear();
        Announce();
        if (Security == ssStartTLS && !FStartTLSOffered)
            throw ENetTLSError(
                Tr("NetSMTP", "The server %1 does not offer STARTTLS; nothing was sent.")
                    .Arg(Host));
        if ((Security == ssStartTLS || Security == ssAuto) && FStartTLSOffered)
            StartTLS();
    } catch (...) {
        // The failure that matters is the one that stopped the greeting.
        try {
            QuitAndClose();
        } catch (...) {
        }
        throw;
    }
}

void TNetSMTP::PrepareTransport() {
    // A transport of the caller's, or one still connected (OpenConnection
    // refuses that), stays as it is.
    if (CallersIOHandler() || (FIOHandler && FIOHandler->Connected())) {
        if (TNetIOHandlerTLS* tls = TLSTransport()) {
            tls->ImplicitTLS = Security == ssImplicitTLS;
            tls->VerifyPeer = VerifyPeer;
            tls->CAFile = CAFile;
            tls->PinnedSha256 = PinnedSha256;
        } else if (Security == ssImplicitTLS) {
            throw ENetTLSError(
                Tr("NetSMTP", "TLS is not available on the connection to %1.").Arg(Host));
        }
        return;
    }
    if (Security == ssNone) {
        // OpenConnection makes its plain socket transport.
        SetOwnIOHandler(nullptr);
        return;
    }
    // A new TLS transport for every connection: no TLS state is carried
    // from one host to the next.
    auto tls = std::make_unique<TNetIOHandlerTLS>();
    tls->ImplicitTLS = Security == ssImplicitTLS;
    tls->VerifyPeer = VerifyPeer;
    tls->CAFile = CAFile;
    tls->PinnedSha256 = PinnedSha256;
    if (ReadTimeout > 0)
        tls->HandshakeTimeout = ReadTimeout;
    // The handshake is a server answer like a reply: the same limit holds.
    if (ReplyTimeout > 0)
        tls->HandshakeTimeout = ReplyTimeout;
    tls->OnStatus = [this](TNetComponent&, TNetStatus status, const std::string& text) {
        TNetComponent::DoStatus(status, text);
    };
    SetOwnIOHandler(std::move(tls));
}

TNetIOHandlerTLS* TNetSMTP::TLSTransport() const {
    return dynamic_cast<TNetIOHandlerTLS*>(FIOHandler.get());
}

bool TNetSMTP::Encrypted() const {
    TNetIOHandlerTLS* tls = TLSTransport();
    return tls && tls->Encrypted();
}

bool TNetSMTP::PasswordNeedsTLS() const {
    // Only "None", the user's explicit choice, lets a password go in clear:
    // a server without STARTTLS in Auto may be one whose offer was removed
    // on the way.
    return Security != ssNone;
}

void TNetSMTP::CheckPasswordMayGo() const {
    // Empty credentials reveal nothing; that login goes ahead unencrypted.
    // A bearer token is as good as a password to whoever reads it.
    if (Encrypted() || !PasswordNeedsTLS() ||
        (Username.empty() && Password.empty() && AccessToken.empty()))
        return;
    if (Security == ssAuto && !FStartTLSOffered)
        throw ENetTLSError(Tr("NetSMTP",
                              "The server %1 does not offer STARTTLS; the password was not "
                              "sent. Choose Security \"None\" in Options to send it unencrypted.")
                               .Arg(Host));
    throw ENetTLSError(
        Tr("NetSMTP", "The connection to %1 is not encrypted; the password was not sent.")
            .Arg(Host));
}

void TNetSMTP::ReadGreeting() {
    ReadReply({220});
}

void TNetSMTP::Announce() {
    std::string name = HeloName;
    if (name.empty()) {
        // A bare host name tells the server nothing; our address does.
        name = LocalHeloName(FIOHandler.get());
        // As the platform's 250-byte host-name buffer would hold it.
        if (name.size() > 249)
            name.resize(249);
    }
    // STARTTLS is known only from EHLO; a mode that requires it asks.
    const bool ehlo = FUseEhlo || Security == ssStartTLS;
    FSMTPUTF8Offered = false;
    ServerSizeLimit = -1;
    if (ehlo) {
        const int16_t code = SendCommand("EHLO " + name);
        RefuseClosing(code);
        if (code == 250) {
            CollectAuthMethods();
            if (!Encrypted() && OffersExtension(LastReply, "STARTTLS"))
                FStartTLSOffered = true;
            FSMTPUTF8Offered = OffersExtension(LastReply, "SMTPUTF8");
            ServerSizeLimit = AnnouncedSize(LastReply);
            return;
        }
    }
    SendCommand("HELO " + name, 250);
}

void TNetSMTP::RefuseClosing(int16_t code) {
    if (code == 421)
        throw ENetProtocolReplyError(LastReply.NumericCode, LastReply.TextWithLineEnds());
}

void TNetSMTP::CollectAuthMethods() {
    for (const std::string& text : LastReply.Text) {
        std::string line = UpperCase(text);
        if (line.compare(0, 5, "AUTH ") != 0 && line.compare(0, 5, "AUTH=") != 0)
            continue;
        std::string rest = line.substr(5);
        std::replace(rest.begin(), rest.end(), '=', ' ');
        while (!rest.empty()) {
            size_t space = rest.find(' ');
            std::string word = rest.substr(0, space);
            rest = space == std::string::npos ? std::string() : rest.substr(space + 1);
            // Runs of blanks give empty words; they name no method.
            if (word.empty())
                continue;
            if (std::find(ServerAuthMethods.begin(), ServerAuthMethods.end(), word) ==
                ServerAuthMethods.end())
                ServerAuthMethods.push_back(word);
        }
    }
}

void TNetSMTP::StartTLS() {
    TNetIOHandlerTLS* tls = TLSTransport();
    if (!tls)
        throw ENetTLSError(
            Tr("NetSMTP", "TLS is not available on the connection to %1.").Arg(Host));
    SendCommand("STARTTLS", 220);
    // Bytes after the 220 came in clear and would be read as if they were
    // protected: a man in the middle could inject replies that way.
    if (InputBufferSize() != 0) {
        CloseSocket();
        throw ENetTLSError(Tr("NetSMTP", "The server %1 sent data ahead of the TLS handshake; the "
                                         "connection was closed.")
                               .Arg(Host));
    }
    tls->StartTLS(Host);
    // What the server said in clear is forgotten (RFC 3207 4.2).
    ServerAuthMethods.clear();
    Announce();
}

void TNetSMTP::ChooseAddressForm(const std::vector<std::string>& addresses) {
    const std::string needs = FirstUTF8LocalPart(addresses);
    if (!needs.empty() && !FSMTPUTF8Offered)
        throw ENetSMTPUTF8Required(Host, needs);
    FUseSMTPUTF8 = !needs.empty();
    // Every domain must have its A-label form before anything goes out.
    if (!FUseSMTPUTF8)
        for (const std::string& a : addresses)
            ASCIIDomainAddress(a);
}

std::string TNetSMTP::EnvelopeAddress(const std::string& address) const {
    return FUseSMTPUTF8 ? address : ASCIIDomainAddress(address);
}

void TNetSMTP::SendMail(TNetMessage& message) {
    std::vector<std::string> addresses{message.From.Address};
    if (EnvelopeRecipients.empty()) {
        for (const TNetEMailAddressList* list :
             {&message.Recipients, &message.CCList, &message.BccList})
            for (const TNetEMailAddressItem& item : list->Items)
                addresses.push_back(item.Address);
    } else {
        addresses.insert(addresses.end(), EnvelopeRecipients.begin(), EnvelopeRecipients.end());
    }
    ChooseAddressForm(addresses);
    // Set before the size is counted, so SIZE holds the header too.
    message.ExtraHeaders.SetHeader("X-Mailer", MailAgent);
    BeginTransaction(message.From.Address, [&] {
        // Counted as SendData writes it: without SMTPUTF8 the header's
        // domains are A-labels, whose length differs from the typed ones.
        std::unique_ptr<TASCIIDomainHeaders> ascii;
        if (!FUseSMTPUTF8)
            ascii = std::make_unique<TASCIIDomainHeaders>(message);
        return MessageOctets(message);
    });
    if (EnvelopeRecipients.empty()) {
        RcptTo(message.Recipients);
        RcptTo(message.CCList);
        RcptTo(message.BccList);
    } else {
        for (const std::string& address : EnvelopeRecipients)
            SendCommand("RCPT TO:<" + EnvelopeAddress(address) + ">", {250, 251});
    }
    SendData(message);
}

std::vector<TNetSMTP::TDeferredRecipient>
TNetSMTP::SendStoredMail(const std::string& sender, const std::vector<std::string>& recipients,
                         TStream& text) {
    std::vector<std::string> addresses{sender};
    addresses.insert(addresses.end(), recipients.begin(), recipients.end());
    ChooseAddressForm(addresses);
    BeginTransaction(sender, [&] { return StoredTextOctets(text); });
    std::vector<TDeferredRecipient> deferred;
    size_t accepted = 0;
    for (const std::string& address : recipients) {
        const int16_t code = SendCommand("RCPT TO:<" + EnvelopeAddress(address) + ">");
        if (code == 250 || code == 251)
            ++accepted;
        else if (code >= 400 && code < 500)
            // A passing refusal (greylisting, a full mailbox): the others
            // still get the message now (RFC 5321 3.3).
            deferred.push_back({address, code, LastReply.TextWithLineEnds()});
        else
            CheckReply(code, {250, 251});
    }
    if (accepted == 0 && !deferred.empty())
        throw ENetProtocolReplyError(deferred.front().Code, deferred.front().Reply);
    TransmitData([&] { WriteStoredText(text); });
    return deferred;
}

void TNetSMTP::BeginTransaction(const std::string& sender,
                                const std::function<int64_t()>& countOctets) {
    bool login = false, plain = false;
    if (FAuthenticationType == atLogin && !LoggedIn) {
        login = Announced(ServerAuthMethods, "LOGIN");
        // PLAIN only when LOGIN is not offered; under ssNone LOGIN is the one
        // mechanism used.
        plain = !login && Security != ssNone && Announced(ServerAuthMethods, "PLAIN");
        // Decided before anything else goes out, so a refusal leaves the
        // server nothing but the QUIT of the caller.
        if (login || plain)
            CheckPasswordMayGo();
    }
    std::string bearer;
    if (FAuthenticationType == atOAuth2 && !LoggedIn) {
        // OAUTHBEARER is the standard one; XOAUTH2 its older sibling.
        for (const char* name : {"OAUTHBEARER", "XOAUTH2"})
            if (bearer.empty() && Announced(ServerAuthMethods, name))
                bearer = name;
        // Without a login the server would refuse the mail anyway, in words
        // that would not say why.
        if (bearer.empty())
            throw ENetSignInError(Tr("NetSMTP",
                                     "The server %1 offers no OAuth 2.0 sign-in (OAUTHBEARER "
                                     "or XOAUTH2); nothing was sent.")
                                      .Arg(Host));
        CheckPasswordMayGo();
    }
    // Counted only for a server that announced SIZE (RFC 1870 4).
    int64_t size = -1;
    if (ServerSizeLimit >= 0) {
        size = countOctets();
        // Refused here rather than after the whole upload.
        if (ServerSizeLimit > 0 && size > ServerSizeLimit)
            throw ENetMessageTooLarge(size, Host, ServerSizeLimit);
    }
    RefuseClosing(SendCommand("RSET"));
    if (login)
        AuthLogin();
    else if (plain)
        AuthPlain();
    else if (!bearer.empty())
        AuthBearer(bearer);
    MailFrom(sender, size);
}

void TNetSMTP::AuthLogin() {
    SendCommand("AUTH LOGIN", 334);
    SendCommand(EncodeBase64Line(Username), 334);
    SendCommand(EncodeBase64Line(Password), 235);
    LoggedIn = true;
}

void TNetSMTP::AuthPlain() {
    // No authorization identity: the server derives it from the user.
    SendCommand("AUTH PLAIN " + EncodeBase64Line(std::string(1, '\0') + Username +
                                                 std::string(1, '\0') + Password),
                235);
    LoggedIn = true;
}

void TNetSMTP::AuthBearer(const std::string& mechanism) {
    bool renewable = false;
    std::string refusal = OfferToken(mechanism, renewable);
    if (!refusal.empty() && renewable && RenewAccessToken) {
        AccessToken = RenewAccessToken();
        refusal = OfferToken(mechanism, renewable);
    }
    if (!refusal.empty())
        throw ENetSignInError(
            Tr("NetSMTP", "The server %1 refused the sign-in token (%2).").Arg(Host, refusal),
            refusal);
    LoggedIn = true;
}

std::string TNetSMTP::OfferToken(const std::string& mechanism, bool& renewable) {
    const std::string response = mechanism == "OAUTHBEARER"
                                     ? OAuthBearerInitialResponse(Username, Host, Port, AccessToken)
                                     : XOAuth2InitialResponse(Username, AccessToken);
    renewable = false;
    if (SendCommand("AUTH " + mechanism + " " + EncodeBase64Line(response), {235, 334}) == 235)
        return "";
    // A 334 carries the refusal as base64 JSON (RFC 7628 3.2.2).
    const std::string encoded = LastReply.Text.empty() ? "" : LastReply.Text[0];
    const QByteArray json = QByteArray::fromBase64(QByteArray::fromStdString(encoded));
    const TBearerChallenge challenge = ParseBearerChallenge(json.toStdString());
    // The exchange must still be ended: OAUTHBEARER with a lone %x01 (RFC
    // 7628 3.2.3), XOAUTH2 with an empty line as its documentation asks.
    const int16_t code =
        SendCommand(mechanism == "OAUTHBEARER" ? EncodeBase64Line("\x01") : std::string());
    renewable = challenge.TokenExpired();
    return challenge.Status.empty() ? std::to_string(code) : challenge.Status;
}

void TNetSMTP::MailFrom(const std::string& address, int64_t size) {
    SendCommand("MAIL FROM:<" + EnvelopeAddress(address) + ">" +
                    (size >= 0 ? " SIZE=" + std::to_string(size) : "") +
                    (FUseSMTPUTF8 ? " SMTPUTF8" : ""),
                250);
}

void TNetSMTP::RcptTo(const TNetEMailAddressList& list) {
    for (const TNetEMailAddressItem& item : list.Items)
        SendCommand("RCPT TO:<" + EnvelopeAddress(item.Address) + ">", {250, 251});
}

void TNetSMTP::SendData(TNetMessage& message) {
    message.ExtraHeaders.SetHeader("X-Mailer", MailAgent);
    TransmitData([&] {
        // Without SMTPUTF8 the header must be ASCII too (RFC 6532 is for
        // servers that offer it).
        std::unique_ptr<TASCIIDomainHeaders> ascii;
        if (!FUseSMTPUTF8)
            ascii = std::make_unique<TASCIIDomainHeaders>(message);
        WriteMessage(message, false);
    });
}

void TNetSMTP::TransmitData(const std::function<void()>& writeText) {
    SendCommand("DATA", 354);
    // The message text goes out in large writes; the bytes are the same as
    // line by line. A failure (missing attachment) discards what is pending
    // and "." is never sent, so the server cannot take a partial message.
    StartWriteBuffering(MessageWriteBlock);
    FInData = true;
    try {
        writeText();
        StopWriteBuffering();
    } catch (...) {
        DiscardWriteBuffer();
        throw;
    }
    WriteLine(".");
    FInData = false;
    ReadReplyWithin({250}, DataReplyTimeout > 0 ? DataReplyTimeout : ReplyTimeout);
}

void TNetSMTP::QuitAndClose() {
    // Inside the message data a QUIT would be taken as text: closing
    // without the final "." is what ends the transaction unsent.
    const bool inData = FInData;
    FInData = false;
    try {
        if (!inData && IsConnected())
            WriteLine("QUIT");
    } catch (...) {
        CloseConnection();
        LoggedIn = false;
        throw;
    }
    CloseConnection();
    LoggedIn = false;
}

std::string EncodeBase64Line(const std::string& text) {
    static const TNetEncoderMIME coder;
    std::string out(4 * ((text.size() + 2) / 3), '\0');
    size_t n =
        coder.EncodeBlock(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out.data());
    out.resize(n);
    return out;
}
