#pragma once

#include "app/SimulatorPrefixes.h"

#include "Ga4Accounts.h"
#include "ServiceModule.h"

#include <memory>

namespace veltrano::sim {

// The Google Analytics Data API (v1beta) on its own host, the report of one
// page of a GA4 property:
//   POST <prefix>/v1beta/properties/<id>:runReport
//       {"dateRanges": [{"startDate", "endDate"}], "metrics": [{"name"}],
//        "dimensionFilter": {"filter": {"fieldName": "pagePath" |
//        "pagePathPlusQueryString", "stringFilter": {"matchType": "EXACT" |
//        "BEGINS_WITH" | "CONTAINS", "value", "caseSensitive"}}},
//        "dimensions": [{"name": "pagePath" | "pagePathPlusQueryString"}],
//        "limit", "offset", "returnPropertyQuota": true}
//   answers
//       {"metricHeaders": [{"name", "type"}], "rows": [{"metricValues":
//        [{"value": "<text>"}]}], "rowCount": 1, "metadata": {"currencyCode",
//        "timeZone"}, "propertyQuota": {"tokensPerDay": {"consumed",
//        "remaining"}, "tokensPerHour": {...}, ...}, "kind":
//        "analyticsData#runReport"}
//   with every metric value a text (bounceRate a fraction, durations in
//   seconds), the metric headers in the order asked for, and "rows" and
//   "rowCount" left out when no page matches. With a dimension the report
//   has a row per page ({"dimensionValues": [{"value": "/path"}],
//   "metricValues": [...]}) from "offset" on (the first row is 0), at most
//   "limit" of them (10 000 when not given, never more than 250 000), under
//   "dimensionHeaders"; "rowCount" counts every row of the report whatever
//   the limit and offset, and "rows" is left out past the last one. Dates "yyyy-mm-dd", "today",
//   "yesterday" or "NdaysAgo".
// Errors {"error": {"code", "message", "status"}}: 401 UNAUTHENTICATED for
// no or an unknown token, 403 PERMISSION_DENIED for a property that is not
// the user's (or a token without the analytics scope), 400 INVALID_ARGUMENT
// for a property id that is not a number, a missing date range or metric,
// an unknown metric or a filter it cannot read, and 429 RESOURCE_EXHAUSTED
// once the property's hourly or daily tokens are spent.
//
// On the control interface, GET and POST /__sim/settings<prefix> read and
// change {"tokensPerHour", "tokensPerDay", "tokensPerReport",
// "reversedMetricHeaders"}.
class AnalyticsDataModule final : public ServiceModule {
public:
    explicit AnalyticsDataModule(std::shared_ptr<Ga4Accounts> accounts) : m_accounts(std::move(accounts)) {}

    std::string defaultPrefix() const override { return simprefix::AnalyticsDataApi; }
    void install(SimServer &server, const std::string &prefix) override;

private:
    std::shared_ptr<Ga4Accounts> m_accounts;
};

} // namespace veltrano::sim
