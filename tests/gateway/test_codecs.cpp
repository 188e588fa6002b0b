// Base64 and quoted-printable coding, text attachments, content header reading and the
// unique file names: whole outputs, round trips and the edge cases of each rule.
#include "support/GatewayRig.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using tw::test::GatewayRig;

namespace {

// Puts lines into the line buffer and sets the current line to the first of them.
void load(clsInetGateway& gw, const QStringList& lines)
{
    gw.RawLines = lines;
    gw.RawLinesNumber = qint32(lines.size());
    gw.CurrentLine = 1;
}

QByteArray randomBytes(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(rng.bounded(256));
    return b;
}

} // namespace

TEST(Base64, TablesAreInverseAndMarkPaddingAndInvalid)
{
    for (int v = 0; v < 64; ++v)
        EXPECT_EQ(clsInetGateway::Base64Value(clsInetGateway::Base64Char(v).at(0)), v);
    EXPECT_EQ(clsInetGateway::Base64Value(QLatin1Char('=')), 99);
    EXPECT_EQ(clsInetGateway::Base64Value(QLatin1Char('*')), -1);
    EXPECT_EQ(clsInetGateway::Base64Value(QChar(0x100 + 'A')), -1);
    EXPECT_EQ(clsInetGateway::Base64Char(62), QStringLiteral("+"));
}

TEST(Base64, EncodesFilesIn57ByteLinesOf76Characters)
{
    GatewayRig rig;
    const QString out = config::Running().PathAttachOut;
    rig.write(out + "57.bin", QByteArray(57, 'x'));
    rig.write(out + "58.bin", QByteArray(58, 'x'));
    rig.write(out + "empty.bin", QByteArray());

    ASSERT_TRUE(rig.gw->EncodeAttachment("57.bin"));
    ASSERT_EQ(rig.gw->RawLinesNumber, 1);
    EXPECT_EQ(rig.gw->RawLines[0].size(), 76);

    ASSERT_TRUE(rig.gw->EncodeAttachment("58.bin"));
    ASSERT_EQ(rig.gw->RawLinesNumber, 2);
    EXPECT_EQ(rig.gw->RawLines[1], QStringLiteral("eA=="));

    ASSERT_TRUE(rig.gw->EncodeAttachment("empty.bin"));
    EXPECT_EQ(rig.gw->RawLines, QStringList{QString()});

    // A full path is read where it stands; every byte value survives.
    const QByteArray data = randomBytes(1000, 7);
    rig.write(rig.dir.path() + "/elsewhere.bin", data);
    ASSERT_TRUE(rig.gw->EncodeAttachment(rig.dir.path() + "/elsewhere.bin"));
    EXPECT_EQ(rig.gw->RawLines.join(QString()).toLatin1(), data.toBase64());
    for (int i = 0; i < rig.gw->RawLinesNumber - 1; ++i)
        EXPECT_EQ(rig.gw->RawLines[i].size(), 76);
}

TEST(Base64, EncodeReportsUnreadableFileAndLengthCheck)
{
    GatewayRig rig;
    EXPECT_FALSE(rig.gw->EncodeAttachment("missing.csv"));
    EXPECT_EQ(rig.logs.last(), QStringLiteral("ERROR POP 53 File not found"));

    config::Running().LogExtra = true;
    rig.write(config::Running().PathAttachOut + "58.bin", QByteArray(58, 'y'));
    ASSERT_TRUE(rig.gw->EncodeAttachment("58.bin"));
    EXPECT_EQ(rig.logs.last(), QStringLiteral("CHECK: FileLen OK: LastStep = 58, FileLen = 58 for Attachment = '")
                                   + config::Running().PathAttachOut + "58.bin'");
}

TEST(Base64, DecodesGroupsWithPaddingAndWritesTheFile)
{
    GatewayRig rig;
    QString name = "abc.bin";
    load(*rig.gw, {"QUJD", "QUI=", "QQ=="});
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_EQ(rig.read(config::Running().PathAttachIn + "abc.bin"), QByteArray("ABCABA"));
    EXPECT_EQ(rig.gw->CurrentLine, 3);
    EXPECT_EQ(rig.logs.first(), QStringLiteral("OK POP Decoding Base64"));
}

