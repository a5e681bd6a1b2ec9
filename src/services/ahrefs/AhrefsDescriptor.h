#pragma once

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

} // namespace veltrano
