// Command line of the robot: tarnwick [--home DIR] [--headless] [--once] [--web-once] [--set-password] [REFRESH]
#include "config/Password.h"
#include "config/RunningConfig.h"
#include "config/SettingsKeys.h"
#include "core/frmOVGate.h"
#include "platform/Instance.h"
#include "platform/Messages.h"
#include "platform/Termination.h"
#include "platform/ui/QtMessages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

struct Options {
    QString home;
    bool headless = false;
    bool once = false;
    bool webOnce = false;
    bool setPassword = false;
    QStringList arguments;
};

void printUsage()
{
    std::printf("Usage: tarnwick [--home DIR] [--headless] [--once] [--web-once] [--set-password] [REFRESH]\n"
                "  --home DIR       instance folder (default $TARNWICK_HOME, else ~/.local/share/Tarnwick)\n"
                "  --headless       no window, tray or dialogs; questions get their safe answer\n"
                "  --once           run one e-mail cycle, then end\n"
                "  --web-once       run one web cycle (the interval script), then end\n"
                "  --set-password   read the POP password from standard input and store it\n"
                "  REFRESH          start beside a running copy (used by the restart)\n");
}

// Parses the command line; returns false (with exit code) when the program should stop here.
bool parse(int argc, char** argv, Options& o, int& exitCode)
{
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        o.arguments << a;
        if (a == QLatin1String("--home") && i + 1 < argc) {
            o.home = QString::fromLocal8Bit(argv[++i]);
            o.arguments << o.home;
        } else if (a.startsWith(QLatin1String("--home="))) {
            o.home = a.mid(7);
        } else if (a == QLatin1String("--headless")) {
            o.headless = true;
        } else if (a == QLatin1String("--once")) {
            o.once = true;
        } else if (a == QLatin1String("--web-once")) {
            o.webOnce = true;
        } else if (a == QLatin1String("--set-password")) {
            o.setPassword = true;
        } else if (a == QLatin1String("--version")) {
            std::printf("Tarnwick %s\n", qPrintable(frmOVGate::VersionText()));
            exitCode = 0;
            return false;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            printUsage();
            exitCode = 0;
            return false;
        } else if (a == QLatin1String("--home")) {
            std::fprintf(stderr, "tarnwick: --home needs a folder\n");
            exitCode = 2;
            return false;
        }
        // Anything else (REFRESH among it) is kept for the single-instance rule.
    }
    return true;
}

bool hasDisplay()
{
    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    if (qpa == "offscreen" || qpa == "minimal")
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::string readSecretLine(const char* prompt)
{
    const bool tty = ::isatty(STDIN_FILENO);
    termios saved{};
    if (tty) {
        std::fprintf(stderr, "%s", prompt);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fprintf(stderr, "\n");
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// The password change for machines without a display: stored exactly as the dialog stores it.
int setPassword(const QString& home)
{
    config::Running().INIPath = home + config::keys::kIniFileName;
    const bool tty = ::isatty(STDIN_FILENO);
    const QString pw = QString::fromLocal8Bit(readSecretLine("New Password: "));
    if (tty) {
        const QString confirm = QString::fromLocal8Bit(readSecretLine("Confirm new PW: "));
        if (confirm != pw) {
            std::fprintf(stderr, "Your 2 new password entries do not match!  Please do this again!\n");
            return 1;
        }
    }
    if (!config::StorePOPPassword(pw)) {
        std::fprintf(stderr, "tarnwick: could not write %s\n", qPrintable(config::Running().INIPath));
        return 1;
    }
    std::printf("Password changed successfully\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    int exitCode = 0;
    if (!parse(argc, argv, o, exitCode))
        return exitCode;
    const QString home = platform::ResolveHome(o.home);
    if (o.setPassword) {
        QCoreApplication app(argc, argv);
        return setPassword(home);
    }

    if (!o.headless && !hasDisplay())
        o.headless = true;
    if (o.headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Services and cron jobs often have no runtime folder; give Qt a private one rather
        // than a warning on every start.
        const QString runtime = QDir::tempPath() + QStringLiteral("/runtime-") + QString::number(::getuid());
        if (QDir().mkpath(runtime)) {
            QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setQuitOnLastWindowClosed(false);

    frmOVGate window({home, o.arguments, o.headless});
    platform::HeadlessMessages headless([&window](const QString& t) { window.PublishLog(t); });
    platform::QtMessages desktop([&window]() -> QWidget* { return window.isVisible() ? &window : nullptr; });
    platform::setMessages(o.headless ? static_cast<platform::MessageService*>(&headless) : &desktop);

    platform::TerminationWatcher termination;
    QObject::connect(&termination, &platform::TerminationWatcher::terminationRequested, &window, [&window](int sig) {
        window.RequestUnload(frmOVGate::UnloadMode::SessionEnd,
                             QStringLiteral("ended by the system (signal %1)").arg(sig));
    });

    QObject::connect(&window, &frmOVGate::unloaded, &app, [](int code) { QCoreApplication::exit(code); });
    window.Form_Load();
    int rc = window.exitCode();
    if (!window.ended()) {
        if (o.once)
            QTimer::singleShot(0, &window, &frmOVGate::RunOnce);
        else if (o.webOnce)
            QTimer::singleShot(0, &window, &frmOVGate::RunWebOnce);
        rc = app.exec();
    }
    // Objects released while the robot ended go now, outside every handler.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::setMessages(nullptr);
    return rc;
}
