// The robot program sending mapped files to a server that stalls on cue: killed with SIGKILL in
// the middle of a message and just after the server stored one, stopped with SIGTERM, and left
// waiting on a server that stops reading for longer than a send may block. Afterwards every file
// has arrived whole (decoded by Python's email package and compared byte for byte), and nothing
// is left in the robot's outgoing folders.
#include "e2e/RobotProcess.h"
#include "e2e/SmtpSink.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

using tw::test::readFile;
using tw::test::writeFile;

namespace {

// The server stops this far into a message's content, so only the large ones stall.
constexpr int kStallAfter = 256 * 1024;

// A file large enough that, encoded, the robot still has part of it to write when the server
// stops reading: more than the robot's own send buffer (4 MB) and the kernel's largest send
// buffer, with room to spare. Its final "." can then not be on its way when the robot dies.
qsizetype largeFile()
{
    qsizetype kernel = 4 << 20;
    const QList<QByteArray> wmem = readFile(QStringLiteral("/proc/sys/net/ipv4/tcp_wmem")).simplified().split(' ');
    if (wmem.size() == 3)
        kernel = qMax(kernel, qsizetype(wmem[2].toLongLong()));
    return qMax<qsizetype>(8 << 20, ((4 << 20) + kernel + (2 << 20)) / 4 * 3);
}

struct SendInterrupted : ::testing::Test {
    QTemporaryDir dir;
    QString home = dir.path() + QStringLiteral("/home/");
    QString control = dir.path() + QStringLiteral("/control/");
    QString originals = dir.path() + QStringLiteral("/originals/");
    QString maildir = dir.path() + QStringLiteral("/maildir");
    QString python = tw::test::pythonWithAiosmtpd();
    std::unique_ptr<tw::test::SmtpSink> sink;

    void SetUp() override
    {
        if (!tw::test::robotBuilt())
            GTEST_SKIP() << "the tarnwick program is not built";
        if (python.isEmpty())
            GTEST_SKIP() << "needs python3 (Debian package python3-aiosmtpd)";
        for (const QString& d : {home, home + "ExtMap", control, originals})
            ASSERT_TRUE(QDir().mkpath(d));
        sink = std::make_unique<tw::test::SmtpSink>(python, QStringLiteral(TW_E2E_DIR "/stall_sink.py"), maildir,
                                                    QStringList{"--control", control, "--rcvbuf", "8192"});
        ASSERT_NE(sink->port(), 0);
        // Send-only: no POP port.
        ASSERT_TRUE(writeFile(home + "Tarnwick.ini",
                              "[Global]\r\nUnattended=True\r\n[Email]\r\nSMTPServer=127.0.0.1\r\nSMTPPort="
                                  + QByteArray::number(sink->port())
                                  + "\r\nPOPServer=127.0.0.1\r\nPOPPort=0\r\nUserName=robot\r\n"
                                    "ReturnAddress=robot@tarnwick.test\r\nTimeout=30\r\n"));
        ASSERT_TRUE(writeFile(home + "extmap.ini", "dat=<files@peer.test>\r\n"));
    }

    // A data file in the mapping folder, written long enough ago to count as settled, and its
    // original kept aside.
    void drop(const QString& name, qsizetype size, quint32 seed)
    {
        QByteArray data(size, Qt::Uninitialized);
        QRandomGenerator random(seed);
        for (qsizetype i = 0; i < size; ++i)
            data[i] = char(random.bounded(256));
        ASSERT_TRUE(writeFile(originals + name, data));
        const QString path = home + "ExtMap/" + name;
        ASSERT_TRUE(writeFile(path, data));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }

    void arm(const QByteArray& word) { ASSERT_TRUE(writeFile(control + "arm", word)); }
    bool stalled(const QProcess& p)
    {
        return tw::test::waitWhileRunning(p, [&] { return QFile::exists(control + "stalled"); });
    }
    // The file name in the Subject of the message the server stopped at.
    QString stalledAt() const
    {
        return QString::fromLatin1(readFile(control + "stalled")).remove(QStringLiteral("Auto File Attach "));
    }
    // Lets the server go on, and waits until it has (it clears both files), so that the next
    // run never sees the old stall.
    void resume()
    {
        ASSERT_TRUE(writeFile(control + "resume", "go"));
        EXPECT_TRUE(tw::test::waitUntil([&] { return !QFile::exists(control + "stalled"); }, 10000));
    }
    void kill(QProcess& p, int signal) { ::kill(pid_t(p.processId()), signal); }

