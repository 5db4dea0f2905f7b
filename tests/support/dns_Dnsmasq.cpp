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

// address and port as a socket address of address's family.
socklen_t MakeAddress(const std::string& address, int port, sockaddr_storage& ss) {
    ss = sockaddr_storage{};
    if (address.find(':') != std::string::npos) {
        auto& sa = reinterpret_cast<sockaddr_in6&>(ss);
        sa.sin6_family = AF_INET6;
        sa.sin6_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET6, address.c_str(), &sa.sin6_addr);
        return sizeof sa;
    }
    auto& sa = reinterpret_cast<sockaddr_in&>(ss);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    return sizeof sa;
}

int PortOf(const sockaddr_storage& ss) {
    return ntohs(ss.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(ss).sin6_port
                                          : reinterpret_cast<const sockaddr_in&>(ss).sin_port);
}

// A port free for both UDP and TCP on address (dnsmasq takes both).
int FreePort(const std::string& address) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        sockaddr_storage sa;
        socklen_t length = MakeAddress(address, 0, sa);
        const int u = ::socket(sa.ss_family, SOCK_DGRAM, 0);
        ::bind(u, reinterpret_cast<sockaddr*>(&sa), length);
        ::getsockname(u, reinterpret_cast<sockaddr*>(&sa), &length);
        const int t = ::socket(sa.ss_family, SOCK_STREAM, 0);
        const bool tcpFree = ::bind(t, reinterpret_cast<sockaddr*>(&sa), length) == 0;
        ::close(t);
        ::close(u);
        if (tcpFree && PortOf(sa) >= 1024)
            return PortOf(sa);
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
    FPort = FixedPort > 0 ? FixedPort : FreePort(Address);
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
    sockaddr_storage sa;
    const socklen_t length = MakeAddress(Address, FPort, sa);
    const int s = ::socket(sa.ss_family, SOCK_DGRAM, 0);
    ::sendto(s, probe.data(), probe.size(), 0, reinterpret_cast<sockaddr*>(&sa), length);
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
