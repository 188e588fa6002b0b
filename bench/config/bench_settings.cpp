// Reads a settings file of SIZE_MB megabytes (default 20; the real keys at its end, after a
// long section of other keys) into the running configuration, as the program does at start,
// and prints the seconds it took. Usage: bench_config_settings [SIZE_MB]
#include "config/INISettings.h"
#include "config/RunningConfig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int sizeMb = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("Tarnwick.ini")));
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write("[Notes]\r\n");
    const QByteArray filler = "SomeKeyOfAnotherTool=a value that nobody reads, of a typical length\r\n";
    for (qint64 written = 0; written < qint64(sizeMb) * 1024 * 1024; written += filler.size())
        f.write(filler);
    f.write("[Global]\r\nUnattended=True\r\nLogExtra=False\r\n[Email]\r\nSMTPServer=127.0.0.1\r\nTimeout=60\r\n"
            "DeleteOffServer=True\r\nCheckInterval=90\r\n[WWW]\r\nMonitorPause=4\r\n");
    f.close();

    config::GatewaySettings gateway;
    QElapsedTimer t;
    t.start();
    config::INISettings(dir.path(), gateway, [](const QString&) {});
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    std::printf("settings file of %d MB read into the running configuration: %.3f s (Timeout %d, interval %d)\n", sizeMb,
                seconds, int(gateway.TimeOut), int(config::Running().EmailInterval));
    return 0;
}
