#pragma once

#include "app/Endpoints.h"

namespace veltrano::cli {

struct MainOptions {
    // The sandbox starts veltrano-sim from its own folder when nothing
    // answers on simulatorPort yet, and stops it again at the end.
    bool startSimulator = false;
    int simulatorPort = 0;
};

// The program around runCli: the application object without a display,
// standard input, output and error, Ctrl+C, and the sandbox's simulator.
int cliMain(int argc, char *argv[], const Endpoints &endpoints, const MainOptions &options = {});

} // namespace veltrano::cli
