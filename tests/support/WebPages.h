// The loopback web server of scripts/web_pages.py, started for the length of a test
// program or benchmark.
#pragma once

#include <QProcess>
#include <QString>

namespace tw::test {

class WebPages {
public:
    WebPages()
    {
        const QString script = qEnvironmentVariable("TW_SOURCE_DIR") + QStringLiteral("/scripts/web_pages.py");
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("/usr/bin/python3"), {script});
        if (process_.waitForStarted(10000) && process_.waitForReadyRead(10000))
            port_ = process_.readLine().trimmed().toInt();
    }
    ~WebPages()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    WebPages(const WebPages&) = delete;
    WebPages& operator=(const WebPages&) = delete;

    bool ok() const { return port_ > 0; }
    // "http://127.0.0.1:<port>" followed by path.
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:") + QString::number(port_) + path;
    }

private:
    QProcess process_;
    int port_ = 0;
};

} // namespace tw::test
