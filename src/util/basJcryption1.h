// The keyed character shift that keeps the POP password out of the settings file in plain.
// The password-change dialog procedure of this module lives with the settings dialogs.
#pragma once

#include <QString>

namespace basJcryption1 {

// The fixed 20-character key. It must never change: a stored password scrambled with one key
// unscrambles to a different password with another.
QString ScrambleKeyText();

// Same-length scrambled text; the ring of the shift is the 96 codes 32 to 127. Characters are
// taken by their 8-bit code (a character above 255, which no Latin-1 file can hold, counts as
// "?", as an ANSI conversion would make it).
QString ScramblePassword(const QString& text);
// The inverse of ScramblePassword for every text whose codes are all 32 to 127.
QString UnscramblePassword(const QString& text);

} // namespace basJcryption1
