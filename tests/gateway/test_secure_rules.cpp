// The rules of secured and authenticated conversations, on a recording transport: EHLO,
// STARTTLS and the second EHLO, AUTH PLAIN and LOGIN, STLS, what happens when the server does
// not offer or refuses them, failed handshakes, and the transcript's masking of secrets.
#include "support/ConversationRig.h"

#include "platform/VbDate.h"

#include <QSysInfo>
#include <gtest/gtest.h>

using config::Security;
using gateway::Command;
using gateway::GwState;
using tw::test::ConversationRig;

namespace {

QString shortNow() { return platform::WeekdayName(2, true) + " 09:30"; }

QByteArray b64(const QByteArray& b) { return b.toBase64(); }

// One message listed for an SMTP server on loopback, with no POP phase after it.
struct Secure : ConversationRig {
    explicit Secure(Security smtp = Security::None, const QString& user = {})
    {
        gw.SMTPSecurity = smtp;
        gw.SMTPUserName = user;
        gw.SMTPPassword = "pw 1";
        gw.CAFile = "/certs/ca.pem";
        gw.TargetHost = "127.0.0.1";
        gw.PopServer = "";
        gw.MsgCount = 1;
        gw.MsgFiles[0] = "m1.txt";
        gw.MsgRecipients[0] = "<a@x.test>";
        rig.write(config::Running().PathMsgOut + "m1.txt", "To: a@x.test\r\n\r\nbody\r\n");
        at(GwState::SmtpStandby, Command::None);
    }
    bool logged(const QString& line) const { return rig.logs.contains(line); }
    QStringList outgoing() const { return rig.files(config::Running().PathMsgOut); }
};

const QByteArray kMailFrom = "MAIL FROM: <robot@tarnwick.test>\r\n";

} // namespace

TEST(SecureSmtp, StartTlsThenEhloAgainThenAuthPlainThenTheMessages)
{
    Secure t(Security::StartTLS, "sender");
    t.play({{"220 ready\r\n", "EHLO tarnwick.test\r\n"},
            {"250-mail.test\r\n250-SIZE 1000\r\n250-STARTTLS\r\n", ""},
            {"250 HELP\r\n", "STARTTLS\r\n"},
            {"220 go ahead\r\n", ""}});
    EXPECT_EQ(t.link.tlsStarts, QStringList{"/certs/ca.pem"});
    // What the server offered in the clear counts for nothing once the connection is secured.
    t.gw.Socket_Encrypted();
    EXPECT_EQ(t.link.take(), "EHLO tarnwick.test\r\n");
    t.play({{"250-mail.test\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n", "AUTH PLAIN " + b64(QByteArray("\0sender\0pw 1", 12)) + "\r\n"},
            {"235 2.7.0 Authentication successful\r\n", kMailFrom}});
    EXPECT_EQ(t.gw.stateId(), GwState::Smtp);
    EXPECT_EQ(t.gw.MsgIndex, 1);
}

TEST(SecureSmtp, LoginWhenOnlyLoginIsOfferedAnswersBothPrompts)
{
    Secure t(Security::None, "sender");
    t.play({{"220 ready\r\n", "EHLO tarnwick.test\r\n"},
            {"250-mail.test\r\n250 AUTH LOGIN\r\n", "AUTH LOGIN\r\n"},
            {"334 VXNlcm5hbWU6\r\n", b64("sender") + "\r\n"},
            {"334 UGFzc3dvcmQ6\r\n", b64("pw 1") + "\r\n"},
            {"235 ok\r\n", kMailFrom}});
}

