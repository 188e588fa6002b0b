// INI file service on plain 8-bit text files.
#include "platform/IniFile.h"

#include "platform/TextFile.h"

#include <QFileInfo>
#include <QStringList>

namespace platform {

namespace {

// "[Name]" (blanks allowed around) gives Name; anything else gives a null string.
QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')))
    {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close > 0)
            return t.mid(1, close - 1).trimmed();
    }
    return QString();
}

bool isComment(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';'));
}

// The key of a "key=value" line, or a null string when the line is no key line.
QString keyOf(const QString& line)
{
    if (isComment(line))
        return QString();
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QString();
    return line.left(eq).trimmed();
}

QString unquote(QString v)
{
    v = v.trimmed();
    if (v.size() >= 2) {
        const QChar first = v.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && v.back() == first)
            v = v.mid(1, v.size() - 2);
    }
    return v;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniSnapshot::IniSnapshot(const QString& path)
{
    const QString text = ReadTextFile(path, &read_);
    if (!read_)
        return;
    QString section;   // null before the first section header
    for (const QString& line : SplitLines(text)) {
        const QString name = sectionName(line);
        if (!name.isNull()) {
            section = name.toLower();
            continue;
        }
        if (section.isNull())
            continue;
        const QString k = keyOf(line);
        if (k.isNull())
            continue;
        QHash<QString, QString>& keys = values_[section];
        const QString lower = k.toLower();
        if (!keys.contains(lower))
            keys.insert(lower, unquote(line.mid(line.indexOf(QLatin1Char('=')) + 1)));
    }
}

QString IniSnapshot::value(const QString& section, const QString& key, const QString& def) const
{
    const auto s = values_.constFind(section.toLower());
    if (s == values_.constEnd())
        return def;
    const auto v = s->constFind(key.toLower());
    return v == s->constEnd() ? def : *v;
}

QString IniRead(const QString& path, const QString& section, const QString& key, const QString& def)
{
    return IniSnapshot(path).value(section, key, def);
}

bool IniWrite(const QString& path, const QString& section, const QString& key, const QString& value)
{
    bool ok = false;
    const QString text = ReadTextFile(path, &ok);
    if (!ok && QFileInfo::exists(path))
        return false; // unreadable: never replace a file we could not read
    QStringList lines = ok ? SplitLines(text) : QStringList();
    const QString keyLine = key + QLatin1Char('=') + value;

    qsizetype sectionStart = -1; // index of the section header line
    qsizetype lastKeyLine = -1;  // last non-blank line inside the section
    bool inSection = false;
    bool done = false;
    for (qsizetype i = 0; i < lines.size() && !done; ++i) {
        const QString name = sectionName(lines[i]);
        if (!name.isNull()) {
            if (inSection)
                break; // section ended without the key
            inSection = sameName(name, section);
            if (inSection) {
                sectionStart = i;
                lastKeyLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!lines[i].trimmed().isEmpty())
            lastKeyLine = i;
        const QString k = keyOf(lines[i]);
        if (!k.isNull() && sameName(k, key)) {
            lines[i] = keyLine;
            done = true;
        }
    }
    if (!done) {
        if (sectionStart >= 0) {
            lines.insert(lastKeyLine + 1, keyLine);
        } else {
            lines << QLatin1Char('[') + section + QLatin1Char(']') << keyLine;
        }
    }
    return WriteTextFile(path, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

} // namespace platform
