// The BSD-socket stack, its process-wide counting, and host resolution.
// Dotted addresses are parsed and formatted here rather than by the C
// library so that "010.1.1.1" and friends mean what the program says.
#include "net/NetStack.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "net/NetDeliveryException.h"
#include "net/NetIdna.h"
#include "net/NetSocketError.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/sockios.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::mutex StackLock;
int StackUsers = 0;
std::unique_ptr<TNetStack> StackObject;
std::atomic<TNetStack*> CurrentStack{nullptr};

// An IPv6 literal through the C library, so scope names ("%eth0") work.
bool ParseIPv6(const std::string& ip, sockaddr_in6& sa) {
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* list = nullptr;
    if (ip.empty() || ::getaddrinfo(ip.c_str(), nullptr, &hints, &list) != 0 || !list)
        return false;
    std::memcpy(&sa, list->ai_addr, sizeof sa);
    ::freeaddrinfo(list);
    return true;
}

// ip and port as a socket address; an empty ip is the any-address of
// family. False when ip is no address.
bool MakeAddress(const std::string& ip, int port, int family, sockaddr_storage& ss,
                 socklen_t& length) {
    std::memset(&ss, 0, sizeof ss);
    const uint16_t netPort = htons(static_cast<uint16_t>(port));
    uint32_t a = 0;
    if (ip.empty() ? family != AF_INET6 : ParseDottedIP(ip, a)) {
        auto& sa = reinterpret_cast<sockaddr_in&>(ss);
        sa.sin_family = AF_INET;
        sa.sin_port = netPort;
        sa.sin_addr.s_addr = htonl(ip.empty() ? INADDR_ANY : a);
        length = sizeof sa;
        return true;
    }
    auto& sa6 = reinterpret_cast<sockaddr_in6&>(ss);
    if (ip.empty()) {
        sa6.sin6_family = AF_INET6;
        sa6.sin6_addr = in6addr_any;
    } else if (!ParseIPv6(ip, sa6)) {
        return false;
    }
    sa6.sin6_port = netPort;
    length = sizeof sa6;
    return true;
}

void ReadAddress(const sockaddr_storage& ss, std::string& ip, int& port) {
    if (ss.ss_family == AF_INET6) {
        const auto& sa6 = reinterpret_cast<const sockaddr_in6&>(ss);
        char text[NI_MAXHOST] = {};
        ::getnameinfo(reinterpret_cast<const sockaddr*>(&sa6), sizeof sa6, text, sizeof text,
                      nullptr, 0, NI_NUMERICHOST);
        ip = text;
        port = ntohs(sa6.sin6_port);
        return;
    }
    const auto& sa = reinterpret_cast<const sockaddr_in&>(ss);
    ip = FormatDottedIP(ntohl(sa.sin_addr.s_addr));
    port = ntohs(sa.sin_port);
}

// The family a socket was made with, so a bind to "any" picks the right one.
int SocketFamily(TNetSocket s) {
    int family = AF_INET;
    socklen_t length = sizeof family;
    if (::getsockopt(s, SOL_SOCKET, SO_DOMAIN, &family, &length) != 0)
        return AF_INET;
    return family;
}

// An IPv6 literal in the form every other part of the program writes it.
std::string CanonicalIPv6(const std::string& ip) {
    sockaddr_storage ss{};
    socklen_t length = 0;
    std::string text;
    int port = 0;
    if (!MakeAddress(ip, 0, AF_INET6, ss, length))
        return ip;
    ReadAddress(ss, text, port);
    return text;
}

} // namespace

bool ParseDottedIP(const std::string& text, uint32_t& address) {
    uint32_t result = 0;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        size_t end = part < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos || end == start)
            return false;
        // Bounded before conversion: more than three digits cannot be <= 255
        // unless they are leading zeros, which we still accept as decimal.
        uint32_t value = 0;
        for (size_t i = start; i < end; ++i) {
            char c = text[i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + static_cast<uint32_t>(c - '0');
            if (value > 255)
                return false;
        }
        result = (result << 8) | value;
        start = end + 1;
    }
    address = result;
    return true;
}

