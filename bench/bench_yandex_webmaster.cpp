// The Yandex Webmaster indexing check at the report's size limit: a site
// with 50 000 pages in Yandex's search index and a report of 50 000 URLs
// (45 000 of them indexed, 5 000 not), against the in-process simulator on
// loopback.
//
// Run from a Release build:  build-bench/bin/bench_yandex_webmaster
//
// - BM_IndexingCheck/whole: "Check URL" from start to end: 501 pages of
//   samples (100 each, the last one empty), two requests per page, then the
//   marking of every row.
// - BM_IndexingCheck/marking: the marking alone, timed from the moment the
//   check sets the progress bar to the row count until the last row is
//   marked (each row looked up among the indexed URLs, its two cells
//   written, the bar advanced). The counter marking_cpu_ms is the processor
//   time the marking took, which other work on a shared machine disturbs
//   far less than the wall-clock time.
//
// Every iteration opens about 1 000 connections that then wait out
// TIME_WAIT, so the iteration count is fixed and small.
//
// - BM_UrlKey: the key that rows and samples are matched by, for 50 000
//   addresses: "plain" as the service lists an ASCII site (each address is
//   its own key), "cyrillic" as people write an international one (Cyrillic
//   host and path, every key built anew).

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "net/UrlKey.h"
#include "reports/ReportTable.h"
#include "services/yandex_webmaster/YandexIndexingCheck.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

#include "SimServer.h"
#include "services/TokenRegistry.h"
#include "services/YandexWebmasterModule.h"

#include <QUrl>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>

using namespace veltrano;
using Clock = std::chrono::steady_clock;
using Module = sim::YandexWebmasterModule;

namespace {

constexpr long long kUserId = 4242;
constexpr int kIndexedPages = 50000;
constexpr int kReportRows = 50000;
constexpr int kMissingRows = 5000;
constexpr benchmark::IterationCount kChecks = 3;
const char *const kToken = "bench-token";
const QString kHostId = QStringLiteral("https:big.example:443");

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

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Notes when the marking starts (the check sets the bar to the row count)
// and when the bar reaches its end.
class MarkingClock final : public ProgressReporter {
public:
    void setMaximum(int maximum) override
    {
        m_maximum = maximum;
        m_start = Clock::now();
        m_cpuStart = threadCpuSeconds();
    }
    void setPosition(int position) override
    {
        if (position == m_maximum && position > 0) {
            m_end = Clock::now();
            m_cpuEnd = threadCpuSeconds();
        }
    }
    double seconds() const { return std::chrono::duration<double>(m_end - m_start).count(); }
    double cpuSeconds() const { return m_cpuEnd - m_cpuStart; }

private:
    int m_maximum = 0;
    Clock::time_point m_start;
    Clock::time_point m_end;
    double m_cpuStart = 0;
    double m_cpuEnd = 0;
};

struct Service {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    Module module{tokens};
    QStringList reportUrls;

    Service()
    {
        Module::Site site = Module::generatedSite(kHostId.toStdString(), "https://big.example/", "https://big.example/",
                                                  kIndexedPages, 0);
        // The report: indexed pages in an order of their own, then pages the
        // index does not know.
        reportUrls.reserve(kReportRows);
        for (int i = 0; i < kReportRows - kMissingRows; ++i)
            reportUrls << QString::fromStdString(site.pages[size_t((i * 7919) % kIndexedPages)].url);
        reportUrls.removeDuplicates();
        for (int i = 0; reportUrls.size() < kReportRows; ++i)
            reportUrls << QStringLiteral("https://big.example/not-indexed/%1/").arg(i);

        module.install(sim, module.defaultPrefix());
        module.acceptToken(kToken, kUserId);
        module.setSites(kUserId, {std::move(site)});
        if (!sim.start())
            std::abort();
    }
};

Service &service()
{
    static Service instance;
    return instance;
}

void BM_IndexingCheck(benchmark::State &state)
{
    const bool markingOnly = state.range(0) == 1;
    Service &s = service();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    YandexWebmasterClient client(exchange,
                                 QString::fromStdString(s.sim.baseUrl()) + QStringLiteral("/yandex-webmaster"));
    YandexIndexingCheck check(client);
    SilentPrompt prompt;
    NoEvents events;
    MarkingClock marking;
    const QString token = QString::fromLatin1(kToken);

    int yes = 0;
    double markingCpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ReportTable table(ServiceId::YandexWebmaster);
        table.appendRows(s.reportUrls);
        RunControl run(log, events, prompt, marking);
        run.setTable(0, &table);
        run.registerCheck(0, QStringLiteral("Get URLs YWM"),
                          [&](CheckContext &context) { check.run(context, table, kHostId, &token); });
        run.markApiConnected();
        s.sim.clearRequests();
        state.ResumeTiming();

        const auto started = Clock::now();
        run.checkUrl(0);
        const double whole = std::chrono::duration<double>(Clock::now() - started).count();
        state.SetIterationTime(markingOnly ? marking.seconds() : whole);
        markingCpu += marking.cpuSeconds();

        state.PauseTiming();
        if (!run.flags().reportDataReady || table.rowCount() != kReportRows) {
            state.SkipWithError("the check did not run through");
            break;
        }
        yes = 0;
        for (int r = 0; r < table.rowCount(); ++r)
            yes += table.cell(r, 1) == QLatin1String("Yes") ? 1 : 0;
        state.counters["requests"] = double(s.sim.requests().size());
        state.ResumeTiming();
    }
    state.counters["rows"] = kReportRows;
    state.counters["indexed_rows"] = yes;
    state.counters["marking_cpu_ms"] = benchmark::Counter(markingCpu * 1000.0, benchmark::Counter::kAvgIterations);
    state.SetLabel(markingOnly ? "marking" : "whole");
}
BENCHMARK(BM_IndexingCheck)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("marking")
    ->UseManualTime()
    ->Iterations(kChecks)
    ->Unit(benchmark::kMillisecond);

void BM_UrlKey(benchmark::State &state)
{
    const bool cyrillic = state.range(0) == 1;
    const Module::Site site = cyrillic ? Module::generatedSite("https:xn--e1afmkfd.xn--p1ai:443",
                                                               "https://xn--e1afmkfd.xn--p1ai/", "https://пример.рф/",
                                                               kIndexedPages, 0)
                                       : Module::generatedSite(kHostId.toStdString(), "https://big.example/",
                                                               "https://big.example/", kIndexedPages, 0);
    QStringList urls;
    urls.reserve(kIndexedPages);
    for (const Module::Page &page : site.pages) {
        const QString url = QString::fromStdString(page.url);
        // People write the international site with its own letters.
        urls << (cyrillic ? QUrl::fromPercentEncoding(url.toUtf8()).replace(QStringLiteral("xn--e1afmkfd.xn--p1ai"),
                                                                            QStringLiteral("пример.рф"))
                          : url);
    }
    qsizetype length = 0;
    for (auto _ : state) {
        for (const QString &url : urls)
            length += UrlKey::of(url).size();
        benchmark::DoNotOptimize(length);
    }
    state.SetItemsProcessed(state.iterations() * urls.size());
    state.SetLabel(cyrillic ? "cyrillic" : "plain");
}
BENCHMARK(BM_UrlKey)->Arg(0)->Arg(1)->ArgName("cyrillic")->Unit(benchmark::kMillisecond);

} // namespace
