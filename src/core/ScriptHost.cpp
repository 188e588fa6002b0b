// The script engines of the main window: the receive script run for every filed message and
// the interval script run on the web interval.
#include "config/RunningConfig.h"
#include "core/frmOVGate.h"
#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"
#include "platform/TextFile.h"
#include "platform/VbDate.h"


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
    if (!ScriptEmail.Run(QStringLiteral("Main")) && InetMail)
        InetMail->LogMessage(ScriptErrorLine(QStringLiteral("SCRIPT ERROR="), ScriptEmail.Error()));
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
    // Until the web robot exists its lines go to the monitor directly.
    const QString now = platform::GeneralDateTime(platform::Now());
    PublishLog(QStringLiteral("STARTING WWW PROCESS onInterval ") + now);
    ScriptWWW.Reset();
    const QString name = config::Running().ScriptOnInterval;
    QString code;
    if (!ReadScriptFile(name, code)) {
        PublishLog(QStringLiteral("WWW SCRIPT '") + name + QStringLiteral("' NOT FOUND"));
        return;
    }
    ScriptWWW.setTimeout(kNoTimeLimit);
    ScriptWWW.setAllowUI(false);
    if (FileSystem)
        ScriptWWW.AddObject(QStringLiteral("FS"), FileSystem.get(), true);
    if (CommonDictionary)
        ScriptWWW.AddObject(QStringLiteral("XCommon"), CommonDictionary.get(), false);
    if (!ScriptWWW.AddCode(code)) {
        PublishLog(ScriptErrorLine(QStringLiteral("SCRIPT COMPILE ERROR="), ScriptWWW.Error()));
        return;
    }
    if (!ScriptWWW.Run(QStringLiteral("Main"))) {
        PublishLog(ScriptErrorLine(QStringLiteral("Script_WWW ERROR="), ScriptWWW.Error()));
        return;
    }
    PublishLog(QStringLiteral("END OF WWW PROCESS onInterval ") + platform::GeneralDateTime(platform::Now()));
}
