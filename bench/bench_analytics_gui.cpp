// Google Analytics at the report's size limit and with a large account
// summary, against the in-process simulator on loopback.
//
// Run from a Release build:  QT_QPA_PLATFORM=offscreen build-bench/bin/bench_analytics_gui
//
// - BM_CheckGa: "Check GA" over a report of 50 000 pages, each answered with
//   the six totals as the v3 service writes them. After each row, where the
//   check hands over to the window, one bare exchange (the same request
//   through ServiceExchange, nothing read) is timed on the side. The
//   reported time is the check's alone; "ratio" is the check's throughput
//   over the bare exchanges'.
// - BM_PathAndCells: what the check does for a row besides the exchange:
//   the page path, the request address, parsing the answer and the six
//   cells written to the table.
// - BM_SummaryConnect / BM_SummaryChange: a summary of 1 000 accounts of 5
//   properties of 5 views each (fetched once from the simulator) parsed and
//   the account list filled, as on connect; parsed and one account's
//   properties filled, as on a change. BM_SummaryConnectWithExchange adds
//   the request itself.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsCheck.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/AnalyticsSummary.h"

#include "SimServer.h"
#include "support/CheckBenchSupport.h"
#include "services/AnalyticsModule.h"
#include "services/TokenRegistry.h"

#include <QComboBox>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

using namespace veltrano;
using namespace benchsupport;
using Module = sim::AnalyticsModule;

namespace {

constexpr long long kUser = 4343;
constexpr int kReportRows = 50000;
const char *const kToken = "ya29.bench-analytics";
const std::string kDataPath = "/googleapis/analytics/v3/data/ga";

// A page's answer in the v3 layout (abridged to what the service always
// sends with it).
const char *const kPageAnswer = R"({
  "kind": "analytics#gaData",
  "id": "https://www.googleapis.com/analytics/v3/data/ga?ids=ga:11112222",
  "query": {"start-date": "2024-03-01", "end-date": "2024-03-31", "ids": "ga:11112222",
            "metrics": ["ga:users", "ga:pageViews", "ga:sessions", "ga:avgsessionDuration", "ga:bounceRate",
                        "ga:pageviewsPerSession"], "filters": "ga:pagePath==/catalogue/item-1/",
            "start-index": 1, "max-results": 50},
  "itemsPerPage": 50,
  "totalResults": 1,
  "profileInfo": {"profileId": "11112222", "accountId": "1001", "webPropertyId": "UA-1001-1",
                  "internalWebPropertyId": "2001", "profileName": "All Web Site Data", "tableId": "ga:11112222"},
  "containsSampledData": false,
  "columnHeaders": [
    {"name": "ga:users", "columnType": "METRIC", "dataType": "INTEGER"},
    {"name": "ga:pageViews", "columnType": "METRIC", "dataType": "INTEGER"},
    {"name": "ga:sessions", "columnType": "METRIC", "dataType": "INTEGER"},
    {"name": "ga:avgsessionDuration", "columnType": "METRIC", "dataType": "TIME"},
    {"name": "ga:bounceRate", "columnType": "METRIC", "dataType": "PERCENT"},
    {"name": "ga:pageviewsPerSession", "columnType": "METRIC", "dataType": "FLOAT"}
  ],
  "totalsForAllResults": {"ga:users": "120", "ga:pageViews": "340", "ga:sessions": "150",
                          "ga:avgsessionDuration": "125.0", "ga:bounceRate": "45.45454545454545",
                          "ga:pageviewsPerSession": "2.2666666666666666"},
  "rows": [["120", "340", "150", "125.0", "45.45454545454545", "2.2666666666666666"]]
}
)";

struct Service {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    Module module{tokens};
    QStringList reportUrls;

    Service()
    {
        module.install(sim, module.defaultPrefix());
        module.acceptToken(kToken, kUser);
        module.setAccounts(kUser, Module::generatedAccounts(1000, 5, 5));
        if (!sim.start())
            std::abort();
        reportUrls.reserve(kReportRows);
        for (int i = 0; i < kReportRows; ++i)
            reportUrls << QStringLiteral("https://www.big.example/catalogue/item-%1/?from=list&p=%2").arg(i).arg(i % 7);
    }
    QString apis() const { return QString::fromStdString(sim.baseUrl()) + QStringLiteral("/googleapis"); }
};

Service &service()
{
    static Service instance;
    return instance;
}

