#pragma once

#include "app/CheckContext.h"
#include "app/RequestLimits.h"
#include "app/RowWork.h"

#include <functional>

namespace veltrano {

// The one row loop of the page-by-page checks. For each row the check
// builds a RowWork on the GUI thread; the engine runs its exchange and then
// applies the answer, and after each applied row the progress bar advances,
// the row's run state is kept (answered, or failed when the check said so),
// the window handles its events and a requested cancel ends the loop with
// the check's cancel line.
//
// With "Parallel requests" at 1, or a service that takes one request at a
// time, the rows go strictly one after the other on the calling thread,
// exactly as a check has always run: same requests, same order, same lines.
//
// With more, up to that many exchanges run at once on worker threads (never
// more than the service's limits.inFlight), each request paced so that the
// service's per-minute limit is kept. The answers are applied on the GUI
// thread in row order, each row's log and trace lines written whole just
// before it is applied, so the log and the table read as in a sequential
// run. The GUI thread never waits on the network longer than a few
// milliseconds at a time. What a row's exchange raises (a spent quota, a
// service down, "Cancel") is raised when that row's turn to be applied
// comes, as if it had happened in sequence: the rows before it are applied,
// the rows after it stay not reached. Whenever the loop ends, the requests
// still in flight are abandoned and their threads joined before it returns.
class RowEngine final {
public:
    using Build = std::function<RowWork(int index)>;

    explicit RowEngine(CheckContext &context) : m_context(context) {}

    CheckContext::RowLoopEnd run(int rowCount, const RequestLimits &limits, const Build &build);

    // How many exchanges a run keeps in flight: the setting within the
    // service's limit, never below one.
    static int inFlightFor(int setting, const RequestLimits &limits);

private:
    CheckContext::RowLoopEnd runInSequence(int rowCount, const Build &build);
    CheckContext::RowLoopEnd runInParallel(int rowCount, int inFlight, const RequestLimits &limits,
                                           const Build &build);
    // The bookkeeping after a row's answer is applied; true to go on.
    bool rowApplied(int index, RowStep step, CheckContext::RowLoopEnd *end);

    CheckContext &m_context;
};

} // namespace veltrano
