#include "ui/services/yandex_metrika/YandexMetrikaController.h"

#include "app/CheckContext.h"
#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/ServiceAccounts.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/RequestTrace.h"
#include "reports/ReportTable.h"
#include "services/yandex_metrika/YandexCounterList.h"
#include "services/yandex_metrika/YandexSearchPhrases.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/desktop/WaitCursor.h"
#include "ui/reports/ReportPages.h"
#include "ui/services/yandex_metrika/YandexMetrikaKeywordsWindow.h"
#include "ui/services/yandex_metrika/YandexMetrikaSettingsTab.h"

#include <QAction>
#include <QEvent>
#include <QPushButton>
#include <QTreeWidget>

namespace veltrano {

namespace {

const QString SelectTokenText = QStringLiteral("Please select Token from list to connect");

} // namespace

YandexMetrikaController::YandexMetrikaController(ServiceContext context, YandexMetrikaSettingsTab &tab,
                                                 YandexMetrikaKeywordsWindow &keywords)
    : ServiceController(context, Service, "YandexMetrikaController"), m_tab(tab), m_keywords(keywords),
      m_exchange(context.makeExchange()), m_client(m_exchange, context.endpoints.yandexMetrikaApi),
      m_trafficCheck(m_client)
{

    // Button10 and the double-click on ListBox2 reach connectAccount through
    // the accounts, which refuse it while a request runs and show any error
    // it raises.
    setConnectOperation([this] { connectAccount(); });
    showReportOnDoubleClick(m_tab.counters());
    connect(m_tab.keywordsAction(), &QAction::triggered, this, guarded(m_context.prompt, [this] {
                if (m_context.idleOrRefuse())
                    getAllKeywords();
            }));

    m_context.run.registerCheck(ServiceTable::of(Service).tab(), YandexTrafficCheck::checkName(),
                                [this](CheckContext &check) { runTrafficCheck(check); });

    m_keywords.setPorts({&m_context.prompt, &m_context.files, m_context.appFolder, {}});

    connect(m_tab.counters(), &QTreeWidget::itemSelectionChanged, this, [this] { refreshCheckTarget(); });
    connect(&m_context.periods.metrika, &ReportingPeriod::changed, this, [this] { refreshCheckTarget(); });
    followCheckTarget(m_tab.tokens(), [this] { return describeCheckTarget(); });
}

YandexMetrikaController::~YandexMetrikaController() = default;

QString YandexMetrikaController::selectedCounterId() const
{
    const QList<QTreeWidgetItem *> selected = m_tab.counters()->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(1);
}

void YandexMetrikaController::connectAccount()
{
    QTreeWidget *counters = m_tab.counters();
    counters->clear();
    if (!accountSelectedOrRefuse())
        return;
    const QString token = selectedToken();
    const std::vector<YandexCounter> list = [&] {
        WaitCursor wait;
        return YandexCounterList::fetch(m_client, token);
    }();

    QList<QTreeWidgetItem *> rows;
    rows.reserve(qsizetype(list.size()));
    for (const YandexCounter &counter : list) {
        auto *row = new QTreeWidgetItem(QStringList{counter.site, counter.id});
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        rows << row;
    }
    counters->addTopLevelItems(rows);
    showConnected(m_tab.tokens(), "counters", qsizetype(list.size()));
    m_tab.keywordsAction()->setEnabled(true);
}

QString YandexMetrikaController::selectedCounterSite() const
{
    const QList<QTreeWidgetItem *> selected = m_tab.counters()->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

QString YandexMetrikaController::periodRefusal() const
{
    // Metrika answers a period reaching past today with the days it has.
    return m_context.periods.metrika.refusal(ReportingPeriod::FutureDays::Allowed, QStringLiteral("Yandex Metrika"));
}

QString YandexMetrikaController::describeCheckTarget() const
{
    const QList<QTreeWidgetItem *> selected = m_tab.counters()->selectedItems();
    const QString counter = selected.isEmpty()
                                ? QString()
                                : QStringLiteral("%1 (%2)").arg(selected.first()->text(0), selected.first()->text(1));
    QString text = checkTargetText(QStringLiteral("counter"), counter);
    if (!counter.isEmpty() && !m_context.accounts.selectedAlias(Service).isEmpty()) {
        const ReportingPeriod &period = m_context.periods.metrika;
        text += QStringLiteral(", over %1 to %2").arg(period.fromText(), period.toText());
    }
    return text;
}

void YandexMetrikaController::runTrafficCheck(CheckContext &context)
{
    ReportTable *table = m_context.reports.table(Service);
    if (!table)
        return;
    YandexTrafficCheck::Inputs inputs;
    inputs.counterId = selectedCounterId();
    inputs.counterSite = selectedCounterSite();
    if (!m_context.accounts.selectedAlias(Service).isEmpty())
        inputs.savedToken = [this] { return m_context.accounts.selectedToken(Service); };
    m_trafficCheck.runOverPeriod(context, *table, inputs, m_context.periods.metrika);
}

void YandexMetrikaController::getAllKeywords()
{
    const QString counterId = selectedCounterId();
    if (counterId.isEmpty()) {
        m_context.prompt.show(MessagePrompt::Icon::None, applicationErrorTitle(),
                              YandexTrafficCheck::selectCounterText());
        return;
    }
    if (m_context.accounts.selectedAlias(Service).isEmpty())
        throw VeltranoError(SelectTokenText);
    if (const QString refusal = periodRefusal(); !refusal.isEmpty()) {
        m_context.prompt.show(MessagePrompt::Icon::Warning, applicationErrorTitle(), refusal);
        return;
    }
    m_context.trace.clear();
    const QString token = m_context.accounts.selectedToken(Service);
    const ReportingPeriod &period = m_context.periods.metrika;

    m_keywords.setRows({});
    std::vector<QStringList> rows;
    {
        WaitCursor wait;
        rows = YandexSearchPhrases::fetch(m_client, token, counterId, period.fromText(), period.toText());
    }
    m_keywords.setRows(std::move(rows));
    m_keywords.showModally();
}

} // namespace veltrano
