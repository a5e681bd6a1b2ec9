#include "app/SingleInstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace veltrano {

SingleInstanceLock::SingleInstanceLock(const QString &name) : SingleInstanceLock(name, defaultFolder()) {}

SingleInstanceLock::SingleInstanceLock(const QString &name, const QString &folder)
    : m_lock(std::make_unique<QLockFile>(QDir(folder).filePath(name + QStringLiteral(".lock"))))
{
    // The lock is held for the whole run: it must never turn stale with age,
    // only when the process that holds it is gone.
    m_lock->setStaleLockTime(0);
}

// QLockFile removes its file, and so releases the lock, when it is destroyed.
SingleInstanceLock::~SingleInstanceLock() = default;

bool SingleInstanceLock::tryLock()
{
    if (m_lock->isLocked())
        return true;
    QDir().mkpath(QFileInfo(m_lock->fileName()).absolutePath());
    return m_lock->tryLock(0);
}

bool SingleInstanceLock::isLocked() const
{
    return m_lock->isLocked();
}

void SingleInstanceLock::unlock()
{
    m_lock->unlock();
}

QString SingleInstanceLock::lockFilePath() const
{
    return m_lock->fileName();
}

QString SingleInstanceLock::defaultFolder()
{
#ifdef Q_OS_WIN
    // The temporary folder is the user's own there.
    return QDir::tempPath();
#else
    // XDG_RUNTIME_DIR: private to the user and emptied at log-out.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
#endif
}

} // namespace veltrano
