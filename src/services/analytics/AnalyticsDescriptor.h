#pragma once

#include "app/ServiceDescriptor.h"

namespace veltrano {

namespace settings {
// The Google Analytics token list: alias = access token.
inline constexpr QLatin1String AnalyticsTokens("GoogleAnalytics_Token");
} // namespace settings

// Google Analytics: users, page views, sessions, duration, pages per session
// and bounce rate of each page's path over the Google period.
const ServiceDescriptor &analyticsDescriptor();

} // namespace veltrano
