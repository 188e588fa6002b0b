// Single-value access to the settings file INIPath of the running configuration.
#pragma once

#include <QString>

namespace basINIWorks {

// The value of Key in Section, or Default when file, section or key is missing; cut to its
// first 99 characters, as the fixed 100-character buffer of the original service did.
QString INIRead(const QString& Section, const QString& Key, const QString& Default);

// Writes one value (file, section and key are created as needed); false if it could not.
bool INIWrite(const QString& Section, const QString& Key, const QString& Value);

} // namespace basINIWorks
