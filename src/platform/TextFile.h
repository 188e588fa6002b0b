// Reading and writing whole 8-bit text files: every byte is one character (Latin-1), so any
// content survives a round trip unchanged.
#pragma once

#include <QFileDevice>
#include <QString>

namespace platform {

// The whole file as text; *ok (if given) tells whether it could be read.
QString ReadTextFile(const QString& path, bool* ok = nullptr);

// Replaces the file's content atomically: a crash or a full disk leaves the old file whole.
bool WriteTextFile(const QString& path, const QString& text);

// Splits text into lines at CR LF or LF (a final line end yields no extra empty line).
QStringList SplitLines(const QString& text);

// A failed file step as the robot's log lines and script errors report it: the classic error
// number (53 file not found, 76 path not found, 70 permission denied, 61 disk full, 75 access error).
struct FileErr {
    int number = 0;
    QString text;
};
FileErr FileErrorOf(const QString& path, QFileDevice::FileError e);

} // namespace platform
