#include "cli/CliInterrupt.h"

#include <atomic>
#include <csignal>

namespace veltrano::cli {

namespace {

// Lock-free, so the handler may set it.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    g_interrupted.store(true);
    // The next Ctrl+C is the system's again: it ends the program.
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

void installInterruptHandler()
{
    std::signal(SIGINT, onInterrupt);
}

void requestInterrupt()
{
    g_interrupted.store(true);
}

bool interruptRequested()
{
    return g_interrupted.load();
}

void clearInterrupt()
{
    g_interrupted.store(false);
}

} // namespace veltrano::cli
