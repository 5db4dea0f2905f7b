// The SMTP dialogue against the scripted loopback server: greeting, EHLO and
// the HELO fallback, when AUTH LOGIN runs, RSET on every message, accepted
// and refused recipients, recipient order, "X-Mailer", a missing attachment,
// a peer that hangs up, line limits, and the refusals that keep commands
// and the message data from being smuggled through; stored .eml text and
// the recipients a server puts off for now; SIZE on both paths.
#include "base/Exception.h"
#include "base/Stream.h"
#include "mail/message/NetMessage.h"
#include "net/NetDeliveryException.h"
#include "smtp/NetMessageSize.h"
#include "smtp/NetSMTP.h"
#include "tests/support/smtp_FakeServer.h"

#include <gtest/gtest.h>

namespace {

const std::string Helo = "client.test";
const std::string Ehlo250 = "250-server.test greets you\r\n250-8BITMIME\r\n250 HELP";

struct Client : TNetSMTP {
    explicit Client(int port, TAuthenticationType auth = atNone) {
        Host = "127.0.0.1";
        Port = port;
        HeloName = Helo;
        Username = "user";
        Password = "secret";
        SetAuthenticationType(auth);
        ReadTimeout = 5000; // a broken script fails the test instead of hanging it
        // The dialogue without TLS and with LOGIN as the only AUTH; the
        // other modes are the smtp_tls_* tests'.
        Security = ssNone;
    }
};

void Fill(TNetMessage& m) {
    m.From.Address = "sender@example.test";
    m.From.Name = "Sender";
    m.Recipients.Add().Address = "to@example.test";
    m.Subject = "Hello";
    m.Body = {"Hi there."};
}

// The server side of a whole delivery after the announcement.
std::vector<TSmtpStep> Transaction(const std::vector<std::string>& rcpts) {
    std::vector<TSmtpStep> s = {Cli("RSET"), Srv("250 reset"),
                                Cli("MAIL FROM:<sender@example.test>"), Srv("250 ok")};
    for (const std::string& r : rcpts) {
        s.push_back(Cli("RCPT TO:<" + r + ">"));
        s.push_back(Srv("250 ok"));
    }
    s.insert(s.end(), {Cli("DATA"), Srv("354 go"), CliData(), Srv("250 queued")});
    return s;
}

std::vector<TSmtpStep> Join(std::vector<TSmtpStep> a, const std::vector<TSmtpStep>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SmtpDialogue, GreetingOtherThan220) {
    TSmtpFakeServer server({Srv("554-no service here\r\n554 go away")});
    Client c(server.Port());
    try {
        c.ConnectAndGreet();
        FAIL() << "greeted";
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 554);
        EXPECT_EQ(e.Message, "no service here\r\ngo away\r\n");
    }
    EXPECT_FALSE(c.IsConnected());
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Lines(), std::vector<std::string>{"QUIT"});
    EXPECT_TRUE(server.Closed());
}

TEST(SmtpDialogue, EhloRefusedFallsBackToHelo) {
    for (const char* refusal : {"500 what?", "502 not implemented"}) {
        SCOPED_TRACE(refusal);
        TSmtpFakeServer server(Join({Srv("220 hi"), Cli("EHLO " + Helo), Srv(refusal),
                                     Cli("HELO " + Helo), Srv("250 hello")},
                                    Transaction({"to@example.test"})));
        Client c(server.Port(), atLogin);
        TNetMessage m;
        Fill(m);
        c.ConnectAndGreet();
        EXPECT_TRUE(c.ServerAuthMethods.empty());
        c.SendMail(m);
        c.QuitAndClose();
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
        EXPECT_EQ(server.Lines().back(), "QUIT");
    }
    // HELO itself needs 250.
    TSmtpFakeServer server(
        {Srv("220 hi"), Cli("EHLO " + Helo), Srv("502 no"), Cli("HELO " + Helo), Srv("501 no")});
    Client c(server.Port());
    EXPECT_THROW(c.ConnectAndGreet(), ENetProtocolReplyError);
    EXPECT_FALSE(c.IsConnected());
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Lines().back(), "QUIT");
}

