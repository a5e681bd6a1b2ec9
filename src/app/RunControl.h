#pragma once

#include "app/CheckContext.h"
#include "app/RowRunStates.h"
#include "app/ServiceDescriptor.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace veltrano {

class ActivityLog;
class BusyState;
class CheckContext;
class CheckTarget;
class EventPump;
class MessagePrompt;
class ProgressReporter;

// Process-wide flags of the check runs; all start false and none is saved.
struct RunFlags {
    bool apiConnected = false;    // some service account is connected
    bool reportDataReady = false; // some check ran through all its rows
    bool cancelRequested = false; // "Cancel" was clicked during the run
};

// Enabled states of the buttons on the right of the "URLs List" page, as
// at program start.
struct ButtonStates {
    bool pasteFromClipboard = true; // btInsertURLs4Clip
    bool importTxt = true;          // btImportURLs4TXT
    bool importXml = true;          // btImportURLs4XML
    bool checkUrl = false;          // btRunRequests
    bool cancel = false;            // btAbortRequests
    bool exportCsv = false;         // btExport
    bool operator==(const ButtonStates &) const = default;
};

// The frame around every check: "Check URL" picks the check of the
// selected report tab, the run writes "Check started" and "Check finished",
// sets up the progress bar, watches "Cancel", asks for the chart to be
// redrawn, and keeps the right-hand buttons in step with the flags.
//
// A service plugs its check in with one registerCheck call. A tab with
// several checks (the Search Console tab: "Check GSC" and "URL Inspection
// API") lets the window ask the user which one to run; a check may say how
// the pie counts the table after it has run through.
//
// While a check runs, the table it walks is locked (no import, delete or
// sort of it) and "Check URL" is unavailable, because the check addresses
// the rows by position.
class RunControl final : public QObject {
    Q_OBJECT
public:
    using CheckFunction = std::function<void(CheckContext &)>;
    // Which of the tab's checks to run (index into names), or -1 when the
    // user dismissed the choice.
    using CheckChooser = std::function<int(int tab, const QStringList &names)>;
    // Asked before a run of a check whose last run left rows not reached
    // or failed: which rows to take, or nothing to run none.
    using RowScopeQuestion = std::function<std::optional<CheckContext::RowScope>(int tab, int rowsLeft)>;
    // What a check of the tab will use (site, account, period), as the line
    // above its report says.
    using TargetText = std::function<QString(int tab)>;

    RunControl(ActivityLog &log, EventPump &events, MessagePrompt &prompt, ProgressReporter &progress,
               QObject *parent = nullptr);

    // The table of a report tab (from 0); the run frame locks it while a
    // check walks it and counts its rows for the progress bar. The tabs the
    // frame knows are those given a table or a check.
    void setTable(int tab, CheckTarget *table);
    // `chart`: how the pie counts the tab's table once a run of this check
    // has finished, until another check of the tab with a rule finishes.
    void registerCheck(int tab, const QString &name, CheckFunction check, std::optional<ChartRule> chart = {});
    QStringList checkNames(int tab) const;
    // Removes every check of a tab, so that another can take its place.
    void clearChecks(int tab);
    void setCheckChooser(CheckChooser chooser) { m_chooser = std::move(chooser); }
    void setRowScopeQuestion(RowScopeQuestion question) { m_rowScopeQuestion = std::move(question); }
    void setTargetText(TargetText text) { m_targetText = std::move(text); }

    // What the last run of the tab's check made of each row.
    RowRunStates &rowStates(int tab) { return m_rowStates[size_t(tab)]; }
    const RowRunStates &rowStates(int tab) const { return m_rowStates[size_t(tab)]; }
    // The program is busy for the whole of a run; "Cancel" abandons the
    // request in flight through it.
    void setBusyState(BusyState *busy) { m_busy = busy; }

    // "Parallel requests": how many page requests a check may have in flight
    // at once (1 to 8; 1 asks one page after another).
    void setParallelRequests(int requests);
    int parallelRequests() const { return m_parallelRequests; }

