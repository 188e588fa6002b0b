// The gateway's transport: creation, logging, state, connect and send, the receive tick with
// line assembly and dispatch by state, the close notification and the silence bound.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "gateway/frmSocket.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QHostAddress>

using gateway::frmSocket;
using gateway::NowShort;
using gateway::SignedForm;

namespace {

const QString kStandby = QStringLiteral("STANDBY");

// Where a received line goes, by the state in force when it is read.
enum class Route { Smtp, SmtpGreeting, Pop, PopDownload, Discard, Recovery, Unexpected };

Route routeFor(const QString& state)
{
    struct Entry {
        const char* state;
        Route route;
    };
    static const Entry table[] = {
        {"SMTP", Route::Smtp},
        {"SMTP QUIT", Route::Smtp},
        {"SMTP STANDBY", Route::SmtpGreeting},
        {"POP", Route::Pop},
        {"POP STANDBY", Route::Pop},
        {"POP START", Route::Pop},
        {"POP MESSAGE DOWNLOADING", Route::PopDownload},
        {"POP QUIT", Route::Discard},
        {"STANDBY", Route::Recovery},
    };
    for (const Entry& e : table)
        if (state == QLatin1String(e.state))
            return e.route;
    return Route::Unexpected;
}

// Seconds on the whole-second clock the cooperative wait uses.
qint64 wholeSeconds() { return platform::Now().toMSecsSinceEpoch() / 1000; }

} // namespace

clsInetGateway::clsInetGateway(QObject* parent) : QObject(parent)
{
    frmSocket::instance().bind(this);
    lastArrival_ = platform::Now();
}

clsInetGateway::~clsInetGateway()
{
    if (frmSocket* h = frmSocket::existing())
        h->unbind(this);
}

void clsInetGateway::applySettings(const config::GatewaySettings& s)
{
    TimeOut = s.TimeOut;
    SMTPPort = s.SMTPPort;
    SMTPServer = s.SMTPServer;
    SMTPDomain = s.SMTPDomain;
    POPPort = s.POPPort;
    PopServer = s.PopServer;
    UserName = s.UserName;
    Password = s.Password;
    DeleteOffServer = s.DeleteOffServer;
    MessageMax = s.MessageMax;
    ReturnAddress = s.ReturnAddress;
    ExtMap = s.ExtMap;
    SMTPSecurity = s.SMTPSecurity;
    POPSecurity = s.POPSecurity;
    SMTPUserName = s.SMTPUserName;
    SMTPPassword = s.SMTPPassword;
    CAFile = s.CAFile;
}

void clsInetGateway::log(const QString& s)
{
    loggedMessage_ = s;
    emit LogMessageEvent();
}

void clsInetGateway::LogMessage(const QString& s) { log(s); }

void clsInetGateway::setState(const QString& s)
{
    if (state_ == s)
        return;
    state_ = s;
    emit StateChanged(s);
}

int clsInetGateway::SocketState() const { return frmSocket::instance().stateNumber(); }

QString clsInetGateway::SocketConnect()
{
    frmSocket& h = frmSocket::instance();
    // A failure of the connect being started is reported by the result, not as a close.
    inConnect_ = true;
    h.close();
    platform::WaitSeconds(0.2f);
    ReceiveBuffer.clear();
    tls_ = Tls::Off;
    smtpExtensions_.clear();
    lastArrival_ = platform::Now();
    if (TargetPort < 1 || TargetPort > 65535) {
        inConnect_ = false;
        return QStringLiteral("ERROR connecting: ") + SignedForm(380) + QStringLiteral(" Invalid property value");
    }
    h.connectTo(TargetHost, quint16(TargetPort));
    const qint64 deadline = wholeSeconds() + 1;
    for (;;) {
        const int n = h.stateNumber();
        if (n == 6 || n == 7)
            break;
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        if (wholeSeconds() >= deadline || state_ == QLatin1String("POP STANDBY") || state_ == kStandby)
            break;
        // Gives the processor away between turns; a test clock moves on instead.
        platform::clock().sleepMs(5);
    }
    inConnect_ = false;
    const int n = h.stateNumber();
    if (n == 6 || n == 7)
        return QStringLiteral("OK");
    return QStringLiteral("Error: Host not found");
}

void clsInetGateway::SocketDisconnect() { frmSocket::instance().close(); }

