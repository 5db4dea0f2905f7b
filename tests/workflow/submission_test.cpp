// Submission to the own server as the settings ask: the port and security
// reach the SMTP client, the login goes over TLS only, a private CA from
// the settings is trusted, an untrusted certificate is offered to the
// front end, and a pinned one is taken. A real aiosmtpd with certificates
// of the tests' own CA.
#include "tests/support/smtp_Aiosmtpd.h"
#include "tests/support/tls_TestPki.h"
#include "tests/workflow/WorkflowFixture.h"

TEST_F(TWorkflowFixture, SubmissionFollowsTheSecuritySettings) {
    TTlsTestPki pki(Dir.Path());
    TTlsCertFiles good = pki.Issue("good", {"IP:127.0.0.1", "DNS:localhost"});
    TTlsCertFiles self = pki.Issue("self", {"IP:127.0.0.1"}, -1, 365, true);
    TSmtpAiosmtpdOptions o;
    o.Auth = true;
    o.StartTLSCert = good.Cert;
    o.StartTLSKey = good.Key;
    o.ImplicitCert = good.Cert;
    o.ImplicitKey = good.Key;
    TSmtpAiosmtpd server(o);
    o.StartTLSCert = self.Cert;
    o.StartTLSKey = self.Key;
    o.ImplicitCert.clear();
    TSmtpAiosmtpd selfSigned(o);
    ASSERT_GT(server.Port(), 0);
    ASSERT_GT(server.ImplicitPort(), 0);
    ASSERT_GT(selfSigned.Port(), 0);

    std::vector<std::string> offered; // what the front end was asked to trust
    Wf->OnTrustCertificate = [&](const std::string& host, const std::string& fingerprint,
                                 const std::string& message) {
        offered.push_back(host + " " + message);
        EXPECT_EQ(fingerprint.size(), 95u) << "32 bytes as \"AB:\" pairs";
        return false;
    };
    struct TCase {
        const char* Why;
        int Port;
        TSmtpSecurity Security;
        bool TrustTestCA;
        const char* Notice; // nullptr: delivered with a login
    } cases[] = {
        {"STARTTLS required", server.Port(), ssStartTLS, true, nullptr},
        {"STARTTLS when offered", server.Port(), ssAuto, true, nullptr},
        {"TLS from the first byte", server.ImplicitPort(), ssImplicitTLS, true, nullptr},
        {"a certificate of an unknown CA", server.Port(), ssStartTLS, false,
         "Certificate of 127.0.0.1 rejected: unknown issuer.:127.0.0.1"},
    };
    int delivered = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        Notices.clear();
        offered.clear();
        UseSmtp(c.Port, c.Security, 60, c.TrustTestCA ? pki.CAFile : "");
        EXPECT_EQ(Wf->Send(Fields), c.Notice == nullptr);
        if (!c.Notice) {
            EXPECT_TRUE(Notices.empty()) << Notices.front();
            EXPECT_NE(server.Envelope(++delivered).find("login=user\n"), std::string::npos);
            continue;
        }
        EXPECT_EQ(Notices, std::vector<std::string>{c.Notice});
        EXPECT_EQ(offered.size(), 1u) << "the own server's refusal is offered to trust";
    }
    EXPECT_EQ(server.Commands().find("AUTH LOGIN plain"), std::string::npos) << "no login in clear";
    EXPECT_EQ(server.Message(delivered + 1, 300), "");

    // Trusted by the front end: this send ends without a message; with the
    // pin applied the next one goes through, and the pin holds for its host
    // only.
    std::string pin;
    Wf->OnTrustCertificate = [&](const std::string&, const std::string& fingerprint,
                                 const std::string&) {
        pin = fingerprint;
        return true;
    };
    Notices.clear();
    UseSmtp(selfSigned.Port(), ssAuto, 60);
    EXPECT_FALSE(Wf->Send(Fields));
    EXPECT_TRUE(Notices.empty());
    ASSERT_FALSE(pin.empty());
    TSendSettings s = Applied;
    s.PinnedHost = "localhost";
    s.PinnedCertificate = pin;
    Apply(s);
    EXPECT_FALSE(Wf->Send(Fields)) << "a pin made for another host";
    s.PinnedHost = "127.0.0.1";
    Apply(s);
    EXPECT_TRUE(Wf->Send(Fields));
    EXPECT_NE(selfSigned.Envelope(1).find("login=user\n"), std::string::npos);
}
