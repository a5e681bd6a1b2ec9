#include "app/RowEngine.h"

#include "app/ActivityLog.h"
#include "app/RequestPacer.h"
#include "app/VeltranoError.h"
#include "app/WorkerRow.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace veltrano {

namespace {

// How long the GUI thread waits for the next row's answer before it handles
// the window's events again.
constexpr auto kGuiWait = std::chrono::milliseconds(10);

// A row dispatched and not yet applied.
struct Slot {
    Slot(const std::atomic<bool> *stop, RequestPacer *pacer) : row(stop, pacer) {}
    RowWork work;
    WorkerRow row;
    std::exception_ptr error;
    bool done = false; // under the pool's mutex
};

// The worker threads of one run: each takes the next dispatched row,
// makes its exchange with the row current, and marks it done.
class ExchangePool final {
public:
    explicit ExchangePool(int threads)
    {
        m_threads.reserve(size_t(threads));
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~ExchangePool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_queued.notify_all();
        m_threads.clear(); // joins
    }
    ExchangePool(const ExchangePool &) = delete;
    ExchangePool &operator=(const ExchangePool &) = delete;

    void submit(Slot *slot)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(slot);
        }
        m_queued.notify_one();
    }

    // True when the slot's exchange has ended within the wait.
    bool waitDone(const Slot &slot, std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        return m_finished.wait_for(lock, wait, [&] { return slot.done; });
    }

private:
    void work()
    {
        for (;;) {
            Slot *slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_queued.wait(lock, [&] { return m_closing || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                slot = m_queue.front();
                m_queue.pop_front();
            }
            {
                const WorkerRow::Scope current(slot->row);
                try {
                    if (slot->row.stopped())
                        throw RequestAborted();
                    if (slot->work.exchange)
                        slot->work.exchange();
                } catch (...) {
                    slot->error = std::current_exception();
                }
            }
            {
                std::lock_guard lock(m_mutex);
                slot->done = true;
            }
            m_finished.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_finished;
    std::deque<Slot *> m_queue;
    bool m_closing = false;
    std::vector<std::jthread> m_threads;
};

// Raises the run's stop flag when the loop is left, however it is left.
struct StopOnExit {
    std::atomic<bool> &stop;
    ~StopOnExit() { stop = true; }
};

} // namespace

int RowEngine::inFlightFor(int setting, const RequestLimits &limits)
{
    return std::max(1, std::min({setting, limits.inFlight, RequestLimits::kMostInFlight}));
}

CheckContext::RowLoopEnd RowEngine::run(int rowCount, const RequestLimits &limits, const Build &build)
{
    // The walk over the rows is the run's start, whether or not a row
    // writes a line.
    m_context.log().flushLineBeforeNext();
    const int inFlight = inFlightFor(m_context.parallelRequests(), limits);
    if (inFlight <= 1 || rowCount <= 1)
        return runInSequence(rowCount, build);
    return runInParallel(rowCount, inFlight, limits, build);
}

bool RowEngine::rowApplied(int index, RowStep step, CheckContext::RowLoopEnd *end)
{
    if (step == RowStep::Next)
        m_context.setRowState(index, !m_context.m_rowFailed);
    m_context.advanceProgress();
    if (step == RowStep::EndCheck) {
        *end = CheckContext::RowLoopEnd::Ended;
        return false;
    }
    if (m_context.processEventsAndTestCancel()) {
        m_context.logCancelled();
        *end = CheckContext::RowLoopEnd::Cancelled;
        return false;
    }
    return true;
}

CheckContext::RowLoopEnd RowEngine::runInSequence(int rowCount, const Build &build)
{
    CheckContext::RowLoopEnd end = CheckContext::RowLoopEnd::Completed;
    for (int index = 0; index < rowCount; ++index) {
        m_context.m_rowFailed = false;
        RowWork work = build(index);
        if (work.exchange)
            work.exchange();
        if (!rowApplied(index, work.apply(), &end))
            return end;
    }
    m_context.markReportDataReady();
    return end;
}

CheckContext::RowLoopEnd RowEngine::runInParallel(int rowCount, int inFlight, const RequestLimits &limits,
                                                  const Build &build)
{
    const std::atomic<bool> *abort = m_context.abortFlag();
    // Declared in this order so that on the way out the stop flag rises
    // first, the workers end their exchanges and are joined, and only then
    // the rows they worked on go.
    std::atomic<bool> stop{false};
    RequestPacer pacer(limits);
    std::deque<std::unique_ptr<Slot>> window; // dispatched rows, the next to apply first
    ExchangePool pool(inFlight);
    const StopOnExit stopOnExit{stop};

    CheckContext::RowLoopEnd end = CheckContext::RowLoopEnd::Completed;
    int next = 0;
    for (int index = 0; index < rowCount;) {
        // The window closing raises the abort flag without a cancel request:
        // the rows still to send end at once, and the next row to apply
        // raises RequestAborted, as a sequential run's request would.
        if (abort && abort->load())
            stop = true;
        // Rows waiting to be applied count against the limit too: at most
        // inFlight rows are between their build and their apply.
        while (int(window.size()) < inFlight && next < rowCount) {
            auto slot = std::make_unique<Slot>(&stop, &pacer);
            slot->work = build(next++);
            pool.submit(slot.get());
            window.push_back(std::move(slot));
        }
        if (!pool.waitDone(*window.front(), kGuiWait)) {
            if (m_context.processEventsAndTestCancel()) {
                stop = true;
                m_context.logCancelled();
                return CheckContext::RowLoopEnd::Cancelled;
            }
            continue;
        }
        const std::unique_ptr<Slot> slot = std::move(window.front());
        window.pop_front();
        slot->row.writeHeldLines();
        m_context.m_rowFailed = false;
        if (slot->error)
            std::rethrow_exception(slot->error);
        if (!rowApplied(index++, slot->work.apply(), &end))
            return end;
    }
    m_context.markReportDataReady();
    return end;
}

} // namespace veltrano
