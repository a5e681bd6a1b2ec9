// Page-by-page checks with several requests in flight ("Parallel requests"),
// against the in-process simulator on loopback.
//
// Run from a Release build:  build-bench/bin/bench_parallel_rows
//
// - BM_RowsAt100ms/<parallel>: the row loop of every page-by-page check
//   (CheckContext::forEachRow over RowWork) with the real exchange
//   (ServiceExchange, HttpClient) against a simulator that answers each
//   request 100 ms late, as a real service would; a service without a
//   per-minute limit. Rows per second with 1 and with 4 requests in flight.
// - BM_UrlInspectionPaced: "URL Inspection API" with 4 in flight against a
//   quota of URL Inspection's rate (10 requests in each window of 1 s: 600 a
//   minute); requests a minute reached and requests the quota refused.
// - BM_OwnCostPerRow: the program's own cost of a row in a run with 4 in
//   flight: build, hand-over to a worker, two held log and trace lines, the
//   apply writing the row's cells and the run state; no network.
// - BM_CancelInFlight: "Cancel" with 4 requests in flight on a silent
//   server: time from the click to the end of the run.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/SearchConsoleInspectionCheck.h"
#include "services/search_console/SearchConsoleProperties.h"

#include "SimServer.h"
#include "services/SearchConsoleAccounts.h"
#include "services/ServiceRation.h"
#include "services/TokenRegistry.h"
#include "services/UrlInspectionModule.h"
#include "support/CheckBenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <thread>

using namespace veltrano;
using namespace benchsupport;

namespace {

constexpr int kTab = 2;

// What a run needs around a check: the log, the trace, the run frame and a
// table of rows.
struct Frame {
    ActivityLog log;
    RequestTrace trace;
    SilentPrompt prompt;
    NoProgress progress;
    NoEvents events;
    RunControl run{log, events, prompt, progress};
    ReportTable table{ServiceId::SearchConsole};

