// The TLS transport: OpenSSL works on two memory BIOs and this class moves
// their bytes through the inner transport, so every wait (handshake and
// reads) is the inner transport's readability wait with its anti-freeze
// slices. One SSL_CTX per session: nothing (sessions, tickets) is carried
// from one host to the next. TLS 1.2 is the lowest version accepted. The
// trusted certificates are the exception: parsing the system's store takes
// tens of milliseconds, so each set is loaded once per process on a thread
// of its own and shared by every session (they are read only).
#include "net/NetIOHandlerTLS.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "base/Translate.h"
#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "net/NetIOHandlerSocket.h"
#include "net/NetIdna.h"
#include "net/NetSocketError.h"
#include "net/NetStack.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr size_t RecordSize = 16384;
// Plaintext taken per Send: a few records, so a large write is not copied
// whole into OpenSSL's output before any of it goes out.
constexpr size_t SendChunk = 4 * RecordSize;

bool IsIPLiteral(const std::string& host) {
    unsigned char buf[16];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// The first error on OpenSSL's queue as text ("unsupported protocol"); the
// queue is emptied so the next call starts clean.
std::string OpenSSLReason() {
    unsigned long e = ERR_get_error();
    std::string text;
    if (e != 0) {
        const char* reason = ERR_reason_error_string(e);
        text = reason ? reason : "";
        if (text.empty()) {
            char buf[256];
            ERR_error_string_n(e, buf, sizeof buf);
            text = buf;
        }
    }
    ERR_clear_error();
    return text.empty() ? Tr("NetIOHandlerTLS", "unknown error") : text;
}

// Why a CA file did not load, in words the user can act on. OpenSSL's own
// text for a file it cannot open is "error:80000002:system library::...",
// and a folder passes for a file without certificates; so the system's
// reason comes first, then what is wrong with the contents. Empties
// OpenSSL's error queue. Runs on the loading thread.
std::string CAFileReason(const std::string& path) {
    int systemError = 0;
    bool noCertificate = false, damaged = false;
    std::string other;
    for (unsigned long e = ERR_get_error(); e != 0; e = ERR_get_error()) {
        const int lib = ERR_GET_LIB(e), reason = ERR_GET_REASON(e);
        if (ERR_SYSTEM_ERROR(e)) {
            if (systemError == 0)
                systemError = reason;
        } else if ((lib == ERR_LIB_X509 && reason == X509_R_NO_CERTIFICATE_OR_CRL_FOUND) ||
                   (lib == ERR_LIB_PEM && reason == PEM_R_NO_START_LINE)) {
            noCertificate = true;
        } else if (lib == ERR_LIB_PEM || lib == ERR_LIB_ASN1) {
            damaged = true;
        } else if (const char* text = ERR_reason_error_string(e); text && other.empty()) {
            other = text;
        }
    }
    ERR_clear_error();
    struct stat st {};
    if (systemError == 0 && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Tr("NetIOHandlerTLS", "it is a folder, not a file");
    if (systemError == ENOENT)
        return Tr("NetIOHandlerTLS", "the file does not exist");
    if (systemError == EACCES || systemError == EPERM)
        return Tr("NetIOHandlerTLS", "Quillet may not read it (permission denied)");
    if (systemError != 0)
        return SystemErrorText(systemError);
    if (damaged)
        return Tr("NetIOHandlerTLS", "a certificate in it is damaged");
    if (noCertificate)
        return Tr("NetIOHandlerTLS", "it holds no certificate in PEM form");
    return other.empty() ? Tr("NetIOHandlerTLS", "unknown error") : other;
}

std::string CertificateReason(const std::string& host, long result) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return Tr("NetIOHandlerTLS", "expired");
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return Tr("NetIOHandlerTLS", "not yet valid");
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return Tr("NetIOHandlerTLS", "name mismatch (the certificate is not valid for %1)")
            .Arg(host);
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return Tr("NetIOHandlerTLS", "unknown issuer");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return Tr("NetIOHandlerTLS", "self-signed");
    default:
        return X509_verify_cert_error_string(result);
    }
}

