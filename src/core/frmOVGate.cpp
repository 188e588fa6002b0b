// Start-up, close rule, end sequences and log publishing of the main window.
#include "core/frmOVGate.h"

#include "config/FirstStart.h"
#include "config/INISettings.h"
#include "config/ui/frmPasswordChange.h"
#include "config/ui/frmSettings.h"
#include "core/InHandView.h"
#include "core/basLogBook.h"
#include "gateway/clsInetGateway.h"
#include "gateway/frmSocket.h"
#include "script/Library.h"
#include "platform/Clock.h"
#include "platform/Instance.h"
#include "platform/Messages.h"
#include "platform/Termination.h"
#include "web/clsWWWTalk.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>

using platform::MsgAnswer;
using platform::MsgBox;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

constexpr int kTimer1Interval = 60000;
constexpr int kSocketError = 9;
using gateway::kStandby;

// The program icon, drawn so that the executable needs no resource files: an envelope.
QIcon programIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 120), 2));
    p.setBrush(QColor(250, 210, 80));
    p.drawRect(3, 7, 26, 18);
    p.drawLine(3, 7, 16, 18);
    p.drawLine(29, 7, 16, 18);
    return QIcon(pm);
}

} // namespace

frmOVGate::frmOVGate(StartOptions options, QWidget* parent) : QMainWindow(parent), options_(std::move(options))
{
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowIcon(programIcon());
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    Label1 = new QLabel(QStringLiteral("Immediate: F3=Email, F7=WWW"), central);
    lblProgress = new QLabel(QStringLiteral("Events monitor:  most recent events are at the top."), central);
    lstMon = new QListWidget(central);
    lstMon->setObjectName(QStringLiteral("lstMon"));
    // A monitor to read, not a list to pick from: no line stays highlighted as the newest
    // lines push it down.
    lstMon->setSelectionMode(QAbstractItemView::NoSelection);
    lstMon->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(Label1);
    layout->addWidget(lblProgress);
    layout->addWidget(lstMon, 1);
    setCentralWidget(central);
    createMenus();
    resize(640, 420);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&Timer1, &QTimer::timeout, this, &frmOVGate::Timer1_Timer);
    lockRetry_.setInterval(1000);
    connect(&lockRetry_, &QTimer::timeout, this, [this] {
        if (lock_ && lock_->tryLock())
            lockRetry_.stop();
    });
}

frmOVGate::~frmOVGate() = default;

QString frmOVGate::VersionText()
{
    return QStringLiteral("%1.%2.0.%3").arg(TW_VERSION_MAJOR).arg(TW_VERSION_MINOR).arg(TW_VERSION_REVISION);
}

