// Separator helpers.
#include "util/basStringWorks.h"

namespace basStringWorks {

namespace {
// 1-based position of the first hit, 0 when there is none (an empty separator is found at 1
// in any non-empty text, as the classic string search does).
qsizetype position(const QString& text, const QString& separator)
{
    if (text.isEmpty())
        return 0;
    return text.indexOf(separator) + 1;
}
} // namespace

QString TextAfter(const QString& text, const QString& separator)
{
    const qsizetype p = position(text, separator);
    return p >= 1 ? text.mid(p) : QString();
}

QString TextBefore(const QString& text, const QString& separator)
{
    const qsizetype p = position(text, separator);
    if (p == 0)
        return text;
    return text.left(p - 1);
}

} // namespace basStringWorks
