// The Ahrefs settings tab at the sizes the service sends at most:
//
// - BM_BacklinksListing: "Show Data" on "backlinks" with 10 000 rows: the
//   answer (about 9 MB of JSON, 23 members a backlink) read and written as
//   90 000 lines, and the lines shown in the text area in one batch.
// - BM_BacklinksHistory: "Get Backlinks History >>" on two years of
//   counters (720 days x 4 counters, newest first): the answer read, one
//   figure per day kept in date order, and the area chart drawn from them.
//
// The answers come from the simulator's own tables, fetched once before
// timing; the timing covers what the program does with them.
//
// Run from a Release build:  build-bench/bin/bench_ahrefs_gui

#include "net/JsonDocument.h"
#include "net/ServiceExchange.h"
#include "services/ahrefs/AhrefsBacklinksHistory.h"
#include "services/ahrefs/AhrefsDataExplorer.h"
#include "ui/widgets/AreaChartView.h"

#include "SimServer.h"
#include "services/AhrefsModule.h"

#include <QPlainTextEdit>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <curl/curl.h>

using namespace veltrano;
using Module = sim::AhrefsModule;

namespace {

const char *const kToken = "bench-token-0123456789";

// One answer of the simulated service, as the exchange would hand it over.
ExchangeResult fetch(const std::string &query)
{
    static sim::SimServer server;
    static Module module;
    static const bool started = [] {
        module.install(server, module.defaultPrefix());
        module.acceptToken(kToken, 1e12);
        module.setSites({Module::generatedSite("big.example", 200, 12000, "2024-03-31", 730)});
        return server.start();
    }();
    if (!started)
        std::abort();
    const std::string url = server.baseUrl() + "/ahrefs/?" + query + "&output=json&token=" + kToken;
    std::string body;
    CURL *curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char *data, size_t size, size_t count, void *out) {
            static_cast<std::string *>(out)->append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl) != CURLE_OK)
        std::abort();
    curl_easy_cleanup(curl);
    ExchangeResult answer;
    answer.status = 200;
    answer.reason = QStringLiteral("OK");
    answer.body = QByteArray::fromStdString(body);
    answer.text = QString::fromUtf8(answer.body);
    return answer;
}

void BM_BacklinksListing(benchmark::State &state)
{
    const ExchangeResult answer = fetch("from=backlinks&limit=10000&target=big.example&mode=prefix");
    QPlainTextEdit text;
    text.resize(600, 400);
    text.setLineWrapMode(QPlainTextEdit::NoWrap);
    qsizetype lines = 0;
    for (auto _ : state) {
        const AhrefsDataExplorer::Listing listing =
            AhrefsDataExplorer::list(QStringLiteral("backlinks"), 10000, answer);
        text.setPlainText(listing.lines.join(QLatin1Char('\n')));
        lines = listing.lines.size();
    }
    state.counters["lines"] = double(lines);
    state.counters["answer_MB"] = double(answer.body.size()) / 1e6;
}
BENCHMARK(BM_BacklinksListing)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_BacklinksHistory(benchmark::State &state)
{
    const QString where = QStringLiteral("date>=\"2022-04-11\"");
    const ExchangeResult answer =
        fetch("from=backlinks_new_lost_counters_by_type&where=" + QUrl::toPercentEncoding(where).toStdString() +
              "&limit=10000&target=big.example&mode=prefix");
    AreaChartView chart(QStringLiteral("Backlinks History"));
    chart.resize(500, 300);
    size_t days = 0;
    int counters = 0;
    for (auto _ : state) {
        const AhrefsBacklinksHistory::Reading reading = AhrefsBacklinksHistory::read(answer);
        chart.showData(AhrefsBacklinksHistory::chartData(QStringLiteral("big.example"), reading.days));
        days = reading.days.size();
        counters = int(reading.counterLines.size());
    }
    state.counters["days"] = double(days);
    state.counters["counters"] = counters;
}
BENCHMARK(BM_BacklinksHistory)->Unit(benchmark::kMillisecond);

} // namespace
