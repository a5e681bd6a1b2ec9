#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"
#include "SimServer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace veltrano::sim {

class SearchConsoleAccounts;

// Google's Indexing API (version 3) on the Indexing API host:
//   POST <prefix>/v3/urlNotifications:publish   body {"url": .., "type": "URL_UPDATED" | "URL_DELETED"}
//        {"urlNotificationMetadata":{"url":..,"latestUpdate":{"url","type","notifyTime"},
//        "latestRemove":{..}}}: latestUpdate once the page was notified updated, latestRemove
//        once it was notified deleted; notifyTime "2024-05-06T07:08:09.123456789Z".
//   GET  <prefix>/v3/urlNotifications/metadata?url=..   the same metadata object for a page
//        notified before, else 404 NOT_FOUND "Requested entity was not found."
//
// The front end checks as for the other Google APIs (GoogleApiSupport.h),
// here for the scope https://www.googleapis.com/auth/indexing: no token or
// an unknown one is 401 UNAUTHENTICATED, a token without that scope (a
// Search Console token) 403 "Request had insufficient authentication
// scopes.". Each publish request that passes it takes one from the daily
// publish quota (200 by default, as documented); once that is spent the
// answer is 429 RESOURCE_EXHAUSTED. Then a body that is not JSON, names an
// unknown member or an unknown type is 400 INVALID_ARGUMENT, as is an
// address that is not an http(s) URL; a page outside every property the
// account owns (owner permission, as the API asks) 403 PERMISSION_DENIED
// "Permission denied. Failed to verify the URL ownership.". Error objects
// have the legacy "errors" list this host writes.
//
// The module records when each request arrived, so a test can check how a
// client paces its requests.
class IndexingApiModule final : public ServiceModule {
public:
    static constexpr const char *kDefaultPrefix = simprefix::IndexingApi;
    static constexpr long long kDefaultDailyQuota = 200;
    using SystemClock = std::function<std::chrono::system_clock::time_point()>;

    explicit IndexingApiModule(std::shared_ptr<SearchConsoleAccounts> accounts);

    std::string defaultPrefix() const override { return kDefaultPrefix; }
    // Also puts the settings on the simulator's control interface, for
    // tests that run it as a program:
    //   POST /__sim/settings<prefix>  {"dailyQuota": n, "answerDelayMs": n, "resetUsage": true}
    //        (each member optional) answers the state below
    //   GET  /__sim/settings<prefix>  {"dailyQuota", "publishedToday", "requestTimesMs": [..]}
    //        the arrival of every request, in milliseconds of a steady clock
    void install(SimServer &server, const std::string &prefix) override;

    // Publish requests a day; the next one after that many is refused.
    void setDailyQuota(long long quota);
    long long dailyQuota() const;
    long long publishedToday() const;
    // A new day: the quota is whole again.
    void resetUsage();
    // Answers wait this long before they are sent.
    void setAnswerDelayMs(int delayMs);
    // Where notifyTime comes from (the system clock by default).
    void setClock(SystemClock clock);

    // When each request (publish or metadata, accepted or refused) arrived.
    std::vector<std::chrono::steady_clock::time_point> requestTimes() const;

    // "2022-01-15T10:20:30.123456000Z": nine fractional digits, UTC.
    static std::string notifyTimeText(std::chrono::system_clock::time_point time);
    // An error object of this host for a test to set or queue on a path.
    static Response errorAnswer(int code, const std::string &message, const std::string &status);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace veltrano::sim
