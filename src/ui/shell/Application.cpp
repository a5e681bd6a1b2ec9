#include "ui/shell/Application.h"

#include "app/AllocatorSettings.h"
#include "app/SingleInstanceLock.h"
#include "ui/desktop/GuiMessagePrompt.h"
#include "ui/shell/MainWindow.h"
#include "app/SimulatorProcess.h"
#include "ui/shell/Workbench.h"

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
    AllocatorSettings::apply();
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
        Workbench workbench(endpoints);
        MainWindow &window = workbench.window();
        window.setWindowTitle(window.windowTitle() + options.windowTitleSuffix);
        window.show();
        exitCode = QApplication::exec();
    }
    return exitCode;
}

} // namespace veltrano
