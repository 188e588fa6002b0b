// A whole robot (main window, gateway, web object) in this process: one e-mail cycle against
// local mail peers, then one web cycle against the local web site, with resident memory after
// each, then the time of single requests split into the fixed wait and the rest.
#include "config/RunningConfig.h"
#include "core/frmOVGate.h"
#include "e2e/MailPeers.h"
#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "support/WebPages.h"
#include "web/clsWWWTalk.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// Resident kilobytes of one process, from /proc.
long rssKb(const QString& pid)
{
    const QString status = platform::ReadTextFile(QStringLiteral("/proc/") + pid + QStringLiteral("/status"));
    for (const QString& line : status.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("VmRSS:")))
            return line.mid(6).trimmed().split(QLatin1Char(' ')).value(0).toLong();
    return 0;
}

// Resident kilobytes of the browser's processes among the descendants of pid (the mail peers
// are descendants too).
long browserRssKb(const QString& pid, int* count)
{
    long total = 0;
    for (const QString& p : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        p.toInt(&numeric);
        if (!numeric)
            continue;
        const QString stat = platform::ReadTextFile(QStringLiteral("/proc/") + p + QStringLiteral("/stat"));
        const QStringList fields = stat.mid(stat.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
        if (fields.value(1) != pid)
            continue;
        if (platform::ReadTextFile(QStringLiteral("/proc/") + p + QStringLiteral("/comm")).startsWith(QLatin1String("QtWebEngine"))) {
            ++*count;
            total += rssKb(p);
        }
        total += browserRssKb(p, count);
    }
    return total;
}

double mb(long kb) { return double(kb) / 1024.0; }

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString python = tw::test::pythonWithAiosmtpd();
    if (python.isEmpty() || !tw::test::dovecotInstalled()) {
        std::printf("needs dovecot-pop3d and python3 with aiosmtpd; nothing measured\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup);
    const QString home = dir.path() + QStringLiteral("/home/");
    QDir().mkpath(home);
    tw::test::MailPeers peers(python, TW_SCRIPTS_DIR "/mail_peers.py", dir.path() + "/peers");
    tw::test::WebPages pages;
    if (!peers.ok() || !pages.ok()) {
        std::printf("the mail peers or the web site did not start; nothing measured\n");
        return 0;
    }
    platform::WriteTextFile(home + QStringLiteral("Tarnwick.ini"),
                            QStringLiteral("[Global]\r\nUnattended=True\r\n[Email]\r\nSMTPServer=127.0.0.1\r\n"
                                           "SMTPPort=%1\r\nSMTPDomain=bench.test\r\nPOPServer=127.0.0.1\r\nPOPPort=%2\r\nUserName=robot\r\n"
                                           "ReturnAddress=robot@bench.test\r\nDeleteOffServer=True\r\n"
                                           "[WWW]\r\nMonitorPause=-1\r\n")
                                .arg(peers.smtpPort())
                                .arg(peers.popPort()));
    platform::WriteTextFile(home + QStringLiteral("extmap.ini"), QStringLiteral("csv=robot@bench.test\r\n"));
    platform::WriteTextFile(home + QStringLiteral("onInterval.txt"),
                            QStringLiteral("Sub Main\r\n  IW.ExecuteWWW \"") + pages.url(QStringLiteral("/forms.html"))
                                + QStringLiteral("\"\r\n  IW.XForm(\"user\").value = \"bench\"\r\nEnd Sub\r\n"));

    platform::HeadlessMessages quiet;
    platform::setMessages(&quiet);
    frmOVGate robot({home, {}, true});
    robot.Form_Load();
    robot.Timer1.stop();
    robot.setPOPPassword(QStringLiteral("secret"));
    for (const char* folder : {"MsgOut", "MsgIn", "AttachOut", "AttachIn", "ExtMap", "ExtMapArchive", "ExtMapReject"})
        QDir().mkpath(home + QLatin1String(folder));
    platform::WriteTextFile(home + QStringLiteral("ExtMap/bench.csv"), QStringLiteral("a;b\r\n1;2\r\n"));

    const QString self = QString::number(::getpid());
    const long startKb = rssKb(self);
    robot.mnuEmailImmediate_Click();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (robot.InetMail && robot.InetMail->State() == QLatin1String("STANDBY"))
            loop.quit();
    });
    poll.start(50);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    poll.stop();
    const long mailKb = rssKb(self);
    int browserProcesses = 0;
    const long mailChildrenKb = browserRssKb(self, &browserProcesses);
    std::printf("robot after start-up: %.1f MB resident\n", mb(startKb));
    std::printf("robot after one e-mail cycle, web never used: %.1f MB resident (browser: %.1f MB in %d processes, "
                "made: %s)\n",
                mb(mailKb), mb(mailChildrenKb), browserProcesses, robot.InetWWW->browserCreated() ? "yes" : "no");

    QElapsedTimer wall;
    wall.start();
    robot.RunWWWInterval();
    const double webSeconds = double(wall.elapsed()) / 1000.0;
    browserProcesses = 0;
    const long webChildrenKb = browserRssKb(self, &browserProcesses);
    std::printf("after its first web cycle (%.2f s, browser start included): robot %.1f MB resident, browser %.1f MB "
                "in %d processes, %.1f MB together\n",
                webSeconds, mb(rssKb(self)), mb(webChildrenKb), browserProcesses, mb(rssKb(self) + webChildrenKb));

    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    clsWWWTalk& iw = *robot.InetWWW;
    double request = 0, read = 0;
    for (int i = 0; i < rounds; ++i) {
        wall.restart();
        iw.ExecuteWWW(pages.url(QStringLiteral("/noimages.html")));
        request += double(wall.nsecsElapsed()) / 1e9;
        wall.restart();
        iw.HTML();
        read += double(wall.nsecsElapsed()) / 1e9;
    }
    // The request's first wait is a fixed 2 seconds; a local page is in long before it ends.
    std::printf("one ExecuteWWW on a local page: %.3f s on average over %d; beyond the fixed 2-second wait: "
                "%.4f s, of which one page read (HTML) %.4f s\n",
                request / rounds, rounds, request / rounds - 2.0, read / rounds);
    robot.RequestUnload(frmOVGate::UnloadMode::FromCode, QString());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::setMessages(nullptr);
    return 0;
}
