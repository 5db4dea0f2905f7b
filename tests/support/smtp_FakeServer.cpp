// Scripted loopback server; see smtp_FakeServer.h.
#include "tests/support/smtp_FakeServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TSmtpStep Srv(const std::string& line) {
    return {TSmtpStep::Send, line};
}
TSmtpStep SrvRaw(const std::string& bytes) {
    return {TSmtpStep::SendRaw, bytes};
}
TSmtpStep Cli(const std::string& line) {
    return {TSmtpStep::Expect, line};
}
TSmtpStep CliData() {
    return {TSmtpStep::Data, ""};
}
TSmtpStep Hangup() {
    return {TSmtpStep::Close, ""};
}
TSmtpStep Quiet(int ms) {
    return {TSmtpStep::Silence, "", ms};
}

TSmtpStep Drip(const std::string& bytes, int msPerByte) {
    return {TSmtpStep::Drip, bytes, msPerByte};
}

TSmtpStep Take(int bytes) {
    return {TSmtpStep::Take, "", bytes};
}

TSmtpFakeServer::TSmtpFakeServer(std::vector<TSmtpStep> script, const TSmtpFakeOptions& options)
    : FScript(std::move(script)) {
    const bool v6 = options.Address.find(':') != std::string::npos;
    FListen = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // Inherited by the accepted connection: the window a stall leaves open.
    if (options.ReceiveBuffer > 0)
        ::setsockopt(FListen, SOL_SOCKET, SO_RCVBUF, &options.ReceiveBuffer,
                     sizeof options.ReceiveBuffer);
    sockaddr_storage ss{};
    socklen_t len;
    if (v6) {
        ::setsockopt(FListen, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        auto& sa = reinterpret_cast<sockaddr_in6&>(ss);
        sa.sin6_family = AF_INET6;
        sa.sin6_port = htons(static_cast<uint16_t>(options.Port));
        ::inet_pton(AF_INET6, options.Address.c_str(), &sa.sin6_addr);
        len = sizeof sa;
    } else {
        auto& sa = reinterpret_cast<sockaddr_in&>(ss);
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(options.Port));
        ::inet_pton(AF_INET, options.Address.c_str(), &sa.sin_addr);
        len = sizeof sa;
    }
    FListening =
        ::bind(FListen, reinterpret_cast<sockaddr*>(&ss), len) == 0 && ::listen(FListen, 4) == 0;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&ss), &len);
    FPort = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(ss).sin6_port
                     : reinterpret_cast<sockaddr_in&>(ss).sin_port);
    if (::pipe2(FStopPipe, O_CLOEXEC) != 0)
        FStopPipe[0] = FStopPipe[1] = -1;
    FThread = std::thread([this] { Run(); });
}

TSmtpFakeServer::~TSmtpFakeServer() {
    if (FStopPipe[1] >= 0) {
        char c = 1;
        (void)!::write(FStopPipe[1], &c, 1);
    }
    if (FThread.joinable())
        FThread.join();
    ::close(FListen);
    ::close(FStopPipe[0]);
    ::close(FStopPipe[1]);
}

