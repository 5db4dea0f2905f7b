// Delivery to a real SMTP server (python3-aiosmtpd on 127.0.0.1): the
// program's own message with an attachment arrives exactly as the .eml
// writer produces it (less the final "." line, and less the dot-stuffing
// that the server removes by the protocol), with the login used when AUTH
// is offered and without one when it is not.
#include "mail/message/NetMessage.h"
#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "smtp/NetSMTP.h"
#include "tests/support/TempDir.h"
#include "tests/support/smtp_Aiosmtpd.h"

#include <gtest/gtest.h>

namespace {

void FillProgramMessage(TNetMessage& m, const std::string& attachment) {
    m.AddRawHeader("X-Unsent: 1");
    m.From.Name = "Voice Sender";
    m.From.Address = "sender@example.test";
    m.Recipients.AssignText("Anna <anna@example.test>, bob@example.test");
    m.CCList.AssignText("carol@example.test");
    m.Subject = "A voice message";
    m.Organization = "http://www.quillet.example/";
    m.Body = {"Hello,\r\n.\r\n..and a line with dots\r\nbye\r\n"};
    m.Parts.AddAttachment(attachment);
    m.Clock = [] { return time_t(1796613368); }; // both writes get one Date
}

struct Delivery {
    std::string Received;
    std::string Envelope;
    std::string Eml;
};

Delivery DeliverTo(TSmtpAiosmtpd& server, TAuthenticationType auth) {
    TTempDir dir;
    std::string mp3(20000, '\0');
    for (size_t i = 0; i < mp3.size(); ++i)
        mp3[i] = static_cast<char>((i * 7919) >> 3);
    dir.Write("Quillet.mp3", mp3);

    TNetMessage m;
    FillProgramMessage(m, dir.File("Quillet.mp3"));
    TNetSMTP smtp;
    smtp.Host = "localhost";
    smtp.Port = server.Port();
    smtp.SetAuthenticationType(auth);
    smtp.Username = "user";
    smtp.Password = "secret";
    smtp.Security = ssNone; // the login in clear is the user's choice
    smtp.MailAgent = "Quillet(http://www.quillet.example/)";
    smtp.ReadTimeout = 10000;
    smtp.ConnectAndGreet();
    smtp.SendMail(m);
    smtp.QuitAndClose();
    EXPECT_FALSE(smtp.IsConnected());

    m.WriteToFile(dir.File("saved.eml"), false);
    Delivery d;
    d.Eml = dir.Read("saved.eml");
    d.Received = server.Message(1);
    d.Envelope = server.Envelope(1);
    return d;
}

TEST(SmtpAiosmtpd, DeliversTheWritersBytesWithLogin) {
    TSmtpAiosmtpd server(true);
    ASSERT_NE(server.Port(), 0) << "aiosmtpd did not start";
    TNetAntiFreeze af; // the program always has one; no GUI thread here
    Delivery d = DeliverTo(server, atLogin);
    ASSERT_FALSE(d.Received.empty());
    EXPECT_EQ(d.Received, d.Eml);
    EXPECT_NE(d.Received.find("\r\nX-Mailer: Quillet(http://www.quillet.example/)\r\n"),
              std::string::npos);
    EXPECT_NE(d.Received.find("name=\"Quillet.mp3\""), std::string::npos);
    EXPECT_EQ(d.Envelope, "login=user\nfrom=sender@example.test\nrcpt=anna@example.test\n"
                          "rcpt=bob@example.test\nrcpt=carol@example.test\n");
}

TEST(SmtpAiosmtpd, WithoutAuthTheServerDecides) {
    TSmtpAiosmtpd server(false);
    ASSERT_NE(server.Port(), 0) << "aiosmtpd did not start";
    Delivery d = DeliverTo(server, atLogin);
    EXPECT_EQ(d.Received, d.Eml);
    EXPECT_EQ(d.Envelope.substr(0, 7), "login=\n") << "logged in without AUTH on offer";
}

TEST(SmtpAiosmtpd, WrongPasswordIsRefused) {
    TSmtpAiosmtpd server(true);
    ASSERT_NE(server.Port(), 0);
    TNetMessage m;
    m.From.Address = "sender@example.test";
    m.Recipients.Add().Address = "anna@example.test";
    TNetSMTP smtp;
    smtp.Host = "127.0.0.1";
    smtp.Port = server.Port();
    smtp.SetAuthenticationType(atLogin);
    smtp.Username = "user";
    smtp.Password = "wrong";
    smtp.Security = ssNone;
    smtp.ReadTimeout = 10000;
    smtp.ConnectAndGreet();
    try {
        smtp.SendMail(m);
        FAIL() << "delivered";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 535);
    }
    EXPECT_FALSE(smtp.LoggedIn);
    smtp.QuitAndClose();
    EXPECT_EQ(server.Message(1, 300), "");
}

} // namespace
