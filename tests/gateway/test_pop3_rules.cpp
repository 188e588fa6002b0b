// The POP3 conversation rules as tables, on a recording transport: from the last command and
// one reply line to the bytes sent, the new state and the log; and whole mailboxes played in
// turn with the files filed and the ScriptPOP events.
#include "support/ConversationRig.h"
#include "support/QtPrinters.h"

#include "platform/VbDate.h"

#include <gtest/gtest.h>

using gateway::Command;
using gateway::GwState;
using tw::test::ConversationRig;

namespace {

QString now() { return platform::GeneralDateTime(platform::Now()); }
QString shortNow() { return platform::WeekdayName(2, true) + " 09:30"; }

struct PopTable : ConversationRig {
    int scriptRuns = 0;
    QList<QStringList> linesSeen;   // RawLines as each ScriptPOP saw them
    QStringList statesSeen;
    PopTable()
    {
        gw.Password = "secret";
        gw.MessageMax = 1000;
        QObject::connect(&gw, &clsInetGateway::ScriptPOP, [this] {
            ++scriptRuns;
            linesSeen << gw.RawLines.mid(0, gw.RawLinesNumber);
            statesSeen << gw.State();
        });
    }
    // Greeting, USER, PASS and STAT answered with count messages; with DeleteOffServer also
    // UIDL, answered with the ids "id-1" to "id-<count>".
    void login(int count)
    {
        popLogin();
        const bool ids = gw.DeleteOffServer && count > 0;
        play({{"+OK " + QByteArray::number(count) + " 4242\r\n", ids ? "UIDL\r\n" : count > 0 ? "LIST 1\r\n" : "QUIT\r\n"}});
        if (ids)
            play({{uidlListing(count), "LIST 1\r\n"}});
    }
    QStringList msgIn() const { return rig.files(config::Running().PathMsgIn); }
    QStringList msgOut() const { return rig.files(config::Running().PathMsgOut); }
};

struct Row {
    const char* name;
    GwState state;
    Command last;
    QByteArray reply;
    QByteArray sent;
    GwState newState;
    Command newLast;
    QString log;
};

} // namespace

