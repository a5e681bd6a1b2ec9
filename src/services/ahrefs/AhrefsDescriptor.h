#pragma once

#include "app/RequestLimits.h"
#include "app/ServiceDescriptor.h"

namespace veltrano {

namespace settings {
// The Ahrefs API token the user types in, without an alias.
inline constexpr QLatin1String AhrefsTokenSection("Ahrefs_Token");
inline constexpr QLatin1String AhrefsTokenKey("Token");
} // namespace settings

// Ahrefs: whether Ahrefs knows each page, its rank, HTTP status, links and
// title; signed in with a typed API token, not OAuth.
const ServiceDescriptor &ahrefsDescriptor();

// Ahrefs answers 60 requests a minute.
inline constexpr RequestLimits kAhrefsRequests{RequestLimits::kMostInFlight, 60};

} // namespace veltrano
