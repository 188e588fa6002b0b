// The connection a conversation talks through: connect, send, close and state. Incoming data
// does not come through here: the transport hands it to the gateway's feed, so a conversation
// can be driven by feeding it lines. frmSocket is the real one; tests use a recording double.
#pragma once

#include <QByteArray>
#include <QString>

namespace gateway {

// Control codes the gateway logs and branches on.
constexpr int kErrInvalidState = 40006;   // operation not valid in the socket's present state
constexpr int kErrWouldBlock = 11035;     // the data cannot be taken yet; try again

class Transport {
public:
    virtual ~Transport() = default;

    // Starts a connection; its progress shows in stateNumber().
    virtual void connectTo(const QString& host, quint16 port) = 0;
    // 0 when the bytes were taken; kErrInvalidState without a connection; kErrWouldBlock when
    // the peer took nothing for as long as a send may wait.
    virtual int send(const QByteArray& bytes) = 0;
    // Closes without raising the close notification (only a remote close raises it).
    virtual void close() = 0;
    // 0 closed, 4 resolving, 6 connecting, 7 connected, 8 closing, 9 error.
    virtual int stateNumber() const = 0;
    // Whether the gateway's poll tick runs (it drives the silence bound while a cycle is on).
    virtual void setTicking(bool on) = 0;
    // Why the last connection attempt failed, in the system's words ("Connection refused",
    // "Host not found", "Network unreachable", ...); "" when nothing has failed since connectTo.
    virtual QString failureReason() const = 0;
    // Starts the TLS handshake on the open connection, trusting the system's certificates and
    // those in caFile (PEM; empty: no more). "" when it is under way, else why it cannot start.
    // The outcome reaches the gateway as Socket_Encrypted or Socket_TlsFailed; until then
    // nothing arrives through the feed.
    virtual QString startTls(const QString& caFile)
    {
        Q_UNUSED(caFile);
        return QStringLiteral("this connection cannot be secured");
    }
};

} // namespace gateway
