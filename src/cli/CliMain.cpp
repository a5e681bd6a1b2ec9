#include "cli/CliMain.h"

#include "app/AllocatorSettings.h"
#include "app/SimulatorProcess.h"
#include "cli/CliInterrupt.h"
#include "cli/CliProgram.h"

#include <QCoreApplication>
#include <QFile>

#include <memory>
#include <unistd.h>

namespace veltrano::cli {

int cliMain(int argc, char *argv[], const Endpoints &endpoints, const MainOptions &options)
{
    AllocatorSettings::apply();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Veltrano"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));
    installInterruptHandler();

    QFile out;
    QFile err;
    QFile in;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly) ||
        !err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !in.open(STDIN_FILENO, QIODevice::ReadOnly))
        return 2;
    Streams streams{out, err, in, ::isatty(STDERR_FILENO) == 1};

    std::unique_ptr<SimulatorProcess> simulator;
    const QStringList args = QCoreApplication::arguments().mid(1);
    const bool needsServices = !args.isEmpty() && (args.front() == QLatin1String("sites") ||
                                                   args.front() == QLatin1String("check"));
    if (options.startSimulator && needsServices) {
        simulator = std::make_unique<SimulatorProcess>(
            QCoreApplication::applicationDirPath() + QStringLiteral("/veltrano-sim"), options.simulatorPort);
        simulator->beneathCommandLine();
        simulator->ensureRunning();
    }

    ProgramOptions programOptions;
    programOptions.appFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    return runCli(args, endpoints, streams, programOptions);
}

} // namespace veltrano::cli
