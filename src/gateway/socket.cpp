// The gateway's side of its transport: creation, logging, state, connect and send, the feed with
// line assembly and dispatch by state, the transcript, the close notification and the silence bound.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "gateway/frmSocket.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QHostAddress>

using gateway::frmSocket;
using gateway::GwState;
using gateway::kCrLf;
using gateway::NowShort;
using gateway::SignedForm;

namespace {

// Where a received line goes, by the state in force when it is read.
enum class Route { Smtp, SmtpGreeting, Pop, PopDownload, Discard, Recovery, Unexpected };

Route routeFor(GwState state)
{
    switch (state) {
    case GwState::Smtp:
    case GwState::SmtpQuit: return Route::Smtp;
    case GwState::SmtpStandby: return Route::SmtpGreeting;
    case GwState::Pop:
    case GwState::PopStandby:
    case GwState::PopStart: return Route::Pop;
    case GwState::PopDownloading: return Route::PopDownload;
    case GwState::PopQuit: return Route::Discard;
    case GwState::Standby: return Route::Recovery;
    case GwState::SmtpEnd: break;
    }
    return Route::Unexpected;
}

// A line longer than this is no reply nor message line any server sends: the peer is broken or
// hostile, and holding more of it would only grow the robot.
constexpr qsizetype kMaxLine = qsizetype(1) << 20;

// A whole conversation may last this many times the silence bound (TimeOut), however the peer
// spaces its bytes; the time the receive script takes is not counted.
constexpr qint64 kSessionTimeOuts = 20;

// Seconds on the whole-second clock the cooperative wait uses.
qint64 wholeSeconds() { return platform::Now().toMSecsSinceEpoch() / 1000; }

} // namespace

clsInetGateway::clsInetGateway(QObject* parent, gateway::Transport* transport) : QObject(parent), transport_(transport)
{
    if (!transport_)
        frmSocket::instance().bind(this);
    lastArrival_ = platform::Now();
    sessionStart_ = lastArrival_;
}

clsInetGateway::~clsInetGateway()
{
    if (frmSocket* h = frmSocket::existing())
        h->unbind(this);
}

