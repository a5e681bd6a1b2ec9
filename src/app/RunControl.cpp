#include "app/RunControl.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/CheckContext.h"
#include "app/CheckTarget.h"
#include "app/ProgressReporter.h"
#include "app/QuotaSpent.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"

#include <algorithm>
#include <exception>

namespace veltrano {

RunControl::RunControl(ActivityLog &log, EventPump &events, MessagePrompt &prompt, ProgressReporter &progress,
                       QObject *parent)
    : QObject(parent), m_log(log), m_events(events), m_prompt(prompt), m_progress(progress)
{
}

void RunControl::setTable(int tab, CheckTarget *table)
{
    addTab(tab);
    if (validTab(tab))
        m_tables[size_t(tab)] = table;
}

void RunControl::addTab(int tab)
{
    if (tab >= 0 && tab >= int(m_tables.size())) {
        m_tables.resize(size_t(tab) + 1, nullptr);
        m_checks.resize(size_t(tab) + 1);
        m_chartRules.resize(size_t(tab) + 1);
        m_rowStates.resize(size_t(tab) + 1);
    }
}

std::optional<ChartRule> RunControl::lastChartRule(int tab) const
{
    return validTab(tab) ? m_chartRules[size_t(tab)] : std::nullopt;
}

void RunControl::registerCheck(int tab, const QString &name, CheckFunction check, std::optional<ChartRule> chart)
{
    addTab(tab);
    if (validTab(tab) && check)
        m_checks[size_t(tab)].push_back({name, std::move(check), std::move(chart)});
}

void RunControl::clearChecks(int tab)
{
    if (validTab(tab) && !(m_running && m_runningTab == tab))
        m_checks[size_t(tab)].clear();
}

QStringList RunControl::checkNames(int tab) const
{
    QStringList names;
    if (validTab(tab)) {
        for (const auto &c : m_checks[size_t(tab)])
            names << c.name;
    }
    return names;
}

ButtonStates RunControl::refreshedButtons(const RunFlags &flags, ButtonStates s)
{
    if (flags.apiConnected) {
        s.pasteFromClipboard = s.importTxt = s.importXml = s.checkUrl = true;
        s.cancel = false;
        s.exportCsv = false;
    }
    if (flags.reportDataReady) {
        s.pasteFromClipboard = s.importTxt = s.importXml = s.checkUrl = true;
        s.cancel = false;
        s.exportCsv = true;
    }
    return s;
}

void RunControl::refreshButtons()
{
    m_buttons = refreshedButtons(m_flags, m_buttons);
    Q_EMIT buttonsChanged();
}

void RunControl::markApiConnected()
{
    m_flags.apiConnected = true;
    refreshButtons();
}

ButtonStates RunControl::buttons() const
{
    ButtonStates s = m_buttons;
    s.cancel = m_running && m_cancelEnabled;
    if (m_running)
        s.checkUrl = false;
    return s;
}

ButtonStates RunControl::buttonsFor(int selectedTab) const
{
    ButtonStates s = buttons();
    if (m_running && selectedTab == m_runningTab)
        s.pasteFromClipboard = s.importTxt = s.importXml = false;
    return s;
}

void RunControl::setProgressMaximum(int maximum)
{
    m_progressMaximum = maximum;
    m_progress.setMaximum(maximum);
}

void RunControl::setProgressPosition(int position)
{
    m_progressPosition = position;
    m_progress.setPosition(position);
}

int RunControl::tableRows(int tab) const
{
    const CheckTarget *table = m_tables[size_t(tab)];
    return table ? table->checkRowCount() : 0;
}

void RunControl::setParallelRequests(int requests)
{
    m_parallelRequests = std::clamp(requests, 1, RequestLimits::kMostInFlight);
}

void RunControl::checkUrl(int selectedTab)
{
    // Enter on the default button can arrive while a run processes events;
    // the running check owns its table until it ends.
    if (m_running)
        return;
    if (!m_flags.apiConnected) {
        m_log.addToLog(QStringLiteral("API connections not found"));
        return;
    }
    if (!validTab(selectedTab) || m_checks[size_t(selectedTab)].empty())
        return;

    const auto &checks = m_checks[size_t(selectedTab)];
    if (checks.size() == 1) {
        runFrame(selectedTab, 0, true);
        return;
    }

    // Several checks on this tab: the window asks which one.
    refreshButtons();
    m_flags.cancelRequested = false;
    setProgressPosition(0);
    setProgressMaximum(tableRows(selectedTab));
    const int chosen = m_chooser ? m_chooser(selectedTab, checkNames(selectedTab)) : -1;
    if (chosen >= 0 && chosen < int(checks.size()))
        runFrame(selectedTab, chosen, false);
    m_flags.cancelRequested = false;
    refreshButtons();
}

void RunControl::runCheck(int tab, int index)
{
    if (m_running || !validTab(tab) || index < 0 || index >= int(m_checks[size_t(tab)].size()))
        return;
    runFrame(tab, index, false);
}

void RunControl::cancelClicked()
{
    if (!m_running || !m_cancelEnabled)
        return;
    m_flags.cancelRequested = true;
    m_cancelEnabled = false;
    if (m_busy)
        m_busy->abortRequests();
    Q_EMIT buttonsChanged();
    m_log.addToLog(QStringLiteral("Cancel check..."));
}

void RunControl::runFrame(int tab, int index, bool setMaximumFromTable)
{
    // Copied: a registration made during the run must not pull the entry
    // from under the running check.
    const RegisteredCheck entry = m_checks[size_t(tab)][size_t(index)];

    // A check whose last run left rows asks once whether to go on with them.
    CheckContext::RowScope scope = CheckContext::RowScope::All;
    const QString target = m_targetText ? m_targetText(tab) : QString();
    const RowRunStates &states = m_rowStates[size_t(tab)];
    if (m_rowScopeQuestion && states.rowsLeft() > 0 && states.check() == entry.name) {
        const std::optional<CheckContext::RowScope> answer = m_rowScopeQuestion(tab, states.rowsLeft());
        if (!answer)
            return;
        scope = *answer;
        if (scope == CheckContext::RowScope::RowsLeft && states.target() != target) {
            m_log.addToLog(QStringLiteral("The site, account or period has changed since the last run, so every "
                                          "row is checked again"));
            scope = CheckContext::RowScope::All;
        }
    }

    m_buttons = refreshedButtons(m_flags, m_buttons);
    m_flags.cancelRequested = false;
    m_running = true;
    m_runningTab = tab;
    m_cancelEnabled = true;
    if (CheckTarget *table = m_tables[size_t(tab)])
        table->setCheckRunning(true);
    setProgressPosition(0);
    if (setMaximumFromTable)
        setProgressMaximum(tableRows(tab));
    Q_EMIT runningChanged(true);
    Q_EMIT buttonsChanged();

    // "Check started" goes to the log with the run's first line or row: a
    // check refused before it sends anything (no account, no site chosen)
    // writes neither it nor "Check finished".
    m_log.setLineBeforeNext(QStringLiteral("Check started"));
    CheckContext context(*this, tab, entry.name);
    context.m_scope = scope;
    context.m_target = target;
    QString error;
    {
        const BusyState::Hold busy(m_busy);
        try {
            entry.check(context);
        } catch (const QuotaSpent &spent) {
            // Rows not reached keep their state, so a continued run takes
            // exactly them once the quota is back.
            error = spent.runMessage(context.m_rowsDone, context.rowsNotDone());
            m_log.addToLog(error);
        } catch (const RequestAborted &) {
            // "Cancel" abandoned the request in flight: that row or page
            // stays as it was and the run ends as a cancelled one.
            context.logCancelled();
        } catch (const std::exception &e) {
            error = errorText(e);
        }
    }
    const bool started = !m_log.dropLineBeforeNext();
    if (!error.isNull()) {
        // The run ends here: no "Check finished", no chart. The frame still
        // returns to idle so that the table is released and "Check URL" can
        // start the next run.
        m_prompt.show(MessagePrompt::Icon::Error, applicationErrorTitle(), error);
        endRun();
        return;
    }

    if (started) {
        m_log.addToLog(QStringLiteral("Check finished"));
        if (entry.chart)
            m_chartRules[size_t(tab)] = entry.chart;
    }
    Q_EMIT chartRefreshRequested(tab);
    endRun();
}

void RunControl::endRun()
{
    if (m_busy)
        m_busy->clearAbort();
    m_flags.cancelRequested = false;
    m_running = false;
    m_cancelEnabled = false;
    if (CheckTarget *table = m_tables[size_t(m_runningTab)])
        table->setCheckRunning(false);
    const int tab = m_runningTab;
    m_runningTab = -1;
    Q_EMIT runningChanged(false);
    Q_EMIT rowStatesChanged(tab);
    refreshButtons();
}

} // namespace veltrano