    Frame(int rows, int parallel)
    {
        QStringList urls;
        for (int i = 0; i < rows; ++i)
            urls << QStringLiteral("https://example.com/page/%1").arg(i);
        table.appendRows(urls);
        run.setTable(kTab, &table);
        run.markApiConnected();
        run.setParallelRequests(parallel);
    }
    void runCheck(const std::function<void(CheckContext &)> &check)
    {
        run.clearChecks(kTab);
        run.registerCheck(kTab, QStringLiteral("check"), check);
        run.runCheck(kTab, 0);
    }
};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_RowsAt100ms(benchmark::State &state)
{
    const int parallel = int(state.range(0));
    constexpr int kRows = 80;
    sim::SimServer sim;
    sim::Response late = sim::Response::json(R"({"rows": []})");
    late.delayMs = 100;
    sim.setResponse("GET", "/page", late);
    sim.start();
    const QString url = QString::fromStdString(sim.baseUrl()) + QStringLiteral("/page");
    double seconds = 0;
    for (auto _ : state) {
        Frame f(kRows, parallel);
        ServiceExchange exchange(f.log, f.trace);
        const auto started = Clock::now();
        f.runCheck([&](CheckContext &context) {
            context.forEachRow(kRows, RequestLimits{}, [&](int row) {
                const QString page = url + QStringLiteral("?row=%1").arg(row);
                return RowWork::of(
                    [&exchange, page] { return exchange.get(QStringLiteral("Bench - HTTP Code: "), page, {}); },
                    [&f, row](const ExchangeResult &answer) {
                        f.table.setRowCells(row, {QString::number(answer.status)});
                        return RowStep::Next;
                    });
            });
        });
        seconds += secondsSince(started);
        sim.clearRequests();
    }
    state.counters["rows_per_s"] = kRows * double(state.iterations()) / seconds;
    state.counters["parallel"] = parallel;
}
BENCHMARK(BM_RowsAt100ms)->Arg(1)->Arg(4)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UrlInspectionPaced(benchmark::State &state)
{
    constexpr int kRows = 100;
    using Accounts = sim::SearchConsoleAccounts;
    auto tokens = std::make_shared<sim::TokenRegistry>();
    auto accounts = std::make_shared<Accounts>(tokens);
    sim::UrlInspectionModule inspection{accounts};
    sim::SimServer sim;
    inspection.install(sim, inspection.defaultPrefix());
    const auto ration = std::make_shared<sim::ServiceRation>(sim::ServiceRation::Style::GoogleWithErrorsList,
                                                             "searchconsole.googleapis.com");
    ration->install(sim, "/searchconsole");
    accounts->acceptToken("ya29.bench", 1);
    Accounts::Property property;
    property.siteUrl = "https://example.com/";
    accounts->setProperties(1, {property});
    sim.start();
    const QString base = QString::fromStdString(sim.baseUrl());
    double perMinute = 0;
    long long refused = 0;
    for (auto _ : state) {
        sim::ServiceRation::Settings quota;
        quota.perMinute = 10; // URL Inspection's 600 a minute, in windows of one second
        quota.minuteMs = 1000;
        ration->reset();
        ration->setSettings(quota);
        Frame f(kRows, 4);
        ServiceExchange exchange(f.log, f.trace);
        GoogleApiClient client(exchange, {base + "/googleapis", base + "/searchconsole", base + "/indexing"});
        SearchConsoleInspectionCheck check(client);
        const SearchConsoleProperty site{QStringLiteral("https://example.com/"),
                                         QStringLiteral("https%3A%2F%2Fexample.com%2F")};
        const QString token = QStringLiteral("ya29.bench");
        const auto started = Clock::now();
        f.runCheck([&](CheckContext &context) { check.run(context, f.table, &site, &token); });
        const double seconds = secondsSince(started);
        perMinute = double(ration->counts().seen) / seconds * 60;
        refused += ration->counts().seen - ration->counts().today;
    }
    state.counters["requests_per_minute"] = perMinute;
    state.counters["refused_429"] = double(refused);
}
BENCHMARK(BM_UrlInspectionPaced)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OwnCostPerRow(benchmark::State &state)
{
    constexpr int kRows = 20000;
    double seconds = 0;
    for (auto _ : state) {
        Frame f(kRows, 4);
        const auto started = Clock::now();
        f.runCheck([&](CheckContext &context) {
            std::vector<int> all(kRows);
            std::iota(all.begin(), all.end(), 0);
            const std::vector<int> rows = context.rowsToCheck(all, [&](int row) { return f.table.url(row); });
            context.forEachRow(kRows, RequestLimits{}, [&](int row) {
                const QString page = f.table.url(row);
                return RowWork::of(
                    [&f, page] {
                        f.log.addToLog(QStringLiteral("Bench - HTTP Code: 200 OK"));
                        f.trace.add(QString());
                        f.trace.add(page);
                        return page.size();
                    },
                    [&f, row](qsizetype size) {
                        f.table.setRowCells(row, {QStringLiteral("Yes"), QString::number(size)});
                        return RowStep::Next;
                    });
            });
        });
        seconds += secondsSince(started);
        f.trace.clear();
    }
    state.counters["us_per_row"] = seconds / (double(kRows) * double(state.iterations())) * 1e6;
}
BENCHMARK(BM_OwnCostPerRow)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Cancels once the run has had time to put its requests in flight.
class CancelAfter final : public EventPump {
public:
    CancelAfter(RunControl *&run, std::chrono::milliseconds after) : m_run(run), m_after(after) {}
    void processPendingEvents() override
    {
        if (!m_started.time_since_epoch().count())
            m_started = Clock::now();
        if (!clicked.time_since_epoch().count() && Clock::now() - m_started >= m_after) {
            clicked = Clock::now();
            m_run->cancelClicked();
        }
    }
    void keepPainting() override {}
    Clock::time_point clicked{};

private:
    RunControl *&m_run;
    std::chrono::milliseconds m_after;
    Clock::time_point m_started{};
};

void BM_CancelInFlight(benchmark::State &state)
{
    sim::SimServer sim;
    sim::Response silent;
    silent.fault = sim::Fault::NeverAnswer;
    sim.setResponse("GET", "/page", silent);
    sim.start();
    const QString url = QString::fromStdString(sim.baseUrl()) + QStringLiteral("/page");
    double worstMs = 0;
    for (auto _ : state) {
        ActivityLog log;
        RequestTrace trace;
        SilentPrompt prompt;
        NoProgress progress;
        RunControl *runPointer = nullptr;
        CancelAfter events(runPointer, std::chrono::milliseconds(300));
        RunControl run(log, events, prompt, progress);
        runPointer = &run;
        ReportTable table{ServiceId::SearchConsole};
        QStringList urls;
        for (int i = 0; i < 16; ++i)
            urls << QStringLiteral("https://example.com/page/%1").arg(i);
        table.appendRows(urls);
        run.setTable(kTab, &table);
        run.markApiConnected();
        run.setParallelRequests(4);
        ServiceExchange exchange(log, trace);
        run.registerCheck(kTab, QStringLiteral("check"), [&](CheckContext &context) {
            context.forEachRow(16, RequestLimits{}, [&](int row) {
                const QString page = url + QStringLiteral("?row=%1").arg(row);
                return RowWork::of(
                    [&exchange, page] { return exchange.get(QStringLiteral("Bench - HTTP Code: "), page, {}); },
                    [](const ExchangeResult &) { return RowStep::Next; });
            });
        });
        run.runCheck(kTab, 0);
        worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(Clock::now() - events.clicked).count());
    }
    state.counters["cancel_to_end_ms"] = worstMs;
}
BENCHMARK(BM_CancelInFlight)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
