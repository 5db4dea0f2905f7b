// The TLS transport under a real TCP connection to a loopback TLS server:
// lines and replies unchanged over implicit TLS and after a STARTTLS-style
// upgrade, multi-megabyte writes, many small records read without waiting
// on the socket, close_notify on close, and a window kept serviced while
// a silent server stalls the handshake.
#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "net/NetIOHandlerSocket.h"
#include "net/NetIOHandlerTLS.h"
#include "net/NetTCPConnection.h"
#include "tests/support/TempDir.h"
#include "tests/support/tls_TestPki.h"
#include "tests/support/tls_TestServer.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class TlsTransport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = new TTempDir();
        Pki = new TTlsTestPki(Dir->Path());
        Server = new TTlsCertFiles(Pki->Issue("server", {"DNS:localhost", "IP:127.0.0.1"}));
    }
    static void TearDownTestSuite() {
        delete Server;
        delete Pki;
        delete Dir;
    }

    // A client whose transport is TLS; Tls stays valid while Conn lives.
    void MakeClient(int port, bool implicit, const std::string& host = "127.0.0.1") {
        auto tls = std::make_unique<TNetIOHandlerTLS>();
        Tls = tls.get();
        Tls->ImplicitTLS = implicit;
        Tls->CAFile = Pki->CAFile;
        Tls->HandshakeTimeout = 5000;
        Conn.SetIOHandler(std::move(tls));
        Conn.Host = host;
        Conn.Port = port;
        Conn.ReadTimeout = 5000;
    }

    static TTempDir* Dir;
    static TTlsTestPki* Pki;
    static TTlsCertFiles* Server;
    TNetTCPClient Conn;
    TNetIOHandlerTLS* Tls = nullptr;
};

TTempDir* TlsTransport::Dir = nullptr;
TTlsTestPki* TlsTransport::Pki = nullptr;
TTlsCertFiles* TlsTransport::Server = nullptr;

TEST_F(TlsTransport, ImplicitTlsCarriesLinesAndReplies) {
    TTlsTestServer server(TTlsTestServer::Implicit, Server->Cert, Server->Key);
    MakeClient(server.Port(), true);
    Conn.OpenConnection(2000);
    ASSERT_TRUE(Tls->Encrypted());
    EXPECT_EQ(Tls->ProtocolVersion().rfind("TLSv1.", 0), 0u) << Tls->ProtocolVersion();
    EXPECT_NE(Tls->ProtocolVersion(), "TLSv1.1");
    EXPECT_EQ(Tls->PeerIP(), "127.0.0.1");

    EXPECT_EQ(Conn.SendCommand("ECHO hello over TLS", 250), 250);
    ASSERT_EQ(Conn.LastReply.Text.size(), 1u);
    EXPECT_EQ(Conn.LastReply.Text[0], "hello over TLS");
    Conn.WriteLine("ECHO 8-bit \xE4\xF6 and spaces  ");
    EXPECT_EQ(Conn.ReadLine(), "250 8-bit \xE4\xF6 and spaces  ");

    // The server's close_notify ends the stream the way a TCP close does.
    EXPECT_EQ(Conn.SendCommand("QUIT", 221), 221);
    EXPECT_THROW(Conn.ReadLine(), ENetConnClosedGracefully);
    EXPECT_FALSE(Conn.IsConnected());
}

TEST_F(TlsTransport, CloseSendsCloseNotify) {
    TTlsTestServer server(TTlsTestServer::Implicit, Server->Cert, Server->Key);
    MakeClient(server.Port(), true, "localhost");
    Conn.OpenConnection(2000);
    EXPECT_EQ(Conn.SendCommand("ECHO x", 250), 250);
    Conn.CloseConnection();
    auto until = Clock::now() + std::chrono::seconds(3);
    while (server.CleanShutdowns() == 0 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server.CleanShutdowns(), 1) << "server saw no close_notify";
}

