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
// Where the user chooses the Google period.
const QString GooglePeriodTab = QStringLiteral("Google Analytics");

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
      m_client(m_exchange, context.endpoints.googleApis), m_check(m_client), m_siteCheck(m_client),
      m_ga4Client(m_exchange, {context.endpoints.analyticsAdminApi, context.endpoints.analyticsDataApi}),
      m_ga4Check(m_ga4Client),
      m_ga4SiteCheck(m_ga4Client)
{

    // Google Analytics locks a property after ten server errors an hour: a
    // server error is tried twice at most.
    RetryPolicy retry = m_exchange.retryPolicy();
    retry.maxServerErrorTries = RetryPolicy::analyticsReporting().maxServerErrorTries;
    m_exchange.setRetryPolicy(retry);

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

    m_context.run.registerCheck(ServiceTable::of(Service).tab(), QStringLiteral("Check GA"),
                                [this](CheckContext &check) { runCheck(check); });
    m_context.run.registerCheck(ServiceTable::of(Service).tab(), QStringLiteral("Check GA (whole site)"),
                                [this](CheckContext &check) { runSiteCheck(check); });
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
    // Universal Analytics first, as it has always been listed; Google has
    // switched it off, so an answer that is no JSON at all counts as its
    // refusal too.
    AnalyticsSummary summary;
    try {
        summary = AnalyticsSummary::fetch(m_client, token, m_context.trace);
    } catch (const VeltranoError &e) {
        summary.error = GoogleError{QString(), QString(), e.message()};
    }
    AnalyticsSummary ga4;
    bool ga4Unusable = false; // no Google answer at all, not a refusal in Google's words
    try {
        ga4 = Ga4AccountSummaries::fetch(m_ga4Client, token, m_context.trace);
    } catch (const VeltranoError &e) {
        ga4.error = GoogleError{QString(), QString(), e.message()};
        ga4Unusable = true;
    }
    const auto logRefusal = [this](const char *api, const GoogleError &error) {
        m_context.log.addToLog(QLatin1String(api) +
                               (error.code.isEmpty() ? error.message : error.codeAndMessage()));
    };
    if (summary.error && ga4.error) {
        // Neither API answers: the user is told why, in Google's words
        // where Google gave any.
        const bool ga4Words = !ga4Unusable || summary.error->code.isEmpty();
        logRefusal(ga4Words ? "Google Analytics (Universal Analytics) - " : "Google Analytics 4 - ",
                   ga4Words ? *summary.error : *ga4.error);
        const GoogleError &shown = ga4Words ? *ga4.error : *summary.error;
        if (shown.code.isEmpty())
            throw VeltranoError(shown.message);
        reportRefusal(shown);
        return std::nullopt;
    }
    if (summary.error) {
        logRefusal("Google Analytics (Universal Analytics) - ", *summary.error);
        return ga4;
    }
    if (ga4.error) {
        logRefusal("Google Analytics 4 - ", *ga4.error);
        return summary;
    }
    summary.merge(std::move(ga4));
    return summary;
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

void AnalyticsController::runCheck(CheckContext &context)
{
    ReportTable *table = m_context.reports.table(Service);
    if (!table || m_context.accounts.selectedAlias(Service).isEmpty())
        return;
    if (ga4PropertySelected()) {
        if (const std::optional<Ga4PageCheck::Request> request = ga4Request(*table))
            m_ga4Check.run(context, *table, *request);
        return;
    }
    if (const std::optional<AnalyticsCheck::Request> request = viewRequest(context, *table))
        m_check.run(context, *table, *request);
}

void AnalyticsController::runSiteCheck(CheckContext &context)
{
    ReportTable *table = m_context.reports.table(Service);
    if (!table || m_context.accounts.selectedAlias(Service).isEmpty())
        return;
    if (ga4PropertySelected()) {
        if (const std::optional<Ga4PageCheck::Request> request = ga4Request(*table))
            m_ga4SiteCheck.run(context, *table, *request);
        return;
    }
    if (const std::optional<AnalyticsCheck::Request> request = viewRequest(context, *table))
        m_siteCheck.run(context, *table, *request);
}

std::optional<AnalyticsCheck::Request> AnalyticsController::viewRequest(CheckContext &context,
                                                                        const ReportTable &table) const
{
    const std::optional<qint64> viewId = selectedView();
    if (!viewId) {
        context.prompt().show(MessagePrompt::Icon::None, applicationErrorTitle(), SelectViewText);
        return std::nullopt;
    }
    if (table.rowCount() == 0)
        return std::nullopt;
    // The view and the days as the check starts; changing either during the
    // run has no effect on it. The token is read for every request.
    const ReportingPeriod &period = m_context.periods.google;
    if (const QString refusal = period.refusal(ReportingPeriod::FutureDays::Allowed, GooglePeriodTab);
        !refusal.isEmpty())
        throw VeltranoError(refusal);
    return AnalyticsCheck::Request{*viewId, period.fromText(), period.toText(),
                                   [this] { return m_context.accounts.selectedToken(Service); },
                                   selectedWebsiteUrl()};
}

std::optional<Ga4PageCheck::Request> AnalyticsController::ga4Request(const ReportTable &table) const
{
    const std::optional<qint64> propertyId = selectedProperty();
    if (!propertyId || table.rowCount() == 0)
        return std::nullopt;
    // The property and the days as the check starts; changing either during
    // the run has no effect on it. The token is read for every request.
    const ReportingPeriod &period = m_context.periods.google;
    if (const QString refusal = period.refusal(ReportingPeriod::FutureDays::Allowed, GooglePeriodTab);
        !refusal.isEmpty())
        throw VeltranoError(refusal);
    return Ga4PageCheck::Request{*propertyId, period.fromText(), period.toText(),
                                 [this] { return m_context.accounts.selectedToken(Service); }};
}

} // namespace veltrano
