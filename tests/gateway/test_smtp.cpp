// The SMTP conversation against a loopback transcript server: the exact bytes sent, the
// files left in each folder and the log lines, for every reply branch and misbehaviour.
#include "support/GatewayRig.h"

#include "platform/VbDate.h"

#include <gtest/gtest.h>

using tw::test::FakeServer;
using tw::test::GatewayRig;
using tw::test::waitUntil;

namespace {

const QChar k254(0xFE);

QString now() { return platform::GeneralDateTime(platform::Now()); }

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

} // namespace

TEST(Smtp, SendsEveryMessageOverOneConnectionAndDeletesWhatWasAccepted)
{
    SmtpRig rig;
    auto& rc = config::Running();
    rig.write(rig.out("m1.txt"), "To: a@x.test\r\nbcC: hidden@x.test\r\nSubject: one\r\n\r\n.\r\n.lead\r\nBcc: body line\r\n");
    rig.write(rig.out("m2.txt"), "To: b@x.test, c@x.test; d@x.test\r\nX-Attachments: att.csv\r\n\r\nbody2\r\n");
    rig.write(rc.PathAttachOut + "att.csv", "1,2\r\n");
    greet(rig.server);
    transaction(rig.server, {"<a@x.test>", "<hidden@x.test>"});
    transaction(rig.server, {"<b@x.test>", "<c@x.test>", "<d@x.test>"});
    goodbye(rig.server);

    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    ASSERT_EQ(rig.server.messages().size(), 2);
    // Dot-stuffing, and the blind copy line left out of the header only.
    EXPECT_EQ(rig.server.messages()[0], QByteArray("To: a@x.test\r\nSubject: one\r\n\r\n..\r\n..lead\r\nBcc: body line\r\n.\r\n"));
    EXPECT_TRUE(rig.server.messages()[1].contains("Content-Disposition: attachment; filename=\"att.csv\"\r\n\r\nMSwyDQo=\r\n"));
    EXPECT_EQ(rig.files(rc.PathMsgOut), QStringList());
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList());

    EXPECT_TRUE(rig.logged("OK SMTP connected and sending first message " + now()));
    EXPECT_TRUE(rig.logged("SMTP SENT OK FROM: robot  TO: <a@x.test>" + QString(k254) + "<hidden@x.test> " + now()));
    EXPECT_TRUE(rig.logged("SMTP finished OK: 2 sent. " + now()));
    EXPECT_TRUE(rig.logged("OK SMTP END"));
    EXPECT_EQ(rig.logs.last(), "OK END: INTERNET EMAIL send-only connection SUCCESSFULLY COMPLETED: " + platform::WeekdayName(2, true) + " 09:30");
}

TEST(Smtp, GreetingRulesSplitRepliesAndMultiLineReplies)
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

TEST(Smtp, RefusedFirstRecipientBouncesAndTheNextMessageJoinsTheTransaction)
{
    SmtpRig rig;
    auto& rc = config::Running();
    rig.write(rig.out("m1.txt"), "To: bad@x.test\r\nFrom: <robot@tarnwick.test>\r\nSubject: one\r\n\r\nbody1\r\n");
    rig.write(rig.out("m2.txt"), "To: good@x.test\r\n\r\nbody2\r\n");
    greet(rig.server);
    rig.server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n")
        .expect("RCPT TO: <bad@x.test>\r\n").send("550 no such user\r\n")
        .expect("RCPT TO: <good@x.test>\r\n").send("250 ok\r\n")
        .expect("DATA\r\n").send("354 go\r\n").expectMessage().send("250 ok\r\n");
    goodbye(rig.server);
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    EXPECT_TRUE(rig.logged("ERROR SMTP: 550 no such user"));
    EXPECT_EQ(rig.files(rc.PathMsgOut), QStringList());
    EXPECT_EQ(rig.read(rc.PathMsgIn + "m1.txt"),
              QByteArray("From: bad@x.test\r\nTo: <robot@tarnwick.test>\r\nSubject: one\r\n\r\nbody1\r\n"
                         "***** CANNOT SEND THIS MESSAGE *********** \r\nSorry, but the internet email server refuses to \r\n"
                         "accept this message.  This usually happens when \r\nthere is something wrong with the To: address..\r\n"
                         "Correct it and try again, or ask your Postmaster\r\nabout it.\r\n\r\nKind Regards,\r\nThe System Robot\r\n"));
    EXPECT_TRUE(rig.server.messages().value(0).endsWith("body2\r\n.\r\n"));
}