TEST_F(TlsTransport, MegabytesWrittenArriveIntact) {
    TTlsTestServer server(TTlsTestServer::Implicit, Server->Cert, Server->Key);
    MakeClient(server.Port(), true);
    Conn.OpenConnection(2000);
    std::string data(6 * 1024 * 1024 + 17, '\0');
    std::mt19937 rng(7);
    for (char& c : data)
        c = static_cast<char>(rng());
    char expected[64];
    std::snprintf(expected, sizeof expected, "250 %zu %016llx", data.size(),
                  static_cast<unsigned long long>(TlsTestHash(data.data(), data.size())));

    Conn.WriteLine("BULK " + std::to_string(data.size()));
    Conn.WriteBytes(data.data(), data.size());
    EXPECT_EQ(Conn.ReadLine(), expected);

    // The same through the write buffer, flushed in threshold pieces.
    Conn.WriteLine("BULK " + std::to_string(data.size()));
    Conn.StartWriteBuffering(100000);
    Conn.WriteBytes(data.data(), data.size());
    Conn.StopWriteBuffering();
    EXPECT_EQ(Conn.ReadLine(), expected);
}

TEST_F(TlsTransport, RecordsHeldInsideOpenSSLAreReadWithoutWaiting) {
    // 3000 records of 1000 characters: one socket read brings many records,
    // and the last of them come with nothing more on the socket. A reader
    // that only waits on the socket stops with Read Timeout.
    TTlsTestServer server(TTlsTestServer::Implicit, Server->Cert, Server->Key);
    MakeClient(server.Port(), true);
    Conn.ReadTimeout = 2000;
    Conn.OpenConnection(2000);
    Conn.WriteLine("LINES 3000 1000");
    for (int i = 0; i < 3000; ++i) {
        std::string line = Conn.ReadLine();
        ASSERT_EQ(line, "250-" + std::string(1000, static_cast<char>('a' + i % 26))) << i;
    }
    EXPECT_EQ(Conn.ReadLine(), "250 done");
    EXPECT_EQ(Conn.SendCommand("ECHO after", 250), 250);
}

TEST_F(TlsTransport, StartTlsUpgradesTheConnectionInPlace) {
    TTlsTestServer server(TTlsTestServer::StartTLS, Server->Cert, Server->Key);
    MakeClient(server.Port(), false, "localhost");
    Conn.OpenConnection(2000);
    EXPECT_FALSE(Tls->Encrypted());
    EXPECT_EQ(Conn.ReadReply({220}), 220);
    EXPECT_EQ(Conn.SendCommand("HELLO", 250), 250);
    EXPECT_EQ(Conn.LastReply.Text[0], "plain HELLO");
    EXPECT_EQ(Conn.SendCommand("STARTTLS", 220), 220);
    ASSERT_EQ(Conn.InputBufferSize(), 0u);
    Tls->StartTLS(Conn.Host);
    EXPECT_TRUE(Tls->Encrypted());
    EXPECT_EQ(Conn.SendCommand("ECHO now secret", 250), 250);
    EXPECT_EQ(Conn.LastReply.Text[0], "now secret");
    EXPECT_EQ(server.Handshakes(), 1);
    EXPECT_THROW(Tls->StartTLS(Conn.Host), ENetTLSError) << "TLS started twice";
}

TEST_F(TlsTransport, StartTlsOverAnAlreadyConnectedSocketTransport) {
    TTlsTestServer server(TTlsTestServer::StartTLS, Server->Cert, Server->Key);
    auto socket = std::make_unique<TNetIOHandlerSocket>();
    socket->Open();
    socket->ConnectClient("127.0.0.1", server.Port(), "", 0, 0, 0, 2000);
    auto owned = std::make_unique<TNetIOHandlerTLS>(std::move(socket));
    TNetIOHandlerTLS& tls = *owned;
    tls.CAFile = Pki->CAFile;
    TNetTCPConnection conn;
    conn.ReadTimeout = 5000;
    conn.SetIOHandler(std::move(owned));
    EXPECT_EQ(conn.ReadReply({220}), 220);
    EXPECT_EQ(conn.SendCommand("STARTTLS", 220), 220);
    tls.StartTLS("127.0.0.1");
    EXPECT_EQ(conn.SendCommand("ECHO wrapped", 250), 250);
    conn.CloseConnection();
    EXPECT_FALSE(tls.Connected());
}

