// "Check URL" on the Ahrefs report with API v3 at the report's size limit:
// 50 000 rows (45 000 pages Ahrefs has crawled, 5 000 it has not), against
// the in-process simulator on loopback. A crawled page takes two requests
// (crawled-pages, then backlinks-stats), a page Ahrefs lacks one: 95 000
// exchanges a run.
//
// Run from a Release build:  build-bench/bin/bench_ahrefs_v3
//
// - BM_AhrefsV3Check/bare: the same 95 000 requests alone, through the same
//   client, each answer only received;
// - BM_AhrefsV3Check/check: the whole check: the same requests, each answer
//   traced, read, its units added up and written into its row.
// bare / check is the share of the check's time that is the exchanges
// themselves.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/ahrefs/AhrefsV3Client.h"
#include "services/ahrefs/AhrefsV3UrlCheck.h"

#include "SimServer.h"
#include "services/AhrefsModule.h"
#include "services/AhrefsV3Module.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace veltrano;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kKnownPages = 45000;
constexpr int kReportRows = 50000;
constexpr size_t kRequests = size_t(kKnownPages) * 2 + (kReportRows - kKnownPages);
constexpr benchmark::IterationCount kRuns = 1;
const char *const kKey = "bench-v3-key-0123456789";
const QDate kToday(2024, 3, 31);

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
    sim::AhrefsV3Module module;
    QStringList reportUrls;
    QStringList knownUrls;

    Service()
    {
        sim::AhrefsModule::Site site = sim::AhrefsModule::generatedSite("big.example", kKnownPages, 0, "2024-03-31", 0);
        for (const auto &page : site.pages)
            knownUrls << QString::fromStdString(page.url);
        reportUrls = knownUrls;
        for (int i = 0; reportUrls.size() < kReportRows; ++i)
            reportUrls << QStringLiteral("https://big.example/not-crawled/%1/").arg(i);
        module.install(sim, module.defaultPrefix());
        module.acceptKey(kKey);
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

void BM_AhrefsV3Check(benchmark::State &state)
{
    const bool bare = state.range(0) == 0;
    Service &s = service();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    AhrefsV3Client client(exchange, QString::fromStdString(s.sim.baseUrl()) + QStringLiteral("/ahrefs-v3"));
    AhrefsV3UrlCheck check(client);
    check.setToday([] { return kToday; });
    SilentPrompt prompt;
    NoEvents events;
    NoProgress progress;
    const QString key = QString::fromLatin1(kKey);

    int yes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ReportTable table(ServiceId::Ahrefs);
        table.appendRows(s.reportUrls);
        RunControl run(log, events, prompt, progress);
        run.setTable(4, &table);
        run.registerCheck(4, QStringLiteral("Check Ahrefs"), [&](CheckContext &context) {
            check.run(context, table, {key, QStringLiteral("big.example")});
        });
        run.markApiConnected();
        s.sim.clearRequests();
        state.ResumeTiming();

        const auto started = Clock::now();
        if (bare) {
            for (const QString &url : std::as_const(s.knownUrls)) {
                benchmark::DoNotOptimize(client.request(AhrefsV3UrlCheck::pageQuery(url), key));
                benchmark::DoNotOptimize(client.request(AhrefsV3UrlCheck::linksQuery(url, kToday), key));
            }
            for (qsizetype i = s.knownUrls.size(); i < s.reportUrls.size(); ++i)
                benchmark::DoNotOptimize(client.request(AhrefsV3UrlCheck::pageQuery(s.reportUrls[i]), key));
        } else {
            run.checkUrl(4);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());

        state.PauseTiming();
        if (s.sim.requestCount() != kRequests) {
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
    state.counters["requests"] = double(kRequests);
    if (!bare)
        state.counters["found_rows"] = yes;
    state.SetLabel(bare ? "bare" : "check");
}
BENCHMARK(BM_AhrefsV3Check)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("check")
    ->UseManualTime()
    ->Iterations(kRuns)
    ->Unit(benchmark::kMillisecond);

} // namespace
