// veltrano-cli-sandbox: the command line with every service pointing at
// veltrano-sim on loopback, started beside it when none runs, as the window's
// sandbox does.
#include "app/Endpoints.h"
#include "cli/CliMain.h"

namespace veltrano {
Endpoints sandboxEndpoints();
}

int main(int argc, char *argv[])
{
    veltrano::cli::MainOptions options;
    options.startSimulator = true;
    options.simulatorPort = VELTRANO_SANDBOX_PORT;
    return veltrano::cli::cliMain(argc, argv, veltrano::sandboxEndpoints(), options);
}
