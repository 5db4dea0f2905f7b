// The socket layer: error codes and texts, dotted addresses and host
// resolution, stack counting, connects that are refused, time out or name
// an unknown host, and datagrams too long for the buffer. Loopback only.
#include "net/NetComponent.h"
#include "net/NetConnectRace.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketError.h"
#include "net/NetSocketHandle.h"
#include "net/NetStack.h"
#include "net/NetTCPConnection.h"
#include "tests/support/net_LoopbackListeners.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A loopback port with nothing listening on it.
int ClosedPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    ::close(s);
    return ntohs(sa.sin_port);
}

TEST(SocketErrors, CodesAndTexts) {
    struct {
        int Errno;
        int Code;
        const char* Text;
    } cases[] = {
        {ECONNREFUSED, 10061, "Connection refused."},
        {ETIMEDOUT, 10060, "Connection timed out."},
        {ECONNRESET, 10054, "Connection reset by peer."},
        {EPIPE, 10054, "Connection reset by peer."}, // send after the peer reset
        {EADDRINUSE, 10048, "Address already in use."},
        {EWOULDBLOCK, 10035, "Operation would block. "}, // the trailing space is the text
        {EMSGSIZE, 10040, "Message too long."},
        {ENOTEMPTY, 10066, "Directory not empty"}, // no full stop
        {EHOSTUNREACH, 10065, "No route to host."},
        {ENOTSOCK, 10038, "Socket operation on non-socket."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Code);
        EXPECT_EQ(SocketErrorFromErrno(c.Errno), c.Code);
        EXPECT_EQ(SocketErrorText(c.Code), c.Text);
    }
    EXPECT_EQ(SocketErrorFromLookup(EAI_NONAME, 0), 11001);
    EXPECT_EQ(SocketErrorText(11001), "Host not found.");
    EXPECT_EQ(SocketErrorText(12345), "");
    EXPECT_EQ(ENetSocketError(10061).Message, "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(ENetSocketError(12345).Message, "Socket Error # 12345\r\n");
}

TEST(SocketAddresses, DottedIPv4) {
    struct {
        const char* Text;
        bool Dotted;
    } cases[] = {
        {"127.0.0.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"010.001.0.1", true}, // decimal with leading zeros, not octal
        {"256.1.1.1", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"1..2.3", false},
        {" 1.2.3.4", false},
        {"1.2.3.4 ", false},
        {"1.2.3.-4", false},
        {"a.b.c.d", false},
        {"", false},
        {"99999999999.1.1.1", false}, // no overflow into a small number
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDottedIP(c.Text), c.Dotted) << c.Text;
    uint32_t a = 0;
    ASSERT_TRUE(ParseDottedIP("010.001.0.1", a));
    EXPECT_EQ(FormatDottedIP(a), "10.1.0.1");
}

TEST(SocketStack, LivesFromFirstToLastComponent) {
    EXPECT_FALSE(TNetStack::Exists());
    EXPECT_THROW(TNetStack::Instance(), ENetStackError);
    {
        auto a = std::make_unique<TNetTCPConnection>();
        EXPECT_TRUE(TNetStack::Exists());
        TNetStack* first = &TNetStack::Instance();
        {
            TNetTCPConnection b;
            EXPECT_EQ(&TNetStack::Instance(), first);
        }
        EXPECT_TRUE(TNetStack::Exists()) << "freed while a component lives";
        a.reset();
        EXPECT_FALSE(TNetStack::Exists());
    }
}

TEST(SocketResolve, LocalhostDottedAndUnknown) {
    TNetStackUser user;
    TNetStack& stack = TNetStack::Instance();
    EXPECT_EQ(stack.ResolveHost("LoCaLhOsT"), "127.0.0.1");
    EXPECT_EQ(stack.ResolveHost("127.1.2.3"), "127.1.2.3");
    using List = std::vector<std::string>;
    // A connect races both loopbacks, IPv6 first as RFC 6724 sorts them;
    // literals need no lookup, with or without brackets.
    EXPECT_EQ(stack.ResolveAddresses("localhost"), (List{"::1", "127.0.0.1"}));
    EXPECT_EQ(stack.ResolveAddresses("[2001:DB8:0::1]"), List{"2001:db8::1"});
    EXPECT_EQ(stack.ResolveAddresses("::1"), List{"::1"});
    EXPECT_EQ(InterleaveFamilies({"::1", "::2", "::3", "10.0.0.1", "10.0.0.2"}),
              (List{"::1", "10.0.0.1", "::2", "10.0.0.2", "::3"}));
    // "bad..host.invalid" has an empty label, so the resolver refuses it
    // without sending a query: the test stays off the network.
    for (const char* host : {"bad..host.invalid", "256.1.1.1"}) {
        SCOPED_TRACE(host);
        try {
            stack.ResolveHost(host);
            FAIL() << "resolved";
        } catch (const ENetSocketError& e) {
            EXPECT_EQ(e.Code, 11001);
            EXPECT_EQ(e.Message, "Socket Error # 11001\r\nHost not found.");
        }
    }
}

TEST(SocketConnect, RefusedIsReportedWithoutWaiting) {
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = ClosedPort();
    for (int32_t timeout : {TimeoutDefault, int32_t(5000)}) {
        auto start = Clock::now();
        try {
            c.OpenConnection(timeout);
            FAIL() << "connected";
        } catch (const ENetException& e) {
            if (timeout == TimeoutDefault) {
                // No anti-freeze here: the direct connect raises the socket error.
                ASSERT_NE(dynamic_cast<const ENetSocketError*>(&e), nullptr);
            } else {
                ASSERT_NE(dynamic_cast<const ENetConnectException*>(&e), nullptr);
            }
            EXPECT_EQ(e.Message, "Socket Error # 10061\r\nConnection refused.");
        }
        EXPECT_LT(MsSince(start), 1000) << "waited for the time-out";
        EXPECT_FALSE(c.IsConnected());
    }
}

TEST(SocketConnect, UnknownHostBeforeAnyConnect) {
    TNetTCPClient c;
    c.Host = "bad..host.invalid";
    c.Port = 25;
    try {
        c.OpenConnection(1000);
        FAIL();
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.Code, 11001);
    }
    EXPECT_FALSE(c.IsConnected());
}

TEST(SocketConnect, NoAnswerTimesOut) {
    SilentListener silent;
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = silent.Port;
    auto start = Clock::now();
    try {
        c.OpenConnection(400);
        FAIL() << "connected";
    } catch (const ENetConnectTimeout& e) {
        EXPECT_EQ(e.Message, "Connect timed out.");
    }
    long long ms = MsSince(start);
    EXPECT_GE(ms, 390);
    EXPECT_LT(ms, 2000) << "the time-out ends the wait";
    EXPECT_FALSE(c.IsConnected());
    EXPECT_THROW(c.WriteLine("x"), ENetException) << "the socket is closed";
}

TEST(SocketConnect, ReconnectAfterFailureReusesTheClient) {
    TLoopbackListener listener(4);

    TNetTCPClient c;
    c.Host = "localhost";
    c.Port = ClosedPort();
    EXPECT_THROW(c.OpenConnection(1000), ENetConnectException);
    c.Port = listener.Port;
    c.OpenConnection(1000);
    EXPECT_TRUE(c.IsConnected());
    EXPECT_THROW(c.OpenConnection(1000), ENetAlreadyConnected);
    c.CloseConnection();
    EXPECT_FALSE(c.IsConnected());
}

TEST(SocketDatagram, LongerThanBufferIs10040) {
    TNetStackUser user;
    TNetSocketHandle rx, tx;
    rx.AllocateSocket(SOCK_DGRAM);
    rx.IP = "127.0.0.1";
    rx.Bind();
    rx.UpdateBindingLocal();
    tx.AllocateSocket(SOCK_DGRAM);
    std::string payload(100, 'x');
    ASSERT_EQ(tx.SendTo("127.0.0.1", rx.Port, payload.data(), payload.size()), 100);
    ASSERT_EQ(tx.SendTo("127.0.0.1", rx.Port, payload.data(), 99), 99);
    char buf[99];
    std::string ip;
    int port = 0;
    ASSERT_TRUE(rx.Readable(1000));
    EXPECT_EQ(rx.ReceiveFrom(buf, sizeof buf, ip, port), -1);
    EXPECT_EQ(TNetStack::Instance().LastError(), 10040);
    ASSERT_TRUE(rx.Readable(1000));
    EXPECT_EQ(rx.ReceiveFrom(buf, sizeof buf, ip, port), 99) << "exactly the buffer size";
    EXPECT_EQ(ip, "127.0.0.1");
    EXPECT_FALSE(rx.Readable(50));
    rx.CloseSocket();
    EXPECT_THROW(rx.Readable(0), ENetConnClosedGracefully);
}

TEST(SocketBind, AddressInUse) {
    TNetStackUser user;
    TNetSocketHandle a, b;
    a.AllocateSocket(SOCK_DGRAM);
    a.IP = "127.0.0.1";
    a.Bind();
    a.UpdateBindingLocal();
    b.AllocateSocket(SOCK_DGRAM);
    b.IP = "127.0.0.1";
    b.Port = a.Port;
    try {
        b.Bind();
        FAIL();
    } catch (const ENetCouldNotBindSocket& e) {
        EXPECT_EQ(e.Message, "Could not bind socket. Address and port are already in use.");
    }
}

} // namespace