TEST(SecureSmtp, WhatIsNotOfferedOrIsRefusedEndsTheSessionWithNothingSent)
{
    struct Case {
        const char* name;
        Security security;
        QString user;
        QString host;
        QList<ConversationRig::Step> steps;
        QString error;
    };
    const QByteArray ehloNoTls = "250-mail.test\r\n250-AUTH PLAIN\r\n250 HELP\r\n";
    const std::vector<Case> cases = {
        {"STARTTLS not offered", Security::StartTLS, {}, "127.0.0.1",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {ehloNoTls, "QUIT\r\n"}},
         "ERROR SMTP: 127.0.0.1 does not offer STARTTLS"},
        {"STARTTLS refused", Security::StartTLS, {}, "127.0.0.1",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {"250 STARTTLS\r\n", "STARTTLS\r\n"}, {"454 TLS not available\r\n", "QUIT\r\n"}},
         "ERROR SMTP: 454 TLS not available"},
        {"EHLO refused", Security::StartTLS, {}, "127.0.0.1",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {"502 what\r\n", "QUIT\r\n"}}, "ERROR SMTP: 502 what"},
        {"wrong password", Security::None, "sender", "127.0.0.1",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"},
          {ehloNoTls, "AUTH PLAIN " + b64(QByteArray("\0sender\0pw 1", 12)) + "\r\n"},
          {"535 5.7.8 Authentication credentials invalid\r\n", "QUIT\r\n"}},
         "ERROR SMTP: authentication failed: 535 5.7.8 Authentication credentials invalid"},
        {"wrong password at LOGIN's second prompt", Security::None, "sender", "127.0.0.1",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {"250 AUTH LOGIN\r\n", "AUTH LOGIN\r\n"},
          {"334 VXNlcm5hbWU6\r\n", b64("sender") + "\r\n"}, {"334 UGFzc3dvcmQ6\r\n", b64("pw 1") + "\r\n"},
          {"535 no\r\n", "QUIT\r\n"}},
         "ERROR SMTP: authentication failed: 535 no"},
        {"login over an unsecured connection to another machine", Security::None, "sender", "mail.example.test",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {ehloNoTls, "QUIT\r\n"}},
         "ERROR SMTP: authentication failed: the connection to mail.example.test is not secured; the password was not sent"},
        {"no mechanism the robot speaks", Security::None, "sender", "localhost",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {"250 AUTH CRAM-MD5\r\n", "QUIT\r\n"}},
         "ERROR SMTP: authentication failed: localhost offers neither AUTH PLAIN nor AUTH LOGIN"},
        {"LOGIN prompt where none was asked for", Security::None, "sender", "127.0.0.1",
         {{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {ehloNoTls, "AUTH PLAIN " + b64(QByteArray("\0sender\0pw 1", 12)) + "\r\n"},
          {"334 \r\n", "QUIT\r\n"}},
         "ERROR SMTP: authentication failed: 334 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Secure t(c.security, c.user);
        t.gw.TargetHost = c.host;
        t.play(c.steps);
        EXPECT_TRUE(t.logged(c.error)) << t.rig.logs.join('\n').toStdString();
        EXPECT_EQ(t.gw.stateId(), GwState::SmtpQuit);
        EXPECT_TRUE(t.link.tlsStarts.isEmpty() || c.security == Security::StartTLS);
        EXPECT_EQ(t.outgoing(), QStringList{"m1.txt"});
        EXPECT_EQ(t.rig.files(config::Running().PathMsgIn), QStringList());
    }
}

TEST(SecureSmtp, EhloWithoutADomainSettingNamesThisMachine)
{
    Secure t(Security::None, "sender");
    t.gw.SMTPDomain = "";
    t.play({{"220 ready\r\n", "EHLO " + QSysInfo::machineHostName().toLatin1() + "\r\n"}});
}

TEST(SecureSmtp, HeloStaysWhereNeitherStartTlsNorALoginIsWanted)
{
    for (const Security s : {Security::None, Security::TLS}) {
        Secure t(s);
        t.play({{"220 ready\r\n", "HELO tarnwick.test\r\n"}, {"250 hi\r\n", kMailFrom}});
    }
}

TEST(SecureSmtp, TlsFromTheFirstByteStartsTheHandshakeOnConnectAndWaitsForTheGreeting)
{
    Secure t(Security::TLS);
    t.gw.Socket_Connect();
    EXPECT_EQ(t.link.tlsStarts, QStringList{"/certs/ca.pem"});
    EXPECT_EQ(t.link.take(), "");
    t.gw.Socket_Encrypted();
    EXPECT_EQ(t.link.take(), "");
    t.play({{"220 ready\r\n", "HELO tarnwick.test\r\n"}});

    // Without TLS configured a connect starts no handshake.
    Secure plain(Security::StartTLS);
    plain.gw.Socket_Connect();
    EXPECT_TRUE(plain.link.tlsStarts.isEmpty());
}

