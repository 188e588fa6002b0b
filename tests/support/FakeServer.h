// A loopback server that plays a transcript to the client under test: send these bytes,
// expect this exact line (CR LF included), collect a message up to its lone ".", pause,
// close, or fall silent. Every byte the client sent is kept for the test to compare.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

namespace tw::test {

class FakeServer : public QObject {
    Q_OBJECT
public:
    FakeServer();
    ~FakeServer() override;

    quint16 port() const { return server_.serverPort(); }

    // Transcript steps, played in order; a close ends the current connection and the steps
    // after it are played on the next one.
    FakeServer& send(const QByteArray& bytes);
    // Several writes with a real pause of gapMs between them, so the client sees them apart.
    FakeServer& sendChunks(const QList<QByteArray>& parts, int gapMs = 70);
    FakeServer& expect(const QByteArray& line);
    // Takes the lines of one message up to and including the line ".".
    FakeServer& expectMessage();
    FakeServer& pause(int ms);
    FakeServer& close();
    // Stops answering; the connection stays open.
    FakeServer& silent();

    QByteArray received() const { return received_; }
    QList<QByteArray> messages() const { return messages_; }
    QStringList failures() const { return failures_; }
    int connections() const { return connections_; }
    // True once every step has been played.
    bool finished() const { return step_ >= steps_.size(); }
    bool clientConnected() const { return client_ && client_->state() == QAbstractSocket::ConnectedState; }

private:
    struct Step {
        enum Kind { Send, Expect, ExpectMessage, Pause, Close, Silent } kind;
        QByteArray data;
        int ms = 0;
    };
    void onConnection();
    void onData();
    void advance();

    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    QList<Step> steps_;
    qsizetype step_ = 0;
    QByteArray pending_;
    QByteArray received_;
    QList<QByteArray> messages_;
    QStringList failures_;
    int connections_ = 0;
    bool waiting_ = false;
};

// Runs the event loop until pred() holds or timeoutMs of real time have passed; true if it held.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 10000);

} // namespace tw::test
