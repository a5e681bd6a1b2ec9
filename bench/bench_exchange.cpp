// Sequential service exchanges against the simulator on loopback, one new
// connection per call: through HttpClient and ServiceExchange, and through a
// bare libcurl loop doing the least a request can do. The ratio of
// HttpClient to bare curl shows what the exchange's own work costs.
#include "app/ActivityLog.h"
#include "net/HttpClient.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"

#include "SimServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <memory>

namespace {

namespace sim = veltrano::sim;

// Every call leaves a closed connection waiting out TIME_WAIT, and loopback
// has only some 28 000 ephemeral ports: once most are taken, connecting gets
// slow and the figures show the port search instead of the exchange. A fixed
// number of calls keeps all three runs well below that; run the program
// again only after a minute.
constexpr benchmark::IterationCount kCalls = 3000;

const std::string kBody =
    R"({"hosts":[{"host_id":"https:example.com:443","ascii_host_url":"https://example.com/",)"
    R"("unicode_host_url":"https://example.com/","verified":true}]})";

sim::SimServer &server()
{
    static std::unique_ptr<sim::SimServer> instance = [] {
        auto s = std::make_unique<sim::SimServer>();
        if (!s->start())
            std::abort();
        s->setResponse("GET", "/v4/user/1/hosts", sim::Response::json(kBody));
        return s;
    }();
    return *instance;
}

std::string url()
{
    return server().baseUrl() + "/v4/user/1/hosts";
}

void BM_HttpClient(benchmark::State &state)
{
    const QString address = QString::fromStdString(url());
    const QStringList lines{QStringLiteral("Authorization: OAuth bench-token")};
    for (auto _ : state) {
        const veltrano::HttpResponse response = veltrano::HttpClient().send({"GET", address, lines, {}});
        if (response.status != 200 || response.body.size() != qsizetype(kBody.size())) {
            state.SkipWithError("unexpected answer");
            break;
        }
        benchmark::DoNotOptimize(response.body.data());
    }
    state.SetItemsProcessed(state.iterations());
    server().clearRequests();
}
BENCHMARK(BM_HttpClient)->UseRealTime()->Iterations(kCalls);

void BM_ServiceExchange(benchmark::State &state)
{
    const QString address = QString::fromStdString(url());
    const QStringList lines{QStringLiteral("Authorization: OAuth bench-token")};
    veltrano::ActivityLog log;
    veltrano::RequestTrace trace;
    veltrano::ServiceExchange exchange(log, trace);
    for (auto _ : state) {
        const veltrano::ExchangeResult result =
            exchange.get(QStringLiteral("Yandex Webmaster - HTTP Code: "), address, lines);
        if (result.status != 200) {
            state.SkipWithError("unexpected answer");
            break;
        }
        benchmark::DoNotOptimize(result.text.data());
    }
    state.SetItemsProcessed(state.iterations());
    server().clearRequests();
}
BENCHMARK(BM_ServiceExchange)->UseRealTime()->Iterations(kCalls);

// The same calls without the activity-log and trace lines: the difference
// to BM_ServiceExchange is what those lines cost.
void BM_ServiceExchangeSilent(benchmark::State &state)
{
    const QString address = QString::fromStdString(url());
    const QStringList lines{QStringLiteral("Authorization: OAuth bench-token")};
    veltrano::ActivityLog log;
    veltrano::RequestTrace trace;
    veltrano::ServiceExchange exchange(log, trace);
    for (auto _ : state) {
        const veltrano::ExchangeResult result = exchange.get(QStringLiteral("Yandex Webmaster - HTTP Code: "), address,
                                                             lines, veltrano::ServiceExchange::silent());
        if (result.status != 200) {
            state.SkipWithError("unexpected answer");
            break;
        }
        benchmark::DoNotOptimize(result.text.data());
    }
    state.SetItemsProcessed(state.iterations());
    server().clearRequests();
}
BENCHMARK(BM_ServiceExchangeSilent)->UseRealTime()->Iterations(kCalls);

size_t collect(char *data, size_t size, size_t count, void *user)
{
    static_cast<std::string *>(user)->append(data, size * count);
    return size * count;
}

void BM_BareCurl(benchmark::State &state)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const std::string address = url();
    for (auto _ : state) {
        std::string body;
        CURL *h = curl_easy_init();
        curl_slist *headers = curl_slist_append(nullptr, "Authorization: OAuth bench-token");
        curl_easy_setopt(h, CURLOPT_URL, address.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
        const CURLcode rc = curl_easy_perform(h);
        long status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_cleanup(h);
        curl_slist_free_all(headers);
        if (rc != CURLE_OK || status != 200 || body.size() != kBody.size()) {
            state.SkipWithError("unexpected answer");
            break;
        }
        benchmark::DoNotOptimize(body.data());
    }
    state.SetItemsProcessed(state.iterations());
    server().clearRequests();
}
BENCHMARK(BM_BareCurl)->UseRealTime()->Iterations(kCalls);

} // namespace

BENCHMARK_MAIN();
