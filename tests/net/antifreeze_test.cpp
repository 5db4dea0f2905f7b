// The anti-freeze: while the GUI thread waits for a silent server or a
// connect that gets no answer, a Qt timer on that thread keeps firing, in
// as many slices as IdleTimeOut makes; without the anti-freeze (or
// inactive) it does not fire at all; other threads never dispatch events.
// How long the window goes unserviced is bench/gui_responsiveness's figure.
#include "net/NetAntiFreeze.h"
#include "net/NetDeliveryException.h"
#include "net/NetTCPConnection.h"
#include "tests/support/net_LoopbackListeners.h"
#include "tests/support/smtp_FakeServer.h"

#include <QCoreApplication>
#include <QTimer>
#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Counts the ticks of a 20 ms timer of the GUI thread.
struct TickCounter {
    QTimer Timer;
    int Ticks = 0;
    TickCounter() {
        Timer.setInterval(20);
        QObject::connect(&Timer, &QTimer::timeout, [this] { ++Ticks; });
        Timer.start();
    }
};

// Counts the slices after which the anti-freeze got its chance.
struct CountingAntiFreeze : TNetAntiFreeze {
    int Calls = 0;
    void Process() override {
        ++Calls;
        TNetAntiFreeze::Process();
    }
};

class AntiFreeze : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "antifreeze_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
};

// Reads the greeting that a server sends after delay ms; the ticks counted
// while the reply was awaited.
int AwaitGreeting(int delay, TickCounter& ticks, int16_t& code) {
    TSmtpFakeServer server({Quiet(delay), Srv("220 late")});
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = server.Port();
    c.OpenConnection(2000);
    ticks.Ticks = 0;
    code = c.ReadReply({220});
    const int during = ticks.Ticks;
    c.CloseConnection();
    return during;
}

TEST_F(AntiFreeze, TimerKeepsFiringWhileAReplyIsAwaited) {
    TNetAntiFreeze af;
    TickCounter ticks;
    int16_t code = 0;
    // Five slices of 250 ms: more than the one dispatch after the last.
    EXPECT_GE(AwaitGreeting(1200, ticks, code), 2) << "window not serviced";
    EXPECT_EQ(code, 220);

    af.ApplicationHasPriority = false; // still serviced
    EXPECT_GE(AwaitGreeting(600, ticks, code), 1);
    EXPECT_EQ(code, 220);
}

TEST_F(AntiFreeze, NoDispatchWithoutAnActiveInstance) {
    TickCounter ticks;
    int16_t code = 0;
    EXPECT_EQ(AwaitGreeting(400, ticks, code), 0) << "events dispatched without an anti-freeze";

    TNetAntiFreeze af;
    af.Active = false;
    EXPECT_EQ(AwaitGreeting(400, ticks, code), 0) << "an inactive anti-freeze dispatched events";
}

TEST_F(AntiFreeze, SliceFollowsIdleTimeOut) {
    // 800 ms of silence make 80 slices of 10 ms (3 of the default 250 ms);
    // a fifth of them is plenty for a busy machine.
    CountingAntiFreeze af;
    af.IdleTimeOut = 10;
    TickCounter ticks;
    int16_t code = 0;
    AwaitGreeting(800, ticks, code);
    EXPECT_GE(af.Calls, 16);
}

TEST_F(AntiFreeze, TimerKeepsFiringDuringAConnect) {
    SilentListener silent; // answers no further connects
    TNetAntiFreeze af;
    TickCounter ticks;
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = silent.Port;
    EXPECT_THROW(c.OpenConnection(700), ENetConnectTimeout);
    EXPECT_GE(ticks.Ticks, 2) << "window not serviced";
}

TEST_F(AntiFreeze, DefaultConnectRunsInSlicesWhenInUse) {
    // Without an explicit time-out, a connect on the GUI thread with the
    // anti-freeze goes through the sliced wait: its failure is reported as
    // a connect failure, not as the plain socket error of a direct connect.
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    ::close(s);
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = ntohs(sa.sin_port);
    {
        TNetAntiFreeze af;
        EXPECT_THROW(c.OpenConnection(TimeoutDefault), ENetConnectException);
    }
    try {
        c.OpenConnection(TimeoutDefault);
        FAIL();
    } catch (const ENetConnectException&) {
        FAIL() << "sliced without an anti-freeze";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.Code, 10061);
    }
}

TEST_F(AntiFreeze, OnlyTheGuiThreadDispatches) {
    TNetAntiFreeze af;
    TickCounter ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    bool used = true;
    std::thread other([&] {
        used = TNetAntiFreezeBase::ShouldUse();
        TNetAntiFreezeBase::DoProcess(true, true);
    });
    other.join();
    EXPECT_FALSE(used);
    EXPECT_EQ(ticks.Ticks, 0);
    EXPECT_TRUE(TNetAntiFreezeBase::ShouldUse());
    TNetAntiFreezeBase::DoProcess(true);
    EXPECT_GT(ticks.Ticks, 0);
}

TEST_F(AntiFreeze, OneInstanceInstalled) {
    EXPECT_EQ(TNetAntiFreezeBase::Instance(), nullptr);
    {
        TNetAntiFreeze first;
        {
            TNetAntiFreeze second;
            EXPECT_EQ(TNetAntiFreezeBase::Instance(), &first);
        }
        EXPECT_EQ(TNetAntiFreezeBase::Instance(), &first) << "the second removed the first";
    }
    EXPECT_EQ(TNetAntiFreezeBase::Instance(), nullptr);
}

} // namespace
