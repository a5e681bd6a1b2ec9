#pragma once

#include "app/SimulatorPrefixes.h"

#include "ServiceModule.h"
#include "SimServer.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace veltrano::sim {

class TokenRegistry;

// Google Analytics (version 3) on the Google APIs host, the two resources
// the program reads:
//   GET <prefix>/analytics/v3/management/accountSummaries?start-index=&max-results=
//       {"kind":"analytics#accountSummaries","username","totalResults","startIndex",
//        "itemsPerPage","previousLink"?,"nextLink"?,"items":[{"id","kind","name",
//        "webProperties":[{"kind","id":"UA-..","name","internalWebPropertyId","level",
//        "websiteUrl","profiles":[{"kind","id","name","type"}]}]}]}
//       ids as texts; an empty list of properties or views is left out; start-index
//       from 1, max-results 1-1000 (more is taken as 1000, the default).
//   GET <prefix>/analytics/v3/data/ga?ids=ga:<view>&start-date=&end-date=&metrics=
//       &filters=&max-results=
//       {"kind":"analytics#gaData",...,"columnHeaders":[{"name","columnType":"METRIC",
//        "dataType"}],"totalsForAllResults":{"<name>":"<decimal text>"},"rows":[[..]]?}
//       one header per metric, in the order asked for and spelled as asked for
//       (metric names are taken in any letter case); totals keyed by those
//       names; no "rows" when no page matches the filters, the totals "0".
//       Dates "yyyy-mm-dd", "today", "yesterday" or "NdaysAgo"; filters on
//       ga:pagePath with ==, !=, =@, !@, =~, !~, joined by "," (or) and ";"
//       (and), "\" escaping "\", "," and ";" in a value; max-results 1-10000.
// Several pages matching a filter add up their users, page views and
// sessions; the three averages are weighted by sessions.
//
// Requests pass Google's front end (see GoogleApiSupport.h), with the
// analytics, analytics.readonly or analytics.edit scope. Errors are the v3
// envelope {"error":{"errors":[{"domain","reason","message"}],"code","message"}}:
// 401 for no or an unknown token, 403 insufficientPermissions for a token
// without the scope or a view that is not the account's, 400
// invalidParameter / required for a bad or missing parameter (an unknown
// metric, a filter that cannot be read), 429 rateLimitExceeded once the
// requests allowed are spent.
//
// On the control interface, GET and POST /__sim/settings<prefix>/analytics
// read and change {"shuffledColumns": bool, "requestsBeforeRateLimit": n}.
class AnalyticsModule final : public ServiceModule {
public:
    static constexpr const char *kDefaultPrefix = simprefix::GoogleApis;
    static constexpr const char *kReadonlyScope = "https://www.googleapis.com/auth/analytics.readonly";

    // A page's totals over any period.
    struct PageTotals {
        double users = 0;
        double pageviews = 0;
        double sessions = 0;
        double avgSessionDuration = 0; // seconds
        double bounceRate = 0;         // percent
        double pageviewsPerSession = 0;
    };

    struct View {
        std::string id; // decimal text, may pass 2^31 - 1
        std::string name;
        std::map<std::string, PageTotals> pages; // by page path
        // Figures made up from the path for any page not in pages (one
        // path in ten has none), for the demo.
        bool madeUpPages = false;
    };

    struct Property {
        std::string id; // "UA-12345-1"
        std::string internalId;
        std::string name;
        std::string websiteUrl;
        std::vector<View> views;
    };

    struct Account {
        std::string id;
        std::string name;
        std::vector<Property> properties;
    };

    // count accounts of properties properties of views views each, ids from
    // firstId on, names "Account 1" ...
    static std::vector<Account> generatedAccounts(size_t count, size_t properties, size_t views,
                                                  long long firstId = 10000000);
    // Made-up figures of a page of a view; none for one path in ten.
    static bool madeUpTotals(const std::string &viewId, const std::string &pagePath, PageTotals *totals);

    explicit AnalyticsModule(std::shared_ptr<TokenRegistry> tokens);

    std::string defaultPrefix() const override { return kDefaultPrefix; }
    void install(SimServer &server, const std::string &prefix) override;

    // The accounts of a Google user, replacing those it had.
    void setAccounts(long long userId, std::vector<Account> accounts);
    // Accepts token as a Google token of userId with scope, added to the
    // scopes the token already has.
    void acceptToken(const std::string &token, long long userId, const std::string &scope = kReadonlyScope);

    // Answers report columns and totals in another order than asked for and
    // with the metric names in lower case.
    void setShuffledColumns(bool on);
    // Every further request with a valid token is answered 429
    // rateLimitExceeded after count more; -1 (the default) never.
    void setRequestsBeforeRateLimit(long long count);

    // The demo user (demo::kGoogleUserId) with demo accounts, and the demo
    // token demo::kGoogleToken with the analytics.readonly scope.
    void installDemoData();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace veltrano::sim