TEST(SmtpDialogue, UseEhloFalseSendsHeloAndDropsLogin) {
    TSmtpFakeServer server({Srv("220 hi"), Cli("HELO " + Helo), Srv("250 hello")});
    Client c(server.Port(), atLogin);
    c.SetUseEhlo(false);
    EXPECT_EQ(c.AuthenticationType(), atNone);
    c.ConnectAndGreet();
    c.SetAuthenticationType(atLogin);
    EXPECT_TRUE(c.UseEhlo());
    c.QuitAndClose();
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Failure(), "");
}

struct AuthCase {
    const char* Why;
    std::string EhloReply; // "" for a server that only knows HELO
    TAuthenticationType Auth;
    bool Login;
};

TEST(SmtpDialogue, LoginOnlyWhenAnnouncedAndWanted) {
    const AuthCase cases[] = {
        {"AUTH with several methods", "250-s\r\n250 AUTH PLAIN LOGIN CRAM-MD5", atLogin, true},
        {"AUTH= form", "250-s\r\n250-AUTH PLAIN\r\n250 AUTH=LOGIN", atLogin, true},
        {"lower case", "250-s\r\n250 auth plain login", atLogin, true},
        {"blank runs between methods", "250-s\r\n250 AUTH  PLAIN   LOGIN", atLogin, true},
        {"only other methods", "250-s\r\n250 AUTH PLAIN CRAM-MD5", atLogin, false},
        {"LOGIN outside an AUTH line", "250-s\r\n250-LOGIN\r\n250 XAUTH LOGIN", atLogin, false},
        {"LOGIN as part of a longer name", "250-s\r\n250 AUTH XLOGIN", atLogin, false},
        {"HELO only", "", atLogin, false},
        {"atNone never authenticates", "250-s\r\n250 AUTH LOGIN", atNone, false},
    };
    for (const AuthCase& ac : cases) {
        SCOPED_TRACE(ac.Why);
        std::vector<TSmtpStep> s = {Srv("220 hi"), Cli("EHLO " + Helo)};
        if (ac.EhloReply.empty())
            s.insert(s.end(), {Srv("502 no"), Cli("HELO " + Helo), Srv("250 hello")});
        else
            s.push_back(Srv(ac.EhloReply));
        s.insert(s.end(), {Cli("RSET"), Srv("250 reset")});
        if (ac.Login)
            s.insert(s.end(), {Cli("AUTH LOGIN"), Srv("334 VXNlcm5hbWU6"), Cli("dXNlcg=="),
                               Srv("334 UGFzc3dvcmQ6"), Cli("c2VjcmV0"), Srv("235 welcome")});
        s.insert(s.end(), {Cli("MAIL FROM:<sender@example.test>"), Srv("250 ok"),
                           Cli("RCPT TO:<to@example.test>"), Srv("250 ok"), Cli("DATA"),
                           Srv("354 go"), CliData(), Srv("250 queued")});
        TSmtpFakeServer server(s);
        Client c(server.Port(), ac.Auth);
        TNetMessage m;
        Fill(m);
        c.ConnectAndGreet();
        c.SendMail(m);
        EXPECT_EQ(c.LoggedIn, ac.Login);
        c.QuitAndClose();
        EXPECT_FALSE(c.LoggedIn);
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
    }
}

TEST(SmtpDialogue, AuthMethodsCollectedOnce) {
    TSmtpFakeServer server({Srv("220 hi"), Cli("EHLO " + Helo),
                            Srv("250-s\r\n250-AUTH LOGIN PLAIN\r\n250 AUTH=LOGIN")});
    Client c(server.Port());
    c.ConnectAndGreet();
    EXPECT_EQ(c.ServerAuthMethods, (std::vector<std::string>{"LOGIN", "PLAIN"}));
    c.QuitAndClose();
}

