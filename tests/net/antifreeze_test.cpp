// The anti-freeze: while the GUI thread waits for a silent server or a
// connect that gets no answer, a Qt timer on that thread keeps firing at
// least every 250 ms; without the anti-freeze (or inactive) it does not
// fire at all; other threads never dispatch events.
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

using Clock = std::chrono::steady_clock;

struct TickCounter {
    QTimer Timer;
    std::vector<Clock::time_point> Ticks;
    TickCounter() {
        Timer.setInterval(20);
        QObject::connect(&Timer, &QTimer::timeout, [this] { Ticks.push_back(Clock::now()); });
        Timer.start();
    }
    // The longest time without a tick from start to end, in ms.
    long long LongestGap(Clock::time_point start, Clock::time_point end) const {
        long long gap = 0;
        Clock::time_point last = start;
        for (auto t : Ticks) {
            gap = std::max<long long>(
                gap, std::chrono::duration_cast<std::chrono::milliseconds>(t - last).count());
            last = t;
        }
        return std::max<long long>(
            gap, std::chrono::duration_cast<std::chrono::milliseconds>(end - last).count());
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

// Reads the greeting that a server sends after delay ms.
long long AwaitGreeting(int delay, TickCounter& ticks, int16_t& code) {
    TSmtpFakeServer server({Quiet(delay), Srv("220 late")});
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = server.Port();
    c.OpenConnection(2000);
    auto start = Clock::now();
    ticks.Ticks.clear();
    code = c.ReadReply({220});
    auto end = Clock::now();
    c.CloseConnection();
    return ticks.LongestGap(start, end);
}

TEST_F(AntiFreeze, TimerKeepsFiringWhileAReplyIsAwaited) {
    TNetAntiFreeze af;
    TickCounter ticks;
    int16_t code = 0;
    long long gap = AwaitGreeting(1200, ticks, code);
    EXPECT_EQ(code, 220);
    EXPECT_LE(gap, 250 + 100) << "window not serviced";
    EXPECT_GE(ticks.Ticks.size(), 4u);

    af.ApplicationHasPriority = false; // still serviced
    ticks.Ticks.clear();
    gap = AwaitGreeting(600, ticks, code);
    EXPECT_LE(gap, 250 + 100);
}

TEST_F(AntiFreeze, NoDispatchWithoutAnActiveInstance) {
    TickCounter ticks;
    int16_t code = 0;
    AwaitGreeting(400, ticks, code);
    EXPECT_TRUE(ticks.Ticks.empty()) << "events dispatched without an anti-freeze";

    TNetAntiFreeze af;
    af.Active = false;
    AwaitGreeting(400, ticks, code);
    EXPECT_TRUE(ticks.Ticks.empty()) << "an inactive anti-freeze dispatched events";
}

TEST_F(AntiFreeze, SliceFollowsIdleTimeOut) {
    TNetAntiFreeze af;
    af.IdleTimeOut = 100;
    TickCounter ticks;
    int16_t code = 0;
    long long gap = AwaitGreeting(800, ticks, code);
    EXPECT_LE(gap, 100 + 100);
}

TEST_F(AntiFreeze, TimerKeepsFiringDuringAConnect) {
    SilentListener silent; // answers no further connects
    TNetAntiFreeze af;
    TickCounter ticks;
    TNetTCPClient c;
    c.Host = "127.0.0.1";
    c.Port = silent.Port;
    auto start = Clock::now();
    EXPECT_THROW(c.OpenConnection(700), ENetConnectTimeout);
    auto end = Clock::now();
    EXPECT_LE(ticks.LongestGap(start, end), 125 + 100);
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
    EXPECT_TRUE(ticks.Ticks.empty());
    EXPECT_TRUE(TNetAntiFreezeBase::ShouldUse());
    TNetAntiFreezeBase::DoProcess(true);
    EXPECT_FALSE(ticks.Ticks.empty());
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