// One load of trusted certificates: the system's store, plus a CA file when
// one is named. The loading thread fills it in once; handshakes on any
// thread wait for it and share the store, which OpenSSL locks itself.
class TTrustLoad {
public:
    ~TTrustLoad() { X509_STORE_free(FStore); }

    // Runs on the loading thread.
    void Load(const std::string& caFile) {
        ERR_clear_error();
        X509_STORE* store = X509_STORE_new();
        std::string error;
        if (!store)
            error = Tr("NetIOHandlerTLS", "Cannot set up TLS: %1.").Arg(OpenSSLReason());
        else if (X509_STORE_set_default_paths(store) != 1)
            error = Tr("NetIOHandlerTLS", "Cannot load the system's trusted certificates: %1.")
                        .Arg(OpenSSLReason());
        else if (!caFile.empty() && X509_STORE_load_locations(store, caFile.c_str(), nullptr) != 1)
            error = Tr("NetIOHandlerTLS", "Cannot load the trusted certificates of %1: %2.")
                        .Arg(caFile, CAFileReason(caFile));
        if (!error.empty()) {
            X509_STORE_free(store);
            store = nullptr;
        }
        std::lock_guard<std::mutex> lock(FLock);
        FStore = store;
        FError = error;
        FFinished = true;
        FDone.notify_all();
    }

    // True once the load has finished; waits up to ms for it
    // (TimeoutInfinite: as long as it takes).
    bool Wait(int32_t ms) {
        std::unique_lock<std::mutex> lock(FLock);
        auto finished = [this] { return FFinished; };
        if (ms == TimeoutInfinite) {
            FDone.wait(lock, finished);
            return true;
        }
        return FDone.wait_for(lock, std::chrono::milliseconds(ms), finished);
    }
    bool Failed() {
        std::lock_guard<std::mutex> lock(FLock);
        return FFinished && !FStore;
    }
    // After Wait: a reference of the caller's to the store, or the load's
    // failure as ENetTLSError.
    X509_STORE* Share() {
        std::lock_guard<std::mutex> lock(FLock);
        if (!FStore)
            throw ENetTLSError(FError);
        X509_STORE_up_ref(FStore);
        return FStore;
    }

private:
    std::mutex FLock;
    std::condition_variable FDone;
    bool FFinished = false;
    X509_STORE* FStore = nullptr;
    std::string FError;
};

// The loads of this process, one per CA file ("" for the system's store
// alone). A CA file that changed on disk is loaded anew, and so is a set
// whose load failed (a missing file may be there by the next send). Any
// thread that handshakes asks here: the GUI thread in the program, the
// main thread in quillet-send; the mutex guards the table only.
class TTrustStores {
public:
    TTrustStores() {
        // OpenSSL cleans up at exit in a handler it registers when it starts;
        // starting it before this object is complete makes this object's
        // destructor run before that clean-up.
        OPENSSL_init_ssl(0, nullptr);
    }
    ~TTrustStores() {
        // A load still running (a program that ends right after a connect
        // failed) must finish before OpenSSL is cleaned up.
        for (auto& t : FThreads)
            t.first.join();
    }
    TTrustStores(const TTrustStores&) = delete;
    TTrustStores& operator=(const TTrustStores&) = delete;

    // The load for caFile, started now unless it is there already.
    std::shared_ptr<TTrustLoad> Get(const std::string& caFile) {
        const std::string stamp = FileStamp(caFile);
        std::lock_guard<std::mutex> lock(FLock);
        TEntry& e = FEntries[caFile];
        if (e.Load && e.Stamp == stamp && !e.Load->Failed())
            return e.Load;
        ReapFinished();
        e.Stamp = stamp;
        e.Load = std::make_shared<TTrustLoad>();
        FThreads.emplace_back(std::thread([load = e.Load, caFile] { load->Load(caFile); }), e.Load);
        return e.Load;
    }

private:
    struct TEntry {
        std::string Stamp;
        std::shared_ptr<TTrustLoad> Load;
    };