TEST(SmtpDialogue, SecondMessageResetsButDoesNotLogInAgain) {
    std::vector<TSmtpStep> s = {Srv("220 hi"),   Cli("EHLO " + Helo), Srv("250 AUTH LOGIN"),
                                Cli("RSET"),     Srv("250 reset"),    Cli("AUTH LOGIN"),
                                Srv("334 u"),    Cli("dXNlcg=="),     Srv("334 p"),
                                Cli("c2VjcmV0"), Srv("235 ok")};
    auto t = Transaction({"to@example.test"});
    s.insert(s.end(), t.begin() + 2, t.end()); // after the first RSET
    s = Join(s, Transaction({"to@example.test"}));
    TSmtpFakeServer server(s);
    Client c(server.Port(), atLogin);
    TNetMessage m;
    Fill(m);
    c.ConnectAndGreet();
    c.SendMail(m);
    c.SendMail(m);
    c.QuitAndClose();
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Failure(), "");
}

TEST(SmtpDialogue, LoginOfALostConnectionIsNotCarriedOver) {
    const std::vector<TSmtpStep> login = {
        Srv("220 hi"),    Cli("EHLO " + Helo), Srv("250 AUTH LOGIN"), Cli("RSET"),
        Srv("250 reset"), Cli("AUTH LOGIN"),   Srv("334 u"),          Cli("dXNlcg=="),
        Srv("334 p"),     Cli("c2VjcmV0"),     Srv("235 ok")};
    TNetMessage m;
    Fill(m);
    TSmtpFakeServer first(Join(login, {Cli("MAIL FROM:<sender@example.test>"), Hangup()}));
    Client c(first.Port(), atLogin);
    c.ConnectAndGreet();
    EXPECT_THROW(c.SendMail(m), ENetConnClosedGracefully);
    EXPECT_FALSE(c.IsConnected()); // so the caller does not call QuitAndClose

    auto t = Transaction({"to@example.test"});
    TSmtpFakeServer second(Join(login, std::vector<TSmtpStep>(t.begin() + 2, t.end())));
    c.Port = second.Port();
    c.ConnectAndGreet();
    c.SendMail(m);
    c.QuitAndClose();
    ASSERT_TRUE(second.WaitDone());
    EXPECT_EQ(second.Failure(), "") << "no login on the new connection";
}

TEST(SmtpDialogue, RecipientsInOrderToCcBcc) {
    TSmtpFakeServer server(
        Join({Srv("220 hi"), Cli("EHLO " + Helo), Srv("250 ok")},
             {Cli("RSET"), Srv("250 reset"), Cli("MAIL FROM:<sender@example.test>"), Srv("250 ok"),
              Cli("RCPT TO:<to1@example.test>"), Srv("250 ok"), Cli("RCPT TO:<to2@example.test>"),
              Srv("251 will forward"), Cli("RCPT TO:<cc@example.test>"), Srv("250 ok"),
              Cli("RCPT TO:<bcc@example.test>"), Srv("250 ok"), Cli("DATA"), Srv("354 go"),
              CliData(), Srv("250 queued")}));
    Client c(server.Port());
    TNetMessage m;
    Fill(m);
    m.Recipients.Clear();
    m.Recipients.Add().Address = "to1@example.test";
    m.Recipients.Add().Address = "to2@example.test";
    m.CCList.Add().Address = "cc@example.test";
    m.BccList.Add().Address = "bcc@example.test";
    c.ConnectAndGreet();
    c.SendMail(m);
    c.QuitAndClose();
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(server.Data().find("bcc@example.test"), std::string::npos)
        << "Bcc written into the header";
}

