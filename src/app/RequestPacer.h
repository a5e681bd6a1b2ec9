#pragma once

#include "app/RequestLimits.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace veltrano {

// Spaces the requests of a run evenly so that no window of the service's
// minute sees more than its per-minute limit: each request takes the next
// turn, one interval after the one before. The interval keeps a margin of
// about 3 % over minute / perMinute, so that a request which reaches the
// service a little earlier than the one before it (another connection,
// another thread) still falls into the next minute. Safe to call from
// several threads at once.
class RequestPacer final {
public:
    using Clock = std::chrono::steady_clock;

    explicit RequestPacer(const RequestLimits &limits);

    // Waits for this request's turn; returns false, without waiting on,
    // when stop rises meanwhile. Without a per-minute limit it returns at once.
    bool waitTurn(const std::atomic<bool> *stop);

    // The time between two turns; zero without a per-minute limit.
    Clock::duration interval() const { return m_interval; }

private:
    Clock::duration m_interval{};
    std::mutex m_mutex;
    Clock::time_point m_next{};
};

} // namespace veltrano
