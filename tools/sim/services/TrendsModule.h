#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace veltrano::sim {

// The product's own trends service, which the Search Console queries window
// asks for the interest in one query over the last five years:
//   GET <prefix>?query=<query, URL-encoded>&lang=us
//       {"data":[{"date":"2019-06-02","value":37},..]}   one point per week, oldest first
// "value" is a whole number from 0 to 100, 100 at the series' peak; "date"
// the week's first day (a Sunday). A query without enough searches, and an
// empty query, answer {"data":[]}. Without a query parameter the answer is
// 400 {"error":"..."}, for another method 405. No authorization is needed.
class TrendsModule final : public ServiceModule {
public:
    static constexpr const char *kDefaultPrefix = simprefix::Trends;

    struct Point {
        std::string date;
        long long value = 0;
    };

    // The 260 weekly points up to the week of lastDay that the service
    // answers for query, made up from the query's text: a yearly wave on a
    // slow trend. Empty for an empty query and for one query in eight, the
    // ones with too few searches. Deterministic.
    static std::vector<Point> generatedSeries(const std::string &query, std::chrono::sys_days lastDay);

    TrendsModule();

    std::string defaultPrefix() const override { return kDefaultPrefix; }
    void install(SimServer &server, const std::string &prefix) override;

    // Answers query with points (none: {"data":[]}) in place of the made-up
    // series. Takes effect at once, also after install().
    void setSeries(const std::string &query, std::vector<Point> points);
    void clearSeries();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace veltrano::sim
