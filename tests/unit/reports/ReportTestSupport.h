#pragma once

// Small stand-ins for the window's ports, shared by the report tests.

#include "support/RecordingPorts.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

#include <csignal>
#include <vector>

namespace veltrano::test {

using testing::RecordingProgress;
using testing::RecordingPrompt;

inline QString fixture(const QString &name)
{
    return QStringLiteral(VELTRANO_FIXTURES_DIR "/reports/") + name;
}



// While it lives, the process may not grow any file past `bytes`: a write
// beyond that fails as it would on a full disk (the signal such a write
// raises is ignored meanwhile).
class FileSizeLimit final {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot prepare %s", qPrintable(path));
}

// Every entry of a folder, hidden ones included: a temporary file left
// behind would show here.
inline QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace veltrano::test
