// The robot over TLS against real peers on loopback, with certificates this test makes: Dovecot
// with STLS and with TLS from the first byte, aiosmtpd requiring STARTTLS and a login, and
// aiosmtpd with TLS from the first byte. Files go out and come back byte-identical in each
// mode; refused certificates, a server without STARTTLS and wrong passwords each end their
// session with their ERROR line and lose nothing; the log never shows a password.
#include "e2e/MailPeers.h"
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>



using config::Security;
using tw::test::GatewayRig;
using tw::test::MailPeers;

namespace {

struct SecureRig : GatewayRig {
    QString python = tw::test::pythonWithAiosmtpd();
    std::unique_ptr<MailPeers> peers;
    QString certs = dir.path() + "/certs";
    QByteArray csv;

    // cert: the certificate every TLS server presents (see scripts/test_certificates.py).
    bool start(const QString& cert = "server")
    {
        if (python.isEmpty() || !tw::test::dovecotInstalled())
            return false;
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup);
        peers = std::make_unique<MailPeers>(python, QStringLiteral(TW_SCRIPTS_DIR "/mail_peers.py"), dir.path() + "/peers",
                                            QStringList{"--tls", certs, "--cert", cert});
        gw->PopServer = QStringLiteral("127.0.0.1");
        gw->UserName = QStringLiteral("robot");
        gw->Password = QStringLiteral("secret");
        gw->SMTPUserName = QStringLiteral("sender");
        gw->SMTPPassword = QStringLiteral("smtp-secret");
        gw->CAFile = certs + "/ca.pem";
        gw->DeleteOffServer = true;
        gw->MessageMax = 20000000;
        const QChar k253(0xFD);
        gw->ExtMap = QStringLiteral("csv") + k253 + "robot@tarnwick.test";
        for (int i = 0; i < 200; ++i)
            csv += QByteArray::number(i) + ";caf\xE9 " + QByteArray::number(i * 7) + "\r\n";
        return peers->ok() && peers->smtpsPort() != 0;
    }
    void dropFile() { write(config::Running().PathExtMap + "orders.csv", csv); }
    void use(Security smtp, quint16 smtpPort, Security pop, quint16 popPort)
    {
        gw->SMTPSecurity = smtp;
        gw->SMTPPort = smtpPort;
        gw->POPSecurity = pop;
        gw->POPPort = popPort;
    }
    int mailboxSize() const
    {
        int n = 0;
        for (const char* sub : {"/new", "/cur"})
            n += int(QDir(peers->maildir() + sub).entryList(QDir::Files).size());
        return n;
    }
    QStringList waiting() const
    {
        QStringList all = files(config::Running().PathMsgOut);
        all += files(config::Running().PathExtMap);
        return all;
    }
    std::string log() const { return logs.join("\n").toStdString(); }
};

#define START_PEERS(rig, ...)                                                                 \
    if (!(rig).start(__VA_ARGS__))                                                            \
    GTEST_SKIP() << "needs dovecot-pop3d, python3-aiosmtpd and openssl: " << ((rig).peers ? (rig).peers->status().toStdString() : "")

} // namespace

TEST(SecureEndToEnd, FilesGoOutAndComeBackByteIdenticalOverStartTlsAndOverTlsFromTheFirstByte)
{
    SecureRig rig;
    START_PEERS(rig);
    config::Running().LogExtra = true;
    struct Mode {
        const char* name;
        Security smtp;
        quint16 smtpPort;
        Security pop;
        quint16 popPort;
    };
    const Mode modes[] = {
        {"STARTTLS and STLS", Security::StartTLS, rig.peers->submissionPort(), Security::StartTLS, rig.peers->popPort()},
        {"TLS from the first byte", Security::TLS, rig.peers->smtpsPort(), Security::TLS, rig.peers->popsPort()},
    };
    const QString attachIn = config::Running().PathAttachIn;
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.name);
        rig.logs.clear();
        QFile::remove(attachIn + "orders.csv");
        rig.use(m.smtp, m.smtpPort, m.pop, m.popPort);
        rig.dropFile();
        for (int cycle = 0; cycle < 2 && !QFile::exists(attachIn + "orders.csv"); ++cycle)
            ASSERT_TRUE(rig.runCycle(60000)) << rig.log();
        EXPECT_TRUE(rig.loggedStart("SMTP finished OK: 1 sent. ")) << rig.log();
        EXPECT_TRUE(rig.loggedStart("OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: ")) << rig.log();
        EXPECT_EQ(rig.read(attachIn + "orders.csv"), rig.csv);
        EXPECT_TRUE(rig.logged("OK SMTP: TLS secured the connection to 127.0.0.1")) << rig.log();
        EXPECT_TRUE(rig.logged("OK POP: TLS secured the connection to 127.0.0.1")) << rig.log();
        EXPECT_TRUE(rig.logged("OK SMTP: logged in as sender")) << rig.log();
        EXPECT_EQ(rig.mailboxSize(), 0);
        // The transcript shows the exchange but none of the secrets.
        const QString all = rig.logs.join('\n');
        EXPECT_TRUE(all.contains("--> AUTH PLAIN ****")) << rig.log();
        EXPECT_TRUE(all.contains("--> PASS ****")) << rig.log();
        for (const QByteArray& secret : {QByteArray("smtp-secret"), QByteArray("secret"),
                                        QByteArray("\0sender\0smtp-secret", 19).toBase64()})
            EXPECT_FALSE(all.contains(QString::fromLatin1(secret))) << secret.constData();
    }
}

