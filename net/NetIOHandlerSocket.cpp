// The socket transport: open, connect (steps of the client's connect that
// concern the socket), close, and the byte calls over the handle.
#include "net/NetIOHandlerSocket.h"

#include "net/NetAntiFreeze.h"
#include "net/NetConnect.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketError.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

TNetIOHandlerSocket::TNetIOHandlerSocket() = default;

TNetIOHandlerSocket::~TNetIOHandlerSocket() {
    Close();
}

void TNetIOHandlerSocket::Open() {
    if (!FBinding)
        FBinding = std::make_unique<TNetSocketHandle>();
    else
        FBinding->Reset();
}

void TNetIOHandlerSocket::Close() {
    if (FBinding)
        FBinding->CloseSocket();
}

void TNetIOHandlerSocket::ConnectClient(const std::string& host, int port,
                                        const std::string& boundIP, int boundPort, int boundPortMin,
                                        int boundPortMax, int32_t timeout) {
    if (!FBinding)
        Open();
    TNetSocketHandle& b = *FBinding;
    b.AllocateSocket(SOCK_STREAM, 0);
    b.IP = boundIP;
    b.Port = boundPort;
    b.ClientPortMin = boundPortMin;
    b.ClientPortMax = boundPortMax;
    b.Bind();
    if (!IsDottedIP(host))
        DoStatus(TNetStatus::Resolving, host);
    b.PeerIP = TNetStack::Instance().ResolveHost(host);
    b.PeerPort = port;
    DoStatus(TNetStatus::Connecting, b.PeerIP);
    if (timeout != TimeoutDefault && timeout != 0)
        ConnectWithTimeout(b, timeout);
    else if (TNetAntiFreezeBase::ShouldUse())
        ConnectWithTimeout(b, ConnectDefaultTimeoutMs);
    else
        b.Connect();
    if (!UseNagle)
        b.SetSockOpt(IPPROTO_TCP, TCP_NODELAY, 1);
    b.UpdateBindingLocal();
    b.UpdateBindingPeer();
}

bool TNetIOHandlerSocket::Connected() {
    return FBinding && FBinding->HandleAllocated();
}

bool TNetIOHandlerSocket::Readable(int32_t timeout) {
    if (!FBinding)
        throw ENetConnClosedGracefully();
    return FBinding->Readable(timeout);
}

ssize_t TNetIOHandlerSocket::Recv(void* buffer, size_t count) {
    if (!Connected())
        throw ENetClosedSocket();
    return FBinding->Receive(buffer, count);
}

ssize_t TNetIOHandlerSocket::Send(const void* data, size_t count) {
    if (!Connected())
        throw ENetClosedSocket();
    TNetStack& stack = TNetStack::Instance();
    const int32_t limit = FWriteTimeout > 0 ? FWriteTimeout : TimeoutInfinite;
    for (;;) {
        ssize_t n = FBinding->Send(data, count);
        if (n >= 0 || stack.LastError() != WSAEWOULDBLOCK)
            return n;
        if (!FBinding->Writable(limit)) {
            // Part of a command or message may be out: the stream is
            // useless now, and a QUIT after it would only wait again.
            FBinding->CloseSocket(false);
            throw ENetReadTimeout();
        }
    }
}

int TNetIOHandlerSocket::LastErrorCode() {
    return TNetStack::Instance().LastError();
}

std::string TNetIOHandlerSocket::PeerIP() {
    return FBinding ? FBinding->PeerIP : "";
}