void frmOVGate::Form_Load()
{
    // 1. Minimised, so hidden: only the tray icon shows. Without a display nothing is shown.
    if (!options_.headless) {
        setWindowState(Qt::WindowMinimized);
        show();
    }
    // 2. Tray icon (a second run of the sequence keeps the one icon).
    addTrayIcon();
    // 3. The long-lived objects.
    FileSystem = script::createRuntimeObject(QStringLiteral("Scripting.FileSystemObject"));
    createGateway();
    createWebObject();
    CommonDictionary = script::createRuntimeObject(QStringLiteral("Scripting.Dictionary"));
    // 4. Settings.
    const config::SetUpResult setUp =
        config::SetUpInstanceFolder(options_.home, [this](const QString& t) { PublishLog(t); });
    if (!setUp.ok) {
        refuseStart(QStringLiteral("ERROR: cannot start: ") + setUp.error);
        return;
    }
    INISettings();
    // Relative folder settings are taken from the instance folder, as they were from the
    // program's folder where the robot was first written.
    QDir::setCurrent(options_.home);

    // 5. Single-instance rule.
    if (!lock_)
        lock_ = std::make_unique<platform::InstanceLock>(options_.home);
    const bool refresh = options_.arguments.contains(QStringLiteral("REFRESH"));
    const bool locked = lock_->tryLock();
    if (!locked && lock_->lastFailureWasAccess()) {
        // No lock file can be made here (folder read-only or missing): nothing says another
        // copy runs, so this one starts and says why it runs unguarded.
        PublishLog(QStringLiteral("WARNING: cannot create the instance lock in ") + options_.home
                   + QStringLiteral(", starting without the single-copy check"));
    } else if (!locked) {
        if (!refresh && !config::Running().MultiInstance) {
            pendingLog_.clear(); // a refused copy writes nothing to the logbook
            MsgBox(QStringLiteral("This program or a copy of it is already running on this computer.  Please find and "
                                  "close the other run then start again"),
                   MsgButtons::OK, MsgIcon::Critical);
            exitCode_ = 1;
            RequestUnload(UnloadMode::FromCode, QString());
            return;
        }
        // A restarted copy takes the lock over as soon as the old one has ended.
        if (refresh)
            lockRetry_.start();
    }

    // 6. Start-up line, then whatever was reported before it.
    const QString startup = QStringLiteral("********** STARTUP Tarnwick ver ") + VersionText();
    WriteLogbook(QString(50, QLatin1Char('~')) + QStringLiteral("\r\n") + startup);
    if (options_.headless)
        std::fprintf(stderr, "%s (instance folder %s)\n", qPrintable(startup), qPrintable(options_.home));
    startupLogged_ = true;
    const QStringList pending = std::exchange(pendingLog_, {});
    flushingPending_ = true;
    for (const QString& t : pending)
        PublishLog(t);
    flushingPending_ = false;

    // 7. First-run check.
    if (firstRunCheckNeeded()) {
        mPopRestore_Click();
        if (MsgBox(QStringLiteral("Tarnwick needs configuring, would you like to do this now?"), MsgButtons::YesNo,
                   MsgIcon::None)
            == MsgAnswer::Yes) {
            mnuConfig_Click();
        } else {
            MsgBox(QStringLiteral("Tarnwick now shutting down.  You can configure Tarnwick later when you have the "
                                  "necessary info."),
                   MsgButtons::OK, MsgIcon::None);
            exitCode_ = 3; // not configured: a caller such as a service manager should know
            RequestUnload(UnloadMode::FromCode, QStringLiteral("not configured"));
            return;
        }
    }

    // 8. The scheduler.
    Timer1.setInterval(kTimer1Interval);
    Timer1.start();
}

void frmOVGate::refuseStart(const QString& text)
{
    // Running on built-in defaults in a folder that keeps nothing would lose every file and
    // log line; the robot ends instead. Standard error reaches a shell or a service manager,
    // the logbook whatever of the folder can still be written, the box a desktop user.
    std::fprintf(stderr, "tarnwick: %s\n", text.toLocal8Bit().constData());
    for (const QString& t : std::exchange(pendingLog_, {}))
        WriteLogbook(t);
    WriteLogbook(text);
    if (!options_.headless)
        MsgBox(text, MsgButtons::OK, MsgIcon::Critical);
    exitCode_ = 1;
    RequestUnload(UnloadMode::FromCode, QString());
}

bool frmOVGate::firstRunCheckNeeded() const
{
    const QString xxx = QStringLiteral("xxx");
    return config::Running().EmailInterval > 0 && InetMail->SMTPServer.contains(xxx, Qt::CaseSensitive)
           && InetMail->PopServer.contains(xxx, Qt::CaseSensitive);
}

void frmOVGate::createGateway()
{
    releaseGateway();
    InetMail = std::make_unique<clsInetGateway>();
    connect(InetMail.get(), &clsInetGateway::LogMessageEvent, this, &frmOVGate::InetMail_LogMessage);
    connect(InetMail.get(), &clsInetGateway::ScriptPOP, this, &frmOVGate::InetMail_ScriptPOP);
    connect(InetMail.get(), &clsInetGateway::XWWWInterval, this, &frmOVGate::InetMail_XWWWInterval);
}

void frmOVGate::createWebObject()
{
    // One web object for the whole run: a Reset keeps it, so its browser (and the named-script
    // engine that holds it) survive.
    if (InetWWW)
        return;
    InetWWW = std::make_unique<clsWWWTalk>(options_.home, options_.headless);
    inHandView_ = std::make_unique<InHandView>([this] { return InetMail.get(); });
    InetWWW->setMessageView(inHandView_.get());
    InetWWW->setXRunHandler([this](const QString& file) { return XRun(file); });
    connect(InetWWW.get(), &clsWWWTalk::LogMessageEvent, this, &frmOVGate::InetWWW_LogMessage);
}

