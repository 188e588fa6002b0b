// The record of filed messages: the UIDL exchange and what it decides for each message, a
// session cut off before its deletions were final, messages left alone with SkipSeen, a
// server without UIDL; the record file's own updates; and a stop asked for mid-session.
#include "support/ConversationRig.h"
#include "support/QtPrinters.h"

#include "gateway/FiledRecord.h"

#include <gtest/gtest.h>

#include <QDir>

using gateway::Command;
using gateway::FiledRecord;
using gateway::GwState;
using tw::test::ConversationRig;

namespace {

struct Mailbox : ConversationRig {
    int scriptRuns = 0;
    Mailbox()
    {
        gw.Password = "secret";
        gw.MessageMax = 100000;
        gw.PopServer = "pop.test";
        gw.POPPort = 110;
        QObject::connect(&gw, &clsInetGateway::ScriptPOP, [this] { ++scriptRuns; });
    }
    ~Mailbox() { config::Running().SkipSeen = false; }
    // Logs in and answers STAT with count; gives what the gateway said after STAT.
    QByteArray login(int count)
    {
        popLogin();
        return answer("+OK " + QByteArray::number(count) + " 999");
    }
    static QByteArray message(int n) { return "+OK\r\nSubject: m" + QByteArray::number(n) + "\r\n\r\nbody\r\n.\r\n"; }
    QString recordPath() const { return FiledRecord::PathFor(config::Running().PathHome, "pop.test", 110, "robot"); }
    QStringList recordIds() const
    {
        QStringList ids = QString::fromLatin1(tw::test::GatewayRig::read(recordPath())).split('\n', Qt::SkipEmptyParts);
        ids.removeIf([](const QString& l) { return l.startsWith('#'); });
        ids.sort();
        return ids;
    }
    qsizetype filed() const { return rig.files(config::Running().PathMsgIn).size(); }
};

} // namespace

