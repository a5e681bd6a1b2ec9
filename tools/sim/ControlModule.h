#pragma once

#include "ServiceModule.h"

namespace veltrano::sim {

// The control interface of a running veltrano-sim, for tests that drive the
// program as a separate process:
//   POST <prefix>/response  choose an answer: JSON {"method", "path",
//       "status", "reason", "body" or "bodyBase64", "contentType",
//       "headers", "delayMs", "fault", "truncateAt", "queue"}
//   POST <prefix>/reset     drop the scenario and the recorded requests
//   GET  <prefix>/requests  the recorded requests as a JSON array
//   GET  <prefix>/ca-certificate  the test authority's PEM (TLS mode)
// Control requests are answered before any scenario and never recorded.
class ControlModule final : public ServiceModule {
public:
    std::string defaultPrefix() const override { return "/__sim"; }
    void install(SimServer &server, const std::string &prefix) override;
};

} // namespace veltrano::sim
