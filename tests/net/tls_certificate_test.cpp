// Certificate checks of the TLS transport against a loopback server with
// certificates made by the test: each refusal names the host and the
// reason and leaves the connection closed; with the check off (opportunistic
// TLS) the same certificates are accepted; a pinned certificate passes and
// no other; protocol versions below 1.2 are refused whatever the check.
#include "net/NetDeliveryException.h"
#include "net/NetIOHandlerTLS.h"
#include "net/NetTCPConnection.h"
#include "tests/support/TempDir.h"
#include "tests/support/tls_TestPki.h"
#include "tests/support/tls_TestServer.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

class TlsCertificate : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = new TTempDir();
        Pki = new TTlsTestPki(Dir->Path());
        TTlsTestPki stranger(Dir->Path(), "Unrelated CA");
        const std::vector<std::string> loopback = {"DNS:localhost", "IP:127.0.0.1"};
        Certs = new std::map<std::string, TTlsCertFiles>{
            {"good", Pki->Issue("good", loopback)},
            {"expired", Pki->Issue("expired", loopback, -30, -1)},
            {"future", Pki->Issue("future", loopback, 2, 30)},
            {"other", Pki->Issue("other", {"DNS:mail.other.test", "IP:127.0.0.2"})},
            {"nameonly", Pki->Issue("nameonly", {"DNS:localhost"})},
            {"wildcard", Pki->Issue("wildcard", {"DNS:*.localhost"})},
            {"self", Pki->Issue("self", loopback, -1, 365, true)},
            {"self2", Pki->Issue("self2", loopback, -1, 365, true)},
            {"stranger", stranger.Issue("stranger", loopback)},
        };
    }
    static void TearDownTestSuite() {
        delete Certs;
        delete Pki;
        delete Dir;
    }

    // Connects with implicit TLS to a server showing cert; returns the
    // error text, empty when the handshake and one round trip worked.
    // pin: the transport's PinnedSha256; fingerprint: where a refusal's
    // fingerprint goes.
    static std::string Connect(const std::string& cert, const std::string& host, bool verify,
                               bool trustTestCA = true, int serverMaxVersion = 0,
                               const std::string& pin = "", std::string* fingerprint = nullptr) {
        const TTlsCertFiles& files = Certs->at(cert);
        TTlsTestServer server(TTlsTestServer::Implicit, files.Cert, files.Key, serverMaxVersion);
        TNetTCPClient conn;
        auto tls = std::make_unique<TNetIOHandlerTLS>();
        tls->ImplicitTLS = true;
        tls->VerifyPeer = verify;
        if (trustTestCA)
            tls->CAFile = Pki->CAFile;
        tls->HandshakeTimeout = 5000;
        tls->PinnedSha256 = pin;
        conn.SetIOHandler(std::move(tls));
        conn.Host = host;
        conn.Port = server.Port();
        conn.ReadTimeout = 5000;
        try {
            conn.OpenConnection(2000);
            conn.SendCommand("ECHO hi", 250);
            conn.CloseConnection();
            return "";
        } catch (const ENetTLSCertificateError& e) {
            EXPECT_EQ(e.Host, host);
            EXPECT_FALSE(conn.IsConnected());
            if (fingerprint)
                *fingerprint = e.Fingerprint;
            return e.what();
        } catch (const ENetTLSError& e) {
            EXPECT_FALSE(conn.IsConnected());
            return std::string("TLS: ") + e.what();
        }
    }

    static TTempDir* Dir;
    static TTlsTestPki* Pki;
    static std::map<std::string, TTlsCertFiles>* Certs;
};

TTempDir* TlsCertificate::Dir = nullptr;
TTlsTestPki* TlsCertificate::Pki = nullptr;
std::map<std::string, TTlsCertFiles>* TlsCertificate::Certs = nullptr;

struct TCase {
    const char* Cert;
    const char* Host;
    bool TrustTestCA;
    const char* Expected; // empty: accepted
    const char* Why;
};

