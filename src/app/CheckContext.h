#pragma once

#include "app/RequestLimits.h"
#include "app/RowWork.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace veltrano {

class ActivityLog;
class EventPump;
class MessagePrompt;
class RunControl;

// What a running check gets from the run frame: the cancel flag, the
// progress bar, the activity log and the prompts. A check loop calls
// processEventsAndTestCancel once per step and stops when it returns true;
// a check that walks its table row by row does it all with forEachRow.
//
// A click on "Cancel" (or closing the window) also abandons the request in
// flight: it raises RequestAborted, which the run frame answers with the
// check's cancel line, as if the cancel had been seen between two steps.
class CheckContext final {
public:
    // What a row's step tells the loop.
    using RowStep = veltrano::RowStep;
    enum class RowLoopEnd { Completed, Cancelled, Ended };
    // Which rows a run takes: all of them, or only those the last run of
    // this check did not reach or failed ("continue").
    enum class RowScope { All, RowsLeft };

    // Runs step for rows 0 .. rowCount-1. After each row: the progress bar
    // advances, pending events are handled, and a requested cancel ends the
    // loop with the check's cancel line in the log. A loop that went
    // through every row marks the report data ready.
    //
    // When the check named its rows with rowsToCheck, row i is the i-th of
    // them and the loop keeps their states: a row whose step went through is
    // answered, or failed when the step said so with markRowFailed; a row
    // the run did not get through (cancel, an error, a spent quota) stays
    // not reached.
    RowLoopEnd forEachRow(int rowCount, const std::function<RowStep(int row)> &step);
    // The same loop for a check whose rows each send requests: build gives
    // row i's request and how its answer is applied (RowWork), and the
    // engine (RowEngine) runs the exchanges in sequence or, with "Parallel
    // requests" above 1, several at once within the service's limits.
    RowLoopEnd forEachRow(int rowCount, const RequestLimits &limits, const std::function<RowWork(int index)> &build);

    // The "Parallel requests" setting of the run (1: one request at a time).
    int parallelRequests() const;

    // The rows (table positions) this run takes out of those the check
    // could take: all of them, or in a continued run those left by the last
    // one. urlOf gives a row's URL. A run of all rows starts the rows'
    // states afresh.
    std::vector<int> rowsToCheck(const std::vector<int> &rows, const std::function<QString(int row)> &urlOf);
    // The step of the current row found no usable answer for it.
    void markRowFailed() { m_rowFailed = true; }
    // For a check that answers its rows without forEachRow: the i-th row of
    // rowsToCheck is answered.
    void markRowAnswered(int index);
    RowScope rowScope() const { return m_scope; }
    // Rows the run took and has not answered yet.
    int rowsNotDone() const;

    // The check's own line when it is cancelled ("Check cancelled..." unless
    // the check sets another).
    const QString &cancelLine() const { return m_cancelLine; }
    void setCancelLine(const QString &line) { m_cancelLine = line; }
    // Writes the cancel line to the log.
    void logCancelled();

    int tab() const { return m_tab; }
    const QString &checkName() const { return m_name; }

    bool cancelRequested() const;
    // Handles pending user-interface events (a click on "Cancel" among them),
    // then tells whether the user asked the check to stop.
    bool processEventsAndTestCancel();

    void setProgressMaximum(int maximum);
    void advanceProgress();
    int progressPosition() const;

    void addToLog(const QString &message);
    // The check went through all rows of its table.
    void markReportDataReady();

    ActivityLog &log();
    EventPump &events();
    MessagePrompt &prompt();

private:
    friend class RunControl;
    friend class RowEngine;
    // The flag "Cancel" (or closing the window) raises for the requests in
    // flight; none when the run has no busy state.
    const std::atomic<bool> *abortFlag() const;
    CheckContext(RunControl &run, int tab, QString name) : m_run(run), m_tab(tab), m_name(std::move(name)) {}
    void setRowState(int index, bool answered);

    RunControl &m_run;
    int m_tab;
    QString m_name;
    QString m_cancelLine = QStringLiteral("Check cancelled...");
    RowScope m_scope = RowScope::All;
    QString m_target; // what the run uses, as the line above the report says
    std::vector<QString> m_rowUrls; // of the rows named by rowsToCheck
    int m_rowsDone = 0;
    bool m_rowFailed = false;
};

} // namespace veltrano
