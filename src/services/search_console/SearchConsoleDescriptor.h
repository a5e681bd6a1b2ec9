#pragma once

#include "app/RequestLimits.h"
#include "app/ServiceDescriptor.h"

namespace veltrano {

namespace settings {
// The Search Console token list: alias = access token.
inline constexpr QLatin1String SearchConsoleTokens("GoogleSC_Token");
// The Indexing API's single token, without an alias.
inline constexpr QLatin1String IndexingApiTokenSection("GoogleSC_IndexingApi_Token");
inline constexpr QLatin1String IndexingApiTokenKey("GSC_IA");
} // namespace settings

// Google Search Console: clicks, impressions, CTR and position of each page
// ("Check GSC"), its URL Inspection states, and the Indexing API sign-in.
const ServiceDescriptor &searchConsoleDescriptor();

// What the pie counts after each of the two checks: "Check GSC" the
// "Indexed" cells, "URL Inspection API" the "Indexing State" cells.
ChartRule searchConsolePerformanceChart();
ChartRule searchConsoleInspectionChart();

// What Search Console accepts per property: Search Analytics 1 200 queries
// a minute ("Check GSC"), URL Inspection 600 a minute.
inline constexpr RequestLimits kSearchAnalyticsRequests{RequestLimits::kMostInFlight, 1200};
inline constexpr RequestLimits kUrlInspectionRequests{RequestLimits::kMostInFlight, 600};

} // namespace veltrano
