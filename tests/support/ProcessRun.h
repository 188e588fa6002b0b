// Runs one of the built programs to its end, as a shell would, and keeps what it said.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace tw::test {

struct ProcessRun {
    int code = -1;
    QString out;
    QString err;
};

// env: the environment to run in; without it the test's own.
inline ProcessRun RunToEnd(const QString& program, const QStringList& args,
                           const std::optional<QProcessEnvironment>& env = std::nullopt)
{
    QProcess p;
    if (env)
        p.setProcessEnvironment(*env);
    p.start(program, args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace tw::test
