// The SMTP conversation rules as tables, on a recording transport: from a state, a last
// command and one reply line to the bytes sent, the new state, the last command and the log.
#include "support/ConversationRig.h"

#include "platform/VbDate.h"

#include <gtest/gtest.h>

using gateway::Command;
using gateway::GwState;
using tw::test::ConversationRig;

namespace {

const QChar k254(0xFE);

QString now() { return platform::GeneralDateTime(platform::Now()); }
QString shortNow() { return platform::WeekdayName(2, true) + " 09:30"; }

// Two listed messages: the first to two recipients, the second to one.
struct SmtpTable : ConversationRig {
    SmtpTable()
    {
        gw.MsgCount = 2;
        gw.MsgIndex = 1;
        gw.MsgFiles[0] = "m1.txt";
        gw.MsgFiles[1] = "m2.txt";
        gw.MsgRecipients[0] = "<a@x.test>" + QString(k254) + "<b@x.test>";
        gw.MsgRecipients[1] = "<c@x.test>";
        rig.write(out("m1.txt"), "To: a@x.test\r\nbcC: hidden@x.test\r\n\r\n.\r\n.lead\r\nBcc: body line\r\n");
        rig.write(out("m2.txt"), "To: c@x.test\r\n\r\nbody2\r\n");
    }
    static QString out(const QString& name) { return config::Running().PathMsgOut + name; }
};

struct Row {
    const char* name;
    GwState state;
    Command last;
    int msgCount;
    int msgIndex;
    int rcptIndex;
    QByteArray reply;
    QByteArray sent;
    GwState newState;
    Command newLast;
    QString log;   // the last line logged ("{now}" stands for the date-time); "" when nothing is logged
};

} // namespace