void frmOVGate::releaseWebObject()
{
    // The browser and its processes end with the object; from inside one of its own waits
    // it goes once control is back in the event loop.
    if (!InetWWW)
        return;
    clsWWWTalk* web = InetWWW.release();
    web->disconnect(this);
    web->deleteLater();
}

void frmOVGate::InetWWW_LogMessage()
{
    if (InetWWW)
        PublishLog(InetWWW->LoggedMessage().toString(), !InetWWW->loggingSetUp());
}

void frmOVGate::INISettings()
{
    config::GatewaySettings settings;
    config::INISettings(options_.home, settings, [this](const QString& t) { PublishLog(t); });
    InetMail->applySettings(settings);
}

void frmOVGate::Timer1_Timer()
{
    if (Paused)
        return;
    const config::RunningConfig& rc = config::Running();
    if (rc.EmailInterval > 0 && !WWWBusy && (!NextEmailDue.isValid() || platform::Now() >= NextEmailDue)) {
        PrepareEmailScript();
        NextEmailDue = platform::Now().addSecs(rc.EmailInterval);
        const QString state = InetMail->State();
        const int socketState = InetMail->SocketState();
        if (socketState != kSocketError && actionsAllowCycle() && state == kStandby)
            InetMail->ProcessStart();
        else if (socketState == kSocketError)
            RecoverGateway(QStringLiteral("ERROR with connection so trying re-connect."));
        else if (LastState.endsWith(QStringLiteral(" QUIT")) && LastState == state)
            RecoverGateway(QStringLiteral("EMAIL OK but ERROR with disconnect so forcing break-off. Check proxy server."));
        if (InetMail)
            LastState = InetMail->State();
    }
    // The web part: a due web cycle that finds the gateway busy waits for the first idle tick.
    if (rc.WWWInterval > 0 && !WWWBusy && InetMail && InetMail->State() == kStandby
        && (!NextWWWDue.isValid() || platform::Now() >= NextWWWDue)) {
        NextWWWDue = platform::Now().addSecs(rc.WWWInterval);
        LastState = QStringLiteral("WWW");
        WWWBusy = true;
        RunWWWInterval();
        WWWBusy = false;
        LastState.clear();
    }
}

void frmOVGate::InetMail_XWWWInterval(bool& b)
{
    b = !WWWBusy;
    if (b)
        runWebCycleNow();
}

void frmOVGate::runWebCycleNow()
{
    withTimer1Off([this] {
        WWWBusy = true;
        RunWWWInterval();
        WWWBusy = false;
    });
}

bool frmOVGate::actionsAllowCycle() const
{
    const QString& a = InetMail->Actions;
    return a.isEmpty() || a.contains(QStringLiteral("normal"), Qt::CaseInsensitive);
}

void frmOVGate::RecoverGateway(const QString& text)
{
    createGateway();
    INISettings();
    PrepareEmailScript();
    InetMail->LogMessage(text);
    InetMail->ProcessStart();
}


void frmOVGate::mnuEmailImmediate_Click()
{
    if (!InetMail || InetMail->State() != kStandby || !actionsAllowCycle()) {
        busyMessage();
        return;
    }
    withTimer1Off([this] {
        PrepareEmailScript();
        InetMail->ProcessStart();
    });
}

void frmOVGate::busyMessage()
{
    MsgBox(QStringLiteral("GATEWAY cannot respond now: GATEWAY STATE = ") + (InetMail ? InetMail->State() : QString())
               + QStringLiteral("; GATEWAY ACTIONS = ") + (InetMail ? InetMail->Actions : QString()),
           MsgButtons::OK, MsgIcon::None);
}

void frmOVGate::RunOnce()
{
    // One cycle as the Immediate command starts it; the robot ends when the gateway is idle again.
    // A cycle that logged an ERROR or WARNING line ends with exit code 4, so cron or a shell
    // can tell (a refused connection, for one, is only a warning in the cycle's own lines).
    onceMode_ = true;
    Timer1.stop();
    if (!InetMail || InetMail->State() != kStandby) {
        RequestUnload(UnloadMode::FromCode, QStringLiteral("one cycle could not start"));
        return;
    }
    connect(InetMail.get(), &clsInetGateway::StateChanged, this, [this](const QString& state) {
        // A cycle stopped by a termination request ends with that request's own reason.
        if (state == kStandby && !stopping_)
            QMetaObject::invokeMethod(
                this, [this] { RequestUnload(UnloadMode::FromCode, QStringLiteral("one cycle done")); },
                Qt::QueuedConnection);
    });
    PrepareEmailScript();
    InetMail->ProcessStart();
    if (InetMail && InetMail->State() == kStandby)
        RequestUnload(UnloadMode::FromCode, QStringLiteral("one cycle done"));
}

