// The sign-ins against a real authorization server on loopback (HTTPS with
// the tests' CA): the browser's code grant with PKCE and its loopback
// redirect, the device grant with its waits, refreshes and a withdrawn
// grant, where the refresh token is kept, and the certificate check.
#include "oauth/AccessTokens.h"
#include "oauth/CodeSignIn.h"
#include "oauth/DeviceSignIn.h"
#include "oauth/OAuthError.h"
#include "oauth/TokenStore.h"
#include "platform/Keyring.h"
#include "tests/oauth/OAuthFixture.h"
#include "tests/support/keyring_GnomeKeyring.h"

#include <QEventLoop>

namespace {

class SignIn : public TOAuthFixture {
protected:
    // Runs the browser sign-in to its end: (signed in, message).
    std::pair<bool, std::string> BrowserSignIn(const TOAuthAccount& account, int limitMs = 20000) {
        TOAuthCodeSignIn signIn(account);
        signIn.TimeLimitMs = limitMs;
        std::pair<bool, std::string> result{false, "no end"};
        QEventLoop loop;
        signIn.OnDone = [&](bool ok, const std::string& message) {
            result = {ok, message};
            loop.quit();
        };
        signIn.Start();
        EXPECT_EQ(signIn.AuthorizationUrl().rfind(account.Endpoints.AuthorizeUrl + "?", 0), 0u);
        loop.exec();
        return result;
    }
    int Count(const std::string& log, const std::string& line) {
        int n = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
            ++n;
        return n;
    }
};

TEST_F(SignIn, BrowserCodeGrantWithPkce) {
    TOAuthTestServer server(Server());
    ASSERT_GT(server.Port(), 0);
    TOAuthBrowser browser(Pki.CAFile);
    const TOAuthAccount account = Account(server, "ann@example.org");
    // The server grants only when the verifier matches the challenge of the
    // authorization address; no keyring here, so the token stays in memory.
    EXPECT_EQ(BrowserSignIn(account),
              std::make_pair(true, std::string("Signed in as ann@example.org. No keyring is "
                                               "available: the sign-in lasts only while Quillet "
                                               "runs.")));
    EXPECT_NE(browser.Pages(1).find("Quillet is signed in. You may close this page."),
              std::string::npos);
    EXPECT_EQ(server.Log(), "authorize scope=https://mail.example/ offline_access "
                            "login_hint=ann@example.org\ntoken authorization_code\n");
    // The access token of the sign-in serves the next send as it is.
    TAccessTokenSource tokens({"", 0, account}, nullptr);
    EXPECT_EQ(tokens.Current(), "access-1");
    EXPECT_EQ(Count(server.Log(), "token refresh_token"), 0);
}

TEST_F(SignIn, BrowserSignInThatEndsWithoutTokens) {
    TOAuthServerOptions o = Server();
    o.Deny = true;
    TOAuthTestServer denying(o);
    ASSERT_GT(denying.Port(), 0);
    TOAuthBrowser browser(Pki.CAFile);
    EXPECT_EQ(BrowserSignIn(Account(denying, "bob@example.org")),
              std::make_pair(false, std::string("The sign-in was refused: access_denied.")));

    // A browser that never comes back: the time limit ends the wait.
    TOAuthAccount account = Account(denying, "bob@example.org");
    TOAuthCodeSignIn signIn(account);
    signIn.OpenBrowser = [](const std::string&) {};
    signIn.TimeLimitMs = 200;
    std::string message;
    QEventLoop loop;
    signIn.OnDone = [&](bool, const std::string& m) {
        message = m;
        loop.quit();
    };
    signIn.Start();
    loop.exec();
    EXPECT_EQ(message, "The sign-in was not completed in the browser in time.");

    // Cancelled while waiting: said at once, and the redirect address is closed.
    signIn.TimeLimitMs = 60000;
    signIn.Start();
    signIn.Cancel();
    EXPECT_EQ(message, "The sign-in was cancelled.");
    EXPECT_FALSE(signIn.Running());
}

struct TDeviceCase {
    const char* Why;
    const char* Script;
    int ExpiresIn;
    const char* Error; // nullptr: signed in
    const char* Polls;
};

TEST_F(SignIn, DeviceGrantWaitsAsTheServerAsks) {
    const TDeviceCase cases[] = {
        {"pending, then slower, then granted", "pending,slow_down,pending,grant", 600, nullptr,
         "poll pending\npoll slow_down\npoll pending\npoll grant\n"},
        {"the code runs out while pending", "pending", 25,
         "The sign-in code ran out before the "
         "sign-in was completed; run --sign-in again.",
         nullptr},
        {"the server says it ran out", "pending,expired_token", 600,
         "The sign-in code ran out before the sign-in was completed; run --sign-in again.",
         "poll pending\npoll expired_token\n"},
        {"the user said no", "access_denied", 600, "The sign-in was refused (access_denied).",
         "poll access_denied\n"},
    };
    for (const TDeviceCase& c : cases) {
        SCOPED_TRACE(c.Why);
        TOAuthServerOptions o = Server();
        o.DeviceScript = c.Script;
        o.DeviceExpiresIn = c.ExpiresIn;
        TOAuthTestServer server(o);
        ASSERT_GT(server.Port(), 0);
        std::string shown, error;
        try {
            RunDeviceSignIn(Account(server, "carol@example.org"),
                            [&](const TDeviceAuthorization& a) {
                                shown = a.VerificationUri + " " + a.UserCode;
                            },
                            nullptr, {o.SecondMs});
        } catch (const EOAuthError& e) {
            error = e.Message;
        }
        EXPECT_EQ(shown, "https://127.0.0.1/device WDJB-MJHT");
        EXPECT_EQ(error, c.Error ? c.Error : "");
        const std::string log = server.Log();
        EXPECT_EQ(log.find("poll early"), std::string::npos) << "polled sooner than asked";
        if (c.Polls)
            EXPECT_EQ(log.substr(log.find("poll")), c.Polls);
        else
            EXPECT_GE(Count(log, "poll pending"), 1);
    }
}

TEST_F(SignIn, RefreshWhenLittleTimeIsLeftAndAskAgainWhenWithdrawn) {
    TOAuthServerOptions o = Server();
    o.AccessTokens = "access-1,access-2,access-3";
    o.ExpiresIn = 30; // less than the minute a token must have left
    TOAuthTestServer server(o);
    ASSERT_GT(server.Port(), 0);
    const TOAuthAccount account = Account(server, "dave@example.org");
    RunDeviceSignIn(account, nullptr, nullptr, {o.SecondMs});
    TAccessTokenSource tokens({"", 0, account}, nullptr);
    EXPECT_EQ(tokens.Current(), "access-2");
    EXPECT_EQ(tokens.Current(), "access-3");
    EXPECT_EQ(Count(server.Log(), "token refresh_token"), 2);

    o.Revoke = true;
    TOAuthTestServer withdrawn(o);
    const TOAuthAccount gone = Account(withdrawn, "dave@example.org");
    RunDeviceSignIn(gone, nullptr, nullptr, {o.SecondMs});
    TAccessTokenSource revoked({"", 0, gone}, nullptr);
    const std::string again = " Sign in again: \"Sign in...\" on the Email Account page of "
                              "Options, or quillet-send --sign-in.";
    for (const std::string& expected :
         {"The sign-in of dave@example.org is no longer valid (invalid_grant: test server says "
          "invalid_grant)." +
              again,
          "Quillet is not signed in as dave@example.org at 127.0.0.1." + again}) {
        try {
            revoked.Renew();
            ADD_FAILURE() << "no error";
        } catch (const EOAuthError& e) {
            EXPECT_EQ(e.Message, expected) << "the withdrawn grant is forgotten";
        }
    }
}

TEST_F(SignIn, RefreshTokenGoesToTheKeyringWhenThereIsOne) {
    TKeyringGnomeKeyring keyring;
    ASSERT_EQ(keyring.Failure(), "");
    setenv("DBUS_SESSION_BUS_ADDRESS", keyring.Address().c_str(), 1);
    TOAuthTestServer server(Server());
    const TOAuthAccount account = Account(server, "erin@example.org");
    EXPECT_EQ(RunDeviceSignIn(account, nullptr, nullptr, {20}),
              "Signed in as erin@example.org. The sign-in is kept in the desktop keyring.");
    const std::vector<std::string> issued = server.Issued();
    ASSERT_EQ(issued.size(), 2u);
    EXPECT_EQ(
        TKeyring().ReadRefreshToken(account.Endpoints.TokenUrl, account.ClientId, account.User),
        issued[1]);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST_F(SignIn, CertificateCheckedAsForSmtp) {
    TOAuthTestServer server(Server());
    TOAuthAccount account = Account(server, "frank@example.org");
    account.CAFile.clear(); // the tests' CA is no longer trusted
    try {
        RunDeviceSignIn(account, nullptr, nullptr, {20});
        FAIL() << "signed in over an unchecked certificate";
    } catch (const EOAuthError& e) {
        EXPECT_EQ(e.Message.rfind("Certificate of 127.0.0.1 rejected: ", 0), 0u) << e.Message;
    }
    account.Endpoints.DeviceUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/device";
    try {
        RunDeviceSignIn(account, nullptr, nullptr, {20});
        FAIL() << "asked over plain http";
    } catch (const EOAuthError& e) {
        EXPECT_EQ(e.Message, "The sign-in address '" + account.Endpoints.DeviceUrl +
                                 "' is no https address; Quillet sends nothing there.");
    }
    EXPECT_EQ(server.Log(), "");
}

} // namespace