TEST(Base64, LineLengthCorruptionAndPartEnds)
{
    GatewayRig rig;
    const QString in = config::Running().PathAttachIn;
    // Wrapped at 75 columns with blanks about: decoded whole, with one warning for the part.
    const QByteArray data = QByteArray(1000, 'z') + "end";
    const QString text = QString::fromLatin1(data.toBase64());
    QStringList wrapped;
    for (qsizetype i = 0; i < text.size(); i += 75)
        wrapped << text.mid(i, 75) + (i == 0 ? " \t" : "");
    QString name = "wrapped.bin";
    load(*rig.gw, wrapped);
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_EQ(rig.read(in + "wrapped.bin"), data);
    EXPECT_EQ(rig.logs, QStringList({"OK POP Decoding Base64",
                                     "WARNING: non-standard formatting found in attached file: wrapped.bin (18 lines)"}));

    // A bad group keeps the bytes before it.
    name = "bad.bin";
    load(*rig.gw, {"QUJD", "QU*D", "QUJD"});
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_EQ(rig.read(in + "bad.bin"), QByteArray("ABC"));
    // A cut group keeps what its characters hold.
    name = "cut.bin";
    load(*rig.gw, {"QUJDQUI"});
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_EQ(rig.read(in + "cut.bin"), QByteArray("ABCAB"));

    // An empty line ends the data and stays current; a boundary line is given back.
    name = "a.bin";
    load(*rig.gw, {"QUJD", "", "--b"});
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_EQ(rig.gw->CurrentLine, 2);
    name = "b.bin";
    load(*rig.gw, {"QUJD", "QUJD", "--b"});
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_EQ(rig.gw->CurrentLine, 2);
    EXPECT_EQ(rig.read(in + "b.bin"), QByteArray("ABCABC"));
}

TEST(Base64, RoundTripOfBinaryDataThroughEncoderAndDecoder)
{
    GatewayRig rig;
    for (int size : {0, 1, 2, 3, 56, 57, 58, 114, 100003}) {
        const QByteArray data = randomBytes(size, quint32(size) + 1);
        rig.write(config::Running().PathAttachOut + "rt.bin", data);
        ASSERT_TRUE(rig.gw->EncodeAttachment("rt.bin"));
        rig.gw->CurrentLine = 1;
        QString name = "rt.out";
        rig.gw->DecodeBase64Attachment(name);
        EXPECT_EQ(rig.read(config::Running().PathAttachIn + "rt.out"), data) << "size " << size;
    }
}

TEST(Attachments, UnnamedPartsGetFreshNamesAndNeverReplaceAFile)
{
    GatewayRig rig;
    const QString in = config::Running().PathAttachIn;
    // Tuesday 10:00:00.0 gives #3360000; an older file holds that name already.
    rig.clock->set(QDateTime(QDate(2026, 1, 6), QTime(10, 0)));
    rig.write(in + "#3360000.doc", "older");
    QString name;
    load(*rig.gw, {"QUJD"});
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_TRUE(name.startsWith("#33600")) << name.toStdString();
    EXPECT_NE(name, QStringLiteral("#3360000.doc"));
    EXPECT_EQ(rig.read(in + "#3360000.doc"), QByteArray("older"));
    EXPECT_EQ(rig.read(in + name), QByteArray("ABC"));

    // Folder parts of a name from a message do not lead out of the attachment folder.
    name = "../../escape.txt";
    load(*rig.gw, {"QUJD"});
    rig.gw->DecodeBase64Attachment(name);
    EXPECT_EQ(name, QStringLiteral("escape.txt"));
    EXPECT_EQ(rig.read(in + "escape.txt"), QByteArray("ABC"));
}

TEST(QuotedPrintable, SoftAndHardBreaksAndEscapes)
{
    GatewayRig rig;
    QString name = "qp.txt";
    load(*rig.gw, {"caf=E9", "abc=", "def", "x=0D=0A=", "=3D41", "tail=  "});
    rig.gw->DecodeQuotedPrintable(name);
    EXPECT_EQ(rig.read(config::Running().PathAttachIn + "qp.txt"),
              QByteArray("caf\xE9\r\nabcdef\r\nx\r\n=41\r\ntail\r\n"));
    EXPECT_EQ(rig.logs.first(), QStringLiteral("OK POP Creating Quoted-Printable attachment"));
}

TEST(QuotedPrintable, ThirtyEscapesAPieceAndInvalidPairsAndPartEnd)
{
    GatewayRig rig;
    QString line;
    for (int i = 0; i < 31; ++i)
        line += "=41";
    QString name = "many.txt";
    load(*rig.gw, {line, "=4G=G4", "--boundary", "after"});
    rig.gw->DecodeQuotedPrintable(name);
    QByteArray expected = QByteArray(30, 'A') + "=41\r\n" + QByteArray("\x04") + QByteArray(1, '\0') + "\r\n\r\n";
    EXPECT_EQ(rig.read(config::Running().PathAttachIn + "many.txt"), expected);
    EXPECT_EQ(rig.gw->CurrentLine, 2);
}

