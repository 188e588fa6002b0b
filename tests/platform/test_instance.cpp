// Instance folder resolution, the single-instance lock, and the headless message service.
#include "platform/Instance.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(InstanceFolder, OptionThenEnvironmentThenDefault)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("TARNWICK_HOME");
    qputenv("TARNWICK_HOME", dir.filePath(QStringLiteral("env")).toLocal8Bit());
    EXPECT_EQ(ResolveHome(dir.filePath(QStringLiteral("opt"))), dir.filePath(QStringLiteral("opt/")));
    EXPECT_EQ(ResolveHome(QString()), dir.filePath(QStringLiteral("env/")));
    qunsetenv("TARNWICK_HOME");
    EXPECT_EQ(ResolveHome(QString()), QDir::homePath() + QStringLiteral("/.local/share/Tarnwick/"));
    if (!saved.isEmpty())
        qputenv("TARNWICK_HOME", saved);
}

TEST(InstanceLock, OneHolderPerFolderAndReleasedOnUnlock)
{
    QTemporaryDir dir;
    InstanceLock first(dir.path());
    InstanceLock second(dir.path());
    ASSERT_TRUE(first.tryLock());
    // Another process holds it: simulate with a child that tries the same lock file.
    EXPECT_TRUE(first.isLocked());
    first.unlock();
    EXPECT_TRUE(second.tryLock());
    EXPECT_FALSE(first.tryLock());
    EXPECT_TRUE(first.heldByOther());
}

TEST(InstanceLock, StaleLockOfDeadProcessIsTakenOver)
{
    QTemporaryDir dir;
    // A crashed robot leaves its lock file behind with an id that runs nothing now.
    const QString content = QStringLiteral("4194000\ntarnwick\n%1\n").arg(QSysInfo::machineHostName());
    ASSERT_TRUE(WriteTextFile(QDir(dir.path()).filePath(InstanceLock::fileName()), content));
    InstanceLock lock(dir.path());
    EXPECT_TRUE(lock.tryLock());
}

TEST(HeadlessMessages, SafeAnswersAndLogsQuestionWithAnswer)
{
    QStringList log;
    HeadlessMessages headless([&log](const QString& t) { log << t; });
    setMessages(&headless);
    EXPECT_EQ(MsgBox(QStringLiteral("Delete Mail off server?"), MsgButtons::YesNo, MsgIcon::Question), MsgAnswer::No);
    EXPECT_EQ(MsgBox(QStringLiteral("line 1\r\nline 2")), MsgAnswer::OK);
    setMessages(nullptr);
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log[0], QStringLiteral("QUESTION: Delete Mail off server? ANSWER (no display): No"));
    EXPECT_EQ(log[1], QStringLiteral("MESSAGE: line 1 / line 2"));
}
