// Secured and authenticated conversations against a loopback server that plays a transcript:
// EHLO and AUTH PLAIN or LOGIN, a server without STARTTLS or refusing it, a refused login on
// each side, and handshakes that the server breaks off or never answers. (The handshakes
// themselves, with real certificates, are in the end-to-end tests.)
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include <QSysInfo>
#include <gtest/gtest.h>

using config::Security;
using tw::test::FakeServer;
using tw::test::GatewayRig;
using tw::test::waitUntil;

namespace {

const QByteArray kPlain = "AUTH PLAIN " + QByteArray("\0sender\0pw 1", 12).toBase64() + "\r\n";

// One message waiting for an SMTP server on loopback, where a login may go in the clear.
struct SecureSmtpRig : GatewayRig {
    FakeServer server;
    explicit SecureSmtpRig(Security security, const QString& user = "sender")
    {
        gw->SMTPPort = server.port();
        gw->SMTPSecurity = security;
        gw->SMTPUserName = user;
        gw->SMTPPassword = "pw 1";
        write(out(), "To: a@x.test\r\n\r\nbody\r\n");
    }
    static QString out() { return config::Running().PathMsgOut + "m1.txt"; }
    void accepted()
    {
        server.expect("MAIL FROM: <robot@tarnwick.test>\r\n").send("250 ok\r\n")
            .expect("RCPT TO: <a@x.test>\r\n").send("250 ok\r\n")
            .expect("DATA\r\n").send("354 go\r\n").expectMessage().send("250 queued\r\n");
    }
    void goodbye() { server.expect("QUIT\r\n").send("221 bye\r\n").close(); }
    std::string log() const { return logs.join("\n").toStdString(); }
};

struct SecurePopRig : GatewayRig {
    FakeServer server;
    explicit SecurePopRig(Security security)
    {
        gw->PopServer = "127.0.0.1";
        gw->POPPort = server.port();
        gw->POPSecurity = security;
        gw->Password = "secret";
        gw->Actions = "POP";
    }
    std::string log() const { return logs.join("\n").toStdString(); }
};

} // namespace

TEST(SecureSmtp, LoginByPlainOrByLoginThenTheMessage)
{
    {
        SCOPED_TRACE("PLAIN");
        SecureSmtpRig rig(Security::None);
        rig.server.send("220 ready\r\n").expect("EHLO tarnwick.test\r\n")
            .send("250-fake.test\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n").expect(kPlain).send("235 2.7.0 ok\r\n");
        rig.accepted();
        rig.goodbye();
        ASSERT_TRUE(rig.runCycle()) << rig.log();
        EXPECT_EQ(rig.server.failures(), QStringList());
        EXPECT_FALSE(QFile::exists(rig.out()));
    }
    {
        SCOPED_TRACE("LOGIN, the only one offered");
        SecureSmtpRig rig(Security::None);
        config::Running().LogExtra = true;
        rig.server.send("220 ready\r\n").expect("EHLO tarnwick.test\r\n").send("250-fake.test\r\n250 AUTH=LOGIN\r\n")
            .expect("AUTH LOGIN\r\n").send("334 VXNlcm5hbWU6\r\n")
            .expect("c2VuZGVy\r\n").send("334 UGFzc3dvcmQ6\r\n")
            .expect("cHcgMQ==\r\n").send("235 ok\r\n");
        rig.accepted();
        rig.goodbye();
        ASSERT_TRUE(rig.runCycle()) << rig.log();
        EXPECT_EQ(rig.server.failures(), QStringList());
        EXPECT_FALSE(QFile::exists(rig.out()));
        EXPECT_TRUE(rig.logged("SMTP CONNECTED: we say 'EHLO' to start conversation.")) << rig.log();
        EXPECT_TRUE(rig.logged("OK SMTP: logged in as sender")) << rig.log();
        EXPECT_FALSE(QString::fromStdString(rig.log()).contains("cHcgMQ=="));
    }
}

TEST(SecureSmtp, EhloWithoutADomainSettingNamesThisMachine)
{
    SecureSmtpRig rig(Security::None);
    rig.gw->SMTPDomain = "";
    rig.server.send("220 ready\r\n").expect("EHLO " + QSysInfo::machineHostName().toLatin1() + "\r\n")
        .send("250 AUTH PLAIN\r\n").expect(kPlain).send("235 ok\r\n");
    rig.accepted();
    rig.goodbye();
    ASSERT_TRUE(rig.runCycle()) << rig.log();
    EXPECT_EQ(rig.server.failures(), QStringList());
}

