#include "ui/services/yandex_webmaster/YandexWebmasterController.h"

#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "app/ServiceAccounts.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "reports/ReportTable.h"
#include "services/yandex_webmaster/YandexHostList.h"
#include "services/yandex_webmaster/YandexPopularQueries.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/desktop/WaitCursor.h"
#include "ui/reports/ReportPages.h"
#include "ui/services/yandex_webmaster/YandexWebmasterKeywordsWindow.h"
#include "ui/services/yandex_webmaster/YandexWebmasterSettingsTab.h"

#include <QDate>
#include <QEvent>
#include <QPushButton>
#include <QTreeWidget>

namespace veltrano {

namespace {

const QString SelectTokenText = QStringLiteral("Please select Token from list to connect");
const QString SelectSiteText = QStringLiteral("Please select Website from Poject list");

} // namespace

YandexWebmasterController::YandexWebmasterController(ServiceContext context, YandexWebmasterSettingsTab &tab,
                                                     YandexWebmasterKeywordsWindow &keywords)
    : ServiceController(context, Service, "YandexWebmasterController"), m_tab(tab), m_keywords(keywords),
      m_exchange(context.makeExchange()), m_client(m_exchange, context.endpoints.yandexWebmasterApi),
      m_indexingCheck(m_client)
{
    // Button6 and the double-click on ListBox1 reach connectAccount; a
    // double-click on ListView1 shows the Yandex Webmaster report.
    setConnectOperation([this] { connectAccount(); });
    showReportOnDoubleClick(m_tab.sites());
    connect(m_tab.keywordsButton(), &QPushButton::clicked, this, guarded(m_context.prompt, [this] {
                if (m_context.idleOrRefuse())
                    getAllKeywords();
            }));

    m_context.run.registerCheck(ServiceTable::of(Service).tab(), YandexIndexingCheck::checkName(),
                                [this](CheckContext &check) { runIndexingCheck(check); });

    m_keywords.setPorts({&m_context.prompt, &m_context.files, m_context.appFolder,
                         [this](const QString &text, const QString &id) { return queryHistory(text, id); }});

    connect(m_tab.sites(), &QTreeWidget::itemSelectionChanged, this, [this] { refreshCheckTarget(); });
    followCheckTarget(m_tab.tokens(), [this] {
        const QList<QTreeWidgetItem *> selected = m_tab.sites()->selectedItems();
        return checkTargetText(QStringLiteral("site"), selected.isEmpty() ? QString() : selected.first()->text(0));
    });
}

YandexWebmasterController::~YandexWebmasterController() = default;

QString YandexWebmasterController::selectedHostId() const
{
    const QList<QTreeWidgetItem *> selected = m_tab.sites()->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(1);
}

void YandexWebmasterController::connectAccount()
{
    QTreeWidget *sites = m_tab.sites();
    sites->clear();
    if (!accountSelectedOrRefuse())
        return;
    const QString token = selectedToken();
    const std::vector<YandexHost> hosts = [&] {
        WaitCursor wait;
        return fetchYandexHosts(m_client, token);
    }();

    QList<QTreeWidgetItem *> rows;
    rows.reserve(qsizetype(hosts.size()));
    for (const YandexHost &host : hosts)
        rows << new QTreeWidgetItem(QStringList{host.domain, host.hostId});
    sites->addTopLevelItems(rows);
    showConnected(m_tab.tokens(), "projects", qsizetype(hosts.size()));
    m_tab.keywordsButton()->setEnabled(true);
}

void YandexWebmasterController::runIndexingCheck(CheckContext &context)
{
    ReportTable *table = m_context.reports.table(Service);
    if (!table)
        return;
    const bool accountSelected = !m_context.accounts.selectedAlias(Service).isEmpty();
    const QString token = accountSelected ? m_context.accounts.selectedToken(Service) : QString();
    const QList<QTreeWidgetItem *> selected = m_tab.sites()->selectedItems();
    const QString siteName = selected.isEmpty() ? QString() : selected.first()->text(0);
    m_indexingCheck.run(context, *table, selectedHostId(), accountSelected ? &token : nullptr, siteName);
}

void YandexWebmasterController::getAllKeywords()
{
    if (!accountSelectedOrRefuse())
        return;
    const QString hostId = selectedHostId();
    if (hostId.isEmpty()) {
        refuseWithoutChoice(SelectSiteText);
        return;
    }
    const QString token = m_context.accounts.selectedToken(Service);

    m_keywords.setQueries({});
    std::vector<QStringList> rows;
    {
        WaitCursor wait;
        rows = YandexPopularQueries(m_client).fetch(token, hostId, QDate::currentDate());
    }
    m_keywords.setQueries(rows);
    m_keywords.showModally();
}

std::optional<YandexQueryHistory> YandexWebmasterController::queryHistory(const QString &queryText,
                                                                          const QString &queryId)
{
    // The site and the account selected now, which may differ from those
    // the list was fetched for.
    if (m_context.accounts.selectedAlias(Service).isEmpty())
        throw VeltranoError(SelectTokenText);
    const QString hostId = selectedHostId();
    if (hostId.isEmpty())
        throw VeltranoError(SelectSiteText);
    return YandexQueryHistory::fetch(m_client, m_context.accounts.selectedToken(Service), hostId, queryId, queryText,
                                     QDate::currentDate());
}

} // namespace veltrano
