// Filing of received messages through the decode test (a message read from a local file):
// the kept headers, the file written, the body kinds, attachment names and failures.
#include "support/ConversationRig.h"
#include "support/FileSizeLimit.h"
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using tw::test::GatewayRig;

// Files the lines in RawLines as the conversation does when a download is complete.
struct TestFiling {
    static bool file(clsInetGateway& gw) { return GatewayTestAccess::file(gw); }
};

namespace {

struct FilingRig : GatewayRig {
    // Files the message (lines joined with LF, as a saved mail often is) and returns the
    // received-message file's bytes.
    QByteArray file(const QByteArray& message)
    {
        const QString path = dir.path() + "/in.eml";
        write(path, message);
        gw->LocalPOPDeCode(path);
        return read(config::Running().PathMsgIn + gw->MsgFile());
    }
    QByteArray attachment(const QString& name) const { return read(config::Running().PathAttachIn + name); }
    QStringList attachIn() const { return files(config::Running().PathAttachIn); }
    QString header(int i) const { return gateway::InHand().HeaderTable[size_t(i - 1)]; }
};

const QByteArray kBareHeaders = "Date:\r\nTo:\r\nFrom:\r\nSubject:\r\nCc:\r\nBcc:\r\nX-Attachments:\r\n\r\n";

} // namespace

TEST(Filing, KeptHeadersFoldingAndNamesAsTheyAreCompared)
{
    FilingRig rig;
    const QByteArray out = rig.file(
        "Received: from a\n\tby b\n"
        "Subject: Weekly\n\treport   \n"
        "Content-Type: text/plain;\n\tcharset=us-ascii\n"
        "To: first\nTO:   second  \n"
        "Subject : not kept\n"
        "Date: Mon, 5 Jan 2026 09:00:00 +0000\n"
        "cc: \n"
        "X-Mailer: something\n \t\n"
        "\n"
        "body\n");
    EXPECT_EQ(rig.header(1), "Date: Mon, 5 Jan 2026 09:00:00 +0000");
    EXPECT_EQ(rig.header(2), "To: first second");
    EXPECT_EQ(rig.header(3), "From:");
    EXPECT_EQ(rig.header(4), "Subject: Weekly  report");   // folded values join with two blanks
    EXPECT_EQ(rig.header(5), "Cc: ");
    EXPECT_EQ(out, "Date: Mon, 5 Jan 2026 09:00:00 +0000\r\nTo: first second\r\nFrom:\r\nSubject: Weekly  report\r\n"
                   "Cc: \r\nBcc:\r\nX-Attachments:\r\n\r\nbody\r\n");
    EXPECT_EQ(gateway::InHand().BodyText, "body\r\n");
}

TEST(Filing, PlainBodiesAndMessagesWithoutHeadersOrWithoutBody)
{
    FilingRig rig;
    EXPECT_EQ(rig.file("Subject: three\r\n\r\none\r\n\r\nthree\r\n"),
              "Date:\r\nTo:\r\nFrom:\r\nSubject: three\r\nCc:\r\nBcc:\r\nX-Attachments:\r\n\r\none\r\n\r\nthree\r\n");
    EXPECT_EQ(gateway::InHand().BodyText, "one\r\n\r\nthree\r\n");
    EXPECT_EQ(rig.gw->AttachNumber, 0);

    // No empty line: everything is header, there is no body.
    EXPECT_EQ(rig.file("Subject: only\nno colon here\n"), "Date:\r\nTo:\r\nFrom:\r\nSubject: only\r\nCc:\r\nBcc:\r\nX-Attachments:\r\n\r\n");
    EXPECT_EQ(gateway::InHand().BodyText, "");
    // No header at all: the seven bare names, then the body.
    EXPECT_EQ(rig.file("\njust text\n"), kBareHeaders + "just text\r\n");
    // A line of blanks ends the headers; a line of tabs does not.
    rig.file("Subject: a\n\t\nTo: b\n   \nbody\n");
    EXPECT_EQ(rig.header(2), "To: b");
    EXPECT_EQ(gateway::InHand().BodyText, "body\r\n");
}

