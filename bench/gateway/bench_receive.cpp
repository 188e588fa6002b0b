// One POP cycle against a local Dovecot holding COUNT messages (default 200) of about SIZE KB
// (default 100), each a base64 attachment: downloading, filing and decoding all of them, and
// deleting them on the server; over plain TCP and over TLS, to show what TLS costs. Prints wall
// seconds, the robot's own CPU seconds and its peak memory.
// Usage: bench_gateway_receive [COUNT [SIZE_KB [MODE...]]], MODE plain, starttls or tls
// (default: plain tls), each optionally with "-norecord": the record of filed messages is
// kept from being read (its place is taken by a folder), so no UIDL is asked and no id
// written, which shows what the record costs. The mailbox is filled afresh for each mode.
#include "config/RunningConfig.h"
#include "support/TempFolders.h"
#include "e2e/MailPeers.h"
#include "gateway/FiledRecord.h"
#include "gateway/clsInetGateway.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// One message as a mail program would write it: headers, a text part, the attachment of
// sizeKb random kilobytes in 76-character base64 lines. Written in pieces, so that a large
// message does not raise the peak memory the cycle is measured by.
void writeMessage(QFile& f, int n, qint64 sizeKb, QRandomGenerator& rng)
{
    f.write("From: sender@bench.test\nTo: robot@bench.test\nSubject: data " + QByteArray::number(n)
            + "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b-" + QByteArray::number(n) + "\"\n\n"
            + "--b-" + QByteArray::number(n) + "\nContent-Type: text/plain\n\nData file attached.\n\n"
            + "--b-" + QByteArray::number(n) + "\nContent-Type: application/octet-stream; name=\"data" + QByteArray::number(n)
            + ".bin\"\nContent-Transfer-Encoding: base64\n\n");
    constexpr qint64 kPiece = 57 * 1024;   // whole 76-character lines
    QByteArray data;
    for (qint64 left = sizeKb * 1024; left > 0; left -= kPiece) {
        data.resize(qMin(left, kPiece));
        for (qsizetype i = 0; i < data.size(); ++i)
            data[i] = char(rng.bounded(256));
        const QByteArray b64 = data.toBase64();
        QByteArray lines;
        for (qsizetype i = 0; i < b64.size(); i += 76)
            lines += b64.mid(i, 76) + '\n';
        f.write(lines);
    }
    f.write("\n--b-" + QByteArray::number(n) + "--\n");
}

} // namespace

namespace {

struct Run {
    double seconds = 0;
    double cpu = 0;
    int filed = 0;
    int decoded = 0;
    int scripts = 0;
    int errors = 0;
    QString lastLine;
};

// One receive cycle of the mailbox over the given security; the folders are emptied first.
Run receive(tw::test::MailPeers& peers, config::Security security, const QString& caFile, bool record,
            qint32 messageMax)
{
    auto& rc = config::Running();
    for (const QString& folder : {rc.PathMsgIn, rc.PathAttachIn})
        for (const QString& f : QDir(folder).entryList(QDir::Files))
            QFile::remove(folder + f);
    const quint16 port = security == config::Security::TLS ? peers.popsPort() : peers.popPort();
    const QString recordPath = gateway::FiledRecord::PathFor(rc.PathHome, "127.0.0.1", port, "robot");
    QFile::remove(recordPath);
    QDir(recordPath).removeRecursively();
    if (!record)
        QDir().mkpath(recordPath);
    clsInetGateway gw;
    gw.PopServer = "127.0.0.1";
    gw.POPPort = port;
    gw.POPSecurity = security;
    gw.CAFile = caFile;
    gw.UserName = "robot";
    gw.Password = "secret";
    gw.DeleteOffServer = true;
    gw.MessageMax = messageMax;
    gw.Actions = "POP";
    Run r;
    QObject::connect(&gw, &clsInetGateway::LogMessageEvent, [&] {
        r.lastLine = gw.LoggedMessage();
        r.errors += r.lastLine.startsWith(QLatin1String("ERROR"));
    });
    QObject::connect(&gw, &clsInetGateway::ScriptPOP, [&] { ++r.scripts; });

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    gw.ProcessStart();
    if (gw.State() != QLatin1String("STANDBY")) {
        QEventLoop loop;
        QObject::connect(&gw, &clsInetGateway::StateChanged, &loop, [&](const QString& s) {
            if (s == QLatin1String("STANDBY"))
                loop.quit();
        });
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    r.seconds = double(wall.elapsed()) / 1000.0;
    r.cpu = cpuSeconds() - cpu0;
    r.filed = int(QDir(rc.PathMsgIn).entryList(QDir::Files).size());
    r.decoded = int(QDir(rc.PathAttachIn).entryList(QDir::Files).size());
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 200;
    const int sizeKb = argc > 2 ? QByteArray(argv[2]).toInt() : 100;
    QStringList modes;
    for (int i = 3; i < argc; ++i)
        modes << QString::fromLocal8Bit(argv[i]).toLower();
    if (modes.isEmpty())
        modes = QStringList{"plain", "tls"};
    const QString python = tw::test::pythonWithAiosmtpd();
    if (python.isEmpty() || !tw::test::dovecotInstalled()) {
        std::printf("needs dovecot-pop3d and python3 with aiosmtpd; nothing measured\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup);
    tw::test::UseFoldersUnder(dir.path());
    const QString certs = dir.path() + "/certs";
    tw::test::MailPeers peers(python, TW_SCRIPTS_DIR "/mail_peers.py", dir.path() + "/peers", {"--tls", certs});
    if (!peers.ok() || peers.popsPort() == 0) {
        std::printf("the mail peers did not start (%s); nothing measured\n", peers.status().constData());
        return 0;
    }

    for (qsizetype round = 0; round < modes.size(); ++round) {
        QString mode = modes[round];
        const bool record = !mode.endsWith(QLatin1String("-norecord"));
        mode.remove(QLatin1String("-norecord"));
        const config::Security security = mode == QLatin1String("tls")        ? config::Security::TLS
                                          : mode == QLatin1String("starttls") ? config::Security::StartTLS
                                                                              : config::Security::None;
        QRandomGenerator rng(5);
        for (int n = 0; n < count; ++n) {
            // Names never used before: the server remembers the names of messages it deleted.
            QFile f(peers.maildir() + QString::asprintf("/new/1700000000.M%dP%d.bench", n, int(round) + 1));
            f.open(QIODevice::WriteOnly);
            writeMessage(f, n, sizeKb, rng);
        }
        const double mem0 = peakMb();
        // Every message is taken whole, however large.
        const qint32 messageMax = qint32(qMin<qint64>(2147483647, qMax<qint64>(2000000, qint64(sizeKb) * 1024 * 2)));
        const Run r = receive(peers, security, certs + "/ca.pem", record, messageMax);
        std::printf("%-14s %d x %d KB receive cycle: %.2f s wall, %.2f s CPU of the robot, peak memory %.1f MB "
                    "(%.1f MB before the cycle); %d filed, %d attachments, %d receive events, %d error lines\n"
                    "         last log line: %s\n",
                    qPrintable(modes[round]), count, sizeKb, r.seconds, r.cpu, peakMb(), mem0, r.filed, r.decoded, r.scripts, r.errors,
                    r.lastLine.toLocal8Bit().constData());
    }
    return 0;
}
