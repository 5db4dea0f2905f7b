// TDnsFakeServer: a scripted DNS server on a UDP port of a loopback address
// for tests. For every datagram it receives, the script says which datagrams
// go back (bytes, delay, from the server's port or from a second port).
// With a TCP script it also listens on TCP at the same address and port and
// answers one query per connection as scripted. It parses nothing itself;
// replies are built with TDnsPacketBuilder.
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

// What goes back on a TCP connection: Bytes as they are (the length prefix
// included, so it may lie), then the server closes, or with Close false
// waits for the client to close.
struct TDnsFakeTcpReply {
    std::string Bytes;
    bool Close = true;
};

class TDnsFakeServer {
public:
    // query: the received datagram; index: 0 for the first one received.
    using TScript =
        std::function<std::vector<TDnsFakeDatagram>(const std::string& query, int index)>;
    // query: the message received over TCP, without its length prefix.
    using TTcpScript = std::function<TDnsFakeTcpReply(const std::string& query)>;

    // On address (127.0.0.0/8) and port (0: a free one; with a TCP script,
    // free for both).
    explicit TDnsFakeServer(TScript script, TTcpScript tcp = nullptr,
                            const std::string& address = "127.0.0.1", int port = 0);
    ~TDnsFakeServer();
    TDnsFakeServer(const TDnsFakeServer&) = delete;
    TDnsFakeServer& operator=(const TDnsFakeServer&) = delete;

    int Port() const { return FPort; }
    // The datagrams received so far and the source port of each.
    std::vector<std::string> Queries() const;
    std::vector<int> SenderPorts() const;
    // The messages received over TCP, and how many TCP connections the
    // client closed (end of stream or reset seen) while the server waited.
    std::vector<std::string> TcpQueries() const;
    int TcpClientCloses() const { return FTcpClientCloses.load(); }

private:
    void Run();    // server thread
    void RunTcp(); // TCP server thread
    void ServeTcp(int connection);

    TScript Script;
    TTcpScript TcpScript;
    int Socket = -1;
    int OtherSocket = -1;
    int Listener = -1;
    int FPort = 0;
    std::atomic<bool> Stopping{false};
    std::atomic<int> FTcpClientCloses{0};
    mutable std::mutex Lock;
    std::vector<std::string> Received;
    std::vector<int> Ports;
    std::vector<std::string> TcpReceived;
    std::thread Thread;
    std::thread TcpThread;
};

// message with its two-byte length prefix, as it goes over TCP.
std::string TcpFramed(const std::string& message);
