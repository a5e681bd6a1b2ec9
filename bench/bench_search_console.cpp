// Google Search Console at the report's size limit, against the in-process
// simulator on loopback.
//
// Run from a Release build:  build-bench/bin/bench_search_console
//
// - BM_CheckGsc: "Check GSC" over a report of 50 000 pages, each answered
//   with three query rows as Google writes them. After each row, where the
//   check hands over to the window, one bare exchange (the same request
//   through ServiceExchange, nothing read) is timed on the side, so both
//   see the same loopback and the same ports in TIME_WAIT. The reported
//   time is the check's alone; "check_rows_per_s", "bare_rows_per_s" and
//   "ratio" (check throughput over bare throughput) compare the two.
// - BM_CheckGscWholeSite: "Check GSC (whole site)" over 50 000 rows against a
//   page report of about 60 000 pages, each answer sent 100 ms late as a
//   real service would: end-to-end time, requests sent, rows matched.
// - BM_QueryListParseAndFill: a list of 50 000 query and page pairs as
//   Google sends it in two pages of 25 000 (fetched once from the
//   simulator): both answers parsed, every row's texts made, and the
//   keyword table filled.
// - BM_QueryListExport: those 50 000 rows written as a keyword CSV file.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/AtomicCsvFile.h"
#include "reports/CsvWriter.h"
#include "reports/KeywordTable.h"
#include "reports/ReportTable.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/SearchConsolePerformanceCheck.h"
#include "services/search_console/SearchConsoleProperties.h"
#include "services/search_console/SearchConsoleQueries.h"
#include "services/search_console/SearchConsoleSiteCheck.h"

#include "SimServer.h"
#include "support/CheckBenchSupport.h"
#include "services/SearchConsoleAccounts.h"
#include "services/SearchConsoleModule.h"
#include "services/TokenRegistry.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

using namespace veltrano;
using namespace benchsupport;
using Accounts = sim::SearchConsoleAccounts;

namespace {

constexpr long long kUser = 4242;
constexpr int kReportRows = 50000;
constexpr int kListRows = 50000;
const char *const kToken = "ya29.bench-token";
const std::string kSite = "https://big.example/";
const QString kSiteId = QStringLiteral("https%3A%2F%2Fbig.example%2F");
const std::string kQueryPath = "/googleapis/webmasters/v3/sites/https%3A%2F%2Fbig.example%2F/searchAnalytics/query";

// A page's answer in Google's layout: three queries, most clicks first.
const char *const kPageAnswer = "{\n"
                                "  \"rows\": [\n"
                                "    {\n"
                                "      \"keys\": [\n"
                                "        \"corner sofa\"\n"
                                "      ],\n"
                                "      \"clicks\": 12,\n"
                                "      \"impressions\": 340,\n"
                                "      \"ctr\": 0.035294117647058823,\n"
                                "      \"position\": 4.2\n"
                                "    },\n"
                                "    {\n"
                                "      \"keys\": [\n"
                                "        \"sofa bed\"\n"
                                "      ],\n"
                                "      \"clicks\": 3,\n"
                                "      \"impressions\": 120,\n"
                                "      \"ctr\": 0.025,\n"
                                "      \"position\": 7.5\n"
                                "    },\n"
                                "    {\n"
                                "      \"keys\": [\n"
                                "        \"grey sofa\"\n"
                                "      ],\n"
                                "      \"clicks\": 0,\n"
                                "      \"impressions\": 15,\n"
                                "      \"ctr\": 0,\n"
                                "      \"position\": 23.1\n"
                                "    }\n"
                                "  ],\n"
                                "  \"responseAggregationType\": \"byPage\"\n"
                                "}\n";

// Where the check hands over to the window: one bare exchange, timed.

struct Service {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    std::shared_ptr<Accounts> accounts = std::make_shared<Accounts>(tokens);
    sim::SearchConsoleModule webmasters{accounts};
    QStringList reportUrls;