TEST(Filing, SinglePartAttachmentsAreDecodedUnderACleanName)
{
    FilingRig rig;
    rig.file("Subject: s\nContent-Type: text/csv; name=\"a/b.csv\"\nContent-Transfer-Encoding: base64\n\nMSwy\nDQo=\n");
    EXPECT_EQ(rig.attachIn(), QStringList({"a-b.csv"}));
    EXPECT_EQ(rig.attachment("a-b.csv"), "1,2\r\n");
    EXPECT_EQ(rig.gw->AttachNumber, 1);
    EXPECT_EQ(rig.gw->AttachFile(1), "a-b.csv");
    EXPECT_EQ(rig.read(config::Running().PathMsgIn + rig.gw->MsgFile()),
              "Date:\r\nTo:\r\nFrom:\r\nSubject: s\r\nCc:\r\nBcc:\r\nX-Attachments:\r\n\r\n\r\nAttachment Converted: a-b.csv\r\n");

    // Encoded but unnamed: filed as plain text, undecoded.
    const QByteArray out = rig.file("Content-Transfer-Encoding: base64\n\nMSwy\n");
    EXPECT_TRUE(out.endsWith("\r\n\r\nMSwy\r\n"));
    EXPECT_EQ(rig.gw->AttachNumber, 0);

    // Quoted-printable and plain single parts.
    rig.file("Content-Type: text/plain; name=q.txt\nContent-Transfer-Encoding: quoted-printable\n\ncaf=E9 =3D41\n");
    EXPECT_EQ(rig.attachment("q.txt"), "caf\xE9 =41\r\n\r\n");
    rig.file("Content-Disposition: attachment; filename=t.txt\n\nline 1\nline 2\n");
    EXPECT_EQ(rig.attachment("t.txt"), "line 1\r\nline 2\r\n\r\n");
}

TEST(Filing, MultipartTextAttachmentsAndGeneratedNames)
{
    FilingRig rig;
    const QByteArray out = rig.file(
        "From: ann@x.test\n"
        "Content-Type: multipart/mixed; boundary=\"XYZ\"\n"
        "\n"
        "preamble is dropped\n"
        "--XYZ\n"
        "Content-Type: text/plain\n"
        "\n"
        "Hello,\n"
        "-- \n"
        "signature\n"
        "--XYZ\n"
        "Content-Type: application/octet-stream; name=\"data (copy).bin\"\n"
        "Content-Transfer-Encoding: base64\n"
        "\n"
        "QUJD\n"
        "QUI=\n"
        "\n"
        "ignored after the data\n"
        "--XYZ\n"
        "Content-Type: text/plain; charset=iso-8859-1\n"
        "Content-Transfer-Encoding: quoted-printable\n"
        "\n"
        "no name=\n"
        " here\n"
        "--XYZ\n"
        "Content-Type: text/plain; name=notes.txt\n"
        "\n"
        "note line\n"
        "--XYZ--\n"
        "epilogue\n");
    EXPECT_EQ(gateway::InHand().BodyText, "Hello,\r\n-- \r\nsignature\r\n");
    ASSERT_EQ(rig.gw->AttachNumber, 3);
    EXPECT_EQ(rig.gw->AttachFile(1), "data .bin");   // the comment is dropped, not the blank
    EXPECT_EQ(rig.attachment("data .bin"), "ABCAB");
    const QString generated = rig.gw->AttachFile(2);
    EXPECT_TRUE(generated.startsWith("#") && generated.endsWith(".doc")) << generated.toStdString();
    EXPECT_EQ(rig.attachment(generated), "no name here\r\n\r\n");
    EXPECT_EQ(rig.attachment("notes.txt"), "note line\r\n\r\n");
    EXPECT_TRUE(out.endsWith("\r\n\r\nHello,\r\n-- \r\nsignature\r\n\r\nAttachment Converted: data .bin\r\n\r\nAttachment Converted: "
                             + generated.toLatin1() + "\r\n\r\nAttachment Converted: notes.txt\r\n"));
    // The content lines the walker read are kept cleaned for RawLine.
    EXPECT_EQ(rig.gw->RawLine(12), "Content-Type: application/octet-stream; name=data .bin");
    EXPECT_EQ(rig.gw->RawLine(0), "");
}

