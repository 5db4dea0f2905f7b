// TNetSocketHandle: one platform socket with its local and peer address.
// The readability and writability waits here are the ones every network
// wait of the GUI thread goes through: in slices of at most the
// anti-freeze's IdleTimeOut, with the anti-freeze given its chance after
// each. The caller decides
// which failures to tolerate; calls returning ssize_t report -1 with the
// code number in TNetStack::Instance().LastError().
#pragma once

#include "net/NetStack.h"

#include <cstdint>
#include <string>
#include <sys/socket.h>

class TNetSocketHandle {
public:
    TNetSocketHandle() = default;
    ~TNetSocketHandle(); // closes the socket
    TNetSocketHandle(const TNetSocketHandle&) = delete;
    TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;

    // Allocates a socket of family (AF_INET or AF_INET6); ENetInvalidSocket
    // "Cannot allocate socket." when the platform refuses. Closes a socket
    // already held first.
    void AllocateSocket(int type, int protocol = 0, int family = AF_INET);
    // Binds to IP/Port (empty and 0: any). Address in use raises
    // ENetCouldNotBindSocket, any other failure its socket error.
    void Bind();
    // Blocking connect to PeerIP:PeerPort; raises the socket error.
    void Connect();
    // Shuts down the sending direction (when shutdownFirst) and closes.
    // Does nothing without a socket.
    void CloseSocket(bool shutdownFirst = true);
    // Closes the socket and forgets both addresses.
    void Reset();

    ssize_t Send(const void* data, size_t count);
    ssize_t Receive(void* buffer, size_t count);
    // Bytes sent that the peer has not acknowledged; 0 without a socket.
    int64_t Unacknowledged();
    ssize_t SendTo(const std::string& ip, int port, const void* data, size_t count);
    // The sender's address goes to ip/port; 10040 for a datagram longer
    // than count.
    ssize_t ReceiveFrom(void* buffer, size_t count, std::string& ip, int& port);

    // One platform wait, no anti-freeze (TimeoutInfinite: no limit).
    bool Select(int32_t timeout);
    // Waits until readable or the time-out passes, in anti-freeze slices
    // when the anti-freeze is in use. Raises ENetConnClosedGracefully
    // without a socket, the socket error when the wait itself fails.
    bool Readable(int32_t timeout);
    // As Readable, for room in the send buffer. An exception from the
    // anti-freeze (a cancel) closes the socket before it passes on, in both
    // waits: the stream is in an unknown state then.
    bool Writable(int32_t timeout);

    // Integer socket option; raises the socket error.
    void SetSockOpt(int level, int name, int value);
    // Read the local / peer address back from the socket.
    void UpdateBindingLocal();
    void UpdateBindingPeer();

    TNetSocket Handle() const { return FHandle; }
    int Family() const { return FFamily; }
    bool HandleAllocated() const { return FHandle != NetInvalidSocket; }

    std::string IP; // local
    int Port = 0;
    std::string PeerIP;
    int PeerPort = 0;
    int ClientPortMin = 0;
    int ClientPortMax = 0;

private:
    bool WaitSliced(bool write, int32_t timeout);
    TNetSocket FHandle = NetInvalidSocket;
    int FFamily = 0;
};
