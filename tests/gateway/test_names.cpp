// The gateway's 8-character file names: their form, and that they stay distinct and in issue
// order however fast they are asked for, across midnight, a clock set back and a restart.
#include "gateway/NameSequence.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using gateway::NameSequence;

namespace {

const QDate kTuesday(2026, 1, 6);

QDateTime at(const QDate& d, int h, int m, int s = 0, int ms = 0) { return QDateTime(d, QTime(h, m, s, ms)); }

} // namespace

TEST(NameSequence, NamesHaveTheWeekdayAndTenthsForm)
{
    EXPECT_EQ(NameSequence::NameAt(NameSequence::PositionOf(at(kTuesday, 10, 0))), "#3360000");
    EXPECT_EQ(NameSequence::NameAt(NameSequence::PositionOf(at(kTuesday, 0, 0, 1, 500))), "#3150000");
    EXPECT_EQ(NameSequence::NameAt(NameSequence::PositionOf(at(QDate(2026, 1, 4), 0, 0))), "#1000000");
    EXPECT_EQ(NameSequence::NameAt(NameSequence::PositionOf(at(QDate(2026, 1, 10), 23, 59, 59, 900))), "#7863999");
}

TEST(NameSequence, FollowsTheClockAndNeverGoesBack)
{
    NameSequence names;
    EXPECT_EQ(names.next(at(kTuesday, 10, 0)), "#3360000");
    // Asked again within the same tenth: the next tenth, without waiting.
    EXPECT_EQ(names.next(at(kTuesday, 10, 0)), "#3360001");
    // The clock set back an hour: the names go on from where they were.
    EXPECT_EQ(names.next(at(kTuesday, 9, 0)), "#3360002");
    // The clock ahead of the names again: the clock's name.
    EXPECT_EQ(names.next(at(kTuesday, 11, 0)), "#3396000");
}

TEST(NameSequence, QuickNamesFromEarlyMorningAreAllDistinct)
{
    // Early in the day the 8-character cut makes 1, 10, 100 ... tenths read alike; the names
    // run far ahead of a clock that stands still.
    NameSequence names;
    QSet<QString> seen;
    qint64 last = -1;
    const QDateTime now = at(kTuesday, 0, 0, 0, 100);
    for (int i = 0; i < 250000; ++i) {
        const QString n = names.next(now);
        ASSERT_FALSE(seen.contains(n)) << n.toStdString() << " at " << i;
        seen.insert(n);
        ASSERT_GT(names.last(), last);
        last = names.last();
    }
}

TEST(NameSequence, NamesRunningPastMidnightTakeTheNextDay)
{
    NameSequence names;
    const QDateTime late = at(QDate(2026, 1, 10), 23, 59, 59, 800);   // a Saturday
    EXPECT_EQ(names.next(late), "#7863998");
    EXPECT_EQ(names.next(late), "#7863999");
    EXPECT_EQ(names.next(late), "#1000000");
    EXPECT_EQ(names.next(late), "#1100000");
    // The real midnight comes: the clock is behind the names, which go on.
    EXPECT_EQ(names.next(at(QDate(2026, 1, 11), 0, 0)), "#1200000");
}

TEST(NameSequence, ARestartGoesOnAfterEveryNameGivenBefore)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(".names");
    qint64 before = 0;
    {
        NameSequence first(state);
        for (int i = 0; i < 1500; ++i)
            first.next(at(kTuesday, 10, 0));
        before = first.last();
    }
    // The clock was set back meanwhile; the new process still starts after the old one.
    NameSequence second(state);
    second.next(at(kTuesday, 9, 0));
    EXPECT_GT(second.last(), before);
    EXPECT_LE(second.last(), before + 600);

    // A damaged record is no reason to stop: the clock is followed.
    QFile f(state);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("garbage");
    f.close();
    NameSequence third(state);
    EXPECT_EQ(third.next(at(kTuesday, 10, 0)), "#3360000");
}