TEST(Filing, NamesFromMessagesNeverLeaveTheAttachmentFolder)
{
    FilingRig rig;
    rig.write(config::Running().PathAttachIn + "escaped.txt", "older file of that name");
    QByteArray message = "Content-Type: multipart/mixed; boundary=B\n\n";
    for (const QByteArray& name : {QByteArray("../escaped.txt"), QByteArray("..\\\\..\\\\win.txt"), QByteArray("a:b*c?d<e>f|g.csv"),
                                  QByteArray(".."), QByteArray("dir/"), QByteArray("ctl\x01.txt")})
        message += "--B\nContent-Type: text/plain; name=\"" + name + "\"\n\nx\n";
    message += "--B--\n";
    rig.file(message);
    ASSERT_EQ(rig.gw->AttachNumber, 6);
    EXPECT_EQ(rig.gw->AttachFile(1), "escaped.txt");
    EXPECT_EQ(rig.gw->AttachFile(2), "win.txt");
    EXPECT_EQ(rig.gw->AttachFile(3), "a-b-c-d-e-f-g.csv");
    EXPECT_TRUE(rig.gw->AttachFile(4).endsWith(".doc"));
    EXPECT_TRUE(rig.gw->AttachFile(5).endsWith(".doc"));
    EXPECT_NE(rig.gw->AttachFile(4), rig.gw->AttachFile(5));
    EXPECT_EQ(rig.gw->AttachFile(6), "ctl-.txt");
    // A name already there is replaced (users may rely on fixed names); nothing lands outside.
    EXPECT_EQ(rig.attachment("escaped.txt"), "x\r\n\r\n");
    EXPECT_EQ(rig.attachIn().size(), 6);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList({"in.eml"}));
    EXPECT_FALSE(QFile::exists(rig.dir.path() + "/win.txt"));
}

TEST(Filing, AReceivedMessageFileNeverReplacesAnEarlierOne)
{
    FilingRig rig;
    const QString first = rig.gw->UniqueName() + ".txt";   // what the clock gives now
    rig.clock->advance(-60000);                             // the clock is set back a minute
    rig.write(config::Running().PathMsgIn + first, "older message");
    rig.clock->advance(60000);
    rig.gw = std::make_unique<clsInetGateway>();            // a new gateway has no memory of names
    QObject::connect(rig.gw.get(), &clsInetGateway::LogMessageEvent, [&rig] { rig.logs << rig.gw->LoggedMessage(); });
    rig.file("Subject: new\n\nbody\n");
    EXPECT_NE(rig.gw->MsgFile(), first);
    EXPECT_EQ(rig.read(config::Running().PathMsgIn + first), "older message");
    // Many messages within the same tenth of a second get distinct files without waiting.
    for (int i = 0; i < 30; ++i)
        rig.file("Subject: many\n\nbody\n");
    EXPECT_EQ(rig.files(config::Running().PathMsgIn).size(), 32);
}

TEST(Filing, AMessageNotStoredLeavesNothingBehindAndTheErrorSaysWhy)
{
    // Each case: the folders as they are, what cannot be written, and the cause the line gives.
    // The message has a text part, a small attachment written first and the one that fails.
    const auto message = [](const QByteArray& name, int kb) {
        return "Subject: s\nTo: robot@tarnwick.test\nFrom: ann@x.test\nContent-Type: multipart/mixed; boundary=B\n\n"
               "--B\n\ntext part\n--B\nContent-Type: x; name=first.bin\nContent-Transfer-Encoding: base64\n\nQUJD\n"
               "--B\nContent-Type: x; name=" + name + "\nContent-Transfer-Encoding: base64\n\n"
               + QByteArray(kb * 1024 / 76 + 1, 'x').replace('x', QByteArray(76, 'A') + "\n") + "--B--\n";
    };
    const QString longName(300, 'n');
    {
        SCOPED_TRACE("name too long");
        FilingRig rig;
        rig.file(message(longName.toLatin1(), 1));
        EXPECT_TRUE(rig.logged("ERROR POP 52 Can't write file or find folder to write into: File name too long: '"
                               + config::Running().PathAttachIn + longName + "'"));
        EXPECT_EQ(rig.attachIn(), QStringList());
        EXPECT_EQ(rig.files(config::Running().PathMsgIn), QStringList());
        EXPECT_EQ(rig.gw->MsgFile(), "");
        EXPECT_EQ(rig.gw->AttachNumber, 0);
    }
    {
        SCOPED_TRACE("disk full");
        FilingRig rig;
        const QString path = rig.dir.path() + "/in.eml";
        rig.write(path, message("big.bin", 64));
        {
            tw::test::FileSizeLimit full(16 * 1024);
            rig.gw->LocalPOPDeCode(path);
        }
        EXPECT_TRUE(rig.loggedStart("ERROR POP 61 Can't write file or find folder to write into: Disk full: '"));
        EXPECT_EQ(rig.attachIn(), QStringList());
        EXPECT_EQ(rig.files(config::Running().PathMsgIn), QStringList());
    }
    {
        SCOPED_TRACE("folder is a file, the message taken with TOP");
        FilingRig rig;
        QDir(config::Running().PathAttachIn).removeRecursively();
        rig.write(config::Running().PathAttachIn.chopped(1), "a file where the folder should be");
        rig.gw->MessageMax = 1000;
        GatewayTestAccess::at(*rig.gw, gateway::GwState::Standby, gateway::Command::Top);
        rig.gw->RawLines = QString::fromLatin1(message("b.bin", 1)).split('\n');
        rig.gw->RawLinesNumber = qint32(rig.gw->RawLines.size());
        EXPECT_FALSE(TestFiling::file(*rig.gw));
        EXPECT_EQ(rig.logs.mid(rig.logs.size() - 2),
                  QStringList({"           Check: necessary subfolders eg \"MsgIn\" are there",
                               "ERROR POP 76 Can't write file or find folder to write into: Path not found: '"
                                   + config::Running().PathAttachIn + "first.bin.partial'"}));
        EXPECT_EQ(rig.files(config::Running().PathMsgIn), QStringList());
        EXPECT_EQ(rig.files(config::Running().PathMsgOut), QStringList());   // no automatic reply either
    }
}