bool IsDottedIP(const std::string& text) {
    uint32_t a;
    return ParseDottedIP(text, a);
}

std::string FormatDottedIP(uint32_t a) {
    return IntToStr((a >> 24) & 255) + "." + IntToStr((a >> 16) & 255) + "." +
           IntToStr((a >> 8) & 255) + "." + IntToStr(a & 255);
}

bool IsIPv6Address(const std::string& text) {
    sockaddr_in6 sa{};
    return text.find(':') != std::string::npos && ParseIPv6(text, sa);
}

int AddressFamilyOf(const std::string& ip) {
    if (IsDottedIP(ip))
        return AF_INET;
    return IsIPv6Address(ip) ? AF_INET6 : 0;
}

std::string AddressForDisplay(const std::string& ip) {
    return ip.find(':') != std::string::npos ? "[" + ip + "]" : ip;
}

TNetStack& TNetStack::Instance() {
    TNetStack* s = CurrentStack.load();
    if (!s)
        throw ENetStackError(Tr("NetDeliveryException", "No network component exists."));
    return *s;
}

bool TNetStack::Exists() {
    return CurrentStack.load() != nullptr;
}

void TNetStack::AddUser() {
    std::lock_guard<std::mutex> lock(StackLock);
    if (StackUsers == 0) {
        StackObject = std::make_unique<TNetStackBSD>();
        CurrentStack.store(StackObject.get());
    }
    ++StackUsers;
}

void TNetStack::ReleaseUser() {
    std::lock_guard<std::mutex> lock(StackLock);
    if (StackUsers > 0 && --StackUsers == 0) {
        CurrentStack.store(nullptr);
        StackObject.reset();
    }
}

std::vector<std::string> TNetStack::ResolveAddresses(const std::string& hostIn) {
    // "[2001:db8::1]" as a URL or a mail address literal writes it.
    std::string host = hostIn;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    // The loopback of both families, in the order RFC 6724 puts them; a
    // hosts file that lists only one must not hide the other.
    if (SameText(host, "LOCALHOST"))
        return {"::1", "127.0.0.1"};
    if (IsDottedIP(host))
        return {host};
    if (IsIPv6Address(host))
        return {CanonicalIPv6(host)};
    std::string ascii;
    if (!DomainToASCII(host, ascii))
        RaiseSocketError(WSAHOST_NOT_FOUND);
    std::vector<std::string> addresses = HostByName(ascii);
    if (addresses.empty())
        RaiseSocketError(LastError());
    return addresses;
}

std::string TNetStack::ResolveHost(const std::string& host) {
    // A datagram cannot race: LOCALHOST stays the IPv4 loopback, where
    // local servers listen.
    if (SameText(host, "LOCALHOST"))
        return "127.0.0.1";
    return ResolveAddresses(host).front();
}

int TNetStack::CheckForSocketError(ssize_t result, std::initializer_list<int> tolerated) {
    if (result != -1)
        return 0;
    int code = LastError();
    for (int t : tolerated)
        if (t == code)
            return code;
    RaiseSocketError(code);
}

void TNetStack::RaiseSocketError(int code) {
    throw ENetSocketError(code);
}

// --- BSD sockets ---

TNetStackBSD::TNetStackBSD() {
    // The machine's IPv4 addresses, as the host's own name would list them.
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (ifaddrs* i = list; i; i = i->ifa_next)
            if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET) {
                auto* sa = reinterpret_cast<sockaddr_in*>(i->ifa_addr);
                LocalAddresses.push_back(FormatDottedIP(ntohl(sa->sin_addr.s_addr)));
            }
        ::freeifaddrs(list);
    }
}

int TNetStackBSD::Fail() {
    SetLastError(SocketErrorFromErrno(errno));
    return -1;
}

