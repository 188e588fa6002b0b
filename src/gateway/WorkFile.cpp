// Work files, careful copies and the settle test of data files.
#include "gateway/WorkFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gateway {

FileErr FileErrorOfErrno(int err, const QString& path)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return {70, QStringLiteral("Permission denied")};
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return {61, QStringLiteral("Disk full")};
    case ENAMETOOLONG:
        return {52, QStringLiteral("File name too long")};
    case EIO:
        return {57, QStringLiteral("Device I/O error")};
    case ENOENT:
    case ENOTDIR:
        if (!QFileInfo(path).absoluteDir().exists())
            return {76, QStringLiteral("Path not found")};
        return {53, QStringLiteral("File not found")};
    default:
        return {75, QStringLiteral("Path/File access error")};
    }
}

bool OpenWorkFile(const QString& target, QFile& file, QString& workPath, FileErr& err)
{
    const QFileInfo fi(target);
    // The work name carries as much of the target's name as fits beside the random part, so
    // any name the folder can hold can also be written.
    QString stem = fi.fileName();
    while (QFile::encodeName(stem).size() > 200)
        stem.chop(1);
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    // A name already taken (by chance or by a planted file) is simply drawn again.
    for (int attempt = 0; attempt < 16; ++attempt) {
        QString tag;
        for (int i = 0; i < 12; ++i)
            tag += QLatin1Char(kAlphabet[QRandomGenerator::system()->bounded(int(sizeof kAlphabet - 1))]);
        const QString work = fi.path() + QStringLiteral("/.") + stem + QLatin1Char('.') + tag
            + QLatin1String(kWorkSuffix);
        const int fd = ::open(QFile::encodeName(work).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            err = FileErrorOfErrno(errno, target);
            return false;
        }
        if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            ::unlink(QFile::encodeName(work).constData());
            err = {75, QStringLiteral("Path/File access error")};
            return false;
        }
        workPath = work;
        return true;
    }
    err = {75, QStringLiteral("Path/File access error")};
    return false;
}

Writers WritersOf(int fd)
{
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return Writers::None;
    }
    return errno == EAGAIN ? Writers::Some : Writers::Unknown;
}

int SweepWorkFiles(const QString& folder)
{
    if (folder.isEmpty())
        return 0;
    const QDir dir(folder);
    const QStringList found = dir.entryList({QStringLiteral(".*") + QLatin1String(kWorkSuffix)},
                                            QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : found) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        // A link at a work name is planted, never ours: it goes without its target being read.
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        bool stale = true;
        if (fd >= 0) {
            stale = WritersOf(fd) != Writers::Some;
            ::close(fd);
        }
        if (stale && ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

FileErr CopyOpenFile(int sourceFd, const QString& target)
{
    QFile out;
    QString work;
    FileErr err;
    if (!OpenWorkFile(target, out, work, err))
        return err;
    auto fail = [&](int e) {
        out.close();
        QFile::remove(work);
        return FileErrorOfErrno(e, target);
    };
    if (::lseek(sourceFd, 0, SEEK_SET) < 0)
        return fail(errno);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(sourceFd, buffer.data(), size_t(buffer.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out.handle(), buffer.constData() + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return fail(errno);
            }
            done += w;
        }
    }
    out.close();
    if (std::rename(QFile::encodeName(work).constData(), QFile::encodeName(target).constData()) != 0) {
        const int e = errno;
        QFile::remove(work);
        return FileErrorOfErrno(e, target);
    }
    return {};
}

bool SettleWatch::look(const QString& path, qint64 size, const QDateTime& mtime, const QDateTime& now)
{
    if (mtime.secsTo(now) >= kSettleSeconds)
        return true;
    // Written within the settle time, or stamped in the future (a clock elsewhere, a copy that
    // kept a foreign stamp): only our own clock can tell how long it has stood still.
    auto it = seen_.find(path);
    if (it == seen_.end() || it->size != size || it->mtime != mtime) {
        seen_.insert(path, {size, mtime, now});
        return false;
    }
    return it->since.secsTo(now) >= kSettleSeconds;
}

bool SettleWatch::firstNotice(const QString& path)
{
    if (noticed_.contains(path))
        return false;
    noticed_.insert(path);
    return true;
}

SettleWatch& Settling()
{
    static SettleWatch watch;
    return watch;
}

} // namespace gateway
