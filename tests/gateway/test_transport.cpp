// What the transport itself does, over a real loopback socket against a transcript server:
// replies split over packets, stalls, closes at every point, silence and refused connections.
// The conversation rules are in the table tests beside this file.
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include "platform/VbDate.h"

#include <gtest/gtest.h>

using tw::test::FakeServer;
using tw::test::GatewayRig;
using tw::test::waitUntil;

namespace {

QString now() { return platform::GeneralDateTime(platform::Now()); }
QString shortNow() { return platform::WeekdayName(2, true) + " 09:30"; }

void greet(FakeServer& s)
{
    s.send("220 fake.test ESMTP\r\n").expect("HELO tarnwick.test\r\n").send("250 fake.test\r\n");
}

// One accepted mail transaction.
void transaction(FakeServer& s, const QList<QByteArray>& recipients)
{
    s.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n");
    for (const QByteArray& r : recipients)
        s.expect("RCPT TO: " + r + "\r\n").send("250 ok\r\n");
    s.expect("DATA\r\n").send("354 go ahead\r\n").expectMessage().send("250 queued\r\n");
}

void goodbye(FakeServer& s) { s.expect("QUIT\r\n").send("221 bye\r\n").close(); }

struct SmtpRig : GatewayRig {
    FakeServer server;
    SmtpRig() { gw->SMTPPort = server.port(); }
    QString out(const QString& name) const { return config::Running().PathMsgOut + name; }
};

struct PopRig : GatewayRig {
    FakeServer server;
    int scriptRuns = 0;
    QList<QStringList> linesSeen;     // RawLines as each ScriptPOP saw them
    PopRig()
    {
        gw->PopServer = QStringLiteral("127.0.0.1");
        gw->POPPort = server.port();
        gw->Password = QStringLiteral("secret");
        QObject::connect(gw.get(), &clsInetGateway::ScriptPOP, [this] {
            ++scriptRuns;
            linesSeen << gw->RawLines.mid(0, gw->RawLinesNumber);
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
};

} // namespace

TEST(SmtpTransport, GreetingRulesSplitRepliesAndMultiLineReplies)
{
    SmtpRig rig;
    rig.write(rig.out("m1.txt"), "To: a@x.test\r\n\r\nbody\r\n");
    // A two-line greeting in one chunk is answered once; a reply split over two chunks
    // waits for its end; only the last line of a multi-line reply answers a command.
    rig.server.send("220-fake.test welcome\r\n220 fake.test ready\r\n")
        .expect("HELO tarnwick.test\r\n")
        .sendChunks({"250-fake.test\r\n25", "0 SIZE 1000\r\n"})
        .expect("MAIL FROM: <robot@tarnwick.test>\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO: <a@x.test>\r\n")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go\r\n")
        .expectMessage()
        .send("250-queued\r\n250 as 12\r\n");
    goodbye(rig.server);
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    EXPECT_EQ(rig.server.received().count("HELO"), 1);
    EXPECT_EQ(rig.server.received().count("QUIT"), 1);
    EXPECT_FALSE(QFile::exists(rig.out("m1.txt")));
}

TEST(SmtpTransport, CloseMidDataKeepsTheMessageAndGoesOn)
{
    SmtpRig rig;
    rig.write(rig.out("m1.txt"), "To: a@x.test\r\n\r\nbody\r\n");
    greet(rig.server);
    rig.server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n")
        .expect("RCPT TO: <a@x.test>\r\n").send("250 ok\r\n")
        .expect("DATA\r\n").send("354 go\r\n").expect("To: a@x.test\r\n").close();
    ASSERT_TRUE(rig.runCycle());
    EXPECT_TRUE(rig.logged("WARNING SMTP: Socket disconnect prematurely, will try POP: " + platform::WeekdayName(2, true) + " 09:30"));
    EXPECT_TRUE(QFile::exists(rig.out("m1.txt")));
    EXPECT_EQ(rig.gw->State(), QStringLiteral("STANDBY"));
}

TEST(SmtpTransport, SilentServerIsGivenUpAfterTheTimeOut)
{
    SmtpRig rig;
    rig.write(rig.out("m1.txt"), "To: a@x.test\r\n\r\nbody\r\n");
    greet(rig.server);
    rig.server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").silent();
    rig.gw->ProcessStart();
    ASSERT_TRUE(waitUntil([&] { return rig.server.received().contains("MAIL FROM"); }));
    // A second start is refused while the cycle runs.
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.logs.last(), QStringLiteral("SERVICE NOT AVAILABLE UNTIL LATER: the gateway has unfinished business and "
                                              "is not available at the moment.  Its current state = SMTP"));
    rig.clock->advance(49 * 1000);
    EXPECT_FALSE(waitUntil([&] { return rig.gw->State() == QLatin1String("STANDBY"); }, 200));
    rig.clock->advance(1000);
    ASSERT_TRUE(waitUntil([&] { return rig.gw->State() == QLatin1String("STANDBY"); }));
    EXPECT_TRUE(rig.logged("ERROR SMTP: no answer from server for 50 seconds"));
    EXPECT_TRUE(rig.loggedStart("WARNING SMTP: Socket disconnect prematurely, will try POP: "));
    EXPECT_TRUE(QFile::exists(rig.out("m1.txt")));
}

TEST(SmtpTransport, RefusedOrUnknownServerIsNamedAndLeavesTheFilesInPlace)
{
    GatewayRig rig;
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    const QString where = "127.0.0.1:" + QString::number(port);
    rig.gw->SMTPPort = port;
    rig.gw->PopServer = "127.0.0.1";
    rig.gw->POPPort = port;
    rig.write(config::Running().PathMsgOut + "m1.txt", "To: a@x.test\r\n\r\nbody\r\n");
    // The refusal comes after the connect was under way: a close, and on to the POP phase,
    // which is refused in turn.
    ASSERT_TRUE(rig.runCycle());
    EXPECT_TRUE(rig.logged("WARNING SMTP: cannot connect to " + where + ": Connection refused, will try POP: "
                           + platform::WeekdayName(2, true) + " 09:30"))
        << rig.logs.join("\n").toStdString();
    EXPECT_EQ(rig.logs.last(), "ERROR POP STANDBY: cannot connect to " + where + ": Connection refused");
    EXPECT_TRUE(QFile::exists(config::Running().PathMsgOut + "m1.txt"));

    rig.logs.clear();
    rig.gw->SMTPServer = "";
    rig.gw->PopServer = "";
    ASSERT_TRUE(rig.runCycle());
    EXPECT_TRUE(rig.logged("ERROR SMTP STANDBY: cannot connect to :" + QString::number(port) + ": Host not found " + now()))
        << rig.logs.join("\n").toStdString();
    EXPECT_TRUE(QFile::exists(config::Running().PathMsgOut + "m1.txt"));
}

TEST(SmtpTransport, PopServerIsReachedAfterSendingAndTheCycleEndsCleanly)
{
    SmtpRig rig;
    FakeServer pop;
    rig.gw->PopServer = "127.0.0.1";
    rig.gw->POPPort = pop.port();
    pop.send("+OK ready\r\n").expect("USER robot\r\n").send("+OK\r\n").expect("PASS \r\n").send("+OK\r\n")
        .expect("STAT\r\n").send("+OK 0 0\r\n").expect("QUIT\r\n").send("+OK bye\r\n").close();
    rig.write(rig.out("m1.txt"), "To: a@x.test\r\n\r\nbody\r\n");
    greet(rig.server);
    transaction(rig.server, {"<a@x.test>"});
    goodbye(rig.server);
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(pop.failures(), QStringList());
    EXPECT_EQ(pop.connections(), 1);
    EXPECT_EQ(rig.logs.last(), "OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: " + platform::WeekdayName(2, true) + " 09:30");
}
TEST(PopTransport, AShortGreetingIsIgnoredAndSplitRepliesAreJoined)
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

TEST(PopTransport, AServerThatClosesInEachStateEndsTheCycleWithAnErrorLine)
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
        rig.server.expect("UIDL\r\n").send("+OK\r\n1 id-1\r\n.\r\n").expect("LIST 1\r\n").send("+OK 1 10\r\n").expect("RETR 1\r\n").send("+OK\r\nx\r\n.\r\n")
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

