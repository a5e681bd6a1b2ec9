#pragma once

#include <mutex>
#include <utility>

namespace veltrano::sim {

// A simulated service's settings behind one lock. A test changes them on its
// own thread while handlers read them on the connection threads; a handler
// takes what it needs under the lock (a copy, or shared pointers to lists
// that are replaced, never changed) and builds its answer without it, so a
// slow answer never holds up a test or another connection.
template <typename Settings> class ModuleState {
public:
    // A copy of every setting.
    Settings snapshot() const
    {
        std::lock_guard lock(m_mutex);
        return m_settings;
    }

    // Runs use on the settings under the lock and gives what it returns:
    // a change, a part of them, or both (a request count taken).
    template <typename Use> auto with(Use &&use)
    {
        std::lock_guard lock(m_mutex);
        return std::forward<Use>(use)(m_settings);
    }

private:
    mutable std::mutex m_mutex;
    Settings m_settings;
};

} // namespace veltrano::sim
