// The robot against real mail peers: Dovecot serving a Maildir over POP3 and aiosmtpd
// delivering into that Maildir. What the robot sends comes back to it and is filed with its
// attachments byte-identical; messages from an independent composer are decoded as well.
#include "e2e/MailPeers.h"
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QRandomGenerator>

using tw::test::GatewayRig;
using tw::test::MailPeers;

namespace {

struct PeersRig : GatewayRig {
    QString python = tw::test::pythonWithAiosmtpd();
    std::unique_ptr<MailPeers> peers;
    bool start()
    {
        if (python.isEmpty() || !tw::test::dovecotInstalled())
            return false;
        // Dovecot's own users must pass through the test's private folder.
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup);
        peers = std::make_unique<MailPeers>(python, QStringLiteral(TW_SCRIPTS_DIR "/mail_peers.py"), dir.path() + "/peers");
        gw->PopServer = QStringLiteral("127.0.0.1");
        gw->POPPort = peers->popPort();
        gw->SMTPPort = peers->smtpPort();
        gw->UserName = QStringLiteral("robot");
        gw->Password = QStringLiteral("secret");
        gw->DeleteOffServer = true;
        gw->MessageMax = 20000000;
        return peers->ok();
    }
    int mailboxSize() const
    {
        int n = 0;
        for (const char* sub : {"/new", "/cur"})
            n += int(QDir(peers->maildir() + sub).entryList(QDir::Files).size());
        return n;
    }
    std::string log() const { return logs.join("\n").toStdString(); }
};

} // namespace

TEST(PopEndToEnd, MappedFilesGoOutComeBackAndAreDecodedByteForByte)
{
    PeersRig rig;
    if (!rig.start())
        GTEST_SKIP() << "needs dovecot-pop3d and python3-aiosmtpd";
    const auto& rc = config::Running();
    const QString originals = rig.folder("originals");
    QByteArray csv = "id;name;amount\r\n";
    for (int i = 0; i < 300; ++i)
        csv += QByteArray::number(i) + ";item \xE9" + QByteArray::number(i) + ";" + QByteArray::number(i * 7) + "\r\n";
    QByteArray binary(5 * 1024 * 1024 + 3, Qt::Uninitialized);
    QRandomGenerator rng(11);
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char(rng.bounded(256));
    for (const QString& d : {originals, rc.PathExtMap}) {
        rig.write(d + "orders.csv", csv);
        rig.write(d + "photo.bin", binary);
    }
    const QChar k253(0xFD), k254(0xFE);
    rig.gw->ExtMap = QStringLiteral("csv") + k253 + "robot@tarnwick.test" + k254 + "bin" + k253 + "robot@tarnwick.test";
    int scripts = 0;
    QObject::connect(rig.gw.get(), &clsInetGateway::ScriptPOP, [&scripts] { ++scripts; });

    // The first cycle sends both; the messages may already be back for its POP phase, else
    // the next cycle takes them.
    for (int cycle = 0; cycle < 2 && rig.files(rc.PathAttachIn).size() < 2; ++cycle)
        ASSERT_TRUE(rig.runCycle(120000)) << rig.log();
    EXPECT_TRUE(rig.loggedStart("SMTP finished OK: 2 sent. ")) << rig.log();
    EXPECT_TRUE(rig.loggedStart("OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: ")) << rig.log();
    EXPECT_EQ(rig.read(rc.PathAttachIn + "orders.csv"), csv);
    EXPECT_TRUE(rig.read(rc.PathAttachIn + "photo.bin") == binary) << "photo.bin differs";
    EXPECT_EQ(rig.files(rc.PathMsgIn).size(), 2);
    EXPECT_EQ(scripts, 2);
    EXPECT_EQ(rig.mailboxSize(), 0);   // deleted once stored
}

TEST(PopEndToEnd, MessagesFromAnIndependentComposerAreDecoded)
{
    PeersRig rig;
    if (!rig.start())
        GTEST_SKIP() << "needs dovecot-pop3d and python3-aiosmtpd";
    const QString expected = rig.dir.path() + "/expected";
    QProcess put;
    put.start(rig.python, {QStringLiteral(TW_E2E_DIR "/compose_samples.py"), "put", rig.peers->maildir(), expected});
    ASSERT_TRUE(put.waitForFinished(60000));
    ASSERT_EQ(put.exitCode(), 0) << put.readAllStandardError().toStdString();

    rig.gw->Actions = QStringLiteral("POP");
    ASSERT_TRUE(rig.runCycle(60000)) << rig.log();
    EXPECT_TRUE(rig.loggedStart("OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: ")) << rig.log();
    EXPECT_EQ(rig.files(config::Running().PathMsgIn).size(), 3);

    QProcess check;
    check.start(rig.python, {QStringLiteral(TW_E2E_DIR "/compose_samples.py"), "check", expected, config::Running().PathAttachIn});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString() << rig.log();
    EXPECT_EQ(rig.mailboxSize(), 0);
}
