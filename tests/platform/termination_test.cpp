// A termination signal ends the event loop normally instead of killing the
// process, so owners release what they hold (a recording is completed).
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

TEST(TerminationSignals, SigtermEndsTheEventLoopInOrder) {
    int argc = 1;
    char name[] = "termination_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QuitOnTerminationSignals();
    bool cleanedUp = false;
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] { cleanedUp = true; });
    QTimer::singleShot(50, [] { ::raise(SIGTERM); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(2); }); // never reached when it works
    EXPECT_EQ(app.exec(), 0);
    EXPECT_TRUE(cleanedUp);
}
