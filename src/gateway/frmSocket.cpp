// The shared socket and poll timer, and the mapping of Qt's conditions onto control codes.
#include "gateway/frmSocket.h"

#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QFile>
#include <QSslConfiguration>

namespace gateway {

namespace {
frmSocket* g_holder = nullptr;

struct ErrorCode {
    int number;
    const char* text;
};

ErrorCode codeFor(QAbstractSocket::SocketError e)
{
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError: return {10061, "Connection is forcefully rejected"};
    case QAbstractSocket::RemoteHostClosedError: return {10054, "Connection is reset by remote side"};
    case QAbstractSocket::HostNotFoundError: return {11001, "Authoritative answer: Host not found"};
    case QAbstractSocket::SocketTimeoutError: return {10060, "Connection is timed out"};
    case QAbstractSocket::NetworkError: return {10050, "Network is down"};
    case QAbstractSocket::SocketAccessError: return {10013, "Permission denied"};
    case QAbstractSocket::SocketResourceError: return {10055, "No buffer space is available"};
    default: return {10053, "Connection is aborted due to timeout or other failure"};
    }
}
} // namespace

frmSocket& frmSocket::instance()
{
    if (!g_holder)
        g_holder = new frmSocket();
    return *g_holder;
}

frmSocket* frmSocket::existing() { return g_holder; }

void frmSocket::unload()
{
    // The robot may end from inside the socket's own notifications (a receive script asking
    // for a shutdown, a signal handled during a wait): the holder is cut loose now and deleted
    // once control is back in the event loop, so no caller is left on a deleted socket.
    if (!g_holder)
        return;
    g_holder->bound_ = nullptr;
    g_holder->timer_->stop();
    if (g_holder->sending_)
        g_holder->unloadPending_ = true;
    else
        g_holder->deleteLater();
    g_holder = nullptr;
}

frmSocket::frmSocket() : socket_(new QSslSocket(this)), timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("SocketHolder"));
    timer_->setInterval(55);
    const auto tick = [this] {
        deliver();
        if (bound_)
            bound_->tmrSocket_Timer();
    };
    connect(timer_, &QTimer::timeout, this, tick);
    // Data is handled as soon as it arrives as well as on the tick.
    connect(socket_, &QTcpSocket::readyRead, this, tick);
    connect(socket_, &QTcpSocket::connected, this, [this] {
        wasOpen_ = true;
        if (bound_)
            bound_->Socket_Connect();
    });
    connect(socket_, &QAbstractSocket::stateChanged, this, &frmSocket::onStateChanged);
    connect(socket_, &QSslSocket::encrypted, this, [this] {
        handshaking_ = false;
        if (bound_)
            bound_->Socket_Encrypted();
    });
    connect(socket_, &QSslSocket::sslErrors, this, &frmSocket::onSslErrors);
    connect(socket_, &QAbstractSocket::errorOccurred, this, &frmSocket::onError);
}

void frmSocket::bind(clsInetGateway* g) { bound_ = g; }

void frmSocket::deliver()
{
    if (bound_ && socket_->bytesAvailable() > 0)
        bound_->feed(socket_->readAll());
}

void frmSocket::setTicking(bool on)
{
    if (on)
        timer_->start();
    else
        timer_->stop();
}

namespace {
// Seconds on the whole-second clock the cooperative wait uses.
qint64 wholeSeconds() { return platform::Now().toMSecsSinceEpoch() / 1000; }
} // namespace

int frmSocket::send(const QByteArray& bytes)
{
    // The program may unload this holder while the send lets events run; it goes afterwards.
    struct Sending {
        frmSocket& s;
        explicit Sending(frmSocket& s) : s(s) { s.sending_ = true; }
        ~Sending()
        {
            s.sending_ = false;
            if (s.unloadPending_)
                s.deleteLater();
        }
    } sending(*this);
    qint64 deadline = -1;   // taken only when the peer makes us wait: reading the clock per line is costly
    qint64 stopDeadline = -1;
    for (;;) {
        // Unloaded meanwhile: the program is ending, and nothing more is sent.
        if (g_holder != this)
            return kErrInvalidState;
        if (socket_->state() != QAbstractSocket::ConnectedState)
            return kErrInvalidState;
        if (socket_->bytesToWrite() > kHighWater)
            socket_->flush();
        if (socket_->bytesToWrite() <= kHighWater) {
            socket_->write(bytes);
            return 0;
        }
        // The peer is not taking data yet (11035): retry until the deadline.
        if (deadline < 0)
            deadline = wholeSeconds() + 6;
        // Once a stop is asked for, a peer that takes nothing for two seconds more is given up,
        // so the message is left queued and the robot ends within its grace time of its own accord.
        if (stopDeadline < 0 && bound_ && bound_->stopRequested())
            stopDeadline = wholeSeconds() + 2;
        if (wholeSeconds() >= deadline || (stopDeadline >= 0 && wholeSeconds() >= stopDeadline))
            return kErrWouldBlock;
        QCoreApplication::processEvents();
        socket_->waitForBytesWritten(10);
        platform::clock().sleepMs(1);
    }
}

