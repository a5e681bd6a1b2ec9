// The simulator under parallel clients with an answer latency: each client
// sends its requests one after another and waits out the latency of each;
// the answers of different clients wait at the same time, so the rate grows
// with the number of clients (about clients / latency) rather than staying
// at one answer per latency.
#include "net/HttpClient.h"

#include "SimServer.h"

#include <benchmark/benchmark.h>
#include <atomic>
#include <thread>
#include <vector>

namespace {

namespace sim = veltrano::sim;
using veltrano::HttpClient;

constexpr int kLatencyMs = 50;
constexpr int kRequestsPerClient = 5;

void BM_ParallelClientsWithLatency(benchmark::State &state)
{
    sim::SimServer server;
    server.setResponse("GET", "/module/answer", sim::Response::json(R"({"ok":true})"));
    server.setLatency("/module", kLatencyMs);
    if (!server.start()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    const QString url = QString::fromStdString(server.baseUrl()) + QStringLiteral("/module/answer");
    const int clients = int(state.range(0));
    std::atomic<int> failed{0};
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&] {
                for (int i = 0; i < kRequestsPerClient; ++i) {
                    if (HttpClient().send({"GET", url, {}, {}}).status != 200)
                        ++failed;
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
    }
    if (failed > 0)
        state.SkipWithError("a request failed");
    state.SetItemsProcessed(state.iterations() * clients * kRequestsPerClient);
    // What one connection at a time would reach.
    state.counters["serial_rate_per_s"] = 1000.0 / kLatencyMs;
}
BENCHMARK(BM_ParallelClientsWithLatency)->Arg(1)->Arg(4)->Arg(16)->Arg(48)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
