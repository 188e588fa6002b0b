// The settings reader: Tarnwick.ini to the running configuration.
#include "config/INISettings.h"

#include "config/SettingsKeys.h"
#include "config/basINIWorks.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "util/basJcryption1.h"
#include "util/basTwFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace config {

using basINIWorks::INIRead;
using basINIWorks::INIWrite;
namespace k = keys;

namespace {

const QChar kAttrMark(254);
const QChar kValueMark(253);

void logLine(const LogFn& log, const QString& text)
{
    if (log)
        log(text);
}

// How a whole-number setting takes a text with decimals: the intervals round it, the monitor
// pause cuts it; the others take whole numbers only.
enum class Decimals { Refused, Nearest, Down };

// A whole-number setting: the text must be a number (whole unless decimals are taken) within
// [lo, hi]; otherwise the default is used and one WARNING line says so. Letters after the
// digits are refused too: "90s" is more likely a typo than ninety seconds.
qint64 wholeNumber(const QString& section, const QString& key, const QString& def, qint64 lo, qint64 hi,
                   const LogFn& log, Decimals decimals = Decimals::Refused)
{
    const QString text = INIRead(section, key, def);
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    const QString t = text.trimmed();
    bool ok = false;
    double v = 0;
    if (decimals == Decimals::Refused ? whole.match(t).hasMatch() : decimal.match(t).hasMatch())
        v = t.toDouble(&ok);
    if (ok)
        v = decimals == Decimals::Down ? std::floor(v) : std::nearbyint(v);
    if (ok && v >= double(lo) && v <= double(hi))
        return static_cast<qint64>(v);
    logLine(log, QStringLiteral("WARNING: Tarnwick.ini [%1] %2 = '%3' is not valid, using %4")
                     .arg(section, key, text, def));
    return def.toLongLong();
}

// A security setting: one of its three names in any case; anything else is a mistake that
// falls back to no security (today's behaviour) with the WARNING line of a bad number.
Security securityValue(const QString& key, const LogFn& log)
{
    const QString text = INIRead(k::kEmail, key, k::kSecurityNone);
    const QString t = text.trimmed();
    for (const Security s : {Security::None, Security::StartTLS, Security::TLS})
        if (t.compare(SecurityText(s), Qt::CaseInsensitive) == 0)
            return s;
    logLine(log, QStringLiteral("WARNING: Tarnwick.ini [%1] %2 = '%3' is not valid, using %4")
                     .arg(k::kEmail, key, text, k::kSecurityNone));
    return Security::None;
}

// A line that opens with "[" but is no section header would put the keys under it into the
// section before it, where they are never looked for.
void warnMalformedSections(const QString& iniPath, const LogFn& log)
{
    bool ok = false;
    const QString text = platform::ReadTextFile(iniPath, &ok);
    if (!ok)
        return;
    const QStringList lines = platform::SplitLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString t = lines[i].trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.indexOf(QLatin1Char(']')) < 2)
            logLine(log, QStringLiteral("WARNING: Tarnwick.ini line %1 '%2' is not a valid section line; the keys after "
                                        "it are not read as a section of their own")
                             .arg(i + 1)
                             .arg(t));
    }
}

// Folder values may come from a settings file written on another system: "\" counts as "/".
QString folderValue(const QString& key)
{
    QString v = INIRead(k::kEmail, key, QString()).trimmed();
    v.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (v.endsWith(QLatin1Char('/')))
        v.chop(1);
    return v;
}

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Old single-section files had "[Settings]"; they become "[Global]" + "[Email]".
void upgradeOldFormat(const QString& iniPath, const LogFn& log)
{
    bool ok = false;
    QString text = platform::ReadTextFile(iniPath, &ok);
    if (!ok)
        return;
    const QString old = QStringLiteral("[Settings]");
    const qsizetype at = text.indexOf(old, 0, Qt::CaseInsensitive);
    if (at < 0)
        return;
    text.replace(at, old.size(), QStringLiteral("[Global]\r\n\r\n[Email]"));
    if (!platform::WriteTextFile(iniPath, text + QStringLiteral("\r\n"))) {
        logLine(log, QStringLiteral("ERROR: could not upgrade the settings file ") + iniPath);
        return;
    }
    INIWrite(k::kGlobal, k::kLogExtra, INIRead(k::kEmail, k::kLogExtra, QStringLiteral("False")).trimmed());
    INIWrite(k::kGlobal, k::kUnattended, INIRead(k::kEmail, k::kUnattended, QStringLiteral("False")).trimmed());
    INIWrite(k::kGlobal, k::kMultiInstance, QStringLiteral("False"));
}

} // namespace