TEST(FiledRecordRules, UidlIsAskedOnlyWhereAMessageMayBeTakenTwiceAndItsAnswersDecide)
{
    struct Row {
        const char* name;
        bool deleteOff;
        bool skipSeen;
        QByteArray afterStat;
    };
    const Row rows[] = {
        {"default: messages are taken as they come", false, false, "LIST 1\r\n"},
        {"DeleteOffServer", true, false, "UIDL\r\n"},
        {"SkipSeen", false, true, "UIDL\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Mailbox m;
        m.gw.DeleteOffServer = r.deleteOff;
        config::Running().SkipSeen = r.skipSeen;
        EXPECT_EQ(m.login(2), r.afterStat);
    }

    // The listing: malformed lines and numbers outside the mailbox are passed over.
    Mailbox m;
    m.gw.DeleteOffServer = true;
    ASSERT_EQ(m.login(2), "UIDL\r\n");
    m.play({{"+OK unique-id listing follows\r\n1 id-a\r\n", ""},
            {"3 id-outside\r\nx\r\n2 \x01" "bad\r\n2 id-b\r\n.\r\n", "LIST 1\r\n"}});
    m.play({{"+OK 1 10\r\n", "RETR 1\r\n"}, {Mailbox::message(1), "DELE 1\r\n"}});
    EXPECT_EQ(m.recordIds(), QStringList({"id-a"}));   // recorded once filed, before the DELE
    EXPECT_TRUE(tw::test::GatewayRig::read(m.recordPath()).startsWith("# pop.test:110 robot\n"));

    // A server without UIDL: one WARNING, then messages are taken as they come.
    Mailbox none;
    none.gw.DeleteOffServer = true;
    ASSERT_EQ(none.login(1), "UIDL\r\n");
    EXPECT_EQ(none.answer("-ERR unknown command"), "LIST 1\r\n");
    EXPECT_EQ(none.lastLog(), "WARNING POP: the server gives no unique ids (UIDL: -ERR unknown command); messages of an "
                              "interrupted session may be filed again");
    none.play({{"+OK 1 10\r\n", "RETR 1\r\n"}, {Mailbox::message(1), "DELE 1\r\n"}, {"+OK\r\n", "QUIT\r\n"}});
    none.gw.Socket_Close();
    none.rig.logs.clear();
    ASSERT_EQ(none.login(1), "UIDL\r\n");
    EXPECT_EQ(none.answer("-ERR unknown command"), "LIST 1\r\n");
    EXPECT_EQ(none.rig.logs, QStringList());   // said once
    EXPECT_FALSE(QFile::exists(none.recordPath()));
}

TEST(FiledRecordRules, AMessageFiledInACutOffSessionIsOnlyDeletedAndGoneIdsAreDropped)
{
    Mailbox m;
    m.gw.DeleteOffServer = true;
    {
        FiledRecord r;
        platform::FileErr err;
        ASSERT_TRUE(r.load(m.recordPath(), "pop.test:110 robot", err));
        ASSERT_TRUE(r.add("id-gone", err));
    }
    // First session: message 1 is filed, then the connection drops before DELE is confirmed
    // (the server keeps it).
    ASSERT_EQ(m.login(2), "UIDL\r\n");
    m.play({{"+OK\r\n1 id-a\r\n2 id-b\r\n.\r\n", "LIST 1\r\n"}, {"+OK 1 10\r\n", "RETR 1\r\n"}, {Mailbox::message(1), "DELE 1\r\n"}});
    EXPECT_EQ(m.recordIds(), QStringList({"id-a"}));   // the id no longer on the server went
    m.gw.Socket_Close();
    EXPECT_EQ(m.filed(), 1);
    EXPECT_EQ(m.scriptRuns, 0);

    // Next session: message 1 is deleted without being filed or scripted again.
    ASSERT_EQ(m.login(2), "UIDL\r\n");
    EXPECT_EQ(m.answer("+OK\r\n1 id-a\r\n2 id-b\r\n."), "DELE 1\r\n");
    EXPECT_EQ(m.lastLog(), "OK POP: message 1 (id id-a) was filed before; deleting it only");
    EXPECT_EQ(m.gw.LastCommand, Command::DeleFiled);
    m.play({{"+OK deleted\r\n", "LIST 2\r\n"}, {"+OK 2 10\r\n", "RETR 2\r\n"}, {Mailbox::message(2), "DELE 2\r\n"},
            {"+OK deleted\r\n", "QUIT\r\n"}});
    EXPECT_TRUE(m.rig.logged("POP DELE 1 CONFIRM '+OK deleted'"));
    EXPECT_EQ(m.filed(), 2);
    EXPECT_EQ(m.scriptRuns, 1);   // message 2 only
    EXPECT_EQ(m.recordIds(), QStringList({"id-a", "id-b"}));
    m.gw.Socket_Close();

    // A refused deletion of such a message ends the session as any refused DELE does.
    ASSERT_EQ(m.login(1), "UIDL\r\n");
    m.play({{"+OK\r\n1 id-b\r\n.\r\n", "DELE 1\r\n"}, {"-ERR locked\r\n", "QUIT\r\n"}});
    EXPECT_EQ(m.lastLog(), "ERROR POP: Lost connection on DELE");
    m.gw.Socket_Close();

    // An empty mailbox: every recorded id is gone.
    EXPECT_EQ(m.login(0), "QUIT\r\n");
    EXPECT_EQ(m.recordIds(), QStringList());
    for (const QString& f : tw::test::GatewayRig::files(config::Running().PathHome))
        EXPECT_FALSE(f.endsWith(".part")) << f.toStdString();
}

TEST(FiledRecordRules, SkipSeenLeavesFiledMessagesAloneWithoutDeleteOffServer)
{
    for (const bool skip : {true, false}) {
        SCOPED_TRACE(skip ? "SkipSeen" : "default");
        Mailbox m;
        config::Running().SkipSeen = skip;
        config::Running().LogExtra = false;
        if (skip) {
            ASSERT_EQ(m.login(3), "UIDL\r\n");
            m.play({{"+OK\r\n1 id-a\r\n2 id-b\r\n3 id-c\r\n.\r\n", "LIST 1\r\n"}});
        } else {
            ASSERT_EQ(m.login(3), "LIST 1\r\n");
        }
        m.play({{"+OK 1 10\r\n", "RETR 1\r\n"}, {Mailbox::message(1), "LIST 2\r\n"},
                {"+OK 2 10\r\n", "RETR 2\r\n"}, {Mailbox::message(2), "LIST 3\r\n"},
                {"+OK 3 10\r\n", "RETR 3\r\n"}, {Mailbox::message(3), "QUIT\r\n"}});
        m.gw.Socket_Close();
        EXPECT_EQ(m.scriptRuns, 3);
        // The next cycle: a new message 2 sits between the two filed ones.
        if (skip) {
            ASSERT_EQ(m.login(3), "UIDL\r\n");
            EXPECT_EQ(m.answer("+OK\r\n1 id-a\r\n2 id-new\r\n3 id-c\r\n."), "LIST 2\r\n");
            m.play({{"+OK 2 10\r\n", "RETR 2\r\n"}, {Mailbox::message(2), "QUIT\r\n"}});
            EXPECT_EQ(m.scriptRuns, 4);
            EXPECT_EQ(m.filed(), 4);
            EXPECT_EQ(m.recordIds(), QStringList({"id-a", "id-c", "id-new"}));
            m.gw.Socket_Close();
            // All filed: nothing is fetched at all.
            ASSERT_EQ(m.login(3), "UIDL\r\n");
            EXPECT_EQ(m.answer("+OK\r\n1 id-a\r\n2 id-new\r\n3 id-c\r\n."), "QUIT\r\n");
            EXPECT_EQ(m.scriptRuns, 4);
        } else {
            ASSERT_EQ(m.login(3), "LIST 1\r\n");   // taken again, as without a record
            EXPECT_FALSE(QFile::exists(m.recordPath()));
        }
    }
}

TEST(FiledRecordRules, TheRecordFileIsAppendedMendedAfterACrashAndReplacedWhole)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    const QString path = FiledRecord::PathFor(folder, "Pop.Test ", 110, "robot");
    // One file per mailbox: server (in any case), port and user make the key.
    EXPECT_EQ(path, FiledRecord::PathFor(folder, "pop.test", 110, "robot"));
    EXPECT_NE(path, FiledRecord::PathFor(folder, "pop.test", 995, "robot"));
    EXPECT_NE(path, FiledRecord::PathFor(folder, "pop.test", 110, "robot2"));
    EXPECT_NE(path, FiledRecord::PathFor(folder, "other.test", 110, "robot"));

    platform::FileErr err;
    FiledRecord r;
    ASSERT_TRUE(r.load(path, "pop.test:110 robot", err));   // no file yet: empty
    EXPECT_EQ(r.size(), 0);
    ASSERT_TRUE(r.add("id-1", err));
    ASSERT_TRUE(r.add("id-2", err));
    ASSERT_TRUE(r.add("id-2", err));
    EXPECT_EQ(tw::test::GatewayRig::read(path), "# pop.test:110 robot\nid-1\nid-2\n");

    // A crash in the middle of an addition leaves a cut last line: it is dropped and the file
    // mended, so the next addition is a line of its own.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("id-3-cut");
    }
    FiledRecord again;
    ASSERT_TRUE(again.load(path, "ignored", err));
    EXPECT_EQ(again.size(), 2);
    EXPECT_FALSE(again.contains("id-3-cut"));
    ASSERT_TRUE(again.add("id-4", err));
    EXPECT_EQ(tw::test::GatewayRig::read(path), "# pop.test:110 robot\nid-1\nid-2\nid-4\n");

    // Dropping ids replaces the file through a work file: no work file is left behind, and
    // nothing is rewritten when nothing went.
    ASSERT_TRUE(again.keepOnly({"id-2", "id-4", "id-9"}, err));
    EXPECT_EQ(tw::test::GatewayRig::read(path), "# pop.test:110 robot\nid-2\nid-4\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({QFileInfo(path).fileName()}));

    // A record that cannot be written (its folder is a regular file) fails with a cause and
    // counts the id as not recorded.
    tw::test::GatewayRig::write(folder + "plain", "x");
    FiledRecord blocked;
    ASSERT_TRUE(blocked.load(folder + "plain/FiledIds-x.txt", "t", err));
    EXPECT_FALSE(blocked.add("id-1", err));
    EXPECT_NE(err.number, 0);
    EXPECT_FALSE(blocked.contains("id-1"));
    EXPECT_TRUE(blocked.keepOnly({}, err));   // nothing to drop, nothing written

    EXPECT_TRUE(gateway::ValidUniqueId(QString(70, 'x')));
    EXPECT_FALSE(gateway::ValidUniqueId(QString(71, 'x')));
    EXPECT_FALSE(gateway::ValidUniqueId("a b"));
    EXPECT_FALSE(gateway::ValidUniqueId(""));
}

