// The movable clock and the cooperative wait built on it; every wait here runs instantly.
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>

using platform::ScopedTestClock;
using platform::WaitSeconds;

namespace {
QDateTime at(int h, int m, int s, int ms = 0) { return QDateTime(QDate(2026, 1, 5), QTime(h, m, s, ms)); }
} // namespace

TEST(Clock, TestClockIsTheClockInForceAndMovesOnlyWhenTold)
{
    {
        ScopedTestClock clock(at(9, 30, 0));
        EXPECT_EQ(platform::Now(), at(9, 30, 0));
        clock->advance(1500);
        EXPECT_EQ(platform::Now(), at(9, 30, 1, 500));
        platform::clock().sleepMs(50);
        EXPECT_EQ(platform::Now(), at(9, 30, 1, 550));
    }
    // Back on the system clock once the test clock is gone.
    EXPECT_LT(std::abs(platform::Now().secsTo(QDateTime::currentDateTime())), 5);
}

TEST(WaitSeconds, EndsAtTheFirstWholeSecondAtOrAfterTheTarget)
{
    struct Case { QDateTime start; float seconds; QDateTime end; };
    const Case cases[] = {
        {at(9, 30, 0, 700), 0.2f, at(9, 30, 1)},
        {at(9, 30, 0, 700), 1.0f, at(9, 30, 1)},
        {at(9, 30, 0, 0), 1.0f, at(9, 30, 1)},
        {at(9, 30, 0, 0), 0.2f, at(9, 30, 1)},
        {at(9, 30, 0, 700), 1.5f, at(9, 30, 2)},
        {at(9, 30, 0, 700), 2.0f, at(9, 30, 2)},
        {at(23, 59, 59, 900), 1.0f, QDateTime(QDate(2026, 1, 6), QTime(0, 0, 0))},
    };
    for (const Case& c : cases) {
        ScopedTestClock clock(c.start);
        WaitSeconds(c.seconds);
        EXPECT_EQ(platform::Now(), c.end) << c.start.toString(Qt::ISODateWithMs).toStdString()
                                          << " + " << c.seconds;
    }
}

TEST(WaitSeconds, ZeroOrNegativeReturnsAtOnce)
{
    ScopedTestClock clock(at(9, 30, 0, 700));
    WaitSeconds(0);
    WaitSeconds(-3);
    WaitSeconds(std::nanf(""));
    EXPECT_EQ(platform::Now(), at(9, 30, 0, 700));
}

TEST(WaitSeconds, KeepsEventsOfThisThreadRunning)
{
    ScopedTestClock clock(at(9, 30, 0, 0));
    int ticks = 0;
    QTimer::singleShot(0, [&] { ++ticks; });
    WaitSeconds(1);
    EXPECT_EQ(ticks, 1);
}
