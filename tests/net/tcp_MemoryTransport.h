// An in-memory transport for connection tests and the reply fuzzer: the
// "server" bytes are handed out in chunks of a chosen size, the bytes the
// client sends are collected with the count of sends. When the input runs
// out the peer either closes (Recv returns 0) or stays silent (Readable
// reports a time-out at once).
#pragma once

#include "net/NetIOHandler.h"
#include "net/NetSocketError.h"
#include "net/NetTCPConnection.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

class TMemoryTransport : public TNetIOHandler {
public:
    std::string Input;
    size_t Chunk = 65536;
    bool CloseAtEnd = true;
    std::string Output;
    int Sends = 0;
    bool IsOpen = true;

    void Open() override { IsOpen = true; }
    void Close() override { IsOpen = false; }
    void ConnectClient(const std::string&, int, const std::string&, int, int, int,
                       int32_t) override {
        IsOpen = true;
    }
    bool Connected() override { return IsOpen; }
    bool Readable(int32_t) override { return Pos < Input.size() || CloseAtEnd; }
    ssize_t Recv(void* buffer, size_t count) override {
        size_t n = std::min({count, Chunk, Input.size() - Pos});
        std::memcpy(buffer, Input.data() + Pos, n);
        Pos += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t Send(const void* data, size_t count) override {
        if (!IsOpen) {
            Error = WSAESHUTDOWN;
            return -1;
        }
        ++Sends;
        Output.append(static_cast<const char*>(data), count);
        return static_cast<ssize_t>(count);
    }
    int LastErrorCode() override { return Error; }

private:
    size_t Pos = 0;
    int Error = 0;
};

// Hands connection a new transport of type T, which it owns from then on,
// and returns it for the test to script and read.
template <typename T = TMemoryTransport> T& AttachTransport(TNetTCPConnection& connection) {
    auto transport = std::make_unique<T>();
    T& kept = *transport;
    connection.SetIOHandler(std::move(transport));
    return kept;
}