    Service()
    {
        webmasters.install(sim, webmasters.defaultPrefix());
        accounts->acceptToken(kToken, kUser);
        accounts->setProperties(kUser, {Accounts::generatedProperty(kSite, 2000, kListRows)});
        if (!sim.start())
            std::abort();
        reportUrls.reserve(kReportRows);
        for (int i = 0; i < kReportRows; ++i)
            reportUrls << QStringLiteral("https://big.example/catalogue/item-%1/").arg(i);
    }
    QString base() const { return QString::fromStdString(sim.baseUrl()); }
};

Service &service()
{
    static Service instance;
    return instance;
}

void BM_CheckGsc(benchmark::State &state)
{
    Service &s = service();
    s.sim.setResponse("POST", kQueryPath, sim::Response::text(kPageAnswer, 200, "application/json; charset=UTF-8"));
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    ServiceExchange bareExchange(log, trace);
    const QStringList bareHeaders{QStringLiteral("Authorization: OAuth ") + QString::fromLatin1(kToken)};
    GoogleApiClient client(exchange, {s.base() + "/googleapis", s.base() + "/searchconsole", s.base() + "/indexing"});
    ReportingPeriod period;
    SearchConsolePerformanceCheck check(client, period);
    const SearchConsoleProperty property{QString::fromStdString(kSite), kSiteId};
    const QString token = QString::fromLatin1(kToken);
    SilentPrompt prompt;
    NoProgress progress;

    CheckRatio ratio(kReportRows);
    for (auto _ : state) {
        state.PauseTiming();
        ReportTable table(ServiceId::SearchConsole);
        table.appendRows(s.reportUrls);
        BareExchangeBesideEachRow events([&, url = client.searchAnalyticsUrl(kSiteId),
                                           body = GoogleApiClient::pageQueryBody(period.fromText(), period.toText(),
                                                                                 s.reportUrls.first())] {
            return bareExchange.post(QString(), url, bareHeaders, body, ServiceExchange::silent());
        });
        RunControl run(log, events, prompt, progress);
        run.setTable(2, &table);
        run.registerCheck(2, QStringLiteral("Check GSC"),
                          [&](CheckContext &context) { check.run(context, table, &property, &token); });
        state.ResumeTiming();

        ratio.timeRun(state, events, [&] { run.runCheck(2, 0); });

        state.PauseTiming();
        if (!run.flags().reportDataReady || table.cell(kReportRows - 1, 1) != QLatin1String("Yes") ||
            events.failures > 0) {
            state.SkipWithError("the check did not run through");
            break;
        }
        state.ResumeTiming();
    }
    ratio.report(state);
    s.sim.clearScenario();
}
BENCHMARK(BM_CheckGsc)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The whole-site check against a big property: its page report as the
// simulator writes it, replayed with a service's latency.
void BM_CheckGscWholeSite(benchmark::State &state)
{
    constexpr int kLatencyMs = 100;
    const std::string site = "https://huge.example/";
    const QString siteId = QStringLiteral("https%3A%2F%2Fhuge.example%2F");
    const std::string path = "/googleapis/webmasters/v3/sites/" + siteId.toStdString() + "/searchAnalytics/query";
    Service &s = service();
    const Accounts::Property property = Accounts::generatedProperty(site, 67000, 130000);
    s.accounts->setProperties(kUser, {Accounts::generatedProperty(kSite, 2000, kListRows), property});

    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    GoogleApiClient client(exchange, {s.base() + "/googleapis", s.base() + "/searchconsole", s.base() + "/indexing"});
    ReportingPeriod period;
    const QString token = QString::fromLatin1(kToken);
    // The report's pages as the simulator answers them, page by page.
    std::vector<ExchangeResult> answers;
    for (int startRow = 0;; startRow += SearchConsoleSiteCheck::kRowLimit) {
        answers.push_back(
            client.querySitePages(token, siteId, period, startRow, SearchConsoleSiteCheck::kRowLimit));
        if (answers.back().body.count("\"keys\"") < SearchConsoleSiteCheck::kRowLimit)
            break;
    }
    QStringList rows;
    for (int i = 0; i < kReportRows; ++i)
        rows << QString::fromStdString(property.pages[size_t(i)]);

    SearchConsoleSiteCheck check(client, period);
    const SearchConsoleProperty chosen{QString::fromStdString(site), siteId};
    SilentPrompt prompt;
    NoProgress progress;
    NoEvents events;
    size_t requests = 0;
    int matched = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.sim.clearScenario();
        for (const ExchangeResult &answer : answers) {
            sim::Response response = sim::Response::text(answer.body.toStdString(), 200,
                                                         "application/json; charset=UTF-8");
            response.delayMs = kLatencyMs;
            s.sim.queueResponse("POST", path, std::move(response));
        }
        const size_t before = s.sim.requestsTo(path).size();
        ReportTable table(ServiceId::SearchConsole);
        table.appendRows(rows);
        RunControl run(log, events, prompt, progress);
        run.setTable(2, &table);
        run.registerCheck(2, QStringLiteral("Check GSC (whole site)"),
                          [&](CheckContext &context) { check.run(context, table, &chosen, &token); });
        state.ResumeTiming();
        run.runCheck(2, 0);
        state.PauseTiming();
        requests = s.sim.requestsTo(path).size() - before;
        matched = 0;
        for (int i = 0; i < table.rowCount(); ++i)
            matched += table.cell(i, 1) == QLatin1String("Yes");
        if (!run.flags().reportDataReady)
            state.SkipWithError("the check did not run through");
        state.ResumeTiming();
    }
    state.counters["requests"] = double(requests);
    state.counters["report_pages"] = double(answers.size());
    state.counters["rows_matched"] = matched;
    s.sim.clearScenario();
}
BENCHMARK(BM_CheckGscWholeSite)->Iterations(3)->Unit(benchmark::kMillisecond);