// International addresses (RFC 6531): a non-ASCII local part goes only to
// a server offering SMTPUTF8, flagged on MAIL FROM and as typed in the
// header; to any other server an international domain goes as A-labels,
// in the envelope and the header, while the message keeps what was typed.
TEST(SmtpDialogue, InternationalAddressesAsTheServerAllows) {
    const std::string Utf8Ehlo = "250-server.test\r\n250-8BITMIME\r\n250 SMTPUTF8";
    struct TCase {
        const char* Why;
        std::string Ehlo, To;
        std::vector<std::string> Envelope; // MAIL and RCPT lines; empty: stopped before
        std::string Header;                // the To line of the data
        std::string Error;
    } cases[] = {
        {"SMTPUTF8 offered",
         Utf8Ehlo,
         "zo\xC3\xAB@example.test",
         {"MAIL FROM:<sender@example.test> SMTPUTF8", "RCPT TO:<zo\xC3\xAB@example.test>"},
         "To: zo\xC3\xAB@example.test\r\n",
         ""},
        {"not offered",
         Ehlo250,
         "zo\xC3\xAB@example.test",
         {},
         "",
         "The server 127.0.0.1 cannot take the address 'zo\xC3\xAB@example.test' (it does not "
         "offer SMTPUTF8)."},
        {"an international domain only",
         Ehlo250,
         "bob@b\xC3\xBC"
         "cher.example",
         {"MAIL FROM:<sender@example.test>", "RCPT TO:<bob@xn--bcher-kva.example>"},
         "To: bob@xn--bcher-kva.example\r\n",
         ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        std::vector<TSmtpStep> script = {Srv("220 hi"), Cli("EHLO " + Helo), Srv(c.Ehlo)};
        if (!c.Envelope.empty())
            script = Join(script, {Cli("RSET"), Srv("250 reset"), Cli(c.Envelope[0]), Srv("250 ok"),
                                   Cli(c.Envelope[1]), Srv("250 ok"), Cli("DATA"), Srv("354 go"),
                                   CliData(), Srv("250 queued")});
        TSmtpFakeServer server(script);
        Client client(server.Port());
        TNetMessage m;
        Fill(m);
        m.Recipients.Clear();
        m.Recipients.Add().Address = c.To;
        client.ConnectAndGreet();
        std::string error;
        try {
            client.SendMail(m);
        } catch (const ENetException& e) {
            error = e.Message;
        }
        client.QuitAndClose();
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(error, c.Error);
        EXPECT_EQ(server.Failure(), "");
        if (c.Envelope.empty())
            EXPECT_EQ(server.Lines(), (std::vector<std::string>{"EHLO " + Helo, "QUIT"}));
        else
            EXPECT_NE(server.Data().find(c.Header), std::string::npos) << server.Data();
        EXPECT_EQ(m.Recipients[0].Address, c.To) << "the message keeps the typed address";
    }
}

TEST(SmtpDialogue, RefusedRecipientStopsBeforeData) {
    TSmtpFakeServer server({Srv("220 hi"), Cli("EHLO " + Helo), Srv("250 ok"), Cli("RSET"),
                            Srv("250 reset"), Cli("MAIL FROM:<sender@example.test>"), Srv("250 ok"),
                            Cli("RCPT TO:<to@example.test>"), Srv("550 no such user")});
    Client c(server.Port());
    TNetMessage m;
    Fill(m);
    m.CCList.Add().Address = "cc@example.test";
    c.ConnectAndGreet();
    try {
        c.SendMail(m);
        FAIL();
    } catch (const ENetProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode, 550);
        EXPECT_EQ(e.Message, "no such user\r\n");
    }
    EXPECT_TRUE(c.IsConnected()) << "SendMail leaves closing to the caller";
    c.QuitAndClose();
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Lines().back(), "QUIT");
    for (const auto& l : server.Lines())
        EXPECT_NE(l, "DATA");
}

TEST(SmtpDialogue, MailAgentSetsOrRemovesXMailer) {
    for (const std::string agent : {"Quillet(http://www.quillet.example/)", ""}) {
        SCOPED_TRACE(agent);
        TSmtpFakeServer server(Join({Srv("220 hi"), Cli("EHLO " + Helo), Srv("250 ok")},
                                    Transaction({"to@example.test"})));
        Client c(server.Port());
        c.MailAgent = agent;
        TNetMessage m;
        Fill(m);
        m.ExtraHeaders.Add("X-Mailer: left from an earlier send");
        c.ConnectAndGreet();
        c.SendMail(m);
        c.QuitAndClose();
        ASSERT_TRUE(server.WaitDone());
        std::string data = server.Data();
        EXPECT_EQ(data.find("earlier send"), std::string::npos);
        if (agent.empty())
            EXPECT_EQ(data.find("X-Mailer"), std::string::npos);
        else
            EXPECT_NE(data.find("\r\nX-Mailer: " + agent + "\r\n"), std::string::npos);
        EXPECT_EQ(m.ExtraHeaders.GetHeader("X-Mailer"), agent) << "kept in the message";
    }
}