TNetSocket TNetStackBSD::CreateSocket(int family, int type, int protocol) {
    int s = ::socket(family, type | SOCK_CLOEXEC, protocol);
    return s < 0 ? Fail() : s;
}

int TNetStackBSD::Bind(TNetSocket s, const std::string& ip, int port) {
    sockaddr_storage sa;
    socklen_t length = 0;
    if (!MakeAddress(ip, port, SocketFamily(s), sa, length)) {
        SetLastError(WSAEINVAL);
        return -1;
    }
    return ::bind(s, reinterpret_cast<sockaddr*>(&sa), length) < 0 ? Fail() : 0;
}

int TNetStackBSD::Connect(TNetSocket s, const std::string& ip, int port) {
    sockaddr_storage sa;
    socklen_t length = 0;
    if (ip.empty() || !MakeAddress(ip, port, AF_UNSPEC, sa, length)) {
        SetLastError(WSAEINVAL);
        return -1;
    }
    int r;
    do
        r = ::connect(s, reinterpret_cast<sockaddr*>(&sa), length);
    while (r < 0 && errno == EINTR);
    return r < 0 ? Fail() : 0;
}

ssize_t TNetStackBSD::Send(TNetSocket s, const void* data, size_t count) {
    ssize_t r;
    // MSG_NOSIGNAL: a peer that went away is an error to report, not a signal.
    // MSG_DONTWAIT: a peer that stops reading must not block the GUI thread.
    do
        r = ::send(s, data, count, MSG_NOSIGNAL | MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);
    return r < 0 ? Fail() : r;
}

ssize_t TNetStackBSD::Receive(TNetSocket s, void* buffer, size_t count) {
    ssize_t r;
    do
        r = ::recv(s, buffer, count, 0);
    while (r < 0 && errno == EINTR);
    return r < 0 ? Fail() : r;
}

ssize_t TNetStackBSD::SendTo(TNetSocket s, const void* data, size_t count, const std::string& ip,
                             int port) {
    sockaddr_storage sa;
    socklen_t length = 0;
    if (ip.empty() || !MakeAddress(ip, port, AF_UNSPEC, sa, length)) {
        SetLastError(WSAEINVAL);
        return -1;
    }
    ssize_t r;
    do
        r = ::sendto(s, data, count, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), length);
    while (r < 0 && errno == EINTR);
    return r < 0 ? Fail() : r;
}

ssize_t TNetStackBSD::ReceiveFrom(TNetSocket s, void* buffer, size_t count, std::string& ip,
                                  int& port) {
    sockaddr_storage sa;
    std::memset(&sa, 0, sizeof sa);
    iovec iov{buffer, count};
    msghdr msg{};
    msg.msg_name = &sa;
    msg.msg_namelen = sizeof sa;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    ssize_t r;
    do
        r = ::recvmsg(s, &msg, 0);
    while (r < 0 && errno == EINTR);
    if (r < 0)
        return Fail();
    ReadAddress(sa, ip, port);
    if (msg.msg_flags & MSG_TRUNC) {
        SetLastError(WSAEMSGSIZE);
        return -1;
    }
    return r;
}

int TNetStackBSD::Wait(TNetSocket s, short events, int32_t timeout) {
    using Clock = std::chrono::steady_clock;
    const bool infinite = timeout == TimeoutInfinite || timeout < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeout);
    for (;;) {
        int wait = -1;
        if (!infinite) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        pollfd p{s, events, 0};
        int r = ::poll(&p, 1, wait);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return Fail();
        if (r > 0 && (p.revents & POLLNVAL)) {
            SetLastError(WSAENOTSOCK);
            return -1;
        }
        // An error or hang-up counts as ready: the next call reports it.
        return r > 0 ? 1 : 0;
    }
}

