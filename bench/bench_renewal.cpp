// Access renewal in a check: 200 service requests through ServiceExchange
// with the renewal attached, without any renewal and with the token renewed
// every 20 requests, beside 200 bare exchanges; and one renewal against one
// bare token request, whose difference is the renewal's own cost (finding
// the account in the settings file, reading the answer, the one atomic
// write, the log and trace lines).
#include "app/ActivityLog.h"
#include "app/SandboxEndpoints.h"
#include "auth/AccountRenewal.h"
#include "auth/RefreshTokenStore.h"
#include "auth/SettingsFile.h"
#include "auth/TokenRenewer.h"
#include "net/HttpClient.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"

#include "SimServer.h"
#include "services/DemoAccounts.h"
#include "services/TokenRegistry.h"
#include "services/YandexOAuthModule.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <memory>

namespace {

namespace sim = veltrano::sim;
using namespace veltrano;

constexpr int kRows = 200;
const QString kSection = QStringLiteral("YandexMetrika_Token");
const QString kAlias = QStringLiteral("token_1");

struct Bench {
    sim::SimServer server;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    sim::YandexOAuthModule oauth{tokens};
    QTemporaryDir dir;
    SettingsFile settings{dir.filePath(QStringLiteral("Veltrano.ini"))};
    Endpoints endpoints;

    Bench()
    {
        oauth.install(server, oauth.defaultPrefix());
        server.addHandler("GET", "/api", [this](const sim::RecordedRequest &request) {
            const std::string line = request.header("Authorization");
            return tokens->find(line.substr(line.find(' ') + 1))
                       ? sim::Response::json(R"({"data":[{"metrics":[12,3]}]})")
                       : sim::Response::json(R"({"errors":[]})", 401);
        });
        if (!server.start())
            std::abort();
        endpoints = simulatorEndpoints(QString::fromStdString(server.baseUrl()), 1);
        // A few accounts in every list, as a user has them.
        for (const QString &section : {QStringLiteral("YandexWM_Token"), QStringLiteral("GoogleSC_Token"),
                                      QStringLiteral("GoogleAnalytics_Token"), kSection}) {
            for (int i = 5; i > 1; --i)
                settings.writeString(section, QStringLiteral("token_%1").arg(i), QStringLiteral("other-%1").arg(i));
        }
    }
    // The account, its token live and its refresh token known; expiring in
    // `seconds`.
    void account(const QString &token, qint64 seconds)
    {
        tokens->add(token.toStdString(), {"yandex", sim::demo::kYandexMetrikaClientId, {}, 1});
        oauth.addRefreshToken("1:bench", sim::demo::kYandexMetrikaClientId);
        RefreshTokenStore(settings, kSection)
            .store(kAlias, token, QStringLiteral("1:bench"), QDateTime::currentDateTimeUtc().addSecs(seconds));
    }
    QString url() const { return QString::fromStdString(server.baseUrl()) + QStringLiteral("/api/stat"); }
};

Bench &bench()
{
    static Bench instance;
    return instance;
}

void runRows(benchmark::State &state, int renewEvery)
{
    Bench &b = bench();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    int renewals = 0;
    for (auto _ : state) {
        // Each run is a check of its own, started with a fresh account.
        state.PauseTiming();
        b.account(QStringLiteral("start-token"), 3600);
        AccountRenewal renewal(b.endpoints, b.settings, log, trace);
        exchange.setAccessRenewal(&renewal);
        const int linesBefore = int(log.messagesInOrder().size());
        state.ResumeTiming();
        for (int row = 0; row < kRows; ++row) {
            if (renewEvery > 0 && row > 0 && row % renewEvery == 0) {
                // The token the check holds is about to expire.
                state.PauseTiming();
                RefreshTokenStore(b.settings, kSection)
                    .store(kAlias, b.settings.readString(kSection, kAlias), std::nullopt,
                           QDateTime::currentDateTimeUtc().addSecs(10));
                state.ResumeTiming();
            }
            const ExchangeResult answer = exchange.get(QStringLiteral("Yandex Metrika - HTTP Code: "), b.url(),
                                                       {QStringLiteral("Authorization: OAuth start-token")});
            if (answer.status != 200) {
                state.SkipWithError("unexpected answer");
                return;
            }
        }
        state.PauseTiming();
        const QStringList lines = log.messagesInOrder().mid(linesBefore);
        renewals += int(lines.filter(QStringLiteral("access renewed")).size());
        exchange.setAccessRenewal(nullptr);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["renewals_per_check"] = double(renewals) / double(state.iterations());
}

void BM_Check200Rows_NoRenewal(benchmark::State &state)
{
    runRows(state, 0);
}
BENCHMARK(BM_Check200Rows_NoRenewal)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Check200Rows_RenewEvery20(benchmark::State &state)
{
    runRows(state, 20);
}
BENCHMARK(BM_Check200Rows_RenewEvery20)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Bare200Exchanges(benchmark::State &state)
{
    Bench &b = bench();
    b.account(QStringLiteral("bare-token"), 3600);
    const QStringList lines{QStringLiteral("Authorization: OAuth bare-token")};
    for (auto _ : state) {
        for (int row = 0; row < kRows; ++row) {
            if (HttpClient().send({"GET", b.url(), lines, {}}).status != 200) {
                state.SkipWithError("unexpected answer");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Bare200Exchanges)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// One renewal as a request meets it: the token expires within a minute.
void BM_OneRenewal(benchmark::State &state)
{
    Bench &b = bench();
    ActivityLog log;
    RequestTrace trace;
    AccountRenewal renewal(b.endpoints, b.settings, log, trace);
    for (auto _ : state) {
        state.PauseTiming();
        b.account(QStringLiteral("expiring"), 10);
        HttpRequest request{"GET", b.url(), {QStringLiteral("Authorization: OAuth expiring")}, {}};
        state.ResumeTiming();
        renewal.beforeSend(request, {});
        benchmark::DoNotOptimize(request.headerLines);
    }
}
BENCHMARK(BM_OneRenewal)->UseRealTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

// The same token request, bare: what the exchange alone costs.
void BM_BareTokenRequest(benchmark::State &state)
{
    Bench &b = bench();
    b.account(QStringLiteral("expiring"), 10);
    const QString endpoint = b.endpoints.yandexOAuth + QStringLiteral("/token");
    const QByteArray body = TokenRenewer::requestBody(
        {QString::fromLatin1(sim::demo::kYandexMetrikaClientId), QString::fromLatin1(sim::demo::kYandexMetrikaClientSecret)},
        QStringLiteral("1:bench"));
    for (auto _ : state) {
        const HttpResponse response = HttpClient().send(
            {"POST", endpoint, {QStringLiteral("Content-Type: application/x-www-form-urlencoded")}, body});
        if (response.status != 200) {
            state.SkipWithError("unexpected answer");
            return;
        }
    }
}
BENCHMARK(BM_BareTokenRequest)->UseRealTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

} // namespace
