// Starts the real SMTP server (python3-aiosmtpd, smtp_aiosmtpd_server.py) on
// 127.0.0.1 and a free port for one test, and stops it again. What it
// received is read back from its directory.
#pragma once

#include <string>
#include <sys/types.h>

class TSmtpAiosmtpd {
public:
    // withAuth: announce AUTH without TLS and accept user/secret. host and
    // port: where to listen (port 0: a free one).
    explicit TSmtpAiosmtpd(bool withAuth, const std::string& host = "127.0.0.1", int port = 0);
    ~TSmtpAiosmtpd();
    TSmtpAiosmtpd(const TSmtpAiosmtpd&) = delete;
    TSmtpAiosmtpd& operator=(const TSmtpAiosmtpd&) = delete;

    // 0 when the server did not come up.
    int Port() const { return FPort; }
    // Message n (from 1) as stored, "" while not there; waits up to ms.
    std::string Message(int n, int ms = 5000) const;
    // Its envelope lines ("login=...", "from=...", "rcpt=...").
    std::string Envelope(int n) const;

private:
    std::string FDir;
    pid_t FPid = -1;
    int FPort = 0;
};