void BM_CheckGa(benchmark::State &state)
{
    Service &s = service();
    // Every page gets the same answer, so the service's own work is not timed.
    s.sim.setResponse("GET", kDataPath, sim::Response::text(kPageAnswer, 200, "application/json; charset=UTF-8"));
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    ServiceExchange bareExchange(log, trace);
    const QStringList bareHeaders{QStringLiteral("Authorization: OAuth ") + QString::fromLatin1(kToken)};
    AnalyticsClient client(exchange, s.apis());
    AnalyticsCheck check(client);
    SilentPrompt prompt;
    NoProgress progress;
    const QString token = QString::fromLatin1(kToken);

    CheckRatio ratio(kReportRows);
    for (auto _ : state) {
        state.PauseTiming();
        ReportTable table(ServiceId::Analytics);
        table.appendRows(s.reportUrls);
        trace.clear();
        BareExchangeBesideEachRow events(
            [&, url = client.reportUrl(11112222, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"),
                                       AnalyticsClient::pagePath(s.reportUrls.first()))] {
                return bareExchange.get(QString(), url, bareHeaders, ServiceExchange::silent());
            });
        RunControl run(log, events, prompt, progress);
        run.setTable(3, &table);
        run.registerCheck(3, QStringLiteral("Check GA"), [&](CheckContext &context) {
            check.run(context, table,
                      {11112222, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), [&] { return token; }});
        });
        state.ResumeTiming();

        ratio.timeRun(state, events, [&] { run.runCheck(3, 0); });

        state.PauseTiming();
        if (!run.flags().reportDataReady || table.cell(kReportRows - 1, 6) != QLatin1String("45.5") ||
            events.failures > 0) {
            state.SkipWithError("the check did not run through");
            break;
        }
        state.ResumeTiming();
    }
    ratio.report(state);
    s.sim.clearScenario();
}
BENCHMARK(BM_CheckGa)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PathAndCells(benchmark::State &state)
{
    Service &s = service();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    AnalyticsClient client(exchange, s.apis());
    ReportTable table(ServiceId::Analytics);
    table.appendRows(s.reportUrls.mid(0, 1000));
    const QByteArray answer(kPageAnswer);
    int row = 0;
    for (auto _ : state) {
        const QString url = client.reportUrl(11112222, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"),
                                             AnalyticsClient::pagePath(table.url(row)));
        benchmark::DoNotOptimize(url.size());
        const JsonDocument doc = JsonDocument::parse(answer);
        table.setRowCells(row, *AnalyticsCheck::totalsCells(doc.root()));
        row = (row + 1) % 1000;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PathAndCells)->Unit(benchmark::kMicrosecond);

// The summary of 1 000 x 5 x 5 as the simulator sends it.
const ExchangeResult &summaryAnswer()
{
    static const ExchangeResult answer = [] {
        ActivityLog log;
        RequestTrace trace;
        ServiceExchange exchange(log, trace);
        AnalyticsClient client(exchange, service().apis());
        return client.get(QString::fromLatin1(kToken));
    }();
    return answer;
}

void fillAccounts(QComboBox &box, const AnalyticsSummary &summary)
{
    box.clear();
    for (const AnalyticsAccount &account : summary.accounts)
        box.addItem(account.name, QVariant::fromValue<qlonglong>(account.id));
    box.setCurrentIndex(0);
}

void BM_SummaryConnect(benchmark::State &state)
{
    const ExchangeResult &answer = summaryAnswer();
    QComboBox box;
    for (auto _ : state)
        fillAccounts(box, AnalyticsSummary::readPage(answer));
    if (box.count() != 1000)
        state.SkipWithError("not every account listed");
    state.counters["accounts"] = box.count();
    state.counters["bytes"] = double(answer.body.size());
}
BENCHMARK(BM_SummaryConnect)->Unit(benchmark::kMillisecond);

void BM_SummaryConnectWithExchange(benchmark::State &state)
{
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    AnalyticsClient client(exchange, service().apis());
    QComboBox box;
    for (auto _ : state) {
        trace.clear();
        fillAccounts(box, AnalyticsSummary::fetch(client, QString::fromLatin1(kToken), trace));
    }
    if (box.count() != 1000)
        state.SkipWithError("not every account listed");
}
BENCHMARK(BM_SummaryConnectWithExchange)->Unit(benchmark::kMillisecond);

void BM_SummaryChange(benchmark::State &state)
{
    const ExchangeResult &answer = summaryAnswer();
    QComboBox accounts;
    fillAccounts(accounts, AnalyticsSummary::readPage(answer));
    accounts.setCurrentIndex(accounts.count() - 1); // the last account: the longest search
    QComboBox properties;
    for (auto _ : state) {
        const AnalyticsSummary summary = AnalyticsSummary::readPage(answer);
        properties.clear();
        if (const AnalyticsAccount *account = summary.account(accounts.currentData().toLongLong())) {
            for (const AnalyticsProperty &property : account->properties)
                properties.addItem(property.name, QVariant::fromValue<qlonglong>(property.id));
        }
        properties.setCurrentIndex(0);
    }
    if (properties.count() != 5)
        state.SkipWithError("the account's properties are not listed");
}
BENCHMARK(BM_SummaryChange)->Unit(benchmark::kMillisecond);

} // namespace
