// Secure submission to a real SMTP server (python3-aiosmtpd on 127.0.0.1)
// with certificates the test makes (its own CA, trusted through CAFile for
// the test only): STARTTLS in "Auto" and "STARTTLS" modes and implicit TLS
// each carry the login and the message intact; the server's AUTH offer is
// taken from the EHLO after STARTTLS; a certificate that fails the check
// ends the delivery with its reason before any login; opportunistic TLS
// takes any certificate.
#include "mail/message/NetMessage.h"
#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "net/NetIOHandlerTLS.h"
#include "smtp/NetSMTP.h"
#include "tests/support/TempDir.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/tls_TestPki.h"

#include <gtest/gtest.h>
#include <map>

namespace {

class SmtpTlsAiosmtpd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = new TTempDir();
        Pki = new TTlsTestPki(Dir->Path());
        const std::vector<std::string> loopback = {"DNS:localhost", "IP:127.0.0.1"};
        Certs = new std::map<std::string, TTlsCertFiles>{
            {"good", Pki->Issue("good", loopback)},
            {"expired", Pki->Issue("expired", loopback, -30, -1)},
            {"other", Pki->Issue("other", {"DNS:mail.other.test"})},
        };
    }
    static void TearDownTestSuite() {
        delete Certs;
        delete Pki;
        delete Dir;
    }

    static TSmtpAiosmtpdOptions WithTLS(const std::string& cert, bool plainOnly = false) {
        TSmtpAiosmtpdOptions o;
        o.Auth = true;
        o.PlainOnly = plainOnly;
        o.StartTLSCert = o.ImplicitCert = Certs->at(cert).Cert;
        o.StartTLSKey = o.ImplicitKey = Certs->at(cert).Key;
        return o;
    }

    void SetUp() override {
        // The message with an attachment, and how the server must store it.
        std::string mp3(30000, '\0');
        for (size_t i = 0; i < mp3.size(); ++i)
            mp3[i] = static_cast<char>((i * 7919) >> 3);
        Files.Write("Quillet.mp3", mp3);
        Message.From.Address = "sender@example.test";
        Message.Recipients.AssignText("Anna <anna@example.test>");
        Message.Subject = "A voice message";
        Message.Body = {"Hello,\r\n.\r\n..dots\r\nbye\r\n"};
        Message.Parts.AddAttachment(Files.File("Quillet.mp3"));
        Message.Clock = [] { return time_t(1796613368); };
        Message.WriteToFile(Files.File("saved.eml"), false);
        Expected = Files.Read("saved.eml");
    }

    void Configure(TNetSMTP& smtp, int port, TSmtpSecurity security, bool trustTestCA = true) {
        smtp.Host = "localhost";
        smtp.Port = port;
        smtp.Security = security;
        smtp.SetAuthenticationType(atLogin);
        smtp.Username = "user";
        smtp.Password = "secret";
        smtp.ReadTimeout = 10000;
        if (trustTestCA)
            smtp.CAFile = Pki->CAFile;
    }

    // A whole delivery; the connection's state is checked while it is up.
    void Deliver(int port, TSmtpSecurity security) {
        TNetSMTP smtp;
        Configure(smtp, port, security);
        smtp.ConnectAndGreet();
        EXPECT_TRUE(smtp.Encrypted());
        smtp.SendMail(Message);
        EXPECT_TRUE(smtp.LoggedIn);
        smtp.QuitAndClose();
    }

    // The error text of a delivery that must fail in ConnectAndGreet.
    std::string Refusal(int port, TSmtpSecurity security, bool trustTestCA = true) {
        TNetSMTP smtp;
        Configure(smtp, port, security, trustTestCA);
        try {
            smtp.ConnectAndGreet();
            smtp.SendMail(Message);
            smtp.QuitAndClose();
        } catch (const ENetException& e) {
            EXPECT_FALSE(smtp.IsConnected());
            return e.Message;
        }
        return "";
    }

    static TTempDir* Dir;
    static TTlsTestPki* Pki;
    static std::map<std::string, TTlsCertFiles>* Certs;
    TNetAntiFreeze AntiFreeze; // the program always has one; no GUI thread here
    TTempDir Files;
    TNetMessage Message;
    std::string Expected;
};

TTempDir* SmtpTlsAiosmtpd::Dir = nullptr;
TTlsTestPki* SmtpTlsAiosmtpd::Pki = nullptr;
std::map<std::string, TTlsCertFiles>* SmtpTlsAiosmtpd::Certs = nullptr;

// The commands the server took, less QUIT: the client does not wait for
// its reply, so whether the server still reads it is a race.
std::string Commands(const TSmtpAiosmtpd& server) {
    std::string all = server.Commands(), out;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        end = end == std::string::npos ? all.size() : end + 1;
        if (all.compare(start, 5, "QUIT ") != 0)
            out += all.substr(start, end - start);
        start = end;
    }
    return out;
}

const std::string Envelope = "login=user\nfrom=sender@example.test\nrcpt=anna@example.test\n";