void frmOVGate::RunWebOnce()
{
    onceMode_ = true;
    Timer1.stop();
    runWebCycleNow();
    RequestUnload(UnloadMode::FromCode, QStringLiteral("one web cycle done"));
}

void frmOVGate::InetMail_LogMessage()
{
    if (InetMail)
        PublishLog(InetMail->LoggedMessage());
}

void frmOVGate::PublishLog(const QString& text, bool cycleOutcome)
{
    // Without a display, standard error is where a person at a shell or a service manager sees
    // the robot; lines held back for the logbook are printed once, when they arrive.
    if (options_.headless && !flushingPending_)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    // Script failures count too: their lines name the engine first ("Script_WWW ERROR=...").
    if (onceMode_ && cycleOutcome
        && (text.startsWith(QLatin1String("ERROR")) || text.startsWith(QLatin1String("WARNING"))
            || text.startsWith(QLatin1String("WWW ERROR")) || text.contains(QLatin1String(" ERROR="))))
        exitCode_ = 4;
    if (!startupLogged_) {
        pendingLog_ << text;
        return;
    }
    basLogBook::MonitorInsert(*lstMon, text);
    WriteLogbook(text);
}

void frmOVGate::WriteLogbook(const QString& text)
{
    basLogBook::Logbook(options_.home + QStringLiteral("Log"), text);
}

bool frmOVGate::Form_QueryUnload(UnloadMode origin)
{
    if (origin != UnloadMode::FormControlMenu || config::Running().Unattended)
        return false;
    // The "??!" is split so that no compiler reads it as a trigraph.
    const QString question = QStringLiteral("ARE YOU SURE ?" "?!!!\r\n\r\nClosing Tarnwick will disable automatic data "
                                            "transfer.\r\nIf all you want to do is minimise this visible monitor "
                                            "display, please click \"No\" below. \r\nTo continue with closing "
                                            "Tarnwick, click \"Yes\".");
    if (MsgBox(question, MsgButtons::YesNo, MsgIcon::Exclamation) == MsgAnswer::Yes)
        return false;
    setWindowState(Qt::WindowMinimized);
    return true;
}

void frmOVGate::RequestUnload(UnloadMode origin, const QString& reason)
{
    if (ended_ || Form_QueryUnload(origin))
        return;
    if (!reason.isEmpty())
        logShutdown(reason);
    Form_Unload();
}

void frmOVGate::TerminationRequested(int signalNumber)
{
    // The same request can reach here twice: at once from a script it interrupted, then
    // through the event loop.
    const int count = platform::TerminationCount();
    if (ended_ || (count > 0 && count <= terminationsSeen_))
        return;
    const int fresh = count > 0 ? count - terminationsSeen_ : 1;
    terminationsSeen_ = std::max(count, terminationsSeen_ + 1);
    const bool again = stopping_ || fresh >= 2;
    if (onceMode_)
        interrupted_ = true;
    const QString reason = QStringLiteral("ended by the system (signal %1)").arg(signalNumber);
    if (again || !InetMail || InetMail->State() == kStandby) {
        RequestUnload(UnloadMode::SessionEnd, reason);
        return;
    }
    stopping_ = true;
    Timer1.stop();
    // A receive script that starts from now on (for the message in hand) gets the grace time.
    ScriptEmail.setTimeout(kStopGraceSeconds * 1000);
    connect(InetMail.get(), &clsInetGateway::StateChanged, this, [this, reason](const QString& state) {
        if (state == kStandby)
            QMetaObject::invokeMethod(
                this, [this, reason] { RequestUnload(UnloadMode::SessionEnd, reason); }, Qt::QueuedConnection);
    });
    QTimer::singleShot(kStopGraceSeconds * 1000, this, [this, reason] {
        RequestUnload(UnloadMode::SessionEnd,
                      reason + QStringLiteral("; the cycle did not end within %1 seconds").arg(kStopGraceSeconds));
    });
    InetMail->RequestStop();
}

