// A transport without a socket: it keeps every byte the gateway sends and answers connect,
// close and state as the test sets it up, so a conversation is driven by feeding it lines.
#pragma once

#include "gateway/Transport.h"

#include <QByteArray>
#include <QString>

namespace tw::test {

struct RecordingTransport : gateway::Transport {
    QByteArray sent;
    int state = 0;             // what stateNumber() answers
    int connectGives = 7;      // the state a connect leads to
    int sendGives = 0;         // what send() answers while connected
    int takenBeforeStall = -1; // sends taken before the peer stops taking data (-1: never stops)
    bool ticking = false;
    QString reason;            // what failureReason() answers
    QStringList connects;      // "host:port" of each connect
    QStringList tlsStarts;     // the CA file of each handshake asked for
    QString startTlsGives;     // what startTls() answers ("": the handshake is under way)

    void connectTo(const QString& host, quint16 port) override
    {
        connects << host + QLatin1Char(':') + QString::number(port);
        state = connectGives;
    }
    int send(const QByteArray& bytes) override
    {
        if (state != 7)
            return gateway::kErrInvalidState;
        if (takenBeforeStall == 0)
            return gateway::kErrWouldBlock;
        if (takenBeforeStall > 0)
            --takenBeforeStall;
        if (sendGives == 0)
            sent += bytes;
        return sendGives;
    }
    void close() override { state = 0; }
    int stateNumber() const override { return state; }
    QString failureReason() const override { return reason; }
    void setTicking(bool on) override { ticking = on; }
    QString startTls(const QString& caFile) override
    {
        tlsStarts << caFile;
        return startTlsGives;
    }
    // What was sent since the last call.
    QByteArray take()
    {
        QByteArray b = sent;
        sent.clear();
        return b;
    }
};

} // namespace tw::test
