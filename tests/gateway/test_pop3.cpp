// The POP3 conversation against a loopback transcript server: commands on the wire, the files
// filed, the ScriptPOP events and the log lines, for every reply branch and misbehaviour.
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include "platform/VbDate.h"

#include <gtest/gtest.h>

using tw::test::FakeServer;
using tw::test::GatewayRig;

namespace {

QString shortNow() { return platform::WeekdayName(2, true) + " 09:30"; }

struct PopRig : GatewayRig {
    FakeServer server;
    int scriptRuns = 0;
    QList<QStringList> linesSeen;     // RawLines as each ScriptPOP saw them
    QStringList statesSeen;
    QList<QByteArray> wireSeen;       // what the server had received when each ScriptPOP ran
    PopRig()
    {
        gw->PopServer = QStringLiteral("127.0.0.1");
        gw->POPPort = server.port();
        gw->Password = QStringLiteral("secret");
        QObject::connect(gw.get(), &clsInetGateway::ScriptPOP, [this] {
            ++scriptRuns;
            linesSeen << gw->RawLines.mid(0, gw->RawLinesNumber);
            statesSeen << gw->State();
            wireSeen << server.received();
        });
    }
    // Greeting, USER, PASS and STAT answered with count messages.
    void login(int count)
    {
        server.send("+OK POP3 ready\r\n")
            .expect("USER robot\r\n").send("+OK\r\n")
            .expect("PASS secret\r\n").send("+OK logged in\r\n")
            .expect("STAT\r\n").send("+OK " + QByteArray::number(count) + " 4242\r\n");
    }
    void quit() { server.expect("QUIT\r\n").send("+OK bye\r\n").close(); }
    QStringList msgIn() const { return files(config::Running().PathMsgIn); }
    QStringList msgOut() const { return files(config::Running().PathMsgOut); }
    QString log() const { return logs.join("\n"); }
};

} // namespace

TEST(Pop3, ThreeMessagesTheSecondOversizedAreFiledAndScriptedInTurn)
{
    PopRig rig;
    rig.gw->MessageMax = 1000;
    rig.login(3);
    rig.server.expect("LIST 1\r\n").send("+OK 1 1000\r\n")   // exactly the limit: fetched whole
        .expect("RETR 1\r\n")
        .send("+OK 1000 octets\r\nSubject: one\r\n\r\n..\r\n..dot\r\n+OK is a body line\r\n.\r\n")
        .expect("LIST 2\r\n").send("+OK 2 1001\r\n")
        .expect("TOP 2 40\r\n")
        .sendChunks({"+OK\r\nFrom: Ann <ann@x.test>\r\nTo: robot@tarnwick.test\r\nSub", "ject: big\r\n\r\nfirst line\r\n.\r\n"})
        .expect("LIST 3\r\n").send("+OK 3 10\r\n")
        .expect("RETR 3\r\n").send("+OK\r\nSubject: three\r\n\r\nbody3\r\n.\r\n");
    rig.quit();

    ASSERT_TRUE(rig.runCycle()) << rig.log().toStdString();
    EXPECT_EQ(rig.server.failures(), QStringList());
    ASSERT_EQ(rig.scriptRuns, 3);
    // Status lines dropped, byte-stuffing undone, a body line that starts with "+OK" kept.
    EXPECT_EQ(rig.linesSeen[0], QStringList({"Subject: one", "", ".", ".dot", "+OK is a body line"}));
    EXPECT_EQ(rig.linesSeen[1], QStringList({"From: Ann <ann@x.test>", "To: robot@tarnwick.test", "Subject: big", "", "first line"}));
    EXPECT_EQ(rig.statesSeen, QStringList({"POP", "POP", "POP"}));
    EXPECT_EQ(rig.gw->RawLinesNumber, 0);   // emptied after the last script run

    EXPECT_EQ(rig.msgIn().size(), 3);
    ASSERT_EQ(rig.msgOut().size(), 1);     // the automatic reply to the oversized message
    EXPECT_TRUE(rig.read(config::Running().PathMsgOut + rig.msgOut()[0]).contains("To: Ann <ann@x.test>\r\n"));

    EXPECT_TRUE(rig.logged("OK POP downloading Msg 1 out of 3"));
    EXPECT_TRUE(rig.logged("OK POP dealing with excess size Msg 2 out of 3"));
    EXPECT_TRUE(rig.logged("OK POP downloading Msg 3 out of 3"));
    EXPECT_EQ(rig.logs.last(), "OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: " + shortNow());
    EXPECT_EQ(rig.gw->CurrentMsg, 3);
}

