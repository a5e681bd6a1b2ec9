#pragma once

#include "ServiceModule.h"

#include <memory>
#include <vector>

namespace veltrano::sim {

class SimServer;

// Every simulated service, each answering under its default prefix. New
// service modules are added to this list.
std::vector<std::unique_ptr<ServiceModule>> allServiceModules();

// Installs every simulated service under its default prefix, and the control
// interface under "/__sim".
void installAllServices(SimServer &server);

// The rationing in front of the services that ration their requests (Search
// Console, URL Inspection, Analytics, Metrika, Ahrefs), each set through
// /__sim/ration<prefix> (see ServiceRation). Off until set, or each service's
// documented limits when those are the default
// (ServiceRation::setDocumentedLimitsByDefault). Part of installAllServices.
void installRations(SimServer &server);

} // namespace veltrano::sim
