// The cycle start without a network: mapping data files to message files, the reject sweep,
// recipient and attachment scanning, MIME composition and its failure paths.
#include "support/FileSizeLimit.h"
#include "support/GatewayRig.h"

#include "platform/VbDate.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using tw::test::GatewayRig;

namespace {

const QChar k254(0xFE);
const QChar k253(0xFD);

QString entry(const QString& ext, const QString& address) { return ext + k253 + address; }

// Runs the cycle up to the end of composition without connecting anywhere.
void encodeOnly(GatewayRig& rig)
{
    rig.gw->Actions = QStringLiteral("ENCODE");
    rig.gw->ProcessStart();
}

} // namespace

TEST(ParseAddress, BracketsCommentsAndStrayClosers)
{
    EXPECT_EQ(clsInetGateway::ParseAddress(" a@b.c "), QStringLiteral("<a@b.c>"));
    EXPECT_EQ(clsInetGateway::ParseAddress("Joe Bloggs <joe@b.c>"), QStringLiteral("<joe@b.c>"));
    EXPECT_EQ(clsInetGateway::ParseAddress("joe@b.c (Joe Bloggs)"), QStringLiteral("<joe@b.c>"));
    EXPECT_EQ(clsInetGateway::ParseAddress("joe@b.c>"), QString());
}

TEST(Mapping, DataFileBecomesAnAddressedMessageAndLeavesTheMappingFolder)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.write(rc.PathExtMap + "Stock.CSV", "a,b\r\n1,2\r\n");
    rig.write(rc.PathExtMap + "odd.xyz", "?");
    rig.gw->ExtMap = entry("csv", "orders@shop.test") + k254 + entry("csv", "<second@shop.test>");
    rig.gw->Archive = true;
    encodeOnly(rig);

    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList());
    EXPECT_EQ(rig.read(rc.PathExtMapArchive + "Stock.CSV"), QByteArray("a,b\r\n1,2\r\n"));
    EXPECT_EQ(rig.read(rc.PathExtMapReject + "odd.xyz"), QByteArray("?"));
    EXPECT_TRUE(rig.logged("Loading mapped file 'Stock.CSV'"));
    EXPECT_TRUE(rig.logged("CAN NOT send 'odd.xyz' as no mapping provided."));

    // One message, named #<weekday><tenths>; the copy of the data in the attachment folder
    // stays until the server has accepted the message.
    const QStringList out = rig.files(rc.PathMsgOut);
    ASSERT_EQ(out, QStringList{"#2342000.txt"});
    EXPECT_EQ(rig.read(rc.PathAttachOut + "Stock.CSV"), QByteArray("a,b\r\n1,2\r\n"));
    const QByteArray msg = rig.read(rc.PathMsgOut + out[0]);
    EXPECT_TRUE(msg.startsWith("To: <orders@shop.test>\r\nFrom: <robot@tarnwick.test>\r\n"
                               "Date: Mon, 05 Jan 2026 09:30:00\r\nSubject: Auto File Attach Stock.CSV\r\n"
                               "X-Attachments: Stock.CSV\r\nMIME-Version: 1.0\r\n"))
        << msg.left(300).toStdString();
    EXPECT_EQ(rig.gw->MsgCount, 1);
    EXPECT_EQ(rig.gw->MsgRecipients[0], QStringLiteral("<orders@shop.test>"));
    EXPECT_TRUE(rig.logged("ENCODE-ONLY operation completed. " + platform::GeneralDateTime(platform::Now())));
    EXPECT_EQ(rig.gw->State(), QStringLiteral("STANDBY"));
}

TEST(Mapping, InvalidMappingFolderIsNeverSwept)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.write(rc.PathHome + "Tarnwick.ini", "[Global]\r\n");
    rc.PathExtMap = rc.PathHome;
    rig.gw->ExtMap = entry("ini", "a@b.c");
    encodeOnly(rig);
    EXPECT_TRUE(rig.logged("WARNING: ExtMap path '" + rc.PathHome + "' invalid or not reading correctly.  So skipping ExtMap."));
    EXPECT_TRUE(QFile::exists(rc.PathHome + "Tarnwick.ini"));

    rc.PathExtMap = rig.dir.path() + "/missing/";
    rig.logs.clear();
    encodeOnly(rig);
    EXPECT_TRUE(rig.loggedStart("WARNING: ExtMap path '" + rc.PathExtMap));
}

TEST(Mapping, NewMessageNeverReplacesAnEarlierFileOfTheSameName)
{
    GatewayRig rig;
    auto& rc = config::Running();
    // A week-old message waits under the name the clock gives now.
    rig.write(rc.PathMsgOut + "#2342000.txt", "To: <old@x.test>\r\n\r\nold body\r\n");
    rig.write(rc.PathExtMap + "a.csv", "new");
    rig.gw->ExtMap = entry("csv", "new@x.test");
    encodeOnly(rig);
    EXPECT_EQ(rig.read(rc.PathMsgOut + "#2342000.txt"), QByteArray("To: <old@x.test>\r\n\r\nold body\r\n"));
    EXPECT_EQ(rig.files(rc.PathMsgOut).size(), 2);
    EXPECT_EQ(rig.gw->MsgCount, 2);
}

