// quillet-send's account commands as a script runs them: --discover's
// settings lines and status against a real name server, and --sign-in's
// device grant against the tests' authorization server, the sign-in kept
// in a real keyring (a private one) for the next run's send, and no token
// in any file that was written.
#include "tests/cli/CliChild.h"
#include "tests/support/TempDir.h"
#include "tests/support/audio_WavBytes.h"
#include "tests/support/dns_Dnsmasq.h"
#include "tests/support/keyring_GnomeKeyring.h"
#include "tests/support/oauth_Server.h"
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/tls_TestPki.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(AccountCli, DiscoverPrintsSettingsLines) {
    TDnsmasq dns({"local=/quillet-test/",
                  "srv-host=_submissions._tcp.srv.quillet-test,mail.srv.quillet-test,465,0,1"});
    TTempDir dir;
    dir.Write("resolv.conf", "nameserver 127.0.0.1\n");
    struct TCase {
        std::vector<std::string> Args;
        int Status;
        const char* Out;
        const char* Err;
    } cases[] = {
        {{"--discover", "ann@srv.quillet-test"},
         0,
         "Server=mail.srv.quillet-test\nPort=465\nSecurity=SSL/TLS\nAuth=Password\n",
         "quillet-send: Found in the DNS of srv.quillet-test.\n"},
        {{"--discover=bob@outlook.com"},
         0,
         "Server=smtp-mail.outlook.com\nPort=587\nSecurity=STARTTLS\nAuth=OAuth2\n"
         "OAuthProvider=Microsoft\n",
         "quillet-send: Found in Quillet's table of providers (Outlook.com).\nquillet-send: Sign "
         "in with OAuth 2.0 with your Microsoft Entra client id.\n"},
        {{"--discover", "carol@none.quillet-test"},
         3,
         "",
         "quillet-send: No settings found for carol@none.quillet-test.\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args.back());
        TCliRun run;
        run.Args = c.Args;
        run.Env["QUILLET_RESOLV_CONF"] = dir.File("resolv.conf");
        run.Env["QUILLET_DNS_PORT"] = std::to_string(dns.Port());
        const TCliResult r = RunCli(run);
        EXPECT_EQ(r.Status, c.Status);
        EXPECT_EQ(r.Out, c.Out);
        EXPECT_EQ(r.Err, c.Err);
    }
    TCliRun run;
    run.Args = {"--discover", "dave@srv.quillet-test", "--to", "x@example.org"};
    const TCliResult r = RunCli(run);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err.rfind("quillet-send: --discover takes no other option\n", 0), 0u);
}

TEST(AccountCli, SignInOnceThenSendHeadless) {
    TKeyringGnomeKeyring keyring;
    ASSERT_EQ(keyring.Failure(), "");
    TTempDir dir;
    TTlsTestPki pki(dir.Path());
    const TTlsCertFiles cert = pki.Issue("auth", {"IP:127.0.0.1"});
    TOAuthServerOptions a;
    a.Cert = cert.Cert;
    a.Key = cert.Key;
    a.Interval = 1;
    a.DeviceScript = "pending,grant";
    a.AccessTokens = "first-access,second-access";
    TOAuthTestServer auth(a);
    ASSERT_GT(auth.Port(), 0);
    TSmtpAiosmtpdOptions o;
    o.OAuthToken = "second-access";
    TSmtpAiosmtpd smtp(o);
    ASSERT_GT(smtp.Port(), 0);
    dir.Write("take.wav", WavBytes(1));
    std::filesystem::create_directory(dir.File("tmp"));
    const std::string settings = "[User]\nName=Ann\nEmail=ann@example.org\nSendType=SMTP\n"
                                 "[SMTP]\nServer=127.0.0.1\nPort=" +
                                 std::to_string(smtp.Port()) +
                                 "\nUser=user\nSecurity=None\nAuth=OAuth2\n"
                                 "OAuthProvider=Custom\nOAuthClientId=" +
                                 TOAuthTestServer::ClientId() +
                                 "\nOAuthTokenUrl=" + auth.Url("/token") +
                                 "\nOAuthDeviceUrl=" + auth.Url("/device") +
                                 "\nOAuthScope=https://mail.example/\nCAFile=" + pki.CAFile + "\n";
    dir.Write("quillet.ini", settings);
    TCliRun run;
    run.Env["QUILLET_SETTINGS_FILE"] = dir.File("quillet.ini");
    run.Env["DBUS_SESSION_BUS_ADDRESS"] = keyring.Address();
    run.Env["TMPDIR"] = dir.File("tmp");

    run.Args = {"--sign-in"};
    TCliResult r = RunCli(run);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "To sign in, open https://127.0.0.1/device in a browser and enter the code "
                     "WDJB-MJHT\nSigned in as user. The sign-in is kept in the desktop keyring.\n");
    EXPECT_EQ(auth.Log().find("poll early"), std::string::npos);

    // A later run, as a script would: the keyring's refresh token gives the
    // access token, nothing is asked.
    run.Args = {"--to", "bob@example.org", "--wav", dir.File("take.wav")};
    r = RunCli(run);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(smtp.Envelope(1).find("login=user\n"), std::string::npos);
    EXPECT_NE(auth.Log().find("token refresh_token"), std::string::npos);

    EXPECT_EQ(dir.Read("quillet.ini"), settings) << "the settings file is not written";
    const std::vector<std::string> issued = auth.Issued();
    ASSERT_EQ(issued.size(), 3u);
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
        if (!e.is_regular_file())
            continue;
        for (const std::string& token : issued)
            EXPECT_EQ(ReadWholeFile(e.path().string()).find(token), std::string::npos)
                << token << " in " << e.path();
    }

    // Without OAuth 2.0 in the settings there is nothing to sign in to.
    dir.Write("password.ini", "[SMTP]\nServer=127.0.0.1\n");
    run.Args = {"--sign-in", "--settings", dir.File("password.ini")};
    r = RunCli(run);
    EXPECT_EQ(r.Status, 4);
    EXPECT_EQ(r.Err, "quillet-send: --sign-in needs Auth=OAuth2 in section [SMTP] of " +
                         dir.File("password.ini") + ".\n");
}

} // namespace
