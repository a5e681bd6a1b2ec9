#include "app/RequestPacer.h"

#include <algorithm>
#include <thread>

namespace veltrano {

RequestPacer::RequestPacer(const RequestLimits &limits)
{
    if (limits.perMinute > 0) {
        const auto minute = std::chrono::duration_cast<Clock::duration>(limits.minute);
        m_interval = (minute + minute / 32) / limits.perMinute;
    }
}

bool RequestPacer::waitTurn(const std::atomic<bool> *stop)
{
    if (m_interval == Clock::duration::zero())
        return !(stop && stop->load());
    Clock::time_point turn;
    {
        std::lock_guard lock(m_mutex);
        turn = std::max(Clock::now(), m_next);
        m_next = turn + m_interval;
    }
    // Short sleeps, so that "Cancel" ends the wait within a few milliseconds.
    for (;;) {
        if (stop && stop->load())
            return false;
        const Clock::time_point now = Clock::now();
        if (now >= turn)
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(turn - now, std::chrono::milliseconds(5)));
    }
}

} // namespace veltrano
