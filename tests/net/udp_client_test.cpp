// The UDP client against a loopback peer: whole datagrams up to the buffer
// size, the too-long cases, receive time-outs, and the socket's lifetime.
#include "net/NetSocketError.h"
#include "net/NetUDPClient.h"

#include "platform/Clock.h"
#include "tests/support/dns_FakeServer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

namespace {

using Datagrams = std::vector<TDnsFakeDatagram>;

// Answers "N" with a datagram of N bytes; anything else is echoed.
TDnsFakeServer::TScript Sizer() {
    return [](const std::string& q, int) {
        if (!q.empty() && q[0] >= '0' && q[0] <= '9')
            return Datagrams{{std::string(std::stoul(q), 'd')}};
        return Datagrams{{q}};
    };
}

void Aim(TNetUDPClient& c, const TDnsFakeServer& server) {
    c.Host = "127.0.0.1";
    c.Port = server.Port();
    c.ReceiveTimeout = 2000;
}

TEST(UdpClient, DatagramOfBufferSizeIsWholeAndALongerOneFails) {
    TDnsFakeServer server(Sizer());
    TNetUDPClient c;
    Aim(c, server);
    c.BufferSize = 1000;
    c.SendDatagram("1000");
    std::string ip;
    int32_t port = 0;
    EXPECT_EQ(c.ReceiveDatagram(TimeoutDefault, ip, port), std::string(1000, 'd'));
    EXPECT_EQ(ip, "127.0.0.1");
    EXPECT_EQ(port, server.Port());

    c.SendDatagram("1001");
    try {
        c.ReceiveDatagram();
        FAIL() << "no error";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.Code, 10040);
        EXPECT_STREQ(e.what(), "Socket Error # 10040\r\nMessage too long.");
    }
}

TEST(UdpClient, NothingArrivingGivesAnEmptyResultAfterTheTimeOut) {
    TDnsFakeServer server([](const std::string&, int) { return Datagrams{}; });
    TNetUDPClient c;
    Aim(c, server);
    c.ReceiveTimeout = 300;
    c.SendDatagram("ping");
    std::string ip = "stale";
    int32_t port = 7;
    uint32_t started = GetTickCount();
    EXPECT_EQ(c.ReceiveDatagram(TimeoutDefault, ip, port), "");
    // The tick counter truncates to whole milliseconds.
    EXPECT_GE(GetTickCount() - started, 290u) << "ReceiveTimeout is the default";
    EXPECT_EQ(ip, "");
    EXPECT_EQ(port, 0);

    c.ReceiveTimeout = 10000;
    started = GetTickCount();
    EXPECT_EQ(c.ReceiveDatagram(50), "");
    EXPECT_LT(GetTickCount() - started, 2000u) << "an explicit time-out wins";
}

TEST(UdpClient, ActiveFalseClosesAndTheNextSendUsesANewPort) {
    TDnsFakeServer server(Sizer());
    TNetUDPClient c;
    Aim(c, server);
    EXPECT_FALSE(c.Active());
    c.SetActive(true);
    EXPECT_TRUE(c.Active());
    c.SendDatagram("a");
    EXPECT_EQ(c.ReceiveDatagram(), "a");
    c.SendDatagram("b");
    EXPECT_EQ(c.ReceiveDatagram(), "b");
    c.SetActive(false);
    EXPECT_FALSE(c.Active());
    c.SendDatagram("c");
    EXPECT_TRUE(c.Active());
    EXPECT_EQ(c.ReceiveDatagram(), "c");
    const std::vector<int> ports = server.SenderPorts();
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0], ports[1]) << "the socket stays open between sends";
    EXPECT_NE(ports[1], ports[2]);
}

TEST(UdpClient, OversizedDatagramAndBroadcastOption) {
    TDnsFakeServer server(Sizer());
    TNetUDPClient c;
    Aim(c, server);
    EXPECT_THROW(c.SendDatagram(std::string(70000, 'x')), ENetPackageSizeTooBig);

    auto broadcast = [&] {
        int value = -1;
        socklen_t length = sizeof value;
        getsockopt(c.Binding()->Handle(), SOL_SOCKET, SO_BROADCAST, &value, &length);
        return value;
    };
    EXPECT_EQ(broadcast(), 0);
    c.SetBroadcastEnabled(true);
    EXPECT_NE(broadcast(), 0);
    c.SetActive(false);
    c.SetActive(true);
    EXPECT_NE(broadcast(), 0) << "applied to a new socket as well";
}

TEST(UdpClient, UnknownDottedPartIsNotTakenAsAnAddress) {
    // 127.0.0.256 is no dotted address; "localhost" needs no lookup.
    TDnsFakeServer server(Sizer());
    TNetUDPClient c;
    Aim(c, server);
    c.Host = "LOCALHOST";
    c.SendDatagram("x");
    EXPECT_EQ(c.HostIP(), "127.0.0.1");
    EXPECT_EQ(c.ReceiveDatagram(), "x");
}

} // namespace
