// Delimited fields and mark-delimited records: the lists that settings lines, POP replies,
// received headers and the mapping table are kept in. The cooperative wait of this module
// lives in platform/Clock.h (platform::WaitSeconds), beside the clock it reads.
#pragma once

#include <QChar>
#include <QString>

namespace basTwFunctions {

// The three reserved separators of a mark-delimited record: attribute, value, subvalue.
inline constexpr QChar AttributeMark{0xFE};
inline constexpr QChar ValueMark{0xFD};
inline constexpr QChar SubvalueMark{0xFC};

// Number of delimiter-separated fields. An empty text has none; an empty delimiter counts
// every character as a field (length + 1). Overlapping hits of a long delimiter all count.
int FieldCount(const QString& text, const QString& delimiter);

// Field n (from 1; 1 or below gives the first) of text split at delimiter, case-sensitive.
// A field past the last one is empty.
QString GetField(const QString& text, const QString& delimiter, int n);

// The element at attribute a, value v, subvalue s of a record. v < 1 returns the whole
// attribute and ignores s; s < 1 returns the whole value. Callers pass -1 for "not wanted".
QString ExtractMarked(const QString& record, int a, int v = -1, int s = -1);

// Replace one element of a record and return the new record. A position of -1 appends a new
// element; a position past the end pads with empty elements. newText goes in unchanged.
// A position of 0 or below -1 addresses nothing: that is a caller fault, which is logged and
// answered with the record unchanged rather than with a crash.
QString RReplace(const QString& record, int attr, const QString& newText);
QString RReplace(const QString& record, int attr, int value, const QString& newText);
QString RReplace(const QString& record, int attr, int value, int subvalue, const QString& newText);

} // namespace basTwFunctions