TEST_F(TlsTransport, HandshakeFailuresNameTheHostAndCloseTheConnection) {
    struct {
        TTlsTestServer::TMode Mode;
        const char* Expected; // prefix of the message
        const char* Why;
    } cases[] = {
        {TTlsTestServer::Hangup,
         "TLS handshake with 127.0.0.1 failed: the server closed the connection.", ""},
        {TTlsTestServer::StartTLS,
         "TLS handshake with 127.0.0.1 failed: ", "a plain greeting where a TLS record belongs"},
    };
    for (const auto& c : cases) {
        TTlsTestServer server(c.Mode, Server->Cert, Server->Key);
        TNetTCPClient conn;
        auto tls = std::make_unique<TNetIOHandlerTLS>();
        tls->ImplicitTLS = true;
        tls->CAFile = Pki->CAFile;
        tls->HandshakeTimeout = 3000;
        conn.SetIOHandler(std::move(tls));
        conn.Host = "127.0.0.1";
        conn.Port = server.Port();
        try {
            conn.OpenConnection(2000);
            ADD_FAILURE() << "handshake succeeded: " << c.Why;
        } catch (const ENetTLSError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.Expected, 0), 0u) << e.what() << " " << c.Why;
            EXPECT_EQ(std::string(e.what()).find("timed out"), std::string::npos) << c.Why;
        }
        EXPECT_FALSE(conn.IsConnected()) << c.Why;
    }
}

// Counts the ticks of a 20 ms timer of the GUI thread: they only come
// while something dispatches its events.
class TickCounter {
public:
    TickCounter() {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { ++Ticks; });
        FTimer.start();
    }
    int Ticks = 0;

private:
    QTimer FTimer;
};

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "tls_transport_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

TEST_F(TlsTransport, SilentHandshakeKeepsTheWindowServicedAndTimesOut) {
    EnsureApplication();
    TNetAntiFreeze antiFreeze;
    TickCounter ticks;
    TTlsTestServer server(TTlsTestServer::Silent, Server->Cert, Server->Key);
    MakeClient(server.Port(), true);
    Tls->HandshakeTimeout = 1200;
    auto start = Clock::now();
    try {
        Conn.OpenConnection(2000);
        ADD_FAILURE() << "handshake with a silent server succeeded";
    } catch (const ENetTLSError& e) {
        EXPECT_STREQ(e.what(), "TLS handshake with 127.0.0.1 timed out.");
    }
    const long long ms = MsSince(start);
    EXPECT_GE(ms, 1100) << "the whole limit is waited";
    EXPECT_LT(ms, 7000) << "the limit ends the wait";
    // More than the one dispatch after the last slice: the window was
    // serviced while the handshake waited. How long it went without is a
    // figure of the machine's load, not asserted here.
    EXPECT_GE(ticks.Ticks, 2) << "window not serviced";
    EXPECT_FALSE(Conn.IsConnected());
}

TEST_F(TlsTransport, CloseFromTheWindowDuringTheHandshakeEndsIt) {
    // A cancel button closes the transport from an event handler while the
    // handshake waits in the anti-freeze.
    EnsureApplication();
    TNetAntiFreeze antiFreeze;
    TTlsTestServer server(TTlsTestServer::Silent, Server->Cert, Server->Key);
    MakeClient(server.Port(), true);
    Clock::time_point closed;
    QTimer::singleShot(300, [this, &closed] {
        closed = Clock::now();
        Tls->Close();
    });
    EXPECT_THROW(Conn.OpenConnection(2000), ENetConnClosedGracefully);
    EXPECT_LT(MsSince(closed), 1000) << "the close ends the wait at once";
    EXPECT_FALSE(Tls->Encrypted());
    EXPECT_FALSE(Conn.IsConnected());
}

} // namespace
