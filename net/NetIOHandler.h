// TNetIOHandler: the transport under a TCP connection. The connection only
// sees this interface, so a TLS transport can later take the socket's
// place; tests put an in-memory transport here.
#pragma once

#include "net/NetComponent.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

class TNetIOHandler : public TNetComponent {
public:
    // Prepares for a connect (creates or resets the socket).
    virtual void Open() = 0;
    // Shuts down the sending direction and closes; no error when closed.
    virtual void Close() = 0;
    // Resolves host (every address, raced: NetConnectRace.h), connects;
    // timeout as for TNetTCPClient::OpenConnection.
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
    // WriteTimeout ms without the peer acknowledging a byte (then
    // ENetReadTimeout, the socket closed), giving the anti-freeze its
    // slices and the write-wait hook its calls meanwhile.
    virtual ssize_t Send(const void* data, size_t count) = 0;
    // ms a write may go without the peer acknowledging anything; 0: no limit.
    virtual void SetWriteTimeout(int32_t ms) { FWriteTimeout = ms; }
    // Bytes sent (in this transport's own units) that the peer has not
    // acknowledged yet; 0 where that cannot be known.
    virtual int64_t Unacknowledged() { return 0; }
    // Called at every slice of a write that waits for the peer, so the
    // caller can show the bytes acknowledged meanwhile.
    virtual void SetWriteWaitHook(std::function<void()> hook) { FWriteWaitHook = std::move(hook); }
    // The addresses to race for the next ConnectClient instead of looking
    // the host up (tests and benchmarks); empty: look it up.
    virtual void SetHostAddresses(std::vector<std::string> addresses) {
        FHostAddresses = std::move(addresses);
    }
    virtual int LastErrorCode() = 0;
    // Peer address text for status reports (empty when unknown).
    virtual std::string PeerIP() { return ""; }

protected:
    int32_t FWriteTimeout = 0;
    std::function<void()> FWriteWaitHook;
    std::vector<std::string> FHostAddresses;
};