TEST(Compose, WholeMultipartOutput)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.write(rc.PathAttachOut + "data.bin", QByteArray("\x00\x01\xFFxyz", 6));
    const QString full = rig.dir.path() + "/report.txt";
    rig.write(full, "hello");
    rig.write(rc.PathMsgOut + "m1.txt",
              "To: a@x.test, Bob <b@x.test>\r\nCc: c@x.test\r\nBcc: d@x.test; e@x.test\r\nSubject: s\r\n"
              "X-Attachments: data.bin;" + full.toLatin1() + "\r\n   \r\nline 1\r\n.dot\r\n");
    encodeOnly(rig);

    const QByteArray B = clsInetGateway::Boundary.toLatin1();
    // The id is made once, from the return address's domain; the second cycle keeps it.
    const QRegularExpressionMatch id = QRegularExpression(QStringLiteral("Message-ID: <20260105093000\\.[0-9a-f]{32}@tarnwick\\.test>\r\n"))
                                           .match(QString::fromLatin1(rig.read(rc.PathMsgOut + "m1.txt")));
    ASSERT_TRUE(id.hasMatch()) << rig.read(rc.PathMsgOut + "m1.txt").toStdString();
    const QByteArray expected =
        "To: a@x.test, Bob <b@x.test>\r\nCc: c@x.test\r\nBcc: d@x.test; e@x.test\r\nSubject: s\r\n"
        "X-Attachments: data.bin;" + full.toLatin1() + "\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + B + "\"\r\n" + id.captured().toLatin1() + "\r\n"
        "--" + B + "\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n\r\nline 1\r\n.dot\r\n\r\n"
        "--" + B + "\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"data.bin\"\r\n\r\n"
        "AAH/eHl6\r\n\r\n"
        "--" + B + "\r\nContent-Type: application/octet-stream; name=\"report.txt\"\r\n"
        "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"report.txt\"\r\n\r\n"
        "aGVsbG8=\r\n\r\n"
        "--" + B + "--\r\n\r\n";
    EXPECT_EQ(rig.read(rc.PathMsgOut + "m1.txt"), expected);
    EXPECT_EQ(rig.gw->MsgRecipients[0],
              QStringLiteral("<a@x.test>") + k254 + "<b@x.test>" + k254 + "<c@x.test>" + k254 + "<d@x.test>" + k254 + "<e@x.test>");
    EXPECT_EQ(rig.gw->MsgAttachments[0], "data.bin;" + full);

    // A second cycle finds the marker and sends it as it is.
    encodeOnly(rig);
    EXPECT_EQ(rig.read(rc.PathMsgOut + "m1.txt"), expected);
    EXPECT_EQ(rig.gw->MsgAttachments[0], QString());
    EXPECT_EQ(rig.gw->MsgCount, 1);
}

TEST(Compose, EmptyBodyLongHeaderAndEmptyAttachmentEntry)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.write(rc.PathAttachOut + "a.txt", "A");
    rig.write(rc.PathAttachOut + "c.txt", "C");
    rig.write(rc.PathMsgOut + "empty.txt", "To: a@x.test\r\nX-Attachments: a.txt;;c.txt\r\n");
    QByteArray longHeader = "To: a@x.test\r\nX-Attachments: a.txt\r\n";
    for (int i = 3; i <= 22; ++i)
        longHeader += "X-H" + QByteArray::number(i) + ": v\r\n";
    rig.write(rc.PathMsgOut + "long.txt", longHeader + "\r\nbody\r\n");
    encodeOnly(rig);

    const QByteArray empty = rig.read(rc.PathMsgOut + "empty.txt");
    EXPECT_TRUE(empty.contains("charset=\"us-ascii\"\r\n\r\n\r\n--")) << empty.toStdString();
    EXPECT_TRUE(empty.contains("name=\"a.txt\""));
    EXPECT_FALSE(empty.contains("name=\"c.txt\""));

    // Lines after the 20th are neither examined nor header: they land in the text part.
    const QByteArray lng = rig.read(rc.PathMsgOut + "long.txt");
    EXPECT_TRUE(lng.contains("X-H20: v\r\nMIME-Version: 1.0\r\n")) << lng.toStdString();
    EXPECT_TRUE(lng.contains("charset=\"us-ascii\"\r\n\r\nX-H21: v\r\nX-H22: v\r\n\r\nbody\r\n\r\n--"));
}

