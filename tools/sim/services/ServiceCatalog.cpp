#include "ServiceCatalog.h"

#include "ControlModule.h"
#include "ProductPages.h"
#include "SimServer.h"

namespace veltrano::sim {

std::vector<std::unique_ptr<ServiceModule>> allServiceModules()
{
    std::vector<std::unique_ptr<ServiceModule>> modules;
    modules.push_back(newsPages());
    modules.push_back(homePages());
    modules.push_back(makerPages());
    return modules;
}

void installAllServices(SimServer &server)
{
    for (const auto &module : allServiceModules())
        module->install(server, module->defaultPrefix());
    ControlModule control;
    control.install(server, control.defaultPrefix());
}

} // namespace veltrano::sim
