#pragma once

#include <QString>

#include <functional>

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
    enum class RowStep {
        Next,     // go on with the next row
        EndCheck, // the rest would fail alike (a refused token, a spent quota)
    };
    enum class RowLoopEnd { Completed, Cancelled, Ended };

    // Runs step for rows 0 .. rowCount-1. After each row: the progress bar
    // advances, pending events are handled, and a requested cancel ends the
    // loop with the check's cancel line in the log. A loop that went
    // through every row marks the report data ready.
    RowLoopEnd forEachRow(int rowCount, const std::function<RowStep(int row)> &step);

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
    CheckContext(RunControl &run, int tab, QString name) : m_run(run), m_tab(tab), m_name(std::move(name)) {}

    RunControl &m_run;
    int m_tab;
    QString m_name;
    QString m_cancelLine = QStringLiteral("Check cancelled...");
};

} // namespace veltrano
