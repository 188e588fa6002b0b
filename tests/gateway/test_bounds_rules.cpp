// What a peer can make the robot hold, as tables on a recording transport: an endless line, a
// download that runs past the size it was listed with, a peer that drips bytes for ever. Each
// ends the session with an ERROR line, deletes nothing and files nothing.
#include "support/ConversationRig.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using gateway::Command;
using gateway::GwState;
using tw::test::ConversationRig;

namespace {

struct BoundsRig : ConversationRig {
    int scriptRuns = 0;
    BoundsRig()
    {
        gw.Password = "secret";
        gw.MessageMax = 1000;
        gw.DeleteOffServer = true;
        QObject::connect(&gw, &clsInetGateway::ScriptPOP, [this] { ++scriptRuns; });
    }
    void login(int count)
    {
        // With DeleteOffServer the ids of what is filed are kept, so the ids are asked first.
        popLogin();
        play({{"+OK " + QByteArray::number(count) + " 4242\r\n", "UIDL\r\n"}, {uidlListing(count), "LIST 1\r\n"}});
    }
    // Feeds bytes in pieces of the given size until the gateway has let go of the connection.
    qint64 stream(const QByteArray& piece, qint64 upTo)
    {
        qint64 fed = 0;
        while (fed < upTo && link.state == 7) {
            gw.feed(piece);
            fed += piece.size();
        }
        return fed;
    }
    QStringList msgIn() const { return rig.files(config::Running().PathMsgIn); }
    // Afterwards: connection closed, nothing deleted, nothing filed, no script, line buffer free.
    void expectGivenUp()
    {
        EXPECT_EQ(link.state, 0);
        EXPECT_EQ(gw.State(), "STANDBY");
        EXPECT_FALSE(link.sent.contains("DELE"));
        EXPECT_EQ(msgIn(), QStringList());
        EXPECT_EQ(scriptRuns, 0);
        EXPECT_EQ(gw.RawLinesNumber, 0);
        EXPECT_TRUE(gw.ReceiveBuffer.isEmpty());
    }
};

} // namespace

TEST(BoundsRules, ALineLongerThanOneMegabyteEndsTheSessionWhereverItComes)
{
    struct Row {
        const char* name;
        QByteArray before;   // what the server said before the endless line
        QByteArray piece;    // the endless line comes in pieces like this one
    };
    const std::vector<Row> rows = {
        {"in a message, in small pieces", "+OK 1 10\r\n+OK\r\nSubject: a\r\n\r\n", QByteArray(4096, 'x')},
        {"in a message, a CR now and then", "+OK 1 10\r\n+OK\r\n", QByteArray(999, 'y') + '\r'},
        {"as the answer to LIST, in one piece", "", QByteArray(1100000, 'z')},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        BoundsRig t;
        t.login(1);
        t.link.take();
        t.gw.feed(r.before);
        const qint64 fed = t.stream(r.piece, 8 << 20);
        EXPECT_LE(fed, (1 << 20) + 2 * r.piece.size());   // given up as soon as the line is too long
        EXPECT_TRUE(t.rig.loggedStart("ERROR POP"));
        EXPECT_TRUE(t.lastLog().endsWith(": the server sent a line longer than 1048576 bytes; connection closed"));
        t.expectGivenUp();
    }

    // A reply to the sending side: the conversation goes on to receiving, as after any failure.
    BoundsRig t;
    t.at(GwState::Smtp, Command::Mail);
    t.gw.feed(QByteArray(1100000, '2') + "\r\n");
    EXPECT_TRUE(t.rig.logged("ERROR SMTP: the server sent a line longer than 1048576 bytes; connection closed"));
    EXPECT_EQ(t.gw.State(), "STANDBY");   // no POP server set: the cycle ends
}

TEST(BoundsRules, LinesCutAnywhereAreJoinedAsTheyCame)
{
    // The line end is searched only where it has not been yet: a CR at the end of one piece and
    // its LF in the next must still make a line end, and a lone CR stays in the line.
    BoundsRig t;
    t.login(1);
    t.link.take();
    const QByteArray message = "+OK 1 60\r\n+OK\r\nSubject: cut\r\n\r\nkeeps a \r lone CR\r\n..stuffed\r\n.\r\n";
    for (const char c : message)
        t.gw.feed(QByteArray(1, c));
    EXPECT_EQ(t.link.take(), "RETR 1\r\nDELE 1\r\n");
    EXPECT_EQ(t.gw.RawLines, QStringList({"Subject: cut", "", "keeps a \r lone CR", ".stuffed"}));
    ASSERT_EQ(t.msgIn().size(), 1);
}