TEST(SecureSmtp, NoStartTlsNoLoginOrARefusalEndsTheSessionAndTheMessageWaits)
{
    struct Case {
        const char* name;
        Security security;
        QString user;
        QList<QByteArray> exchange;   // server line, then the client's answer, in turn
        QString error;
    };
    const std::vector<Case> cases = {
        {"STARTTLS not offered", Security::StartTLS, "", {"250-fake.test\r\n250 AUTH PLAIN\r\n"},
         "ERROR SMTP: 127.0.0.1 does not offer STARTTLS"},
        {"STARTTLS refused", Security::StartTLS, "", {"250 STARTTLS\r\n", "STARTTLS\r\n", "454 4.7.0 TLS not available\r\n"},
         "ERROR SMTP: 454 4.7.0 TLS not available"},
        {"wrong password", Security::None, "sender", {"250 AUTH PLAIN\r\n", kPlain, "535 5.7.8 credentials invalid\r\n"},
         "ERROR SMTP: authentication failed: 535 5.7.8 credentials invalid"},
        {"no mechanism the robot speaks", Security::None, "sender", {"250 AUTH CRAM-MD5\r\n"},
         "ERROR SMTP: authentication failed: 127.0.0.1 offers neither AUTH PLAIN nor AUTH LOGIN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SecureSmtpRig rig(c.security, c.user);
        rig.server.send("220 ready\r\n").expect("EHLO tarnwick.test\r\n");
        for (qsizetype i = 0; i < c.exchange.size(); ++i)
            i % 2 == 0 ? rig.server.send(c.exchange[i]) : rig.server.expect(c.exchange[i]);
        rig.goodbye();
        ASSERT_TRUE(rig.runCycle()) << rig.log();
        EXPECT_EQ(rig.server.failures(), QStringList());
        EXPECT_TRUE(rig.logged(c.error)) << rig.log();
        EXPECT_FALSE(rig.server.received().contains("MAIL FROM"));
        EXPECT_TRUE(QFile::exists(rig.out()));
        EXPECT_EQ(rig.files(config::Running().PathMsgIn), QStringList());
    }
}

TEST(SecureSmtp, AHandshakeThatNeverCompletesIsGivenUpAtTheSilenceBound)
{
    SecureSmtpRig rig(Security::TLS, "");
    rig.server.silent();
    rig.gw->ProcessStart();
    ASSERT_TRUE(waitUntil([&] { return rig.server.clientConnected(); }));
    rig.clock->advance(49 * 1000);
    EXPECT_FALSE(waitUntil([&] { return rig.gw->State() == QLatin1String("STANDBY"); }, 200));
    rig.clock->advance(1000);
    ASSERT_TRUE(waitUntil([&] { return rig.gw->State() == QLatin1String("STANDBY"); })) << rig.log();
    EXPECT_TRUE(rig.logged("ERROR SMTP: TLS: no handshake from the server within 50 seconds")) << rig.log();
    EXPECT_TRUE(QFile::exists(rig.out()));
}

TEST(SecurePop, StlsRefusedServerGoneDuringTheHandshakeAndRefusedLogins)
{
    {
        SCOPED_TRACE("STLS refused: no login at all");
        SecurePopRig rig(Security::StartTLS);
        rig.server.send("+OK ready\r\n").expect("STLS\r\n").send("-ERR not here\r\n").expect("QUIT\r\n").send("+OK\r\n").close();
        ASSERT_TRUE(rig.runCycle()) << rig.log();
        EXPECT_TRUE(rig.logged("ERROR POP: STLS refused: -ERR not here")) << rig.log();
        EXPECT_FALSE(rig.server.received().contains("USER"));
    }
    {
        SCOPED_TRACE("the server closes during the handshake");
        SecurePopRig rig(Security::TLS);
        rig.server.pause(300).close();
        ASSERT_TRUE(rig.runCycle()) << rig.log();
        EXPECT_TRUE(rig.logged("ERROR POP: TLS: the server closed the connection during the handshake")) << rig.log();
        EXPECT_FALSE(rig.server.received().contains("USER"));
    }
    for (const bool atPass : {false, true}) {
        SCOPED_TRACE(atPass ? "password refused" : "user refused");
        SecurePopRig rig(Security::None);
        rig.server.send("+OK ready\r\n").expect("USER robot\r\n");
        if (atPass)
            rig.server.send("+OK\r\n").expect("PASS secret\r\n");
        rig.server.send("-ERR [AUTH] Authentication failed.\r\n").expect("QUIT\r\n").send("+OK\r\n").close();
        ASSERT_TRUE(rig.runCycle()) << rig.log();
        EXPECT_TRUE(rig.logged(atPass ? "ERROR POP: PASSWORD REJECTED by server" : "ERROR POP: User not found on server"));
        EXPECT_TRUE(rig.logged("ERROR POP: login refused: -ERR [AUTH] Authentication failed.")) << rig.log();
    }
}