TEST_F(TlsCertificate, VerifiedConnectionsAcceptOnlyAValidCertificateForTheHost) {
    const TCase cases[] = {
        {"good", "127.0.0.1", true, "", "IP literal against the IP name"},
        {"good", "localhost", true, "", "host name against the DNS name"},
        {"good", "LOCALHOST", true, "", "names compare without case"},
        {"expired", "127.0.0.1", true, "Certificate of 127.0.0.1 rejected: expired.", ""},
        {"future", "localhost", true, "Certificate of localhost rejected: not yet valid.", ""},
        {"other", "localhost", true,
         "Certificate of localhost rejected: name mismatch (the certificate is not valid for "
         "localhost).",
         ""},
        {"other", "127.0.0.1", true,
         "Certificate of 127.0.0.1 rejected: name mismatch (the certificate is not valid for "
         "127.0.0.1).",
         "another IP address"},
        {"nameonly", "127.0.0.1", true,
         "Certificate of 127.0.0.1 rejected: name mismatch (the certificate is not valid for "
         "127.0.0.1).",
         "an IP literal needs an IP name, a DNS name does not do"},
        {"wildcard", "localhost", true,
         "Certificate of localhost rejected: name mismatch (the certificate is not valid for "
         "localhost).",
         "*.localhost does not cover localhost itself"},
        {"self", "127.0.0.1", true, "Certificate of 127.0.0.1 rejected: self-signed.", ""},
        {"stranger", "127.0.0.1", true, "Certificate of 127.0.0.1 rejected: unknown issuer.",
         "issued by a CA nobody trusts"},
        {"good", "127.0.0.1", false, "Certificate of 127.0.0.1 rejected: unknown issuer.",
         "the test CA is not in the system store"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Connect(c.Cert, c.Host, true, c.TrustTestCA), c.Expected)
            << c.Cert << " for " << c.Host << " " << c.Why;
}

TEST_F(TlsCertificate, UnverifiedConnectionsAcceptAnyCertificate) {
    for (const char* cert : {"expired", "other", "self", "stranger"})
        EXPECT_EQ(Connect(cert, "127.0.0.1", false, false), "") << cert;
}

// The fingerprint as the openssl tool prints it, for comparison.
std::string ToolFingerprint(const std::string& certFile) {
    std::string out;
    if (FILE* p =
            popen(("openssl x509 -noout -fingerprint -sha256 -in " + certFile).c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    size_t eq = out.find('=');
    return eq == std::string::npos ? "" : out.substr(eq + 1, out.find('\n') - eq - 1);
}

// A pinned certificate passes whatever its faults; the pin trusts no other.
TEST_F(TlsCertificate, PinnedCertificateIsAcceptedForItsFaultsAndNoOtherIs) {
    std::string self, other;
    EXPECT_EQ(Connect("self", "127.0.0.1", true, true, 0, "", &self),
              "Certificate of 127.0.0.1 rejected: self-signed.");
    EXPECT_EQ(self, ToolFingerprint(Certs->at("self").Cert));
    EXPECT_NE(Connect("other", "127.0.0.1", true, true, 0, "", &other), "");
    ASSERT_EQ(other, ToolFingerprint(Certs->at("other").Cert));
    std::string lower = self;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const struct {
        const char *Cert, *Why;
        std::string Pin, Expected;
    } cases[] = {
        {"self", "pinned self-signed", self, ""},
        {"self", "the pin in lower case", lower, ""},
        {"other", "pinned despite the name mismatch", other, ""},
        {"self2", "another self-signed certificate on the pinned host", self,
         "Certificate of 127.0.0.1 rejected: self-signed."},
        {"good", "a certificate that verifies needs no pin", self, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Connect(c.Cert, "127.0.0.1", true, true, 0, c.Pin), c.Expected) << c.Why;
}

TEST_F(TlsCertificate, ProtocolsBelowTls12AreRefused) {
    // Only meaningful when this OpenSSL can still speak TLS 1.1 at all.
    {
        const TTlsCertFiles& files = Certs->at("good");
        TTlsTestServer server(TTlsTestServer::Implicit, files.Cert, files.Key, TLS1_1_VERSION);
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION);
        SSL_CTX_set_max_proto_version(ctx, TLS1_1_VERSION);
        SSL_CTX_set_cipher_list(ctx, "DEFAULT:@SECLEVEL=0");
        int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(static_cast<uint16_t>(server.Port()));
        bool ok = false;
        if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
            SSL* ssl = SSL_new(ctx);
            SSL_set_fd(ssl, s);
            ok = SSL_connect(ssl) == 1;
            if (ok)
                SSL_shutdown(ssl);
            SSL_free(ssl);
        }
        ::close(s);
        SSL_CTX_free(ctx);
        ERR_clear_error();
        if (!ok)
            GTEST_SKIP() << "this OpenSSL cannot speak TLS 1.1";
    }
    for (bool verify : {true, false}) {
        std::string error = Connect("good", "127.0.0.1", verify, true, TLS1_1_VERSION);
        EXPECT_EQ(error.rfind("TLS: TLS handshake with 127.0.0.1 failed: ", 0), 0u) << error;
    }
}

// A CA file that cannot be used stops the connect with a sentence naming
// the file and the reason in plain words, never OpenSSL's raw error code.
TEST_F(TlsCertificate, UnusableCAFileIsReportedInPlainWords) {
    TTempDir files;
    files.Write("empty.pem", "");
    files.Write("key.pem", ReadWholeFile(Certs->at("good").Key));
    files.Write("damaged.pem", "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n");
    files.Write("locked.pem", ReadWholeFile(Pki->CAFile), 0);
    struct {
        const char *File, *Reason;
    } cases[] = {
        {"no-such-ca.pem", "the file does not exist"},
        {".", "it is a folder, not a file"},
        {"empty.pem", "it holds no certificate in PEM form"},
        {"key.pem", "it holds no certificate in PEM form"},
        {"damaged.pem", "a certificate in it is damaged"},
        {"locked.pem", "Quillet may not read it (permission denied)"},
    };
    TTlsTestServer server(TTlsTestServer::Implicit, Certs->at("good").Cert, Certs->at("good").Key);
    for (const auto& c : cases) {
        // Permissions do not hold root back.
        if (std::string(c.File) == "locked.pem" && geteuid() == 0)
            continue;
        const std::string path = files.File(c.File);
        SCOPED_TRACE(path);
        TNetTCPClient conn;
        auto tls = std::make_unique<TNetIOHandlerTLS>();
        tls->ImplicitTLS = true;
        tls->CAFile = path;
        conn.SetIOHandler(std::move(tls));
        conn.Host = "127.0.0.1";
        conn.Port = server.Port();
        try {
            conn.OpenConnection(2000);
            ADD_FAILURE() << "connected without its trust anchors";
        } catch (const ENetTLSError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot load the trusted certificates of " + path + ": " + c.Reason + ".");
        }
        EXPECT_FALSE(conn.IsConnected());
    }
}

} // namespace
