// The INI file service: single values read and written by section and key, with the rules of
// the classic profile-string service the settings file was designed for.
//
// Section and key names match without regard to case. On read, blanks around a value are
// dropped and then one pair of matching surrounding quotes (" or '). Lines beginning with ";"
// are comments. A write replaces the key's line in place, or appends the key at the end of its
// section, or appends the section to the file; every other line stays as it was. Lines are
// written with CR LF; LF alone is accepted on read. The file is replaced atomically.
#pragma once

#include <QHash>
#include <QString>

namespace platform {

// Every value of one file, read and parsed once, for callers that read many keys in a row.
// The first occurrence of a key in a section wins, as a single read finds it.
class IniSnapshot {
public:
    explicit IniSnapshot(const QString& path);
    // False when the file could not be read (every value is then its default).
    bool read() const { return read_; }
    QString value(const QString& section, const QString& key, const QString& def) const;

private:
    bool read_ = false;
    QHash<QString, QHash<QString, QString>> values_;   // section, key (lower case) -> value
};

// The value of key in section, or def if the file, the section or the key is missing.
QString IniRead(const QString& path, const QString& section, const QString& key, const QString& def);

// Sets key in section to value, creating file, section and key as needed. False if the file
// could not be written.
bool IniWrite(const QString& path, const QString& section, const QString& key, const QString& value);

} // namespace platform
