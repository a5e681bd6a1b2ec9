// Yandex Metrika at its sizes, against the in-process simulator on loopback.
//
// Run from a Release build:  build-bench/bin/bench_yandex_metrika
//
// - BM_MetrikaCheck: "Check YM" over a 50 000-row report, each answer read,
//   formatted and written into its row, the bar advanced, with one bare
//   bytime request beside each row; the reported time is the check's alone,
//   "ratio" (bare / check) the share of the check's time that is the
//   exchanges themselves.
// - BM_MetrikaRowCells: reading and formatting one row's answer (the five
//   cells), per row.
// - BM_PhrasesParseAndFill: ten pages of 10 000 search phrases read into
//   the keyword list, as "Get All Keywords" does once the answers are in;
// - BM_PhrasesExport: those 100 000 rows written as the CSV file.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/AtomicCsvFile.h"
#include "reports/CsvWriter.h"
#include "reports/KeywordTable.h"
#include "reports/ReportTable.h"
#include "services/yandex_metrika/YandexMetrikaClient.h"
#include "services/yandex_metrika/YandexSearchPhrases.h"
#include "services/yandex_metrika/YandexTrafficCheck.h"

#include "SimServer.h"
#include "support/CheckBenchSupport.h"
#include "services/TokenRegistry.h"
#include "services/YandexMetrikaModule.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace veltrano;
using namespace benchsupport;
using Module = sim::YandexMetrikaModule;

namespace {

constexpr int kReportRows = 50000;
constexpr int kPhrases = 100000;
constexpr long long kCounter = 44147844;
constexpr benchmark::IterationCount kRuns = 2;
const char *const kToken = "bench-token-0123456789";
const QString kFirstDay = QStringLiteral("2024-03-01");
const QString kLastDay = QStringLiteral("2024-03-31");

struct Service {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    Module module{tokens};
    QStringList reportUrls;

    Service()
    {
        Module::Counter counter;
        counter.id = kCounter;
        counter.site = "big.example";
        counter.madeUpTraffic = true;
        counter.phrases = Module::generatedPhrases(kPhrases, "bench");
        for (int i = 0; i < kReportRows; ++i)
            reportUrls << QStringLiteral("https://big.example/catalog/item-%1/?ref=a&b=%2").arg(i).arg(i % 7);
        module.install(sim, module.defaultPrefix());
        module.acceptToken(kToken, 1);
        module.setCounters(1, {std::move(counter)});
        if (!sim.start())
            std::abort();
    }
    QString api() const { return QString::fromStdString(sim.baseUrl()) + QStringLiteral("/yandex-metrika"); }
};

Service &service()
{
    static Service instance;
    return instance;
}

void BM_MetrikaCheck(benchmark::State &state)
{
    Service &s = service();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    ServiceExchange bareExchange(log, trace);
    YandexMetrikaClient client(exchange, s.api());
    YandexMetrikaClient bareClient(bareExchange, s.api());
    YandexTrafficCheck check(client);
    SilentPrompt prompt;
    NoProgress progress;
    const QString token = QString::fromLatin1(kToken);
    const QString counterId = QString::number(kCounter);
    const QString bareUrl = YandexTrafficCheck::url(s.api(), kFirstDay, kLastDay, counterId, s.reportUrls.first());

    CheckRatio ratio(kReportRows);
    int filled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ReportTable table(ServiceId::YandexMetrika);
        table.appendRows(s.reportUrls);
        BareExchangeBesideEachRow events([&] { return bareClient.request(token, bareUrl); });
        RunControl run(log, events, prompt, progress);
        run.setTable(1, &table);
        run.registerCheck(1, QStringLiteral("Check YM"), [&](CheckContext &context) {
            check.run(context, table,
                      {counterId, [&] { return token; }, [] { return std::pair{kFirstDay, kLastDay}; }});
        });
        run.markApiConnected();
        s.sim.clearRequests();
        trace.clear();
        state.ResumeTiming();

        ratio.timeRun(state, events, [&] { run.checkUrl(1); });

        state.PauseTiming();
        if (s.sim.requests().size() != size_t(2 * kReportRows) || events.failures > 0) {
            state.SkipWithError("not every row was asked about");
            break;
        }
        filled = 0;
        for (int r = 0; r < table.rowCount(); ++r)
            filled += table.cell(r, 1).isEmpty() ? 0 : 1;
        state.ResumeTiming();
    }
    ratio.report(state);
    state.counters["filled_rows"] = filled;
}
BENCHMARK(BM_MetrikaCheck)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

