// veltrano-cli: the checks of Veltrano from a terminal, every service at its
// public address.
#include "app/Endpoints.h"
#include "cli/CliMain.h"

namespace veltrano {
Endpoints productEndpoints();
}

int main(int argc, char *argv[])
{
    return veltrano::cli::cliMain(argc, argv, veltrano::productEndpoints());
}
