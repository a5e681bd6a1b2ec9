#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace veltrano {

// The system-wide lock that keeps one instance of the program per user
// log-on. It is a lock file named after the lock in the user's runtime folder
// (the temporary folder where there is none); a lock left behind by a crashed
// instance is recognised by its dead process and taken over, so it never
// blocks the next start.
class SingleInstanceLock final {
public:
    static constexpr const char *DefaultName = "Veltrano";

    explicit SingleInstanceLock(const QString &name = QString::fromLatin1(DefaultName));
    // A lock in the given folder (tests).
    SingleInstanceLock(const QString &name, const QString &folder);
    ~SingleInstanceLock();

    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;

    // Takes the lock without waiting; false when another instance holds it,
    // or when the lock file cannot be created.
    bool tryLock();
    bool isLocked() const;
    void unlock();

    QString lockFilePath() const;
    // The per-user folder lock files go to.
    static QString defaultFolder();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace veltrano