TEST(SmtpDialogue, MissingAttachmentSendsNoEndOfData) {
    TSmtpFakeServer server({Srv("220 hi"), Cli("EHLO " + Helo), Srv("250 ok"), Cli("RSET"),
                            Srv("250 reset"), Cli("MAIL FROM:<sender@example.test>"), Srv("250 ok"),
                            Cli("RCPT TO:<to@example.test>"), Srv("250 ok"), Cli("DATA"),
                            Srv("354 go"), CliData()});
    Client c(server.Port());
    TNetMessage m;
    Fill(m);
    m.Parts.AddAttachment("/nonexistent/dir/Quillet.mp3");
    c.ConnectAndGreet();
    try {
        c.SendMail(m);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message.find("Cannot open file \"/nonexistent/dir/Quillet.mp3\""),
                  std::string::npos);
    }
    c.QuitAndClose();
    ASSERT_TRUE(server.WaitDone());
    EXPECT_NE(server.Failure(), "") << "the data was ended";
    EXPECT_EQ(server.Data().find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(server.Data().find("QUIT"), std::string::npos) << "no QUIT inside the data";
}

TEST(SmtpDialogue, SizeAnnouncedByTheServer) {
    // RFC 1870: SIZE=<octets of the message as sent> on MAIL FROM; a mail
    // over the limit is stopped before MAIL FROM, so no DATA goes out.
    struct Case {
        const char* Why;
        const char* Keyword;
        size_t BodyBytes;
        bool Refused;
    } cases[] = {
        {"a limit the mail fits", "250 SIZE 100000", 1000, false},
        {"no number: announced, no limit", "250 SIZE", 150000, false},
        {"over the limit", "250 SIZE 100000", 150000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        std::vector<TSmtpStep> script = {Srv("220 hi"), Cli("EHLO " + Helo),
                                         Srv(std::string("250-s\r\n") + c.Keyword)};
        if (!c.Refused)
            script = Join(script, {Cli("RSET"), Srv("250 reset"), Cli(), Srv("250 ok"), Cli(),
                                   Srv("250 ok"), Cli("DATA"), Srv("354 go"), CliData(),
                                   Srv("250 queued")});
        TSmtpFakeServer server(script);
        Client client(server.Port());
        TNetMessage m;
        Fill(m);
        m.Body = {std::string(c.BodyBytes, 'x')};
        client.ConnectAndGreet();
        if (c.Refused) {
            try {
                client.SendMail(m);
                FAIL() << "sent over the limit";
            } catch (const ENetMessageTooLarge& e) {
                EXPECT_EQ(e.Message,
                          "The mail (0.14 MB) is larger than 127.0.0.1 accepts (0.1 MB).");
            }
        } else {
            client.SendMail(m);
        }
        client.QuitAndClose();
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
        const std::vector<std::string> lines = server.Lines();
        if (c.Refused) {
            EXPECT_EQ(lines, (std::vector<std::string>{"EHLO " + Helo, "QUIT"}));
            continue;
        }
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[2],
                  "MAIL FROM:<sender@example.test> SIZE=" + std::to_string(server.Data().size()));
    }
}