int TNetStackBSD::WaitAnyWritable(const std::vector<TNetSocket>& sockets, int32_t timeout,
                                  std::vector<bool>& ready) {
    std::vector<pollfd> polls;
    for (TNetSocket s : sockets)
        polls.push_back({s, POLLOUT, 0});
    ready.assign(sockets.size(), false);
    int r;
    do
        r = ::poll(polls.data(), polls.size(), timeout < 0 ? -1 : timeout);
    while (r < 0 && errno == EINTR);
    if (r < 0)
        return Fail();
    // A failed connect shows as an error or hang-up: ready, SO_ERROR tells.
    for (size_t i = 0; i < polls.size(); ++i)
        ready[i] = polls[i].revents != 0;
    return r;
}

int TNetStackBSD::WaitReadable(TNetSocket s, int32_t timeout) {
    return Wait(s, POLLIN, timeout);
}

int TNetStackBSD::WaitWritable(TNetSocket s, int32_t timeout) {
    return Wait(s, POLLOUT, timeout);
}

int TNetStackBSD::Shutdown(TNetSocket s, int how) {
    return ::shutdown(s, how) < 0 ? Fail() : 0;
}

int TNetStackBSD::Close(TNetSocket s) {
    // Linux releases the descriptor even when close reports EINTR: no retry.
    return ::close(s) < 0 && errno != EINTR ? Fail() : 0;
}

int TNetStackBSD::SetSocketOption(TNetSocket s, int level, int name, int value) {
    return ::setsockopt(s, level, name, &value, sizeof value) < 0 ? Fail() : 0;
}

int TNetStackBSD::SetBlocking(TNetSocket s, bool blocking) {
    int flags = ::fcntl(s, F_GETFL);
    if (flags < 0)
        return Fail();
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(s, F_SETFL, flags) < 0 ? Fail() : 0;
}

int64_t TNetStackBSD::Unacknowledged(TNetSocket s) {
    int queued = 0;
    return ::ioctl(s, SIOCOUTQ, &queued) < 0 ? Fail() : queued;
}

int TNetStackBSD::PendingError(TNetSocket s) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
        err = errno;
    return err ? SocketErrorFromErrno(err) : 0;
}

int TNetStackBSD::GetSocketName(TNetSocket s, std::string& ip, int& port) {
    sockaddr_storage sa;
    socklen_t len = sizeof sa;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) < 0)
        return Fail();
    ReadAddress(sa, ip, port);
    return 0;
}

int TNetStackBSD::GetPeerName(TNetSocket s, std::string& ip, int& port) {
    sockaddr_storage sa;
    socklen_t len = sizeof sa;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&sa), &len) < 0)
        return Fail();
    ReadAddress(sa, ip, port);
    return 0;
}

std::vector<std::string> TNetStackBSD::HostByName(const std::string& host) {
    // Both families; the C library sorts them by RFC 6724. No AI_ADDRCONFIG:
    // it hides IPv6 on a machine whose only IPv6 address is ::1, and an
    // unreachable family costs the connect race one quick failure.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int r = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    std::vector<std::string> addresses;
    if (r != 0 || !list) {
        SetLastError(r != 0 ? SocketErrorFromLookup(r, errno) : WSAHOST_NOT_FOUND);
        return addresses;
    }
    for (addrinfo* i = list; i; i = i->ai_next) {
        if (i->ai_family != AF_INET && i->ai_family != AF_INET6)
            continue;
        sockaddr_storage ss{};
        std::memcpy(&ss, i->ai_addr, std::min<size_t>(i->ai_addrlen, sizeof ss));
        std::string ip;
        int port = 0;
        ReadAddress(ss, ip, port);
        if (std::find(addresses.begin(), addresses.end(), ip) == addresses.end())
            addresses.push_back(ip);
    }
    ::freeaddrinfo(list);
    if (addresses.empty())
        SetLastError(WSAHOST_NOT_FOUND);
    return addresses;
}

std::string TNetStackBSD::HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) < 0)
        return "";
    return name;
}
