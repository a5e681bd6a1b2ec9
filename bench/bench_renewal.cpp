// Access renewal in a check: 200 service requests through ServiceExchange
// with the renewal attached, without any renewal and with the token renewed
// every 20 requests, beside 200 bare exchanges; and one renewal against one
// bare token request, whose difference is the renewal's own cost (finding
// the account, reading the answer, the one flushed atomic write of the
// settings file, the log and trace lines).
//
// A token comes due the way it does in a check: the renewal's clock reaches
// its expiry. Nothing rewrites the settings file between rows, so a check
// pays only for what the renewal itself does.
//
// BM_RenewalRate runs both checks side by side and reports the rate of the
// renewing one against the other ("rate_ratio"), and the same with the time
// of the renewals' own token exchanges taken out ("rate_ratio_beyond_exchange",
// those exchanges timed as bare token requests in the same iteration): a
// renewal is one more exchange with the authorization server, which no
// program can avoid; the rest is the program's own cost.
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
#include <chrono>
#include <memory>
#include <utility>

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

using SteadyClock = std::chrono::steady_clock;

double millisecondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// One check of kRows requests with a fresh account, its token renewed every
// renewEvery rows (0: never). Returns the renewals it made; the time between
// the start and the end of its rows goes to `elapsedMs` when given. Only the
// rows run with the state's timing on.
int runCheck(benchmark::State *state, int renewEvery, double *elapsedMs = nullptr)
{
    Bench &b = bench();
    ActivityLog log;
    RequestTrace trace;
    ServiceExchange exchange(log, trace);
    b.account(QStringLiteral("start-token"), 3600);
    AccountRenewal renewal(b.endpoints, b.settings, log, trace);
    // The renewal's clock: the real one, moved on past the expiry of any
    // token for the one request at which the token the check holds is to come
    // due. (Reading the expiry from the file would wait for the renewal's
    // write, and hide it.)
    qint64 aheadSeconds = 0;
    renewal.setClock([&aheadSeconds] {
        return QDateTime::currentDateTimeUtc().addSecs(std::exchange(aheadSeconds, 0));
    });
    exchange.setAccessRenewal(&renewal);
    const QStringList lines{QStringLiteral("Authorization: OAuth start-token")};
    const QString url = b.url();
    if (state)
        state->ResumeTiming();
    const SteadyClock::time_point start = SteadyClock::now();
    for (int row = 0; row < kRows; ++row) {
        if (renewEvery > 0 && row > 0 && row % renewEvery == 0) {
            aheadSeconds = 2 * 366 * 24 * 3600;
        }
        const ExchangeResult answer = exchange.get(QStringLiteral("Yandex Metrika - HTTP Code: "), url, lines);
        if (answer.status != 200) {
            if (state) {
                state->PauseTiming();
                state->SkipWithError("unexpected answer");
            }
            return -1;
        }
    }
    // The check ends once its renewed tokens are on disk.
    renewal.waitForWrites();
    const double spent = millisecondsSince(start);
    if (state)
        state->PauseTiming();
    if (elapsedMs)
        *elapsedMs = spent;
    exchange.setAccessRenewal(nullptr);
    return int(log.messagesInOrder().filter(QStringLiteral("access renewed")).size());
}

void runRows(benchmark::State &state, int renewEvery)
{
    int renewals = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int made = runCheck(&state, renewEvery);
        state.ResumeTiming();
        if (made < 0)
            return;
        renewals += made;
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
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // A token of its own each time: one renewed before stays renewed.
        const QString token = QStringLiteral("expiring-%1").arg(++n);
        b.account(token, 10);
        HttpRequest request{"GET", b.url(), {QStringLiteral("Authorization: OAuth ") + token}, {}};
        // The account is known before its token comes due, as in a check.
        renewal.setClock([] { return QDateTime::currentDateTimeUtc().addSecs(-3600); });
        renewal.beforeSend(request, {});
        renewal.setClock([] { return QDateTime::currentDateTimeUtc(); });
        state.ResumeTiming();
        renewal.beforeSend(request, {});
        benchmark::DoNotOptimize(request.headerLines);
        if (state.range(0)) {
            renewal.waitForWrites();
        } else {
            // The write goes on beside the next requests; it is not this
            // figure's, and the next run's setup waits for it untimed.
            state.PauseTiming();
            renewal.waitForWrites();
            state.ResumeTiming();
        }
    }
    if (log.messagesInOrder().filter(QStringLiteral("access renewed")).size() != state.iterations())
        state.SkipWithError("not every run renewed");
}
// 0: until the renewed token is in the request; 1: until it is on disk too.
BENCHMARK(BM_OneRenewal)->ArgName("untilOnDisk")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

// The same token request, bare: what the exchange alone costs.
void sendBareTokenRequest(benchmark::State *state)
{
    Bench &b = bench();
    static const QString endpoint = b.endpoints.yandexOAuth + QStringLiteral("/token");
    static const QByteArray body = TokenRenewer::requestBody(
        {QString::fromLatin1(sim::demo::kYandexMetrikaClientId), QString::fromLatin1(sim::demo::kYandexMetrikaClientSecret)},
        QStringLiteral("1:bench"));
    const HttpResponse response =
        HttpClient().send({"POST", endpoint, {QStringLiteral("Content-Type: application/x-www-form-urlencoded")}, body});
    if (response.status != 200 && state)
        state->SkipWithError("unexpected answer");
}

void BM_BareTokenRequest(benchmark::State &state)
{
    bench().account(QStringLiteral("expiring"), 10);
    for (auto _ : state)
        sendBareTokenRequest(&state);
}
BENCHMARK(BM_BareTokenRequest)->UseRealTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

// Both checks in turn, each iteration; the figures come as counters.
void BM_RenewalRate(benchmark::State &state)
{
    double plainMs = 0;
    double renewingMs = 0;
    double tokenExchangesMs = 0;
    int renewals = 0;
    for (auto _ : state) {
        double elapsed = 0;
        if (runCheck(nullptr, 0, &elapsed) < 0) {
            state.SkipWithError("unexpected answer");
            return;
        }
        plainMs += elapsed;
        const int made = runCheck(nullptr, 20, &elapsed);
        if (made < 0) {
            state.SkipWithError("unexpected answer");
            return;
        }
        renewingMs += elapsed;
        renewals += made;
        // As many token requests as the check made, bare.
        const SteadyClock::time_point start = SteadyClock::now();
        for (int i = 0; i < made; ++i)
            sendBareTokenRequest(&state);
        tokenExchangesMs += millisecondsSince(start);
    }
    const double n = double(state.iterations());
    state.counters["plain_ms"] = plainMs / n;
    state.counters["renewing_ms"] = renewingMs / n;
    state.counters["renewals_per_check"] = renewals / n;
    state.counters["token_exchanges_ms"] = tokenExchangesMs / n;
    state.counters["own_cost_per_renewal_ms"] =
        renewals > 0 ? (renewingMs - plainMs - tokenExchangesMs) / renewals : 0.0;
    state.counters["rate_ratio"] = plainMs / renewingMs;
    state.counters["rate_ratio_beyond_exchange"] = plainMs / (renewingMs - tokenExchangesMs);
}
BENCHMARK(BM_RenewalRate)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
