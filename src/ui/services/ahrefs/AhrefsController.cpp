#include "ui/services/ahrefs/AhrefsController.h"

#include "app/ActivityLog.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "auth/SettingsFile.h"
#include "net/RequestTrace.h"
#include "reports/ReportTable.h"
#include "services/ahrefs/AhrefsBacklinksHistory.h"
#include "services/ahrefs/AhrefsDataExplorer.h"
#include "services/ahrefs/AhrefsDescriptor.h"
#include "services/ahrefs/AhrefsV3BacklinksHistory.h"
#include "services/ahrefs/AhrefsV3DataExplorer.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/desktop/WaitCursor.h"
#include "ui/reports/ReportPages.h"
#include "ui/services/ahrefs/AhrefsSettingsTab.h"
#include "ui/widgets/AreaChartView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>

namespace veltrano {

namespace {

// A button off for as long as its request runs.
class ButtonOff final {
public:
    explicit ButtonOff(QPushButton *button) : m_button(button) { m_button->setEnabled(false); }
    ~ButtonOff()
    {
        if (m_button)
            m_button->setEnabled(true);
    }
    ButtonOff(const ButtonOff &) = delete;
    ButtonOff &operator=(const ButtonOff &) = delete;

private:
    QPointer<QPushButton> m_button;
};

} // namespace

AhrefsController::AhrefsController(ServiceContext context, AhrefsSettingsTab &tab, AreaChartView &historyChart,
                                   QTreeWidget &historyTable)
    : QObject(nullptr), m_context(context), m_tab(tab), m_historyChart(historyChart), m_historyTable(historyTable),
      m_exchange(context.makeExchange()), m_client(m_exchange, context.endpoints.ahrefsApi), m_urlCheck(m_client),
      m_v3Client(m_exchange, context.endpoints.ahrefsApiV3), m_v3Check(m_v3Client)
{
    setObjectName(QStringLiteral("AhrefsController"));

    connect(m_tab.showDataButton(), &QPushButton::clicked, this, guarded(m_context.prompt, [this] {
                if (m_context.idleOrRefuse())
                    showData();
            }));
    connect(m_tab.historyButton(), &QPushButton::clicked, this, guarded(m_context.prompt, [this] {
                if (m_context.idleOrRefuse())
                    getBacklinksHistory();
            }));

    m_context.run.registerCheck(ServiceTable::of(Service).tab(), AhrefsV3UrlCheck::checkName(),
                                [this](CheckContext &check) { runUrlCheck(check); });

    // The typed token lives in the settings file: read at start (no user's
    // change, so nothing is written back), written at every edit.
    runHandler(m_context.prompt, [this] {
        const QSignalBlocker blocker(m_tab.tokenField());
        m_tab.tokenField()->setText(savedToken());
    });
    connect(m_tab.tokenField(), &QLineEdit::textChanged, this, [this](const QString &text) {
        runHandler(m_context.prompt, [&] {
            SettingsFile(SettingsFile::pathIn(m_context.appFolder))
                .writeString(settings::AhrefsTokenSection, settings::AhrefsTokenKey, text);
        });
    });
    // A typed token needs no connect: the Ahrefs tab counts as connected
    // when selected with a token in the field.
    m_context.reports.setConnectedWhenSelected(Service, [this] { return !m_tab.tokenField()->text().isEmpty(); });

    // Ahrefs answers for any site: the line above the report names only
    // the token it needs.
    const auto showTarget = [this] {
        m_context.reports.setCheckTargetText(
            Service, m_tab.tokenField()->text().isEmpty()
                         ? QStringLiteral("Enter the API token on Settings > Ahrefs")
                         : QStringLiteral("Checks each row's own page with the API token on Settings > Ahrefs"));
    };
    connect(m_tab.tokenField(), &QLineEdit::textChanged, this, showTarget);
    showTarget();

    connect(m_tab.apiChoice(), &QComboBox::currentIndexChanged, this,
            [this] { runHandler(m_context.prompt, [this] { applyApiChoice(); }); });
    applyApiChoice();
}

void AhrefsController::applyApiChoice()
{
    const bool v3 = m_tab.usesApiV3();
    if (ReportTable *table = m_context.reports.table(Service))
        table->setCaptionOverrides(v3 ? AhrefsV3UrlCheck::captions() : QStringList());
    QComboBox *from = m_tab.tableChoice();
    const QSignalBlocker blocker(from);
    from->clear();
    from->addItems(v3 ? AhrefsV3DataExplorer::endpointNames() : AhrefsDataExplorer::tableNames());
    from->setCurrentText(v3 ? AhrefsV3DataExplorer::defaultEndpoint() : AhrefsDataExplorer::defaultTable());
    m_tab.unitsLabel()->clear();
}

bool AhrefsController::showUnitsLeft()
{
    const QString key = m_tab.tokenField()->text();
    if (const QString problem = AhrefsV3Client::keyProblem(key); !problem.isEmpty()) {
        m_context.prompt.show(MessagePrompt::Icon::Warning, applicationErrorTitle(), problem);
        return false;
    }
    const AhrefsV3UrlCheck::UnitsLeft units = [&] {
        WaitCursor wait;
        return AhrefsV3UrlCheck::readUnitsLeft(m_v3Client, key);
    }();
    m_tab.unitsLabel()->setText(units.text);
    m_context.log.addToLog(units.text);
    return true;
}

AhrefsController::~AhrefsController() = default;

QString AhrefsController::fillInFieldsText()
{
    return QStringLiteral("Please fill in the \"Token:\" and \"Site:\" fields. The Ahrefs API token is on the API "
                          "page of your account at ahrefs.com.");
}

bool AhrefsController::fieldsFilledOrAsk()
{
    if (!m_tab.tokenField()->text().isEmpty() && !m_tab.siteField()->text().isEmpty())
        return true;
    m_context.prompt.show(MessagePrompt::Icon::Information, applicationErrorTitle(), fillInFieldsText());
    return false;
}

QString AhrefsController::savedToken() const
{
    return SettingsFile(SettingsFile::pathIn(m_context.appFolder))
        .readString(settings::AhrefsTokenSection, settings::AhrefsTokenKey);
}

void AhrefsController::runUrlCheck(CheckContext &context)
{
    ReportTable *table = m_context.reports.table(Service);
    if (!table)
        return;
    if (m_tab.usesApiV3()) {
        m_v3Check.setToday(m_today);
        m_v3Check.runReadingUnits(context, *table, {savedToken(), m_tab.siteField()->text(), QDate()},
                                  [this](const QString &units) { m_tab.unitsLabel()->setText(units); });
        return;
    }
    m_urlCheck.run(context, *table,
                   {m_tab.tokenField()->text(), m_tab.siteField()->text(), [this] { return savedToken(); }});
}

void AhrefsController::appendDataLines(const QStringList &lines)
{
    for (const QString &line : lines)
        m_tab.dataText()->appendPlainText(line);
}

void AhrefsController::showData()
{
    if (!fieldsFilledOrAsk())
        return;
    if (m_tab.usesApiV3()) {
        showDataV3();
        return;
    }
    const ButtonOff off(m_tab.showDataButton());
    // From now on "Check URL" is there, whatever this answer brings.
    m_context.run.markApiConnected();

    // What the fields say at the press.
    const QString table = m_tab.tableChoice()->currentText();
    const int rows = m_tab.rowCount()->value();
    const ExchangeResult answer = [&] {
        WaitCursor wait;
        return m_client.request(AhrefsDataExplorer::query(table, rows, m_tab.siteField()->text()),
                                m_tab.tokenField()->text(), ServiceExchange::silent());
    }();
    m_context.trace.add(answer.text);

    const AhrefsDataExplorer::Listing listing = AhrefsDataExplorer::list(table, rows, answer);
    if (listing.label)
        m_tab.dataLabel()->setText(*listing.label);
    // One batch: a long listing is laid out once, not line by line.
    m_tab.dataText()->setPlainText(listing.lines.join(QLatin1Char('\n')));
    m_client.writeStatus(answer);
}

void AhrefsController::getBacklinksHistory()
{
    if (!fieldsFilledOrAsk())
        return;
    if (m_tab.usesApiV3()) {
        getBacklinksHistoryV3();
        return;
    }
    const ButtonOff off(m_tab.historyButton());

    const QString site = m_tab.siteField()->text();
    const QString token = m_tab.tokenField()->text();
    const AhrefsQuery query = AhrefsBacklinksHistory::query(site, m_today());
    const ExchangeResult answer = [&] {
        WaitCursor wait;
        return m_client.request(query, token, ServiceExchange::silent());
    }();
    m_context.trace.clear();
    m_context.trace.add(m_client.tracedUrl(query, token));
    m_context.trace.add(QString());

    const AhrefsBacklinksHistory::Reading reading = AhrefsBacklinksHistory::read(answer);
    for (const QString &line : reading.counterLines)
        m_context.trace.add(line);
    if (!reading.serviceError.isEmpty()) {
        appendDataLines(AhrefsDataExplorer::errorLines(AhrefsBacklinksHistory::table(), reading.serviceError));
    } else if (!reading.failure.isEmpty()) {
        // The table and the chart keep the history they showed.
        appendDataLines(AhrefsDataExplorer::errorLines(AhrefsBacklinksHistory::table(), reading.failure));
    } else {
        m_historyTable.clear();
        QList<QTreeWidgetItem *> items;
        items.reserve(qsizetype(reading.days.size()));
        for (const AhrefsBacklinksHistory::Day &day : reading.days)
            items << new QTreeWidgetItem(QStringList{day.date, day.refpages, day.all});
        m_historyTable.addTopLevelItems(items);
        fillGraph();
    }
    m_client.writeStatus(answer);
}

void AhrefsController::showDataV3()
{
    const ButtonOff off(m_tab.showDataButton());
    // The units left are read first: a key that cannot be sent goes no
    // further, and a refused one says so in the tab.
    if (!showUnitsLeft())
        return;
    m_context.run.markApiConnected();

    const QString endpoint = m_tab.tableChoice()->currentText();
    const int rows = m_tab.rowCount()->value();
    const std::optional<AhrefsV3Query> query =
        AhrefsV3DataExplorer::query(endpoint, rows, m_tab.siteField()->text(), m_today());
    if (!query)
        return;
    const ExchangeResult answer = [&] {
        WaitCursor wait;
        return m_v3Client.request(*query, m_tab.tokenField()->text(), ServiceExchange::silent());
    }();
    m_context.trace.add(answer.text);

    const AhrefsV3DataExplorer::Listing listing = AhrefsV3DataExplorer::list(endpoint, rows, answer);
    if (listing.label)
        m_tab.dataLabel()->setText(*listing.label);
    m_tab.dataText()->setPlainText(listing.lines.join(QLatin1Char('\n')));
    m_v3Client.writeStatus(answer);
    AhrefsUnitsTally tally;
    tally.add(answer);
    m_context.log.addToLog(tally.logLine());
}

void AhrefsController::getBacklinksHistoryV3()
{
    const QString key = m_tab.tokenField()->text();
    if (const QString problem = AhrefsV3Client::keyProblem(key); !problem.isEmpty()) {
        m_context.prompt.show(MessagePrompt::Icon::Warning, applicationErrorTitle(), problem);
        return;
    }
    const ButtonOff off(m_tab.historyButton());
    const QString site = m_tab.siteField()->text();
    const AhrefsV3Query query = AhrefsV3BacklinksHistory::query(site, m_today());
    const ExchangeResult answer = [&] {
        WaitCursor wait;
        return m_v3Client.request(query, key, ServiceExchange::silent());
    }();
    // The address holds no key: it goes to the trace as sent.
    m_context.trace.clear();
    m_context.trace.add(m_v3Client.url(query));
    m_context.trace.add(QString());

    const AhrefsBacklinksHistory::Reading reading = AhrefsV3BacklinksHistory::read(answer);
    for (const QString &line : reading.counterLines)
        m_context.trace.add(line);
    const QString table = QStringLiteral("refdomains-history");
    if (!reading.serviceError.isEmpty()) {
        appendDataLines(AhrefsDataExplorer::errorLines(table, reading.serviceError));
    } else if (!reading.failure.isEmpty()) {
        appendDataLines(AhrefsDataExplorer::errorLines(table, reading.failure));
    } else {
        m_historyTable.clear();
        QList<QTreeWidgetItem *> items;
        items.reserve(qsizetype(reading.days.size()));
        for (const AhrefsBacklinksHistory::Day &day : reading.days)
            items << new QTreeWidgetItem(QStringList{day.date, day.refpages, day.all});
        m_historyTable.addTopLevelItems(items);
        fillGraph();
    }
    m_v3Client.writeStatus(answer);
    AhrefsUnitsTally tally;
    tally.add(answer);
    m_context.log.addToLog(tally.logLine());
}

void AhrefsController::fillGraph()
{
    std::vector<AhrefsBacklinksHistory::Day> days;
    for (int i = 0; i < m_historyTable.topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_historyTable.topLevelItem(i);
        days.push_back({item->text(0), item->text(1), item->text(2), item->text(2).toLongLong()});
    }
    AreaChartData data = AhrefsBacklinksHistory::chartData(m_tab.siteField()->text(), days);
    if (m_tab.usesApiV3())
        data.title = AhrefsV3BacklinksHistory::chartTitle(m_tab.siteField()->text());
    m_historyChart.showData(data);
}

} // namespace veltrano
