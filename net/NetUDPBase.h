// TNetUDPBase: one datagram socket (of the family of the last destination) with its receive buffer
// and a receive that waits through the socket handle's readability wait, so the anti-freeze keeps
// the window serviced. Where datagrams go is left to TNetUDPClient; the socket is never bound
// explicitly (the first send does).
#pragma once

#include "base/Translate.h"
#include "net/NetComponent.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketHandle.h"

#include <cstdint>
#include <memory>
#include <string>

class ENetPackageSizeTooBig : public ENetSocketHandleError {
public:
    ENetPackageSizeTooBig()
        : ENetSocketHandleError(Tr("NetDeliveryException", "Package Size Too Big.")) {}
};

class ENetNotAllBytesSent : public ENetSocketHandleError {
public:
    ENetNotAllBytesSent()
        : ENetSocketHandleError(Tr("NetDeliveryException", "Not all bytes sent.")) {}
};

class TNetUDPBase : public TNetComponent {
public:
    TNetUDPBase() = default;
    ~TNetUDPBase() override;

    // True while the socket is open; true opens it, false closes it (the
    // next use opens a new socket on a new local port).
    bool Active() const { return FBinding && FBinding->HandleAllocated(); }
    void SetActive(bool value);

    // Applied to the socket as the broadcast option (now, if it is open).
    bool BroadcastEnabled() const { return FBroadcastEnabled; }
    void SetBroadcastEnabled(bool value);

    // Size of the buffer a datagram is received into; a longer datagram
    // fails with socket error 10040.
    int32_t BufferSize = 8192;

    // The socket handle, or null before first use.
    TNetSocketHandle* Binding() const { return FBinding.get(); }

protected:
    // The open socket, created and opened on demand, of family (AF_INET or
    // AF_INET6; 0: whichever is open, else AF_INET).
    TNetSocketHandle& Socket(int family = 0);
    // One datagram to ip:port, all bytes or an exception.
    void SendBuffer(const std::string& ip, int32_t port, const std::string& data);
    // One datagram within timeout (or TimeoutInfinite); empty with an empty
    // sender IP and port 0 when none arrived. The sender is filled in before
    // a failed receive raises its socket error.
    std::string ReceiveBuffer(int32_t timeout, std::string& senderIP, int32_t& senderPort);

private:
    std::unique_ptr<TNetSocketHandle> FBinding;
    bool FBroadcastEnabled = false;
};
