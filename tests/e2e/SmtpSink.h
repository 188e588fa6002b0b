// Starts and stops the real SMTP server (aiosmtpd) of the end-to-end tests and benchmarks.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tw::test {

// The first python3 that can import aiosmtpd, or "" when there is none.
inline QString pythonWithAiosmtpd()
{
    for (const QString& p : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(p, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")});
        if (probe.waitForFinished(20000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return p;
    }
    return QString();
}

class SmtpSink {
public:
    // script: path of smtp_sink.py (or stall_sink.py); the server delivers into maildir; extra:
    // more options for the script.
    SmtpSink(const QString& python, const QString& script, const QString& maildir, const QStringList& extra = {})
    {
        proc_.start(python, QStringList{script, QStringLiteral("--maildir"), maildir} + extra);
        if (proc_.waitForStarted(10000) && proc_.waitForReadyRead(20000))
            port_ = quint16(proc_.readLine().trimmed().toUInt());
    }
    ~SmtpSink()
    {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(10000)) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }
    quint16 port() const { return port_; }

private:
    QProcess proc_;
    quint16 port_ = 0;
};

} // namespace tw::test