// The two answers of a 50 000-row list, as the simulator sends them.
const std::vector<ExchangeResult> &listAnswers()
{
    static const std::vector<ExchangeResult> answers = [] {
        Service &s = service();
        ActivityLog log;
        RequestTrace trace;
        ServiceExchange exchange(log, trace);
        GoogleApiClient client(exchange,
                               {s.base() + "/googleapis", s.base() + "/searchconsole", s.base() + "/indexing"});
        ReportingPeriod period;
        std::vector<ExchangeResult> out;
        for (int startRow = 0; startRow < kListRows; startRow += GoogleApiClient::kQueryRowLimit)
            out.push_back(client.queryAllQueries(QString::fromLatin1(kToken), kSiteId, period, startRow));
        return out;
    }();
    return answers;
}

KeywordTable &listTable()
{
    static KeywordTable table(
        {KeywordColumn::left(QStringLiteral("Query")), KeywordColumn::left(QStringLiteral("URL")),
         KeywordColumn::right(QStringLiteral("Clicks")), KeywordColumn::right(QStringLiteral("Impressions")),
         KeywordColumn::right(QStringLiteral("CTR")), KeywordColumn::right(QStringLiteral("Avg Position"))});
    return table;
}

// Reads both answers into the list, as "Get All Keywords" does once the
// answers are in.
void fillList(const std::vector<ExchangeResult> &answers)
{
    SearchConsoleQueries::Result result;
    int position = 1;
    for (const ExchangeResult &answer : answers) {
        const JsonDocument doc = JsonDocument::parse(answer.body);
        position += SearchConsoleQueries::appendRows(doc.root().requireMember("rows"), position, result);
    }
    listTable().setRows(std::move(result.rows));
}

void BM_QueryListParseAndFill(benchmark::State &state)
{
    const std::vector<ExchangeResult> &answers = listAnswers();
    for (auto _ : state) {
        fillList(answers);
        benchmark::DoNotOptimize(listTable().rowCount());
    }
    if (listTable().rowCount() != kListRows)
        state.SkipWithError("the list is not whole");
    state.counters["rows"] = listTable().rowCount();
    state.counters["pages"] = double(answers.size());
}
BENCHMARK(BM_QueryListParseAndFill)->Unit(benchmark::kMillisecond);

void BM_QueryListExport(benchmark::State &state)
{
    if (listTable().rowCount() != kListRows)
        fillList(listAnswers()); // the rows the export writes
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export_gsc_keywords.csv"));
    for (auto _ : state)
        AtomicCsvFile::write(path, [](CsvWriter &csv) { listTable().writeCsv(csv); });
    state.counters["bytes"] = double(QFile(path).size());
    state.counters["rows"] = listTable().rowCount();
}
BENCHMARK(BM_QueryListExport)->Unit(benchmark::kMillisecond);

} // namespace
