#include "ui/services/analytics/AnalyticsController.h"

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/ServiceAccounts.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/RequestTrace.h"
#include "reports/ReportTable.h"
#include "services/analytics/Ga4AccountSummaries.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/desktop/WaitCursor.h"
#include "ui/reports/ReportPages.h"
#include "ui/services/analytics/AnalyticsSettingsTab.h"
#include "ui/widgets/WidgetFactory.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>

namespace veltrano {

namespace {

const QString SelectViewText = QStringLiteral("Please select View from Poject list");
// How a GA4 property shows in the property list.
const QString Ga4Mark = QStringLiteral(" (GA4)");

std::optional<qint64> selectedId(const QComboBox *list)
{
    if (list->currentIndex() < 0)
        return std::nullopt;
    return list->currentData().toLongLong();
}

void fill(QComboBox *list, const QList<QPair<QString, qint64>> &entries)
{
    for (const auto &[name, id] : entries)
        list->addItem(name, QVariant::fromValue<qlonglong>(id));
    if (list->count() > 0)
        list->setCurrentIndex(0);
}

} // namespace

AnalyticsController::AnalyticsController(ServiceContext context, AnalyticsSettingsTab &tab, QMenu *checkMenu)
    : ServiceController(context, Service, "AnalyticsController"), m_tab(tab), m_exchange(context.makeExchange()),
      m_client(m_exchange, context.endpoints.googleApis),
      m_ga4Client(m_exchange, {context.endpoints.analyticsAdminApi, context.endpoints.analyticsDataApi}),
      m_checks(m_client, m_ga4Client)
{
    AnalyticsChecks::limitServerErrorTries(m_exchange);

    // Button18 and the double-click on ListBox4 reach connectAccount through
    // the accounts, which refuse it while a request runs and show any error
    // it raises.
    setConnectOperation([this] { connectAccount(); });
    // Only the user's choice counts (activated, also for the entry already
    // shown); entries selected from code load nothing.
    connect(m_tab.accounts(), &QComboBox::activated, this, guarded(m_context.prompt, [this] {
                if (m_context.idleOrRefuse())
                    chooseAccount();
            }));
    connect(m_tab.properties(), &QComboBox::activated, this, guarded(m_context.prompt, [this] {
                if (m_context.idleOrRefuse())
                    chooseProperty();
            }));

    for (const bool wholeSite : {false, true}) {
        m_context.run.registerCheck(ServiceTable::of(Service).tab(), AnalyticsChecks::name(wholeSite),
                                    [this, wholeSite](CheckContext &check) { runCheck(check, wholeSite); });
    }
    if (checkMenu) {
        // The page-by-page check first, as on the Search Console report.
        widgets::menuItem(checkMenu, QStringLiteral("Check GA"), "CheckGA1");
        QAction *item = widgets::menuItem(checkMenu, QStringLiteral("Check GA (whole site)"), "CheckGASite1");
        item->setToolTip(QStringLiteral("The report by page path in a few requests (10 000 pages each for a "
                                        "view, 250 000 for a GA4 property) instead of one request per row."));
        checkMenu->setToolTipsVisible(true);
    }

    connect(m_tab.views(), &QComboBox::currentIndexChanged, this, [this] { refreshCheckTarget(); });
    connect(m_tab.properties(), &QComboBox::currentIndexChanged, this, [this] {
        updateViewsEnabled();
        refreshCheckTarget();
    });
    connect(&m_context.periods.google, &ReportingPeriod::changed, this, [this] { refreshCheckTarget(); });
    followCheckTarget(m_tab.tokens(), [this] { return describeCheckTarget(); });
}

QString AnalyticsController::describeCheckTarget() const
{
    QString view;
    if (ga4PropertySelected()) {
        view = QStringLiteral("%1 / %2").arg(m_tab.accounts()->currentText(), m_tab.properties()->currentText());
    } else if (m_tab.views()->currentIndex() >= 0) {
        view =
            QStringLiteral("%1 / %2 / %3")
                .arg(m_tab.accounts()->currentText(), m_tab.properties()->currentText(), m_tab.views()->currentText());
        if (const QString site = selectedWebsiteUrl(); !site.isEmpty())
            view += QStringLiteral(" (") + site + QLatin1Char(')');
    }
    QString text = checkTargetText(ga4PropertySelected() ? QStringLiteral("property") : QStringLiteral("view"), view);
    if (!view.isEmpty() && !m_context.accounts.selectedAlias(Service).isEmpty()) {
        const ReportingPeriod &period = m_context.periods.google;
        text += QStringLiteral(", over %1 to %2").arg(period.fromText(), period.toText());
    }
    return text;
}

AnalyticsController::~AnalyticsController() = default;

std::optional<qint64> AnalyticsController::selectedAccount() const
{
    return selectedId(m_tab.accounts());
}

std::optional<qint64> AnalyticsController::selectedProperty() const
{
    return selectedId(m_tab.properties());
}

std::optional<qint64> AnalyticsController::selectedView() const
{
    return selectedId(m_tab.views());
}

bool AnalyticsController::ga4PropertySelected() const
{
    return m_tab.properties()->currentIndex() >= 0 && m_tab.properties()->currentData(Ga4Role).toBool();
}

void AnalyticsController::updateViewsEnabled()
{
    const bool ga4 = ga4PropertySelected();
    if (ga4)
        m_tab.views()->clear();
    m_tab.views()->setEnabled(!ga4);
}

void AnalyticsController::reportRefusal(const GoogleError &error)
{
    const QString line = AnalyticsCheck::errorLine(error);
    m_context.trace.add(error.codeAndMessage());
    m_context.log.addToLog(line);
    m_context.prompt.show(MessagePrompt::Icon::Warning, applicationErrorTitle(), line);
}

std::optional<AnalyticsSummary> AnalyticsController::fetchSummary()
{
    const QString token = m_context.accounts.selectedToken(Service);
    WaitCursor wait;
    AnalyticsAccounts accounts = AnalyticsAccounts::fetch(m_client, m_ga4Client, token, m_context.trace, m_context.log);
    if (accounts.refusal)
        reportRefusal(*accounts.refusal);
    return std::move(accounts.summary);
}

void AnalyticsController::connectAccount()
{
    m_tab.accounts()->clear();
    if (!accountSelectedOrRefuse())
        return;
    // An answer that is no JSON raises its error here, the list empty.
    const std::optional<AnalyticsSummary> summary = fetchSummary();
    if (!summary)
        return;

    QList<QPair<QString, qint64>> entries;
    entries.reserve(qsizetype(summary->accounts.size()));
    for (const AnalyticsAccount &account : summary->accounts)
        entries.append({account.name, account.id});
    fill(m_tab.accounts(), entries);

    showConnected(m_tab.tokens(), "projects", m_tab.accounts()->count());
}

void AnalyticsController::chooseAccount()
{
    if (m_context.accounts.selectedAlias(Service).isEmpty())
        return;
    // The properties and views shown always belong to the account shown,
    // also when the summary cannot be had.
    m_tab.properties()->clear();
    m_tab.views()->clear();
    const std::optional<qint64> accountId = selectedAccount();
    const std::optional<AnalyticsSummary> summary = fetchSummary();
    if (!summary || !accountId)
        return;

    QList<QPair<QString, qint64>> entries;
    QList<bool> ga4;
    if (const AnalyticsAccount *account = summary->account(*accountId)) {
        for (const AnalyticsProperty &property : account->properties) {
            entries.append({property.ga4 ? property.name + Ga4Mark : property.name, property.id});
            ga4.append(property.ga4);
        }
    }
    {
        // The marks go on before the first entry counts as selected.
        const QSignalBlocker blocker(m_tab.properties());
        fill(m_tab.properties(), entries);
        for (int i = 0; i < ga4.size(); ++i)
            m_tab.properties()->setItemData(i, ga4[i], Ga4Role);
    }
    updateViewsEnabled();
    refreshCheckTarget();
}

void AnalyticsController::chooseProperty()
{
    if (m_context.accounts.selectedAlias(Service).isEmpty())
        return;
    m_tab.views()->clear();
    // A GA4 property has no views to load.
    updateViewsEnabled();
    if (ga4PropertySelected()) {
        refreshCheckTarget();
        return;
    }
    const std::optional<qint64> accountId = selectedAccount();
    const std::optional<qint64> propertyId = selectedProperty();
    const std::optional<AnalyticsSummary> summary = fetchSummary();
    if (!summary || !accountId || !propertyId)
        return;

    QList<QPair<QString, qint64>> entries;
    const AnalyticsProperty *property = summary->property(*accountId, *propertyId);
    if (property) {
        for (const AnalyticsView &view : property->views)
            entries.append({view.name, view.id});
    }
    fill(m_tab.views(), entries);
    // Each view measures its property's site; the check sends only that
    // site's rows.
    for (int i = 0; property && i < m_tab.views()->count(); ++i)
        m_tab.views()->setItemData(i, property->websiteUrl, WebsiteUrlRole);
    refreshCheckTarget();
}

QString AnalyticsController::selectedWebsiteUrl() const
{
    return m_tab.views()->currentIndex() < 0 ? QString() : m_tab.views()->currentData(WebsiteUrlRole).toString();
}

void AnalyticsController::runCheck(CheckContext &context, bool wholeSite)
{
    ReportTable *table = m_context.reports.table(Service);
    if (!table || m_context.accounts.selectedAlias(Service).isEmpty())
        return;
    const std::optional<AnalyticsChecks::Target> target = checkTarget(context);
    if (!target)
        return;
    // The view or property and the days as the check starts; changing
    // either during the run has no effect on it.
    if (wholeSite)
        m_checks.runWholeSite(context, *table, *target, m_context.periods.google);
    else
        m_checks.runPages(context, *table, *target, m_context.periods.google);
}

std::optional<AnalyticsChecks::Target> AnalyticsController::checkTarget(CheckContext &context) const
{
    AnalyticsChecks::Target target;
    // The token is read for every request.
    target.token = [this] { return m_context.accounts.selectedToken(Service); };
    if (ga4PropertySelected()) {
        const std::optional<qint64> propertyId = selectedProperty();
        if (!propertyId)
            return std::nullopt;
        target.ga4 = true;
        target.id = *propertyId;
        return target;
    }
    const std::optional<qint64> viewId = selectedView();
    if (!viewId) {
        context.prompt().show(MessagePrompt::Icon::None, applicationErrorTitle(), SelectViewText);
        return std::nullopt;
    }
    target.id = *viewId;
    target.websiteUrl = selectedWebsiteUrl();
    return target;
}

} // namespace veltrano