bool TSmtpFakeServer::WaitDone(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!FDone.load()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<std::string> TSmtpFakeServer::Lines() {
    std::lock_guard<std::mutex> l(FLock);
    return FLines;
}

std::string TSmtpFakeServer::Data() {
    std::lock_guard<std::mutex> l(FLock);
    return FData;
}

std::chrono::steady_clock::time_point TSmtpFakeServer::StoppedReading() {
    std::lock_guard<std::mutex> l(FLock);
    return FStopped;
}

std::string TSmtpFakeServer::Failure() {
    std::lock_guard<std::mutex> l(FLock);
    return FFailure;
}

// Reads one CR LF (or LF) line; false on EOF, stop request or waitMs passing.
bool TSmtpFakeServer::ReadLine(int fd, std::string& line, int waitMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        size_t lf = FPending.find('\n');
        if (lf != std::string::npos) {
            line = FPending.substr(0, lf);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            FPending.erase(0, lf + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            return false;
        pollfd p[2] = {{fd, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
        int r = ::poll(p, 2, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || (p[1].revents & POLLIN))
            return false;
        char buf[65536];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            FClosed = true;
            return false;
        }
        FPending.append(buf, static_cast<size_t>(n));
    }
}

void TSmtpFakeServer::Run() {
    pollfd p[2] = {{FListen, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
    if (::poll(p, 2, 30000) <= 0 || !(p[0].revents & POLLIN)) {
        FDone = true;
        return;
    }
    int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        FDone = true;
        return;
    }
    ++FConnections;
    auto fail = [this](const std::string& why) {
        std::lock_guard<std::mutex> l(FLock);
        if (FFailure.empty())
            FFailure = why;
    };
    bool open = true;
    for (const TSmtpStep& step : FScript) {
        if (!open)
            break;
        switch (step.Kind) {
        case TSmtpStep::Send:
        case TSmtpStep::SendRaw: {
            std::string out = step.Text + (step.Kind == TSmtpStep::Send ? "\r\n" : "");
            size_t sent = 0;
            while (sent < out.size()) {
                ssize_t n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<size_t>(n);
            }
            break;
        }
        case TSmtpStep::Expect: {
            std::string line;
            if (!ReadLine(fd, line, 15000)) {
                fail("expected \"" + step.Text + "\", got nothing");
                open = false;
                break;
            }
            {
                std::lock_guard<std::mutex> l(FLock);
                FLines.push_back(line);
            }
            if (step.Text != "*" && line != step.Text)
                fail("expected \"" + step.Text + "\", got \"" + line + "\"");
            break;
        }
        case TSmtpStep::Data: {
            // Raw bytes up to CR LF "." CR LF, taken from the byte stream so
            // that bare CR or LF would show in the data as they came.
            for (;;) {
                size_t end = FPending.find("\r\n.\r\n");
                if (FPending.rfind(".\r\n", 0) == 0) {
                    // The data ended right away (no content line).
                    FPending.erase(0, 3);
                    break;
                }
                if (end != std::string::npos) {
                    std::lock_guard<std::mutex> l(FLock);
                    FData += FPending.substr(0, end + 2);
                    FPending.erase(0, end + 5);
                    break;
                }
                pollfd q[2] = {{fd, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
                if (::poll(q, 2, 15000) <= 0 || (q[1].revents & POLLIN)) {
                    open = false;
                    break;
                }
                char buf[65536];
                ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0) {
                    FClosed = true;
                    open = false;
                    std::lock_guard<std::mutex> l(FLock);
                    FData += FPending;
                    FPending.clear();
                    break;
                }
                FPending.append(buf, static_cast<size_t>(n));
            }
            if (!open)
                fail("data not ended by \".\"");
            break;
        }
        case TSmtpStep::Close:
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
            fd = -1;
            open = false;
            FClosed = true;
            break;
        case TSmtpStep::Silence: {
            pollfd q{FStopPipe[0], POLLIN, 0};
            ::poll(&q, 1, step.Ms);
            break;
        }
        case TSmtpStep::Take: {
            size_t left = static_cast<size_t>(step.Ms);
            const size_t held = std::min(left, FPending.size());
            FPending.erase(0, held);
            left -= held;
            while (left > 0) {
                pollfd q[2] = {{fd, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
                if (::poll(q, 2, 15000) <= 0 || (q[1].revents & POLLIN))
                    break;
                char buf[4096];
                const ssize_t n = ::recv(fd, buf, std::min(left, sizeof buf), 0);
                if (n <= 0)
                    break;
                left -= static_cast<size_t>(n);
            }
            std::lock_guard<std::mutex> l(FLock);
            FStopped = std::chrono::steady_clock::now();
            break;
        }
        case TSmtpStep::Drip:
            for (char c : step.Text) {
                pollfd q{FStopPipe[0], POLLIN, 0};
                if (::poll(&q, 1, step.Ms) != 0 || ::send(fd, &c, 1, MSG_NOSIGNAL) != 1)
                    break;
            }
            break;
        }
    }
    // The rest of the client's lines until it closes.
    if (fd >= 0) {
        std::string line;
        while (ReadLine(fd, line, 15000)) {
            std::lock_guard<std::mutex> l(FLock);
            FLines.push_back(line);
        }
        ::close(fd);
    }
    FDone = true;
}
