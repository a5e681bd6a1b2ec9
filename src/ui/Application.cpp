#include "ui/Application.h"

#include "ui/MainWindow.h"
#include "ui/SimulatorProcess.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <memory>

namespace veltrano {

namespace {

// The lock that keeps one Veltrano per user session. A lock left behind by
// an instance that crashed is recognised by its dead process and taken over.
class InstanceLock final {
public:
    InstanceLock() : m_file(lockPath()) { m_file.setStaleLockTime(0); }
    bool tryLock() { return m_file.tryLock(0); }

private:
    static QString lockPath()
    {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (folder.isEmpty())
            folder = QDir::tempPath();
        return folder + QStringLiteral("/Veltrano.lock");
    }
    QLockFile m_file;
};

} // namespace

int runVeltrano(int argc, char *argv[], const Endpoints &endpoints, const RunOptions &options)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    QApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));

    InstanceLock lock;
    if (!lock.tryLock()) {
        QMessageBox::warning(nullptr, QStringLiteral("Warning"), QStringLiteral("Program already started!"));
        return 0;
    }

    std::unique_ptr<SimulatorProcess> simulator;
    if (options.startSimulator) {
        simulator = std::make_unique<SimulatorProcess>(
            QCoreApplication::applicationDirPath() + QStringLiteral("/veltrano-sim"), options.simulatorPort);
        simulator->ensureRunning();
    }

    int exitCode = 0;
    {
        MainWindow window(endpoints);
        window.setWindowTitle(window.windowTitle() + options.windowTitleSuffix);
        window.show();
        exitCode = QApplication::exec();
    }
    return exitCode;
}

} // namespace veltrano
