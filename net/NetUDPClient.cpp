// UDP client: resolves Host for every send, receives with the configured
// default time-out.
#include "net/NetUDPClient.h"

void TNetUDPClient::SendDatagram(const std::string& data) {
    SendDatagram(data, Host, Port);
}

void TNetUDPClient::SendDatagram(const std::string& data, const std::string& host, int32_t port) {
    const std::string ip = TNetStack::Instance().ResolveHost(host);
    FHostIP = ip;
    SendBuffer(ip, port, data);
}

std::string TNetUDPClient::ReceiveDatagram(int32_t timeout) {
    std::string ip;
    int32_t port = 0;
    return ReceiveDatagram(timeout, ip, port);
}

std::string TNetUDPClient::ReceiveDatagram(int32_t timeout, std::string& senderIP,
                                           int32_t& senderPort) {
    if (timeout == TimeoutDefault)
        timeout = ReceiveTimeout;
    return ReceiveBuffer(timeout, senderIP, senderPort);
}
