// Termination signals through a self-pipe: the handler only writes a byte;
// the GUI thread sees it through a socket notifier and quits the loop.
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int Pipe[2] = {-1, -1};

// Signal context: async-signal-safe calls only.
void OnSignal(int) {
    char byte = 1;
    ssize_t ignored = ::write(Pipe[1], &byte, 1);
    (void)ignored;
}

} // namespace

void QuitOnTerminationSignals(std::function<void()> onSignal) {
    if (Pipe[0] >= 0 || ::pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(Pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal] {
        char buf[16];
        while (::read(Pipe[0], buf, sizeof buf) > 0) {
        }
        if (onSignal)
            onSignal();
        QCoreApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}