TEST(Smtp, RefusedLaterRecipientStartsAFreshTransactionAndBounceKeepsEarlierNotes)
{
    SmtpRig rig;
    auto& rc = config::Running();
    rig.write(rig.out("m1.txt"), "To: ok@x.test, bad@x.test\r\n\r\nsecret for ok only\r\n");
    rig.write(rig.out("m2.txt"), "To: other@x.test\r\n\r\nbody2\r\n");
    rig.write(rc.PathMsgIn + "m1.txt", "an earlier received message");
    greet(rig.server);
    rig.server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n")
        .expect("RCPT TO: <ok@x.test>\r\n").send("250 ok\r\n")
        .expect("RCPT TO: <bad@x.test>\r\n").send("553 refused\r\n")
        .expect("RSET\r\n").send("250 reset\r\n");
    transaction(rig.server, {"<other@x.test>"});
    goodbye(rig.server);
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    EXPECT_EQ(rig.read(rc.PathMsgIn + "m1.txt"), QByteArray("an earlier received message"));
    const QStringList notes = rig.files(rc.PathMsgIn);
    ASSERT_EQ(notes.size(), 2);
    EXPECT_TRUE(rig.read(rc.PathMsgIn + notes[0]).contains("CANNOT SEND THIS MESSAGE"));
}

TEST(Smtp, Reply421KeepsTheMessageAndDropsOnlyTheRawAttachment)
{
    SmtpRig rig;
    auto& rc = config::Running();
    rig.write(rig.out("m1.txt"), "To: a@x.test\r\nX-Attachments: raw.csv\r\n\r\nbody\r\n");
    rig.write(rig.out("m2.txt"), "To: b@x.test\r\n\r\nbody\r\n");
    rig.write(rc.PathAttachOut + "raw.csv", "data");
    greet(rig.server);
    rig.server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n")
        .expect("RCPT TO: <a@x.test>\r\n").send("250 ok\r\n")
        .expect("DATA\r\n").send("421 closing down\r\n");
    goodbye(rig.server);
    ASSERT_TRUE(rig.runCycle());
    EXPECT_EQ(rig.server.failures(), QStringList());
    EXPECT_TRUE(rig.logged("Error 421 handler: preserving encoded message for try again, deleting its raw source."));
    EXPECT_EQ(rig.files(rc.PathMsgOut), (QStringList{"m1.txt", "m2.txt"}));
    EXPECT_TRUE(rig.read(rig.out("m1.txt")).contains("ZGF0YQ=="));
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList());
    EXPECT_EQ(rig.files(rc.PathMsgIn), QStringList());
}

