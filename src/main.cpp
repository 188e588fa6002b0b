// The robot's program: command line, display choice, the password from standard input, and
// the main window's event loop.
#include "config/Password.h"
#include "config/RunningConfig.h"
#include "config/SettingsKeys.h"
#include "core/frmOVGate.h"
#include "platform/CommandLine.h"
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
    bool smtp = false;
    QStringList arguments;
};

// Exit codes of the robot, listed in --help, the README and the manual page.
const char* const kExitCodes =
    "Exit codes:\n"
    "  0  ended normally (for --once and --web-once: the cycle logged no ERROR or WARNING line)\n"
    "  1  could not start: another copy runs on the instance folder, the folder cannot be\n"
    "     written, or --set-password could not store the password\n"
    "  2  command-line error\n"
    "  3  not configured yet (the server names still hold the xxx placeholders)\n"
    "  4  --once or --web-once: the cycle logged an ERROR or WARNING line\n"
    "  5  --once or --web-once: ended early by SIGTERM or SIGINT (the cycle was stopped)\n";

// Parses the command line; returns false (with exit code) when the program should stop here.
bool parse(int argc, char** argv, Options& o, int& exitCode)
{
    platform::CommandLine cl(QStringLiteral("tarnwick"), QStringLiteral("[REFRESH]"), frmOVGate::VersionText());
    cl.add({QStringLiteral("--home"), QStringLiteral("DIR"),
            QStringLiteral("instance folder (default $TARNWICK_HOME, else ~/.local/share/Tarnwick)"),
            [&o](const QString& v) { o.home = v; }});
    cl.add({QStringLiteral("--headless"), {}, QStringLiteral("no window, tray or dialogs; questions get their safe answer"),
            [&o](const QString&) { o.headless = true; }});
    cl.add({QStringLiteral("--once"), {}, QStringLiteral("run one e-mail cycle, then end"),
            [&o](const QString&) { o.once = true; }});
    cl.add({QStringLiteral("--web-once"), {}, QStringLiteral("run one web cycle (the interval script), then end"),
            [&o](const QString&) { o.webOnce = true; }});
    cl.add({QStringLiteral("--set-password"), {}, QStringLiteral("read the POP password from standard input and store it"),
            [&o](const QString&) { o.setPassword = true; }});
    cl.add({QStringLiteral("--smtp"), {}, QStringLiteral("with --set-password: store the SMTP login's password instead"),
            [&o](const QString&) { o.smtp = true; }});
    // REFRESH is the restart's word: the new copy starts beside the old one until it has ended.
    cl.onOperand([](const QString& word) { return word == QLatin1String("REFRESH"); });
    cl.addHelpRow(QStringLiteral("REFRESH"), QStringLiteral("start beside a running copy (used by the restart)"));
    cl.setEpilogue(QString::fromLatin1(kExitCodes));

    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    o.arguments = args;
    switch (cl.parse(args)) {
    case platform::CommandLine::Outcome::Run:
        if (o.smtp && !o.setPassword) {
            cl.fail(QStringLiteral("option '--smtp' goes with '--set-password'"));
            break;
        }
        return true;
    case platform::CommandLine::Outcome::Done:
        exitCode = 0;
        return false;
    case platform::CommandLine::Outcome::Error:
        break;
    }
    exitCode = platform::kExitUsage;
    return false;
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
int setPassword(const QString& home, bool smtp)
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
    if (!config::StorePassword(smtp ? config::keys::kSMTPPassword : config::keys::kPassword, pw)) {
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
        return setPassword(home, o.smtp);
    }

    if (!o.headless && !platform::DisplayAvailable())
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
    QObject::connect(&termination, &platform::TerminationWatcher::terminationRequested, &window,
                     &frmOVGate::TerminationRequested);

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
