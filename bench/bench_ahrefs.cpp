// "Check URL" on the Ahrefs report at the report's size limit: 50 000 rows,
// one request each (45 000 pages Ahrefs knows, 5 000 it does not), against
// the in-process simulator on loopback.
//
// Run from a Release build:  build-bench/bin/bench_ahrefs
//
// - BM_AhrefsCheck/bare: the 50 000 requests alone, through the same client,
//   each answer only received;
// - BM_AhrefsCheck/check: the whole check: the same requests, each answer
//   traced, read and written into its row, the bar advanced.
// bare / check is the share of the check's time that is the exchanges
// themselves.
//
// Each iteration opens 50 000 connections that then wait out TIME_WAIT, so
// the iteration count is fixed and small.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/ahrefs/AhrefsClient.h"
#include "services/ahrefs/AhrefsUrlCheck.h"

#include "SimServer.h"
#include "services/AhrefsModule.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace veltrano;
using Clock = std::chrono::steady_clock;
using Module = sim::AhrefsModule;

namespace {

constexpr int kKnownPages = 45000;
constexpr int kReportRows = 50000;
constexpr benchmark::IterationCount kRuns = 2;
const char *const kToken = "bench-token-0123456789";

class SilentPrompt final : public MessagePrompt {
public:
    void show(Icon, const QString &, const QString &) override {}
    bool ask(const QString &, const QString &) override { return false; }
};

class NoEvents final : public EventPump {
public:
    void processPendingEvents() override {}
    void keepPainting() override {}
};

class NoProgress final : public ProgressReporter {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
};

struct Service {
    sim::SimServer sim;
    Module module;
    QStringList reportUrls;

    Service()
    {
        Module::Site site = Module::generatedSite("big.example", kKnownPages, 0, "2024-03-31", 0);
        for (const Module::Page &page : site.pages)
            reportUrls << QString::fromStdString(page.url);
        for (int i = 0; reportUrls.size() < kReportRows; ++i)
            reportUrls << QStringLiteral("https://big.example/not-crawled/%1/").arg(i);
        module.install(sim, module.defaultPrefix());
        module.acceptToken(kToken, 1e12);
        module.setSites({std::move(site)});
        if (!sim.start())
            std::abort();
    }
};

Service &service()
{
    static Service instance;
    return instance;
}

void BM_AhrefsCheck(benchmark::State &state)
{
    const bool bare = state.range(0) == 0;
    Service &s = service();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    AhrefsClient client(exchange, QString::fromStdString(s.sim.baseUrl()) + QStringLiteral("/ahrefs"));
    AhrefsUrlCheck check(client);
    SilentPrompt prompt;
    NoEvents events;
    NoProgress progress;
    const QString token = QString::fromLatin1(kToken);

    int yes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ReportTable table(ServiceId::Ahrefs);
        table.appendRows(s.reportUrls);
        RunControl run(log, events, prompt, progress);
        run.setTable(4, &table);
        run.registerCheck(4, QStringLiteral("Check Ahrefs"), [&](CheckContext &context) {
            check.run(context, table, {token, QStringLiteral("big.example"), [&] { return token; }});
        });
        run.markApiConnected();
        s.sim.clearRequests();
        state.ResumeTiming();

        const auto started = Clock::now();
        if (bare) {
            for (const QString &url : std::as_const(s.reportUrls))
                benchmark::DoNotOptimize(client.request(AhrefsUrlCheck::query(url), token));
        } else {
            run.checkUrl(4);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());

        state.PauseTiming();
        if (s.sim.requests().size() != size_t(kReportRows)) {
            state.SkipWithError("not every row was asked about");
            break;
        }
        if (!bare) {
            yes = 0;
            for (int r = 0; r < table.rowCount(); ++r)
                yes += table.cell(r, 1) == QLatin1String("Yes") ? 1 : 0;
        }
        state.ResumeTiming();
    }
    state.counters["rows"] = kReportRows;
    if (!bare)
        state.counters["found_rows"] = yes;
    state.SetLabel(bare ? "bare" : "check");
}
BENCHMARK(BM_AhrefsCheck)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("check")
    ->UseManualTime()
    ->Iterations(kRuns)
    ->Unit(benchmark::kMillisecond);

} // namespace
