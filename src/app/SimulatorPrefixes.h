#pragma once

// Where each outside service lives on veltrano-sim: one path prefix per
// service host. The sandbox program's endpoints and the simulator's routes
// are both built from these names, so the two can never drift apart. Plain
// C++: the simulator links no Qt.

namespace veltrano::simprefix {

inline constexpr const char *YandexWebmasterApi = "/yandex-webmaster";
inline constexpr const char *YandexMetrikaApi = "/yandex-metrika";
inline constexpr const char *GoogleApis = "/googleapis";
inline constexpr const char *SearchConsoleApi = "/searchconsole";
inline constexpr const char *IndexingApi = "/indexing";
inline constexpr const char *AnalyticsAdminApi = "/analyticsadmin";
inline constexpr const char *AnalyticsDataApi = "/analyticsdata";
inline constexpr const char *AhrefsApi = "/ahrefs";
inline constexpr const char *AhrefsApiV3 = "/ahrefs-v3";
inline constexpr const char *YandexOAuth = "/yandex-oauth";
inline constexpr const char *GoogleAccounts = "/google-accounts";
inline constexpr const char *Trends = "/trends";

} // namespace veltrano::simprefix
