// The reports kept across a restart (Veltrano.state), at the tables' size
// limit: five reports of 50 000 rows with every cell filled.
//
// Run from a Release build:  build-bench/bin/bench_saved_state
//
// - BM_CaptureFiveReports: the copy a save takes on the window's thread
//   (the only part of a save the window waits for).
// - BM_SaveFiveReports: the worker's part: encoding and writing the file
//   (temporary file, flush to the disk, rename); file_MB is its size.
// - BM_RestoreFiveReports: reading the file at start into five empty
//   tables, row states included. heap_held_MB is the memory the restored
//   tables hold afterwards (allocated bytes); peak_delta_MB the highest
//   resident memory during the restore above what was there before it, and
//   rss_delta_MB the resident growth (both stay low where the allocator
//   reuses memory an earlier iteration freed).
// - BM_EncodeFiveReports: the encoding alone, without the disk.
// - BM_MetrikaCheckKeepingState/interval_ms: "Check YM" over 10 000 rows
//   against the simulator, the other four reports full, the window's events
//   handed out after every row; interval 0 runs without the keeper, 5000 is
//   the program's interval, 1000 a harsher one. Compare rows_per_s.
// - BM_MetrikaCheckWith503s: the same check where every tenth answer is a
//   503 in Metrika's error object, tried again at once (first delay 0):
//   answered_rows must be every row, failed_rows none.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "reports/SavedState.h"
#include "reports/SavedStateFile.h"
#include "reports/StateKeeper.h"
#include "services/ServiceTable.h"
#include "services/yandex_metrika/YandexMetrikaClient.h"
#include "services/yandex_metrika/YandexTrafficCheck.h"

#include "SimServer.h"
#include "services/ServiceRation.h"
#include "services/TokenRegistry.h"
#include "services/YandexMetrikaModule.h"
#include "support/CheckBenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <memory>

using namespace veltrano;
using namespace benchsupport;
using Module = sim::YandexMetrikaModule;

namespace {

constexpr int kRows = ReportTable::RowLimit;
constexpr int kCheckRows = 10000;
constexpr long long kCounter = 44147844;
const char *const kToken = "bench-token-0123456789";
const QString kFirstDay = QStringLiteral("2024-03-01");
const QString kLastDay = QStringLiteral("2024-03-31");

QString benchUrl(int tab, int i)
{
    return QStringLiteral("https://www.example-shop.com/catalog/section-%1/item-%2-%3.html").arg(i % 97).arg(i).arg(tab);
}

// Cells as the checks write them: figures, repeated words, a title per row.
QStringList filledCells(int columns, int i)
{
    QStringList cells;
    for (int c = 1; c < columns; ++c) {
        switch (c % 4) {
        case 0:
            cells << QStringLiteral("Item %1 - Example Shop: buy online with delivery").arg(i);
            break;
        case 1:
            cells << QString::fromLatin1(i % 3 ? "Yes" : "No");
            break;
        case 2:
            cells << QString::number(i % 9000);
            break;
        default:
            cells << QString::number((i % 1000) / 100.0, 'f', 2);
        }
    }
    return cells;
}

// The five report tables with their run frame, every table full and every
// row answered by a check.
struct Reports {
    ActivityLog log;
    SilentPrompt prompt;
    NoEvents events;
    NoProgress progress;
    RunControl run{log, events, prompt, progress};
    std::vector<std::unique_ptr<ReportTable>> owned;
    std::vector<ReportTable *> tables;

