// Sending through the own server with OAuth 2.0: the token from a token
// command or from the built-in sign-in (the tests' authorization server on
// loopback), a token the SMTP server calls expired renewed once, each way
// of failing told in the words of the sign-in, and no token in any file
// the program writes.
#include "oauth/DeviceSignIn.h"
#include "tests/support/oauth_Server.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/tls_TestPki.h"
#include "tests/workflow/WorkflowFixture.h"

#include <filesystem>

namespace {

class OAuthSend : public TWorkflowFixture {
protected:
    void UseOAuth(int port, const std::string& tokenCommand) {
        TSendSettings s = Base(TSendType::Smtp);
        s.SmtpServer = "127.0.0.1";
        s.SmtpPort = port;
        s.SmtpUser = "user";
        s.SmtpSecurity = ssNone;
        s.Auth = TSmtpAuth::OAuth2;
        s.TokenCommand = tokenCommand;
        Apply(s);
    }
};

TEST_F(OAuthSend, TokenFromTheTokenCommand) {
    TSmtpAiosmtpdOptions o;
    o.OAuthToken = "good";
    TSmtpAiosmtpd server(o);
    ASSERT_GT(server.Port(), 0);
    struct TCase {
        const char* Why;
        std::string Command;
        const char* Notice; // nullptr: delivered
    } cases[] = {
        {"the helper's token signs in", "printf 'good\\n'", nullptr},
        {"a failing helper: its words, no connection", "sh -c 'echo no session >&2; exit 1'",
         "The token command failed with exit status 1: no session"},
        {"a token the server refuses", "echo stale",
         "The server 127.0.0.1 refused the sign-in token (invalid_token)."},
    };
    int delivered = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        Notices.clear();
        UseOAuth(server.Port(), c.Command);
        EXPECT_EQ(Wf->Send(Fields), c.Notice == nullptr);
        EXPECT_EQ(Notices,
                  c.Notice ? std::vector<std::string>{c.Notice} : std::vector<std::string>{});
        if (!c.Notice) {
            EXPECT_NE(server.Envelope(++delivered).find("login=user\n"), std::string::npos);
        }
    }
    // The refused token was tried twice: the helper ran again for a new one.
    EXPECT_EQ(server.Sasl(), "answer OAUTHBEARER b'\\x01'\nanswer OAUTHBEARER b'\\x01'\n");
}

TEST_F(OAuthSend, BuiltInSignInRenewsAnExpiredTokenAndWritesNoTokenToAFile) {
    TTlsTestPki pki(Dir.Path());
    const TTlsCertFiles cert = pki.Issue("auth", {"IP:127.0.0.1"});
    TOAuthServerOptions a;
    a.Cert = cert.Cert;
    a.Key = cert.Key;
    a.SecondMs = 20;
    a.AccessTokens = "stale-token,fresh-token";
    TOAuthTestServer auth(a);
    ASSERT_GT(auth.Port(), 0);
    TSmtpAiosmtpdOptions o;
    o.OAuthToken = "fresh-token";
    o.OAuthMechs = "XOAUTH2";
    o.RefuseStatus = "401";
    TSmtpAiosmtpd smtp(o);
    ASSERT_GT(smtp.Port(), 0);

    UseOAuth(smtp.Port(), "");
    TSendSettings s = Applied;
    s.OAuthProvider = TOAuthProvider::Custom;
    s.OAuthClientId = TOAuthTestServer::ClientId();
    s.OAuthTokenUrl = auth.Url("/token");
    s.OAuthDeviceUrl = auth.Url("/device");
    s.OAuthScope = "https://mail.example/";
    s.CAFile = pki.CAFile;
    Apply(s);
    EXPECT_FALSE(Wf->Send(Fields));
    EXPECT_EQ(Notices, std::vector<std::string>{
                           "Quillet is not signed in as user at 127.0.0.1. Sign in again: \"Sign "
                           "in...\" on the Email Account page of Options, or quillet-send "
                           "--sign-in."});
    EXPECT_EQ(smtp.Commands(), "") << "nothing to sign in with: the server is not troubled";

    Notices.clear();
    RunDeviceSignIn(OAuthAccountOf(s), nullptr, nullptr, {a.SecondMs});
    EXPECT_TRUE(Wf->Send(Fields));
    EXPECT_TRUE(Notices.empty()) << Notices.front();
    EXPECT_EQ(smtp.Sasl(), "answer XOAUTH2 b''\n") << "the stale token, refused once";
    EXPECT_NE(auth.Log().find("token refresh_token"), std::string::npos);
    EXPECT_NE(smtp.Envelope(1).find("login=user\n"), std::string::npos);

    // Whatever the program writes (the settings, the recording, the
    // compressed take, a saved mail) holds none of the tokens.
    TSettings all;
    all.Send = s;
    WriteSettings(Dir.File("quillet.ini"), all);
    Wf->SaveAs(Fields, Dir.File("saved.eml"));
    const std::vector<std::string> issued = auth.Issued();
    ASSERT_EQ(issued.size(), 3u) << "two access tokens and one refresh token";
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Dir.Path())) {
        if (!e.is_regular_file())
            continue;
        ++files;
        const std::string text = ReadWholeFile(e.path().string());
        for (const std::string& token : issued)
            EXPECT_EQ(text.find(token), std::string::npos) << token << " in " << e.path();
    }
    EXPECT_GE(files, 4);
}

} // namespace
