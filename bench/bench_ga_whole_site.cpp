// "Check GA (whole site)" against a big site, with the simulator answering
// after 100 ms as a real service does:
// - BM_CheckGa4WholeSite: 50 000 rows against a GA4 property whose report by
//   page holds 60 000 pages (runReport, 250 000 rows an answer).
// - BM_CheckGaViewWholeSite: the same list against a Universal Analytics
//   view of 60 000 pages (10 000 rows an answer, the v3 API's most).
// Counters: the requests one run sent and the rows that matched a page.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/AnalyticsSiteCheck.h"
#include "services/analytics/Ga4Client.h"
#include "services/analytics/Ga4SiteCheck.h"

#include "SimServer.h"
#include "services/AnalyticsDataModule.h"
#include "services/AnalyticsModule.h"
#include "services/Ga4Accounts.h"
#include "services/TokenRegistry.h"
#include "support/CheckBenchSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace veltrano;
using namespace benchsupport;

namespace {

constexpr long long kUser = 5151;
constexpr int kReportPages = 60000;
constexpr int kListRows = 50000;
constexpr int kLatencyMs = 100;
const char *const kToken = "ya29.bench-ga";
constexpr qint64 kPropertyId = 400000001;
constexpr qint64 kViewId = 500000001;

sim::AnalyticsModule::PageTotals totalsOf(int i)
{
    sim::AnalyticsModule::PageTotals t;
    t.sessions = 10 + i % 90;
    t.users = 5 + i % 50;
    t.pageviews = t.sessions * 2;
    t.pageviewsPerSession = 2;
    t.avgSessionDuration = 30 + i % 100;
    t.bounceRate = 40;
    return t;
}

std::string pathOf(int i)
{
    return "/catalogue/item-" + std::to_string(i) + "/";
}

struct Service {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    std::shared_ptr<sim::Ga4Accounts> ga4 = std::make_shared<sim::Ga4Accounts>(tokens);
    sim::AnalyticsDataModule data{ga4};
    sim::AnalyticsModule v3{tokens};

    Service()
    {
        data.install(sim, "/analyticsdata");
        v3.install(sim, "/googleapis");
        sim::Ga4Accounts::Property property;
        property.id = std::to_string(kPropertyId);
        property.name = "big.example";
        sim::AnalyticsModule::View view;
        view.id = std::to_string(kViewId);
        view.name = "All Web Site Data";
        for (int i = 0; i < kReportPages; ++i) {
            property.pages.emplace(pathOf(i), totalsOf(i));
            view.pages.emplace(pathOf(i), totalsOf(i));
        }
        sim::Ga4Accounts::Settings quota;
        quota.tokensPerHour = quota.tokensPerDay = 1LL << 40;
        ga4->setSettings(quota);
        ga4->setAccounts(kUser, {{"100001", "Big", {property}}});
        v3.acceptToken(kToken, kUser);
        v3.setAccounts(kUser, {{"200001", "Big", {{"UA-200001-1", "300001", "big.example", "https://big.example", {view}}}}});
        sim.setLatency("/analyticsdata", kLatencyMs);
        sim.setLatency("/googleapis", kLatencyMs);
        if (!sim.start())
            std::abort();
    }
    QString base() const { return QString::fromStdString(sim.baseUrl()); }
};

Service &service()
{
    static Service instance;
    return instance;
}

QStringList listRows()
{
    QStringList rows;
    rows.reserve(kListRows);
    for (int i = 0; i < kListRows; ++i)
        rows << QStringLiteral("https://big.example") + QString::fromStdString(pathOf(int(qint64(i) * kReportPages / kListRows)));
    return rows;
}

// Runs one whole-site check over a fresh table of the list; counts what the
// simulator received under path.
template <typename Check>
void runWholeSite(benchmark::State &state, const std::string &path, Check &&runCheck)
{
    Service &s = service();
    const QStringList rows = listRows();
    ActivityLog log;
    SilentPrompt prompt;
    NoProgress progress;
    NoEvents events;
    size_t requests = 0;
    int matched = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = s.sim.requestsTo(path).size();
        ReportTable table(ServiceId::Analytics);
        table.appendRows(rows);
        RunControl run(log, events, prompt, progress);
        run.setTable(3, &table);
        run.registerCheck(3, QStringLiteral("Check GA (whole site)"),
                          [&](CheckContext &context) { runCheck(context, table); });
        run.markApiConnected();
        state.ResumeTiming();
        run.runCheck(3, 0);
        state.PauseTiming();
        requests = s.sim.requestsTo(path).size() - before;
        matched = 0;
        for (int i = 0; i < table.rowCount(); ++i)
            matched += table.cell(i, 1) != QLatin1String("0") && !table.cell(i, 1).isEmpty();
        if (!run.flags().reportDataReady)
            state.SkipWithError("the check did not run through");
        state.ResumeTiming();
    }
    state.counters["requests"] = double(requests);
    state.counters["rows_matched"] = matched;
}

void BM_CheckGa4WholeSite(benchmark::State &state)
{
    Service &s = service();
    RequestTrace trace;
    ActivityLog log;
    ServiceExchange exchange(log, trace);
    Ga4Client client(exchange, {s.base() + "/analyticsadmin", s.base() + "/analyticsdata"});
    Ga4SiteCheck check(client);
    runWholeSite(state, "/analyticsdata/v1beta/properties/" + std::to_string(kPropertyId) + ":runReport",
                 [&](CheckContext &context, ReportTable &table) {
                     check.run(context, table, {kPropertyId, QStringLiteral("2026-11-01"),
                                                QStringLiteral("2026-11-30"), [] { return QString::fromLatin1(kToken); }});
                 });
}
BENCHMARK(BM_CheckGa4WholeSite)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_CheckGaViewWholeSite(benchmark::State &state)
{
    Service &s = service();
    RequestTrace trace;
    ActivityLog log;
    ServiceExchange exchange(log, trace);
    AnalyticsClient client(exchange, s.base() + "/googleapis");
    AnalyticsSiteCheck check(client);
    runWholeSite(state, "/googleapis/analytics/v3/data/ga", [&](CheckContext &context, ReportTable &table) {
        check.run(context, table,
                  {kViewId, QStringLiteral("2026-11-01"), QStringLiteral("2026-11-30"),
                   [] { return QString::fromLatin1(kToken); }, QStringLiteral("https://big.example")});
    });
}
BENCHMARK(BM_CheckGaViewWholeSite)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