TEST(Pop3Rules, EachReplyGivesItsCommandStateAndLogLine)
{
    const std::vector<Row> rows = {
        {"greeting", GwState::PopStandby, Command::None, "+OK ready", "USER robot\r\n", GwState::PopStandby, Command::User, ""},
        {"short greeting ignored", GwState::PopStandby, Command::None, "+O", "", GwState::PopStandby, Command::None, ""},
        {"greeting refused", GwState::PopStandby, Command::None, "-ERR not ready", "QUIT\r\n", GwState::PopStandby,
         Command::PopErrorQuit, "ERROR POPServer unavail{now}"},
        {"user accepted", GwState::PopStandby, Command::User, "+OK", "PASS secret\r\n", GwState::PopStandby, Command::Pass, ""},
        {"user refused", GwState::PopStandby, Command::User, "-ERR who", "QUIT\r\n", GwState::PopStandby, Command::PopErrorQuit,
         "ERROR POP: login refused: -ERR who"},
        {"password accepted", GwState::PopStandby, Command::Pass, "+OK in", "STAT\r\n", GwState::PopStandby, Command::Stat, ""},
        {"password refused", GwState::PopStandby, Command::Pass, "-ERR no", "QUIT\r\n", GwState::PopStandby, Command::PopErrorQuit,
         "ERROR POP: login refused: -ERR no"},
        {"messages waiting", GwState::PopStandby, Command::Stat, "+OK 3 4242", "LIST 1\r\n", GwState::PopStandby, Command::List, ""},
        {"empty mailbox", GwState::PopStandby, Command::Stat, "+OK 0 0", "QUIT\r\n", GwState::PopQuit, Command::None,
         "OK POP: Server has NO MESSAGES for collection"},
        {"count refused", GwState::PopStandby, Command::Stat, "-ERR", "QUIT\r\n", GwState::PopStandby, Command::PopErrorQuit,
         "ERROR POP: Lost connection with server"},
        {"size within the limit", GwState::Pop, Command::List, "+OK 1 1000", "RETR 1\r\n", GwState::PopDownloading, Command::Retr,
         "OK POP downloading Msg 1 out of 3"},
        {"size over the limit", GwState::Pop, Command::List, "+OK 1 1001", "TOP 1 40\r\n", GwState::PopDownloading, Command::Top,
         "OK POP dealing with excess size Msg 1 out of 3"},
        {"size refused", GwState::Pop, Command::List, "-ERR no such message", "QUIT\r\n", GwState::Pop, Command::PopErrorQuit,
         "ERROR POP: Lost connection on LIST"},
        {"download refused", GwState::PopDownloading, Command::Retr, "-ERR locked", "QUIT\r\n", GwState::Pop, Command::PopErrorQuit,
         "ERROR POP: Lost or incomplete message"},
        {"deleted", GwState::Pop, Command::Dele, "+OK deleted", "LIST 2\r\n", GwState::Pop, Command::List,
         "POP DELE 1 CONFIRM '+OK deleted'"},
        {"delete refused", GwState::Pop, Command::Dele, "-ERR cannot", "QUIT\r\n", GwState::Pop, Command::PopErrorQuit,
         "ERROR POP: Lost connection on DELE"},
        {"after a refusal nothing is answered", GwState::Pop, Command::PopErrorQuit, "+OK bye", "", GwState::Pop,
         Command::PopErrorQuit, ""},
        {"after the goodbye nothing is answered", GwState::PopQuit, Command::None, "+OK bye", "", GwState::PopQuit, Command::None, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        PopTable t;
        t.at(r.state, r.last);
        t.gw.CurrentMsg = 1;
        t.gw.MsgTotal = 3;
        EXPECT_EQ(t.answer(r.reply), r.sent);
        EXPECT_EQ(t.gw.stateId(), r.newState);
        EXPECT_EQ(t.gw.LastCommand, r.newLast);
        EXPECT_EQ(t.lastLog(), QString(r.log).replace("{now}", now()));
    }
}

TEST(Pop3Rules, ThreeMessagesTheSecondOversizedAreFiledAndScriptedInTurn)
{
    PopTable t;
    t.login(3);
    t.play({
        {"+OK 1 1000\r\n", "RETR 1\r\n"},   // exactly the limit: fetched whole
        {"+OK 1000 octets\r\nSubject: one\r\n\r\n..\r\n..dot\r\n+OK is a body line\r\n.\r\n", "LIST 2\r\n"},
        {"+OK 2 1001\r\n", "TOP 2 40\r\n"},
        {"+OK\r\nFrom: Ann <ann@x.test>\r\nTo: robot@tarnwick.test\r\nSub", ""},
        {"ject: big\r\n\r\nfirst line\r\n.\r\n", "LIST 3\r\n"},
        {"+OK 3 10\r\n", "RETR 3\r\n"},
        {"+OK\r\nSubject: three\r\n\r\nbody3\r\n.\r\n", "QUIT\r\n"},
    });
    ASSERT_EQ(t.scriptRuns, 3);
    // Status lines dropped, byte-stuffing undone, a body line that starts with "+OK" kept.
    EXPECT_EQ(t.linesSeen[0], QStringList({"Subject: one", "", ".", ".dot", "+OK is a body line"}));
    EXPECT_EQ(t.linesSeen[1], QStringList({"From: Ann <ann@x.test>", "To: robot@tarnwick.test", "Subject: big", "", "first line"}));
    EXPECT_EQ(t.statesSeen, QStringList({"POP", "POP", "POP"}));
    EXPECT_EQ(t.gw.RawLinesNumber, 0);   // emptied after the last script run
    EXPECT_EQ(t.gw.State(), "POP QUIT");
    EXPECT_EQ(t.msgIn().size(), 3);
    ASSERT_EQ(t.msgOut().size(), 1);     // the automatic reply to the oversized message
    EXPECT_TRUE(t.rig.read(config::Running().PathMsgOut + t.msgOut()[0]).contains("To: Ann <ann@x.test>\r\n"));
    EXPECT_TRUE(t.rig.logged("OK POP downloading Msg 1 out of 3"));
    EXPECT_TRUE(t.rig.logged("OK POP dealing with excess size Msg 2 out of 3"));
    EXPECT_EQ(t.gw.CurrentMsg, 3);
    t.gw.Socket_Close();
    EXPECT_EQ(t.lastLog(), "OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: " + shortNow());
}

TEST(Pop3Rules, DeleteOffServerDeletesAfterFilingAndScriptsAfterTheConfirmation)
{
    PopTable t;
    t.gw.DeleteOffServer = true;
    const QByteArray longReply = "+OK " + QByteArray(150, 'x');
    t.login(2);
    t.play({{"+OK 1 10\r\n", "RETR 1\r\n"}, {"+OK\r\nSubject: a\r\n\r\nA\r\n.\r\n", "DELE 1\r\n"}});
    EXPECT_EQ(t.scriptRuns, 0);   // the script runs once the server has confirmed the deletion
    EXPECT_EQ(t.answer(longReply), "LIST 2\r\n");
    EXPECT_EQ(t.scriptRuns, 1);
    EXPECT_EQ(t.linesSeen[0], QStringList({"Subject: a", "", "A"}));   // still in hand during the script
    t.play({{"+OK 2 10\r\n", "RETR 2\r\n"}, {"+OK\r\nSubject: b\r\n\r\nB\r\n.\r\n", "DELE 2\r\n"}});
    EXPECT_EQ(t.scriptRuns, 1);
    EXPECT_EQ(t.answer("+OK deleted"), "QUIT\r\n");
    EXPECT_EQ(t.scriptRuns, 2);
    EXPECT_TRUE(t.rig.logged("POP DELE 1 CONFIRM '" + QString::fromLatin1(longReply.left(100)) + "'"));
    EXPECT_TRUE(t.rig.logged("POP DELE 2 CONFIRM '+OK deleted'"));
}

TEST(Pop3Rules, AMessageThatWasNotStoredIsLeftOnTheServer)
{
    PopTable t;
    t.gw.DeleteOffServer = true;
    QDir(config::Running().PathMsgIn).removeRecursively();
    t.login(1);
    t.play({{"+OK 1 10\r\n", "RETR 1\r\n"}, {"+OK\r\nSubject: a\r\n\r\nA\r\n.\r\n", "QUIT\r\n"}});
    EXPECT_TRUE(t.rig.logged("           Check: necessary subfolders eg \"MsgIn\" are there"));
    EXPECT_TRUE(t.rig.loggedStart("ERROR POP 76 Can't write file or find folder to write into: Path not found: '"
                                  + config::Running().PathMsgIn));
    EXPECT_TRUE(t.rig.logged("ERROR POP: message 1 not stored, left on server"));
    EXPECT_EQ(t.scriptRuns, 0);   // nothing to run it on
}

TEST(Pop3Rules, ARefusedDownloadDropsWhatFollowsAndFilesNothing)
{
    PopTable t;
    t.login(1);
    t.play({{"+OK 1 10\r\n", "RETR 1\r\n"}, {"-ERR message locked\r\nSubject: not a message\r\n", "QUIT\r\n"}});
    EXPECT_EQ(t.answer("Subject: still not"), "");
    EXPECT_EQ(t.msgIn(), QStringList());
    EXPECT_EQ(t.scriptRuns, 0);
    t.gw.Socket_Close();
    EXPECT_EQ(t.lastLog(), "ERROR POP: Socket disconnect prematurely: " + shortNow());
}

TEST(Pop3Rules, LocalDecodeFilesAFileButNotWhileACycleRunsNorFromNothing)
{
    PopTable t;
    const QString path = t.rig.dir.path() + "/local.eml";
    t.rig.write(path, "Subject: local\nTo: a@x.test\n\nline one\r\n+OK stays\n..stays stuffed\n");
    t.gw.ReturnAddress = "<robot@tarnwick.test>";
    t.gw.LocalPOPDeCode(path);
    EXPECT_EQ(t.gw.ReturnAddress, "robot@tarnwick.test");
    ASSERT_EQ(t.msgIn().size(), 1);
    EXPECT_EQ(t.rig.read(config::Running().PathMsgIn + t.msgIn()[0]),
              "Date:\r\nTo: a@x.test\r\nFrom:\r\nSubject: local\r\nCc:\r\nBcc:\r\nX-Attachments:\r\n\r\n"
              "line one\r\n+OK stays\r\n..stays stuffed\r\n");
    EXPECT_EQ(t.scriptRuns, 0);

    t.rig.logs.clear();
    t.gw.LocalPOPDeCode(t.rig.dir.path() + "/missing.eml");
    t.rig.write(t.rig.dir.path() + "/empty.eml", "");
    t.gw.LocalPOPDeCode(t.rig.dir.path() + "/empty.eml");
    EXPECT_EQ(t.rig.logs, QStringList({"ERROR POP: '" + t.rig.dir.path() + "/missing.eml' cannot be read or is empty; nothing filed",
                                       "ERROR POP: '" + t.rig.dir.path() + "/empty.eml' cannot be read or is empty; nothing filed"}));
    EXPECT_EQ(t.msgIn().size(), 1);

    // Busy: the cycle waits for the server's greeting.
    t.gw.PopServer = "pop.test";
    t.gw.POPPort = 1100;
    t.gw.ProcessStart();
    ASSERT_EQ(t.gw.State(), "POP STANDBY");
    t.rig.logs.clear();
    t.gw.LocalPOPDeCode(path);
    EXPECT_EQ(t.rig.logs, QStringList({"GATEWAY BUSY: State = POP STANDBY"}));
    EXPECT_EQ(t.msgIn().size(), 1);
}

TEST(Pop3Rules, AnAttachmentOfAMessageTakenWithTopIsMarkedPartial)
{
    const QByteArray message = "+OK\r\nSubject: big\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
                               "--B\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
                               "--B\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\nQUJD\r\n.\r\n";
    for (const Command how : {Command::Top, Command::Retr}) {
        SCOPED_TRACE(gateway::CommandText(how).toStdString());
        PopTable t;
        t.at(GwState::PopDownloading, how);
        t.gw.CurrentMsg = 1;
        t.gw.MsgTotal = 1;
        EXPECT_EQ(t.answer(message.chopped(2)), "QUIT\r\n");
        const QString name = how == Command::Top ? "data.bin.partial" : "data.bin";
        EXPECT_EQ(t.rig.files(config::Running().PathAttachIn), QStringList{name});
        EXPECT_EQ(t.rig.read(config::Running().PathAttachIn + name), "ABC");
        ASSERT_EQ(t.msgIn().size(), 1);
        EXPECT_TRUE(t.rig.read(config::Running().PathMsgIn + t.msgIn()[0]).endsWith("\r\nAttachment Converted: " + name.toLatin1() + "\r\n"));
        EXPECT_EQ(t.gw.AttachFile(1), name);
    }
}

TEST(Pop3Rules, TimeSpentInTheReceiveScriptIsNotServerSilence)
{
    // A receive script that runs a web cycle on a slow page: the poll ticks that run inside
    // its waits find the clock far past the silence bound, yet the server is waiting for us.
    PopTable t;
    t.gw.TimeOut = 5;
    QObject::connect(&t.gw, &clsInetGateway::ScriptPOP, [&t] {
        for (int i = 0; i < 3; ++i) {
            t.rig.clock->advance(10000);
            t.gw.tmrSocket_Timer();
        }
    });
    t.login(2);
    t.play({{"+OK 1 10\r\n", "RETR 1\r\n"},
            {"+OK\r\nSubject: a\r\n\r\nA\r\n.\r\n", "LIST 2\r\n"},
            {"+OK 2 10\r\n", "RETR 2\r\n"},
            {"+OK\r\nSubject: b\r\n\r\nB\r\n.\r\n", "QUIT\r\n"}});
    EXPECT_EQ(t.scriptRuns, 2);
    EXPECT_EQ(t.link.state, 7);   // still connected
    EXPECT_FALSE(t.rig.loggedStart("ERROR POP: no answer from server"));
    EXPECT_FALSE(t.rig.loggedStart("ERROR POP MESSAGE DOWNLOADING: no answer"));
}
