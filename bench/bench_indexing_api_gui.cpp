// The Indexing API submission of 20 selected pages against the simulator on
// loopback, with the "Indexation API" window's list as the row sink:
//
// - BM_PublishExchangeOnly: the 20 publish requests alone, as the exchange
//   sends them (the cost of the exchange itself).
// - BM_SubmissionWithoutPause: the whole run with the pause left out: the
//   requests, reading each answer, the list row, the trace and the log. Its
//   time per page minus the one above is what the program adds per page.
// - BM_LongestEventGapDuringRun: the real run, 1200 ms pause included, with
//   the window's own event pump; a 5 ms timer on the window's thread notes
//   when it fires, and the longest gap between two firings is how long the
//   window was unresponsive at most. One iteration takes about 24 s.
//
// Run from a Release build:  build-bench/bin/bench_indexing_api_gui

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/IndexingApiSubmission.h"
#include "ui/desktop/GuiEventPump.h"
#include "ui/services/search_console/IndexingApiWindow.h"

#include "SimServer.h"
#include "services/IndexingApiModule.h"
#include "services/SearchConsoleAccounts.h"
#include "services/TokenRegistry.h"

#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

using namespace veltrano;

namespace {

const char *const kToken = "ya29.bench-indexing-token";
constexpr int kPages = 20;

struct Service {
    sim::SimServer server;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    std::shared_ptr<sim::SearchConsoleAccounts> accounts = std::make_shared<sim::SearchConsoleAccounts>(tokens);
    sim::IndexingApiModule indexing{accounts};

    Service()
    {
        indexing.install(server, indexing.defaultPrefix());
        indexing.setDailyQuota(1LL << 40);
        accounts->acceptToken(kToken, 1, "https://www.googleapis.com/auth/indexing");
        sim::SearchConsoleAccounts::Property owned;
        owned.siteUrl = "https://example.com/";
        accounts->setProperties(1, {owned});
        if (!server.start())
            std::abort();
    }
    GoogleApiClient::Hosts hosts() const
    {
        const QString base = QString::fromStdString(server.baseUrl());
        return {base + "/googleapis", base + "/searchconsole", base + "/indexing"};
    }
};

Service &service()
{
    static Service s;
    return s;
}

QStringList pages()
{
    QStringList urls;
    for (int i = 0; i < kPages; ++i)
        urls << QStringLiteral("https://example.com/catalogue/sofas/page-%1/").arg(i);
    return urls;
}

// The window's pump without the pause.
struct NoPause final : EventPump {
    GuiEventPump gui;
    void processPendingEvents() override { gui.processPendingEvents(); }
    void keepPainting() override { gui.keepPainting(); }
    void pause(std::chrono::milliseconds, const std::function<bool()> &) override {}
};

void BM_PublishExchangeOnly(benchmark::State &state)
{
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    GoogleApiClient client(exchange, service().hosts());
    const QStringList urls = pages();
    for (auto _ : state) {
        for (const QString &url : urls)
            benchmark::DoNotOptimize(client.publishUrlUpdated(QString::fromLatin1(kToken), url));
    }
    // Pages a second (real time); a page takes its inverse.
    state.SetItemsProcessed(state.iterations() * kPages);
}

void BM_SubmissionWithoutPause(benchmark::State &state)
{
    ActivityLog log;
    RequestTrace trace;
    NoPause events;
    ServiceExchange exchange(log, trace, {}, &events);
    GoogleApiClient client(exchange, service().hosts());
    IndexingApiSubmission submission(client);
    IndexingApiWindow window;
    window.show();
    const QStringList urls = pages();
    for (auto _ : state) {
        window.clearRows();
        trace.clear();
        const auto result =
            submission.run(QString::fromLatin1(kToken), urls,
                           {events, [] { return false; }, [&](const IndexingNotification &row) { window.addRow(row); },
                            [&] { window.advanceProgress(); }});
        if (result.outcome != IndexingApiSubmission::Outcome::Completed || window.rowCount() != kPages)
            std::abort();
    }
    // Pages a second (real time); a page takes its inverse.
    state.SetItemsProcessed(state.iterations() * kPages);
}

void BM_LongestEventGapDuringRun(benchmark::State &state)
{
    ActivityLog log;
    RequestTrace trace;
    GuiEventPump events;
    ServiceExchange exchange(log, trace, {}, &events);
    GoogleApiClient client(exchange, service().hosts());
    IndexingApiSubmission submission(client);
    IndexingApiWindow window;
    window.show();
    const QStringList urls = pages();
    double longestGapMs = 0;
    double overheadPerPageMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 last = -1;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setInterval(5);
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (last >= 0)
                longest = std::max(longest, now - last);
            last = now;
        });
        clock.start();
        ticker.start();
        const auto result =
            submission.run(QString::fromLatin1(kToken), urls,
                           {events, [] { return false; }, [&](const IndexingNotification &row) { window.addRow(row); },
                            [&] { window.advanceProgress(); }});
        const qint64 total = clock.nsecsElapsed();
        ticker.stop();
        if (result.outcome != IndexingApiSubmission::Outcome::Completed)
            std::abort();
        longestGapMs = std::max(longestGapMs, double(longest) / 1e6);
        overheadPerPageMs = (double(total) / 1e6 - kPages * double(IndexingApiSubmission::kPause.count())) / kPages;
    }
    state.counters["longest_event_gap_ms"] = longestGapMs;
    // Beyond the pause: the exchange and what the program adds.
    state.counters["per_page_beyond_pause_ms"] = overheadPerPageMs;
}

} // namespace

BENCHMARK(BM_PublishExchangeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SubmissionWithoutPause)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LongestEventGapDuringRun)->Unit(benchmark::kMillisecond)->Iterations(1);
