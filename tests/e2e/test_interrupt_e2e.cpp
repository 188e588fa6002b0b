// The robot program killed and stopped in the middle of a receive from Dovecot with
// DeleteOffServer: SIGKILL, then SIGTERM while a receive script hangs, then a run to the end.
// Afterwards every message is filed exactly once with its attachment byte-identical, no
// script ran twice for a message, and the mailbox is empty.
#include "e2e/MailPeers.h"
#include "e2e/RobotProcess.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

using tw::test::MailPeers;
using tw::test::readFile;
using tw::test::writeFile;

namespace {

constexpr int kMessages = 400;

struct Interrupted : ::testing::Test {
    QTemporaryDir dir;
    QString home = dir.path() + QStringLiteral("/home/");
    QString python = tw::test::pythonWithAiosmtpd();
    std::unique_ptr<MailPeers> peers;
    QList<QByteArray> attachments;

    void SetUp() override
    {
        if (!tw::test::robotBuilt())
            GTEST_SKIP() << "the tarnwick program is not built";
        if (python.isEmpty() || !tw::test::dovecotInstalled())
            GTEST_SKIP() << "needs dovecot-pop3d and python3-aiosmtpd";
        // Dovecot's own users must pass through the test's private folder.
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup);
        peers = std::make_unique<MailPeers>(python, QStringLiteral(TW_SCRIPTS_DIR "/mail_peers.py"), dir.path() + "/peers");
        ASSERT_TRUE(peers->ok()) << peers->status().toStdString();
        ASSERT_TRUE(QDir().mkpath(home));
        ASSERT_TRUE(writeFile(home + "Tarnwick.ini",
                             "[Global]\r\nUnattended=True\r\n[Email]\r\nSMTPServer=127.0.0.1\r\nSMTPPort="
                                 + QByteArray::number(peers->smtpPort()) + "\r\nPOPServer=127.0.0.1\r\nPOPPort="
                                 + QByteArray::number(peers->popPort())
                                 + "\r\nUserName=robot\r\nDeleteOffServer=True\r\nMessageMax=20000000\r\nTimeout=20\r\n"));
        QProcess pw;
        pw.start(tw::test::robotProgram(), {"--home", home, "--set-password"});
        pw.write("secret\n");
        pw.closeWriteChannel();
        ASSERT_TRUE(pw.waitForFinished(20000));
        ASSERT_EQ(pw.exitCode(), 0) << pw.readAllStandardError().toStdString();
        // The script notes every message it runs for, and hangs while the file "hang" exists.
        ASSERT_TRUE(writeFile(home + "onReceive.txt",
                             "Sub Main\r\n"
                             "  IM.OutputToFile IM.Header(\"Subject\") & vbCrLf, IM.PathHome & \"scripted.txt\", True\r\n"
                             "  If FS.FileExists(IM.PathHome & \"hang\") Then\r\n"
                             "    Do\r\n    Loop\r\n"
                             "  End If\r\n"
                             "End Sub\r\n"));
        fillMailbox();
    }

    void fillMailbox()
    {
        const QString box = peers->maildir();
        for (const char* sub : {"/new", "/cur", "/tmp"})
            ASSERT_TRUE(QDir().mkpath(box + sub));
        QRandomGenerator random(11);
        for (int n = 1; n <= kMessages; ++n) {
            QByteArray data(200 + n % 300, Qt::Uninitialized);
            for (char& c : data)
                c = char(random.bounded(256));
            attachments << data;
            QByteArray encoded = data.toBase64(), body;
            for (qsizetype i = 0; i < encoded.size(); i += 76)
                body += encoded.mid(i, 76) + "\n";
            const QByteArray msg = "From: sender@peer.test\nTo: robot@tarnwick.test\nSubject: m" + QByteArray::number(n)
                                   + "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"sep\"\n\n--sep\n"
                                     "Content-Type: text/plain\n\nbody " + QByteArray::number(n)
                                   + "\n--sep\nContent-Type: application/octet-stream; name=\"a" + QByteArray::number(n)
                                   + ".bin\"\nContent-Transfer-Encoding: base64\n\n" + body + "--sep--\n";
            ASSERT_TRUE(writeFile(box + "/new/" + QString::number(1700000000 + n) + ".M" + QString::number(n) + ".test", msg));
        }
    }
    int filed() const { return int(QDir(home + "MsgIn").entryList(QDir::Files).size()); }
    int onServer() const
    {
        return int(QDir(peers->maildir() + "/new").entryList(QDir::Files).size()
                   + QDir(peers->maildir() + "/cur").entryList(QDir::Files).size());
    }
    QString logbook() const { return QString::fromLatin1(readFile(home + "LogBook.txt")); }
    void start(QProcess& p) { ASSERT_TRUE(tw::test::startOnce(p, home)); }
    // Waits until at least count messages are filed; false when the run ended first.
    bool waitFiled(QProcess& p, int count)
    {
        return tw::test::waitWhileRunning(p, [&] { return filed() >= count; });
    }
};

} // namespace

TEST_F(Interrupted, KilledThenStoppedReceivesFileEveryMessageOnceAndEmptyTheMailbox)
{
    {
        SCOPED_TRACE("SIGKILL mid-receive");
        QProcess p;
        start(p);
        ASSERT_TRUE(waitFiled(p, 60)) << p.readAll().toStdString();
        ::kill(pid_t(p.processId()), SIGKILL);
        ASSERT_TRUE(p.waitForFinished(10000));
    }
    const int afterKill = filed();
    EXPECT_LT(afterKill, kMessages);
    {
        SCOPED_TRACE("SIGTERM while the receive script hangs");
        QProcess p;
        start(p);
        ASSERT_TRUE(waitFiled(p, afterKill + 40)) << p.readAll().toStdString();
        ASSERT_TRUE(writeFile(home + "hang", "x"));
        QThread::msleep(300);
        ASSERT_EQ(p.state(), QProcess::Running);
        ::kill(pid_t(p.processId()), SIGTERM);
        // The hanging script is interrupted, the server told QUIT, and the robot ends well
        // within its grace time.
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 5) << p.readAll().toStdString();
        QFile::remove(home + "hang");
        const QString log = logbook();
        EXPECT_TRUE(log.contains("Script interrupted: the program is ending")) << log.toStdString();
        EXPECT_TRUE(log.contains("OK POP: stopping on request; messages ")) << log.toStdString();
        EXPECT_TRUE(log.contains("OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: ")) << log.toStdString();
        EXPECT_TRUE(log.contains("ended by the system (signal 15)"));
    }
    const int afterStop = filed();
    EXPECT_LT(afterStop, kMessages);
    {
        SCOPED_TRACE("a run to the end");
        QProcess p;
        start(p);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    }

    EXPECT_EQ(filed(), kMessages);
    EXPECT_EQ(onServer(), 0);
    const QString attachIn = home + "AttachIn/";
    EXPECT_EQ(QDir(attachIn).entryList(QDir::Files).size(), kMessages);
    for (int n = 1; n <= kMessages; ++n)
        ASSERT_EQ(readFile(attachIn + "a" + QString::number(n) + ".bin"), attachments[n - 1]) << "a" << n << ".bin";
    // No script ran twice for a message (one filed just before the kill may have had none).
    const QStringList scripted = QString::fromLatin1(readFile(home + "scripted.txt")).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(QSet<QString>(scripted.begin(), scripted.end()).size(), scripted.size());
    EXPECT_GE(scripted.size(), kMessages - 2);
    for (const QString& f : QDir(home).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(f.endsWith(".part")) << f.toStdString();
}
