// Work files and careful copies: every file the gateway writes is first built in a hidden
// work file beside it, created exclusively under a name nobody can guess, and renamed into
// place whole. Also the questions asked of a data file before it is taken: is it settled,
// does anyone still write it.
#pragma once

#include "gateway/GwText.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QString>

namespace gateway {

// The classic error number and text for a failed system call on path: 70 "Permission
// denied", 61 "Disk full", 52 "File name too long", 53 "File not found", 76 "Path not found",
// 57 "Device I/O error", else 75 "Path/File access error".
FileErr FileErrorOfErrno(int err, const QString& path);

// Opens file on a new hidden work file in target's folder (".<name>.<random>.part", a long
// name shortened), made
// with O_EXCL and O_NOFOLLOW, so a planted file or link at that name is never written
// through; its path goes to workPath (a file opened on a descriptor keeps no name). False,
// with the cause in err, when it cannot be made.
bool OpenWorkFile(const QString& target, QFile& file, QString& workPath, FileErr& err);

// Whether some process holds the open file fd open for writing, asked of the kernel by trying
// a read lease (which it grants only to a file nobody writes). Unknown where leases are not
// available (another owner's file without the right to lease it, some file systems).
enum class Writers { None, Some, Unknown };
Writers WritersOf(int fd);

// Removes the hidden work files in folder that nobody holds open for writing: what a crash
// or a kill left behind. Returns how many went.
int SweepWorkFiles(const QString& folder);

// Copies the already opened source to target through a work file; target is replaced whole
// or not at all.
FileErr CopyOpenFile(int sourceFd, const QString& target);

// Remembers how a data file looked when last seen, so that a file whose time stamp cannot be
// trusted (set in the future) is taken once it has been seen unchanged for the settle time.
class SettleWatch {
public:
    // Seconds a file's size and modification time must stay unchanged before it is taken.
    static constexpr int kSettleSeconds = 5;

    // True when the file (size and mtime as it shows them now, now by the gateway clock) has
    // stood still for the settle time.
    bool look(const QString& path, qint64 size, const QDateTime& mtime, const QDateTime& now);
    // True the first time it is asked for a file not yet taken: the one log line it gets.
    bool firstNotice(const QString& path);
    void forget(const QString& path)
    {
        seen_.remove(path);
        noticed_.remove(path);
    }

private:
    struct Seen {
        qint64 size = -1;
        QDateTime mtime;
        QDateTime since;
    };
    QHash<QString, Seen> seen_;
    QSet<QString> noticed_;
};

SettleWatch& Settling();

} // namespace gateway
