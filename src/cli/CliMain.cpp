#include "cli/CliMain.h"

#include "app/AllocatorSettings.h"
#include "app/SimulatorProcess.h"
#include "cli/CliInterrupt.h"
#include "cli/CliProgram.h"

#include <QCoreApplication>
#include <QFile>

#include <memory>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace veltrano::cli {

int cliMain(int argc, char *argv[], const Endpoints &endpoints, const MainOptions &options)
{
    AllocatorSettings::apply();
#if defined(__GLIBC__)
    // Each request's transfer runs on a short-lived thread of its own, and
    // glibc gives threads heaps of their own that keep what they freed: two
    // heaps in all hold a 50 000-row check a third lower, at the same speed.
    mallopt(M_ARENA_MAX, 2);
#endif
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
    // Only the commands that talk to the services need the simulator.
    static const QStringList servicesCommands{QStringLiteral("sites"), QStringLiteral("check"),
                                              QStringLiteral("queries"), QStringLiteral("submit")};
    const bool needsServices = !args.isEmpty() && servicesCommands.contains(args.front()) &&
                               !args.contains(QStringLiteral("--help")) && !args.contains(QStringLiteral("-h"));
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
