// XDG autostart entries for instance folders.
#include "platform/Autostart.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

QString cleanHome(const QString& home)
{
    return QDir::cleanPath(QFileInfo(home).absoluteFilePath());
}

} // namespace

QString AutostartPath(const QString& home)
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    // A short digest of the folder keeps names unique without putting a path into a name.
    const QByteArray digest =
        QCryptographicHash::hash(cleanHome(home).toUtf8(), QCryptographicHash::Sha1).toHex().left(10);
    return config + QStringLiteral("/autostart/tarnwick-") + QString::fromLatin1(digest) + QStringLiteral(".desktop");
}

bool AutostartEnabled(const QString& home)
{
    QFile f(AutostartPath(home));
    return f.open(QIODevice::ReadOnly) && !f.readAll().contains("\nHidden=true");
}

QString DesktopExecArgument(const QString& arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    bool quote = arg.isEmpty();
    for (const QChar c : arg)
        quote = quote || reserved.contains(c);
    if (!quote)
        return arg;
    QString out = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
    // In an Exec line "%" is the start of a field code; a literal one is doubled, and the
    // whole line is then escaped once more as a string value.
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return out;
}

bool SetAutostart(const QString& home, bool on, const QString& program)
{
    const QString path = AutostartPath(home);
    if (!on)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QString folder = cleanHome(home);
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Tarnwick (%1)\n"
                                        "Comment=E-mail data-transfer robot on the instance folder %1\n"
                                        "Exec=%2 --home %3\n"
                                        "Icon=tarnwick\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(folder, DesktopExecArgument(program), DesktopExecArgument(folder));
    // Desktop entries are UTF-8, unlike the robot's own 8-bit files.
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0 && f.commit();
}

} // namespace platform
