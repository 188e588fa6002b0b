// tarnwick-vbs: runs script files' top-level code in one engine, in order, with a WScript
// object, so users can try their scripts outside the robot.
#include "platform/CommandLine.h"
#include "platform/Messages.h"
#include "platform/ui/QtMessages.h"
#include "script/Engine.h"
#include "script/ScriptControl.h"
#include "script/WScript.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace {

void write(FILE* to, const QString& s)
{
    QByteArray b = s.toLatin1();
    std::fwrite(b.constData(), 1, size_t(b.size()), to);
    std::fflush(to);
}

constexpr int kExitScriptError = 1;

const char* const kEpilogue =
    "Each FILE's top-level code runs in one engine, in order; words after -- are the\n"
    "script's WScript.Arguments. An error prints FILE(LINE): error NUMBER: DESCRIPTION.\n\n"
    "Exit codes:\n"
    "  0  every file ran to its end\n"
    "  1  a file is missing or unreadable, or a script raised an error\n"
    "  2  command-line error\n"
    "  N  the script ended with WScript.Quit N\n";

} // namespace

int main(int argc, char** argv)
{
    QStringList files;
    QStringList scriptArgs;
    bool allowUI = false;
    platform::CommandLine cl(QStringLiteral("tarnwick-vbs"), QStringLiteral("FILE... [-- ARG...]"),
                             QStringLiteral(TW_VERSION_TEXT));
    cl.add({QStringLiteral("--allow-ui"), {}, QStringLiteral("let scripts show MsgBox and InputBox"),
            [&](const QString&) { allowUI = true; }});
    cl.onOperand([&](const QString& word) {
        files << word;
        return true;
    });
    cl.onRest([&](const QStringList& words) { scriptArgs = words; });
    cl.setEpilogue(QString::fromLatin1(kEpilogue));
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    switch (cl.parse(args)) {
    case platform::CommandLine::Outcome::Done:
        return 0;
    case platform::CommandLine::Outcome::Error:
        return platform::kExitUsage;
    case platform::CommandLine::Outcome::Run:
        break;
    }
    if (files.isEmpty()) {
        write(stderr, QStringLiteral("tarnwick-vbs: no script file given\n") + cl.usageLine() + QLatin1Char('\n'));
        return platform::kExitUsage;
    }

    // Message boxes need a window system; without one they are answered as the robot answers
    // them when it runs headless, and the script's user is told so once.
    const bool desktop = allowUI && platform::DisplayAvailable();
    std::unique_ptr<QCoreApplication> app;
    if (desktop)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    platform::QtMessages boxes;
    bool told = false;
    platform::HeadlessMessages noDisplay([&told](const QString& line) {
        if (!told)
            write(stderr, QStringLiteral("tarnwick-vbs: no display, so message boxes are written here and get "
                                         "the answer a headless robot gives\n"));
        told = true;
        write(stderr, line + QLatin1Char('\n'));
    });
    platform::setMessages(desktop ? static_cast<platform::MessageService*>(&boxes) : &noDisplay);

    script::ScriptControl sc;
    sc.setTimeout(-1);
    sc.setAllowUI(allowUI);
    auto* ws = new script::WScriptObject([](const QString& s) { write(stdout, s); }, [](const QString& s) { write(stderr, s); });
    ws->arguments = scriptArgs;
    sc.AddObject(QStringLiteral("WScript"), static_cast<script::Dispatch*>(ws), false);

    int rc = 0;
    for (const QString& name : files) {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly)) {
            // Not a script error: there is no line to point at.
            write(stderr, QStringLiteral("%1: error 53: File not found\n").arg(name));
            rc = kExitScriptError;
            break;
        }
        ws->scriptName = QFileInfo(name).fileName();
        ws->scriptFullName = QFileInfo(name).absoluteFilePath();
        QString code = QString::fromLatin1(f.readAll());
        try {
            if (!sc.AddCode(code)) {
                const script::ScriptErrorInfo& e = sc.Error();
                QString line = QStringLiteral("%1(%2): error %3: %4").arg(name).arg(e.Line).arg(e.Number).arg(e.Description);
                if (sc.engine().uiRefused)
                    line += QStringLiteral(" (MsgBox and InputBox need --allow-ui)");
                write(stderr, line + QLatin1Char('\n'));
                rc = kExitScriptError;
                break;
            }
        } catch (const script::ScriptQuit& q) {
            rc = q.code;
            break;
        }
    }
    platform::setMessages(nullptr);
    return rc;
}