TEST(Pop3, EmptyMailboxQuitsAtOnce)
{
    PopRig rig;
    rig.login(0);
    rig.quit();
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    EXPECT_TRUE(rig.logged("OK POP: Server has NO MESSAGES for collection"));
    EXPECT_EQ(rig.logs.last(), "OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: " + shortNow());
    EXPECT_EQ(rig.scriptRuns, 0);
    EXPECT_EQ(rig.msgIn(), QStringList());
}

TEST(Pop3, DeleteOffServerDeletesAfterFilingAndScriptsAfterTheConfirmation)
{
    PopRig rig;
    rig.gw->DeleteOffServer = true;
    const QByteArray longReply = "+OK " + QByteArray(150, 'x');
    rig.login(2);
    rig.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("+OK\r\nSubject: a\r\n\r\nA\r\n.\r\n")
        .expect("DELE 1\r\n").send(longReply + "\r\n")
        .expect("LIST 2\r\n").send("+OK 2 10\r\n").expect("RETR 2\r\n").send("+OK\r\nSubject: b\r\n\r\nB\r\n.\r\n")
        .expect("DELE 2\r\n").send("+OK deleted\r\n");
    rig.quit();
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    ASSERT_EQ(rig.scriptRuns, 2);
    EXPECT_TRUE(rig.wireSeen[0].endsWith("DELE 1\r\n"));
    EXPECT_TRUE(rig.wireSeen[1].endsWith("DELE 2\r\n"));
    EXPECT_EQ(rig.linesSeen[0], QStringList({"Subject: a", "", "A"}));   // still in hand during the script
    EXPECT_TRUE(rig.logged("POP DELE 1 CONFIRM '" + QString::fromLatin1(longReply.left(100)) + "'"));
    EXPECT_TRUE(rig.logged("POP DELE 2 CONFIRM '+OK deleted'"));
}

TEST(Pop3, AMessageThatWasNotStoredIsLeftOnTheServer)
{
    PopRig rig;
    rig.gw->DeleteOffServer = true;
    QDir(config::Running().PathMsgIn).removeRecursively();
    rig.login(1);
    rig.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("+OK\r\nSubject: a\r\n\r\nA\r\n.\r\n");
    rig.quit();   // no DELE may come before the QUIT
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    EXPECT_TRUE(rig.logged("           Check: necessary subfolders eg \"MsgIn\" are there"));
    EXPECT_TRUE(rig.logged("ERROR POP 76 Can't write file or find folder to write into."));
    EXPECT_TRUE(rig.logged("ERROR POP: message 1 not stored, left on server"));
    EXPECT_EQ(rig.scriptRuns, 1);
    EXPECT_FALSE(rig.server.received().contains("DELE"));
}

