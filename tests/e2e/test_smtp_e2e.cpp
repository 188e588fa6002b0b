// The robot against a real SMTP server: mapped files travel as MIME attachments and an
// independent MIME parser (Python's email package) finds them intact, byte for byte.
#include "e2e/SmtpSink.h"
#include "support/GatewayRig.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using tw::test::GatewayRig;

TEST(SmtpEndToEnd, MappedFilesArriveIntactAtARealServer)
{
    const QString python = tw::test::pythonWithAiosmtpd();
    if (python.isEmpty())
        GTEST_SKIP() << "no python3 with aiosmtpd (Debian package python3-aiosmtpd)";
    GatewayRig rig;
    const QString maildir = rig.dir.path() + "/maildir";   // created by the server
    tw::test::SmtpSink sink(python, QStringLiteral(TW_E2E_DIR "/smtp_sink.py"), maildir);
    ASSERT_NE(sink.port(), 0);

    // The originals are kept aside: the robot consumes the files it sends.
    const QString originals = rig.folder("originals");
    QByteArray csv = "id;name;amount\r\n";
    for (int i = 0; i < 500; ++i)
        csv += QByteArray::number(i) + ";item \xE9" + QByteArray::number(i) + ";" + QByteArray::number(i * 3) + "\r\n";
    QByteArray binary(5 * 1024 * 1024 + 17, Qt::Uninitialized);
    QRandomGenerator rng(42);
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char(rng.bounded(256));
    for (const QString& dir : {originals, config::Running().PathExtMap}) {
        rig.write(dir + "orders.csv", csv);
        rig.write(dir + "image.BIN", binary);
    }
    const QChar k253(0xFD), k254(0xFE);
    rig.gw->ExtMap = QStringLiteral("csv") + k253 + "orders@shop.test" + k254 + "bin" + k253 + "<images@shop.test>";
    rig.gw->SMTPPort = sink.port();

    ASSERT_TRUE(rig.runCycle(120000)) << rig.logs.join("\n").toStdString();
    EXPECT_TRUE(rig.loggedStart("SMTP finished OK: 2 sent. ")) << rig.logs.join("\n").toStdString();
    EXPECT_EQ(rig.files(config::Running().PathMsgOut), QStringList());
    EXPECT_EQ(rig.files(config::Running().PathAttachOut), QStringList());

    QProcess compare;
    compare.start(python, {QStringLiteral(TW_E2E_DIR "/compare_maildir.py"), maildir, originals + "orders.csv",
                           originals + "image.BIN"});
    ASSERT_TRUE(compare.waitForFinished(60000));
    EXPECT_EQ(compare.exitCode(), 0) << compare.readAllStandardOutput().toStdString()
                                     << compare.readAllStandardError().toStdString();
}
