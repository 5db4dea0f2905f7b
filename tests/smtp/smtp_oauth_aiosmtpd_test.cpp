// OAuth 2.0 logins against a real SMTP server (aiosmtpd with an
// authenticator that takes one token and checks the initial response byte
// for byte): the mechanism chosen, a refusal answered as the mechanism
// defines and named in the message, and an expired token renewed once.
#include "mail/message/NetMessage.h"
#include "net/NetAntiFreeze.h"
#include "smtp/NetSMTP.h"
#include "tests/support/smtp_Aiosmtpd.h"

#include <gtest/gtest.h>

namespace {

struct TCase {
    const char* Why;
    const char* Mechs;        // what the server announces
    const char* Token;        // the token the client holds first
    const char* Renewed;      // what renewing gives; nullptr: no renewal possible
    const char* RefuseStatus; // the JSON status of a refusal
    const char* Used;         // the mechanism the server saw first
    const char* Error;        // nullptr: signed in and delivered
    const char* Sasl;         // what the server noted of refusals
    int Renewals;
};

TEST(SmtpOAuth, BearerLoginsAsTheServerSeesThem) {
    TNetAntiFreeze af;
    // As long as the large services' tokens: the AUTH line runs to kB.
    const std::string good = "ya29." + std::string(2400, 'T');
    auto token = [&good](const char* t) { return std::string(t) == "good" ? good : t; };
    const TCase cases[] = {
        {"OAUTHBEARER preferred", "OAUTHBEARER,XOAUTH2", "good", nullptr, "invalid_token",
         "AUTH OAUTHBEARER", nullptr, "", 0},
        {"XOAUTH2 when alone", "XOAUTH2", "good", nullptr, "invalid_token", "AUTH XOAUTH2", nullptr,
         "", 0},
        {"refused: a lone ^A ends the exchange", "OAUTHBEARER", "bad", nullptr,
         "insufficient_scope", "AUTH OAUTHBEARER",
         "The server 127.0.0.1 refused the sign-in token (insufficient_scope).",
         "answer OAUTHBEARER b'\\x01'\n", 0},
        {"refused: XOAUTH2 ends it with an empty line", "XOAUTH2", "bad", nullptr, "400",
         "AUTH XOAUTH2", "The server 127.0.0.1 refused the sign-in token (400).",
         "answer XOAUTH2 b''\n", 0},
        {"a refusal for scope is not renewed", "OAUTHBEARER", "bad", "good", "insufficient_scope",
         "AUTH OAUTHBEARER", "The server 127.0.0.1 refused the sign-in token (insufficient_scope).",
         "answer OAUTHBEARER b'\\x01'\n", 0},
        {"expired: renewed once, then taken", "OAUTHBEARER", "old", "good", "invalid_token",
         "AUTH OAUTHBEARER", nullptr, "answer OAUTHBEARER b'\\x01'\n", 1},
        {"expired twice: one renewal only", "XOAUTH2", "old", "older", "401", "AUTH XOAUTH2",
         "The server 127.0.0.1 refused the sign-in token (401).",
         "answer XOAUTH2 b''\nanswer XOAUTH2 b''\n", 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        TSmtpAiosmtpdOptions o;
        o.OAuthToken = good;
        o.OAuthMechs = c.Mechs;
        o.RefuseStatus = c.RefuseStatus;
        TSmtpAiosmtpd server(o);
        ASSERT_GT(server.Port(), 0);
        TSmtpOptions options;
        options.Host = "127.0.0.1";
        options.Port = server.Port();
        options.Security = ssNone;
        options.Authentication = atOAuth2;
        options.Username = "user";
        options.AccessToken = token(c.Token);
        options.ReplyTimeout = 10000;
        int renewals = 0;
        if (c.Renewed)
            options.RenewAccessToken = [&] {
                ++renewals;
                return token(c.Renewed);
            };
        TNetSMTP smtp(options);
        TNetMessage m;
        m.From.Address = "user@example.test";
        m.Recipients.AssignText("bob@example.test");
        m.Body = {"Hi"};
        std::string error;
        try {
            smtp.ConnectAndGreet();
            smtp.SendMail(m);
        } catch (const ENetSignInError& e) {
            error = e.Message;
        }
        smtp.QuitAndClose();
        EXPECT_EQ(error, c.Error ? c.Error : "");
        EXPECT_EQ(renewals, c.Renewals);
        EXPECT_EQ(server.Commands().find(std::string(c.Used) + " plain"),
                  server.Commands().find("AUTH"));
        EXPECT_EQ(server.Sasl(), c.Sasl);
        EXPECT_EQ(server.Message(1, c.Error ? 300 : 5000).empty(), c.Error != nullptr);
        if (!c.Error) {
            EXPECT_EQ(server.Envelope(1).rfind("login=user\n", 0), 0u);
        }
    }
}

TEST(SmtpOAuth, NoBearerMechanismNoMail) {
    TNetAntiFreeze af;
    TSmtpAiosmtpd server(true); // LOGIN and PLAIN only
    ASSERT_GT(server.Port(), 0);
    TSmtpOptions options;
    options.Host = "127.0.0.1";
    options.Port = server.Port();
    options.Security = ssNone;
    options.Authentication = atOAuth2;
    options.Username = "user";
    options.AccessToken = "good";
    TNetSMTP smtp(options);
    TNetMessage m;
    m.From.Address = "user@example.test";
    m.Recipients.AssignText("bob@example.test");
    smtp.ConnectAndGreet();
    try {
        smtp.SendMail(m);
        FAIL() << "sent without a login";
    } catch (const ENetSignInError& e) {
        EXPECT_EQ(e.Message, "The server 127.0.0.1 offers no OAuth 2.0 sign-in (OAUTHBEARER or "
                             "XOAUTH2); nothing was sent.");
    }
    smtp.QuitAndClose();
    EXPECT_EQ(server.Commands().find("MAIL"), std::string::npos);
}

} // namespace
