// First-start contents of an instance folder.
#include "config/FirstStart.h"

#include "config/SettingsKeys.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>

#include <utility>

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
    "; None, StartTLS (usual port 587) or TLS (465); a login is sent only over TLS.",
    "SMTPSecurity=None",
    "SMTPUserName=",
    "SMTPPassword=",
    "POPServer=pop.xxx.example",
    "POPPort=110",
    "; None, StartTLS (usual port 110) or TLS (995).",
    "POPSecurity=None",
    "UserName=",
    "Password=",
    "; Certificates (PEM) trusted besides the system's, for servers with their own.",
    "CAFile=",
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
QString templateText(const char* const (&lines)[N])
{
    QString text;
    for (const char* line : lines)
        text += QString::fromLatin1(line) + QStringLiteral("\r\n");
    return text;
}

// Whether the folder takes new files: a probe file is made and removed. Permission bits
// alone say nothing for root or on a read-only mount.
bool writable(const QString& home, QString& reason)
{
    QTemporaryFile probe(QDir(home).filePath(QStringLiteral(".tarnwick-probe-XXXXXX")));
    if (probe.open())
        return true;
    reason = probe.errorString();
    return false;
}

} // namespace

SetUpResult SetUpInstanceFolder(const QString& home, const LogFn& log)
{
    SetUpResult r;
    const auto fail = [&](const QString& what) {
        if (log)
            log(QStringLiteral("ERROR: could not write ") + what);
        if (r.ok)
            r.error = QStringLiteral("could not write ") + what;
        r.ok = false;
    };
    QDir dir(home);
    if (!dir.mkpath(QStringLiteral("."))) {
        r.ok = false;
        r.error = QStringLiteral("the instance folder ") + home + QStringLiteral(" cannot be created");
        return r;
    }
    if (QString reason; !writable(home, reason)) {
        r.ok = false;
        r.error = QStringLiteral("the instance folder ") + home + QStringLiteral(" cannot be written (") + reason
                  + QLatin1Char(')');
        return r;
    }

    const QString ini = dir.filePath(keys::kIniFileName);
    const auto setting = [&ini](const QString& section, const QString& key, const QString& def) {
        return platform::IniRead(ini, section, key, def).trimmed();
    };
    const auto addFile = [&](const QString& path, const QString& text) {
        if (QFileInfo::exists(path))
            return;
        if (platform::WriteTextFile(path, text))
            r.added << QFileInfo(path).fileName();
        else
            fail(path);
    };
    // The settings file first: the items below follow what it says.
    if (!QFileInfo::exists(ini)) {
        if (!platform::WriteTextFile(ini, templateText(kIniTemplate))) {
            fail(ini);
            return r;
        }
        r.created = true;
    }
    // A data folder the settings move elsewhere is not made here: it is the user's to make.
    if (setting(keys::kEmail, keys::kPathHome, QString()).isEmpty()) {
        const std::pair<const QString&, const QString&> subs[] = {
            {keys::kPathMsgIn, keys::kDirMsgIn},       {keys::kPathMsgOut, keys::kDirMsgOut},
            {keys::kPathAttachIn, keys::kDirAttachIn}, {keys::kPathAttachOut, keys::kDirAttachOut},
            {keys::kPathExtMap, keys::kDirExtMap},     {keys::kPathExtMapArchive, keys::kDirExtMapArchive},
            {keys::kPathExtMapReject, keys::kDirExtMapReject}, {keys::kPathMsgInRaw, keys::kDirMsgInRaw}};
        for (const auto& [key, sub] : subs) {
            if (!setting(keys::kEmail, key, QString()).isEmpty() || QFileInfo(dir.filePath(sub)).isDir())
                continue;
            if (dir.mkpath(sub))
                r.added << sub;
            else
                fail(dir.filePath(sub));
        }
    }
    // The mapping file may exist under another case of its name; that one is kept.
    addFile(ExtMapPath(home), templateText(kExtMapTemplate));
    const QString receive = QStringLiteral("onReceive.txt");
    const QString interval = QStringLiteral("onInterval.txt");
    if (setting(keys::kEmail, keys::kScriptOnReceive, receive).compare(receive, Qt::CaseInsensitive) == 0)
        addFile(dir.filePath(receive), templateText(kReceiveTemplate));
    if (setting(keys::kWWW, keys::kScriptOnInterval, interval).compare(interval, Qt::CaseInsensitive) == 0)
        addFile(dir.filePath(interval), templateText(kIntervalTemplate));

    if (log && r.ok && r.created)
        log(QStringLiteral("INFO: new instance folder set up in ") + home);
    else if (log && r.ok && !r.added.isEmpty())
        log(QStringLiteral("INFO: instance folder ") + home + QStringLiteral(" completed with ") + r.added.join(QStringLiteral(", ")));
    return r;
}

} // namespace config
