// The part decoders on their own: lines in, bytes and diagnostics out, and where a part ends,
// with no gateway, folder or log.
#include "gateway/Decoders.h"

#include <gtest/gtest.h>

using gateway::Base64Decoder;
using gateway::DecodePart;
using gateway::QuotedPrintableDecoder;
using gateway::TextDecoder;

namespace {

struct Decoded {
    QByteArray bytes;
    qsizetype last;
};

Decoded run(gateway::PartDecoder& d, const QStringList& lines, qsizetype first = 0)
{
    Decoded r;
    r.last = DecodePart(d, lines, first, lines.size(), r.bytes);
    return r;
}

} // namespace

TEST(Decoders, Base64GivesBytesAndStopsAtABlankLineOrBeforeABoundary)
{
    Base64Decoder a;
    Decoded r = run(a, {"QUJD", "QUI=", "QQ==", "", "not base64"});
    EXPECT_EQ(r.bytes, QByteArray("ABCABA"));
    EXPECT_EQ(r.last, 3);   // the blank line ends the part and belongs to it
    EXPECT_EQ(a.oddLines(), 0);
    EXPECT_FALSE(a.corrupt());

    Base64Decoder b;
    r = run(b, {"x", "QUJD", "--boundary", "QUJD"}, 1);
    EXPECT_EQ(r.bytes, QByteArray("ABC"));
    EXPECT_EQ(r.last, 1);   // the boundary is left for the walker

    Base64Decoder c;
    r = run(c, {"--boundary"});
    EXPECT_EQ(r.bytes, QByteArray());
    EXPECT_EQ(r.last, -1);

    Base64Decoder d;
    r = run(d, {"QUJD", "QUJD"});
    EXPECT_EQ(r.bytes, QByteArray("ABCABC"));
    EXPECT_EQ(r.last, 1);   // the lines ran out: the last one is current
}

TEST(Decoders, Base64CountsOddLinesAndStopsAtCorruptData)
{
    Base64Decoder a;
    const QString full = QString::fromLatin1(QByteArray(57, 'z').toBase64());
    Decoded r = run(a, {full.left(75), full.mid(75) + full.left(73), " " + full.mid(73) + "\t"});
    EXPECT_EQ(a.oddLines(), 3);   // blanks count in a line's length
    EXPECT_EQ(r.bytes, QByteArray(57 * 2, 'z'));   // groups run across lines, blanks are no data
    EXPECT_FALSE(a.corrupt());

    Base64Decoder cut;
    r = run(cut, {"QUJDQQ"});
    EXPECT_TRUE(cut.corrupt());   // the last group is unfinished
    EXPECT_EQ(r.bytes, QByteArray("ABCA"));

    Base64Decoder one;
    r = run(one, {"QUJDQ"});
    EXPECT_TRUE(one.corrupt());
    EXPECT_EQ(r.bytes, QByteArray("ABC"));

    Base64Decoder padded;
    r = run(padded, {"QQ==", "QUI="});   // two encoded pieces one after the other
    EXPECT_FALSE(padded.corrupt());
    EXPECT_EQ(r.bytes, QByteArray("AAB"));

    Base64Decoder b;
    r = run(b, {"QUJD", "QU*D", "QUJD"});
    EXPECT_TRUE(b.corrupt());
    EXPECT_EQ(r.bytes, QByteArray("ABC"));
    EXPECT_EQ(r.last, 1);

    Base64Decoder c;
    r = run(c, {"QUJDQ\u0141=="});   // a character beyond Latin-1 is not in the alphabet
    EXPECT_TRUE(c.corrupt());
    EXPECT_EQ(r.bytes, QByteArray("ABC"));
}

TEST(Decoders, QuotedPrintableJoinsSoftBreaksAndEndsWithALineEnd)
{
    QuotedPrintableDecoder q;
    Decoded r = run(q, {"caf=E9 na=", "ive=0D=0A=", "end  ", "--next"});
    EXPECT_EQ(r.bytes, QByteArray("caf\xE9 naive\r\nend  \r\n\r\n"));
    EXPECT_EQ(r.last, 2);
    EXPECT_FALSE(q.corrupt());

    QuotedPrintableDecoder bad;
    run(bad, {"x =G1 y"});
    EXPECT_TRUE(bad.corrupt());
}

TEST(Decoders, TextKeepsLinesAsTheyAreUpToABoundary)
{
    TextDecoder t;
    Decoded r = run(t, {"one", "", "=41 stays", "--b", "after"});
    EXPECT_EQ(r.bytes, QByteArray("one\r\n\r\n=41 stays\r\n\r\n"));
    EXPECT_EQ(r.last, 2);

    TextDecoder empty;
    r = run(empty, {"a"}, 5);
    EXPECT_EQ(r.bytes, QByteArray("\r\n"));
    EXPECT_EQ(r.last, 5);   // nothing to read: the position stays
}