TEST(Filing, BadInputIsFiledWithALogLineAndNoCrash)
{
    FilingRig rig;
    // A broken base64 group: the bytes before it are kept, and the message as it came.
    const QByteArray broken = "Subject: broken\nContent-Type: multipart/mixed; boundary=B\n\n--B\nContent-Type: x; name=bad.bin\n"
                              "Content-Transfer-Encoding: base64\n\nQUJD\nQU!D\nQUJD\n--B\nContent-Type: x; name=odd.txt\n"
                              "Content-Transfer-Encoding: quoted-printable\n\na =ZZ b\n--B--\n";
    rig.file(broken);
    EXPECT_EQ(rig.attachment("bad.bin"), "ABC");
    const QString raw = config::Running().PathMsgInRaw + rig.gw->MsgFile();
    EXPECT_EQ(rig.read(raw), QByteArray(broken).replace("\n", "\r\n"));
    EXPECT_EQ(rig.logs.filter("ERROR"),
              QStringList{"ERROR: corrupt data found in attached file: bad.bin, odd.txt; the message as received is kept in '" + raw + "'"});
    // Where the copy cannot be kept, the message counts as not stored (so it stays on the server).
    rig.logs.clear();
    QDir(config::Running().PathMsgInRaw).removeRecursively();
    rig.write(config::Running().PathMsgInRaw.chopped(1), "a file where the folder should be");
    rig.file(broken);
    EXPECT_TRUE(rig.loggedStart("ERROR POP 76 Can't write file or find folder to write into: Path not found: '"
                                + config::Running().PathMsgInRaw));
    EXPECT_EQ(rig.files(config::Running().PathMsgIn).size(), 1);   // the first filing only
    // A boundary that never closes: the walker runs to the end.
    rig.file("Content-Type: multipart/mixed; boundary=B\n\n--B\n\nopen text\nmore\n");
    EXPECT_EQ(gateway::InHand().BodyText, "open text\r\nmore\r\n");
    // 25 attachments: all written and listed in the file; scripts reach the first 20 by number.
    QByteArray many = "Content-Type: multipart/mixed; boundary=B\n\n";
    for (int i = 1; i <= 25; ++i)
        many += "--B\nContent-Type: text/plain; name=f" + QByteArray::number(i) + ".txt\n\nx\n";
    const QByteArray out = rig.file(many + "--B--\n");
    EXPECT_EQ(rig.gw->AttachNumber, 25);
    EXPECT_EQ(rig.attachIn().size(), 27);   // with bad.bin and odd.txt
    EXPECT_TRUE(out.contains("Attachment Converted: f25.txt\r\n"));
    EXPECT_EQ(rig.gw->AttachFile(20), "f20.txt");
    EXPECT_EQ(rig.gw->AttachFile(21), "");
    EXPECT_TRUE(rig.gw->AttachCopyAll(rig.folder("all")));
    EXPECT_EQ(rig.files(rig.folder("all")).size(), 25);
}

