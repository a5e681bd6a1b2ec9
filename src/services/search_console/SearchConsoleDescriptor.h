#pragma once

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

} // namespace veltrano
