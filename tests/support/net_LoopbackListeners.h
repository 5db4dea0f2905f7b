// Listening sockets on 127.0.0.1 for the connect tests: one that accepts,
// and one whose accept queue is full so further connects get no answer.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

class TLoopbackListener {
public:
    explicit TLoopbackListener(int backlog) {
        Listen = ::socket(AF_INET, SOCK_STREAM, 0);
        Address.sin_family = AF_INET;
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(Listen, reinterpret_cast<sockaddr*>(&Address), sizeof Address);
        ::listen(Listen, backlog);
        socklen_t len = sizeof Address;
        ::getsockname(Listen, reinterpret_cast<sockaddr*>(&Address), &len);
        Port = ntohs(Address.sin_port);
    }
    ~TLoopbackListener() { ::close(Listen); }
    TLoopbackListener(const TLoopbackListener&) = delete;
    TLoopbackListener& operator=(const TLoopbackListener&) = delete;

    int Listen;
    int Port;
    sockaddr_in Address{};
};

class SilentListener : public TLoopbackListener {
public:
    SilentListener() : TLoopbackListener(0) {
        // Fill the queue until a connect stays pending.
        for (int i = 0; i < 8; ++i) {
            int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            Fillers.push_back(s);
            ::connect(s, reinterpret_cast<sockaddr*>(&Address), sizeof Address);
        }
    }
    ~SilentListener() {
        for (int s : Fillers)
            ::close(s);
    }
    std::vector<int> Fillers;
};
