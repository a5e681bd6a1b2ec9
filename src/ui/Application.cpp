#include "ui/Application.h"

#include "app/SingleInstanceLock.h"
#include "ui/MainWindow.h"
#include "ui/SimulatorProcess.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>

namespace veltrano {

int runVeltrano(int argc, char *argv[], const Endpoints &endpoints, const RunOptions &options)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    QApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));

    SingleInstanceLock lock;
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
