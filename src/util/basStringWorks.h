// Separator helpers that split a header line into its name and its value.
#pragma once

#include <QString>

namespace basStringWorks {

// The text from one character after the start of the first separator (whatever the
// separator's length), or empty when the separator is absent. "Subject: hi" at ":" gives " hi".
// Positions are plain ints, so unlike the 16-bit original there is no overflow on long texts.
QString TextAfter(const QString& text, const QString& separator);

// The text before the first separator, or the whole text when the separator is absent.
QString TextBefore(const QString& text, const QString& separator);

} // namespace basStringWorks