    int stored() const { return int(QDir(maildir + "/new").entryList(QDir::Files).size()); }
    QStringList left(const QString& folder) const
    {
        return QDir(home + folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QString logbook() const { return QString::fromLatin1(readFile(home + "LogBook.txt")); }

    // Every original arrived intact exactly once (resent: exactly twice, under one Message-ID).
    void expectDelivered(const QStringList& resent = {})
    {
        QStringList args{QStringLiteral(TW_E2E_DIR "/compare_maildir.py"), maildir};
        for (const QString& r : resent)
            args << "--resent" << r;
        for (const QString& f : QDir(originals).entryList(QDir::Files))
            args << originals + f;
        QProcess compare;
        compare.start(python, args);
        ASSERT_TRUE(compare.waitForFinished(60000));
        EXPECT_EQ(compare.exitCode(), 0) << compare.readAllStandardOutput().toStdString()
                                         << compare.readAllStandardError().toStdString();
        for (const char* folder : {"MsgOut", "AttachOut", "ExtMap"})
            EXPECT_EQ(left(folder), QStringList()) << folder;
        QDirIterator all(home, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (all.hasNext())
            EXPECT_FALSE(all.next().endsWith(".part")) << all.filePath().toStdString();
    }
};

} // namespace

TEST_F(SendInterrupted, KilledAndStoppedMidSendDeliversEveryFileOnce)
{
    constexpr int kFiles = 30;
    const qsizetype large = largeFile();
    for (int n = 1; n <= kFiles; ++n) {
        const bool big = n == 8 || n == 20;
        drop(QStringLiteral("f%1.dat").arg(n, 2, 10, QLatin1Char('0')), big ? large : 40 + qsizetype(n) * 7919 % 150000,
             quint32(n));
    }
    {
        SCOPED_TRACE("SIGKILL while the server has stopped reading a message");
        arm("data " + QByteArray::number(kStallAfter));
        QProcess p;
        ASSERT_TRUE(tw::test::startOnce(p, home));
        ASSERT_TRUE(stalled(p)) << p.readAll().toStdString();
        EXPECT_EQ(stalledAt(), "f08.dat");
        kill(p, SIGKILL);
        ASSERT_TRUE(p.waitForFinished(10000));
        resume();
        // The cut message is not stored; the seven before it are.
        EXPECT_EQ(stored(), 7);
    }
    {
        SCOPED_TRACE("SIGKILL after the server stored a message, before its answer");
        arm("reply");
        QProcess p;
        ASSERT_TRUE(tw::test::startOnce(p, home));
        ASSERT_TRUE(stalled(p)) << p.readAll().toStdString();
        EXPECT_EQ(stalledAt(), "f08.dat");
        kill(p, SIGKILL);
        ASSERT_TRUE(p.waitForFinished(10000));
        resume();
        EXPECT_EQ(stored(), 8);
    }
    {
        SCOPED_TRACE("SIGTERM while the server has stopped reading a message");
        arm("data " + QByteArray::number(kStallAfter));
        QProcess p;
        ASSERT_TRUE(tw::test::startOnce(p, home));
        ASSERT_TRUE(stalled(p)) << p.readAll().toStdString();
        kill(p, SIGTERM);
        QThread::msleep(300);
        resume();
        // The message in hand is finished, the server told QUIT, and the rest stays queued.
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 5) << p.readAll().toStdString();
        const QString log = logbook();
        EXPECT_TRUE(log.contains("OK SMTP: stopping on request;")) << log.toStdString();
        EXPECT_TRUE(log.contains("OK SMTP END")) << log.toStdString();
        EXPECT_TRUE(log.contains("ended by the system (signal 15)"));
        EXPECT_FALSE(left("MsgOut").isEmpty());
    }
    {
        SCOPED_TRACE("a run to the end");
        QProcess p;
        ASSERT_TRUE(tw::test::startOnce(p, home));
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    }
    // The one message the server took just before the kill went again, as no client can know
    // it arrived; it carries the same Message-ID both times.
    expectDelivered({"f08.dat"});
}

TEST_F(SendInterrupted, ServerThatStopsReadingKeepsTheMessageQueuedUntilItReadsAgain)
{
    drop("big.dat", largeFile(), 7);
    {
        SCOPED_TRACE("SIGTERM while the server will not read on");
        arm("data 65536");
        QProcess p;
        ASSERT_TRUE(tw::test::startOnce(p, home));
        ASSERT_TRUE(stalled(p)) << p.readAll().toStdString();
        kill(p, SIGTERM);
        // The blocked send gives up soon after the stop: the message stays queued and the robot
        // ends by itself, within its grace time.
        ASSERT_TRUE(p.waitForFinished(15000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 5) << p.readAll().toStdString();
        const QString log = logbook();
        EXPECT_TRUE(log.contains("could not be sent whole; it stays queued for the next cycle")) << log.toStdString();
        EXPECT_FALSE(log.contains("the cycle did not end within")) << log.toStdString();
        EXPECT_EQ(left("MsgOut").size(), 1);
        EXPECT_EQ(left("AttachOut"), QStringList{"big.dat"});
        resume();
    }
    {
        SCOPED_TRACE("the server stops reading for longer than a send may wait");
        arm("data 65536");
        QProcess p;
        ASSERT_TRUE(tw::test::startOnce(p, home));
        ASSERT_TRUE(stalled(p)) << p.readAll().toStdString();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 4);
        const QString log = logbook();
        EXPECT_TRUE(log.contains("could not be sent whole; it stays queued for the next cycle")) << log.toStdString();
        EXPECT_EQ(left("MsgOut").size(), 1);
        EXPECT_EQ(left("AttachOut"), QStringList{"big.dat"});
        resume();
    }
    {
        SCOPED_TRACE("the next cycle, the server reading again");
        QProcess p;
        ASSERT_TRUE(tw::test::startOnce(p, home));
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    }
    // The cut first attempt was never stored: the file arrived once.
    expectDelivered();
}