void frmSocket::unbind(clsInetGateway* g)
{
    if (bound_ == g)
        bound_ = nullptr;
}

void frmSocket::close()
{
    closingLocally_ = true;
    socket_->abort();
    closingLocally_ = false;
    inError_ = false;
    wasOpen_ = false;
    handshaking_ = false;
    // A close the peer made before ours, still on its way, belongs to the connection given up.
    ++generation_;
}

QString frmSocket::startTls(const QString& caFile)
{
    if (!QSslSocket::supportsSsl())
        return QStringLiteral("no TLS library on this system (") + QSslSocket::sslLibraryBuildVersionString()
               + QStringLiteral(" wanted)");
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    if (!caFile.isEmpty()) {
        QFile f(caFile);
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("CA file ") + caFile + QStringLiteral(" cannot be read: ") + f.errorString();
        const QList<QSslCertificate> extra = QSslCertificate::fromData(f.readAll(), QSsl::Pem);
        if (extra.isEmpty())
            return QStringLiteral("CA file ") + caFile + QStringLiteral(" holds no PEM certificate");
        conf.addCaCertificates(extra);
    }
    // Never switched off: a certificate the system does not trust belongs in the CA file.
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket_->setSslConfiguration(conf);
    certificateErrors_.clear();
    handshaking_ = true;
    socket_->startClientEncryption();
    return QString();
}

void frmSocket::onSslErrors(const QList<QSslError>& errors)
{
    // Not ignored: the handshake fails after this, and the reasons go with that report.
    for (const QSslError& e : errors)
        if (!certificateErrors_.contains(e.errorString()))
            certificateErrors_ << e.errorString();
}

void frmSocket::connectTo(const QString& host, quint16 port)
{
    inError_ = false;
    wasOpen_ = false;
    handshaking_ = false;
    errorNumber_ = 0;
    errorText_.clear();
    reason_.clear();
    ++generation_;
    socket_->connectToHost(host, port);
}

int frmSocket::stateNumber() const
{
    switch (socket_->state()) {
    case QAbstractSocket::HostLookupState: return 4;
    case QAbstractSocket::ConnectingState: return 6;
    case QAbstractSocket::ConnectedState: return 7;
    case QAbstractSocket::ClosingState: return 8;
    default: return inError_ ? 9 : 0;
    }
}

void frmSocket::onError(QAbstractSocket::SocketError e)
{
    if (handshaking_ && e != QAbstractSocket::RemoteHostClosedError && !closingLocally_) {
        // Reported like the control's notifications, after the socket has settled; the close
        // that follows is the gateway's own, so none is reported.
        handshaking_ = false;
        const bool certificate = !certificateErrors_.isEmpty();
        const QString reason = certificate ? certificateErrors_.join(QStringLiteral("; ")) : socket_->errorString();
        const quint64 generation = ++generation_;
        QMetaObject::invokeMethod(this, [this, generation, reason, certificate] {
            if (bound_ && generation == generation_)
                bound_->Socket_TlsFailed(reason, certificate);
        }, Qt::QueuedConnection);
        return;
    }
    if (e == QAbstractSocket::RemoteHostClosedError && socket_->isEncrypted()
        && socket_->state() == QAbstractSocket::ConnectedState) {
        // The peer's closing alert leaves the connection open on our side, and a server that
        // waits for our alert in turn would hold it until its own time-out: answer it, so the
        // close comes at once.
        QMetaObject::invokeMethod(this, [this] {
            if (socket_->state() == QAbstractSocket::ConnectedState)
                socket_->disconnectFromHost();
        }, Qt::QueuedConnection);
    }
    const ErrorCode c = codeFor(e);
    errorNumber_ = c.number;
    errorText_ = QString::fromLatin1(c.text);
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError: reason_ = QStringLiteral("Connection refused"); break;
    case QAbstractSocket::HostNotFoundError: reason_ = QStringLiteral("Host not found"); break;
    case QAbstractSocket::NetworkError: reason_ = QStringLiteral("Network unreachable"); break;
    case QAbstractSocket::SocketTimeoutError: reason_ = QStringLiteral("Connection timed out"); break;
    default: reason_ = socket_->errorString(); break;
    }
    // A peer that closes an established connection is a close, not an error state.
    if (e != QAbstractSocket::RemoteHostClosedError && !closingLocally_)
        inError_ = true;
}

void frmSocket::onStateChanged(QAbstractSocket::SocketState s)
{
    // Only the peer's close (or a connect that fails after it was under way) is a close
    // notification; closing from our side never is.
    if (s != QAbstractSocket::UnconnectedState || closingLocally_)
        return;
    // Posted, like the control's own notifications, so that the handler never runs inside
    // the socket's own state change (it may reconnect the same socket).
    // A notification left over from an earlier connection is dropped.
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(this, [this, generation] {
        if (!bound_ || generation != generation_)
            return;
        // What the peer said before it closed is handled first, in the state it was said in.
        deliver();
        if (bound_)
            bound_->Socket_Close();
    }, Qt::QueuedConnection);
}

} // namespace gateway
