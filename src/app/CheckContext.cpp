#include "app/CheckContext.h"

#include "app/ActivityLog.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"

namespace veltrano {

bool CheckContext::cancelRequested() const
{
    return m_run.flags().cancelRequested;
}

bool CheckContext::processEventsAndTestCancel()
{
    m_run.m_log.flushLineBeforeNext();
    m_run.m_events.processPendingEvents();
    return m_run.flags().cancelRequested;
}

void CheckContext::setProgressMaximum(int maximum)
{
    m_run.setProgressMaximum(maximum);
}

void CheckContext::advanceProgress()
{
    // A row done is a run started.
    m_run.m_log.flushLineBeforeNext();
    m_run.advanceProgress();
}

int CheckContext::progressPosition() const
{
    return m_run.progressPosition();
}

void CheckContext::addToLog(const QString &message)
{
    m_run.m_log.addToLog(message);
}

void CheckContext::markReportDataReady()
{
    m_run.markReportDataReady();
}

CheckContext::RowLoopEnd CheckContext::forEachRow(int rowCount, const std::function<RowStep(int row)> &step)
{
    // The walk over the rows is the run's start, whether or not a row
    // writes a line.
    m_run.m_log.flushLineBeforeNext();
    for (int row = 0; row < rowCount; ++row) {
        const RowStep next = step(row);
        advanceProgress();
        if (next == RowStep::EndCheck)
            return RowLoopEnd::Ended;
        if (processEventsAndTestCancel()) {
            logCancelled();
            return RowLoopEnd::Cancelled;
        }
    }
    markReportDataReady();
    return RowLoopEnd::Completed;
}

void CheckContext::logCancelled()
{
    addToLog(m_cancelLine);
}

ActivityLog &CheckContext::log()
{
    return m_run.m_log;
}

EventPump &CheckContext::events()
{
    return m_run.m_events;
}

MessagePrompt &CheckContext::prompt()
{
    return m_run.m_prompt;
}

} // namespace veltrano
