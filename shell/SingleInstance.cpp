#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

SingleInstance::SingleInstance(const QString& lockFilePath)
    : m_path(lockFilePath), m_lock(lockFilePath) {
    // A lock is stale only when its owner is gone. QLockFile would also
    // treat a lock older than 30 seconds as stale, which would let a second
    // copy start beside a first one that has simply been running a while.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    release();
}

bool SingleInstance::tryAcquire() {
    if (m_lock.isLocked())
        return true;
    if (m_lock.tryLock(0))
        return true;
    switch (m_lock.error()) {
        case QLockFile::LockFailedError:
            // Held by a live process. tryLock has already removed a lock whose
            // owner died and tried again, so this is a running copy.
            return false;
        case QLockFile::PermissionError:
        case QLockFile::UnknownError:
        case QLockFile::NoError:
            break;
    }
    return true;
}

void SingleInstance::release() {
    if (m_lock.isLocked())
        m_lock.unlock();
}

QString SingleInstance::defaultLockPath() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!dir.isEmpty())
        return QDir(dir).filePath(QStringLiteral("Quorvel.lock"));
    // No runtime directory: the shared temporary directory, with the user
    // in the name so that users do not refuse each other.
    return QDir(QDir::tempPath()).filePath(QStringLiteral("Quorvel-%1.lock").arg(::getuid()));
}

SingleInstance& SingleInstance::application() {
    static SingleInstance instance;
    return instance;
}
