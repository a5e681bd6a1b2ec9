// The same program with every service pointing at veltrano-sim on loopback,
// for trying Veltrano offline. Starts the simulator beside it when none runs.
#include "app/Endpoints.h"
#include "ui/shell/Application.h"

namespace veltrano {
Endpoints sandboxEndpoints();
}

int main(int argc, char *argv[])
{
    veltrano::RunOptions options;
    options.startSimulator = true;
    options.simulatorPort = VELTRANO_SANDBOX_PORT;
    options.windowTitleSuffix = QStringLiteral(" (sandbox)");
    return veltrano::runVeltrano(argc, argv, veltrano::sandboxEndpoints(), options);
}
