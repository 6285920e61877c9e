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

// A quit signal stops the waits for the viewer at once, but within a
// Deferral (nested or not) only once a wait has lasted the grace time.
TEST(LwQuitOnSignals, ADeferralHoldsTheWaitsForTheGraceTime)
{
    LwQuitOnSignals quitter;
    const std::int64_t grace = LwQuitOnSignals::kDeferralGraceMs;
    EXPECT_FALSE(LwQuitOnSignals::StopsWaits(grace));
    std::raise(SIGTERM);
    EXPECT_TRUE(LwQuitOnSignals::StopsWaits(0));
    {
        const LwQuitOnSignals::Deferral outer;
        {
            const LwQuitOnSignals::Deferral inner;
            EXPECT_FALSE(LwQuitOnSignals::StopsWaits(0));
        }
        EXPECT_FALSE(LwQuitOnSignals::StopsWaits(grace - 1));
        EXPECT_TRUE(LwQuitOnSignals::StopsWaits(grace));
    }
    EXPECT_TRUE(LwQuitOnSignals::StopsWaits(0));
}

TEST(LwQuitOnSignals, OnlyOneInstallationAtATime)
{
    LwQuitOnSignals first;
    EXPECT_THROW(LwQuitOnSignals second, LwError);
}

}  // namespace
