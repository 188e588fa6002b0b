// Delimited fields and mark-delimited records.
#include "util/basTwFunctions.h"

#include <QStringList>
#include <QtDebug>

namespace basTwFunctions {

int FieldCount(const QString& text, const QString& delimiter)
{
    if (delimiter.isEmpty())
        return int(text.size()) + 1;
    if (text.isEmpty())
        return 0;
    int count = 0;
    // Each search starts one character after the previous hit, so "aaa" holds "aa" twice.
    for (qsizetype p = text.indexOf(delimiter); p >= 0; p = text.indexOf(delimiter, p + 1))
        ++count;
    return count + 1;
}

QString GetField(const QString& text, const QString& delimiter, int n)
{
    QString rest = text;
    for (int i = 1; i < n; ++i) {
        const qsizetype p = rest.indexOf(delimiter);
        if (p < 0 || rest.isEmpty())
            return QString();
        rest = rest.mid(p + delimiter.size());
    }
    const qsizetype p = rest.indexOf(delimiter);
    if (p >= 0 && !rest.isEmpty())
        return rest.left(p);
    return rest;
}

QString ExtractMarked(const QString& record, int a, int v, int s)
{
    QString result = GetField(record, QString(AttributeMark), a);
    if (v >= 1) {
        result = GetField(result, QString(ValueMark), v);
        if (s >= 1)
            result = GetField(result, QString(SubvalueMark), s);
    }
    return result;
}

namespace {

bool validPosition(int pos) { return pos == -1 || pos >= 1; }

// Splits at mark; an empty text is a list with no elements.
QStringList splitAt(const QString& text, QChar mark)
{
    return text.isEmpty() ? QStringList() : text.split(mark);
}

// The index of the element a position names, growing the list as the position asks.
qsizetype place(QStringList& list, int pos)
{
    if (pos == -1) {
        list.append(QString());
        return list.size() - 1;
    }
    while (list.size() < pos)
        list.append(QString());
    return pos - 1;
}

// Replaces the element at the given positions, one per level (attribute, value, subvalue).
QString replaceAt(const QString& record, std::initializer_list<int> positions, const QString& newText)
{
    for (int pos : positions) {
        if (!validPosition(pos)) {
            qWarning().noquote() << QStringLiteral("RReplace: position %1 addresses no element; record left unchanged").arg(pos);
            return record;
        }
    }
    static constexpr QChar marks[] = {AttributeMark, ValueMark, SubvalueMark};
    const int depth = int(positions.size());
    // Walk down the levels, remembering each level's list and chosen index, then join back up.
    QStringList lists[3];
    qsizetype index[3] = {0, 0, 0};
    QString current = record;
    int level = 0;
    for (int pos : positions) {
        lists[level] = splitAt(current, marks[level]);
        index[level] = place(lists[level], pos);
        current = lists[level][index[level]];
        ++level;
    }
    QString joined = newText;
    for (level = depth - 1; level >= 0; --level) {
        lists[level][index[level]] = joined;
        joined = lists[level].join(marks[level]);
    }
    return joined;
}

} // namespace

QString RReplace(const QString& record, int attr, const QString& newText)
{
    return replaceAt(record, {attr}, newText);
}

QString RReplace(const QString& record, int attr, int value, const QString& newText)
{
    return replaceAt(record, {attr, value}, newText);
}

QString RReplace(const QString& record, int attr, int value, int subvalue, const QString& newText)
{
    return replaceAt(record, {attr, value, subvalue}, newText);
}

} // namespace basTwFunctions
