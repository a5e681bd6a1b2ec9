#pragma once

#include <string>

namespace veltrano::sim {

class SimServer;

// One simulated web service. The program reaches every service through one
// simulator, each under its own path prefix ("/yandex-webmaster",
// "/googleapis", "/news" ...), so a module adds its handlers below the prefix
// it is given. Handlers must own what they use (capture shared state by
// value or shared_ptr): the server may outlive the module object.
class ServiceModule {
public:
    virtual ~ServiceModule() = default;
    // The prefix under which the sandbox endpoints expect this service.
    virtual std::string defaultPrefix() const = 0;
    virtual void install(SimServer &server, const std::string &prefix) = 0;
};

} // namespace veltrano::sim
