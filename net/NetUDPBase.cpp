// The datagram socket of the UDP client over the process-wide stack: opened
// on first use, one send-to per datagram, receive-from after a readability
// wait in anti-freeze slices.
#include "net/NetUDPBase.h"

#include "net/NetAntiFreeze.h"
#include "net/NetSocketError.h"

#include <algorithm>
#include <sys/socket.h>

TNetUDPBase::~TNetUDPBase() = default;

void TNetUDPBase::SetActive(bool value) {
    if (value)
        Socket();
    else
        FBinding.reset();
}

void TNetUDPBase::SetBroadcastEnabled(bool value) {
    FBroadcastEnabled = value;
    if (Active())
        FBinding->SetSockOpt(SOL_SOCKET, SO_BROADCAST, value ? -1 : 0);
}

TNetSocketHandle& TNetUDPBase::Socket(int family) {
    if (!FBinding)
        FBinding = std::make_unique<TNetSocketHandle>();
    // A datagram to the other family needs a socket of that family; the
    // open one stays while the family does.
    if (FBinding->HandleAllocated() && family != 0 && FBinding->Family() != family)
        FBinding->CloseSocket(false);
    if (!FBinding->HandleAllocated()) {
        FBinding->AllocateSocket(SOCK_DGRAM, 0, family != 0 ? family : AF_INET);
        FBinding->SetSockOpt(SOL_SOCKET, SO_BROADCAST, FBroadcastEnabled ? -1 : 0);
    }
    return *FBinding;
}

void TNetUDPBase::SendBuffer(const std::string& ip, int32_t port, const std::string& data) {
    TNetSocketHandle& socket = Socket(AddressFamilyOf(ip));
    const ssize_t sent = socket.SendTo(ip, port, data.data(), data.size());
    if (sent == -1) {
        TNetStack& stack = TNetStack::Instance();
        if (stack.LastError() == WSAEMSGSIZE)
            throw ENetPackageSizeTooBig();
        TNetStack::RaiseSocketError(stack.LastError());
    }
    TNetAntiFreezeBase::DoProcess(false);
    if (static_cast<size_t>(sent) < data.size())
        throw ENetNotAllBytesSent();
}

std::string TNetUDPBase::ReceiveBuffer(int32_t timeout, std::string& senderIP,
                                       int32_t& senderPort) {
    TNetSocketHandle& socket = Socket();
    senderIP.clear();
    senderPort = 0;
    if (!socket.Readable(timeout))
        return std::string();
    std::string buffer(static_cast<size_t>(std::max<int32_t>(BufferSize, 0)), '\0');
    std::string ip;
    int port = 0;
    const ssize_t received = socket.ReceiveFrom(buffer.data(), buffer.size(), ip, port);
    // The sender is known even when the datagram was too long for the
    // buffer, so a caller can tell whose datagram failed.
    senderIP = ip;
    senderPort = port;
    TNetStack::Instance().CheckForSocketError(received);
    buffer.resize(static_cast<size_t>(received));
    return buffer;
}
