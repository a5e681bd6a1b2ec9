#pragma once

#include "app/RequestLimits.h"
#include "app/ServiceDescriptor.h"

namespace veltrano {

namespace settings {
// The Google Analytics token list: alias = access token.
inline constexpr QLatin1String AnalyticsTokens("GoogleAnalytics_Token");
} // namespace settings

// Google Analytics: users, page views, sessions, duration, pages per session
// and bounce rate of each page's path over the Google period.
const ServiceDescriptor &analyticsDescriptor();

// The Core Reporting API (v3) takes 10 requests of a view at a time and 10
// a second from one address; Analytics 4 10 requests of a property at a time.
inline constexpr RequestLimits kAnalyticsV3Requests{RequestLimits::kMostInFlight, 600};
inline constexpr RequestLimits kGa4Requests{RequestLimits::kMostInFlight, 0};

} // namespace veltrano
