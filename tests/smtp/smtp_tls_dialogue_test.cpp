// The security modes on the wire, against the scripted loopback server (no
// TLS there, so these are the clear-text parts of the dialogue): "Auto"
// against a server without STARTTLS is the plain dialogue line for line,
// "None" never upgrades, a required STARTTLS that is missing, refused or
// fails stops before anything of the mail or the login, clear text after
// the 220 is refused, and only "None" lets the password go in clear.
#include "mail/message/NetMessage.h"
#include "net/NetDeliveryException.h"
#include "net/NetIOHandlerTLS.h"
#include "smtp/NetSMTP.h"
#include "tests/support/smtp_FakeServer.h"

#include <gtest/gtest.h>

namespace {

const std::string Helo = "client.test";
using Lines = std::vector<std::string>;

struct Client : TNetSMTP {
    Client(int port, TSmtpSecurity security) {
        Host = "127.0.0.1";
        Port = port;
        HeloName = Helo;
        Username = "user";
        Password = "secret";
        SetAuthenticationType(atLogin);
        Security = security;
        ReadTimeout = 5000;
    }
};

void Fill(TNetMessage& m) {
    m.From.Address = "sender@example.test";
    m.Recipients.Add().Address = "to@example.test";
    m.Subject = "Hello";
    m.Body = {"Hi there."};
    m.Clock = [] { return time_t(1796613368); }; // runs compared byte for byte share one Date
}

std::vector<TSmtpStep> Join(std::vector<TSmtpStep> a, const std::vector<TSmtpStep>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<TSmtpStep> Mail = {Cli("MAIL FROM:<sender@example.test>"),
                                     Srv("250 ok"),
                                     Cli("RCPT TO:<to@example.test>"),
                                     Srv("250 ok"),
                                     Cli("DATA"),
                                     Srv("354 go"),
                                     CliData(),
                                     Srv("250 queued")};
const Lines MailLines = {"MAIL FROM:<sender@example.test>", "RCPT TO:<to@example.test>", "DATA"};

const std::vector<TSmtpStep> Login = {Cli("AUTH LOGIN"), Srv("334 VXNlcm5hbWU6"),
                                      Cli("dXNlcg=="),   Srv("334 UGFzc3dvcmQ6"),
                                      Cli("c2VjcmV0"),   Srv("235 welcome")};
const Lines LoginLines = {"AUTH LOGIN", "dXNlcg==", "c2VjcmV0"};

Lines Cat(std::initializer_list<Lines> parts) {
    Lines out;
    for (const Lines& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Runs a whole delivery and returns what the server saw ("" data on error).
struct Transcript {
    Lines Sent;
    std::string Data;
    std::string Failure;
    bool LoggedIn = false;
};

Transcript Deliver(const std::vector<TSmtpStep>& script, TSmtpSecurity security) {
    TSmtpFakeServer server(script);
    Client c(server.Port(), security);
    TNetMessage m;
    Fill(m);
    c.ConnectAndGreet();
    c.SendMail(m);
    Transcript r;
    r.LoggedIn = c.LoggedIn;
    EXPECT_FALSE(c.Encrypted());
    c.QuitAndClose();
    EXPECT_TRUE(server.WaitDone());
    r.Sent = server.Lines();
    r.Data = server.Data();
    r.Failure = server.Failure();
    return r;
}

TEST(SmtpTlsDialogue, AutoWithoutStartTLSOrLoginIsThePlainDialogue) {
    struct Case {
        const char* Why;
        std::vector<TSmtpStep> Greeting;
        Lines Expected;
    };
    const Case cases[] = {
        {"EHLO without AUTH",
         {Srv("220 hi"), Cli("EHLO " + Helo), Srv("250-server.test\r\n250 8BITMIME")},
         Cat({{"EHLO " + Helo, "RSET"}, MailLines, {"QUIT"}})},
        {"HELO fallback",
         {Srv("220 hi"), Cli("EHLO " + Helo), Srv("502 no"), Cli("HELO " + Helo), Srv("250 hello")},
         Cat({{"EHLO " + Helo, "HELO " + Helo, "RSET"}, MailLines, {"QUIT"}})},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.Why);
        std::vector<TSmtpStep> script =
            Join(Join(tc.Greeting, {Cli("RSET"), Srv("250 reset")}), Mail);
        Transcript automatic = Deliver(script, ssAuto);
        Transcript none = Deliver(script, ssNone);
        EXPECT_EQ(automatic.Failure, "");
        EXPECT_EQ(automatic.Sent, tc.Expected);
        EXPECT_EQ(automatic.Sent, none.Sent);
        EXPECT_EQ(automatic.Data, none.Data);
    }
}

// A man in the middle can strip STARTTLS from the EHLO reply: Auto then
// sends nothing of the login, only "None" logs in in clear.
TEST(SmtpTlsDialogue, AutoNeverSendsThePasswordInClear) {
    struct Case {
        const char* Why;
        const char* Ehlo;
        bool NoneLogsIn; // "None" uses LOGIN only
    };
    const Case cases[] = {
        {"LOGIN and PLAIN", "250-server.test\r\n250-8BITMIME\r\n250 AUTH LOGIN PLAIN", true},
        {"PLAIN only", "250-s\r\n250 AUTH PLAIN", false},
        {"LOGIN as AUTH=", "250-s\r\n250 AUTH=LOGIN", true},
        {"STARTTLS in the greeting line is the server's name, not the keyword",
         "250-STARTTLS\r\n250 AUTH LOGIN", true},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.Why);
        const std::vector<TSmtpStep> greeting = {Srv("220 hi"), Cli("EHLO " + Helo), Srv(tc.Ehlo)};
        {
            TSmtpFakeServer server(greeting);
            Client c(server.Port(), ssAuto);
            TNetMessage m;
            Fill(m);
            c.ConnectAndGreet();
            try {
                c.SendMail(m);
                FAIL() << "sent";
            } catch (const ENetTLSError& e) {
                EXPECT_EQ(e.Message,
                          "The server 127.0.0.1 does not offer STARTTLS; the password was not "
                          "sent. Choose Security \"None\" in Options to send it unencrypted.");
            }
            EXPECT_FALSE(c.LoggedIn);
            c.QuitAndClose();
            ASSERT_TRUE(server.WaitDone());
            EXPECT_EQ(server.Lines(), (Lines{"EHLO " + Helo, "QUIT"}));
        }
        std::vector<TSmtpStep> script = Join(greeting, {Cli("RSET"), Srv("250 reset")});
        if (tc.NoneLogsIn)
            script = Join(script, Login);
        Transcript none = Deliver(Join(script, Mail), ssNone);
        EXPECT_EQ(none.Failure, "");
        EXPECT_EQ(none.LoggedIn, tc.NoneLogsIn);
        EXPECT_EQ(none.Sent, Cat({{"EHLO " + Helo, "RSET"},
                                  tc.NoneLogsIn ? LoginLines : Lines{},
                                  MailLines,
                                  {"QUIT"}}));
    }
}

TEST(SmtpTlsDialogue, NoneIgnoresAnOfferedStartTLS) {
    Transcript r = Deliver(Join({Srv("220 hi"), Cli("EHLO " + Helo),
                                 Srv("250-server.test\r\n250-STARTTLS\r\n250 AUTH LOGIN"),
                                 Cli("RSET"), Srv("250 reset")},
                                Join(Login, Mail)),
                           ssNone);
    EXPECT_EQ(r.Failure, "");
    EXPECT_EQ(r.Sent, Cat({{"EHLO " + Helo, "RSET"}, LoginLines, MailLines, {"QUIT"}}));
}

TEST(SmtpTlsDialogue, StartTLSKeywordIsRecognised) {
    const std::pair<const char*, bool> replies[] = {
        {"250-s\r\n250 STARTTLS", true},
        {"250-s\r\n250-starttls\r\n250 HELP", true}, // keywords are case-blind
        {"250-s\r\n250-XSTARTTLS\r\n250 HELP", false},
        {"250-s\r\n250 AUTH STARTTLS", false}, // a parameter, not the keyword
        {"250 STARTTLS", false},               // the server's name line
    };
    for (const auto& [reply, offered] : replies) {
        SCOPED_TRACE(reply);
        TSmtpFakeServer server({Srv("220 hi"), Cli("EHLO " + Helo), Srv(reply)});
        Client c(server.Port(), ssNone);
        c.ConnectAndGreet();
        EXPECT_EQ(c.StartTLSOffered(), offered);
        c.QuitAndClose();
    }
}

TEST(SmtpTlsDialogue, RequiredStartTLSNotOfferedStopsBeforeTheMail) {
    struct Case {
        const char* Why;
        bool UseEhlo;
        std::vector<TSmtpStep> Script;
        Lines Expected;
    };
    const Case cases[] = {
        {"EHLO without STARTTLS",
         true,
         {Srv("220 hi"), Cli("EHLO " + Helo), Srv("250-s\r\n250 AUTH LOGIN")},
         {"EHLO " + Helo, "QUIT"}},
        {"EHLO even when HELO is set: only EHLO can tell",
         false,
         {Srv("220 hi"), Cli("EHLO " + Helo), Srv("250 s")},
         {"EHLO " + Helo, "QUIT"}},
        {"a server that knows only HELO",
         true,
         {Srv("220 hi"), Cli("EHLO " + Helo), Srv("500 what"), Cli("HELO " + Helo),
          Srv("250 hello")},
         {"EHLO " + Helo, "HELO " + Helo, "QUIT"}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.Why);
        TSmtpFakeServer server(tc.Script);
        Client c(server.Port(), ssStartTLS);
        if (!tc.UseEhlo)
            c.SetUseEhlo(false);
        try {
            c.ConnectAndGreet();
            FAIL() << "greeted";
        } catch (const ENetTLSError& e) {
            EXPECT_EQ(e.Message, "The server 127.0.0.1 does not offer STARTTLS; nothing was sent.");
        }
        EXPECT_FALSE(c.IsConnected());
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Lines(), tc.Expected);
    }
}

TEST(SmtpTlsDialogue, AFailedUpgradeNeverFallsBackToClearText) {
    const std::vector<TSmtpStep> offer = {Srv("220 hi"), Cli("EHLO " + Helo),
                                          Srv("250-s\r\n250-STARTTLS\r\n250 AUTH LOGIN"),
                                          Cli("STARTTLS")};
    for (TSmtpSecurity mode : {ssAuto, ssStartTLS}) {
        SCOPED_TRACE(mode);
        {
            // Refused: QUIT may still go in clear, nothing else.
            TSmtpFakeServer server(Join(offer, {Srv("454 TLS not available")}));
            Client c(server.Port(), mode);
            try {
                c.ConnectAndGreet();
                FAIL() << "greeted";
            } catch (const ENetProtocolReplyError& e) {
                EXPECT_EQ(e.ReplyErrorCode, 454);
            }
            ASSERT_TRUE(server.WaitDone());
            EXPECT_EQ(server.Lines(), (Lines{"EHLO " + Helo, "STARTTLS", "QUIT"}));
        }
        {
            // Gone during the handshake.
            TSmtpFakeServer server(Join(offer, {Srv("220 go ahead"), Hangup()}));
            Client c(server.Port(), mode);
            try {
                c.ConnectAndGreet();
                FAIL() << "greeted";
            } catch (const ENetTLSError& e) {
                EXPECT_EQ(e.Message.rfind("TLS handshake with 127.0.0.1 failed: ", 0), 0u)
                    << e.Message;
            }
            EXPECT_FALSE(c.IsConnected());
            EXPECT_FALSE(c.LoggedIn);
        }
    }
}

TEST(SmtpTlsDialogue, ClearTextAfterTheGoAheadIsRefused) {
    // One write: the 220 and a forged EHLO reply arrive together, as a man
    // in the middle would send them.
    TSmtpFakeServer server({Srv("220 hi"), Cli("EHLO " + Helo),
                            Srv("250-s\r\n250-STARTTLS\r\n250 HELP"), Cli("STARTTLS"),
                            SrvRaw("220 go ahead\r\n250-s\r\n250 AUTH LOGIN\r\n")});
    Client c(server.Port(), ssAuto);
    try {
        c.ConnectAndGreet();
        FAIL() << "greeted";
    } catch (const ENetTLSError& e) {
        EXPECT_EQ(e.Message, "The server 127.0.0.1 sent data ahead of the TLS handshake; the "
                             "connection was closed.");
    }
    EXPECT_FALSE(c.IsConnected());
    ASSERT_TRUE(server.WaitDone());
    // Not even a QUIT, nor a handshake, follows.
    EXPECT_EQ(server.Lines(), (Lines{"EHLO " + Helo, "STARTTLS"}));
}

TEST(SmtpTlsDialogue, NoPasswordInClearWhenStartTLSWasOfferedButNotRun) {
    // The steps called one by one skip the upgrade; the login must not
    // follow on the clear connection.
    TSmtpFakeServer server(
        {Srv("220 hi"), Cli("EHLO " + Helo), Srv("250-s\r\n250-STARTTLS\r\n250 AUTH LOGIN PLAIN")});
    Client c(server.Port(), ssAuto);
    TNetMessage m;
    Fill(m);
    c.OpenConnection();
    c.ReadGreeting();
    c.Announce();
    try {
        c.SendMail(m);
        FAIL() << "sent";
    } catch (const ENetTLSError& e) {
        EXPECT_EQ(e.Message, "The connection to 127.0.0.1 is not encrypted; the password was not "
                             "sent.");
    }
    c.QuitAndClose();
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Lines(), (Lines{"EHLO " + Helo, "QUIT"}));
}

TEST(SmtpTlsDialogue, SecurityFromSettingsText) {
    const std::pair<const char*, TSmtpSecurity> cases[] = {
        {"Auto", ssAuto}, {"STARTTLS", ssStartTLS}, {"SSL/TLS", ssImplicitTLS},
        {"None", ssNone}, {"starttls", ssStartTLS}, {"", ssAuto},
        {"TLS", ssAuto},  {"none ", ssAuto}, // unknown text: the safe default
    };
    for (const auto& [text, mode] : cases)
        EXPECT_EQ(SmtpSecurityFromText(text), mode) << '"' << text << '"';
}

} // namespace