TEST(SecureEndToEnd, NoStartTlsOfferAndWrongPasswordsEndTheirSessionsAndLoseNothing)
{
    SecureRig rig;
    START_PEERS(rig);
    config::Running().LogExtra = true;
    // The first SMTP server offers no STARTTLS; the mailbox gets a wrong password.
    rig.use(Security::StartTLS, rig.peers->smtpPort(), Security::StartTLS, rig.peers->popPort());
    rig.gw->Password = "wrong";
    rig.dropFile();
    // A message waiting on the server shows that nothing is taken or deleted.
    rig.write(rig.peers->maildir() + "/new/1700000000.M1P1.test", "Subject: waiting\n\nhello\n");
    ASSERT_TRUE(rig.runCycle(60000)) << rig.log();
    EXPECT_TRUE(rig.logged("ERROR SMTP: 127.0.0.1 does not offer STARTTLS")) << rig.log();
    EXPECT_TRUE(rig.loggedStart("ERROR POP: login refused: -ERR ")) << rig.log();
    EXPECT_FALSE(rig.loggedStart("SMTP SENT OK")) << rig.log();
    EXPECT_EQ(rig.waiting().size(), 1);
    EXPECT_EQ(rig.mailboxSize(), 1);
    EXPECT_EQ(rig.files(config::Running().PathMsgIn), QStringList());

    // The SMTP server that wants STARTTLS and a login, with a wrong SMTP password.
    rig.logs.clear();
    rig.use(Security::StartTLS, rig.peers->submissionPort(), Security::TLS, rig.peers->popsPort());
    rig.gw->SMTPPassword = "wrong";
    ASSERT_TRUE(rig.runCycle(60000)) << rig.log();
    EXPECT_TRUE(rig.loggedStart("ERROR SMTP: authentication failed: 535 ")) << rig.log();
    EXPECT_EQ(rig.waiting().size(), 1);
    EXPECT_EQ(rig.mailboxSize(), 1);
    EXPECT_FALSE(rig.logs.join('\n').contains("wrong"));
}

TEST(SecureEndToEnd, RefusedCertificatesEndTheSessionBeforeAnyCommand)
{
    const struct {
        const char* cert;
        const char* reason;
    } cases[] = {
        {"otherhost", "The host name did not match any of the valid hosts for this certificate"},
        {"expired", "The certificate has expired"},
        {"untrusted", "The issuer certificate of a locally looked up certificate could not be found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cert);
        SecureRig rig;
        START_PEERS(rig, c.cert);
        rig.use(Security::TLS, rig.peers->smtpsPort(), Security::StartTLS, rig.peers->popPort());
        rig.dropFile();
        rig.write(rig.peers->maildir() + "/new/1700000000.M1P1.test", "Subject: waiting\n\nhello\n");
        config::Running().LogExtra = true;
        ASSERT_TRUE(rig.runCycle(60000)) << rig.log();
        for (const char* side : {"SMTP", "POP"}) {
            const QString start = QStringLiteral("ERROR %1: TLS: certificate for 127.0.0.1 not trusted: ").arg(side);
            EXPECT_TRUE(rig.loggedStart(start)) << rig.log();
            for (const QString& l : rig.logs) {
                if (l.startsWith(start)) {
                    EXPECT_TRUE(l.contains(QLatin1String(c.reason))) << l.toStdString();
                }
            }
        }
        // Not a word after the handshake: no login, no message, nothing downloaded.
        EXPECT_FALSE(rig.logs.join('\n').contains("--> AUTH")) << rig.log();
        EXPECT_FALSE(rig.logs.join('\n').contains("--> USER")) << rig.log();
        EXPECT_FALSE(rig.loggedStart("SMTP SENT OK")) << rig.log();
        EXPECT_FALSE(rig.loggedStart("OK POP downloading")) << rig.log();
        EXPECT_EQ(rig.waiting().size(), 1);
        EXPECT_EQ(rig.mailboxSize(), 1);
    }
}
