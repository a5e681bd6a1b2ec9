#pragma once

#include "app/Endpoints.h"

namespace veltrano {

// Endpoints that send every service to one veltrano-sim instance at simBase
// (for example "http://127.0.0.1:42380"). Each service gets its own path
// prefix there, the way the simulator routes them. Used by the sandbox
// program and by the end-to-end tests.
Endpoints simulatorEndpoints(const QString &simBase, int loopbackPort);

} // namespace veltrano