gateway::Transport& clsInetGateway::transport() const
{
    // The shared socket is asked for each time: the program may unload it and make a new one.
    return transport_ ? *transport_ : frmSocket::instance();
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

void clsInetGateway::setState(GwState s)
{
    if (state_ == s)
        return;
    state_ = s;
    emit StateChanged(gateway::StateText(s));
}

int clsInetGateway::SocketState() const { return transport().stateNumber(); }

QString clsInetGateway::connectFailure() const
{
    const QString reason = Connected ? QString() : transport().failureReason();
    if (reason.isEmpty())
        return QString();
    return QStringLiteral("cannot connect to ") + TargetHost + QLatin1Char(':') + QString::number(TargetPort)
        + QStringLiteral(": ") + reason;
}

QString clsInetGateway::SocketConnect()
{
    const WaitScope waiting(*this);
    gateway::Transport& h = transport();
    // A failure of the connect being started is reported by the result, not as a close.
    inConnect_ = true;
    h.close();
    platform::WaitSeconds(0.2f);
    ReceiveBuffer.clear();
    incoming_.clear();
    Connected = false;
    tls_ = Tls::Off;
    smtpExtensions_.clear();
    lastArrival_ = platform::Now();
    sessionStart_ = lastArrival_;
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
        if (wholeSeconds() >= deadline || state_ == GwState::PopStandby || state_ == GwState::Standby)
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

void clsInetGateway::SocketDisconnect() { transport().close(); }

bool clsInetGateway::SocketSend(const QString& text)
{
    int result = 0;
    {
        const WaitScope waiting(*this);
        result = transport().send(text.toLatin1());
    }
    switch (result) {
    case 0:
        // Our own words restart the wait for an answer (noted here, timed at the next tick).
        sentSinceTick_ = true;
        return true;
    case gateway::kErrInvalidState:
        log(QStringLiteral("ERROR ") + SignedForm(gateway::kErrInvalidState)
            + QStringLiteral(": Wrong protocol or connection state for the requested transaction or request"));
        return false;
    default:
        log(QStringLiteral("ERROR:11035, Socket timeout"));
        return false;
    }
}

void clsInetGateway::sendCommand(const QString& command)
{
    if (config::Running().LogExtra)
        log(QStringLiteral("--> ") + gateway::TranscriptText(command));
    SocketSend(command + kCrLf);
}

void clsInetGateway::sendSecret(const QString& line)
{
    if (config::Running().LogExtra)
        log(QStringLiteral("--> ****"));
    SocketSend(line + kCrLf);
}

void clsInetGateway::transcriptReceived(const QString& line)
{
    if (config::Running().LogExtra)
        log(QStringLiteral("<-- ") + line);
}

void clsInetGateway::tmrSocket_Timer() { checkSilence(); }

void clsInetGateway::feed(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    lastArrival_ = platform::Now();
    incoming_ += QString::fromLatin1(bytes);
    // A handler's own event processing may bring more data: the loop below takes it in turn,
    // so that lines are answered in the order they came.
    if (inReceive_)
        return;
    inReceive_ = true;
    while (!incoming_.isEmpty()) {
        // The partial line grows in place and is searched only where it has not been yet, so a
        // long line arriving in many pieces costs its length, not its length squared.
        const qsizetype from = ReceiveBuffer.isEmpty() ? 0 : scanned_;
        QString chunk = std::move(ReceiveBuffer);
        ReceiveBuffer = QString();
        chunk += incoming_;
        incoming_.clear();
        dispatchLines(std::move(chunk), from);
    }
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

void clsInetGateway::lineTooLong()
{
    log(QStringLiteral("ERROR ") + State() + QStringLiteral(": the server sent a line longer than ")
        + QString::number(kMaxLine) + QStringLiteral(" bytes; connection closed"));
    ReceiveBuffer.clear();
    endSession();
}

void clsInetGateway::dispatchLines(QString chunk, qsizetype from)
{
    qsizetype pos = 0;
    qsizetype transcribed = -1;   // end of the last line already in the transcript
    for (;;) {
        // Whatever came in the clear behind the answer that started a handshake is not taken:
        // a party in between could have put it there.
        if (tls_ == Tls::Handshaking || endSessionPending_)
            return;
        const qsizetype eol = chunk.indexOf(kCrLf, qMax(pos, from));
        if (eol < 0) {
            const qsizetype pending = chunk.size() - pos;
            if (pending > kMaxLine) {
                lineTooLong();
                return;
            }
            if (pending > 0) {
                ReceiveBuffer = pos == 0 ? std::move(chunk) : chunk.mid(pos);
                // A CR at the end may be half of a line end.
                scanned_ = pending - 1;
            }
            return;
        }
        if (eol - pos > kMaxLine) {
            lineTooLong();
            return;
        }
        QString line = chunk.mid(pos, eol - pos);
        const GwState st = state_;
        Route route = routeFor(st);
        // The lines of a message being downloaded are content, not replies.
        if ((route != Route::PopDownload || !downloadStatusSeen_) && eol > transcribed)
            transcriptReceived(line);
        if (route == Route::Recovery) {
            // A connection reported as failed that completed after all.
            if (line.startsWith(QLatin1String("+OK"))) {
                setState(GwState::PopStandby);
                LastCommand = gateway::Command::None;
                PopConverse(line);
                log(QStringLiteral("POP Connection made on retry or auto-recovery"));
                pos = eol + 2;
                continue;
            }
            if (chunk.mid(pos, 4) == QLatin1String("220 ")) {
                setState(GwState::SmtpStandby);
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
            const qsizetype eol2 = chunk.indexOf(kCrLf, eol + 2);
            if (eol2 < 0) {
                SmtpConverse(line);
                return;
            }
            const QString second = chunk.mid(eol + 2, eol2 - eol - 2);
            transcriptReceived(second);
            transcribed = eol2;
            SmtpConverse(second);
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
            if (!takeDownloadLine(line))
                return;
            break;
        case Route::Discard:
            return;
        case Route::Recovery:
        case Route::Unexpected:
            log(QStringLiteral("ERROR ") + gateway::StateText(st) + QStringLiteral(": DATA_ARRIVAL Unexpected Message, ")
                + chunk.mid(pos));
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
    if (state_ == GwState::Standby)
        return config::Security::None;
    return smtpPhase() ? SMTPSecurity : POPSecurity;
}

bool clsInetGateway::smtpPhase() const
{
    switch (state_) {
    case GwState::SmtpStandby:
    case GwState::Smtp:
    case GwState::SmtpQuit:
    case GwState::SmtpEnd: return true;
    default: return false;
    }
}

bool clsInetGateway::serverOnLoopback() const
{
    const QString host = TargetHost.trimmed();
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

void clsInetGateway::beginTls()
{
    ReceiveBuffer.clear();
    incoming_.clear();
    const QString why = transport().startTls(CAFile);
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
    if (LastCommand == gateway::Command::StartTls)
        smtpGreet();
    else if (LastCommand == gateway::Command::Stls)
        popLogin();
}

void clsInetGateway::Socket_TlsFailed(const QString& reason, bool certificate)
{
    if (state_ == GwState::Standby)
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
    transport().close();
    Connected = false;
    tls_ = Tls::Off;
    dropDownload();
    if (smtpPhase()) {
        setState(GwState::PopStart);
        PopStart();
        return;
    }
    transport().setTicking(false);
    setState(GwState::Standby);
}

void clsInetGateway::Socket_Close()
{
    if (inConnect_)
        return;
    if (inReceive_) {
        closePending_ = true;
        return;
    }
    // A connection that never opened is named with its host, port and the system's reason.
    const QString failure = connectFailure();
    if (tls_ == Tls::Handshaking) {
        Socket_TlsFailed(QStringLiteral("the server closed the connection during the handshake"), false);
        return;
    }
    Connected = false;
    const GwState st = state_;
    if (st == GwState::SmtpEnd || st == GwState::SmtpQuit) {
        log(QStringLiteral("OK ") + gateway::StateText(st));
        setState(GwState::PopStart);
        PopStart();
    } else if (st == GwState::Smtp || st == GwState::SmtpStandby) {
        log(QStringLiteral("WARNING SMTP: ") + (failure.isEmpty() ? QStringLiteral("Socket disconnect prematurely") : failure)
            + QStringLiteral(", will try POP: ") + NowShort());
        setState(GwState::PopStart);
        PopStart();
    } else {
        if (st == GwState::PopQuit)
            log(QStringLiteral("OK END: INTERNET EMAIL connection SUCCESSFULLY COMPLETED: ") + NowShort());
        else if (st == GwState::Pop)
            log(QStringLiteral("ERROR POP: Socket disconnect prematurely: ") + NowShort());
        else if (!failure.isEmpty())
            log(QStringLiteral("ERROR ") + gateway::StateText(st) + QStringLiteral(": ") + failure);
        else
            log(QStringLiteral("ERROR ") + gateway::StateText(st) + QStringLiteral(" Socket disconnected unexpectedly."));
        dropDownload();
        transport().setTicking(false);
        setState(GwState::Standby);
    }
}

clsInetGateway::WaitScope::~WaitScope()
{
    if (--g.waits_ == 0 && g.releasePending_) {
        g.releasePending_ = false;
        // Called here, at the level of the notification the wait ran in, the deletion happens
        // only once that notification has returned, and with it every frame of this object.
        g.deleteLater();
    }
}

void clsInetGateway::ReleaseLater()
{
    if (waits_ > 0)
        releasePending_ = true;
    else
        deleteLater();
}

void clsInetGateway::RequestStop()
{
    if (state_ == GwState::Standby || stopRequested_)
        return;
    stopRequested_ = true;
    log(QStringLiteral("OK ") + State() + QStringLiteral(": stop requested; the message in hand is finished, then the "
                                                         "server is told QUIT"));
}

void clsInetGateway::raiseScriptPOP()
{
    // The receive script may take its time (a web cycle on a slow page): the server waits for
    // the robot meanwhile, so that time is not the server's silence nor part of its session.
    const QDateTime began = platform::Now();
    inScriptPOP_ = true;
    {
        const WaitScope waiting(*this);
        emit ScriptPOP();
    }
    inScriptPOP_ = false;
    lastArrival_ = platform::Now();
    sessionStart_ = sessionStart_.addMSecs(began.msecsTo(lastArrival_));
}

void clsInetGateway::checkSilence()
{
    // A server that stops answering must not hold the robot until someone presses Reset.
    if (sentSinceTick_) {
        sentSinceTick_ = false;
        lastArrival_ = platform::Now();
    }
    if (state_ == GwState::Standby || inConnect_ || inScriptPOP_)
        return;
    const qint64 bound = TimeOut > 0 ? TimeOut : 100;
    if (sessionStart_.msecsTo(platform::Now()) >= kSessionTimeOuts * bound * 1000) {
        // A peer that keeps the line alive with a byte now and then is still not finishing.
        log(QStringLiteral("ERROR ") + State() + QStringLiteral(": session not finished within ")
            + QString::number(kSessionTimeOuts * bound) + QStringLiteral(" seconds (") + QString::number(kSessionTimeOuts)
            + QStringLiteral(" x Timeout); connection closed"));
        sessionStart_ = lastArrival_ = platform::Now();
        transport().close();
        Socket_Close();
        return;
    }
    if (lastArrival_.msecsTo(platform::Now()) < bound * 1000)
        return;
    if (tls_ == Tls::Handshaking) {
        Socket_TlsFailed(QStringLiteral("no handshake from the server within ") + QString::number(bound)
                             + QStringLiteral(" seconds"),
                         false);
        return;
    }
    log(QStringLiteral("ERROR ") + State() + QStringLiteral(": no answer from server for ")
        + QString::number(bound) + QStringLiteral(" seconds"));
    lastArrival_ = platform::Now();
    transport().close();
    Socket_Close();
}
