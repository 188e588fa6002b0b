// The transcript player behind the protocol tests.
#include "support/FakeServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace tw::test {

FakeServer::FakeServer()
{
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &FakeServer::onConnection);
}

FakeServer::~FakeServer()
{
    if (client_)
        client_->abort();
}

FakeServer& FakeServer::send(const QByteArray& bytes)
{
    steps_.append({Step::Send, bytes, 0});
    return *this;
}

FakeServer& FakeServer::sendChunks(const QList<QByteArray>& parts, int gapMs)
{
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            pause(gapMs);
        send(parts[i]);
    }
    return *this;
}

FakeServer& FakeServer::expect(const QByteArray& line)
{
    steps_.append({Step::Expect, line, 0});
    return *this;
}

FakeServer& FakeServer::expectMessage()
{
    steps_.append({Step::ExpectMessage, {}, 0});
    return *this;
}

FakeServer& FakeServer::pause(int ms)
{
    steps_.append({Step::Pause, {}, ms});
    return *this;
}

FakeServer& FakeServer::close()
{
    steps_.append({Step::Close, {}, 0});
    return *this;
}

FakeServer& FakeServer::silent()
{
    steps_.append({Step::Silent, {}, 0});
    return *this;
}

void FakeServer::onConnection()
{
    while (QTcpSocket* s = server_.nextPendingConnection()) {
        if (client_) {
            // One conversation at a time: a second caller is turned away.
            s->abort();
            s->deleteLater();
            continue;
        }
        ++connections_;
        client_ = s;
        pending_.clear();
        connect(s, &QTcpSocket::readyRead, this, &FakeServer::onData);
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        advance();
    }
}

void FakeServer::onData()
{
    if (!client_)
        return;
    const QByteArray in = client_->readAll();
    received_ += in;
    pending_ += in;
    advance();
}

void FakeServer::advance()
{
    while (!waiting_ && step_ < steps_.size() && client_) {
        const Step& s = steps_[step_];
        switch (s.kind) {
        case Step::Send:
            client_->write(s.data);
            client_->flush();
            ++step_;
            break;
        case Step::Expect: {
            const qsizetype eol = pending_.indexOf("\r\n");
            if (eol < 0)
                return;
            const QByteArray line = pending_.left(eol + 2);
            pending_.remove(0, eol + 2);
            if (line != s.data) {
                failures_ << QStringLiteral("step %1: expected [%2] got [%3]")
                                 .arg(step_)
                                 .arg(QString::fromLatin1(s.data.toPercentEncoding(" <>:@.=-_")))
                                 .arg(QString::fromLatin1(line.toPercentEncoding(" <>:@.=-_")));
                step_ = steps_.size();
                client_->abort();
                return;
            }
            ++step_;
            break;
        }
        case Step::ExpectMessage: {
            qsizetype end = -1;
            if (pending_.startsWith(".\r\n"))
                end = 0;
            else if (const qsizetype p = pending_.indexOf("\r\n.\r\n"); p >= 0)
                end = p + 2;
            if (end < 0)
                return;
            messages_.append(pending_.left(end + 3));
            pending_.remove(0, end + 3);
            ++step_;
            break;
        }
        case Step::Pause:
            waiting_ = true;
            QTimer::singleShot(s.ms, this, [this] {
                waiting_ = false;
                ++step_;
                advance();
            });
            return;
        case Step::Close:
            ++step_;
            client_->disconnectFromHost();
            client_ = nullptr;
            return;
        case Step::Silent:
            return;
        }
    }
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

} // namespace tw::test