    // What tells one version of a file from another; "" for no file.
    static std::string FileStamp(const std::string& path) {
        struct stat st {};
        if (path.empty())
            return "";
        if (stat(path.c_str(), &st) != 0)
            return "missing";
        return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
               std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
               std::to_string(st.st_mtim.tv_nsec);
    }

    // Joins the threads whose load has finished (they only return then).
    void ReapFinished() {
        for (auto it = FThreads.begin(); it != FThreads.end();) {
            if (it->second->Wait(0)) {
                it->first.join();
                it = FThreads.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex FLock; // guards the table and the threads, not the loads
    std::map<std::string, TEntry> FEntries;
    std::vector<std::pair<std::thread, std::shared_ptr<TTrustLoad>>> FThreads;
};

TTrustStores& TrustStores() {
    static TTrustStores stores;
    return stores;
}

struct TStoreFree {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};

using SteadyClock = std::chrono::steady_clock;

// What is left of timeout ms started at start (TimeoutInfinite stays).
int32_t Remaining(int32_t timeout, SteadyClock::time_point start) {
    if (timeout == TimeoutInfinite)
        return TimeoutInfinite;
    auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
    return static_cast<int32_t>(std::max<long long>(0, timeout - spent));
}

} // namespace

ENetTLSCertificateError::ENetTLSCertificateError(const std::string& host, long verifyResult,
                                                 const std::string& fingerprint)
    : ENetTLSError(Tr("NetIOHandlerTLS", "Certificate of %1 rejected: %2.")
                       .Arg(host, CertificateReason(host, verifyResult))),
      Host(host), VerifyResult(verifyResult), Fingerprint(fingerprint) {}

std::string CertificateSha256(X509* cert) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (!cert || X509_digest(cert, EVP_sha256(), md, &n) != 1)
        return "";
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned int i = 0; i < n; ++i) {
        if (i)
            out += ':';
        out += hex[md[i] >> 4];
        out += hex[md[i] & 15];
    }
    return out;
}

int TNetIOHandlerTLS::VerifyCertificate(int ok, X509_STORE_CTX* store) {
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl ? static_cast<TNetIOHandlerTLS*>(SSL_get_app_data(ssl)) : nullptr;
    if (!self)
        return ok;
    // The leaf, whichever certificate of the chain this call is about.
    if (self->FPeerSha256.empty())
        self->FPeerSha256 = CertificateSha256(X509_STORE_CTX_get0_cert(store));
    if (ok)
        return 1;
    // Every failure of the pinned certificate (issuer, name, dates) is
    // what the user accepted; any other certificate fails as it would.
    return self->PinMatches() ? 1 : 0;
}

bool TNetIOHandlerTLS::PinMatches() const {
    return !PinnedSha256.empty() && !FPeerSha256.empty() &&
           SameText(Trim(PinnedSha256), FPeerSha256);
}

TNetIOHandlerTLS::TNetIOHandlerTLS() : TNetIOHandlerTLS(std::make_unique<TNetIOHandlerSocket>()) {}

TNetIOHandlerTLS::TNetIOHandlerTLS(std::unique_ptr<TNetIOHandler> inner)
    : FInner(std::move(inner)) {
    // The inner transport's states (resolving, connecting) are this one's.
    FInner->OnStatus = [this](TNetComponent&, TNetStatus status, const std::string& text) {
        DoStatus(status, text);
    };
}

TNetIOHandlerTLS::~TNetIOHandlerTLS() {
    FreeSession();
}

void TNetIOHandlerTLS::FreeSession() {
    if (FSSL)
        SSL_free(FSSL); // frees both BIOs too
    if (FCtx)
        SSL_CTX_free(FCtx);
    FSSL = nullptr;
    FCtx = nullptr;
    FIn = FOut = nullptr;
    FPlain.clear();
    FPlainPos = 0;
    FPeerEnded = false;
    FRecvError = 0;
    FLastError = 0;
    FPeerSha256.clear();
}

std::string TNetIOHandlerTLS::ProtocolVersion() const {
    return FSSL ? SSL_get_version(FSSL) : "";
}

std::string TNetIOHandlerTLS::CipherName() const {
    return FSSL ? SSL_get_cipher_name(FSSL) : "";
}