// SIZE counts the message as it goes: with the X-Mailer the client adds,
// and with the A-label domains of a header sent to a server without
// SMTPUTF8 (longer than the typed ones); after SIZE comes SMTPUTF8 when an
// address needs it.
TEST(SmtpDialogue, SizeCountsTheHeaderAsItGoesAndJoinsSMTPUTF8) {
    struct TCase {
        const char* Why;
        std::string Ehlo, To;
        std::string MailFrom; // up to SIZE=
        std::string After;    // after the number
        std::string Header;   // a line of the data
    } cases[] = {
        {"an international domain in A-labels", "250-s\r\n250 SIZE 100000",
         "bob@b\xC3\xBC"
         "cher.example",
         "MAIL FROM:<sender@example.test> SIZE=", "", "To: bob@xn--bcher-kva.example\r\n"},
        {"a local part that needs SMTPUTF8", "250-s\r\n250-SMTPUTF8\r\n250 SIZE 100000",
         "zo\xC3\xAB@example.test", "MAIL FROM:<sender@example.test> SIZE=", " SMTPUTF8",
         "To: zo\xC3\xAB@example.test\r\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        TSmtpFakeServer server({Srv("220 hi"), Cli("EHLO " + Helo), Srv(c.Ehlo), Cli("RSET"),
                                Srv("250 reset"), Cli(), Srv("250 ok"), Cli(), Srv("250 ok"),
                                Cli("DATA"), Srv("354 go"), CliData(), Srv("250 queued")});
        Client client(server.Port());
        client.MailAgent = "Quillet(http://www.quillet.example/)";
        TNetMessage m;
        Fill(m);
        m.Recipients.Clear();
        m.Recipients.Add().Address = c.To;
        client.ConnectAndGreet();
        client.SendMail(m);
        client.QuitAndClose();
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
        const std::string data = server.Data();
        EXPECT_NE(data.find(c.Header), std::string::npos) << data;
        EXPECT_NE(data.find("\r\nX-Mailer: Quillet(http://www.quillet.example/)\r\n"),
                  std::string::npos);
        const std::vector<std::string> lines = server.Lines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[2], c.MailFrom + std::to_string(data.size()) + c.After);
        EXPECT_EQ(m.Recipients[0].Address, c.To) << "the message keeps the typed address";
    }
}

