// One e-mail cycle that maps and sends 49 messages, each with a 1 MB attachment, to a local
// aiosmtpd: prints wall seconds, the robot's own CPU seconds and its peak memory.
#include "config/RunningConfig.h"
#include "support/TempFolders.h"
#include "e2e/SmtpSink.h"
#include "gateway/clsInetGateway.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QEventLoop>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString python = tw::test::pythonWithAiosmtpd();
    if (python.isEmpty()) {
        std::printf("no python3 with aiosmtpd; nothing measured\n");
        return 0;
    }
    QTemporaryDir dir;
    tw::test::UseFoldersUnder(dir.path());
    auto& rc = config::Running();
    const QString maildir = dir.path() + "/maildir";
    tw::test::SmtpSink sink(python, TW_E2E_DIR "/smtp_sink.py", maildir);

    QRandomGenerator rng(3);
    QByteArray data(1024 * 1024, Qt::Uninitialized);
    for (int n = 0; n < 49; ++n) {
        for (qsizetype i = 0; i < data.size(); ++i)
            data[i] = char(rng.bounded(256));
        QFile f(rc.PathExtMap + QString::asprintf("file%02d.dat", n));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        f.flush();
        // Settled files: the mapping stage leaves files alone while they may still be written.
        f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
    }

    clsInetGateway gw;
    gw.SMTPServer = "127.0.0.1";
    gw.SMTPPort = sink.port();
    gw.SMTPDomain = "bench.test";
    gw.ReturnAddress = "robot@bench.test";
    gw.ExtMap = QStringLiteral("dat") + QChar(0xFD) + "sink@bench.test";
    QString lastLine;
    QObject::connect(&gw, &clsInetGateway::LogMessageEvent, [&] { lastLine = gw.LoggedMessage(); });

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    gw.ProcessStart();
    const qint64 composedMs = wall.elapsed();
    const double composeCpu = cpuSeconds() - cpu0;
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
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const int delivered = int(QDir(maildir + "/new").entryList(QDir::Files).size());
    std::printf("49 x 1 MB cycle: %.2f s wall (mapping and composition %.2f s, %.2f s CPU), %.2f s CPU of the robot, "
                "peak memory %.1f MB, %d messages delivered\nlast log line: %s\n",
                seconds, double(composedMs) / 1000.0, composeCpu, cpu, double(u.ru_maxrss) / 1024.0, delivered,
                lastLine.toLocal8Bit().constData());
    return 0;
}
