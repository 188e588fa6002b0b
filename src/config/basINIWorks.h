// Single-value access to the settings file INIPath of the running configuration.
#pragma once

#include <QString>

namespace basINIWorks {

// The value of Key in Section, or Default when file, section or key is missing; cut to its
// first 99 characters, as the fixed 100-character buffer of the original service did.
QString INIRead(const QString& Section, const QString& Key, const QString& Default);

// Writes one value (file, section and key are created as needed); false if it could not.
bool INIWrite(const QString& Section, const QString& Key, const QString& Value);

// While one is alive, INIRead answers from a single reading of the file instead of reading it
// again for every key (a settings load reads some thirty). A write through INIWrite is seen
// by the reads after it.
class ReadOnce {
public:
    ReadOnce();
    ~ReadOnce();
    ReadOnce(const ReadOnce&) = delete;
    ReadOnce& operator=(const ReadOnce&) = delete;
};

} // namespace basINIWorks
