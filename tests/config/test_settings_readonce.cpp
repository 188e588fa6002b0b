// A settings load reads the file once, not once per key, and still answers by the rules of a
// single read; FollowLinks comes from the Email section.
#include "config/INISettings.h"
#include "config/basINIWorks.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::WriteTextFile;

namespace {

struct ReadOnceFixture : ::testing::Test {
    QTemporaryDir dir;
    QString ini = dir.path() + QStringLiteral("/Tarnwick.ini");
    void SetUp() override
    {
        config::Running() = config::RunningConfig();
        config::Running().INIPath = ini;
    }
    void TearDown() override { config::Running() = config::RunningConfig(); }
};

} // namespace

TEST_F(ReadOnceFixture, OneReadingServesEveryKeyUntilAWrite)
{
    ASSERT_TRUE(WriteTextFile(ini, QStringLiteral("[Email]\r\nA=1\r\nB=2\r\n")));
    {
        const basINIWorks::ReadOnce once;
        EXPECT_EQ(basINIWorks::INIRead(QStringLiteral("Email"), QStringLiteral("A"), QString()), QStringLiteral("1"));
        // Changed behind the reader's back: the load goes on with what it read.
        ASSERT_TRUE(WriteTextFile(ini, QStringLiteral("[Email]\r\nA=9\r\nB=8\r\n")));
        EXPECT_EQ(basINIWorks::INIRead(QStringLiteral("Email"), QStringLiteral("B"), QString()), QStringLiteral("2"));
        // Its own write is seen by the reads after it.
        ASSERT_TRUE(basINIWorks::INIWrite(QStringLiteral("Email"), QStringLiteral("C"), QStringLiteral("3")));
        EXPECT_EQ(basINIWorks::INIRead(QStringLiteral("Email"), QStringLiteral("B"), QString()), QStringLiteral("8"));
        EXPECT_EQ(basINIWorks::INIRead(QStringLiteral("email"), QStringLiteral("c"), QString()), QStringLiteral("3"));
    }
    ASSERT_TRUE(WriteTextFile(ini, QStringLiteral("[Email]\r\nA=7\r\n")));
    EXPECT_EQ(basINIWorks::INIRead(QStringLiteral("Email"), QStringLiteral("A"), QString()), QStringLiteral("7"));
}

TEST_F(ReadOnceFixture, OneReadingKeepsTheRulesOfSingleReads)
{
    ASSERT_TRUE(WriteTextFile(ini, QStringLiteral("Loose=0\r\n[Email]\r\nKey = \"first\" \r\n; Gone=1\r\n[WWW]\r\nKey=www\r\n"
                                                  "[EMAIL]\r\nkey=second\r\nOther='q'\r\n")));
    const platform::IniSnapshot snap(ini);
    EXPECT_TRUE(snap.read());
    EXPECT_EQ(snap.value(QStringLiteral("Email"), QStringLiteral("KEY"), QString()), QStringLiteral("first"));
    EXPECT_EQ(snap.value(QStringLiteral("email"), QStringLiteral("Other"), QString()), QStringLiteral("q"));
    EXPECT_EQ(snap.value(QStringLiteral("Email"), QStringLiteral("Gone"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(snap.value(QStringLiteral("Email"), QStringLiteral("Loose"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(snap.value(QStringLiteral("WWW"), QStringLiteral("key"), QString()), QStringLiteral("www"));
    const platform::IniSnapshot missing(dir.path() + QStringLiteral("/none.ini"));
    EXPECT_FALSE(missing.read());
    EXPECT_EQ(missing.value(QStringLiteral("Email"), QStringLiteral("Key"), QStringLiteral("d")), QStringLiteral("d"));
}

TEST_F(ReadOnceFixture, FollowLinksAndSkipSeenAreOffUnlessTheEmailSectionSaysTrue)
{
    config::GatewaySettings gw;
    ASSERT_TRUE(WriteTextFile(ini, QStringLiteral("[Global]\r\nUnattended=True\r\n")));
    config::INISettings(dir.path(), gw);
    EXPECT_FALSE(config::Running().FollowLinks);
    EXPECT_FALSE(config::Running().SkipSeen);
    ASSERT_TRUE(WriteTextFile(ini, QStringLiteral("[Global]\r\nUnattended=True\r\n[Email]\r\nFollowLinks=True\r\nSkipSeen=Yes\r\n")));
    config::INISettings(dir.path(), gw);
    EXPECT_TRUE(config::Running().FollowLinks);
    EXPECT_TRUE(config::Running().SkipSeen);
}