TEST(Smtp, Forwarding551AndErrorToHelo)
{
    {
        SmtpRig rig;
        rig.write(rig.out("m1.txt"), "To: old@x.test\r\n\r\nbody\r\n");
        greet(rig.server);
        rig.server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n")
            .expect("RCPT TO: <old@x.test>\r\n").send("551 User not local; please try <new@y.test>\r\n")
            .expect("RCPT TO: new@y.test\r\n").send("250 ok\r\n")
            .expect("DATA\r\n").send("354 go\r\n").expectMessage().send("250 ok\r\n");
        goodbye(rig.server);
        ASSERT_TRUE(rig.runCycle());
        EXPECT_EQ(rig.server.failures(), QStringList());
        EXPECT_TRUE(rig.logged("ERROR 551 SMTP Change TO: new@y.test"));
        EXPECT_FALSE(QFile::exists(rig.out("m1.txt")));
    }
    {
        SmtpRig rig;
        rig.write(rig.out("m1.txt"), "To: old@x.test\r\n\r\nbody\r\n");
        greet(rig.server);
        rig.server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n")
            .expect("RCPT TO: <old@x.test>\r\n").send("551 User not local\r\n");
        goodbye(rig.server);
        ASSERT_TRUE(rig.runCycle());
        EXPECT_TRUE(rig.logged("ERROR 551 and can't make sense of details: "));
        EXPECT_TRUE(QFile::exists(rig.out("m1.txt")));
    }
    {
        SmtpRig rig;
        rig.write(rig.out("m1.txt"), "To: a@x.test\r\n\r\nbody\r\n");
        rig.server.send("220 fake\r\n").expect("HELO tarnwick.test\r\n").send("501 who are you\r\n");
        goodbye(rig.server);
        ASSERT_TRUE(rig.runCycle());
        EXPECT_EQ(rig.server.failures(), QStringList());
        EXPECT_TRUE(rig.logged("ERROR SMTP: 501 who are you"));
        EXPECT_TRUE(QFile::exists(rig.out("m1.txt")));
        EXPECT_EQ(rig.files(config::Running().PathMsgIn), QStringList());
    }
}

TEST(Smtp, CloseMidDataKeepsTheMessageAndGoesOn)
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

TEST(Smtp, SilentServerIsGivenUpAfterTheTimeOut)
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

TEST(Smtp, RefusedOrUnknownServerLeavesTheFilesInPlace)
{
    GatewayRig rig;
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    rig.gw->SMTPPort = port;
    rig.write(config::Running().PathMsgOut + "m1.txt", "To: a@x.test\r\n\r\nbody\r\n");
    // The refusal comes after the connect was under way: a close, and on to the POP phase.
    ASSERT_TRUE(rig.runCycle());
    EXPECT_TRUE(rig.logged("WARNING SMTP: Socket disconnect prematurely, will try POP: " + platform::WeekdayName(2, true) + " 09:30"))
        << rig.logs.join("\n").toStdString();
    EXPECT_TRUE(QFile::exists(config::Running().PathMsgOut + "m1.txt"));

    rig.logs.clear();
    rig.gw->SMTPServer = "";
    ASSERT_TRUE(rig.runCycle());
    EXPECT_TRUE(rig.logged("ERROR SMTP STANDBY: Error: Host not found " + now())) << rig.logs.join("\n").toStdString();
    EXPECT_TRUE(QFile::exists(config::Running().PathMsgOut + "m1.txt"));
}

TEST(Transport, TextWhileIdleIsLoggedOrRecoversAConversation)
{
    GatewayRig rig;
    FakeServer server;
    server.send("hello there\r\nsecond\r\n").pause(100).send("220 late greeting\r\n").expect("HELO tarnwick.test\r\n").silent();
    rig.gw->TargetHost = "127.0.0.1";
    rig.gw->TargetPort = server.port();
    ASSERT_EQ(rig.gw->SocketConnect(), QStringLiteral("OK"));
    ASSERT_TRUE(waitUntil([&] { return server.finished() || server.received().contains("HELO"); }));
    EXPECT_TRUE(rig.logged("ERROR STANDBY: DATA_ARRIVAL Unexpected Message, hello there\r\nsecond\r\n"));
    EXPECT_TRUE(rig.logged("ERROR STANDBY: DATA_ARRIVAL Unexpected Message, second\r\n"));
    EXPECT_EQ(rig.gw->State(), QStringLiteral("SMTP"));
    EXPECT_EQ(server.failures(), QStringList());
}

TEST(Transport, PopServerIsReachedAfterSendingAndTheCycleEndsCleanly)
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
