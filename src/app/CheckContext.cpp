#include "app/CheckContext.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/RowEngine.h"
#include "app/RowRunStates.h"
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
    // A step that does everything itself is a row with nothing to exchange.
    RequestLimits oneAtATime;
    oneAtATime.inFlight = 1;
    return forEachRow(rowCount, oneAtATime, [&step](int row) { return RowWork{{}, [&step, row] { return step(row); }}; });
}

CheckContext::RowLoopEnd CheckContext::forEachRow(int rowCount, const RequestLimits &limits,
                                                  const std::function<RowWork(int index)> &build)
{
    return RowEngine(*this).run(rowCount, limits, build);
}

int CheckContext::parallelRequests() const
{
    return m_run.parallelRequests();
}

const std::atomic<bool> *CheckContext::abortFlag() const
{
    return m_run.m_busy ? m_run.m_busy->abortFlag() : nullptr;
}

std::vector<int> CheckContext::rowsToCheck(const std::vector<int> &rows, const std::function<QString(int row)> &urlOf)
{
    RowRunStates &states = m_run.rowStates(m_tab);
    std::vector<int> taken;
    m_rowUrls.clear();
    m_rowsDone = 0;
    if (m_scope == RowScope::RowsLeft) {
        for (const int row : rows) {
            QString url = urlOf(row);
            if (states.isLeft(url)) {
                taken.push_back(row);
                m_rowUrls.push_back(std::move(url));
            }
        }
        addToLog(QStringLiteral("Continuing with the %1 rows the last run did not answer").arg(taken.size()));
        return taken;
    }
    m_rowUrls.reserve(rows.size());
    for (const int row : rows)
        m_rowUrls.push_back(urlOf(row));
    states.begin(m_name, m_target, m_rowUrls);
    return rows;
}

void CheckContext::markRowAnswered(int index)
{
    setRowState(index, true);
}

void CheckContext::setRowState(int index, bool answered)
{
    if (index < 0 || size_t(index) >= m_rowUrls.size())
        return;
    m_run.rowStates(m_tab).set(m_rowUrls[size_t(index)],
                               answered ? RowRunStates::State::Answered : RowRunStates::State::Failed);
    ++m_rowsDone;
    m_run.rowStatesChanged(m_tab);
}

int CheckContext::rowsNotDone() const
{
    return int(m_rowUrls.size()) - m_rowsDone;
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
