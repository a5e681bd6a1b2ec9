#include "TrendsModule.h"

#include "ServiceSupport.h"
#include "SimServer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <mutex>

namespace veltrano::sim {

struct TrendsModule::State {
    std::mutex mutex;
    std::map<std::string, std::vector<Point>> series; // set by a test, by query
};

namespace {

using support::scatter;
using support::textHash;

using std::chrono::days;
using std::chrono::sys_days;
using support::Json;

constexpr int kWeeks = 260; // five years of weeks

Response answer(const Json &body, int status = 200)
{
    return support::jsonAnswer(body, status);
}

} // namespace

std::vector<TrendsModule::Point> TrendsModule::generatedSeries(const std::string &query, sys_days lastDay)
{
    std::vector<Point> points;
    const uint64_t seed = scatter(textHash(query));
    if (query.empty() || seed % 8 == 0)
        return points;

    // Weeks start on Sunday.
    const sys_days lastWeek = lastDay - days{std::chrono::weekday{lastDay}.c_encoding()};
    const double phase = static_cast<double>(seed % 628) / 100.0;
    const double trend = (static_cast<double>((seed >> 12) % 200) - 100.0) / 100.0; // -1 .. +1 over five years
    std::vector<double> raw;
    std::vector<sys_days> weeks;
    for (int i = 0; i < kWeeks; ++i) {
        const sys_days week = lastWeek - days{7 * (kWeeks - 1 - i)};
        const auto epochDay = static_cast<uint64_t>(week.time_since_epoch().count());
        const double season = std::sin(2.0 * 3.14159265358979 * static_cast<double>(epochDay % 364) / 364.0 + phase);
        const double noise = static_cast<double>(scatter(seed ^ epochDay) % 1000) / 1000.0 - 0.5;
        raw.push_back(std::max(0.0, 50.0 + 20.0 * season + 20.0 * trend * i / kWeeks + 12.0 * noise));
        weeks.push_back(week);
    }
    const double peak = *std::max_element(raw.begin(), raw.end());
    for (int i = 0; i < kWeeks; ++i)
        points.push_back({support::formatDay(weeks[i]), peak > 0 ? std::llround(raw[i] / peak * 100.0) : 0});
    return points;
}

TrendsModule::TrendsModule() : m_state(std::make_shared<State>()) {}

void TrendsModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix, [state = m_state, prefix](const RecordedRequest &request) {
        const std::string rest = request.path.substr(prefix.size());
        if (!rest.empty() && rest != "/")
            return answer(Json{{"error", "No such resource: " + request.path}}, 404);
        if (request.method != "GET" && request.method != "HEAD")
            return answer(Json{{"error", "Method " + request.method + " is not allowed"}}, 405);
        if (!support::hasParam(request.query, "query"))
            return answer(Json{{"error", "Parameter 'query' is required"}}, 400);
        const std::string query = request.queryParam("query");

        std::vector<Point> points;
        bool set = false;
        {
            std::lock_guard lock(state->mutex);
            if (const auto it = state->series.find(query); it != state->series.end()) {
                points = it->second;
                set = true;
            }
        }
        if (!set)
            points = generatedSeries(query, support::today());
        Json data = Json::array();
        for (const Point &point : points)
            data.push_back(Json{{"date", point.date}, {"value", point.value}});
        return answer(Json{{"data", std::move(data)}});
    });
}

void TrendsModule::setSeries(const std::string &query, std::vector<Point> points)
{
    std::lock_guard lock(m_state->mutex);
    m_state->series[query] = std::move(points);
}

void TrendsModule::clearSeries()
{
    std::lock_guard lock(m_state->mutex);
    m_state->series.clear();
}

} // namespace veltrano::sim
