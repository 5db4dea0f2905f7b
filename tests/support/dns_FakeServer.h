// TDnsFakeServer: a scripted DNS server on a UDP port of 127.0.0.1 for
// tests. For every datagram it receives, the script says which datagrams go
// back (bytes, delay, from the server's port or from a second port). It
// parses nothing itself; replies are built with TDnsPacketBuilder.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TDnsFakeDatagram {
    std::string Bytes;
    int DelayMs = 0;            // sleep before sending it
    bool FromOtherPort = false; // sent from a second socket (another port)
};

class TDnsFakeServer {
public:
    // query: the received datagram; index: 0 for the first one received.
    using TScript =
        std::function<std::vector<TDnsFakeDatagram>(const std::string& query, int index)>;

    explicit TDnsFakeServer(TScript script);
    ~TDnsFakeServer();
    TDnsFakeServer(const TDnsFakeServer&) = delete;
    TDnsFakeServer& operator=(const TDnsFakeServer&) = delete;

    int Port() const { return FPort; }
    // The datagrams received so far and the source port of each.
    std::vector<std::string> Queries() const;
    std::vector<int> SenderPorts() const;

private:
    void Run(); // server thread

    TScript Script;
    int Socket = -1;
    int OtherSocket = -1;
    int FPort = 0;
    std::atomic<bool> Stopping{false};
    mutable std::mutex Lock;
    std::vector<std::string> Received;
    std::vector<int> Ports;
    std::thread Thread;
};
