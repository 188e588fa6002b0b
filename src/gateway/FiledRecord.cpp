// One id a line, "#" lines are comments; additions are appended, removals rewrite the file
// through a work file and a rename.
#include "gateway/FiledRecord.h"

#include "gateway/WorkFile.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace gateway {

QString FiledRecord::PathFor(const QString& folder, const QString& server, qint32 port, const QString& user)
{
    const QByteArray key = server.trimmed().toLower().toUtf8() + ':' + QByteArray::number(port) + '\n' + user.toUtf8();
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return folder + QStringLiteral("FiledIds-") + QString::fromLatin1(digest) + QStringLiteral(".txt");
}

bool ValidUniqueId(const QString& id)
{
    if (id.isEmpty() || id.size() > 70)
        return false;
    return std::all_of(id.begin(), id.end(), [](QChar c) { return c.unicode() >= 0x21 && c.unicode() <= 0x7E; });
}

bool FiledRecord::load(const QString& path, const QString& title, FileErr& err)
{
    path_ = path;
    ids_.clear();
    title_ = QStringLiteral("# ") + title;
    QFile f(path);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly)) {
        err = FileErrorOf(path, f.error());
        return false;
    }
    const QByteArray all = f.readAll();
    qsizetype start = 0;
    while (start < all.size()) {
        const qsizetype nl = all.indexOf('\n', start);
        if (nl < 0)
            break;   // cut by a crash mid-append
        const QString line = QString::fromLatin1(all.mid(start, nl - start)).trimmed();
        start = nl + 1;
        if (line.startsWith(QLatin1Char('#')))
            title_ = line;
        else if (ValidUniqueId(line))
            ids_.insert(line);
    }
    if (start < all.size())
        return rewrite(err);
    return true;
}

bool FiledRecord::add(const QString& id, FileErr& err)
{
    if (ids_.contains(id))
        return true;
    QByteArray line = id.toLatin1() + '\n';
    if (!QFile::exists(path_))
        line.prepend(title_.toLatin1() + '\n');
    const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        err = FileErrorOfErrno(errno, path_);
        return false;
    }
    const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
    const int writeErr = errno;
    const bool synced = n != line.size() || !DurableWrites() || ::fdatasync(fd) == 0;
    ::close(fd);
    if (n != line.size() || !synced) {
        err = FileErrorOfErrno(n < 0 || !synced ? writeErr : ENOSPC, path_);
        // The cut line is mended at the next load; this id simply counts as not recorded.
        return false;
    }
    ids_.insert(id);
    return true;
}

bool FiledRecord::keepOnly(const QSet<QString>& present, FileErr& err)
{
    const qsizetype before = ids_.size();
    for (auto it = ids_.begin(); it != ids_.end();) {
        if (present.contains(*it))
            ++it;
        else
            it = ids_.erase(it);
    }
    return ids_.size() == before || rewrite(err);
}

bool FiledRecord::rewrite(FileErr& err)
{
    QStringList sorted(ids_.begin(), ids_.end());
    sorted.sort();
    QByteArray text;
    if (!title_.isEmpty())
        text += title_.toLatin1() + '\n';
    for (const QString& id : sorted)
        text += id.toLatin1() + '\n';
    AtomicTextFile file(path_);
    if (!file.open()) {
        err = file.error();
        return false;
    }
    file.writeRaw(text);
    if (!file.commit()) {
        err = file.error();
        return false;
    }
    return true;
}

} // namespace gateway
