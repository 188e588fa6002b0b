// First-start contents of an instance folder.
#include "config/FirstStart.h"

#include "config/SettingsKeys.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace config {

namespace {

const char* const kIniTemplate[] = {
    "; Tarnwick settings. Replace the xxx server names with your own mail servers.",
    "[Global]",
    "LogExtra=False",
    "Unattended=False",
    "MultiInstance=False",
    "",
    "[Email]",
    "SMTPServer=smtp.xxx.example",
    "SMTPPort=25",
    "SMTPDomain=localhost",
    "POPServer=pop.xxx.example",
    "POPPort=110",
    "UserName=",
    "Password=",
    "DeleteOffServer=False",
    "ReturnAddress=",
    "Timeout=50",
    "MessageMax=2000000",
    "CheckInterval=120",
    "PathHome=",
    "PathMsgOut=",
    "PathAttachOut=",
    "PathMsgIn=",
    "PathAttachIn=",
    "PathExtMap=",
    "PathExtMapArchive=",
    "PathExtMapReject=",
    "ScriptOnReceive=onReceive.txt",
    "",
    "[WWW]",
    "CheckInterval=120",
    "ScriptOnInterval=onInterval.txt",
    "MonitorPause=8",
};

const char* const kExtMapTemplate[] = {
    "# Tarnwick mapping file.",
    "# A file dropped into the ExtMap folder is sent to the address given for its extension",
    "# (the extension is matched without regard to case). One mapping a line:",
    "#   extension=address",
    "# Lines starting with # are comments. Examples:",
    "# csv=orders@example.com",
    "# xml=invoices@example.com",
};

const char* const kReceiveTemplate[] = {
    "' Tarnwick receive script: Main runs once for every received message.",
    "' IM is the message in hand (its members can also be used without \"IM.\"),",
    "' FS a file-system object and XCommon a dictionary shared by all scripts.",
    "Sub Main",
    "    ' Example: IM.LogMessage \"Received: \" & IM.Header(\"Subject\")",
    "End Sub",
};

const char* const kIntervalTemplate[] = {
    "' Tarnwick interval script: Main runs on every web interval.",
    "' IW is the web robot, FS a file-system object, XCommon a shared dictionary.",
    "Sub Main",
    "End Sub",
};

template <size_t N>
bool writeIfMissing(const QString& path, const char* const (&lines)[N], const LogFn& log)
{
    if (QFileInfo::exists(path))
        return true;
    QString text;
    for (const char* line : lines)
        text += QString::fromLatin1(line) + QStringLiteral("\r\n");
    if (platform::WriteTextFile(path, text))
        return true;
    if (log)
        log(QStringLiteral("ERROR: could not write ") + path);
    return false;
}

} // namespace

bool SetUpInstanceFolder(const QString& home, const LogFn& log)
{
    QDir dir(home);
    if (QFileInfo::exists(dir.filePath(keys::kIniFileName)))
        return false;
    if (!dir.mkpath(QStringLiteral("."))) {
        if (log)
            log(QStringLiteral("ERROR: could not create the instance folder ") + home);
        return false;
    }
    for (const QString& sub : {keys::kDirMsgIn, keys::kDirMsgOut, keys::kDirAttachIn, keys::kDirAttachOut,
                               keys::kDirExtMap, keys::kDirExtMapArchive, keys::kDirExtMapReject, keys::kDirMsgInRaw})
        dir.mkpath(sub);
    // The mapping file may exist under another case of its name; that one is kept.
    const QString extMap = ExtMapPath(home);
    writeIfMissing(extMap, kExtMapTemplate, log);
    writeIfMissing(dir.filePath(QStringLiteral("onReceive.txt")), kReceiveTemplate, log);
    writeIfMissing(dir.filePath(QStringLiteral("onInterval.txt")), kIntervalTemplate, log);
    writeIfMissing(dir.filePath(keys::kIniFileName), kIniTemplate, log);
    if (log)
        log(QStringLiteral("INFO: new instance folder set up in ") + home);
    return true;
}

} // namespace config
