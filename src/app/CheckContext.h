#pragma once

#include <QString>

namespace veltrano {

class ActivityLog;
class EventPump;
class MessagePrompt;
class RunControl;

// What a running check gets from the run frame: the cancel flag, the
// progress bar, the activity log and the prompts. A check loop calls
// processEventsAndTestCancel once per step and stops when it returns true.
class CheckContext final {
public:
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
};

} // namespace veltrano
