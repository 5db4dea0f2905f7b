// Scripted UDP DNS server for tests; see dns_FakeServer.h. Loopback only.
#include "tests/support/dns_FakeServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int BoundLoopbackSocket(int& port) {
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0)
        throw std::runtime_error("fake DNS server: socket failed");
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = 0;
    socklen_t length = sizeof sa;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        ::close(s);
        throw std::runtime_error("fake DNS server: bind failed");
    }
    port = ntohs(sa.sin_port);
    return s;
}

} // namespace

TDnsFakeServer::TDnsFakeServer(TScript script) : Script(std::move(script)) {
    Socket = BoundLoopbackSocket(FPort);
    int otherPort = 0;
    OtherSocket = BoundLoopbackSocket(otherPort);
    Thread = std::thread([this] { Run(); });
}

TDnsFakeServer::~TDnsFakeServer() {
    Stopping = true;
    if (Thread.joinable())
        Thread.join();
    ::close(Socket);
    ::close(OtherSocket);
}

std::vector<std::string> TDnsFakeServer::Queries() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Received;
}

std::vector<int> TDnsFakeServer::SenderPorts() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Ports;
}

void TDnsFakeServer::Run() {
    char buffer[65536];
    while (!Stopping) {
        pollfd pfd{Socket, POLLIN, 0};
        if (::poll(&pfd, 1, 20) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(Socket, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            continue;
        const std::string query(buffer, static_cast<size_t>(n));
        int index = 0;
        {
            std::lock_guard<std::mutex> guard(Lock);
            index = static_cast<int>(Received.size());
            Received.push_back(query);
            Ports.push_back(ntohs(from.sin_port));
        }
        for (const TDnsFakeDatagram& d : Script(query, index)) {
            if (d.DelayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(d.DelayMs));
            if (Stopping)
                return;
            ::sendto(d.FromOtherPort ? OtherSocket : Socket, d.Bytes.data(), d.Bytes.size(), 0,
                     reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    }
}