void frmOVGate::logShutdown(const QString& reason)
{
    if (startupLogged_)
        PublishLog(QStringLiteral("********** SHUTDOWN Tarnwick ver ") + VersionText() + QStringLiteral(": ") + reason);
}

void frmOVGate::Form_Unload()
{
    if (ended_)
        return;
    ended_ = true;
    Timer1.stop();
    lockRetry_.stop();
    removeTrayIcon();
    releaseGateway();
    releaseWebObject();
    gateway::frmSocket::unload();
    if (lock_)
        lock_->unlock();
    hide();
    // The program ends its event loop on this signal (main.cpp); a window that is only
    // loaded and unloaded, as in tests, leaves the application alone.
    emit unloaded(exitCode());
}

void frmOVGate::releaseGateway()
{
    // Released from inside its own events too (a script's shutdown request): the object goes
    // once control is back in the event loop, and tells this window nothing more.
    if (!InetMail)
        return;
    clsInetGateway* g = InetMail.release();
    g->disconnect(this);
    g->ReleaseLater();
}

void frmOVGate::ShutdownSequence()
{
    releaseGateway();
    gateway::frmSocket::unload();
    RequestUnload(UnloadMode::FromCode, QStringLiteral("shut down by script"));
}

void frmOVGate::RestartSequence()
{
    QStringList args{QStringLiteral("REFRESH"), QStringLiteral("--home"), options_.home};
    if (options_.headless)
        args << QStringLiteral("--headless");
    // Not checked: if the new copy cannot start, this one still ends.
    QProcess::startDetached(QCoreApplication::applicationFilePath(), args, options_.home);
    releaseGateway();
    gateway::frmSocket::unload();
    RequestUnload(UnloadMode::FromCode, QStringLiteral("restarting"));
}

void frmOVGate::closeEvent(QCloseEvent* event)
{
    if (ended_) {
        event->accept();
        return;
    }
    // Closing the window is the user's own close command; code never closes it this way.
    event->ignore();
    RequestUnload(UnloadMode::FormControlMenu, QStringLiteral("closed by the user"));
}

void frmOVGate::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // A minimised window lives in the tray; without a tray it stays on the task bar, or the
    // user could never get it back.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_)
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void frmOVGate::addTrayIcon()
{
    if (tray_ || options_.headless || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(QStringLiteral("Tarnwick data transfer by email"));
    trayMenu_ = new QMenu(this);
    trayMenu_->addAction(QStringLiteral("&Restore"), this, &frmOVGate::mPopRestore_Click);
    trayMenu_->addAction(QStringLiteral("View &Logbook"), this, &frmOVGate::mPopLogBook_Click);
    trayMenu_->addAction(QStringLiteral("E&xit"), this, &frmOVGate::mPopExit_Click);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
            mPopRestore_Click();
    });
    tray_->show();
}

void frmOVGate::removeTrayIcon()
{
    if (!tray_)
        return;
    tray_->hide();
    delete tray_;
    tray_ = nullptr;
}

void frmOVGate::mPopRestore_Click()
{
    if (options_.headless)
        return;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void frmOVGate::mPopLogBook_Click()
{
    const QString book = options_.home + QStringLiteral("LogBook.txt");
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(book)))
        MsgBox(QStringLiteral("No program on this desktop opens the logbook. It is the text file ") + book + QLatin1Char('.'),
               MsgButtons::OK, MsgIcon::Information);
}

void frmOVGate::mPopExit_Click()
{
    RequestUnload(UnloadMode::FromCode, QStringLiteral("Exit from the tray menu"));
}

void frmOVGate::mnuConfig_Click()
{
    if (!robotIdle()) {
        MsgBox(QStringLiteral("Tarnwick presently busy processing, try this again later."));
        return;
    }
    withTimer1Off([this] {
        config::ShowSettingsDialog(this, InetMail->Password, InetMail->SMTPPassword, [this] { INISettings(); });
    });
}

QString frmOVGate::POPPassword() const { return InetMail ? InetMail->Password : QString(); }

void frmOVGate::setPOPPassword(const QString& password)
{
    if (InetMail)
        InetMail->Password = password;
}
