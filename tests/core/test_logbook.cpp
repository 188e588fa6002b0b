// Logbook rotation at its thresholds, line format, and monitor trimming.
#include "config/RunningConfig.h"
#include "core/basLogBook.h"
#include "platform/Clock.h"
#include "platform/TextFile.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using basLogBook::Logbook;
using platform::ReadTextFile;
using platform::WriteTextFile;

namespace {
struct LogbookFixture : ::testing::Test {
    QTemporaryDir dir;
    QString stem = dir.filePath(QStringLiteral("Log"));
    platform::ScopedTestClock clock{QDateTime(QDate(2026, 3, 4), QTime(14, 5, 6))};

    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        config::Running() = config::RunningConfig();
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
    QString file(const char* ending) { return stem + QLatin1String(ending); }
    void fill(const char* ending, qint64 bytes, char c = 'x')
    {
        ASSERT_TRUE(WriteTextFile(file(ending), QString(bytes, QLatin1Char(c))));
    }
};
} // namespace

TEST_F(LogbookFixture, LineIsTimeStampedAndMultiLineTextKeepsItsBreaks)
{
    Logbook(stem, QStringLiteral("first"));
    Logbook(stem, QStringLiteral("~~~\r\n********** STARTUP"));
    const QStringList lines = platform::SplitLines(ReadTextFile(file("Book.txt")));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(": first")));
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("04/03/2026 14:05:06"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(": ~~~")));
    EXPECT_EQ(lines[2], QStringLiteral("********** STARTUP"));
    EXPECT_TRUE(ReadTextFile(file("Book.txt")).endsWith(QStringLiteral("STARTUP\r\n")));
}

TEST_F(LogbookFixture, RotatesOnlyAboveTheThreshold)
{
    fill("Book.txt", 31000);
    Logbook(stem, QStringLiteral("a"));
    EXPECT_FALSE(QFile::exists(file("Bak1.txt")));
    EXPECT_GT(QFile(file("Book.txt")).size(), 31000);

    Logbook(stem, QStringLiteral("b")); // now over 31000: rotate first
    EXPECT_TRUE(QFile::exists(file("Bak1.txt")));
    EXPECT_FALSE(QFile::exists(file("Bak2.txt")));
    const QStringList lines = platform::SplitLines(ReadTextFile(file("Book.txt")));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(": b")));
}

TEST_F(LogbookFixture, RotationShiftsBackupsAndDropsTheOldest)
{
    fill("Book.txt", 31001, 'n');
    fill("Bak1.txt", 10, '1');
    fill("Bak2.txt", 10, '2');
    fill("Bak3.txt", 10, '3');
    Logbook(stem, QStringLiteral("line"));
    EXPECT_EQ(ReadTextFile(file("Bak3.txt")), QString(10, QLatin1Char('2')));
    EXPECT_EQ(ReadTextFile(file("Bak2.txt")), QString(10, QLatin1Char('1')));
    EXPECT_EQ(ReadTextFile(file("Bak1.txt")), QString(31001, QLatin1Char('n')));
}

TEST_F(LogbookFixture, LogExtraRaisesTheThreshold)
{
    config::Running().LogExtra = true;
    fill("Book.txt", 150000);
    Logbook(stem, QStringLiteral("a"));
    EXPECT_FALSE(QFile::exists(file("Bak1.txt")));
    fill("Book.txt", 200001);
    Logbook(stem, QStringLiteral("a"));
    EXPECT_TRUE(QFile::exists(file("Bak1.txt")));
}

TEST_F(LogbookFixture, UnwritableLogbookLosesTheLineQuietly)
{
    const QString missingStem = dir.filePath(QStringLiteral("no/such/folder/Log"));
    Logbook(missingStem, QStringLiteral("lost")); // must not throw or crash
    EXPECT_FALSE(QFile::exists(missingStem + QStringLiteral("Book.txt")));
}

TEST(Monitor, TrimsTo65NewestWhenThe121stArrives)
{
    QListWidget list;
    for (int i = 1; i <= 120; ++i)
        basLogBook::MonitorInsert(list, QString::number(i));
    EXPECT_EQ(list.count(), 120);
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("120"));
    basLogBook::MonitorInsert(list, QStringLiteral("121"));
    ASSERT_EQ(list.count(), 65);
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("121"));
    EXPECT_EQ(list.item(64)->text(), QStringLiteral("57"));
}
