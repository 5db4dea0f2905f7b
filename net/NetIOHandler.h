// TNetIOHandler: the transport under a TCP connection. The connection only
// sees this interface, so a TLS transport can later take the socket's
// place; tests put an in-memory transport here.
#pragma once

#include "net/NetComponent.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

class TNetIOHandler : public TNetComponent {
public:
    // Prepares for a connect (creates or resets the socket).
    virtual void Open() = 0;
    // Shuts down the sending direction and closes; no error when closed.
    virtual void Close() = 0;
    // Resolves host, connects; timeout as for TNetTCPClient::OpenConnection.
    virtual void ConnectClient(const std::string& host, int port, const std::string& boundIP,
                               int boundPort, int boundPortMin, int boundPortMax,
                               int32_t timeout) = 0;
    virtual bool Connected() = 0;
    // Waits for data within timeout (TimeoutInfinite: no limit); raises
    // ENetConnClosedGracefully when closed.
    virtual bool Readable(int32_t timeout) = 0;
    // -1 on failure with the code number in LastErrorCode().
    virtual ssize_t Recv(void* buffer, size_t count) = 0;
    // Sends some of data: waits while the peer accepts nothing, at most
    // WriteTimeout ms without progress (then ENetReadTimeout, the socket
    // closed), giving the anti-freeze its slices meanwhile.
    virtual ssize_t Send(const void* data, size_t count) = 0;
    // ms a write may make no progress; 0: no limit.
    virtual void SetWriteTimeout(int32_t ms) { FWriteTimeout = ms; }
    virtual int LastErrorCode() = 0;
    // Peer address text for status reports (empty when unknown).
    virtual std::string PeerIP() { return ""; }

protected:
    int32_t FWriteTimeout = 0;
};
