// Whole-file 8-bit text I/O.
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace platform {

QString ReadTextFile(const QString& path, bool* ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    const QByteArray bytes = f.readAll();
    if (ok)
        *ok = f.error() == QFileDevice::NoError;
    return QString::fromLatin1(bytes);
}

bool WriteTextFile(const QString& path, const QString& text)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toLatin1();
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

QStringList SplitLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

FileErr FileErrorOf(const QString& path, QFileDevice::FileError e)
{
    const QFileInfo fi(path);
    if (!fi.absoluteDir().exists())
        return {76, QStringLiteral("Path not found")};
    switch (e) {
    case QFileDevice::ResourceError:
        return {61, QStringLiteral("Disk full")};
    case QFileDevice::PermissionsError:
        return {70, QStringLiteral("Permission denied")};
    case QFileDevice::OpenError:
        if (!fi.exists())
            return {53, QStringLiteral("File not found")};
        return {70, QStringLiteral("Permission denied")};
    case QFileDevice::ReadError:
        return {57, QStringLiteral("Device I/O error")};
    case QFileDevice::WriteError:
        return {61, QStringLiteral("Disk full")};
    default:
        if (!fi.exists())
            return {53, QStringLiteral("File not found")};
        return {75, QStringLiteral("Path/File access error")};
    }
}

} // namespace platform