TEST_F(SmtpTlsAiosmtpd, StartTLSThenLoginInAutoAndRequiredModes) {
    TSmtpAiosmtpd server(WithTLS("good"));
    ASSERT_NE(server.Port(), 0) << "aiosmtpd did not start";
    // The server offers AUTH only after STARTTLS: the login proves the
    // methods came from the second EHLO.
    const std::string session = "EHLO plain\nSTARTTLS plain\nEHLO tls\nRSET tls\nAUTH LOGIN tls\n"
                                "MAIL tls\nRCPT tls\nDATA tls\n";
    Deliver(server.Port(), ssAuto);
    EXPECT_EQ(server.Message(1), Expected);
    EXPECT_EQ(server.Envelope(1), Envelope);
    Deliver(server.Port(), ssStartTLS);
    EXPECT_EQ(server.Message(2), Expected);
    EXPECT_EQ(server.Envelope(2), Envelope);
    EXPECT_EQ(Commands(server), session + session);
}

TEST_F(SmtpTlsAiosmtpd, ImplicitTLSOnItsOwnPort) {
    TSmtpAiosmtpd server(WithTLS("good"));
    ASSERT_NE(server.ImplicitPort(), 0) << "aiosmtpd did not start";
    Deliver(server.ImplicitPort(), ssImplicitTLS);
    EXPECT_EQ(server.Message(1), Expected);
    EXPECT_EQ(server.Envelope(1), Envelope);
    EXPECT_EQ(Commands(server),
              "EHLO tls\nRSET tls\nAUTH LOGIN tls\nMAIL tls\nRCPT tls\nDATA tls\n");
}

TEST_F(SmtpTlsAiosmtpd, PlainOnlyServerGetsAuthPlainOverTLS) {
    TSmtpAiosmtpd server(WithTLS("good", true));
    ASSERT_NE(server.Port(), 0);
    Deliver(server.Port(), ssStartTLS);
    EXPECT_EQ(server.Envelope(1), Envelope);
    EXPECT_NE(server.Commands().find("AUTH PLAIN tls\n"), std::string::npos) << server.Commands();
}

TEST_F(SmtpTlsAiosmtpd, AuthMethodsOfferedInClearAreForgottenAfterStartTLS) {
    // LOGIN in clear, PLAIN alone after STARTTLS: LOGIN would be refused.
    TSmtpAiosmtpdOptions o = WithTLS("good", true);
    o.ClearAuth = "LOGIN";
    TSmtpAiosmtpd server(o);
    ASSERT_NE(server.Port(), 0);
    Deliver(server.Port(), ssAuto);
    EXPECT_EQ(server.Envelope(1), Envelope);
    EXPECT_EQ(Commands(server), "EHLO plain\nSTARTTLS plain\nEHLO tls\nRSET tls\nAUTH PLAIN tls\n"
                                "MAIL tls\nRCPT tls\nDATA tls\n");
}

TEST_F(SmtpTlsAiosmtpd, RequiredStartTLSMissingSendsNothing) {
    TSmtpAiosmtpd server(true);
    ASSERT_NE(server.Port(), 0);
    EXPECT_EQ(Refusal(server.Port(), ssStartTLS),
              "The server localhost does not offer STARTTLS; nothing was sent.");
    EXPECT_EQ(server.Message(1, 300), "");
    EXPECT_EQ(Commands(server), "EHLO plain\n");
}

TEST_F(SmtpTlsAiosmtpd, CertificateFailuresEndTheDeliveryBeforeTheLogin) {
    struct Case {
        const char* Cert;
        bool TrustTestCA;
        std::string Error;
    };
    const Case cases[] = {
        {"other", true,
         "Certificate of localhost rejected: name mismatch (the certificate is not valid for "
         "localhost)."},
        {"expired", true, "Certificate of localhost rejected: expired."},
        {"good", false, "Certificate of localhost rejected: unknown issuer."},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.Cert);
        TSmtpAiosmtpd server(WithTLS(tc.Cert));
        ASSERT_NE(server.Port(), 0);
        for (TSmtpSecurity mode : {ssAuto, ssStartTLS})
            EXPECT_EQ(Refusal(server.Port(), mode, tc.TrustTestCA), tc.Error);
        EXPECT_EQ(Refusal(server.ImplicitPort(), ssImplicitTLS, tc.TrustTestCA), tc.Error);
        EXPECT_EQ(server.Message(1, 300), "");
        // No AUTH, and nothing at all after the refused handshake.
        EXPECT_EQ(Commands(server), "EHLO plain\nSTARTTLS plain\nEHLO plain\nSTARTTLS plain\n");
    }
}

TEST_F(SmtpTlsAiosmtpd, OpportunisticTLSTakesAnyCertificate) {
    // Direct delivery: mail exchangers rarely hold a certificate for their
    // name, and encrypted without a check beats clear text.
    TSmtpAiosmtpd server(WithTLS("other"));
    ASSERT_NE(server.Port(), 0);
    TNetSMTP smtp;
    Configure(smtp, server.Port(), ssAuto, false);
    smtp.VerifyPeer = false;
    smtp.SetAuthenticationType(atNone);
    smtp.ConnectAndGreet();
    EXPECT_TRUE(smtp.Encrypted());
    smtp.SendMail(Message);
    smtp.QuitAndClose();
    EXPECT_EQ(server.Message(1), Expected);
    EXPECT_EQ(server.Envelope(1), "login=\nfrom=sender@example.test\nrcpt=anna@example.test\n");
}

} // namespace
