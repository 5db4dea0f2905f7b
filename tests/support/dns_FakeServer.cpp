// Scripted DNS server for tests; see dns_FakeServer.h. Loopback only.
#include "tests/support/dns_FakeServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A socket of type bound to address:port (port 0: any), or -1 when the
// port is taken; port is set to the bound one.
int BoundSocket(int type, const std::string& address, int& port) {
    const int s = ::socket(AF_INET, type, 0);
    if (s < 0)
        throw std::runtime_error("fake DNS server: socket failed");
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1 ||
        (ntohl(sa.sin_addr.s_addr) >> 24) != 127) {
        ::close(s);
        throw std::runtime_error("fake DNS server: not a loopback address: " + address);
    }
    sa.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof sa;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        ::close(s);
        return -1;
    }
    port = ntohs(sa.sin_port);
    return s;
}

// Waits up to 20 ms for fd to become readable.
bool Ready(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, 20) > 0;
}

// Reads exactly count bytes unless the peer closes or stopping is set.
bool ReadExactly(int fd, char* buffer, size_t count, const std::atomic<bool>& stopping) {
    size_t have = 0;
    while (have < count && !stopping) {
        if (!Ready(fd))
            continue;
        const ssize_t n = ::recv(fd, buffer + have, count - have, 0);
        if (n <= 0)
            return false;
        have += static_cast<size_t>(n);
    }
    return have == count;
}

} // namespace

std::string TcpFramed(const std::string& message) {
    return std::string{static_cast<char>(message.size() >> 8),
                       static_cast<char>(message.size() & 0xFF)} +
           message;
}

TDnsFakeServer::TDnsFakeServer(TScript script, TTcpScript tcp, const std::string& address, int port)
    : Script(std::move(script)), TcpScript(std::move(tcp)) {
    // A free UDP port may be taken on TCP; then another one is tried.
    for (int attempt = 0; attempt < 20 && Socket < 0; ++attempt) {
        FPort = port;
        Socket = BoundSocket(SOCK_DGRAM, address, FPort);
        if (Socket < 0 || !TcpScript)
            continue;
        int tcpPort = FPort;
        Listener = BoundSocket(SOCK_STREAM, address, tcpPort);
        if (Listener >= 0 && ::listen(Listener, 4) == 0)
            continue;
        if (Listener >= 0)
            ::close(Listener);
        Listener = -1;
        ::close(Socket);
        Socket = -1;
    }
    if (Socket < 0)
        throw std::runtime_error("fake DNS server: bind failed");
    int otherPort = 0;
    OtherSocket = BoundSocket(SOCK_DGRAM, address, otherPort);
    Thread = std::thread([this] { Run(); });
    if (TcpScript)
        TcpThread = std::thread([this] { RunTcp(); });
}

TDnsFakeServer::~TDnsFakeServer() {
    Stopping = true;
    if (Thread.joinable())
        Thread.join();
    if (TcpThread.joinable())
        TcpThread.join();
    ::close(Socket);
    ::close(OtherSocket);
    if (Listener >= 0)
        ::close(Listener);
}

std::vector<std::string> TDnsFakeServer::Queries() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Received;
}

std::vector<int> TDnsFakeServer::SenderPorts() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Ports;
}

std::vector<std::string> TDnsFakeServer::TcpQueries() const {
    std::lock_guard<std::mutex> guard(Lock);
    return TcpReceived;
}

void TDnsFakeServer::Run() {
    char buffer[65536];
    while (!Stopping) {
        if (!Ready(Socket))
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

void TDnsFakeServer::RunTcp() {
    while (!Stopping) {
        if (!Ready(Listener))
            continue;
        const int connection = ::accept(Listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        ServeTcp(connection);
        ::close(connection);
    }
}

void TDnsFakeServer::ServeTcp(int connection) {
    unsigned char prefix[2];
    if (!ReadExactly(connection, reinterpret_cast<char*>(prefix), 2, Stopping))
        return;
    std::string query(size_t(prefix[0]) << 8 | prefix[1], '\0');
    if (!ReadExactly(connection, query.data(), query.size(), Stopping))
        return;
    {
        std::lock_guard<std::mutex> guard(Lock);
        TcpReceived.push_back(query);
    }
    const TDnsFakeTcpReply reply = TcpScript(query);
    ::send(connection, reply.Bytes.data(), reply.Bytes.size(), MSG_NOSIGNAL);
    if (reply.Close)
        return;
    char scratch[512];
    while (!Stopping) {
        if (!Ready(connection))
            continue;
        if (::recv(connection, scratch, sizeof scratch, 0) <= 0) {
            ++FTcpClientCloses;
            return;
        }
    }
}