    // "Check URL" with the report tab selected at the click; the tab is read
    // once here, whatever the user selects while the check runs.
    void checkUrl(int selectedTab);
    // One of a tab's checks by its registration order (the items of the
    // Search Console tab's menu).
    void runCheck(int tab, int index);
    // "Cancel": asks the running check to stop after its current step.
    void cancelClicked();

    // The cancel flag for other loops that watch it (the Indexing API window).
    void requestCancel() { m_flags.cancelRequested = true; }
    void clearCancelRequest() { m_flags.cancelRequested = false; }

    // An account is connected: sets ApiConnected and refreshes the buttons.
    void markApiConnected();
    // Some run went through all its rows. Takes effect on the buttons at the
    // next refreshButtons (the end of the run).
    void markReportDataReady() { m_flags.reportDataReady = true; }
    // RefreshButtons.
    void refreshButtons();

    // The flags alone decide: with ApiConnected or ReportDataReady the import
    // buttons and "Check URL" are enabled and "Cancel" disabled; "Export to
    // CSV..." follows ReportDataReady. With neither flag nothing changes.
    static ButtonStates refreshedButtons(const RunFlags &flags, ButtonStates current);

    const RunFlags &flags() const { return m_flags; }
    // The chart rule of the tab's last finished check that has one; none
    // before such a run (the service's own rule holds).
    std::optional<ChartRule> lastChartRule(int tab) const;
    bool isRunning() const { return m_running; }
    int runningTab() const { return m_running ? m_runningTab : -1; }

    // Button states as the window shows them, with a run in progress taken
    // into account: "Check URL" off, "Cancel" on until clicked.
    ButtonStates buttons() const;
    // The same for the report tab the user has selected: while that tab's
    // table is being checked, its imports are unavailable too.
    ButtonStates buttonsFor(int selectedTab) const;

    // The bar, for a note about a wait between two tries of a request.
    ProgressReporter &progress() { return m_progress; }
    int progressMaximum() const { return m_progressMaximum; }
    int progressPosition() const { return m_progressPosition; }
    void setProgressMaximum(int maximum);
    void setProgressPosition(int position);
    void advanceProgress() { setProgressPosition(m_progressPosition + 1); }

Q_SIGNALS:
    // The values of buttons() or buttonsFor() may have changed.
    void buttonsChanged();
    // A run ended normally: redraw the statistics chart from this tab's table.
    void chartRefreshRequested(int tab);
    void runningChanged(bool running);
    // Rows of the tab's table were answered, failed or left.
    void rowStatesChanged(int tab);

private:
    friend class CheckContext;

    struct RegisteredCheck {
        QString name;
        CheckFunction check;
        std::optional<ChartRule> chart;
    };

    void runFrame(int tab, int index, bool setMaximumFromTable);
    void endRun();
    int tableRows(int tab) const;
    bool validTab(int tab) const { return tab >= 0 && tab < int(m_tables.size()); }
    // Makes the tab known to the frame.
    void addTab(int tab);

    ActivityLog &m_log;
    EventPump &m_events;
    MessagePrompt &m_prompt;
    ProgressReporter &m_progress;
    CheckChooser m_chooser;
    RowScopeQuestion m_rowScopeQuestion;
    TargetText m_targetText;
    std::vector<RowRunStates> m_rowStates;
    BusyState *m_busy = nullptr;
    std::vector<CheckTarget *> m_tables;
    std::vector<std::vector<RegisteredCheck>> m_checks;
    std::vector<std::optional<ChartRule>> m_chartRules;

    RunFlags m_flags;
    ButtonStates m_buttons; // as RefreshButtons left them
    bool m_running = false;
    bool m_cancelEnabled = false;
    int m_runningTab = -1;
    int m_progressMaximum = 0;
    int m_progressPosition = 0;
    int m_parallelRequests = 1;
};

} // namespace veltrano
