#pragma once

#include "app/ServiceDescriptor.h"

namespace veltrano {

namespace settings {
// One entry per connected account: the key is the alias the user sees in the
// token list, the value the account's access token.
inline constexpr QLatin1String YandexWebmasterTokens("YandexWM_Token");
} // namespace settings

// Yandex Webmaster: whether each page is in Yandex's index, and its title.
const ServiceDescriptor &yandexWebmasterDescriptor();

} // namespace veltrano
