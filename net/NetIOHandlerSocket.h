// TNetIOHandlerSocket: the transport over one socket handle, with host
// resolution and the connect race over every address (NetConnectRace.h).
// A write that waits for the peer counts what the peer acknowledges
// (SIOCOUTQ), not what the kernel took, and TCP_USER_TIMEOUT backs that up.
#pragma once

#include "net/NetIOHandler.h"
#include "net/NetSocketHandle.h"

#include <memory>

class TNetIOHandlerSocket : public TNetIOHandler {
public:
    TNetIOHandlerSocket();
    ~TNetIOHandlerSocket() override;

    void Open() override;
    void Close() override;
    void ConnectClient(const std::string& host, int port, const std::string& boundIP, int boundPort,
                       int boundPortMin, int boundPortMax, int32_t timeout) override;
    bool Connected() override;
    bool Readable(int32_t timeout) override;
    ssize_t Recv(void* buffer, size_t count) override;
    ssize_t Send(const void* data, size_t count) override;
    void SetWriteTimeout(int32_t ms) override;
    int64_t Unacknowledged() override;
    int LastErrorCode() override;
    std::string PeerIP() override;

    // Created on the first Open, reset on later ones, replaced by the
    // race's winner at a connect; null before.
    TNetSocketHandle* Binding() { return FBinding.get(); }

    // false sets TCP no-delay after the connect: a command (or the final
    // ".") goes out at once instead of waiting for the ACK of the last one.
    bool UseNagle = false;

private:
    // Waits for room in the send buffer; see Send.
    void AwaitRoom();
    // The kernel's own limit on unacknowledged data, a second guard behind
    // the write time-out that reports it.
    void ApplyUserTimeout();
    std::unique_ptr<TNetSocketHandle> FBinding;
    unsigned FCloses = 0; // Close calls, so a connect sees one made meanwhile
};
