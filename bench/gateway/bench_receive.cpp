// One POP cycle against a local Dovecot holding COUNT messages (default 200) of about SIZE KB
// (default 100), each a base64 attachment: downloading, filing and decoding all of them, and
// deleting them on the server. Prints wall seconds, the robot's own CPU seconds and its peak
// memory. Usage: bench_gateway_receive [COUNT [SIZE_KB]]
#include "config/RunningConfig.h"
#include "support/TempFolders.h"
#include "e2e/MailPeers.h"
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

// One message as a mail program would write it: headers, a text part, the attachment in
// 76-character base64 lines.
QByteArray message(int n, const QByteArray& data)
{
    QByteArray m = "From: sender@bench.test\nTo: robot@bench.test\nSubject: data " + QByteArray::number(n)
        + "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b-" + QByteArray::number(n) + "\"\n\n"
        + "--b-" + QByteArray::number(n) + "\nContent-Type: text/plain\n\nData file attached.\n\n"
        + "--b-" + QByteArray::number(n) + "\nContent-Type: application/octet-stream; name=\"data" + QByteArray::number(n)
        + ".bin\"\nContent-Transfer-Encoding: base64\n\n";
    const QByteArray b64 = data.toBase64();
    for (qsizetype i = 0; i < b64.size(); i += 76)
        m += b64.mid(i, 76) + '\n';
    m += "\n--b-" + QByteArray::number(n) + "--\n";
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 200;
    const int sizeKb = argc > 2 ? QByteArray(argv[2]).toInt() : 100;
    const QString python = tw::test::pythonWithAiosmtpd();
    if (python.isEmpty() || !tw::test::dovecotInstalled()) {
        std::printf("needs dovecot-pop3d and python3 with aiosmtpd; nothing measured\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup);
    tw::test::UseFoldersUnder(dir.path());
    auto& rc = config::Running();
    tw::test::MailPeers peers(python, TW_SCRIPTS_DIR "/mail_peers.py", dir.path() + "/peers");
    if (!peers.ok()) {
        std::printf("the mail peers did not start (%s); nothing measured\n", peers.status().constData());
        return 0;
    }

    QRandomGenerator rng(5);
    QByteArray data(qsizetype(sizeKb) * 1024, Qt::Uninitialized);
    for (int n = 0; n < count; ++n) {
        for (qsizetype i = 0; i < data.size(); ++i)
            data[i] = char(rng.bounded(256));
        QFile f(peers.maildir() + QString::asprintf("/new/1700000000.M%dP1.bench", n));
        f.open(QIODevice::WriteOnly);
        f.write(message(n, data));
    }

    clsInetGateway gw;
    gw.PopServer = "127.0.0.1";
    gw.POPPort = peers.popPort();
    gw.UserName = "robot";
    gw.Password = "secret";
    gw.DeleteOffServer = true;
    gw.MessageMax = 2000000;
    gw.Actions = "POP";
    QString lastLine;
    int errors = 0;
    int scripts = 0;
    QObject::connect(&gw, &clsInetGateway::LogMessageEvent, [&] {
        lastLine = gw.LoggedMessage();
        errors += lastLine.startsWith(QLatin1String("ERROR"));
    });
    QObject::connect(&gw, &clsInetGateway::ScriptPOP, [&] { ++scripts; });

    const double mem0 = peakMb();
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
    const double seconds = double(wall.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    const int filed = int(QDir(rc.PathMsgIn).entryList(QDir::Files).size());
    const int decoded = int(QDir(rc.PathAttachIn).entryList(QDir::Files).size());
    std::printf("%d x %d KB receive cycle: %.2f s wall, %.2f s CPU of the robot, peak memory %.1f MB "
                "(%.1f MB before the cycle); %d filed, %d attachments, %d receive events, %d error lines\n"
                "last log line: %s\n",
                count, sizeKb, seconds, cpu, peakMb(), mem0, filed, decoded, scripts, errors, lastLine.toLocal8Bit().constData());
    return 0;
}
