// TNetUDPClient: single datagrams to one configured Host:Port and single
// datagrams back with a time-out. Host is resolved before every send (a name
// may change its address); matching replies to requests is the caller's job.
#pragma once

#include "net/NetUDPBase.h"

#include <cstdint>
#include <string>

class TNetUDPClient : public TNetUDPBase {
public:
    // Sends the bytes of data as one datagram to Host:Port. Raises
    // ENetPackageSizeTooBig, ENetNotAllBytesSent or the socket error.
    void SendDatagram(const std::string& data);
    // The same to host:port instead of Host:Port.
    void SendDatagram(const std::string& data, const std::string& host, int32_t port);

    // One datagram, or empty when none arrived in time. TimeoutDefault
    // means ReceiveTimeout. The second form also gives the sender (empty
    // IP and port 0 when nothing arrived; filled in as well when a datagram
    // too long for BufferSize raises socket error 10040).
    std::string ReceiveDatagram(int32_t timeout = TimeoutDefault);
    std::string ReceiveDatagram(int32_t timeout, std::string& senderIP, int32_t& senderPort);

    // The dotted address Host resolved to on the last send.
    const std::string& HostIP() const { return FHostIP; }

    std::string Host;
    int32_t Port = 0;
    int32_t ReceiveTimeout = TimeoutInfinite;

private:
    std::string FHostIP;
};