    explicit Reports(bool fill)
    {
        for (int tab = 0; tab < ServiceTable::count(); ++tab) {
            owned.push_back(std::make_unique<ReportTable>(ReportLayout::ofTab(tab)->service()));
            ReportTable *table = owned.back().get();
            tables.push_back(table);
            run.setTable(tab, table);
            if (!fill)
                continue;
            QStringList urls;
            urls.reserve(kRows);
            for (int i = 0; i < kRows; ++i)
                urls << benchUrl(tab, i);
            table->appendRows(urls);
            QHash<QString, RowRunStates::State> states;
            for (int row = 0; row < kRows; ++row) {
                table->setRowCells(row, filledCells(table->columnCount(), row));
                states.insert(urls[row], row % 50 ? RowRunStates::State::Answered : RowRunStates::State::Failed);
            }
            run.rowStates(tab).restore(QStringLiteral("Check"), QStringLiteral("Checks site with account"),
                                       std::move(states));
        }
    }
};

Reports &fullReports()
{
    static Reports reports(true);
    return reports;
}

struct Folder {
    QTemporaryDir dir;
    QString statePath() const { return SavedStateFile::pathIn(dir.path() + QLatin1Char('/')); }
};

Folder &folder()
{
    static Folder f;
    return f;
}

long statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Sets the peak resident memory back to the present one.
void resetPeakRss()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void BM_CaptureFiveReports(benchmark::State &state)
{
    Reports &r = fullReports();
    size_t rows = 0;
    for (auto _ : state) {
        SavedState copy = SavedState::capture(r.tables, r.run);
        rows = 0;
        for (const SavedReport &report : copy.reports)
            rows += report.urls.size();
        benchmark::DoNotOptimize(copy);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_CaptureFiveReports)->Unit(benchmark::kMillisecond);

void BM_EncodeFiveReports(benchmark::State &state)
{
    Reports &r = fullReports();
    const SavedState copy = SavedState::capture(r.tables, r.run);
    qsizetype size = 0;
    for (auto _ : state)
        size = SavedStateFile::encode(copy).size();
    state.counters["file_MB"] = double(size) / (1024.0 * 1024.0);
}
BENCHMARK(BM_EncodeFiveReports)->Unit(benchmark::kMillisecond);

void BM_SaveFiveReports(benchmark::State &state)
{
    Reports &r = fullReports();
    const SavedState copy = SavedState::capture(r.tables, r.run);
    for (auto _ : state)
        SavedStateFile::write(folder().statePath(), copy);
    state.counters["file_MB"] = double(QFile(folder().statePath()).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_SaveFiveReports)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RestoreFiveReports(benchmark::State &state)
{
    {
        Reports &r = fullReports();
        SavedStateFile::write(folder().statePath(), SavedState::capture(r.tables, r.run));
    }
    double rssDelta = 0;
    double peakDelta = 0;
    double heldMb = 0;
    int restoredRows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto empty = std::make_unique<Reports>(false);
        const size_t heapBefore = mallinfo2().uordblks;
        const long rssBefore = statusKb("VmRSS:");
        resetPeakRss();
        state.ResumeTiming();

        StateKeeper keeper(folder().statePath(), empty->tables, empty->run, empty->log);
        const bool restored = keeper.restore();

        state.PauseTiming();
        heldMb = double(mallinfo2().uordblks - heapBefore) / (1024.0 * 1024.0);
        rssDelta = double(statusKb("VmRSS:") - rssBefore) / 1024.0;
        peakDelta = double(statusKb("VmHWM:") - rssBefore) / 1024.0;
        restoredRows = 0;
        for (ReportTable *table : empty->tables)
            restoredRows += table->rowCount();
        if (!restored || restoredRows != 5 * kRows) {
            state.SkipWithError("the reports were not restored");
            break;
        }
        empty.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = restoredRows;
    state.counters["rss_delta_MB"] = rssDelta;
    state.counters["heap_held_MB"] = heldMb;
    state.counters["peak_delta_MB"] = peakDelta;
}
BENCHMARK(BM_RestoreFiveReports)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// ---- during a check -----------------------------------------------------------

// The window's events as the event loop hands them out, after every row.
class LoopEvents final : public EventPump {
public:
    void processPendingEvents() override { QCoreApplication::processEvents(); }
    void keepPainting() override { QCoreApplication::processEvents(); }
};

struct Metrika {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    Module module{tokens};
    std::shared_ptr<sim::ServiceRation> ration =
        std::make_shared<sim::ServiceRation>(sim::ServiceRation::Style::YandexMetrika, "metrika");
    QStringList urls;

    Metrika()
    {
        Module::Counter counter;
        counter.id = kCounter;
        counter.site = "big.example";
        counter.madeUpTraffic = true;
        for (int i = 0; i < kCheckRows; ++i)
            urls << QStringLiteral("https://big.example/catalog/item-%1/").arg(i);
        module.install(sim, module.defaultPrefix());
        ration->install(sim, module.defaultPrefix());
        module.acceptToken(kToken, 1);
        module.setCounters(1, {std::move(counter)});
        if (!sim.start())
            std::abort();
    }
    QString api() const { return QString::fromStdString(sim.baseUrl()) + QStringLiteral("/yandex-metrika"); }
};

Metrika &metrika()
{
    static Metrika instance;
    return instance;
}

struct CheckOutcome {
    double seconds = 0;
    int answered = 0;
    int failed = 0;
    int saves = 0;
};

// One "Check YM" over the Metrika table, the other four reports full, with
// a keeper saving every `interval` (none for 0).
CheckOutcome runMetrikaCheck(int intervalMs)
{
    Metrika &m = metrika();
    Reports &r = fullReports();
    const int tab = ServiceTable::of(ServiceId::YandexMetrika).tab();
    ReportTable table(ServiceId::YandexMetrika);
    table.appendRows(m.urls);
    std::vector<ReportTable *> tables = r.tables;
    tables[size_t(tab)] = &table;

    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    RetryPolicy retry;
    retry.firstDelay = std::chrono::milliseconds(0);
    exchange.setRetryPolicy(retry);
    YandexMetrikaClient client(exchange, m.api());
    YandexTrafficCheck check(client);
    LoopEvents events;
    RunControl &run = r.run;
    // The run frame of the full reports, with this table in the Metrika tab.
    RunControl own(log, events, r.prompt, r.progress);
    for (int t = 0; t < ServiceTable::count(); ++t) {
        own.setTable(t, tables[size_t(t)]);
        if (t != tab)
            own.rowStates(t) = run.rowStates(t);
    }
    const QString token = QString::fromLatin1(kToken);
    const QString counterId = QString::number(kCounter);
    own.registerCheck(tab, QStringLiteral("Check YM"), [&](CheckContext &context) {
        check.run(context, table, {counterId, [&] { return token; }, [] { return std::pair{kFirstDay, kLastDay}; }});
    });
    own.markApiConnected();

    std::unique_ptr<StateKeeper> keeper;
    if (intervalMs > 0) {
        keeper = std::make_unique<StateKeeper>(folder().statePath(), tables, own, log);
        keeper->setInterval(std::chrono::milliseconds(intervalMs));
        keeper->start();
        keeper->saveNow(); // the state before the run is on the disk
    }
    const int savesBefore = keeper ? keeper->savesStarted() : 0;
    const auto started = Clock::now();
    own.checkUrl(tab);
    CheckOutcome outcome;
    outcome.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    outcome.saves = keeper ? keeper->savesStarted() - savesBefore : 0;
    if (keeper)
        keeper->waitForSave();
    const RowRunStates &states = own.rowStates(tab);
    for (int row = 0; row < table.rowCount(); ++row) {
        const RowRunStates::State s = states.state(table.url(row));
        outcome.answered += s == RowRunStates::State::Answered && !table.cell(row, 1).isEmpty() ? 1 : 0;
        outcome.failed += s == RowRunStates::State::Answered ? 0 : 1;
    }
    return outcome;
}

void BM_MetrikaCheckKeepingState(benchmark::State &state)
{
    const int interval = int(state.range(0));
    metrika().ration->reset();
    CheckOutcome last;
    double seconds = 0;
    for (auto _ : state) {
        last = runMetrikaCheck(interval);
        seconds += last.seconds;
        state.SetIterationTime(last.seconds);
    }
    state.counters["rows_per_s"] = kCheckRows * double(state.iterations()) / seconds;
    state.counters["saves_during_check"] = last.saves;
    state.counters["answered_rows"] = last.answered;
}
BENCHMARK(BM_MetrikaCheckKeepingState)
    ->Arg(0)
    ->Arg(5000)
    ->Arg(1000)
    ->ArgName("interval_ms")
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

void BM_MetrikaCheckWith503s(benchmark::State &state)
{
    Metrika &m = metrika();
    m.ration->reset();
    sim::ServiceRation::Settings settings;
    settings.failEvery = 10;
    settings.failBurst = 1;
    settings.failStatus = 503;
    m.ration->setSettings(settings);
    CheckOutcome last;
    for (auto _ : state) {
        last = runMetrikaCheck(StateKeeper::DefaultInterval.count());
        state.SetIterationTime(last.seconds);
    }
    state.counters["rows"] = kCheckRows;
    state.counters["answered_rows"] = last.answered;
    state.counters["failed_rows"] = last.failed;
    state.counters["requests_seen"] = double(m.ration->counts().seen);
    m.ration->reset();
}
BENCHMARK(BM_MetrikaCheckWith503s)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
