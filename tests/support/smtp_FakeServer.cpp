// Scripted loopback server; see smtp_FakeServer.h.
#include "tests/support/smtp_FakeServer.h"

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

TSmtpFakeServer::TSmtpFakeServer(std::vector<TSmtpStep> script) : FScript(std::move(script)) {
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(FListen, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::listen(FListen, 4);
    socklen_t len = sizeof sa;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&sa), &len);
    FPort = ntohs(sa.sin_port);
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
