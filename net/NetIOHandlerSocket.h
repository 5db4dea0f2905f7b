// TNetIOHandlerSocket: the transport over one socket handle, with host
// resolution and the connect with a time-out (NetConnect.h).
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
    int LastErrorCode() override;
    std::string PeerIP() override;

    // Created on the first Open, reset on later ones; null before.
    TNetSocketHandle* Binding() { return FBinding.get(); }

    // false sets TCP no-delay after the connect: a command (or the final
    // ".") goes out at once instead of waiting for the ACK of the last one.
    bool UseNagle = false;

private:
    std::unique_ptr<TNetSocketHandle> FBinding;
};
