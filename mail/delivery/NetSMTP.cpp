// SMTP dialogue steps; see NetSMTP.h. Every reply is checked against the
// codes the step accepts; a rejected reply raises ENetProtocolReplyError
// with the server's text.
#include "mail/delivery/NetSMTP.h"

#include "base/Text.h"
#include "mail/delivery/NetStack.h"
#include "mail/message/NetEncoders.h"
#include "mail/message/NetMessage.h"

#include <algorithm>

TNetSMTP::TNetSMTP() {
    Port = 25;
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
    OpenConnection(timeout);
    try {
        ReadGreeting();
        ServerAuthMethods.clear();
        Announce();
    } catch (...) {
        // The failure that matters is the one that stopped the greeting.
        try {
            QuitAndClose();
        } catch (...) {
        }
        throw;
    }
}

void TNetSMTP::ReadGreeting() {
    ReadReply({220});
}

void TNetSMTP::Announce() {
    std::string name = HeloName;
    if (name.empty()) {
        name = TNetStack::Instance().HostName();
        // As the platform's 250-byte host-name buffer would hold it.
        if (name.size() > 249)
            name.resize(249);
    }
    if (FUseEhlo && SendCommand("EHLO " + name) == 250) {
        CollectAuthMethods();
        return;
    }
    SendCommand("HELO " + name, 250);
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

void TNetSMTP::SendMail(TNetMessage& message) {
    SendCommand("RSET");
    const bool announced = FAuthenticationType == atLogin &&
                           std::find(ServerAuthMethods.begin(), ServerAuthMethods.end(), "LOGIN") !=
                               ServerAuthMethods.end();
    if (announced && !LoggedIn)
        AuthLogin();
    MailFrom(message.From.Address);
    RcptTo(message.Recipients);
    RcptTo(message.CCList);
    RcptTo(message.BccList);
    SendData(message);
}

void TNetSMTP::AuthLogin() {
    SendCommand("AUTH LOGIN", 334);
    SendCommand(EncodeBase64Line(Username), 334);
    SendCommand(EncodeBase64Line(Password), 235);
    LoggedIn = true;
}

void TNetSMTP::MailFrom(const std::string& address) {
    SendCommand("MAIL FROM:<" + address + ">", 250);
}

void TNetSMTP::RcptTo(const TNetEMailAddressList& list) {
    for (const TNetEMailAddressItem& item : list.Items)
        SendCommand("RCPT TO:<" + item.Address + ">", {250, 251});
}

void TNetSMTP::SendData(TNetMessage& message) {
    SendCommand("DATA", 354);
    message.ExtraHeaders.SetHeader("X-Mailer", MailAgent);
    // The message text goes out in large writes; the bytes are the same as
    // line by line. A failure (missing attachment) discards what is pending
    // and "." is never sent, so the server cannot take a partial message.
    StartWriteBuffering(MessageWriteBlock);
    try {
        WriteMessage(message, false);
    } catch (...) {
        DiscardWriteBuffer();
        throw;
    }
    StopWriteBuffering();
    SendCommand(".", 250);
}

void TNetSMTP::QuitAndClose() {
    try {
        if (IsConnected())
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
