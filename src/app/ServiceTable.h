#pragma once

#include "app/ReportColumn.h"

#include <QLatin1String>
#include <QString>

#include <array>
#include <vector>

namespace veltrano {

namespace settings {
// One entry per connected account: the key is the alias the user sees in the
// service's token list, the value the account's access token.
inline constexpr QLatin1String YandexWebmasterTokens("YandexWM_Token");
inline constexpr QLatin1String YandexMetrikaTokens("YandexMetrika_Token");
inline constexpr QLatin1String SearchConsoleTokens("GoogleSC_Token");
inline constexpr QLatin1String AnalyticsTokens("GoogleAnalytics_Token");
} // namespace settings

// The five services, in the order of their report tabs on the "URLs List"
// page and of their tabs on the Settings page.
enum class ServiceId : int {
    YandexWebmaster = 0,
    YandexMetrika = 1,
    SearchConsole = 2,
    Analytics = 3,
    Ahrefs = 4,
};
inline constexpr int ServiceCount = 5;

// Which sign-in the program waits for ("AuthTarget"). The Indexing API
// sign-in belongs to Search Console but keeps its token apart.
enum class SignInTarget : int {
    None = 0,
    YandexWebmaster = 1,
    YandexMetrika = 2,
    SearchConsole = 31,
    IndexingApi = 32,
    Analytics = 4,
};

// Everything the program knows about a service in one row: adding a
// service means adding a row here, a folder of its own under services/,
// a settings tab, a controller and a simulator module.
struct ServiceInfo {
    ServiceId id;
    QLatin1String name;          // "Yandex Webmaster": report and settings tab captions
    QLatin1String logLabel;      // "Yandex Webmaster - HTTP Code: ", before each request's status
    QLatin1String reportSheet;   // the report tab page ("tsURLsD")
    QLatin1String reportView;    // the report table ("ListView4"); the chart picks its rule by it
    QLatin1String exportName;    // the CSV file the save dialog proposes
    QLatin1String tokenSection;  // settings section of its token list; empty without one
    SignInTarget signIn;         // the sign-in that fills its token list
    QLatin1String signInLogName; // "YandexWM" in "YandexWM Code TRUE: "
    const char *simulatorPrefix; // its API host's prefix on veltrano-sim
    std::vector<ReportColumn> columns;

    // Position of the report tab (0-4) and of the settings tab.
    int tab() const { return int(id); }
    // Service code 1-5 (the report table's Tag).
    int tag() const { return int(id) + 1; }
    bool hasTokenList() const { return tokenSection.size() > 0; }
};

class ServiceTable final {
public:
    static const std::array<ServiceInfo, ServiceCount> &all();
    static const ServiceInfo &of(ServiceId id);
    // The service of a report tab (0-4); nullptr for any other number.
    static const ServiceInfo *ofTab(int tab);
    // The service of a tag (1-5); nullptr for any other tag.
    static const ServiceInfo *ofTag(int tag);
    // The service whose token list a sign-in fills; nullptr for the
    // Indexing API and None.
    static const ServiceInfo *ofSignIn(SignInTarget target);
};

} // namespace veltrano
