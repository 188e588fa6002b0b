// Starts and stops the real mail peers of the end-to-end tests and benchmarks: Dovecot (POP3)
// and aiosmtpd delivering into Dovecot's Maildir, both on loopback (scripts/mail_peers.py).
#pragma once

#include "e2e/SmtpSink.h"

#include <QFileInfo>
#include <QProcess>
#include <QString>

namespace tw::test {

inline bool dovecotInstalled() { return QFileInfo(QStringLiteral("/usr/sbin/dovecot")).isExecutable(); }

class MailPeers {
public:
    // script: path of mail_peers.py; folder: where configuration, Maildir and logs go.
    MailPeers(const QString& python, const QString& script, const QString& folder) : folder_(folder)
    {
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start(python, {script, QStringLiteral("--dir"), folder});
        if (!proc_.waitForStarted(10000))
            return;
        while (!proc_.canReadLine() && proc_.state() == QProcess::Running)
            proc_.waitForReadyRead(1000);
        status_ = proc_.readLine().trimmed();
        {
            const QList<QByteArray> ports = status_.split(' ');
            if (ports.size() >= 2) {
                pop_ = quint16(ports[0].toUInt());
                smtp_ = quint16(ports[1].toUInt());
            }
        }
    }
    ~MailPeers()
    {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(30000)) {
            proc_.terminate();
            if (!proc_.waitForFinished(10000)) {
                proc_.kill();
                proc_.waitForFinished(5000);
            }
        }
    }
    bool ok() const { return pop_ != 0 && smtp_ != 0; }
    // The first line the script printed: the ports, or why it could not start.
    QByteArray status() const { return status_; }
    quint16 popPort() const { return pop_; }
    quint16 smtpPort() const { return smtp_; }
    QString maildir() const { return folder_ + QStringLiteral("/Maildir"); }

private:
    QProcess proc_;
    QString folder_;
    QByteArray status_;
    quint16 pop_ = 0;
    quint16 smtp_ = 0;
};

} // namespace tw::test
