// The instance folder (where the settings, logbook and scripts live) and the single-instance
// lock that stands for the previous-instance test.
#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace platform {

// The instance folder: the --home value if given, else $TARNWICK_HOME, else
// ~/.local/share/Tarnwick. Absolute, with "/" at the end.
QString ResolveHome(const QString& homeOption);

// One running copy per instance folder. The lock is a file in the folder holding the owner's
// process id; a lock left by a process that no longer runs is taken over.
class InstanceLock {
public:
    explicit InstanceLock(const QString& home);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock if it is free (or stale); true when this process holds it.
    bool tryLock();
    bool isLocked() const;
    void unlock();
    // True when another live process holds the lock.
    bool heldByOther();
    // After a failed tryLock: true when it failed because the lock file could not be made at
    // all (folder missing or read-only), not because another copy holds it.
    bool lastFailureWasAccess() const;

    static QString fileName() { return QStringLiteral("Tarnwick.lock"); }

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace platform
