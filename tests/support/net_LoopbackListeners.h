// Listening sockets on a loopback address (127.0.0.1 unless the test names
// another, "::1" included) for the connect tests: one that accepts, and one
// whose accept queue is full so further connects get no answer (the SYN
// is dropped: a black hole).
#pragma once

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

class TLoopbackListener {
public:
    // port 0: a free one.
    explicit TLoopbackListener(int backlog, const std::string& address = "127.0.0.1",
                               int port = 0) {
        const bool v6 = address.find(':') != std::string::npos;
        Listen = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(Listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (v6) {
            ::setsockopt(Listen, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
            auto& a = reinterpret_cast<sockaddr_in6&>(Address);
            a.sin6_family = AF_INET6;
            a.sin6_port = htons(static_cast<uint16_t>(port));
            ::inet_pton(AF_INET6, address.c_str(), &a.sin6_addr);
            Length = sizeof a;
        } else {
            auto& a = reinterpret_cast<sockaddr_in&>(Address);
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(port));
            ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
            Length = sizeof a;
        }
        Bound = ::bind(Listen, reinterpret_cast<sockaddr*>(&Address), Length) == 0 &&
                ::listen(Listen, backlog) == 0;
        ::getsockname(Listen, reinterpret_cast<sockaddr*>(&Address), &Length);
        Port = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(Address).sin6_port
                        : reinterpret_cast<sockaddr_in&>(Address).sin_port);
    }
    ~TLoopbackListener() { ::close(Listen); }
    TLoopbackListener(const TLoopbackListener&) = delete;
    TLoopbackListener& operator=(const TLoopbackListener&) = delete;

    int Listen;
    int Port;
    bool Bound = false; // false when the address and port were taken
    sockaddr_storage Address{};
    socklen_t Length = 0;
};

class SilentListener : public TLoopbackListener {
public:
    explicit SilentListener(const std::string& address = "127.0.0.1", int port = 0)
        : TLoopbackListener(0, address, port) {
        // Fill the queue until a connect stays pending.
        for (int i = 0; i < 8; ++i) {
            int s = ::socket(Address.ss_family, SOCK_STREAM | SOCK_NONBLOCK, 0);
            Fillers.push_back(s);
            ::connect(s, reinterpret_cast<sockaddr*>(&Address), Length);
        }
    }
    ~SilentListener() {
        for (int s : Fillers)
            ::close(s);
    }
    std::vector<int> Fillers;
};
