// Starts and stops a real dnsmasq on loopback; see dns_Dnsmasq.h.
#include "tests/support/dns_Dnsmasq.h"

#include "tests/support/dns_PacketBuilder.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// A port free for both UDP and TCP on 127.0.0.1 (dnsmasq takes both).
int FreePort() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int u = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof sa;
        ::bind(u, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::getsockname(u, reinterpret_cast<sockaddr*>(&sa), &length);
        const int t = ::socket(AF_INET, SOCK_STREAM, 0);
        const bool tcpFree = ::bind(t, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
        ::close(t);
        ::close(u);
        if (tcpFree && ntohs(sa.sin_port) >= 1024)
            return ntohs(sa.sin_port);
    }
    throw std::runtime_error("no free port for dnsmasq");
}

} // namespace

TDnsmasq::TDnsmasq(const std::vector<std::string>& lines, const std::string& address, int port)
    : Address(address), FixedPort(port) {
    if (::access(Program(), X_OK) != 0)
        throw std::runtime_error("dnsmasq is not installed in /usr/sbin");
    char pattern[] = "/tmp/quillet-dnsmasq-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("cannot create a directory for dnsmasq");
    Dir = pattern;
    const std::string conf = Dir + "/dnsmasq.conf";
    {
        std::ofstream out(conf);
        for (const std::string& line : lines)
            out << line << "\n";
    }
    // A port taken between choosing and binding makes dnsmasq exit; try again.
    for (int attempt = 0; attempt < 5; ++attempt)
        if (Start(conf))
            return;
    std::remove(conf.c_str());
    std::remove((Dir + "/log").c_str());
    ::rmdir(Dir.c_str());
    throw std::runtime_error("dnsmasq did not start");
}

TDnsmasq::~TDnsmasq() {
    Stop();
    std::remove((Dir + "/dnsmasq.conf").c_str());
    std::remove((Dir + "/log").c_str());
    ::rmdir(Dir.c_str());
}

bool TDnsmasq::Start(const std::string& conf) {
    FPort = FixedPort > 0 ? FixedPort : FreePort();
    std::vector<std::string> args = {
        Program(),
        "--keep-in-foreground",
        "--no-resolv",
        "--no-hosts",
        "--bind-interfaces",
        "--listen-address=" + Address,
        "--port=" + std::to_string(FPort),
        "--conf-file=" + conf,
        "--pid-file=",
        "--user=",
        "--log-facility=" + Dir + "/log",
    };
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&Pid, Program(), nullptr, nullptr, argv.data(), environ) != 0) {
        Pid = -1;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(Pid, &status, WNOHANG) == Pid) {
            Pid = -1;
            return false;
        }
        if (Answers())
            return true;
    }
    Stop();
    return false;
}

// One probe query (the root's NS) answered within 100 ms.
bool TDnsmasq::Answers() const {
    const std::string probe = TDnsPacketBuilder(0x5151, 0x0100).Question("", 2).Build();
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    ::inet_pton(AF_INET, Address.c_str(), &sa.sin_addr);
    sa.sin_port = htons(static_cast<uint16_t>(FPort));
    ::sendto(s, probe.data(), probe.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    pollfd pfd{s, POLLIN, 0};
    bool answered = false;
    if (::poll(&pfd, 1, 100) > 0) {
        char buffer[512];
        answered = ::recv(s, buffer, sizeof buffer, 0) >= 12;
    }
    ::close(s);
    if (!answered)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return answered;
}

void TDnsmasq::Stop() {
    if (Pid <= 0)
        return;
    ::kill(Pid, SIGTERM);
    int status = 0;
    while (::waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
    }
    Pid = -1;
}