// Stored text's SIZE is what the data guard makes of it (CR LF line ends,
// leading dots doubled), counted from where the stream stands, which is
// where the data then starts; text that fits the limit only as stored is
// refused before RSET.
TEST(SmtpDialogue, SizeOfStoredTextIsWhatGoesOnTheWire) {
    std::string lines;
    for (int i = 0; i < 1000; ++i)
        lines += ".x\n"; // 3 octets stored, 5 sent
    struct TCase {
        const char* Why;
        std::string Ehlo, Sender;
        std::string After; // after the number on MAIL FROM
        std::string Refusal;
    } cases[] = {
        {"a limit the text fits", "250-s\r\n250 SIZE 100000", "s@x.test", "", ""},
        {"with SMTPUTF8", "250-s\r\n250-SIZE 100000\r\n250 SMTPUTF8", "zo\xC3\xAB@x.test",
         " SMTPUTF8", ""},
        {"stored it fits, sent it does not", "250-s\r\n250 SIZE 4000", "s@x.test", "",
         "The mail (0.005 MB) is larger than 127.0.0.1 accepts (0.004 MB)."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        std::vector<TSmtpStep> script = {Srv("220 hi"), Cli("EHLO " + Helo), Srv(c.Ehlo)};
        if (c.Refusal.empty())
            script = Join(script, {Cli("RSET"), Srv("250 reset"), Cli(), Srv("250 ok"),
                                   Cli("RCPT TO:<b@x.test>"), Srv("250 ok"), Cli("DATA"),
                                   Srv("354 go"), CliData(), Srv("250 queued")});
        TSmtpFakeServer server(script);
        Client client(server.Port());
        client.ConnectAndGreet();
        TMemoryStream text;
        text.WriteString("already sent\r\n" + lines + "last");
        text.SetPosition(14);
        std::string refusal;
        try {
            client.SendStoredMail(c.Sender, {"b@x.test"}, text);
        } catch (const ENetMessageTooLarge& e) {
            refusal = e.Message;
        }
        client.QuitAndClose();
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
        EXPECT_EQ(refusal, c.Refusal);
        if (!c.Refusal.empty()) {
            EXPECT_EQ(server.Lines(), (std::vector<std::string>{"EHLO " + Helo, "QUIT"}));
            continue;
        }
        const std::string data = server.Data();
        EXPECT_EQ(data.size(), 5000u + 6u) << "the text from where the stream stood";
        EXPECT_EQ(data.substr(0, 5), "..x\r\n");
        ASSERT_GE(server.Lines().size(), 3u);
        EXPECT_EQ(server.Lines()[2],
                  "MAIL FROM:<" + c.Sender + "> SIZE=" + std::to_string(data.size()) + c.After);
    }
}

TEST(SmtpDialogue, PeerClosingMidReply) {
    TSmtpFakeServer server(
        {Srv("220 hi"), Cli("EHLO " + Helo), SrvRaw("250-server\r\n250-SIZE"), Hangup()});
    Client c(server.Port());
    try {
        c.ConnectAndGreet();
        FAIL();
    } catch (const ENetConnClosedGracefully& e) {
        EXPECT_EQ(e.Message, "Connection Closed Gracefully.");
    }
    EXPECT_FALSE(c.IsConnected());
}

TEST(SmtpDialogue, GreetingLineAtTheLengthLimit) {
    for (int extra : {0, 1}) {
        const std::string greeting = "220 " + std::string(16380 + extra, 'g');
        TSmtpFakeServer server({Srv(greeting), Cli("EHLO " + Helo), Srv("250 ok"), Cli("QUIT")});
        Client c(server.Port());
        if (extra == 0) {
            EXPECT_NO_THROW(c.ConnectAndGreet()) << "16384 characters + CR LF are a line";
            c.QuitAndClose();
        } else {
            try {
                c.ConnectAndGreet();
                FAIL() << "16385 characters accepted";
            } catch (const ENetReadLnMaxLineLengthExceeded& e) {
                EXPECT_EQ(e.Message, "Max line length exceeded.");
            }
            EXPECT_FALSE(c.IsConnected());
        }
    }
}

TEST(SmtpDialogue, LineBreaksInCommandTextsAreRefused) {
    // An address or HELO name with CR LF would end the command and start
    // another; nothing of such a command may reach the server.
    TSmtpFakeServer server({Srv("220 hi"), Cli("EHLO " + Helo), Srv("250 ok"), Cli("RSET"),
                            Srv("250 reset"), Cli("MAIL FROM:<sender@example.test>"),
                            Srv("250 ok")});
    Client c(server.Port());
    TNetMessage m;
    Fill(m);
    m.Recipients[0].Address = "to@example.test>\r\nRCPT TO:<victim@example.test";
    c.ConnectAndGreet();
    EXPECT_THROW(c.SendMail(m), ENetLineBreakInCommand);
    c.QuitAndClose();
    ASSERT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Lines().back(), "QUIT");
    for (const auto& l : server.Lines())
        EXPECT_EQ(l.find("victim"), std::string::npos);

    TSmtpFakeServer server2({Srv("220 hi")});
    Client c2(server2.Port());
    c2.HeloName = "x\r\nMAIL FROM:<forged@example.test>";
    EXPECT_THROW(c2.ConnectAndGreet(), ENetLineBreakInCommand);
    EXPECT_FALSE(c2.IsConnected());
    ASSERT_TRUE(server2.WaitDone());
    EXPECT_EQ(server2.Lines(), std::vector<std::string>{"QUIT"});
}

