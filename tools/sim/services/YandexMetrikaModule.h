#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltrano::sim {

class TokenRegistry;

// Yandex Metrika, the Management API's counter list and the Reporting API's
// two report forms the program reads:
//   GET <prefix>/management/v1/counters?per_page=&offset=
//       {"rows":N,"counters":[{"id","status","owner_login","code_status",
//        "name" (only when the counter has one),"site","site2":{"site","domain"},
//        "type","permission",..}]}         per_page 1-1000, default 1000; offset from 1
//   GET <prefix>/stat/v1/data/bytime?ids=&date1=&date2=&metrics=&filters=&group=
//       the period split into intervals by "group" (day, week, month,
//       quarter, year, all; week when absent), "time_intervals" one
//       [first, last] pair per interval, "totals" one array per metric with
//       one value per interval, and "data" the same for the one row of a
//       report without dimensions
//   GET <prefix>/stat/v1/data?ids= (or id=)&date1=&date2=&preset=sources_search_phrases&limit=&offset=
//       {"data":[{"dimensions":[{"name":phrase},{"id","name"}],"metrics":[5 numbers]}],
//        "total_rows":N,..}                  limit 1-100000, default 100; offset from 1
// Metrics are written as doubles (9.0), as the service writes them. Filters
// take the form EXISTS(ym:pv:URL<op>'<url>') with op "==", "=*" ("*" in the
// value stands for any text) or "=@" (contains), quotes and backslashes
// inside escaped with a backslash; a page view's URL is one of the
// counter's pages. Dates are "yyyy-mm-dd", "today", "yesterday" or
// "NdaysAgo".
// Every request needs "Authorization: OAuth <token>" with a token the
// Yandex OAuth module issued (or one registered here). Errors have the
// documented body {"errors":[{"error_type","message"}],"code","message"}:
// 401 unauthorized without a token, 403 invalid_token for an unknown one,
// 403 access_denied for a counter that is not the account's, 400
// invalid_parameter (a bad date, filter, group, metric, preset or paging
// value) and missing_parameter, 404 not_found, 429 quota_requests_by_uid
// once a token's quota is spent.
class YandexMetrikaModule final : public ServiceModule {
public:
    // Traffic of one page, per day of any period.
    struct Page {
        std::string url;
        double visitsPerDay = 0;
        double usersPerDay = 0;
        double bounceRate = 0; // percent
        double pageDepth = 0;
        double avgVisitDurationSeconds = 0;
    };

    // A search phrase with its figures over any period.
    struct Phrase {
        std::string text;
        double visits = 0;
        double users = 0;
        double bounceRate = 0;
        double pageDepth = 0;
        double avgVisitDurationSeconds = 0;
    };

    struct Counter {
        long long id = 0;
        std::string status = "Active"; // or "Deleted"
        std::string site;              // "example.com"
        std::optional<std::string> name;
        std::vector<Page> pages;
        // Pages not listed, on the counter's own site, get made-up traffic
        // that comes out the same every run (the sandbox's counters).
        bool madeUpTraffic = false;
        std::vector<Phrase> phrases; // in the order the service lists them
    };

    // count phrases in Russian furniture-shop words, most visits first.
    static std::vector<Phrase> generatedPhrases(size_t count, const std::string &seed);
    // Counters for the sandbox's Yandex sites: example.com (made-up traffic,
    // 1 234 phrases), пример.рф, shop.example.org (no phrases), and a
    // deleted counter of old.example.com.
    static std::vector<Counter> demoCounters();

    explicit YandexMetrikaModule(std::shared_ptr<TokenRegistry> tokens);

    std::string defaultPrefix() const override { return simprefix::YandexMetrikaApi; }
    void install(SimServer &server, const std::string &prefix) override;

    // The counters of an account, replacing those it had. Takes effect at once.
    void setCounters(long long userId, std::vector<Counter> counters);
    // Accepts token for the account userId (registered as a Yandex token).
    void acceptToken(const std::string &token, long long userId);
    // Requests a token may still make; after them every request is answered
    // 429. Negative: no limit (the start).
    void setQuota(const std::string &token, long long requests);
    // demoCounters() for the demo Yandex account and its demo token.
    void installDemoData();

private:
    struct State;
    std::shared_ptr<TokenRegistry> m_tokens;
    std::shared_ptr<State> m_state;
};

} // namespace veltrano::sim
