// The script engines of the main window: the receive script run for every filed message, the
// interval script run on the web interval, and named scripts run on a script's request.
#include "config/RunningConfig.h"
#include "core/frmOVGate.h"
#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"
#include "platform/Termination.h"
#include "platform/TextFile.h"
#include "platform/VbDate.h"
#include "web/clsWWWTalk.h"

#include <QPointer>


namespace {
// Scripts run until they return; they never talk to a desktop the robot may not have.
constexpr int kNoTimeLimit = -1;
} // namespace

QString frmOVGate::ScriptErrorLine(const QString& prefix, const script::ScriptErrorInfo& error)
{
    return prefix + QString::number(error.Number) + QStringLiteral(", Line=") + QString::number(error.Line)
           + QStringLiteral(", '") + error.Description + QLatin1Char('\'');
}

bool frmOVGate::ReadScriptFile(const QString& name, QString& code) const
{
    bool ok = false;
    const QString text = platform::ReadTextFile(programFolder() + name, &ok);
    if (!ok)
        return false;
    // Each line with CR LF after it; an empty file is one empty line.
    const QStringList lines = platform::SplitLines(text);
    code = lines.isEmpty() ? QStringLiteral("\r\n") : lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    return true;
}

void frmOVGate::PrepareEmailScript()
{
    ScriptEmail.Reset();
    QString code;
    if (!InetMail || !ReadScriptFile(config::Running().ScriptOnReceive, code)) {
        EmailScriptReady = false;
        return;
    }
    ScriptEmail.setTimeout(kNoTimeLimit);
    ScriptEmail.setAllowUI(false);
    ScriptEmail.AddObject(QStringLiteral("IM"), InetMail.get(), true);
    if (FileSystem)
        ScriptEmail.AddObject(QStringLiteral("FS"), FileSystem.get(), true);
    if (CommonDictionary)
        ScriptEmail.AddObject(QStringLiteral("XCommon"), CommonDictionary.get(), false);
    if (!ScriptEmail.AddCode(code)) {
        EmailScriptReady = false;
        InetMail->LogMessage(ScriptErrorLine(QStringLiteral("SCRIPT COMPILE ERROR="), ScriptEmail.Error()));
        return;
    }
    EmailScriptReady = true;
}

void frmOVGate::InetMail_ScriptPOP()
{
    if (!EmailScriptReady || !InetMail)
        return;
    const int terminations = platform::TerminationCount();
    if (!ScriptEmail.Run(QStringLiteral("Main")) && InetMail)
        InetMail->LogMessage(ScriptErrorLine(QStringLiteral("SCRIPT ERROR="), ScriptEmail.Error()));
    // A request to end that came while the script ran is acted on before the gateway takes
    // the next message; the event loop would only see it after that.
    if (platform::TerminationCount() != terminations)
        TerminationRequested(platform::LastTerminationSignal());
    if (!InetMail)
        return;
    // The gateway is in the middle of its own event here; both sequences release it safely
    // and end the process before it handles another message.
    const QString request = InetMail->Actions;
    if (request == QLatin1String("SHUTDOWN"))
        ShutdownSequence();
    else if (request == QLatin1String("RESTART"))
        RestartSequence();
}

void frmOVGate::RunWWWInterval()
{
    if (!InetWWW)
        return;
    clsWWWTalk& web = *InetWWW;
    web.LogMessage(QStringLiteral("STARTING WWW PROCESS onInterval ") + platform::GeneralDateTime(platform::Now()));
    ScriptWWW.Reset();
    const QString name = config::Running().ScriptOnInterval;
    QString code;
    if (!ReadScriptFile(name, code)) {
        web.LogMessage(QStringLiteral("WWW SCRIPT '") + name + QStringLiteral("' NOT FOUND"));
        return;
    }
    ScriptWWW.setTimeout(kNoTimeLimit);
    ScriptWWW.setAllowUI(false);
    ScriptWWW.AddObject(QStringLiteral("IW"), &web, true);
    if (FileSystem)
        ScriptWWW.AddObject(QStringLiteral("FS"), FileSystem.get(), true);
    if (CommonDictionary)
        ScriptWWW.AddObject(QStringLiteral("XCommon"), CommonDictionary.get(), false);
    if (!ScriptWWW.AddCode(code)) {
        web.LogMessage(ScriptErrorLine(QStringLiteral("SCRIPT COMPILE ERROR="), ScriptWWW.Error()));
        return;
    }
    if (!ScriptWWW.Run(QStringLiteral("Main"))) {
        web.LogMessage(ScriptErrorLine(QStringLiteral("Script_WWW ERROR="), ScriptWWW.Error()));
        return;
    }
    web.LogMessage(QStringLiteral("END OF WWW PROCESS onInterval ") + platform::GeneralDateTime(platform::Now()));
}

QString frmOVGate::XRun(const QString& XScriptFile)
{
    if (!InetWWW)
        return QStringLiteral("ERROR: WWW SCRIPT '") + XScriptFile + QStringLiteral("' NOT FOUND");
    // Held for the whole run: a nested XRun or a Reset must not take the object away from it.
    QPointer<clsWWWTalk> web = InetWWW.get();
    auto log = [&web](const QString& text) {
        if (web)
            web->LogMessage(text);
    };
    log(QStringLiteral("STARTING WWW XRUN '") + XScriptFile + QStringLiteral("' ")
        + platform::GeneralDateTime(platform::Now()));
    // Never reset: each run adds its file's code to what the engine holds, and a nested run
    // uses the same engine while the outer one is still inside it.
    QString code;
    if (!ReadScriptFile(XScriptFile, code)) {
        const QString result = QStringLiteral("ERROR: WWW SCRIPT '") + XScriptFile + QStringLiteral("' NOT FOUND");
        log(result);
        return result;
    }
    ScriptXRUN.setTimeout(kNoTimeLimit);
    ScriptXRUN.setAllowUI(false);
    // After the first run these names are taken; the additions fail and the first objects stay.
    ScriptXRUN.AddObject(QStringLiteral("IW"), InetWWW.get(), true);
    if (FileSystem)
        ScriptXRUN.AddObject(QStringLiteral("FS"), FileSystem.get(), true);
    if (CommonDictionary)
        ScriptXRUN.AddObject(QStringLiteral("XCommon"), CommonDictionary.get(), false);
    auto failure = [&](const QString& kind) {
        const QString result =
            ScriptErrorLine(QStringLiteral("ERROR: XRUN SCRIPT '") + XScriptFile + QStringLiteral("' ") + kind,
                            ScriptXRUN.Error());
        log(result);
        return result;
    };
    if (!ScriptXRUN.AddCode(code))
        return failure(QStringLiteral("COMPILE ERROR="));
    if (!ScriptXRUN.Run(QStringLiteral("Main")))
        return failure(QStringLiteral("RUN ERROR="));
    return QStringLiteral("OK");
}