TEST(Compose, UnreadableAttachmentSendsTheMessageWithANote)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.write(rc.PathMsgOut + "a.txt", "To: a@x.test\r\nX-Attachments: gone.csv\r\n\r\nbody\r\n");
    rig.write(rc.PathMsgOut + "b.txt", "To: b@x.test\r\n\r\nlater\r\n");
    encodeOnly(rig);
    EXPECT_TRUE(rig.logged("ERROR (attachment) 53, File not found, File = 'gone.csv'."));
    const QByteArray a = rig.read(rc.PathMsgOut + "a.txt");
    EXPECT_TRUE(a.endsWith("eg by replying to this message.\r\nINFO: Sender datetime = "
                           + platform::GeneralDateTime(platform::Now()).toLatin1()
                           + ".  Sender output file = 'a.txt'\r\nLost attachment filename = 'gone.csv'.\r\n"));
    // The stage ends there: the message is sent, the next one waits.
    EXPECT_EQ(rig.gw->MsgCount, 1);
}

TEST(Compose, FailedCompositionLeavesTheOriginalWhole)
{
    GatewayRig rig;
    auto& rc = config::Running();
    const QByteArray original = "To: a@x.test\r\nX-Attachments: a.txt\r\n\r\nbody\r\n";
    // The composed message does not fit on the disk.
    rig.write(rc.PathAttachOut + "a.txt", QByteArray(64 * 1024, 'a'));
    rig.write(rc.PathMsgOut + "a.txt", original);
    {
        tw::test::FileSizeLimit full(16 * 1024);
        encodeOnly(rig);
    }
    EXPECT_TRUE(rig.logged("ERROR (message header and/or cover note): 61, Disk full")) << rig.logs.join("\n").toStdString();
    EXPECT_EQ(rig.read(rc.PathMsgOut + "a.txt"), original);
    EXPECT_EQ(rig.gw->MsgCount, 0);

    // A work file a crash left behind is cleared and never taken for a message.
    rig.write(rc.PathMsgOut + ".a.txt.part", "To: a@x.test\r\n\r\nhalf");
    encodeOnly(rig);
    EXPECT_EQ(rig.files(rc.PathMsgOut), QStringList{"a.txt"});
    EXPECT_EQ(rig.gw->MsgCount, 1);
}

TEST(Listing, RecipientRulesAndUnaddressedMessages)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.write(rc.PathMsgOut + "1.txt", "Cc: c@x.test\r\nTo: a@x.test\r\n\r\n");
    rig.write(rc.PathMsgOut + "2.txt", "Subject: nobody\r\nX-Attachments: z.txt\r\n\r\nbody\r\n");
    rig.write(rc.PathAttachOut + "z.txt", "Z");
    rig.write(rc.PathMsgOut + "3.txt", "cc : c@x.test\r\n\r\n");
    encodeOnly(rig);
    ASSERT_EQ(rig.gw->MsgCount, 2);
    EXPECT_EQ(rig.gw->MsgFiles[0], QStringLiteral("1.txt"));
    EXPECT_EQ(rig.gw->MsgRecipients[0], QStringLiteral("<a@x.test>"));
    EXPECT_EQ(rig.gw->MsgFiles[1], QStringLiteral("3.txt"));
    EXPECT_EQ(rig.gw->MsgRecipients[1], k254 + QStringLiteral("<c@x.test>"));
    // Composed all the same, and left in place.
    EXPECT_TRUE(rig.read(rc.PathMsgOut + "2.txt").contains("MIME-Version: 1.0"));
}

TEST(Listing, AtMost49MessagesACycle)
{
    GatewayRig rig;
    auto& rc = config::Running();
    for (int i = 0; i < 60; ++i)
        rig.write(rc.PathMsgOut + QString::asprintf("m%02d.txt", i), "To: a@x.test\r\n\r\nx\r\n");
    encodeOnly(rig);
    EXPECT_EQ(rig.gw->MsgCount, 49);
    EXPECT_EQ(rig.gw->MsgFiles[48], QStringLiteral("m48.txt"));
    EXPECT_EQ(rig.files(rc.PathMsgOut).size(), 60);
}

TEST(Cycle, StartLinesGuardAndPopOnly)
{
    GatewayRig rig;
    rig.gw->Actions = "ENCODE";
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.logs.first(), QStringLiteral("STARTING EMAIL Local ENCODE-ONLY process"));
    EXPECT_EQ(rig.gw->MessageMax, 200000);

    // Nothing to send: straight to the POP phase, which without a POP server ends the cycle.
    rig.logs.clear();
    rig.gw->Actions = "";
    rig.gw->ReturnAddress = "<robot@x.test>";
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.logs.value(0), QStringLiteral("STARTING EMAIL GATEWAY PROCESSES"));
    EXPECT_EQ(rig.logs.value(1), "OK SMTP no messages to send: " + platform::GeneralDateTime(platform::Now()));
    EXPECT_TRUE(rig.logs.value(2).startsWith("OK END: INTERNET EMAIL send-only connection SUCCESSFULLY COMPLETED: Mon 09:"));
    EXPECT_EQ(rig.gw->ReturnAddress, QStringLiteral("robot@x.test"));
    EXPECT_EQ(rig.gw->State(), QStringLiteral("STANDBY"));
}
