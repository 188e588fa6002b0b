// The socket holder: one TCP client socket and the 55 ms poll timer, shared by every gateway
// object of the process (the latest one created is bound to them). It maps Qt's socket
// states and errors onto the control codes the gateway and the scheduler reason with. A
// connection can be secured with TLS at the gateway's request; the server's certificate chain
// and host name are always checked.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>

class clsInetGateway;

namespace gateway {

// Control codes the gateway logs and branches on.
constexpr int kErrInvalidState = 40006;   // operation not valid in the socket's present state
constexpr int kErrWouldBlock = 11035;     // the data cannot be taken yet; try again

class frmSocket : public QObject {
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

    // Closes without raising the close notification (only a remote close raises it).
    void close();
    void connectTo(const QString& host, quint16 port);
    // 0 closed, 4 resolving, 6 connecting, 7 connected, 8 closing, 9 error.
    int stateNumber() const;
    // Starts the TLS handshake on the open connection, trusting the system's certificates and
    // those in caFile (PEM; empty: no more). "" when it is under way, else why it cannot start.
    // The outcome reaches the bound gateway as Socket_Encrypted or Socket_TlsFailed; until then
    // nothing can be read.
    QString startTls(const QString& caFile);
    // Largest amount of queued outgoing data before a send is told to wait (11035).
    static constexpr qint64 kHighWater = 4 << 20;

    int lastErrorNumber() const { return errorNumber_; }
    QString lastErrorText() const { return errorText_; }

private:
    frmSocket();
    void onStateChanged(QAbstractSocket::SocketState s);
    void onError(QAbstractSocket::SocketError e);
    void onSslErrors(const QList<QSslError>& errors);

    QSslSocket* socket_;
    QTimer* timer_;
    QPointer<clsInetGateway> bound_;
    bool closingLocally_ = false;
    bool inError_ = false;
    bool wasOpen_ = false;
    quint64 generation_ = 0;
    bool handshaking_ = false;
    QStringList certificateErrors_;   // of the handshake under way
    int errorNumber_ = 0;
    QString errorText_;
};

} // namespace gateway