TEST(Pop3, EveryNegativeReplyQuitsAndTheCloseIsAnError)
{
    struct Case {
        const char* name;
        std::function<void(PopRig&)> script;
        QString line;
        QString closeLine;
    };
    const std::vector<Case> cases = {
        {"greeting", [](PopRig& r) { r.server.send("-ERR not ready\r\n"); },
         "ERROR POPServer unavail" /* then the date-time */, "ERROR POP STANDBY Socket disconnected unexpectedly."},
        {"user", [](PopRig& r) { r.server.send("+OK\r\n").expect("USER robot\r\n").send("-ERR who\r\n"); },
         "ERROR POP: User not found on server", "ERROR POP STANDBY Socket disconnected unexpectedly."},
        {"pass", [](PopRig& r) {
             r.server.send("+OK\r\n").expect("USER robot\r\n").send("+OK\r\n").expect("PASS secret\r\n").send("-ERR no\r\n");
         }, "ERROR POP: PASSWORD REJECTED by server", "ERROR POP STANDBY Socket disconnected unexpectedly."},
        {"stat", [](PopRig& r) {
             r.server.send("+OK\r\n").expect("USER robot\r\n").send("+OK\r\n").expect("PASS secret\r\n").send("+OK\r\n")
                 .expect("STAT\r\n").send("-ERR\r\n");
         }, "ERROR POP: Lost connection with server", "ERROR POP STANDBY Socket disconnected unexpectedly."},
        {"list", [](PopRig& r) { r.login(1); r.server.expect("LIST 1\r\n").send("-ERR no such message\r\n"); },
         "ERROR POP: Lost connection on LIST", "ERROR POP STANDBY Socket disconnected unexpectedly."},
        {"retr", [](PopRig& r) {
             r.login(1);
             r.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("-ERR message locked\r\n");
         }, "ERROR POP: Lost or incomplete message", "ERROR POP: Socket disconnect prematurely: " + shortNow()},
        {"top", [](PopRig& r) {
             r.gw->MessageMax = 5;
             r.login(1);
             r.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("TOP 1 40\r\n").send("-ERR TOP not supported\r\n");
         }, "ERROR POP: Lost or incomplete message", "ERROR POP: Socket disconnect prematurely: " + shortNow()},
        {"dele", [](PopRig& r) {
             r.gw->DeleteOffServer = true;
             r.login(2);
             r.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("+OK\r\nx\r\n.\r\n")
                 .expect("DELE 1\r\n").send("-ERR cannot\r\n");
         }, "ERROR POP: Lost connection on DELE", "ERROR POP: Socket disconnect prematurely: " + shortNow()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PopRig rig;
        c.script(rig);
        // Whatever the server says after the QUIT is ignored.
        rig.server.expect("QUIT\r\n").send("+OK bye\r\n-ERR odd\r\n").close();
        ASSERT_TRUE(rig.runCycle()) << rig.log().toStdString();
        EXPECT_EQ(rig.server.failures(), QStringList());
        EXPECT_TRUE(rig.loggedStart(c.line)) << rig.log().toStdString();
        EXPECT_EQ(rig.logs.last(), c.closeLine) << rig.log().toStdString();
        EXPECT_EQ(rig.gw->LastCommand, "POP ERROR QUIT");
        EXPECT_EQ(rig.scriptRuns, 0);
        EXPECT_EQ(rig.msgIn().size(), QString(c.name) == "dele" ? 1 : 0);
    }
}

TEST(Pop3, AShortGreetingIsIgnoredAndSplitRepliesAreJoined)
{
    PopRig rig;
    rig.server.send("+O\r\n").pause(60).send("+OK ready\r\n")
        .expect("USER robot\r\n").sendChunks({"+", "OK\r\n"})
        .expect("PASS secret\r\n").send("+OK\r\n")
        .expect("STAT\r\n").send("+OK 1 5\r\n")
        .expect("LIST 1\r\n").send("+OK 1 5\r\n")
        .expect("RETR 1\r\n").sendChunks({"+OK\r\nSubject: s", "plit\r\n\r\nbo", "dy\r\n.", "\r\n"});
    rig.quit();
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    ASSERT_EQ(rig.linesSeen.size(), 1);
    EXPECT_EQ(rig.linesSeen[0], QStringList({"Subject: split", "", "body"}));
}

TEST(Pop3, AServerThatClosesInEachStateEndsTheCycleWithAnErrorLine)
{
    {
        SCOPED_TRACE("logging in");
        PopRig rig;
        rig.server.send("+OK\r\n").expect("USER robot\r\n").close();
        ASSERT_TRUE(rig.runCycle());
        EXPECT_EQ(rig.logs.last(), "ERROR POP STANDBY Socket disconnected unexpectedly.");
    }
    {
        SCOPED_TRACE("downloading: the partial message is not filed");
        PopRig rig;
        rig.login(1);
        rig.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("+OK\r\nSubject: cut\r\n\r\nhalf").close();
        ASSERT_TRUE(rig.runCycle());
        EXPECT_EQ(rig.logs.last(), "ERROR POP MESSAGE DOWNLOADING Socket disconnected unexpectedly.");
        EXPECT_EQ(rig.msgIn(), QStringList());
        EXPECT_EQ(rig.scriptRuns, 0);
    }
    {
        SCOPED_TRACE("deleting");
        PopRig rig;
        rig.gw->DeleteOffServer = true;
        rig.login(1);
        rig.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("+OK\r\nx\r\n.\r\n")
            .expect("DELE 1\r\n").close();
        ASSERT_TRUE(rig.runCycle());
        EXPECT_EQ(rig.logs.last(), "ERROR POP: Socket disconnect prematurely: " + shortNow());
        EXPECT_EQ(rig.msgIn().size(), 1);
    }
    {
        SCOPED_TRACE("quitting");
        PopRig rig;
        rig.login(0);
        rig.server.expect("QUIT\r\n").close();
        ASSERT_TRUE(rig.runCycle());
        EXPECT_EQ(rig.logs.last(), "OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: " + shortNow());
    }
}

TEST(Pop3, LocalDecodeFilesAFileButNotWhileACycleRunsNorFromNothing)
{
    PopRig rig;
    const QString path = rig.dir.path() + "/local.eml";
    rig.write(path, "Subject: local\nTo: a@x.test\n\nline one\r\n+OK stays\n..stays stuffed\n");
    rig.gw->ReturnAddress = "<robot@tarnwick.test>";
    rig.gw->LocalPOPDeCode(path);
    EXPECT_EQ(rig.gw->ReturnAddress, "robot@tarnwick.test");
    ASSERT_EQ(rig.msgIn().size(), 1);
    EXPECT_EQ(rig.read(config::Running().PathMsgIn + rig.msgIn()[0]),
              "Date:\r\nTo: a@x.test\r\nFrom:\r\nSubject: local\r\nCc:\r\nBcc:\r\nX-Attachments:\r\n\r\n"
              "line one\r\n+OK stays\r\n..stays stuffed\r\n");
    EXPECT_EQ(rig.scriptRuns, 0);

    rig.logs.clear();
    rig.gw->LocalPOPDeCode(rig.dir.path() + "/missing.eml");
    rig.write(rig.dir.path() + "/empty.eml", "");
    rig.gw->LocalPOPDeCode(rig.dir.path() + "/empty.eml");
    EXPECT_EQ(rig.logs, QStringList({"ERROR POP: '" + rig.dir.path() + "/missing.eml' cannot be read or is empty; nothing filed",
                                     "ERROR POP: '" + rig.dir.path() + "/empty.eml' cannot be read or is empty; nothing filed"}));
    EXPECT_EQ(rig.msgIn().size(), 1);

    // Busy: the server holds the cycle in its greeting.
    rig.server.silent();
    rig.gw->ProcessStart();
    ASSERT_TRUE(tw::test::waitUntil([&] { return rig.gw->State() == "POP STANDBY"; }));
    rig.logs.clear();
    rig.gw->LocalPOPDeCode(path);
    EXPECT_EQ(rig.logs, QStringList({"GATEWAY BUSY: State = POP STANDBY"}));
    EXPECT_EQ(rig.msgIn().size(), 1);
}

TEST(Pop3, TimeSpentInTheReceiveScriptIsNotServerSilence)
{
    // A receive script that runs a web cycle on a slow page: the poll ticks that run inside
    // its waits find the clock far past the silence bound, yet the server is waiting for us.
    PopRig rig;
    rig.gw->TimeOut = 5;
    QObject::connect(rig.gw.get(), &clsInetGateway::ScriptPOP, [&rig] {
        for (int i = 0; i < 3; ++i) {
            rig.clock->advance(10000);
            rig.gw->tmrSocket_Timer();
        }
    });
    rig.login(2);
    rig.server.expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("+OK\r\nSubject: a\r\n\r\nA\r\n.\r\n")
        .expect("LIST 2\r\n").send("+OK 2 10\r\n").expect("RETR 2\r\n").send("+OK\r\nSubject: b\r\n\r\nB\r\n.\r\n");
    rig.quit();
    ASSERT_TRUE(rig.runCycle()) << rig.log().toStdString();
    EXPECT_EQ(rig.server.failures(), QStringList());
    EXPECT_EQ(rig.scriptRuns, 2);
    EXPECT_FALSE(rig.log().contains("no answer from server")) << rig.log().toStdString();
    EXPECT_TRUE(rig.logs.last().startsWith("OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: "));
}