TEST(SmtpRules, EachReplyInEachStateGivesItsCommandStateAndLogLine)
{
    const QByteArray body = "To: a@x.test\r\n\r\n..\r\n..lead\r\nBcc: body line\r\n.\r\n";
    const std::vector<Row> rows = {
        {"greeting", GwState::SmtpStandby, Command::None, 2, 1, 0, "220 fake ready", "HELO tarnwick.test\r\n", GwState::Smtp, Command::Helo, ""},
        {"greeting again", GwState::Smtp, Command::Helo, 2, 1, 0, "220 fake ready", "", GwState::Smtp, Command::Helo, ""},
        {"helo accepted", GwState::Smtp, Command::Helo, 2, 1, 0, "250 hello", "MAIL FROM: <robot@tarnwick.test>\r\n", GwState::Smtp,
         Command::Mail, "OK SMTP connected and sending first message {now}"},
        {"helo accepted, nothing listed", GwState::Smtp, Command::Helo, 0, 1, 0, "250 hello", "QUIT\r\n", GwState::SmtpQuit,
         Command::Helo, "SMTP finished OK: 0 sent. {now}"},
        {"sender accepted", GwState::Smtp, Command::Mail, 2, 1, 0, "250 ok", "RCPT TO: <a@x.test>\r\n", GwState::Smtp, Command::Rcpt, ""},
        {"recipient accepted, one more", GwState::Smtp, Command::Rcpt, 2, 1, 1, "251 forwarded", "RCPT TO: <b@x.test>\r\n",
         GwState::Smtp, Command::Rcpt, ""},
        {"last recipient accepted", GwState::Smtp, Command::Rcpt, 2, 1, 2, "250 ok", "DATA\r\n", GwState::Smtp, Command::Data, ""},
        {"ready for the body", GwState::Smtp, Command::Data, 2, 1, 2, "354 go ahead", body, GwState::Smtp, Command::Data, ""},
        {"354 out of turn", GwState::Smtp, Command::Rcpt, 2, 1, 1, "354 go ahead", "", GwState::Smtp, Command::Rcpt, ""},
        {"message accepted, next one", GwState::Smtp, Command::Data, 2, 1, 2, "250 queued", "MAIL FROM: <robot@tarnwick.test>\r\n",
         GwState::Smtp, Command::Mail, "SMTP SENT OK FROM: robot  TO: <a@x.test>" + QString(k254) + "<b@x.test> {now}"},
        {"last message accepted", GwState::Smtp, Command::Data, 2, 2, 1, "250 queued", "QUIT\r\n", GwState::SmtpQuit, Command::Data,
         "SMTP finished OK: 2 sent. {now}"},
        {"not the last line of a reply", GwState::Smtp, Command::Data, 2, 1, 2, "250-queued", "", GwState::Smtp, Command::Data, ""},
        {"reset accepted", GwState::Smtp, Command::Rset, 2, 2, 1, "250 reset", "MAIL FROM: <robot@tarnwick.test>\r\n", GwState::Smtp,
         Command::Mail, ""},
        {"goodbye", GwState::SmtpQuit, Command::Data, 2, 3, 1, "221 bye", "", GwState::SmtpEnd, Command::Data, ""},
        {"forwarded recipient", GwState::Smtp, Command::Rcpt, 2, 1, 1, "551 User not local; please try <new@y.test>",
         "RCPT TO: new@y.test\r\n", GwState::Smtp, Command::Rcpt, "ERROR 551 SMTP Change TO: new@y.test"},
        {"forward without address", GwState::Smtp, Command::Rcpt, 2, 1, 1, "551 User not local", "QUIT\r\n", GwState::SmtpQuit,
         Command::Rcpt, "ERROR 551 and can't make sense of details: "},
        {"551 out of turn", GwState::Smtp, Command::Mail, 2, 1, 0, "551 try <new@y.test>", "QUIT\r\n", GwState::SmtpQuit, Command::Mail,
         "ERROR 551 and can't make sense of details: 551 try <new@y.test>"},
        {"helo refused", GwState::Smtp, Command::Helo, 2, 1, 0, "501 who are you", "QUIT\r\n", GwState::SmtpQuit, Command::Helo,
         "ERROR SMTP: 501 who are you"},
        {"first recipient refused", GwState::Smtp, Command::Rcpt, 2, 1, 1, "550 no such user", "RCPT TO: <c@x.test>\r\n", GwState::Smtp,
         Command::Rcpt, "ERROR SMTP: 550 no such user"},
        {"later recipient refused", GwState::Smtp, Command::Rcpt, 2, 1, 2, "553 refused", "RSET\r\n", GwState::Smtp, Command::Rset,
         "ERROR SMTP: 553 refused"},
        {"refused recipient of the last message", GwState::Smtp, Command::Rcpt, 2, 2, 1, "550 no", "QUIT\r\n", GwState::SmtpQuit,
         Command::Rcpt, "ERROR SMTP: 550 no"},
        {"sender refused", GwState::Smtp, Command::Mail, 2, 1, 0, "550 not you", "QUIT\r\n", GwState::SmtpQuit, Command::Mail,
         "ERROR SMTP: 550 not you"},
        {"closing down", GwState::Smtp, Command::Data, 2, 1, 2, "421 closing down", "QUIT\r\n", GwState::SmtpQuit, Command::Data,
         "Error 421 handler: preserving message for try-again"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SmtpTable t;
        t.at(r.state, r.last);
        t.gw.MsgCount = qint16(r.msgCount);
        t.gw.MsgIndex = qint16(r.msgIndex);
        t.gw.RcptIndex = r.rcptIndex;
        EXPECT_EQ(t.answer(r.reply), r.sent);
        EXPECT_EQ(t.gw.stateId(), r.newState);
        EXPECT_EQ(t.gw.LastCommand, r.newLast);
        EXPECT_EQ(t.lastLog(), QString(r.log).replace("{now}", now()));
    }
}

TEST(SmtpRules, RepliesLeaveTheRightFilesBehind)
{
    {
        SCOPED_TRACE("accepted: the message and its raw attachment go");
        SmtpTable t;
        t.gw.MsgAttachments[0] = "att.csv";
        t.rig.write(config::Running().PathAttachOut + "att.csv", "1,2");
        t.at(GwState::Smtp, Command::Data);
        t.answer("250 queued");
        EXPECT_EQ(t.rig.files(config::Running().PathMsgOut), QStringList{"m2.txt"});
        EXPECT_EQ(t.rig.files(config::Running().PathAttachOut), QStringList());
    }
    {
        SCOPED_TRACE("refused: a note with the addresses turned round replaces the message");
        SmtpTable t;
        t.rig.write(t.out("m1.txt"), "To: bad@x.test\r\nFrom: <robot@tarnwick.test>\r\nSubject: one\r\n\r\nbody1\r\n");
        t.at(GwState::Smtp, Command::Rcpt);
        t.gw.RcptIndex = 1;
        t.answer("550 no such user");
        EXPECT_EQ(t.rig.files(config::Running().PathMsgOut), QStringList{"m2.txt"});
        EXPECT_EQ(t.rig.read(config::Running().PathMsgIn + "m1.txt"),
                  QByteArray("From: bad@x.test\r\nTo: <robot@tarnwick.test>\r\nSubject: one\r\n\r\nbody1\r\n"
                             "***** CANNOT SEND THIS MESSAGE *********** \r\nSorry, but the internet email server refuses to \r\n"
                             "accept this message.  This usually happens when \r\nthere is something wrong with the To: address..\r\n"
                             "Correct it and try again, or ask your Postmaster\r\nabout it.\r\n\r\nKind Regards,\r\nThe System Robot\r\n"));
    }
    for (const bool accepted : {true, false}) {
        SCOPED_TRACE(accepted ? "accepted, composed in an earlier cycle: its copy goes when the sending ends"
                              : "refused, composed in an earlier cycle: its copy stays for a resend");
        SmtpTable t;
        const auto& rc = config::Running();
        t.rig.write(rc.PathAttachOut + "att.csv", "1,2");
        const QFileInfo copy(rc.PathAttachOut + "att.csv");
        t.rig.write(rc.PathHome + ".composed", "att.csv\tm1.txt\t3\t"
                                                   + QByteArray::number(copy.lastModified().toMSecsSinceEpoch()) + "\r\n");
        t.at(GwState::Smtp, accepted ? Command::Data : Command::Rcpt);
        t.gw.RcptIndex = 1;
        t.answer(accepted ? "250 queued" : "550 no such user");
        EXPECT_EQ(t.rig.files(rc.PathMsgOut), QStringList{"m2.txt"});
        t.at(GwState::SmtpQuit, Command::None);
        t.gw.Socket_Close();
        EXPECT_EQ(t.gw.State(), "STANDBY");
        EXPECT_EQ(t.rig.files(rc.PathAttachOut), accepted ? QStringList() : QStringList{"att.csv"});
    }
    {
        SCOPED_TRACE("refused: an earlier note of the same name is kept");
        SmtpTable t;
        t.rig.write(config::Running().PathMsgIn + "m1.txt", "an earlier received message");
        t.at(GwState::Smtp, Command::Rcpt);
        t.gw.RcptIndex = 2;
        t.answer("553 refused");
        EXPECT_EQ(t.rig.read(config::Running().PathMsgIn + "m1.txt"), QByteArray("an earlier received message"));
        const QStringList notes = t.rig.files(config::Running().PathMsgIn);
        ASSERT_EQ(notes.size(), 2);
        EXPECT_TRUE(t.rig.read(config::Running().PathMsgIn + notes[0]).contains("CANNOT SEND THIS MESSAGE"));
    }
    {
        SCOPED_TRACE("421: the composed message stays, its raw source goes");
        SmtpTable t;
        t.gw.MsgAttachments[0] = "raw.csv";
        t.rig.write(config::Running().PathAttachOut + "raw.csv", "data");
        t.at(GwState::Smtp, Command::Data);
        t.answer("421 closing down");
        EXPECT_EQ(t.lastLog(), "Error 421 handler: preserving encoded message for try again, deleting its raw source.");
        EXPECT_EQ(t.rig.files(config::Running().PathMsgOut), (QStringList{"m1.txt", "m2.txt"}));
        EXPECT_EQ(t.rig.files(config::Running().PathAttachOut), QStringList());
        EXPECT_EQ(t.rig.files(config::Running().PathMsgIn), QStringList());
    }
    {
        SCOPED_TRACE("a message file that cannot be read is replaced by an explanation");
        SmtpTable t;
        QFile::remove(t.out("m1.txt"));
        t.at(GwState::Smtp, Command::Data);
        const QByteArray sent = t.answer("354 go");
        EXPECT_TRUE(sent.startsWith("ERROR MESSAGE: from Automatic Data Emailer 'Tarnwick'.\r\n"));
        EXPECT_TRUE(sent.endsWith(".  Sender output file = 'm1.txt'\r\n.\r\n"));
        EXPECT_TRUE(t.lastLog().startsWith("ERROR: 53, "));
    }
}

TEST(SmtpRules, AWholeCycleSendsEveryMessageAndEndsAfterTheClose)
{
    ConversationRig c;
    auto& rc = config::Running();
    c.rig.write(rc.PathMsgOut + "m1.txt", "To: a@x.test\r\nSubject: one\r\n\r\nbody1\r\n");
    c.rig.write(rc.PathMsgOut + "m2.txt", "To: b@x.test, c@x.test\r\nX-Attachments: att.csv\r\n\r\nbody2\r\n");
    c.rig.write(rc.PathAttachOut + "att.csv", "1,2\r\n");
    c.link.state = 0;
    c.gw.SMTPPort = 2525;
    c.gw.ProcessStart();
    EXPECT_EQ(c.link.connects, QStringList{"127.0.0.1:2525"});
    EXPECT_TRUE(c.link.ticking);
    EXPECT_EQ(c.gw.State(), "SMTP STANDBY");
    c.play({
        {"220-fake.test welcome\r\n220 fake.test ready\r\n", "HELO tarnwick.test\r\n"},
        {"250-fake.test\r\n25", ""},
        {"0 SIZE 1000\r\n", "MAIL FROM: <robot@tarnwick.test>\r\n"},
        {"250 ok\r\n", "RCPT TO: <a@x.test>\r\n"},
        {"250 ok\r\n", "DATA\r\n"},
        {"354 go\r\n", "To: a@x.test\r\nSubject: one\r\n\r\nbody1\r\n.\r\n"},
        {"250 queued\r\n", "MAIL FROM: <robot@tarnwick.test>\r\n"},
        {"250 ok\r\n250 ok\r\n", "RCPT TO: <b@x.test>\r\nRCPT TO: <c@x.test>\r\n"},
        {"250 ok\r\n", "DATA\r\n"},
    });
    c.gw.feed("354 go\r\n");
    EXPECT_TRUE(c.link.take().contains("Content-Disposition: attachment; filename=\"att.csv\"\r\n\r\nMSwyDQo=\r\n"));
    c.play({{"250-queued\r\n250 as 12\r\n", "QUIT\r\n"}, {"221 bye\r\n", ""}});
    EXPECT_EQ(c.gw.State(), "SMTP END");
    c.gw.Socket_Close();
    EXPECT_EQ(c.gw.State(), "STANDBY");
    EXPECT_EQ(c.rig.files(rc.PathMsgOut), QStringList());
    EXPECT_EQ(c.rig.files(rc.PathAttachOut), QStringList());
    EXPECT_TRUE(c.rig.logged("SMTP finished OK: 2 sent. " + now()));
    EXPECT_TRUE(c.rig.logged("OK SMTP END"));
    EXPECT_EQ(c.lastLog(), "OK END: INTERNET EMAIL send-only connection SUCCESSFULLY COMPLETED: " + shortNow());
}

TEST(SmtpRules, TextWhileIdleIsLoggedOrRecoversAConversation)
{
    ConversationRig c;
    c.gw.feed("hello there\r\nsecond\r\n");
    EXPECT_EQ(c.rig.logs, QStringList({"ERROR STANDBY: DATA_ARRIVAL Unexpected Message, hello there\r\nsecond\r\n",
                                       "ERROR STANDBY: DATA_ARRIVAL Unexpected Message, second\r\n"}));
    EXPECT_EQ(c.answer("220 late greeting"), "HELO tarnwick.test\r\n");
    EXPECT_EQ(c.gw.State(), "SMTP");

    ConversationRig p;
    p.gw.feed("+OK late\r\n");
    EXPECT_EQ(p.link.take(), "USER robot\r\n");
    EXPECT_EQ(p.gw.State(), "POP STANDBY");
    EXPECT_EQ(p.lastLog(), "POP Connection made on retry or auto-recovery");
}

TEST(SmtpRules, TheCloseInEachStateDecidesWhatComesNext)
{
    struct CloseRow {
        GwState state;
        QString log;
        GwState after;
    };
    const std::vector<CloseRow> rows = {
        {GwState::SmtpEnd, "OK SMTP END", GwState::Standby},
        {GwState::SmtpQuit, "OK SMTP QUIT", GwState::Standby},
        {GwState::Smtp, "WARNING SMTP: Socket disconnect prematurely, will try POP: " + shortNow(), GwState::Standby},
        {GwState::SmtpStandby, "WARNING SMTP: Socket disconnect prematurely, will try POP: " + shortNow(), GwState::Standby},
        {GwState::PopQuit, "OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: " + shortNow(), GwState::Standby},
        {GwState::Pop, "ERROR POP: Socket disconnect prematurely: " + shortNow(), GwState::Standby},
        {GwState::PopStandby, "ERROR POP STANDBY Socket disconnected unexpectedly.", GwState::Standby},
        {GwState::PopDownloading, "ERROR POP MESSAGE DOWNLOADING Socket disconnected unexpectedly.", GwState::Standby},
    };
    for (const CloseRow& r : rows) {
        SCOPED_TRACE(gateway::StateText(r.state).toStdString());
        ConversationRig c;
        c.at(r.state, Command::None);
        c.gw.Socket_Close();
        EXPECT_TRUE(c.rig.logged(r.log)) << c.rig.logs.join("\n").toStdString();
        EXPECT_EQ(c.gw.stateId(), r.after);
    }
    // After sending, the POP server is reached over a fresh connection.
    ConversationRig c;
    c.gw.PopServer = "pop.test";
    c.gw.POPPort = 1100;
    c.at(GwState::SmtpEnd, Command::Data);
    c.gw.Socket_Close();
    EXPECT_EQ(c.link.connects, QStringList{"pop.test:1100"});
    EXPECT_EQ(c.gw.State(), "POP STANDBY");
    EXPECT_EQ(c.gw.LastCommand, Command::None);
}

TEST(SmtpRules, AConnectionThatNeverOpenedIsNamedWithHostPortAndReason)
{
    {
        SCOPED_TRACE("sending");
        ConversationRig c;
        c.link.connectGives = 6;
        c.rig.write(config::Running().PathMsgOut + "m1.txt", "To: a@x.test\r\n\r\nbody\r\n");
        c.gw.SMTPPort = 2525;
        c.gw.ProcessStart();
        ASSERT_EQ(c.gw.State(), "SMTP STANDBY");
        c.link.reason = "Network unreachable";
        c.link.state = 9;
        c.gw.Socket_Close();
        EXPECT_TRUE(c.rig.logged("WARNING SMTP: cannot connect to 127.0.0.1:2525: Network unreachable, will try POP: " + shortNow()));
    }
    {
        SCOPED_TRACE("receiving");
        ConversationRig c;
        c.gw.PopServer = "pop.test";
        c.gw.POPPort = 1100;
        c.link.connectGives = 6;
        c.at(GwState::SmtpEnd, Command::Data);
        c.gw.Socket_Close();
        ASSERT_EQ(c.gw.State(), "POP STANDBY");
        c.link.reason = "Host not found";
        c.gw.Socket_Close();
        EXPECT_EQ(c.lastLog(), "ERROR POP STANDBY: cannot connect to pop.test:1100: Host not found");
    }
    {
        SCOPED_TRACE("a connect that fails at once");
        ConversationRig c;
        c.gw.PopServer = "pop.test";
        c.gw.POPPort = 1100;
        c.link.connectGives = 0;
        c.link.reason = "Network unreachable";
        c.at(GwState::SmtpEnd, Command::Data);
        c.gw.Socket_Close();
        EXPECT_EQ(c.lastLog(), "ERROR POP START: cannot connect to pop.test:1100: Network unreachable");
        EXPECT_EQ(c.gw.State(), "STANDBY");
    }
    {
        SCOPED_TRACE("an open connection that closes is not a connection failure");
        ConversationRig c;
        c.at(GwState::PopStandby, Command::User);
        c.gw.Socket_Connect();
        c.link.reason = "The remote host closed the connection";
        c.gw.Socket_Close();
        EXPECT_EQ(c.lastLog(), "ERROR POP STANDBY Socket disconnected unexpectedly.");
    }
}

TEST(SmtpRules, SendFailuresAreLoggedWithTheirControlCodes)
{
    ConversationRig c;
    c.at(GwState::Smtp, Command::Mail);
    c.link.state = 0;
    c.gw.feed("250 ok\r\n");
    EXPECT_EQ(c.lastLog(), "ERROR  40006: Wrong protocol or connection state for the requested transaction or request");
    c.link.state = 7;
    c.link.sendGives = gateway::kErrWouldBlock;
    c.at(GwState::Smtp, Command::Mail);
    c.gw.feed("250 ok\r\n");
    EXPECT_EQ(c.lastLog(), "ERROR:11035, Socket timeout");
}

TEST(Transcript, WithLogExtraEveryCommandAndReplyIsLoggedAndThePasswordMasked)
{
    ConversationRig c;
    config::Running().LogExtra = true;
    c.gw.Password = "secret";
    c.at(GwState::PopStandby, Command::None);
    c.gw.feed("+OK ready\r\n");
    c.gw.feed("+OK\r\n");
    EXPECT_EQ(c.rig.logs, QStringList({"<-- +OK ready", "--> USER robot", "<-- +OK", "--> PASS ****"}));
    EXPECT_TRUE(c.link.sent.contains("PASS secret\r\n"));

    // Message lines are content, not replies: only the status line is shown.
    ConversationRig d;
    config::Running().LogExtra = true;
    d.at(GwState::PopDownloading, Command::Retr);
    d.gw.feed("+OK 12 octets\r\nSubject: x\r\n\r\nbody\r\n");
    EXPECT_EQ(d.rig.logs, QStringList{"<-- +OK 12 octets"});

    // The protocol's own detail lines stay, with the transcript around them.
    ConversationRig s;
    config::Running().LogExtra = true;
    s.at(GwState::SmtpStandby, Command::None);
    s.gw.feed("220-one\r\n220 two\r\n");
    EXPECT_EQ(s.rig.logs, QStringList({"<-- 220-one", "<-- 220 two", "--> HELO tarnwick.test",
                                       "SMTP CONNECTED: we say 'HELO' to start conversation."}));
}

TEST(Transcript, MaskingHidesOnlyTheArgumentOfSecretCommands)
{
    EXPECT_EQ(gateway::TranscriptText("PASS s3cr3t word\r\n"), "PASS ****");
    EXPECT_EQ(gateway::TranscriptText("pass x"), "pass ****");
    EXPECT_EQ(gateway::TranscriptText("PASSWORD x"), "PASSWORD x");
    EXPECT_EQ(gateway::TranscriptText("USER robot\r\n"), "USER robot");
    EXPECT_EQ(gateway::TranscriptText("PASS"), "PASS");
}

TEST(Transcript, WithoutLogExtraTheLogIsUnchanged)
{
    ConversationRig c;
    c.at(GwState::PopStandby, Command::None);
    c.gw.feed("+OK ready\r\n+OK\r\n");
    EXPECT_EQ(c.rig.logs, QStringList());
    EXPECT_EQ(c.link.sent, "USER robot\r\nPASS \r\n");
}

TEST(SmtpRules, AMessageThatCannotBeSentWholeIsNeverEndedAndStaysQueued)
{
    SmtpTable t;
    t.gw.MsgAttachments[0] = "att.csv";
    t.rig.write(config::Running().PathAttachOut + "att.csv", "1,2");
    t.at(GwState::Smtp, Command::Data);
    t.link.takenBeforeStall = 2;   // the peer stops reading after two lines of the body
    const QByteArray sent = t.answer("354 go ahead");
    EXPECT_EQ(sent, "To: a@x.test\r\n\r\n");
    EXPECT_FALSE(sent.contains("\r\n.\r\n"));
    EXPECT_TRUE(t.rig.logged("ERROR:11035, Socket timeout"));
    EXPECT_TRUE(t.rig.logged("ERROR SMTP: message 'm1.txt' could not be sent whole; it stays queued for the next cycle"));
    EXPECT_EQ(t.link.state, 0);   // the connection is given up
    EXPECT_TRUE(t.rig.loggedStart("WARNING SMTP: Socket disconnect prematurely, will try POP: "));
    EXPECT_EQ(t.gw.State(), "STANDBY");
    EXPECT_EQ(t.rig.files(config::Running().PathMsgOut), (QStringList{"m1.txt", "m2.txt"}));
    EXPECT_EQ(t.rig.files(config::Running().PathAttachOut), QStringList{"att.csv"});
}

TEST(SmtpRules, AStopSendsNoFurtherMessageAndSkipsReceiving)
{
    SmtpTable t;
    t.at(GwState::Smtp, Command::Data);
    t.gw.PopServer = "pop.test";
    t.gw.RequestStop();
    EXPECT_EQ(t.answer("250 queued"), "QUIT\r\n");
    EXPECT_EQ(t.gw.stateId(), GwState::SmtpQuit);
    EXPECT_TRUE(t.rig.logged("OK SMTP: stopping on request; 1 message(s) stay queued"));
    EXPECT_EQ(t.rig.files(config::Running().PathMsgOut), QStringList({"m2.txt"}));
    t.gw.Socket_Close();
    EXPECT_EQ(t.gw.State(), "STANDBY");
    EXPECT_EQ(t.lastLog(), "OK END: stopping on request; nothing received: " + shortNow());
    EXPECT_TRUE(t.link.connects.isEmpty());
}