// Sends m as the only message of a session; returns the data received.
std::string Deliver(TNetMessage& m) {
    TSmtpFakeServer server(Join({Srv("220 hi"), Cli("EHLO " + Helo), Srv("250 ok")},
                                Transaction({"to@example.test"})));
    Client c(server.Port());
    c.ConnectAndGreet();
    c.SendMail(m);
    c.QuitAndClose();
    EXPECT_TRUE(server.WaitDone());
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(server.Lines().back(), "QUIT");
    const std::string data = server.Data();
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\r') {
            EXPECT_TRUE(i + 1 < data.size() && data[i + 1] == '\n') << "bare CR at " << i;
        }
        if (data[i] == '\n') {
            EXPECT_TRUE(i > 0 && data[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    return data;
}

TEST(SmtpDialogue, DataCannotEndEarly) {
    // Bare LF and bare CR around lone dots: with them on the wire a server
    // that accepts either as a line end would see the end of data here.
    const std::vector<std::string> body = {"first\n.\nMAIL FROM:<x@y>\r.\rlast", ".", "..", ".x"};
    TNetMessage m;
    Fill(m);
    m.Body = body;
    // The writer splits and dot-stuffs the body itself; the text arrives as
    // it wrote it.
    EXPECT_NE(Deliver(m).find("\r\n\r\nfirst\r\n..\r\nMAIL FROM:<x@y>\r\n..\r\nlast\r\n..\r\n..."
                              "\r\n..x\r\n"),
              std::string::npos);

    // A message sent as it is (no encoding) is not stuffed by the writer:
    // the connection still ends every line in CR LF and doubles lone dots.
    TNetMessage raw;
    Fill(raw);
    raw.NoEncode = true;
    raw.RawHeaders.Add("Subject: raw");
    raw.Body = body;
    EXPECT_EQ(Deliver(raw), "Subject: raw\r\n\r\nfirst\r\n..\r\nMAIL FROM:<x@y>\r\n..\r\nlast\r\n"
                            "..\r\n..\r\n.x\r\n");
}

// Stored text goes as the reader saw it: every leading "." doubled, bare
// line ends made CR LF. Recipients put off for now (4xx) are left out and
// handed back while the others get the message; with none left, or a
// lasting refusal, no DATA is sent.
TEST(SmtpDialogue, StoredTextSkipsRecipientsPutOffForNow) {
    const std::vector<std::string> rcpts = {"a@x.test", "b@x.test", "c@x.test"};
    struct TCase {
        const char* Why;
        std::vector<std::string> Replies; // to each RCPT TO
        int Raised;                       // reply code raised; 0: delivered
        std::vector<std::string> Deferred;
    } cases[] = {
        {"one greylisted", {"250 ok", "451 greylisted", "251 forwarded"}, 0, {"b@x.test"}},
        {"every one put off", {"451 greylisted", "452 full", "450 busy"}, 451, {}},
        {"a lasting refusal stops it", {"250 ok", "451 greylisted", "550 unknown"}, 550, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        std::vector<TSmtpStep> script = {
            Srv("220 hi"),    Cli("EHLO " + Helo),         Srv(Ehlo250), Cli("RSET"),
            Srv("250 reset"), Cli("MAIL FROM:<s@x.test>"), Srv("250 ok")};
        for (size_t i = 0; i < rcpts.size(); ++i)
            script.insert(script.end(), {Cli("RCPT TO:<" + rcpts[i] + ">"), Srv(c.Replies[i])});
        if (c.Raised == 0)
            script.insert(script.end(), {Cli("DATA"), Srv("354 go"), CliData(), Srv("250 queued")});
        TSmtpFakeServer server(script);
        Client client(server.Port());
        client.ConnectAndGreet();
        TMemoryStream text;
        text.WriteString(".hidden\r\n..two\r\nbare\nLF\r\n.\r\nlast");
        text.SetPosition(0);
        try {
            std::vector<std::string> deferred;
            for (const auto& d : client.SendStoredMail("s@x.test", rcpts, text))
                deferred.push_back(d.Address + " " + std::to_string(d.Code));
            EXPECT_EQ(c.Raised, 0);
            EXPECT_EQ(deferred, std::vector<std::string>{c.Deferred[0] + " 451"});
        } catch (const ENetProtocolReplyError& e) {
            EXPECT_EQ(e.ReplyErrorCode, c.Raised);
        }
        client.QuitAndClose();
        ASSERT_TRUE(server.WaitDone());
        EXPECT_EQ(server.Failure(), "");
        EXPECT_EQ(server.Data(),
                  c.Raised ? "" : "..hidden\r\n...two\r\nbare\r\nLF\r\n..\r\nlast\r\n");
    }
}

} // namespace
