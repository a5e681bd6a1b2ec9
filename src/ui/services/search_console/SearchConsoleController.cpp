#include "ui/services/search_console/SearchConsoleController.h"

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/ServiceAccounts.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "reports/ReportTable.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "services/search_console/SearchConsoleQueries.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/desktop/WaitCursor.h"
#include "ui/reports/ReportPages.h"
#include "ui/services/search_console/SearchConsoleKeywordsWindow.h"
#include "ui/services/search_console/SearchConsoleSettingsTab.h"
#include "ui/widgets/WidgetFactory.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

namespace veltrano {

namespace {

const QString SelectSiteText = QStringLiteral("Please select Website from Poject list");

} // namespace

SearchConsoleController::SearchConsoleController(ServiceContext context, SearchConsoleSettingsTab &tab,
                                                 SearchConsoleKeywordsWindow &keywords, QMenu *checkMenu)
    : ServiceController(context, Service, "SearchConsoleController"), m_tab(tab), m_keywords(keywords),
      m_exchange(context.makeExchange()),
      m_client(m_exchange,
               {context.endpoints.googleApis, context.endpoints.searchConsoleApi, context.endpoints.indexingApi}),
      m_trends(m_exchange, context.endpoints.trendsService), m_checks(m_client, context.periods.google)
{

    // Button14 and the double-click on ListBox3 reach connectAccount through
    // the accounts, which refuse it while a request runs and show any error
    // it raises.
    setConnectOperation([this] { connectAccount(); });
    showReportOnDoubleClick(m_tab.properties());
    connect(m_tab.keywordsButton(), &QPushButton::clicked, this, guarded(m_context.prompt, [this] {
                if (m_context.idleOrRefuse())
                    getAllKeywords();
            }));

    if (checkMenu) {
        widgets::menuItem(checkMenu, QStringLiteral("Check GSC"), "CheckGSC1");
        widgets::menuItem(checkMenu, QStringLiteral("URL Inspection API"), "URLInspectionAPI1");
        QAction *wholeSite = widgets::menuItem(checkMenu, QStringLiteral("Check GSC (whole site)"), "CheckGSCSite1");
        wholeSite->setToolTip(QStringLiteral(
            "The property's page report in a few requests (25 000 pages each) instead of one request per row. "
            "Google's page totals include queries it hides from query rows, so they can exceed the figures of "
            "\"Check GSC\"."));
        checkMenu->setToolTipsVisible(true);
    }
    // The checks in the order of the menu's items.
    const int reportTab = ServiceTable::of(Service).tab();
    for (const SearchConsoleChecks::Kind kind : SearchConsoleChecks::AllKinds) {
        m_context.run.registerCheck(
            reportTab, SearchConsoleChecks::name(kind), [this, kind](CheckContext &check) { runCheck(check, kind); },
            SearchConsoleChecks::chart(kind));
    }

    // The chart of a row is the trend of its query, the row's first text.
    m_keywords.setPorts({&m_context.prompt, &m_context.files, m_context.appFolder,
                         [this](const QStringList &row) { return queryTrend(row.value(0)); }});

    connect(m_tab.properties(), &QTreeWidget::itemSelectionChanged, this, [this] { refreshCheckTarget(); });
    connect(&m_context.periods.google, &ReportingPeriod::changed, this, [this] { refreshCheckTarget(); });
    followCheckTarget(m_tab.tokens(), [this] {
        const std::optional<SearchConsoleProperty> property = selectedProperty();
        QString text = checkTargetText(QStringLiteral("property"), property ? property->siteUrl : QString());
        if (property && !m_context.accounts.selectedAlias(Service).isEmpty()) {
            const ReportingPeriod &period = m_context.periods.google;
            text += QStringLiteral("; Check GSC over %1 to %2 (the period on the Google Analytics tab)")
                        .arg(period.fromText(), period.toText());
        }
        return text;
    });
}

SearchConsoleController::~SearchConsoleController() = default;

std::optional<SearchConsoleProperty> SearchConsoleController::selectedProperty() const
{
    const QList<QTreeWidgetItem *> selected = m_tab.properties()->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return SearchConsoleProperty{selected.first()->text(0), selected.first()->text(1)};
}

QString SearchConsoleController::periodRefusal() const
{
    return m_checks.periodRefusal();
}

void SearchConsoleController::reportRefusal(const GoogleError &error)
{
    const QString line = SearchConsoleCheck::errorLine(error);
    m_context.trace.add(error.codeAndMessage());
    m_context.log.addToLog(line);
    m_context.prompt.show(MessagePrompt::Icon::Warning, applicationErrorTitle(), line);
}

void SearchConsoleController::connectAccount()
{
    QTreeWidget *properties = m_tab.properties();
    properties->clear();
    if (!accountSelectedOrRefuse())
        return;
    const QString token = selectedToken();
    // An answer that is no JSON raises its error here, the list empty.
    const SearchConsolePropertyList list = [&] {
        WaitCursor wait;
        return SearchConsolePropertyList::fetch(m_client, token, m_context.trace);
    }();
    if (list.error) {
        reportRefusal(*list.error);
        return;
    }

    QList<QTreeWidgetItem *> rows;
    rows.reserve(qsizetype(list.properties.size()));
    for (const SearchConsoleProperty &property : list.properties)
        rows << new QTreeWidgetItem(QStringList{property.siteUrl, property.propertyId});
    properties->addTopLevelItems(rows);
    showConnected(m_tab.tokens(), "projects", qsizetype(list.properties.size()));
    m_tab.keywordsButton()->setEnabled(true);
}

void SearchConsoleController::runCheck(CheckContext &context, SearchConsoleChecks::Kind kind)
{
    ReportTable *table = m_context.reports.table(Service);
    if (!table)
        return;
    // The property and the token as the check starts; changing either
    // during the run has no effect on it.
    const std::optional<SearchConsoleProperty> property = selectedProperty();
    const bool accountSelected = !m_context.accounts.selectedAlias(Service).isEmpty();
    const QString token = accountSelected ? m_context.accounts.selectedToken(Service) : QString();
    m_checks.run(kind, context, *table, property ? &*property : nullptr, accountSelected ? &token : nullptr);
}

void SearchConsoleController::getAllKeywords()
{
    const std::optional<SearchConsoleProperty> property = selectedProperty();
    if (!property) {
        refuseWithoutChoice(SelectSiteText);
        return;
    }
    if (!accountSelectedOrRefuse())
        return;
    if (const QString refusal = periodRefusal(); !refusal.isEmpty()) {
        m_context.prompt.show(MessagePrompt::Icon::Warning, applicationErrorTitle(), refusal);
        return;
    }
    m_context.trace.clear();
    const QString token = m_context.accounts.selectedToken(Service);

    SearchConsoleQueries::Result list;
    {
        WaitCursor wait;
        list = SearchConsoleQueries::fetch(m_client, token, property->propertyId, m_context.periods.google);
    }
    if (list.error) {
        reportRefusal(*list.error);
        return;
    }
    for (const int position : list.unreadable)
        m_context.log.addToLog(SearchConsoleCheck::objectDataLine(position, list.elements));
    if (list.rows.empty()) {
        m_context.prompt.show(MessagePrompt::Icon::None, applicationErrorTitle(), QStringLiteral("Keywords not found"));
        return;
    }
    m_keywords.setRows(std::move(list.rows));
    m_keywords.showModally();
}

std::optional<AreaChartData> SearchConsoleController::queryTrend(const QString &query)
{
    return m_trends.fetch(query);
}

} // namespace veltrano