TEST(BoundsRules, ADownloadFarBeyondItsListedSizeIsLeftOnTheServer)
{
    struct Row {
        const char* name;
        QByteArray list;     // the answer to LIST 1 (MessageMax is 1000)
        QByteArray command;  // what the robot asks for
        qint64 limit;        // bytes of message lines it takes before giving up
    };
    const std::vector<Row> rows = {
        {"listed small, streams on", "+OK 1 1000", "RETR 1\r\n", 2 * 1000 + 65536},
        {"listed without a size", "+OK 1", "RETR 1\r\n", 65536},
        {"oversized, its beginning streams on", "+OK 1 500000000", "TOP 1 40\r\n", 2 * 1000 + 65536},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        BoundsRig t;
        t.login(2);
        EXPECT_EQ(t.answer(r.list), r.command);
        t.gw.feed("+OK\r\nSubject: big\r\n\r\n");
        const QByteArray line = QByteArray(98, 'b') + "\r\n";
        const qint64 fed = t.stream(line, 10 << 20);
        EXPECT_LE(fed, r.limit + line.size());
        EXPECT_GE(fed + 17, r.limit);   // the header lines count too
        EXPECT_EQ(t.lastLog(), "ERROR POP: message 1 runs past " + QString::number(r.limit)
                                   + " bytes, far beyond the size the server listed or MessageMax (1000); left on server, connection closed");
        t.expectGivenUp();
    }

    // An honest server that counts a stored line end as one byte: half again its listed size
    // arrives, and is taken.
    BoundsRig t;
    t.gw.MessageMax = 200000;
    t.login(1);
    EXPECT_EQ(t.answer("+OK 1 100000"), "RETR 1\r\n");
    QByteArray message = "+OK\r\n";
    for (int i = 0; i < 50000; ++i)
        message += "..\r\n";   // a line "." stored in two bytes, counted in three
    t.gw.feed(message + ".\r\n");
    EXPECT_EQ(t.link.take(), "DELE 1\r\n");
    EXPECT_EQ(t.msgIn().size(), 1);
}

TEST(BoundsRules, APeerThatDripsBytesIsCutOffAfterTwentyTimeouts)
{
    BoundsRig t;
    t.gw.TimeOut = 5;   // silence bound 5 s, session bound 100 s
    t.login(1);
    EXPECT_EQ(t.answer("+OK 1 100"), "RETR 1\r\n");
    t.gw.feed("+OK\r\nSubject: slow\r\n\r\n");
    // One byte every 4 seconds is never silence; the session still ends at its bound.
    int seconds = 0;
    while (t.link.state == 7 && seconds < 1000) {
        t.rig.clock->advance(4000);
        seconds += 4;
        t.gw.feed("d");
        t.gw.tmrSocket_Timer();
        if (seconds < 96) {
            ASSERT_EQ(t.link.state, 7) << seconds;
        }
    }
    EXPECT_EQ(seconds, 100);
    EXPECT_TRUE(t.rig.logged("ERROR POP MESSAGE DOWNLOADING: session not finished within 100 seconds (20 x Timeout); connection closed"));
    EXPECT_FALSE(t.rig.loggedStart("ERROR POP MESSAGE DOWNLOADING: no answer"));
    t.expectGivenUp();
}

TEST(BoundsRules, ALargeMessageIsFiledWholeWhileScriptsSeeItsFirstMegabyte)
{
    // Past its first megabyte a message waits on disk, not in memory, until it is filed.
    BoundsRig t;
    t.gw.MessageMax = 8 << 20;
    QStringList seen;
    qint32 seenNumber = 0;
    QObject::connect(&t.gw, &clsInetGateway::ScriptPOP, [&] {
        seenNumber = t.gw.RawLinesNumber;
        seen = {t.gw.RawLine(1), t.gw.RawLine(seenNumber)};
    });
    t.login(1);
    EXPECT_EQ(t.answer("+OK 1 3000000"), "RETR 1\r\n");
    QByteArray data(2 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char((i * 7919) >> 3);
    const QByteArray b64 = data.toBase64();
    QByteArray message = "+OK\r\nSubject: large\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
                         "--B\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
                         "--B\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n"
                         "Content-Transfer-Encoding: base64\r\n\r\n";
    for (qsizetype i = 0; i < b64.size(); i += 76)
        message += b64.mid(i, 76) + "\r\n";
    message += "--B\r\nContent-Type: text/plain\r\n\r\nafter the attachment\r\n--B--\r\n.\r\n";
    for (qsizetype i = 0; i < message.size(); i += 65536)
        t.gw.feed(message.mid(i, 65536));
    EXPECT_EQ(t.link.take(), "DELE 1\r\n");
    EXPECT_EQ(t.rig.files(config::Running().PathAttachIn), QStringList{"big.bin"});
    EXPECT_EQ(t.rig.read(config::Running().PathAttachIn + "big.bin"), data);
    ASSERT_EQ(t.msgIn().size(), 1);   // and no work file of the spool left beside it
    EXPECT_TRUE(t.rig.read(config::Running().PathMsgIn + t.msgIn()[0])
                    .endsWith("see attached\r\nafter the attachment\r\n\r\nAttachment Converted: big.bin\r\n"));
    EXPECT_EQ(t.answer("+OK"), "QUIT\r\n");
    ASSERT_EQ(t.scriptRuns, 1);
    EXPECT_GT(seenNumber, 10000);
    EXPECT_LT(seenNumber, 20000);   // about 1 MB of 78-byte lines
    EXPECT_EQ(seen[0], "Subject: large");
    EXPECT_EQ(seen[1].size(), 76);
}
