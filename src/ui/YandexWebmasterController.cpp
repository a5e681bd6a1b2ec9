#include "ui/YandexWebmasterController.h"

#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "reports/ReportTable.h"
#include "services/yandex_webmaster/YandexHostList.h"
#include "services/yandex_webmaster/YandexPopularQueries.h"
#include "ui/AccountsController.h"
#include "ui/HandlerGuard.h"
#include "ui/MainWindow.h"
#include "ui/ReportsController.h"
#include "ui/YandexKeywordsWindow.h"

#include <QApplication>
#include <QDate>
#include <QEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>

namespace veltrano {

namespace {

constexpr TokenService Service = TokenService::YandexWebmaster;

template <typename T> T *widget(MainWindow &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "YandexWebmasterController", name);
    return found;
}

// The wait cursor for as long as a handler waits for the service.
class WaitCursor final {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

YandexWebmasterController::YandexWebmasterController(MainWindow &window)
    : QObject(nullptr), m_window(window),
      m_exchange(window.activityLog(), window.requestTrace(), window.endpoints().extraCaFile, &window.eventPump()),
      m_client(m_exchange, window.endpoints().yandexWebmasterApi), m_indexingCheck(m_client)
{
    setObjectName(QStringLiteral("YandexWebmasterController"));
    m_sites = widget<QTreeWidget>(window, "ListView1");
    m_connectButton = widget<QPushButton>(window, "Button6");
    m_keywordsButton = widget<QPushButton>(window, "Button34");

    MessagePrompt &prompt = window.prompt();
    // Button6 and the double-click on ListBox1 reach connectAccount through
    // the accounts' registry, which shows any error it raises.
    window.accounts()->setConnectOperation(Service, [this] { connectAccount(); });
    m_sites->viewport()->installEventFilter(this);
    connect(m_keywordsButton, &QPushButton::clicked, this, guarded(prompt, [this] { getAllKeywords(); }));

    window.reports().runControl().registerCheck(ReportTab, QStringLiteral("Get URLs YWM"),
                                                [this](CheckContext &context) { runIndexingCheck(context); });

    window.yandexKeywordsWindow()->setPorts(
        {&prompt, &window.fileDialogs(), window.appFolder(),
         [this](const QString &text, const QString &id) { return queryHistory(text, id); }});
}

YandexWebmasterController::~YandexWebmasterController() = default;

QString YandexWebmasterController::selectedHostId() const
{
    const QList<QTreeWidgetItem *> selected = m_sites->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(1);
}

void YandexWebmasterController::showSelectTokenMessage()
{
    m_window.prompt().show(MessagePrompt::Icon::Information, applicationErrorTitle(),
                           QStringLiteral("Please select Token from list to connect"));
}

void YandexWebmasterController::showSelectSiteMessage()
{
    m_window.prompt().show(MessagePrompt::Icon::Information, applicationErrorTitle(),
                           QStringLiteral("Please select Website from Poject list"));
}

void YandexWebmasterController::connectAccount()
{
    m_sites->clear();
    AccountsController &accounts = *m_window.accounts();
    if (accounts.selectedAlias(Service).isEmpty()) {
        showSelectTokenMessage();
        return;
    }
    const QString token = accounts.selectedToken(Service);
    const std::vector<YandexHost> hosts = [&] {
        WaitCursor wait;
        return parseYandexHosts(m_client.request(token, QStringLiteral("hosts")));
    }();

    QList<QTreeWidgetItem *> rows;
    rows.reserve(qsizetype(hosts.size()));
    for (const YandexHost &host : hosts)
        rows << new QTreeWidgetItem(QStringList{host.domain, host.hostId});
    m_sites->addTopLevelItems(rows);
    m_connectButton->setText(QStringLiteral("Connected (projects: %1)").arg(hosts.size()));

    m_window.reports().runControl().markApiConnected();
    m_connectButton->setEnabled(false);
    m_keywordsButton->setEnabled(true);
}

void YandexWebmasterController::showSiteReport()
{
    // A switch made for the user, not a tab change of theirs: the report
    // tab's change handler does not run.
    auto *pages = widget<QTabWidget>(m_window, "pcPages");
    auto *reports = widget<QTabWidget>(m_window, "pcReportsURLs");
    pages->setCurrentIndex(0);
    const QSignalBlocker blocker(reports);
    reports->setCurrentIndex(ReportTab);
}

bool YandexWebmasterController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_sites->viewport() && event->type() == QEvent::MouseButtonDblClick)
        showSiteReport();
    return QObject::eventFilter(watched, event);
}

void YandexWebmasterController::runIndexingCheck(CheckContext &context)
{
    ReportTable *table = m_window.reports().table(ReportTab);
    if (!table)
        return;
    AccountsController &accounts = *m_window.accounts();
    const bool accountSelected = !accounts.selectedAlias(Service).isEmpty();
    const QString token = accountSelected ? accounts.selectedToken(Service) : QString();
    m_indexingCheck.run(context, *table, selectedHostId(), accountSelected ? &token : nullptr);
}

void YandexWebmasterController::getAllKeywords()
{
    AccountsController &accounts = *m_window.accounts();
    if (accounts.selectedAlias(Service).isEmpty()) {
        showSelectTokenMessage();
        return;
    }
    const QString hostId = selectedHostId();
    if (hostId.isEmpty()) {
        showSelectSiteMessage();
        return;
    }
    const QString token = accounts.selectedToken(Service);

    YandexKeywordsWindow *keywords = m_window.yandexKeywordsWindow();
    keywords->setQueries({});
    std::vector<QStringList> rows;
    {
        WaitCursor wait;
        rows = YandexPopularQueries(m_client).fetch(token, hostId, QDate::currentDate());
    }
    keywords->setQueries(rows);
    keywords->showModally();
}

std::optional<YandexQueryHistory> YandexWebmasterController::queryHistory(const QString &queryText,
                                                                          const QString &queryId)
{
    // The site and the account selected now, which may differ from those
    // the list was fetched for.
    AccountsController &accounts = *m_window.accounts();
    if (accounts.selectedAlias(Service).isEmpty())
        throw VeltranoError(QStringLiteral("Please select Token from list to connect"));
    const QString hostId = selectedHostId();
    if (hostId.isEmpty())
        throw VeltranoError(QStringLiteral("Please select Website from Poject list"));
    return YandexQueryHistory::fetch(m_client, accounts.selectedToken(Service), hostId, queryId, queryText,
                                     QDate::currentDate());
}

} // namespace veltrano