void BM_MetrikaRowCells(benchmark::State &state)
{
    ExchangeResult answer;
    answer.status = 200;
    answer.body = R"({"query":{"ids":[44147844],"date1":"2024-03-01","date2":"2024-03-31"},)"
                  R"("data":[{"dimensions":[],"metrics":[[310.0],[124.0],[45.4545],[1.2345],[3725.5]]}],)"
                  R"("total_rows":1,"sampled":false,"time_intervals":[["2024-03-01","2024-03-31"]],)"
                  R"("totals":[[310.0],[124.0],[45.4545],[1.2345],[3725.5]]})";
    for (auto _ : state)
        benchmark::DoNotOptimize(YandexTrafficCheck::readAnswer(answer));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MetrikaRowCells)->Unit(benchmark::kMicrosecond);

const std::vector<ExchangeResult> &phrasePages()
{
    static const std::vector<ExchangeResult> pages = [] {
        Service &s = service();
        ActivityLog log;
        RequestTrace trace;
        ServiceExchange exchange(log, trace);
        YandexMetrikaClient client(exchange, s.api());
        std::vector<ExchangeResult> out;
        for (int offset = 1; offset <= kPhrases; offset += YandexSearchPhrases::kPageSize)
            out.push_back(client.request(QString::fromLatin1(kToken),
                                         YandexSearchPhrases::url(s.api(), kFirstDay, kLastDay,
                                                                  QString::number(kCounter), offset)));
        return out;
    }();
    return pages;
}

KeywordTable &phraseTable()
{
    static KeywordTable table({KeywordColumn::left(QStringLiteral("Query")),
                               KeywordColumn::left(QStringLiteral("Visits")),
                               KeywordColumn::right(QStringLiteral("Users")),
                               KeywordColumn::right(QStringLiteral("Bounce Rate")),
                               KeywordColumn::right(QStringLiteral("Page Depth")),
                               KeywordColumn::right(QStringLiteral("Avg Visit Duration Seconds"))});
    return table;
}

void fillPhrases(const std::vector<ExchangeResult> &pages)
{
    std::vector<QStringList> rows;
    for (const ExchangeResult &page : pages) {
        YandexSearchPhrases::Page read = YandexSearchPhrases::readPage(page);
        rows.insert(rows.end(), std::make_move_iterator(read.rows.begin()), std::make_move_iterator(read.rows.end()));
    }
    phraseTable().setRows(std::move(rows));
}

void BM_PhrasesParseAndFill(benchmark::State &state)
{
    const std::vector<ExchangeResult> &pages = phrasePages();
    for (auto _ : state) {
        fillPhrases(pages);
        benchmark::DoNotOptimize(phraseTable().rowCount());
    }
    if (phraseTable().rowCount() != kPhrases)
        state.SkipWithError("the list is not whole");
    state.counters["rows"] = phraseTable().rowCount();
    state.counters["pages"] = double(pages.size());
}
BENCHMARK(BM_PhrasesParseAndFill)->Unit(benchmark::kMillisecond);

void BM_PhrasesExport(benchmark::State &state)
{
    if (phraseTable().rowCount() != kPhrases)
        fillPhrases(phrasePages());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export_yametrika_keywords.csv"));
    for (auto _ : state)
        AtomicCsvFile::write(path, [](CsvWriter &csv) { phraseTable().writeCsv(csv); });
    state.counters["bytes"] = double(QFile(path).size());
    state.counters["rows"] = phraseTable().rowCount();
}
BENCHMARK(BM_PhrasesExport)->Unit(benchmark::kMillisecond);

} // namespace
