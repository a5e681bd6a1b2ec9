#pragma once

#include <chrono>

namespace veltrano {

// What a service documents about the page requests it accepts from one
// user: how many at once, and how many a minute. A check in several
// requests at a time never has more in flight than inFlight, and spaces its
// requests so that no minute holds more than perMinute of them. The figures
// of each service stand in its own folder beside its descriptor.
struct RequestLimits {
    static constexpr int kMostInFlight = 8; // the "Parallel requests" setting's upper bound

    int inFlight = kMostInFlight;
    int perMinute = 0; // 0: the service names no per-minute limit
    // The length of the service's "minute"; tests and benchmarks shorten it
    // together with the simulator's.
    std::chrono::milliseconds minute{60000};
};

} // namespace veltrano