TEST(FiledRecordRules, ARecordThatCannotBeWrittenStillDeletesWhatWasFiled)
{
    Mailbox m;
    m.gw.DeleteOffServer = true;
    // The record's place is taken by a folder: it can be neither read nor appended to.
    ASSERT_TRUE(QDir().mkpath(m.recordPath()));
    EXPECT_EQ(m.login(1), "LIST 1\r\n");
    EXPECT_TRUE(m.rig.loggedStart("ERROR POP: the record of filed messages '"));
    m.play({{"+OK 1 10\r\n", "RETR 1\r\n"}, {Mailbox::message(1), "DELE 1\r\n"}});
    EXPECT_EQ(m.filed(), 1);
}

TEST(FiledRecordRules, AStopFinishesTheMessageInHandThenQuits)
{
    Mailbox m;
    m.gw.DeleteOffServer = true;
    ASSERT_EQ(m.login(3), "UIDL\r\n");
    m.play({{"+OK\r\n1 id-a\r\n2 id-b\r\n3 id-c\r\n.\r\n", "LIST 1\r\n"}, {"+OK 1 10\r\n", "RETR 1\r\n"}, {"+OK\r\nSubject: m1\r\n", ""}});
    m.gw.RequestStop();
    EXPECT_EQ(m.lastLog(), "OK POP MESSAGE DOWNLOADING: stop requested; the message in hand is finished, then the server is "
                           "told QUIT");
    m.play({{"\r\nbody\r\n.\r\n", "DELE 1\r\n"}, {"+OK\r\n", "QUIT\r\n"}});
    EXPECT_EQ(m.scriptRuns, 1);
    EXPECT_EQ(m.filed(), 1);
    EXPECT_TRUE(m.rig.logged("OK POP: stopping on request; messages 2 to 3 stay on the server"));
    m.gw.Socket_Close();
    EXPECT_EQ(m.gw.State(), "STANDBY");
    EXPECT_EQ(m.lastLog().left(58), "OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: ");
}