TEST(TextAttachment, CollectsUntilADashLine)
{
    GatewayRig rig;
    QString name = "note.txt";
    load(*rig.gw, {"line one", "", "line three", "-- ", "not this"});
    rig.gw->SaveTextAttachment(name);
    EXPECT_EQ(rig.read(config::Running().PathAttachIn + "note.txt"), QByteArray("line one\r\n\r\nline three\r\n\r\n"));
    EXPECT_EQ(rig.gw->CurrentLine, 3);
    name = "last.txt";
    load(*rig.gw, {"only"});
    rig.gw->SaveTextAttachment(name);
    EXPECT_EQ(rig.read(config::Running().PathAttachIn + "last.txt"), QByteArray("only\r\n\r\n"));
    EXPECT_EQ(rig.gw->CurrentLine, 1);
}

TEST(ContentLine, CleansQuotesAndCommentsAndReadsTheFields)
{
    GatewayRig rig;
    QString enc, name, boundary;
    QString line = "Content-Disposition: attachment; filename=\"report.pdf\"; size=5";
    rig.gw->ParseContentLine(line, enc, name, boundary);
    EXPECT_EQ(name, QStringLiteral("report.pdf; size=5"));
    EXPECT_EQ(line, QStringLiteral("Content-Disposition: attachment; filename=report.pdf; size=5"));
    EXPECT_TRUE(enc.isEmpty());

    line = "Content-Transfer-Encoding: BASE64 (binary data)";
    rig.gw->ParseContentLine(line, enc, name, boundary);
    EXPECT_EQ(enc, QStringLiteral("BASE64"));
    EXPECT_EQ(line, QStringLiteral("Content-Transfer-Encoding: BASE64 "));
    line = "Content-Transfer-Encoding: Quoted-Printable";
    rig.gw->ParseContentLine(line, enc, name, boundary);
    EXPECT_EQ(enc, QStringLiteral("QUOTED-PRINTABLE"));
    line = "Content-Type: text/plain; name=\"a.txt\"";
    rig.gw->ParseContentLine(line, enc, name, boundary);
    EXPECT_EQ(name, QStringLiteral("a.txt"));
    EXPECT_EQ(enc, QStringLiteral("QUOTED-PRINTABLE"));
    line = "Content-Type: multipart/mixed; boundary=\"==b1==\"";
    rig.gw->ParseContentLine(line, enc, name, boundary);
    EXPECT_EQ(boundary, QStringLiteral("==b1=="));
}

TEST(UniqueName, WeekdayAndTenthsAndNoRepeat)
{
    {
        GatewayRig rig;
        rig.clock->set(QDateTime(QDate(2026, 1, 6), QTime(10, 0)));   // a Tuesday
        EXPECT_EQ(rig.gw->UniqueName(), QStringLiteral("#3360000"));
        // The same tenth of a second: the next one, at once.
        EXPECT_EQ(rig.gw->UniqueName(), QStringLiteral("#3360001"));
        // A replaced gateway goes on after the names of the one before.
        rig.gw = std::make_unique<clsInetGateway>();
        const QString after = rig.gw->UniqueName();
        EXPECT_EQ(after.size(), 8);
        EXPECT_NE(after, QStringLiteral("#3360001"));
    }
    {
        GatewayRig rig;   // a home folder of its own: a sequence of its own
        rig.clock->set(QDateTime(QDate(2026, 1, 6), QTime(0, 0, 1, 500)));
        EXPECT_EQ(rig.gw->UniqueName(), QStringLiteral("#3150000"));
    }
    {
        GatewayRig rig;
        rig.clock->set(QDateTime(QDate(2026, 1, 4), QTime(0, 0)));    // a Sunday, midnight
        EXPECT_EQ(rig.gw->UniqueName(), QStringLiteral("#1000000"));
    }
}

TEST(CheckFileRemoved, SaysWhetherTheFileIsGone)
{
    GatewayRig rig;
    QString there = rig.dir.path() + "/there.txt";
    rig.write(there, "x");
    rig.gw->CheckFileRemoved(there);
    EXPECT_EQ(rig.logs.last(), "ERROR: '" + there + "' fails to remove.");
    QString gone = rig.dir.path() + "/gone.txt";
    rig.gw->CheckFileRemoved(gone);
    EXPECT_EQ(rig.logs.last(), "CHECK: '" + gone + "' is no longer present(or was never present).");
}