void TNetIOHandlerTLS::Open() {
    FreeSession();
    FInner->Open();
}

void TNetIOHandlerTLS::Close() {
    if (FSSL && !FPeerEnded && FRecvError == 0 && FInner->Connected()) {
        // close_notify tells the server the end is deliberate; a peer that
        // is gone already is no reason to fail here.
        try {
            if (SSL_shutdown(FSSL) >= 0)
                FlushOut();
        } catch (...) {
        }
        ERR_clear_error();
    }
    FreeSession();
    FInner->Close();
}

void TNetIOHandlerTLS::ConnectClient(const std::string& host, int port, const std::string& boundIP,
                                     int boundPort, int boundPortMin, int boundPortMax,
                                     int32_t timeout) {
    FreeSession();
    FHost = host;
    // The certificates load while the connect (and, for STARTTLS, the
    // greeting) goes on; the handshake finds them ready or waits for them.
    if (VerifyPeer)
        TrustStores().Get(CAFile);
    FInner->ConnectClient(host, port, boundIP, boundPort, boundPortMin, boundPortMax, timeout);
    if (ImplicitTLS)
        StartTLS(host);
}

void TNetIOHandlerTLS::StartTLS(const std::string& host) {
    if (FSSL)
        throw ENetTLSError(
            Tr("NetIOHandlerTLS", "TLS is already active on the connection to %1.").Arg(host));
    if (!FInner->Connected())
        throw ENetNotConnected();
    FHost = host;
    try {
        Handshake(host);
    } catch (...) {
        // The stream is in an unknown state after a failed handshake: no
        // clear text may follow on it.
        FreeSession();
        FInner->Close();
        throw;
    }
}

X509_STORE* TNetIOHandlerTLS::AwaitTrustStore() {
    std::shared_ptr<TTrustLoad> load = TrustStores().Get(CAFile);
    // On the GUI thread the wait runs in the anti-freeze's slices, like a
    // socket wait, and the window is serviced once more when the load ends:
    // the handshake's first socket wait is a whole slice of its own.
    for (bool done = load->Wait(0); !done;) {
        const int32_t slice =
            TNetAntiFreezeBase::ShouldUse()
                ? std::max<int32_t>(1, TNetAntiFreezeBase::Instance()->IdleTimeOut)
                : TimeoutInfinite;
        done = load->Wait(slice);
        TNetAntiFreezeBase::DoProcess(true);
        // An event handler (Cancel) may have closed the connection.
        if (!FInner->Connected())
            throw ENetConnClosedGracefully();
    }
    return load->Share();
}