TEST(SecureSmtp, TextSentInTheClearBehindTheStartTlsAnswerIsNotTaken)
{
    Secure t(Security::StartTLS);
    t.play({{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {"250 STARTTLS\r\n", "STARTTLS\r\n"},
            {"220 go ahead\r\n250-AUTH PLAIN\r\n250 injected\r\n", ""}});
    t.gw.Socket_Encrypted();
    EXPECT_EQ(t.link.take(), "EHLO tarnwick.test\r\n");
    t.play({{"250 mail.test\r\n", kMailFrom}});
}

TEST(SecureSessions, AFailedHandshakeEndsTheSessionBeforeAnyCommand)
{
    {
        SCOPED_TRACE("refused certificate while sending: the receiving phase still follows");
        Secure t(Security::TLS);
        t.gw.Socket_Connect();
        t.gw.Socket_TlsFailed("The certificate has expired", true);
        EXPECT_EQ(t.rig.logs, QStringList({"ERROR SMTP: TLS: certificate for 127.0.0.1 not trusted: The certificate has expired",
                                           "OK END: INTERNET EMAIL send-only connection SUCCESSFULLY COMPLETED: " + shortNow()}));
        EXPECT_EQ(t.link.take(), "");
        EXPECT_EQ(t.link.state, 0);
        EXPECT_EQ(t.outgoing(), QStringList{"m1.txt"});
    }
    {
        SCOPED_TRACE("the transport cannot start a handshake");
        Secure t(Security::StartTLS);
        t.link.startTlsGives = "CA file /certs/ca.pem holds no PEM certificate";
        t.play({{"220 ready\r\n", "EHLO tarnwick.test\r\n"}, {"250 STARTTLS\r\n", "STARTTLS\r\n"}, {"220 go\r\n", ""}});
        EXPECT_TRUE(t.logged("ERROR SMTP: TLS: CA file /certs/ca.pem holds no PEM certificate"));
        EXPECT_EQ(t.gw.stateId(), GwState::Standby);
    }
    {
        SCOPED_TRACE("the server closes during the handshake");
        Secure t(Security::TLS);
        t.gw.Socket_Connect();
        t.gw.Socket_Close();
        EXPECT_EQ(t.rig.logs.first(), "ERROR SMTP: TLS: the server closed the connection during the handshake");
        EXPECT_EQ(t.gw.stateId(), GwState::Standby);
    }
    {
        SCOPED_TRACE("a handshake that stalls is given up at the silence bound");
        Secure t(Security::TLS);
        t.gw.Socket_Connect();
        t.rig.clock->advance(49 * 1000);
        t.gw.tmrSocket_Timer();
        EXPECT_TRUE(t.rig.logs.isEmpty());
        t.rig.clock->advance(1000);
        t.gw.tmrSocket_Timer();
        EXPECT_EQ(t.rig.logs.first(), "ERROR SMTP: TLS: no handshake from the server within 50 seconds");
    }
    {
        SCOPED_TRACE("refused certificate while receiving: the cycle ends");
        ConversationRig c;
        c.gw.POPSecurity = Security::TLS;
        c.gw.TargetHost = "pop.example.test";
        c.at(GwState::PopStandby, Command::None);
        c.link.ticking = true;
        c.gw.Socket_Connect();
        c.gw.Socket_TlsFailed("The host name did not match any of the valid hosts for this certificate", true);
        EXPECT_EQ(c.rig.logs, QStringList{"ERROR POP: TLS: certificate for pop.example.test not trusted: The host name did not "
                                          "match any of the valid hosts for this certificate"});
        EXPECT_EQ(c.gw.stateId(), GwState::Standby);
        EXPECT_FALSE(c.link.ticking);
        EXPECT_EQ(c.link.take(), "");
    }
}

TEST(SecurePop, StlsBeforeTheLoginAndNoLoginWithoutIt)
{
    {
        ConversationRig c;
        c.gw.POPSecurity = Security::StartTLS;
        c.gw.Password = "secret";
        c.at(GwState::PopStandby, Command::None);
        c.play({{"+OK ready\r\n", "STLS\r\n"}, {"+OK begin TLS\r\n", ""}});
        EXPECT_EQ(c.link.tlsStarts.size(), 1);
        c.gw.Socket_Encrypted();
        EXPECT_EQ(c.link.take(), "USER robot\r\n");
        c.play({{"+OK\r\n", "PASS secret\r\n"}, {"+OK in\r\n", "STAT\r\n"}});
    }
    {
        SCOPED_TRACE("STLS refused");
        ConversationRig c;
        c.gw.POPSecurity = Security::StartTLS;
        c.at(GwState::PopStandby, Command::None);
        c.play({{"+OK ready\r\n", "STLS\r\n"}, {"-ERR not here\r\n", "QUIT\r\n"}});
        EXPECT_EQ(c.lastLog(), "ERROR POP: STLS refused: -ERR not here");
        EXPECT_EQ(c.gw.LastCommand, Command::PopErrorQuit);
    }
    {
        SCOPED_TRACE("TLS wanted but the greeting came in the clear");
        ConversationRig c;
        c.gw.POPSecurity = Security::TLS;
        c.gw.TargetHost = "pop.example.test";
        c.at(GwState::PopStandby, Command::None);
        c.play({{"+OK ready\r\n", "QUIT\r\n"}});
        EXPECT_EQ(c.lastLog(), "ERROR POP: login refused: the connection to pop.example.test is not secured; the password was not sent");
    }
}

TEST(SecurePop, ARefusedLoginSaysWhatTheServerSaid)
{
    for (const Command last : {Command::User, Command::Pass}) {
        ConversationRig c;
        c.at(GwState::PopStandby, last);
        c.play({{"-ERR [AUTH] Authentication failed.\r\n", "QUIT\r\n"}});
        ASSERT_EQ(c.rig.logs.size(), 2);
        EXPECT_EQ(c.rig.logs[0], last == Command::User ? "ERROR POP: User not found on server" : "ERROR POP: PASSWORD REJECTED by server");
        EXPECT_EQ(c.rig.logs[1], "ERROR POP: login refused: -ERR [AUTH] Authentication failed.");
    }
}

TEST(Transcript, AuthenticationDataIsMaskedAndTheMechanismShown)
{
    EXPECT_EQ(gateway::TranscriptText("AUTH PLAIN AHNlbmRlcgBwdw==\r\n"), "AUTH PLAIN ****");
    EXPECT_EQ(gateway::TranscriptText("auth plain x"), "auth plain ****");
    EXPECT_EQ(gateway::TranscriptText("AUTH LOGIN"), "AUTH LOGIN");
    EXPECT_EQ(gateway::TranscriptText("AUTHOR x y"), "AUTHOR x y");

    Secure t(Security::None, "sender");
    config::Running().LogExtra = true;
    t.gw.SMTPPassword = "hunter2";
    t.gw.feed("220 ready\r\n");
    t.gw.feed("250 AUTH LOGIN\r\n");
    t.gw.feed("334 VXNlcm5hbWU6\r\n");
    t.gw.feed("334 UGFzc3dvcmQ6\r\n");
    const QString log = t.rig.logs.join('\n');
    EXPECT_TRUE(log.contains("--> AUTH LOGIN\n<-- 334 VXNlcm5hbWU6\n--> ****\n<-- 334 UGFzc3dvcmQ6\n--> ****")) << log.toStdString();
    EXPECT_FALSE(log.contains(QString::fromLatin1(b64("hunter2"))));
    EXPECT_FALSE(log.contains(QString::fromLatin1(b64("sender"))));
    EXPECT_TRUE(t.link.sent.contains(b64("hunter2") + "\r\n"));
}
