// The product: every service at its public address.
#include "app/Endpoints.h"
#include "ui/shell/Application.h"

namespace veltrano {
Endpoints productEndpoints();
}

int main(int argc, char *argv[])
{
    return veltrano::runVeltrano(argc, argv, veltrano::productEndpoints());
}
