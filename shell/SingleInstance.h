#pragma once
// One running copy per user. The first copy takes a lock file in the user's
// runtime directory and holds it until it ends; a later copy finds the lock
// held and refuses to start. The lock records the owner's process id, so a
// copy that crashed or was killed leaves a lock that the next start takes
// over instead of being refused forever.

#include <QLockFile>
#include <QString>

class SingleInstance {
public:
    explicit SingleInstance(const QString& lockFilePath = defaultLockPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock unless a running process holds it. Returns false only
    // when another live copy holds it; a lock that cannot be created at all
    // (no writable directory) does not stop the program from running.
    bool tryAcquire();
    bool holdsLock() const { return m_lock.isLocked(); }
    void release();

    const QString& lockFilePath() const { return m_path; }

    // "<runtime dir>/Quorvel.lock"; the runtime directory is per user
    // (XDG_RUNTIME_DIR), with the temporary directory as a fallback.
    static QString defaultLockPath();

    // The lock of this process, held from the first successful check until
    // the process ends.
    static SingleInstance& application();

private:
    QString m_path;
    QLockFile m_lock;
};
