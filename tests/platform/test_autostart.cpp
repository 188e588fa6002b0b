// Desktop start entries: one per instance folder, and Exec lines that survive any folder name.
#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct AutostartFixture : ::testing::Test {
    QTemporaryDir dir;
    QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    void SetUp() override { qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit()); }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", saved); }
};

} // namespace

TEST(DesktopExec, ArgumentsAreQuotedOnlyWhereNeeded)
{
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("/usr/bin/tarnwick")), QStringLiteral("/usr/bin/tarnwick"));
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("/home/a b")), QStringLiteral("\"/home/a b\""));
    // Inside quotes " ` $ \ take a backslash, which the string escape then doubles; % doubles.
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("a\"$b")), QStringLiteral("\"a\\\\\"\\\\$b\""));
    EXPECT_EQ(platform::DesktopExecArgument(QStringLiteral("100%")), QStringLiteral("\"100%%\""));
    EXPECT_EQ(platform::DesktopExecArgument(QString()), QStringLiteral("\"\""));
}

TEST_F(AutostartFixture, OneEntryPerFolderWrittenAndRemoved)
{
    const QString a = dir.filePath(QStringLiteral("robot one"));
    const QString b = dir.filePath(QStringLiteral("robot-two"));
    EXPECT_NE(platform::AutostartPath(a), platform::AutostartPath(b));
    EXPECT_EQ(platform::AutostartPath(a), platform::AutostartPath(a + QStringLiteral("/")));
    EXPECT_TRUE(platform::AutostartPath(a).startsWith(dir.filePath(QStringLiteral("config/autostart/tarnwick-"))));

    EXPECT_FALSE(platform::AutostartEnabled(a));
    ASSERT_TRUE(platform::SetAutostart(a, true, QStringLiteral("/opt/tw bin/tarnwick")));
    ASSERT_TRUE(platform::SetAutostart(b, true, QStringLiteral("/usr/bin/tarnwick")));
    EXPECT_TRUE(platform::AutostartEnabled(a));
    EXPECT_TRUE(platform::AutostartEnabled(b));

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        QProcess p;
        p.start(validator, {platform::AutostartPath(a)});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().trimmed().isEmpty());
    }

    ASSERT_TRUE(platform::SetAutostart(a, false, QString()));
    EXPECT_FALSE(platform::AutostartEnabled(a));
    EXPECT_FALSE(QFile::exists(platform::AutostartPath(a)));
    EXPECT_TRUE(platform::AutostartEnabled(b));
    EXPECT_TRUE(platform::SetAutostart(a, false, QString())); // already off
}