void clsInetGateway::SocketSend(const QString& text)
{
    QTcpSocket* s = frmSocket::instance().Socket();
    const QByteArray bytes = text.toLatin1();
    qint64 deadline = -1;   // taken only when the peer makes us wait: reading the clock per line is costly
    for (;;) {
        if (s->state() != QAbstractSocket::ConnectedState) {
            log(QStringLiteral("ERROR ") + SignedForm(gateway::kErrInvalidState)
                + QStringLiteral(": Wrong protocol or connection state for the requested transaction or request"));
            return;
        }
        if (s->bytesToWrite() > frmSocket::kHighWater)
            s->flush();
        if (s->bytesToWrite() <= frmSocket::kHighWater) {
            s->write(bytes);
            // Our own words restart the wait for an answer (noted here, timed at the next tick).
            sentSinceTick_ = true;
            return;
        }
        // The peer is not taking data yet (11035): retry until the deadline.
        if (deadline < 0)
            deadline = wholeSeconds() + 6;
        if (wholeSeconds() >= deadline) {
            log(QStringLiteral("ERROR:11035, Socket timeout"));
            return;
        }
        QCoreApplication::processEvents();
        s->waitForBytesWritten(10);
        platform::clock().sleepMs(1);
    }
}

void clsInetGateway::tmrSocket_Timer()
{
    receive();
    checkSilence();
}

void clsInetGateway::receive()
{
    // A tick inside a handler's own event processing waits: lines must be handled in order.
    if (inReceive_)
        return;
    QTcpSocket* s = frmSocket::instance().Socket();
    if (s->bytesAvailable() <= 0)
        return;
    inReceive_ = true;
    QString chunk = QString::fromLatin1(s->readAll());
    lastArrival_ = platform::Now();
    if (!ReceiveBuffer.isEmpty()) {
        chunk = ReceiveBuffer + chunk;
        ReceiveBuffer.clear();
    }
    dispatchLines(chunk);
    inReceive_ = false;
    if (endSessionPending_) {
        endSessionPending_ = false;
        closePending_ = false;
        endSession();
        return;
    }
    if (closePending_) {
        closePending_ = false;
        Socket_Close();
    }
}

void clsInetGateway::dispatchLines(QString chunk)
{
    static const QString crlf = QStringLiteral("\r\n");
    qsizetype pos = 0;
    for (;;) {
        // Whatever came in the clear behind the answer that started a handshake is not taken:
        // a party in between could have put it there.
        if (tls_ == Tls::Handshaking || endSessionPending_)
            return;
        const qsizetype eol = chunk.indexOf(crlf, pos);
        if (eol < 0) {
            if (pos < chunk.size())
                ReceiveBuffer = chunk.mid(pos);
            return;
        }
        QString line = chunk.mid(pos, eol - pos);
        const QString st = state_;
        Route route = routeFor(st);
        if (route == Route::Recovery) {
            // A connection reported as failed that completed after all.
            if (line.startsWith(QLatin1String("+OK"))) {
                setState(QStringLiteral("POP STANDBY"));
                LastCommand.clear();
                PopConverse(line);
                log(QStringLiteral("POP Connection made on retry or auto-recovery"));
                pos = eol + 2;
                continue;
            }
            if (chunk.mid(pos, 4) == QLatin1String("220 ")) {
                setState(QStringLiteral("SMTP STANDBY"));
                route = Route::SmtpGreeting;
            } else {
                route = Route::Unexpected;
            }
        }
        switch (route) {
        case Route::Smtp:
            SmtpConverse(line);
            break;
        case Route::SmtpGreeting: {
            // A two-line greeting is answered once, on its second line; text after a
            // one-line greeting is dropped.
            const qsizetype eol2 = chunk.indexOf(crlf, eol + 2);
            if (eol2 < 0) {
                SmtpConverse(line);
                return;
            }
            SmtpConverse(chunk.mid(eol + 2, eol2 - eol - 2));
            break;
        }
        case Route::Pop:
            PopConverse(line);
            break;
        case Route::PopDownload:
            if (!downloadStatusSeen_) {
                if (!popDownloadStatus(line)) {
                    // Whatever followed the refusal is not part of a message.
                    return;
                }
                break;
            }
            if (line == QLatin1String(".")) {
                PopConverse(line);
                break;
            }
            if (line.startsWith(QLatin1Char('.')))
                line.remove(0, 1);
            RawLines.append(line);
            RawLinesNumber = qint32(RawLines.size());
            break;
        case Route::Discard:
            return;
        case Route::Recovery:
        case Route::Unexpected:
            log(QStringLiteral("ERROR ") + st + QStringLiteral(": DATA_ARRIVAL Unexpected Message, ") + chunk.mid(pos));
            break;
        }
        pos = eol + 2;
    }
}

void clsInetGateway::Socket_Connect()
{
    Connected = true;
    // TLS from the first byte: the handshake opens the conversation; the greeting follows it.
    if (phaseSecurity() == config::Security::TLS && tls_ == Tls::Off)
        beginTls();
}

