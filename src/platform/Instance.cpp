// Instance folder resolution and the single-instance lock.
#include "platform/Instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace platform {

QString ResolveHome(const QString& homeOption)
{
    QString home = homeOption;
    if (home.isEmpty())
        home = qEnvironmentVariable("TARNWICK_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share/Tarnwick");
    home = QFileInfo(home).absoluteFilePath();
    if (!home.endsWith(QLatin1Char('/')))
        home += QLatin1Char('/');
    return home;
}

InstanceLock::InstanceLock(const QString& home)
    : lock_(std::make_unique<QLockFile>(QDir(home).filePath(fileName())))
{
    // Age never makes a lock stale: only a dead owner does, so a robot that runs for months
    // keeps its lock.
    lock_->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::tryLock()
{
    if (lock_->isLocked())
        return true;
    return lock_->tryLock(0);
}

bool InstanceLock::isLocked() const { return lock_->isLocked(); }

void InstanceLock::unlock() { lock_->unlock(); }

bool InstanceLock::lastFailureWasAccess() const
{
    return lock_->error() == QLockFile::PermissionError || lock_->error() == QLockFile::UnknownError;
}

bool InstanceLock::heldByOther()
{
    if (lock_->isLocked())
        return false;
    if (lock_->tryLock(0)) {
        lock_->unlock();
        return false;
    }
    return lock_->error() == QLockFile::LockFailedError;
}

} // namespace platform
