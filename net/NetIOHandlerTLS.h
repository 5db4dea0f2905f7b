// TNetIOHandlerTLS: a TLS client transport (OpenSSL 3) over an inner
// transport, a socket by default. It either speaks TLS from the first byte
// (ImplicitTLS, RFC 8314) or passes bytes through in clear until StartTLS
// (RFC 3207), so a connection keeps one transport for its whole life. The
// protocol above decides when to start TLS; this class only negotiates it,
// checks the certificate (or the one the user pinned) and carries the bytes.
#pragma once

#include "base/NetException.h"
#include "net/NetIOHandler.h"

#include <cstdint>
#include <memory>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;
typedef struct bio_st BIO;
typedef struct x509_st X509;
typedef struct x509_store_st X509_STORE;

// The SHA-256 of cert's DER form as upper-case hex pairs joined by ":".
std::string CertificateSha256(X509* cert);

// A TLS failure: the handshake, a broken record, the trust store.
class ENetTLSError : public ENetException {
public:
    using ENetException::ENetException;
};

// The server's certificate failed the check. VerifyResult is OpenSSL's
// X509_V_ERR_* code; the message names the host and the reason.
// Fingerprint: the server certificate's SHA-256 ("AB:CD:..."), so the
// user can decide to pin it; empty when none was received.
class ENetTLSCertificateError : public ENetTLSError {
public:
    ENetTLSCertificateError(const std::string& host, long verifyResult,
                            const std::string& fingerprint = "");
    std::string Host;
    long VerifyResult;
    std::string Fingerprint;
};

class TNetIOHandlerTLS : public TNetIOHandler {
public:
    // Over a new socket transport of its own.
    TNetIOHandlerTLS();
    // Over inner, which this transport owns from now on; inner may already
    // be connected (then StartTLS may follow at once).
    explicit TNetIOHandlerTLS(std::unique_ptr<TNetIOHandler> inner);
    ~TNetIOHandlerTLS() override;
    TNetIOHandlerTLS(const TNetIOHandlerTLS&) = delete;
    TNetIOHandlerTLS& operator=(const TNetIOHandlerTLS&) = delete;

    // Settings, read when a handshake starts.
    bool ImplicitTLS = false; // ConnectClient handshakes right after the connect
    bool VerifyPeer = true;   // false: any certificate (opportunistic TLS, RFC 7435)
    std::string CAFile;       // trusted besides the system's store (PEM); empty: none
    // A server certificate trusted by the user although it fails the check
    // (self-signed, another name): its SHA-256 as "AB:CD:..."; empty: none.
    // Other certificates are checked as usual.
    std::string PinnedSha256;
    int32_t HandshakeTimeout = 60000; // ms for the whole handshake; 0: no limit

    // Negotiates TLS over the connected inner transport and checks the
    // certificate against host (SNI and name, or IP address for a literal).
    // Nothing may be buffered unread above this transport (the caller
    // checks): bytes sent in clear before the handshake are not trusted.
    // On failure the inner transport is closed and ENetTLSError raised.
    void StartTLS(const std::string& host);
    bool Encrypted() const { return FSSL != nullptr; }
    // "TLSv1.3", cipher name; empty while not encrypted.
    std::string ProtocolVersion() const;
    std::string CipherName() const;
    // SHA-256 of the server certificate of the last handshake ("AB:CD:...").
    const std::string& PeerSha256() const { return FPeerSha256; }
    TNetIOHandler& Inner() { return *FInner; }

    void Open() override;
    // Sends close_notify when encrypted (best effort), then closes inner.
    void Close() override;
    void ConnectClient(const std::string& host, int port, const std::string& boundIP, int boundPort,
                       int boundPortMin, int boundPortMax, int32_t timeout) override;
    bool Connected() override;
    // Counts plaintext already decrypted and held (SSL_pending, too); a
    // partial record alone does not make the transport readable.
    bool Readable(int32_t timeout) override;
    ssize_t Recv(void* buffer, size_t count) override;
    ssize_t Send(const void* data, size_t count) override;
    // The records go out through the inner transport, which does the wait.
    void SetWriteTimeout(int32_t ms) override { FInner->SetWriteTimeout(ms); }
    // Records not yet acknowledged, and those not yet handed to the socket.
    int64_t Unacknowledged() override;
    void SetWriteWaitHook(std::function<void()> hook) override {
        FInner->SetWriteWaitHook(std::move(hook));
    }
    void SetHostAddresses(std::vector<std::string> addresses) override {
        FInner->SetHostAddresses(std::move(addresses));
    }
    int LastErrorCode() override;
    std::string PeerIP() override;

private:
    // OpenSSL's verify callback: notes the server certificate's fingerprint
    // and lets the pinned one pass.
    static int VerifyCertificate(int ok, struct x509_store_ctx_st* store);
    bool PinMatches() const;
    void FreeSession();
    void Handshake(const std::string& host);
    // The trusted certificates for VerifyPeer (system store and CAFile),
    // loaded once per process; a reference of the caller's. Waits while
    // they are still loading; ENetTLSError when they cannot be loaded.
    X509_STORE* AwaitTrustStore();
    [[noreturn]] void RaiseHandshakeFailure(const std::string& host);
    // Why the inner transport stopped: its socket error, or the close.
    std::string InnerFailure() const;
    // Sends everything OpenSSL has queued for the peer; false when the
    // inner transport failed (FLastError set) or is closed.
    bool FlushOut();
    // Moves what the inner transport has onto OpenSSL's input; false at
    // the end of the stream or on an error (FLastError set).
    bool PullIn();
    // One SSL_read into FPlain; true when that gave data, the end, or an
    // error to report (the reader must come back), false when OpenSSL
    // needs more bytes first.
    bool DecryptSome();

    std::unique_ptr<TNetIOHandler> FInner;
    SSL_CTX* FCtx = nullptr;
    SSL* FSSL = nullptr;
    BIO* FIn = nullptr;  // network bytes for OpenSSL (owned by FSSL)
    BIO* FOut = nullptr; // OpenSSL's bytes for the network (owned by FSSL)
    std::string FPlain;  // decrypted, not yet handed out from FPlainPos on
    size_t FPlainPos = 0;
    bool FPeerEnded = false; // close_notify or end of stream seen
    int FRecvError = 0;      // inner failure to report from Recv, 0: none
    int FLastError = 0;
    std::string FHost;
    std::string FPeerSha256;
};
