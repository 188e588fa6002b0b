// The mapping stage alone on COUNT small data files (default 1000) in the mapping folder,
// spread over one mapping entry per 200 files (an entry takes at most 200 files a cycle):
// prints wall and CPU seconds and how many message files were made.
// Usage: bench_gateway_mapping [COUNT]
#include "config/RunningConfig.h"
#include "gateway/clsInetGateway.h"
#include "support/TempFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

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
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    const int entries = (count + 199) / 200;
    QTemporaryDir dir;
    tw::test::UseFoldersUnder(dir.path());
    auto& rc = config::Running();
    const QByteArray data(1024, 'x');
    // Written a minute ago, as files that have settled.
    const QDateTime written = QDateTime::currentDateTime().addSecs(-60);
    for (int n = 0; n < count; ++n) {
        QFile f(rc.PathExtMap + QString::asprintf("file%04d.e%d", n, n % entries));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        f.flush();
        f.setFileTime(written, QFileDevice::FileModificationTime);
    }
    clsInetGateway gw;
    gw.ReturnAddress = "robot@bench.test";
    gw.Actions = "pop";   // map only: no composition, and no POP server to go to
    QStringList map;
    for (int e = 0; e < entries; ++e)
        map << QStringLiteral("e%1").arg(e) + QChar(0xFD) + "sink@bench.test";
    gw.ExtMap = map.join(QChar(0xFE));

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    gw.ProcessStart();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    std::printf("mapping stage on %d files of 1 KB: %.3f s wall, %.3f s CPU; %lld message files, %lld files left\n", count,
                seconds, cpu, qlonglong(QDir(rc.PathMsgOut).entryList(QDir::Files).size()),
                qlonglong(QDir(rc.PathExtMap).entryList(QDir::Files).size()));
    return 0;
}
