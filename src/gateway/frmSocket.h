// The socket holder: one TCP client socket and the 55 ms poll timer, shared by every gateway
// object of the process (the latest one created is bound to them). It maps Qt's socket
// states and errors onto the control codes the gateway and the scheduler reason with, and
// hands whatever arrives to the bound gateway's feed. A connection can be secured with TLS at
// the gateway's request; the server's certificate chain and host name are always checked.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>

#include "gateway/Transport.h"

class clsInetGateway;

namespace gateway {

class frmSocket : public QObject, public Transport {
    Q_OBJECT
public:
    // Created on first use; lives until the process ends (or unload() is called).
    static frmSocket& instance();
    static void unload();
    // The holder if it has been created, else nullptr.
    static frmSocket* existing();

    QSslSocket* Socket() { return socket_; }
    QTimer* tmrSocket() { return timer_; }

    void bind(clsInetGateway* g);
    void unbind(clsInetGateway* g);

    void close() override;
    void connectTo(const QString& host, quint16 port) override;
    int send(const QByteArray& bytes) override;
    int stateNumber() const override;
    void setTicking(bool on) override;
    QString failureReason() const override { return reason_; }
    QString startTls(const QString& caFile) override;
    // Largest amount of queued outgoing data before a send is told to wait (11035).
    static constexpr qint64 kHighWater = 4 << 20;

    int lastErrorNumber() const { return errorNumber_; }
    QString lastErrorText() const { return errorText_; }

private:
    frmSocket();
    void onStateChanged(QAbstractSocket::SocketState s);
    void onError(QAbstractSocket::SocketError e);
    // Hands what has arrived to the bound gateway.
    void deliver();
    void onSslErrors(const QList<QSslError>& errors);

    QSslSocket* socket_;
    QTimer* timer_;
    QPointer<clsInetGateway> bound_;
    bool closingLocally_ = false;
    bool sending_ = false;        // a send waits for the peer, letting events run
    bool unloadPending_ = false;  // unloaded during that wait: deleted once it has returned
    bool inError_ = false;
    bool wasOpen_ = false;
    quint64 generation_ = 0;
    bool handshaking_ = false;
    QStringList certificateErrors_;   // of the handshake under way
    int errorNumber_ = 0;
    QString errorText_;
    QString reason_;
};

} // namespace gateway
