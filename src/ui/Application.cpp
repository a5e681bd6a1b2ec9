#include "ui/Application.h"

#include "app/SingleInstanceLock.h"
#include "ui/GuiMessagePrompt.h"
#include "ui/MainWindow.h"
#include "ui/SimulatorProcess.h"

#include <QApplication>
#include <memory>

namespace veltrano {

bool takeInstanceLock(SingleInstanceLock &lock, MessagePrompt &prompt)
{
    if (lock.tryLock())
        return true;
    prompt.show(MessagePrompt::Icon::Warning, QStringLiteral("Warning"), QStringLiteral("Program already started!"));
    return false;
}

int runVeltrano(int argc, char *argv[], const Endpoints &endpoints, const RunOptions &options)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    QApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));

    SingleInstanceLock lock;
    GuiMessagePrompt prompt;
    if (!takeInstanceLock(lock, prompt))
        return 0;

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