void TNetIOHandlerTLS::Handshake(const std::string& typedHost) {
    // The certificate names an international domain in its A-label form,
    // and so does SNI (RFC 6066 3).
    // An IPv6 literal typed in brackets is checked as the address itself.
    std::string host = typedHost;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (!DomainToASCII(typedHost, host))
        host = typedHost;
    std::unique_ptr<X509_STORE, TStoreFree> trusted;
    if (VerifyPeer)
        trusted.reset(AwaitTrustStore());
    ERR_clear_error();
    FCtx = SSL_CTX_new(TLS_client_method());
    if (!FCtx)
        throw ENetTLSError(Tr("NetIOHandlerTLS", "Cannot set up TLS: %1.").Arg(OpenSSLReason()));
    SSL_CTX_set_min_proto_version(FCtx, TLS1_2_VERSION);
    // No tickets, no cache: a session never outlives its connection.
    SSL_CTX_set_session_cache_mode(FCtx, SSL_SESS_CACHE_OFF);
    // A TCP close without close_notify reads as the end of the stream: SMTP
    // replies carry their own end, so a cut-off reply is seen as such.
    SSL_CTX_set_options(FCtx,
                        SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION | SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (VerifyPeer) {
        SSL_CTX_set_cert_store(FCtx, trusted.release()); // takes our reference
        SSL_CTX_set_verify(FCtx, SSL_VERIFY_PEER, &TNetIOHandlerTLS::VerifyCertificate);
    } else {
        SSL_CTX_set_verify(FCtx, SSL_VERIFY_NONE, nullptr);
    }

    FSSL = SSL_new(FCtx);
    FIn = BIO_new(BIO_s_mem());
    FOut = BIO_new(BIO_s_mem());
    if (!FSSL || !FIn || !FOut) {
        BIO_free(FIn);
        BIO_free(FOut);
        FIn = FOut = nullptr;
        throw ENetTLSError(Tr("NetIOHandlerTLS", "Cannot set up TLS: %1.").Arg(OpenSSLReason()));
    }
    SSL_set_bio(FSSL, FIn, FOut);
    SSL_set_app_data(FSSL, this);
    const bool literal = IsIPLiteral(host);
    // SNI carries names only (RFC 6066 3).
    if (!literal && !host.empty() && SSL_set_tlsext_host_name(FSSL, host.c_str()) != 1)
        throw ENetTLSError(
            Tr("NetIOHandlerTLS", "Cannot set up TLS for %1: %2.").Arg(host, OpenSSLReason()));
    if (VerifyPeer) {
        int ok;
        if (literal) {
            ok = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(FSSL), host.c_str());
        } else {
            SSL_set_hostflags(FSSL, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            ok = SSL_set1_host(FSSL, host.c_str());
        }
        if (ok != 1)
            throw ENetTLSError(
                Tr("NetIOHandlerTLS", "Cannot set up TLS for %1: %2.").Arg(host, OpenSSLReason()));
    }
    SSL_set_connect_state(FSSL);

    const int32_t limit = HandshakeTimeout <= 0 ? TimeoutInfinite : HandshakeTimeout;
    const auto start = SteadyClock::now();
    for (;;) {
        int r = SSL_do_handshake(FSSL);
        // Whatever the outcome, OpenSSL's bytes go out: the next flight,
        // or the alert that tells the server why we stop.
        bool sent = FlushOut();
        if (r == 1)
            break;
        int err = SSL_get_error(FSSL, r);
        if (err != SSL_ERROR_WANT_READ)
            RaiseHandshakeFailure(host);
        if (!sent)
            throw ENetTLSError(Tr("NetIOHandlerTLS", "TLS handshake with %1 failed: %2")
                                   .Arg(host, InnerFailure()));
        int32_t left = Remaining(limit, start);
        if (left == 0 || !FInner->Readable(left))
            throw ENetTLSError(Tr("NetIOHandlerTLS", "TLS handshake with %1 timed out.").Arg(host));
        if (!PullIn())
            throw ENetTLSError(Tr("NetIOHandlerTLS", "TLS handshake with %1 failed: %2")
                                   .Arg(host, InnerFailure()));
    }
    DoStatus(TNetStatus::Text, ProtocolVersion() + " with " + host + " (" + CipherName() + ")");
}

std::string TNetIOHandlerTLS::InnerFailure() const {
    if (FLastError != 0)
        return SocketErrorMessage(FLastError);
    return Tr("NetIOHandlerTLS", "the server closed the connection.");
}

void TNetIOHandlerTLS::RaiseHandshakeFailure(const std::string& host) {
    long verify = SSL_get_verify_result(FSSL);
    if (VerifyPeer && verify != X509_V_OK && !PinMatches()) {
        ERR_clear_error();
        throw ENetTLSCertificateError(host, verify, FPeerSha256);
    }
    throw ENetTLSError(
        Tr("NetIOHandlerTLS", "TLS handshake with %1 failed: %2.").Arg(host, OpenSSLReason()));
}

bool TNetIOHandlerTLS::FlushOut() {
    char buf[RecordSize];
    for (;;) {
        int n = BIO_read(FOut, buf, sizeof buf);
        if (n <= 0)
            return true;
        int off = 0;
        while (off < n) {
            if (!FInner->Connected()) {
                FLastError = WSAENOTCONN;
                return false;
            }
            ssize_t s = FInner->Send(buf + off, static_cast<size_t>(n - off));
            if (s <= 0) {
                FLastError = s < 0 ? FInner->LastErrorCode() : WSAECONNRESET;
                return false;
            }
            off += static_cast<int>(s);
        }
    }
}

bool TNetIOHandlerTLS::PullIn() {
    char buf[RecordSize];
    ssize_t n = FInner->Recv(buf, sizeof buf);
    if (n > 0) {
        BIO_write(FIn, buf, static_cast<int>(n));
        return true;
    }
    if (n < 0)
        FRecvError = FLastError = FInner->LastErrorCode();
    // From now on OpenSSL sees the end of the stream, not "try again".
    BIO_set_mem_eof_return(FIn, 0);
    FPeerEnded = FPeerEnded || n == 0;
    return false;
}

bool TNetIOHandlerTLS::DecryptSome() {
    FPlain.resize(RecordSize);
    FPlainPos = 0;
    int r = SSL_read(FSSL, FPlain.data(), static_cast<int>(FPlain.size()));
    if (r > 0) {
        FPlain.resize(static_cast<size_t>(r));
        return true;
    }
    FPlain.clear();
    int err = SSL_get_error(FSSL, r);
    switch (err) {
    case SSL_ERROR_WANT_READ:
        // A record without application data (a TLS 1.3 key update) may
        // want an answer.
        FlushOut();
        if (FPeerEnded || FRecvError != 0)
            return true;
        return false;
    case SSL_ERROR_ZERO_RETURN:
        FPeerEnded = true;
        return true;
    default:
        if (FRecvError != 0)
            return true;
        if (FPeerEnded && err == SSL_ERROR_SYSCALL)
            return true;
        throw ENetTLSError(Tr("NetIOHandlerTLS", "TLS error on the connection to %1: %2.")
                               .Arg(FHost, OpenSSLReason()));
    }
}

bool TNetIOHandlerTLS::Connected() {
    return FInner->Connected();
}

bool TNetIOHandlerTLS::Readable(int32_t timeout) {
    if (!FSSL)
        return FInner->Readable(timeout);
    if (FPlainPos < FPlain.size() || FPeerEnded || FRecvError != 0)
        return true;
    const auto start = SteadyClock::now();
    for (bool first = true;; first = false) {
        // Bytes OpenSSL holds already (a whole record, SSL_pending, or
        // several records read at once) need no wait on the socket.
        if (DecryptSome())
            return true;
        int32_t left = Remaining(timeout, start);
        if (!first && left == 0)
            return false;
        if (!FInner->Readable(left))
            return false;
        PullIn();
    }
}

ssize_t TNetIOHandlerTLS::Recv(void* buffer, size_t count) {
    if (!FSSL)
        return FInner->Recv(buffer, count);
    if (!FInner->Connected())
        throw ENetClosedSocket();
    while (!Readable(TimeoutInfinite)) {
    }
    if (FPlainPos < FPlain.size()) {
        size_t n = std::min(count, FPlain.size() - FPlainPos);
        std::copy_n(FPlain.data() + FPlainPos, n, static_cast<char*>(buffer));
        FPlainPos += n;
        return static_cast<ssize_t>(n);
    }
    if (FRecvError != 0) {
        FLastError = FRecvError;
        return -1;
    }
    return 0;
}

ssize_t TNetIOHandlerTLS::Send(const void* data, size_t count) {
    if (!FSSL)
        return FInner->Send(data, count);
    if (!FInner->Connected())
        throw ENetClosedSocket();
    if (count == 0)
        return 0;
    const int chunk = static_cast<int>(std::min(count, SendChunk));
    int r = SSL_write(FSSL, data, chunk);
    if (r <= 0)
        throw ENetTLSError(Tr("NetIOHandlerTLS", "TLS error on the connection to %1: %2.")
                               .Arg(FHost, OpenSSLReason()));
    if (!FlushOut())
        return -1;
    return r;
}

int64_t TNetIOHandlerTLS::Unacknowledged() {
    const int64_t queued = FOut ? static_cast<int64_t>(BIO_ctrl_pending(FOut)) : 0;
    return FInner->Unacknowledged() + queued;
}

int TNetIOHandlerTLS::LastErrorCode() {
    return FSSL && FLastError != 0 ? FLastError : FInner->LastErrorCode();
}

std::string TNetIOHandlerTLS::PeerIP() {
    return FInner->PeerIP();
}
