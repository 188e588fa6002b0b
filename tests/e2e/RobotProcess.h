// The robot program itself, run on an instance folder by the end-to-end tests that stop or kill
// it in the middle of a cycle.
#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QThread>

namespace tw::test {

// The built program, or "" when the test runs without a build folder.
inline QString robotProgram()
{
    const QString dir = qEnvironmentVariable("TW_BINARY_DIR");
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/tarnwick");
}

inline bool robotBuilt() { return !robotProgram().isEmpty() && QFile::exists(robotProgram()); }

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// One e-mail cycle without a window; false when the program did not start.
inline bool startOnce(QProcess& p, const QString& home)
{
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(robotProgram(), {QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--home"), home});
    return p.waitForStarted(10000);
}

// Waits until ready() holds, or until running (when given) has ended; false when ready() still
// does not hold.
template <class Ready>
bool waitUntil(Ready ready, int ms, const QProcess* running = nullptr)
{
    QDeadlineTimer deadline(ms);
    while (!ready() && !deadline.hasExpired() && !(running && running->state() != QProcess::Running))
        QThread::msleep(2);
    return ready();
}

// Waits until ready() holds; false when the run ended first or the time ran out.
template <class Ready>
bool waitWhileRunning(const QProcess& p, Ready ready, int ms = 30000)
{
    return waitUntil(ready, ms, &p);
}

} // namespace tw::test
