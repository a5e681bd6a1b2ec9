#pragma once

#include "app/RequestLimits.h"
#include "app/ServiceDescriptor.h"

namespace veltrano {

namespace settings {
// The Yandex Metrika token list: alias = access token.
inline constexpr QLatin1String YandexMetrikaTokens("YandexMetrika_Token");
} // namespace settings

// Yandex Metrika: visits, users, bounce rate, depth and time on page of each
// page over the Metrika period.
const ServiceDescriptor &yandexMetrikaDescriptor();

// Metrika takes at most 3 requests of a user at a time.
inline constexpr RequestLimits kMetrikaRequests{3, 0};

} // namespace veltrano
