// Each of the three signals ends a running event loop through quit(), on the
// GUI thread, instead of ending the process.
#include "core/LwError.h"
#include "fgraph/LwQuitOnSignals.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(LwQuitOnSignals, EachSignalQuitsTheEventLoop)
{
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        LwQuitOnSignals quitter;
        EXPECT_FALSE(LwQuitOnSignals::IsQuitRequested());
        bool timedOut = false;
        QTimer::singleShot(0, [signo] { std::raise(signo); });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QCoreApplication::quit();
        });
        guard.start(10000);
        QCoreApplication::exec();
        EXPECT_FALSE(timedOut);
        EXPECT_TRUE(LwQuitOnSignals::IsQuitRequested());
        EXPECT_EQ(LwQuitOnSignals::LastSignal(), signo);
    }
    // Gone with its object: the flag too.
    EXPECT_FALSE(LwQuitOnSignals::IsQuitRequested());
}

TEST(LwQuitOnSignals, OnlyOneInstallationAtATime)
{
    LwQuitOnSignals first;
    EXPECT_THROW(LwQuitOnSignals second, LwError);
}

}  // namespace
