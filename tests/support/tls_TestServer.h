// A small TLS line server on 127.0.0.1 for the transport tests, run on a
// thread of the test (OpenSSL directly, not the code under test). One
// connection at a time. Commands (lines, CR LF):
//   "ECHO text" -> "250 text"; "LINES n len" -> n lines "250-xxx..." of len
//   characters, one TLS record each, then "250 done"; "BULK n" -> reads n
//   raw bytes, then "250 <n> <FNV-1a 64 hex>"; "QUIT" -> "221 bye", close.
// Modes: implicit TLS, STARTTLS after a plain "220" greeting, or silent
// (accepts the TCP connection, never answers), or hang-up (reads the
// client's first flight, then closes without an answer).
#pragma once

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

inline uint64_t TlsTestHash(const char* data, size_t count, uint64_t h = 1469598103934665603ULL) {
    for (size_t i = 0; i < count; ++i) {
        h ^= static_cast<unsigned char>(data[i]);
        h *= 1099511628211ULL;
    }
    return h;
}

class TTlsTestServer {
public:
    enum TMode { Implicit, StartTLS, Silent, Hangup };

    // maxVersion: highest protocol the server speaks (0: any), to test that
    // old versions are refused.
    TTlsTestServer(TMode mode, const std::string& certFile, const std::string& keyFile,
                   int maxVersion = 0)
        : FMode(mode) {
        // OpenSSL writes to the socket with write(): a client that hung up
        // must not end the whole test binary.
        ::signal(SIGPIPE, SIG_IGN);
        FCtx = SSL_CTX_new(TLS_server_method());
        if (!FCtx || SSL_CTX_use_certificate_file(FCtx, certFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_use_PrivateKey_file(FCtx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("test server: cannot load " + certFile);
        if (maxVersion != 0) {
            // Old versions need the old ciphers and security level back.
            SSL_CTX_set_min_proto_version(FCtx, TLS1_VERSION);
            SSL_CTX_set_max_proto_version(FCtx, maxVersion);
            SSL_CTX_set_cipher_list(FCtx, "DEFAULT:@SECLEVEL=0");
        }
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (::bind(FListen, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
            ::listen(FListen, 4) != 0 ||
            getsockname(FListen, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            throw std::runtime_error("test server: cannot listen");
        FPort = ntohs(sa.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~TTlsTestServer() {
        FStop = true;
        int c = FConn.load();
        if (c >= 0)
            ::shutdown(c, SHUT_RDWR);
        FThread.join();
        ::close(FListen);
        SSL_CTX_free(FCtx);
    }
    TTlsTestServer(const TTlsTestServer&) = delete;
    TTlsTestServer& operator=(const TTlsTestServer&) = delete;

    int Port() const { return FPort; }
    // Connections whose handshake completed / that the client ended with
    // close_notify.
    int Handshakes() const { return FHandshakes; }
    int CleanShutdowns() const { return FCleanShutdowns; }

private:
    void Run() {
        while (!FStop) {
            pollfd p{FListen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            int c = ::accept(FListen, nullptr, nullptr);
            if (c < 0)
                continue;
            FConn = c;
            Serve(c);
            FConn = -1;
            ::close(c);
        }
    }

    // Plain line before TLS starts (byte by byte: nothing of the TLS
    // handshake may be swallowed).
    static bool PlainLine(int c, std::string& line) {
        line.clear();
        char ch;
        while (::recv(c, &ch, 1, 0) == 1) {
            if (ch == '\n') {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
            line += ch;
        }
        return false;
    }

    void Serve(int c) {
        if (FMode == Hangup) {
            // Closing with the ClientHello unread would reset the connection
            // instead of ending it, depending on which comes first.
            char buf[4096];
            ::recv(c, buf, sizeof buf, 0);
            return;
        }
        if (FMode == Silent) {
            char buf[4096];
            while (!FStop && ::recv(c, buf, sizeof buf, 0) > 0) {
            }
            return;
        }
        if (FMode == StartTLS) {
            std::string line;
            const std::string greeting = "220 plain greeting\r\n";
            ::send(c, greeting.data(), greeting.size(), MSG_NOSIGNAL);
            for (;;) {
                if (!PlainLine(c, line))
                    return;
                if (line == "STARTTLS")
                    break;
                const std::string reply = "250 plain " + line + "\r\n";
                ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            const std::string go = "220 go ahead\r\n";
            ::send(c, go.data(), go.size(), MSG_NOSIGNAL);
        }
        SSL* ssl = SSL_new(FCtx);
        SSL_set_fd(ssl, c);
        if (SSL_accept(ssl) == 1) {
            ++FHandshakes;
            Lines(ssl);
        }
        ERR_clear_error();
        SSL_free(ssl);
    }

    static bool Write(SSL* ssl, const std::string& text) {
        return SSL_write(ssl, text.data(), static_cast<int>(text.size())) > 0;
    }

    void Lines(SSL* ssl) {
        std::string in;
        char buf[16384];
        for (;;) {
            size_t eol;
            while ((eol = in.find("\r\n")) == std::string::npos) {
                int n = SSL_read(ssl, buf, sizeof buf);
                if (n <= 0) {
                    if (SSL_get_error(ssl, n) == SSL_ERROR_ZERO_RETURN)
                        ++FCleanShutdowns;
                    return;
                }
                in.append(buf, static_cast<size_t>(n));
            }
            std::string line = in.substr(0, eol);
            in.erase(0, eol + 2);
            if (line.rfind("ECHO ", 0) == 0) {
                Write(ssl, "250 " + line.substr(5) + "\r\n");
            } else if (line.rfind("LINES ", 0) == 0) {
                int n = 0, len = 0;
                std::sscanf(line.c_str() + 6, "%d %d", &n, &len);
                for (int i = 0; i < n; ++i)
                    Write(ssl,
                          "250-" + std::string(static_cast<size_t>(len), 'a' + i % 26) + "\r\n");
                Write(ssl, "250 done\r\n");
            } else if (line.rfind("BULK ", 0) == 0) {
                size_t want = std::stoul(line.substr(5));
                size_t got = 0;
                uint64_t h = 1469598103934665603ULL;
                while (got < want) {
                    if (in.empty()) {
                        int n = SSL_read(ssl, buf, sizeof buf);
                        if (n <= 0)
                            return;
                        in.append(buf, static_cast<size_t>(n));
                    }
                    size_t take = std::min(in.size(), want - got);
                    h = TlsTestHash(in.data(), take, h);
                    in.erase(0, take);
                    got += take;
                }
                char reply[64];
                std::snprintf(reply, sizeof reply, "250 %zu %016llx\r\n", got,
                              static_cast<unsigned long long>(h));
                Write(ssl, reply);
            } else if (line == "QUIT") {
                Write(ssl, "221 bye\r\n");
                SSL_shutdown(ssl);
                return;
            } else {
                Write(ssl, "500 unknown\r\n");
            }
        }
    }

    TMode FMode;
    SSL_CTX* FCtx = nullptr;
    int FListen = -1;
    int FPort = 0;
    std::atomic<int> FConn{-1};
    std::atomic<bool> FStop{false};
    std::atomic<int> FHandshakes{0};
    std::atomic<int> FCleanShutdowns{0};
    std::thread FThread;
};
