#pragma once

#include "SimServer.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace veltrano::sim {

// How a service rations and fails the requests below its prefix, in front of
// the module that answers them: a per-minute and a per-day quota, and bursts
// of server errors or dropped connections. Each refusal is written in the
// service's own error object and status (Google's RESOURCE_EXHAUSTED and
// UNAVAILABLE objects, Metrika's quota_requests_by_uid and backend_error).
// Everything is off until set; each ration knows its service's documented
// limits (documentedLimits()), which the tests, the sandbox and
// `veltrano-sim --documented-limits` switch on.
//
// The limits count per what the service counts them by (keyOf: URL
// Inspection per property, Metrika per user), or over every request.
//
// Control interface (veltrano-sim): POST /__sim/ration<prefix> with any of
//   {"perMinute": n, "perDay": n, "minuteMs": n, "atOnce": n,
//    "retryAfterSeconds": n, "failEvery": n, "failBurst": n, "failStatus": 503,
//    "dropConnection": bool, "documented": true, "advanceDay": true,
//    "reset": true}
// and GET /__sim/ration<prefix> for the settings and the counts.
class ServiceRation final : public std::enable_shared_from_this<ServiceRation> {
public:
    enum class Style { GoogleWithErrorsList, GooglePlain, GoogleErrorsListOnly, YandexMetrika, Ahrefs };

    struct Settings {
        long long perMinute = 0; // 0: no limit
        long long perDay = 0;    // 0: no limit; a new day comes with advanceDay()
        long long atOnce = 0;    // requests in flight at once; 0: no limit
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
        long long thisMinute = 0; // over every key
        long long today = 0;
        long long seen = 0;
        long long inFlight = 0;
    };
    // What a limit counts by; "" for every request alike.
    using KeyOf = std::function<std::string(const RecordedRequest &)>;

    // Documented limits: URL Inspection 600 a minute and 2 000 a day per
    // property; Search Analytics 1 200 a minute; Metrika 5 000 a day and 3
    // requests at once per user; Ahrefs 60 a minute.
    static constexpr long long kUrlInspectionPerMinute = 600;
    static constexpr long long kUrlInspectionPerDay = 2000;
    static constexpr long long kSearchAnalyticsPerMinute = 1200;
    static constexpr long long kMetrikaPerDay = 5000;
    static constexpr long long kMetrikaAtOnce = 3;
    static constexpr long long kAhrefsPerMinute = 60;

    // service: the Google service name in quota messages
    // ("searchconsole.googleapis.com"). documented: the service's own limits,
    // in force from the start when documented limits are the default.
    ServiceRation(Style style, std::string service);
    ServiceRation(Style style, std::string service, Settings documented, KeyOf keyOf = {});

    // Whether rations made from now on start with their documented limits
    // (veltrano-sim --documented-limits).
    static void setDocumentedLimitsByDefault(bool on);
    Settings documentedLimits() const { return m_documented; }

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

    // What the gate answers for one more request: a refusal, or nothing (and
    // a hold that counts the request in flight until its answer is out).
    GateAnswer take(const RecordedRequest &request);

private:
    // The counts of one key.
    struct Window {
        std::chrono::steady_clock::time_point minuteStart{};
        long long thisMinute = 0;
        long long today = 0;
        long long inFlight = 0;
    };
    Response quotaRefusal(bool daily, int retryAfterSeconds) const;
    Response tooManyAtOnce() const;
    Response serverError(int status) const;
    void release(const std::string &key);

    Style m_style;
    std::string m_service;
    Settings m_documented;
    KeyOf m_keyOf;
    mutable std::mutex m_mutex;
    Settings m_settings;
    long long m_seen = 0;
    std::map<std::string, Window> m_windows;
};

} // namespace veltrano::sim
