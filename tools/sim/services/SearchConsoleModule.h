#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"
#include "SimServer.h"

#include <memory>
#include <string>

namespace veltrano::sim {

class SearchConsoleAccounts;

// Google Search Console API (webmasters v3) on the Google APIs host, the
// resources the program reads:
//   GET  <prefix>/webmasters/v3/sites
//        {"siteEntry":[{"siteUrl":..,"permissionLevel":"siteOwner"},..]}, {} for none
//   POST <prefix>/webmasters/v3/sites/{siteUrl, percent-encoded}/searchAnalytics/query
//        body {"startDate","endDate","dimensions","dimensionFilterGroups","rowLimit","startRow",
//        "aggregationType","type"/"searchType","dataState"}: {"rows":[{"keys":[..],"clicks":n,
//        "impressions":n,"ctr":x,"position":x},..],"responseAggregationType":"byPage"}, most
//        clicks first; no "rows" member when nothing matches; rowLimit 1-25000 (default 1000).
// Names of dimensions, operators and the other enumerations are taken in any
// letter case, with or without "_" ("QUERY", "query"; "NOT_EQUALS",
// "notEquals"). Filters compare without regard to letter case; the regular
// expression operators use ECMAScript syntax in place of RE2. The dimensions
// query and page are simulated; date, country, device and searchAppearance
// are refused with 400. Only handlers below <prefix>/webmasters/ are added,
// so other APIs of the same host can share the prefix.
//
// Requests pass Google's front end first (see GoogleApiSupport.h): a "key"
// parameter that is not an API key is 400 "API key not valid"; no token is
// 401 "Request is missing required authentication credential", an unknown
// one 401 "Request had invalid authentication credentials"; a token without
// the webmasters or webmasters.readonly scope 403 "Request had insufficient
// authentication scopes."; a used-up quota 429 RESOURCE_EXHAUSTED. A body
// that is not JSON or names an unknown member is 400 INVALID_ARGUMENT; a
// property the account has not got or has not verified 403 "User does not
// have sufficient permission for site '...'"; an unknown path or method
// Google's HTML 404 page. Error objects keep this host's "errors" list.
class SearchConsoleModule final : public ServiceModule {
public:
    static constexpr const char *kDefaultPrefix = simprefix::GoogleApis;

    explicit SearchConsoleModule(std::shared_ptr<SearchConsoleAccounts> accounts);

    std::string defaultPrefix() const override { return kDefaultPrefix; }
    void install(SimServer &server, const std::string &prefix) override;

    // A Google error object of this host for a test to set or queue on a
    // path ("Internal error encountered.", "INTERNAL" for a 500).
    static Response errorAnswer(int code, const std::string &message, const std::string &status);

private:
    std::shared_ptr<SearchConsoleAccounts> m_accounts;
};

} // namespace veltrano::sim
