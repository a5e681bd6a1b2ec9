// The main() of the benchmarks that run the program's own code: Qt's
// application object first (the event loop, the locale, timers; a
// QApplication for the benchmarks of windows, which paint off screen unless
// QT_QPA_PLATFORM names a platform), then Google Benchmark with its own
// command-line options. The allocator is set up as the program sets it.

#include "app/AllocatorSettings.h"

#include <benchmark/benchmark.h>

#ifdef VELTRANO_BENCH_WIDGETS
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    veltrano::AllocatorSettings::apply();
#ifdef VELTRANO_BENCH_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
