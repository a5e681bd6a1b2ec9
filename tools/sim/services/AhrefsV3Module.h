#pragma once

#include "app/SimulatorPrefixes.h"

#include "AhrefsModule.h"
#include "ServiceModule.h"

#include <memory>
#include <string>
#include <vector>

namespace veltrano::sim {

// Ahrefs API v3: GET <prefix>/v3/<endpoint>?<parameters>, the API key in
// "Authorization: Bearer <key>". The endpoints the program calls:
//   subscription-info/limits-and-usage       "limits_and_usage" (free)
//   site-explorer/crawled-pages    select*, target*   "pages"
//   site-explorer/backlinks-stats  target*, date*     "metrics" (one object)
//   site-explorer/domain-rating    target*, date*     "domain_rating" (one object)
//   site-explorer/all-backlinks    select*, target*   "backlinks"
//   site-explorer/refdomains       select*, target*   "refdomains"
//   site-explorer/anchors          select*, target*   "anchors"
//   site-explorer/refdomains-history  target*, date_from*  "refdomains" [{date, refdomains}]
// (* required). mode (default subdomains), limit (default 1000) and
// order_by ("field:asc|desc") work as documented; members a select names
// that the page lacks are written null where the reference allows null.
// Errors are {"error": "..."}: 400 a missing or wrong parameter, 401 no
// key or an unknown one, 403 an endpoint outside the key's plan or a month's
// units spent, 429 too many requests (set by a test). Every answer states
// its cost in x-api-rows, x-api-units-cost-row, x-api-units-cost-total,
// x-api-units-cost-total-actual and x-api-cache; each costs max(50, fields
// selected x rows), limits-and-usage nothing.
// The sites are those of the v2 module (pages, backlinks), so the two API
// versions answer alike about one site.
class AhrefsV3Module final : public ServiceModule {
public:
    AhrefsV3Module();

    std::string defaultPrefix() const override { return simprefix::AhrefsApiV3; }
    void install(SimServer &server, const std::string &prefix) override;

    void setSites(std::vector<AhrefsModule::Site> sites);
    // A key with its monthly unit limit (negative: unlimited).
    void acceptKey(const std::string &key, long long unitsLimit = -1);
    // Units already used this month by a key.
    void setUnitsUsed(const std::string &key, long long units);
    // Every non-empty key is good unless refused or without permission.
    void setAcceptAnyKey(bool accept);
    void refuseKey(const std::string &key);
    // A key whose plan lacks the site-explorer endpoints.
    void denyPermission(const std::string &key);
    // Answers every data request 429 while set.
    void setThrottled(bool throttled);
    // The day the units usage resets, "yyyy-mm-dd".
    void setResetDate(const std::string &day);
    // demo sites of the v2 module, any key, demo::kAhrefsRefusedToken
    // refused and demo::kAhrefsSpentToken without units left.
    void installDemoData();

    long long unitsUsed(const std::string &key) const;

    static constexpr const char *kInvalidKey = "Invalid API key";
    static constexpr const char *kNoPermission = "API key does not have access to this endpoint";
    static constexpr const char *kUnitsSpent = "API units limit reached";
    static constexpr const char *kTooManyRequests = "Too many requests";

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace veltrano::sim
