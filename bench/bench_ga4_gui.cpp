// Google Analytics 4 in the program, against the simulated Admin and Data
// APIs:
// - BM_CheckGa4: "Check GA" on a GA4 property over 50 000 rows, each
//   answered with the same documented runReport answer, beside a bare POST
//   of the same request for each row; reports the check's rows per second
//   against the bare exchanges' ("ratio").
// - BM_Ga4SummariesConnect: the account summaries of 1 000 accounts of 5 GA4
//   properties each, read page by page (200 accounts a page) and shown in
//   the account list, as a connect does.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsSummary.h"
#include "services/analytics/Ga4AccountSummaries.h"
#include "services/analytics/Ga4Client.h"
#include "services/analytics/Ga4PageCheck.h"

#include "SimServer.h"
#include "services/AnalyticsAdminModule.h"
#include "services/AnalyticsDataModule.h"
#include "services/AnalyticsModule.h"
#include "services/Ga4Accounts.h"
#include "services/TokenRegistry.h"
#include "support/CheckBenchSupport.h"

#include <QComboBox>

#include <benchmark/benchmark.h>

#include <memory>

using namespace veltrano;
using namespace benchsupport;

namespace {

constexpr long long kUser = 4444;
constexpr int kReportRows = 50000;
constexpr qint64 kPropertyId = 213025502;
const char *const kToken = "ya29.bench-ga4";
const std::string kReportPath = "/analyticsdata/v1beta/properties/213025502:runReport";

// A page's report as Google documents it: every value a text.
const char *const kPageAnswer = R"({
  "dimensionHeaders": [],
  "metricHeaders": [
    {"name": "totalUsers", "type": "TYPE_INTEGER"},
    {"name": "screenPageViews", "type": "TYPE_INTEGER"},
    {"name": "sessions", "type": "TYPE_INTEGER"},
    {"name": "averageSessionDuration", "type": "TYPE_SECONDS"},
    {"name": "screenPageViewsPerSession", "type": "TYPE_FLOAT"},
    {"name": "bounceRate", "type": "TYPE_FLOAT"}
  ],
  "rows": [{"metricValues": [{"value": "1203"}, {"value": "3400"}, {"value": "1500"},
                             {"value": "125.48611111111111"}, {"value": "2.2666666666666666"},
                             {"value": "0.45454545454545453"}]}],
  "rowCount": 1,
  "metadata": {"currencyCode": "USD", "timeZone": "America/Los_Angeles"},
  "propertyQuota": {"tokensPerDay": {"consumed": 3, "remaining": 199982},
                    "tokensPerHour": {"consumed": 3, "remaining": 39982}},
  "kind": "analyticsData#runReport"
}
)";

struct Service {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    std::shared_ptr<sim::Ga4Accounts> accounts = std::make_shared<sim::Ga4Accounts>(tokens);
    sim::AnalyticsAdminModule admin{accounts};
    sim::AnalyticsDataModule data{accounts};
    QStringList reportUrls;

    Service()
    {
        admin.install(sim, "/analyticsadmin");
        data.install(sim, "/analyticsdata");
        sim::AnalyticsModule(tokens).acceptToken(kToken, kUser);
        accounts->setAccounts(kUser, sim::Ga4Accounts::generated(1000, 5));
        if (!sim.start())
            std::abort();
        reportUrls.reserve(kReportRows);
        for (int i = 0; i < kReportRows; ++i)
            reportUrls << QStringLiteral("https://big.example/catalogue/item-%1/").arg(i);
    }
    Ga4Client::Hosts hosts() const
    {
        const QString base = QString::fromStdString(sim.baseUrl());
        return {base + QStringLiteral("/analyticsadmin"), base + QStringLiteral("/analyticsdata")};
    }
};

Service &service()
{
    static Service instance;
    return instance;
}

void BM_CheckGa4(benchmark::State &state)
{
    Service &s = service();
    // Every page gets the same answer, so the service's own work is not timed.
    s.sim.setResponse("POST", kReportPath, sim::Response::text(kPageAnswer, 200, "application/json; charset=UTF-8"));
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    ServiceExchange bareExchange(log, trace);
    Ga4Client client(exchange, s.hosts());
    Ga4PageCheck check(client);
    SilentPrompt prompt;
    NoProgress progress;
    const QString token = QString::fromLatin1(kToken);
    const QStringList bareHeaders{QStringLiteral("Authorization: Bearer ") + token,
                                  QStringLiteral("Content-Type: application/json")};
    const Ga4PageCheck::PageFilter filter = Ga4PageCheck::pageFilter(s.reportUrls.first());
    const QString bareBody = Ga4Client::pageReportBody(QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"),
                                                       filter.fieldName, filter.value);

    CheckRatio ratio(kReportRows);
    for (auto _ : state) {
        state.PauseTiming();
        ReportTable table(ServiceId::Analytics);
        table.appendRows(s.reportUrls);
        trace.clear();
        BareExchangeBesideEachRow events([&, url = client.runReportUrl(kPropertyId)] {
            return bareExchange.post(QString(), url, bareHeaders, bareBody, ServiceExchange::silent());
        });
        RunControl run(log, events, prompt, progress);
        run.setTable(3, &table);
        run.registerCheck(3, QStringLiteral("Check GA"), [&](CheckContext &context) {
            check.run(context, table,
                      {kPropertyId, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), [&] { return token; }});
        });
        run.markApiConnected();
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
BENCHMARK(BM_CheckGa4)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Ga4SummariesConnect(benchmark::State &state)
{
    Service &s = service();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    Ga4Client client(exchange, s.hosts());
    QComboBox box;
    int properties = 0;
    for (auto _ : state) {
        trace.clear();
        const AnalyticsSummary summary = Ga4AccountSummaries::fetch(client, QString::fromLatin1(kToken), trace);
        box.clear();
        properties = 0;
        for (const AnalyticsAccount &account : summary.accounts) {
            box.addItem(account.name, QVariant::fromValue<qlonglong>(account.id));
            properties += int(account.properties.size());
        }
        box.setCurrentIndex(0);
    }
    if (box.count() != 1000 || properties != 5000)
        state.SkipWithError("not every account and property listed");
    state.counters["accounts"] = box.count();
    state.counters["properties"] = properties;
}
BENCHMARK(BM_Ga4SummariesConnect)->Unit(benchmark::kMillisecond);

} // namespace
