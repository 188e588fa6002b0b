// Starts and stops the real mail peers of the end-to-end tests and benchmarks: Dovecot (POP3)
// and aiosmtpd delivering into Dovecot's Maildir, both on loopback (scripts/mail_peers.py).
#pragma once

#include "e2e/SmtpSink.h"

#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tw::test {

inline bool dovecotInstalled() { return QFileInfo(QStringLiteral("/usr/sbin/dovecot")).isExecutable(); }

class MailPeers {
public:
    // script: path of mail_peers.py; folder: where configuration, Maildir and logs go; extra:
    // more options ("--tls", a certificate folder, "--cert", a certificate's name).
    MailPeers(const QString& python, const QString& script, const QString& folder, const QStringList& extra = {})
        : folder_(folder)
    {
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start(python, QStringList{script, QStringLiteral("--dir"), folder} + extra);
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
            if (ports.size() >= 5) {
                pops_ = quint16(ports[2].toUInt());
                submission_ = quint16(ports[3].toUInt());
                smtps_ = quint16(ports[4].toUInt());
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
    // With "--tls": POP3 with TLS from the first byte; SMTP that requires STARTTLS and AUTH;
    // SMTP with TLS from the first byte that requires AUTH.
    quint16 popsPort() const { return pops_; }
    quint16 submissionPort() const { return submission_; }
    quint16 smtpsPort() const { return smtps_; }
    QString maildir() const { return folder_ + QStringLiteral("/Maildir"); }

private:
    QProcess proc_;
    QString folder_;
    QByteArray status_;
    quint16 pop_ = 0;
    quint16 smtp_ = 0;
    quint16 pops_ = 0;
    quint16 submission_ = 0;
    quint16 smtps_ = 0;
};

} // namespace tw::test