config::Security clsInetGateway::phaseSecurity() const
{
    if (state_ == kStandby)
        return config::Security::None;
    return smtpPhase() ? SMTPSecurity : POPSecurity;
}

bool clsInetGateway::smtpPhase() const { return state_.startsWith(QLatin1String("SMTP")); }

bool clsInetGateway::serverOnLoopback() const
{
    const QString host = TargetHost.trimmed();
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

void clsInetGateway::beginTls()
{
    ReceiveBuffer.clear();
    const QString why = frmSocket::instance().startTls(CAFile);
    if (!why.isEmpty()) {
        Socket_TlsFailed(why, false);
        return;
    }
    tls_ = Tls::Handshaking;
    // The handshake has the silence bound of any answer.
    lastArrival_ = platform::Now();
}

void clsInetGateway::Socket_Encrypted()
{
    if (tls_ != Tls::Handshaking)
        return;
    tls_ = Tls::Up;
    lastArrival_ = platform::Now();
    if (config::Running().LogExtra)
        log(QStringLiteral("OK ") + (smtpPhase() ? QStringLiteral("SMTP") : QStringLiteral("POP"))
            + QStringLiteral(": TLS secured the connection to ") + TargetHost);
    // After an upgrade the client speaks first; with TLS from the first byte the server greets.
    if (LastCommand == QLatin1String("STARTTLS"))
        smtpGreet();
    else if (LastCommand == QLatin1String("STLS"))
        popLogin();
}

void clsInetGateway::Socket_TlsFailed(const QString& reason, bool certificate)
{
    if (state_ == kStandby)
        return;
    tls_ = Tls::Off;
    log(QStringLiteral("ERROR ") + (smtpPhase() ? QStringLiteral("SMTP") : QStringLiteral("POP")) + QStringLiteral(": TLS: ")
        + (certificate ? QStringLiteral("certificate for ") + TargetHost + QStringLiteral(" not trusted: ") : QString())
        + reason);
    endSession();
}

void clsInetGateway::endSession()
{
    if (inReceive_) {
        // The lines still being answered belong to the connection given up.
        endSessionPending_ = true;
        return;
    }
    frmSocket::instance().close();
    Connected = false;
    tls_ = Tls::Off;
    if (smtpPhase()) {
        setState(QStringLiteral("POP START"));
        PopStart();
        return;
    }
    frmSocket::instance().tmrSocket()->stop();
    setState(kStandby);
}

void clsInetGateway::Socket_Close()
{
    if (inConnect_)
        return;
    if (inReceive_) {
        closePending_ = true;
        return;
    }
    // What the peer said before it closed is handled first, in the state it was said in.
    receive();
    if (tls_ == Tls::Handshaking) {
        Socket_TlsFailed(QStringLiteral("the server closed the connection during the handshake"), false);
        return;
    }
    Connected = false;
    const QString st = state_;
    if (st == QLatin1String("SMTP END") || st == QLatin1String("SMTP QUIT")) {
        log(QStringLiteral("OK ") + st);
        setState(QStringLiteral("POP START"));
        PopStart();
    } else if (st == QLatin1String("SMTP") || st == QLatin1String("SMTP STANDBY")) {
        log(QStringLiteral("WARNING SMTP: Socket disconnect prematurely, will try POP: ") + NowShort());
        setState(QStringLiteral("POP START"));
        PopStart();
    } else {
        if (st == QLatin1String("POP QUIT"))
            log(QStringLiteral("OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: ") + NowShort());
        else if (st == QLatin1String("POP"))
            log(QStringLiteral("ERROR POP: Socket disconnect prematurely: ") + NowShort());
        else
            log(QStringLiteral("ERROR ") + st + QStringLiteral(" Socket disconnected unexpectedly."));
        frmSocket::instance().tmrSocket()->stop();
        setState(kStandby);
    }
}

void clsInetGateway::checkSilence()
{
    // A server that stops answering must not hold the robot until someone presses Reset.
    if (sentSinceTick_) {
        sentSinceTick_ = false;
        lastArrival_ = platform::Now();
    }
    if (state_ == kStandby || inConnect_)
        return;
    const qint64 bound = TimeOut > 0 ? TimeOut : 100;
    if (lastArrival_.msecsTo(platform::Now()) < bound * 1000)
        return;
    if (tls_ == Tls::Handshaking) {
        Socket_TlsFailed(QStringLiteral("no handshake from the server within ") + QString::number(bound)
                             + QStringLiteral(" seconds"),
                         false);
        return;
    }
    log(QStringLiteral("ERROR ") + state_ + QStringLiteral(": no answer from server for ")
        + QString::number(bound) + QStringLiteral(" seconds"));
    lastArrival_ = platform::Now();
    frmSocket::instance().close();
    Socket_Close();
}