TEST(Filing, AnOversizedMessageGetsTheNoteAndAnAutomaticReply)
{
    tw::test::ConversationRig c;
    tw::test::GatewayRig& rig = c.rig;
    c.gw.MessageMax = 2000000;
    c.gw.UserName = "orders";
    c.gw.CurrentMsg = 1;
    c.gw.MsgTotal = 1;
    c.at(gateway::GwState::Pop, gateway::Command::List);
    EXPECT_EQ(c.answer("+OK 1 2000001"), "TOP 1 40\r\n");
    EXPECT_EQ(c.answer("+OK\r\nTo: Orders <orders@tarnwick.test>\r\nFrom: ann@x.test\r\n"
                       "Content-Type: text/plain; name=big.csv\r\n\r\n1,2\r\n."),
              "QUIT\r\n");
    EXPECT_EQ(rig.read(config::Running().PathMsgIn + rig.gw->MsgFile()),
              "Date:\r\nTo: Orders <orders@tarnwick.test>\r\nFrom: ann@x.test\r\nSubject:\r\nCc:\r\nBcc:\r\nX-Attachments:\r\n\r\n"
              "SYSTEM MESSAGE: the original of this message was too big to handle\r\n"
              "so only the beginning of it has been saved for you before instructing\r\n"
              "the Internet Provider Server to delete it.  An automatic message has \r\n"
              "gone back to the sender asking him/her not to do this again.\r\n\r\n"
              "\r\nAttachment Converted: big.csv\r\n");
    EXPECT_EQ(rig.files(config::Running().PathAttachIn), QStringList());   // only named, not written, after a TOP
    const QStringList out = rig.files(config::Running().PathMsgOut);
    ASSERT_EQ(out.size(), 1);
    EXPECT_EQ(rig.read(config::Running().PathMsgOut + out[0]),
              "Date: Mon, 05 Jan 2026 09:30:00\r\nFrom: Orders <orders@tarnwick.test>\r\nTo: ann@x.test\r\n"
              "Subject: Auto response to your transmission of excessive size\r\n\r\n"
              "This message has been automatically generated \r\nby the postmaster computer at this site\r\n"
              "***** EXCESSIVE SIZE TRANSMISSION *****\r\nMaybe you are overdoing the attachments!\r\n"
              "We have many users sharing one line and so we can only take messages\r\n"
              "of max size = 2000000 bytes and yours is just too big.\r\n"
              "The beginning only of it has been downloaded and passed to\r\n Orders <orders@tarnwick.test>\r\n"
              "along with a note of explanation similar to this one.\r\n\r\nPLEASE make it SMALLER, then SEND AGAIN\r\n"
              "We suggest you limit use of large or complex graphics and use\r\n"
              "the economical formats  .gif  .jpg  for artwork files.\r\n\r\nKind regards,\r\nThe orders System Robot\r\n");
}

TEST(Filing, NestedPartsAndNamesOutsideAscii)
{
    FilingRig rig;
    rig.file("Content-Type: multipart/mixed; boundary=\"==outer==\"\n\n"
             "--==outer==\n"
             "Content-Type: multipart/alternative;\n boundary=\"==inner==\"\n\n"
             "--==inner==\nContent-Type: text/plain\n\nplain text\n--==inner==--\n\n"
             "--==outer==\n"
             "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n"
             "Content-Disposition: attachment; filename*=utf-8''caf%C3%A9.bin\n\nQUJD\n\n"
             "--==outer==\n"
             "Content-Type: text/plain; name=\"=?utf-8?q?na=C3=AFve?= =?utf-8?b?LnR4dA==?=\"\n\nx\n"
             "--==outer==--\n");
    EXPECT_EQ(gateway::InHand().BodyText, "plain text\r\n");
    ASSERT_EQ(rig.gw->AttachNumber, 2);
    EXPECT_EQ(rig.gw->AttachFile(1), QString::fromUtf8("caf\xC3\xA9.bin"));
    EXPECT_EQ(rig.attachment(QString::fromUtf8("caf\xC3\xA9.bin")), "ABC");
    EXPECT_EQ(rig.gw->AttachFile(2), QString::fromUtf8("na\xC3\xAFve.txt"));
}

TEST(Filing, ATwentyMegabyteAttachmentIsDecodedWhole)
{
    FilingRig rig;
    QByteArray data(20 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char((i * 2654435761u) >> 13);
    QByteArray message = "Subject: big\nContent-Type: multipart/mixed; boundary=B\n\n--B\nContent-Type: x; name=big.bin\n"
                         "Content-Transfer-Encoding: base64\n\n";
    const QByteArray b64 = data.toBase64();
    message.reserve(message.size() + b64.size() / 76 * 78 + 100);
    for (qsizetype i = 0; i < b64.size(); i += 76)
        message += b64.mid(i, 76) + "\r\n";
    message += "--B--\n";
    rig.file(message);
    EXPECT_TRUE(rig.attachment("big.bin") == data);
    EXPECT_FALSE(rig.loggedStart("ERROR"));
}
