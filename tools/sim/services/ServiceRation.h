#pragma once

#include "SimServer.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace veltrano::sim {

// How a service rations and fails the requests below its prefix, in front of
// the module that answers them: a per-minute and a per-day quota, and bursts
// of server errors or dropped connections. Each refusal is written in the
// service's own error object and status (Google's RESOURCE_EXHAUSTED and
// UNAVAILABLE objects, Metrika's quota_requests_by_uid and backend_error).
// Everything is off until set; the documented limits are named below for
// the tests and the sandbox to set.
//
// Control interface (veltrano-sim): POST /__sim/ration<prefix> with any of
//   {"perMinute": n, "perDay": n, "minuteMs": n, "retryAfterSeconds": n,
//    "failEvery": n, "failBurst": n, "failStatus": 503, "dropConnection": bool,
//    "advanceDay": true, "reset": true}
// and GET /__sim/ration<prefix> for the settings and the counts.
class ServiceRation final : public std::enable_shared_from_this<ServiceRation> {
public:
    enum class Style { GoogleWithErrorsList, GooglePlain, GoogleErrorsListOnly, YandexMetrika };

    struct Settings {
        long long perMinute = 0; // 0: no limit
        long long perDay = 0;    // 0: no limit; a new day comes with advanceDay()
        long long minuteMs = 60000; // tests shorten the minute
        // Sent as Retry-After with every refusal when >= 0; a per-minute
        // refusal without it names the seconds left of the minute.
        int retryAfterSeconds = -1;
        bool minuteRetryAfter = true; // a per-minute refusal says when the minute ends
        // Every failEvery-th request starts a burst of failBurst failures:
        // failStatus in the service's object, or a dropped connection.
        long long failEvery = 0;
        long long failBurst = 1;
        int failStatus = 503;
        bool dropConnection = false;
    };
    struct Counts {
        long long thisMinute = 0;
        long long today = 0;
        long long seen = 0;
    };

    // Documented limits: URL Inspection 600 a minute and 2 000 a day per
    // property; Search Analytics 1 200 a minute; Metrika 5 000 a day.
    static constexpr long long kUrlInspectionPerMinute = 600;
    static constexpr long long kUrlInspectionPerDay = 2000;
    static constexpr long long kSearchAnalyticsPerMinute = 1200;
    static constexpr long long kMetrikaPerDay = 5000;

    // service: the Google service name in quota messages
    // ("searchconsole.googleapis.com").
    ServiceRation(Style style, std::string service);

    // Puts the gate in front of the handlers below prefix and the control
    // operations at /__sim/ration<prefix>. The server keeps the ration alive
    // (make it with std::make_shared).
    void install(SimServer &server, const std::string &prefix);

    void setSettings(const Settings &settings);
    Settings settings() const;
    Counts counts() const;
    // A new day: the daily quota is whole again (and the minute too).
    void advanceDay();
    // Settings off and every count at zero.
    void reset();

    // What the gate answers for one more request: a refusal, or nothing.
    std::optional<Response> take();

private:
    Response quotaRefusal(bool daily, int retryAfterSeconds) const;
    Response serverError(int status) const;

    Style m_style;
    std::string m_service;
    mutable std::mutex m_mutex;
    Settings m_settings;
    Counts m_counts;
    std::chrono::steady_clock::time_point m_minuteStart{};
};

} // namespace veltrano::sim