bool FlagValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    const QChar c = t.front().toLower();
    return c == QLatin1Char('y') || c == QLatin1Char('t') || c == QLatin1Char('1');
}

double NumberValue(const QString& text)
{
    static const QRegularExpression leading(
        QStringLiteral("^\\s*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?)"));
    const QRegularExpressionMatch m = leading.match(text);
    if (!m.hasMatch())
        return 0;
    QString num = m.captured(1);
    num.replace(QLatin1Char('d'), QLatin1Char('e')).replace(QLatin1Char('D'), QLatin1Char('e'));
    bool ok = false;
    const double v = num.toDouble(&ok);
    return ok ? v : 0;
}

QString ExtMapPath(const QString& folder)
{
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(k::kExtMapFileName)))
        return dir.filePath(k::kExtMapFileName);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : entries)
        if (name.compare(k::kExtMapFileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return dir.filePath(k::kExtMapFileName);
}

QString LoadExtMap(const QString& folder)
{
    bool ok = false;
    const QString text = platform::ReadTextFile(ExtMapPath(folder), &ok);
    QString list;
    if (!ok)
        return list;
    const QString eq = QStringLiteral("=");
    for (const QString& line : platform::SplitLines(text)) {
        if (line.startsWith(QLatin1Char('#')) || !line.contains(QLatin1Char('=')))
            continue;
        const QString ext = basTwFunctions::GetField(line, eq, 1).trimmed();
        const QString address = basTwFunctions::GetField(line, eq, 2).trimmed();
        list = basTwFunctions::RReplace(list, -1, ext + kValueMark + address);
    }
    return list;
}

void INISettings(const QString& programFolder, GatewaySettings& gateway, const LogFn& log)
{
    RunningConfig& rc = Running();
    const QString folder = withSlash(programFolder);
    rc.INIPath = folder + k::kIniFileName;
    const basINIWorks::ReadOnce readOnce;

    if (!QFileInfo::exists(rc.INIPath))
        logLine(log, QStringLiteral("WARNING: settings file ") + rc.INIPath + QStringLiteral(" not found, using defaults"));
    else if (QFile f(rc.INIPath); !f.open(QIODevice::ReadOnly))
        logLine(log, QStringLiteral("WARNING: settings file ") + rc.INIPath + QStringLiteral(" cannot be read, using defaults"));
    else {
        upgradeOldFormat(rc.INIPath, log);
        warnMalformedSections(rc.INIPath, log);
    }

    const QString no = QStringLiteral("False");
    rc.LogExtra = FlagValue(INIRead(k::kGlobal, k::kLogExtra, no));
    rc.Unattended = FlagValue(INIRead(k::kGlobal, k::kUnattended, no));
    rc.MultiInstance = FlagValue(INIRead(k::kGlobal, k::kMultiInstance, no));

    gateway.TimeOut = static_cast<qint16>(wholeNumber(k::kEmail, k::kTimeout, QStringLiteral("50"), 1, 32767, log));
    gateway.SMTPPort = static_cast<qint32>(wholeNumber(k::kEmail, k::kSMTPPort, QStringLiteral("25"), 0, 65535, log));
    gateway.SMTPServer = INIRead(k::kEmail, k::kSMTPServer, QString());
    gateway.SMTPDomain = INIRead(k::kEmail, k::kSMTPDomain, QString());
    gateway.POPPort = static_cast<qint32>(wholeNumber(k::kEmail, k::kPOPPort, QStringLiteral("110"), 0, 65535, log));
    gateway.PopServer = INIRead(k::kEmail, k::kPOPServer, QStringLiteral("127.0.0.1"));
    gateway.UserName = INIRead(k::kEmail, k::kUserName, QStringLiteral("127.0.0.1"));
    gateway.Password = basJcryption1::UnscramblePassword(INIRead(k::kEmail, k::kPassword, QString()));

    const QString del = INIRead(k::kEmail, k::kDeleteOffServer, no).trimmed();
    const QChar d = del.isEmpty() ? QChar() : del.front().toLower();
    if (d == QLatin1Char('n') || d == QLatin1Char('f') || d == QLatin1Char('0'))
        gateway.DeleteOffServer = false;
    else if (d == QLatin1Char('y') || d == QLatin1Char('t') || d == QLatin1Char('1'))
        gateway.DeleteOffServer = true;
    else if (rc.Unattended)
        gateway.DeleteOffServer = false;
    else
        gateway.DeleteOffServer = platform::MsgBox(QStringLiteral("Delete Mail off server?"), platform::MsgButtons::YesNo,
                                                   platform::MsgIcon::Question)
                                  == platform::MsgAnswer::Yes;

    gateway.MessageMax = static_cast<qint32>(
        wholeNumber(k::kEmail, k::kMessageMax, QStringLiteral("2000000"), 0, std::numeric_limits<qint32>::max(), log));
    // 0 switches a cycle off; a negative or unreadable interval is a mistake, not "off".
    constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();
    rc.EmailInterval = static_cast<qint32>(
        wholeNumber(k::kEmail, k::kCheckInterval, QStringLiteral("120"), 0, kInt32Max, log, Decimals::Nearest));
    rc.WWWInterval = static_cast<qint32>(
        wholeNumber(k::kWWW, k::kCheckInterval, QStringLiteral("120"), 0, kInt32Max, log, Decimals::Nearest));

    rc.PathHome = folderValue(k::kPathHome);
    rc.PathMsgOut = folderValue(k::kPathMsgOut);
    rc.PathAttachOut = folderValue(k::kPathAttachOut);
    rc.PathMsgIn = folderValue(k::kPathMsgIn);
    rc.PathAttachIn = folderValue(k::kPathAttachIn);
    rc.PathExtMap = folderValue(k::kPathExtMap);
    rc.PathExtMapArchive = folderValue(k::kPathExtMapArchive);
    rc.PathExtMapReject = folderValue(k::kPathExtMapReject);
    rc.PathMsgInRaw = folderValue(k::kPathMsgInRaw);
    if (rc.PathHome.isEmpty())
        rc.PathHome = folder;
    rc.PathHome = withSlash(rc.PathHome);
    struct Sub {
        QString* path;
        const QString& defaultName;
    };
    const Sub subs[] = {{&rc.PathMsgIn, k::kDirMsgIn},          {&rc.PathMsgOut, k::kDirMsgOut},
                        {&rc.PathAttachIn, k::kDirAttachIn},    {&rc.PathAttachOut, k::kDirAttachOut},
                        {&rc.PathExtMap, k::kDirExtMap},        {&rc.PathExtMapArchive, k::kDirExtMapArchive},
                        {&rc.PathExtMapReject, k::kDirExtMapReject}, {&rc.PathMsgInRaw, k::kDirMsgInRaw}};
    for (const Sub& s : subs) {
        if (s.path->isEmpty())
            *s.path = rc.PathHome + s.defaultName;
        *s.path = withSlash(*s.path);
    }

    rc.FollowLinks = FlagValue(INIRead(k::kEmail, k::kFollowLinks, no));
    rc.SkipSeen = FlagValue(INIRead(k::kEmail, k::kSkipSeen, no));
    gateway.ReturnAddress = INIRead(k::kEmail, k::kReturnAddress, QString()).trimmed();
    rc.ScriptOnReceive = INIRead(k::kEmail, k::kScriptOnReceive, QStringLiteral("onReceive.txt")).trimmed();
    rc.ScriptOnInterval = INIRead(k::kWWW, k::kScriptOnInterval, QStringLiteral("onInterval.txt")).trimmed();
    // Any pause below 0 means no pause, so every 32-bit value is in range.
    rc.MonitorPause = static_cast<qint32>(wholeNumber(k::kWWW, k::kMonitorPause, QStringLiteral("8"),
                                                      std::numeric_limits<qint32>::min(), kInt32Max, log,
                                                      Decimals::Down));

    gateway.SMTPSecurity = securityValue(k::kSMTPSecurity, log);
    gateway.POPSecurity = securityValue(k::kPOPSecurity, log);
    gateway.SMTPUserName = INIRead(k::kEmail, k::kSMTPUserName, QString()).trimmed();
    gateway.SMTPPassword = basJcryption1::UnscramblePassword(INIRead(k::kEmail, k::kSMTPPassword, QString()));
    gateway.CAFile = CAFilePath(folder, INIRead(k::kEmail, k::kCAFile, QString()));

    gateway.ExtMap = LoadExtMap(rc.PathHome);
}

QString CAFilePath(const QString& instanceFolder, const QString& value)
{
    QString v = value.trimmed();
    if (v.isEmpty())
        return v;
    v.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QDir(instanceFolder).absoluteFilePath(v));
}

} // namespace config
