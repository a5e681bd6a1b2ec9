#pragma once

#include "app/Endpoints.h"
#include "app/ReportColumn.h"

#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <vector>

namespace veltrano {

// The services, in the order of their report tabs on the "URLs List" page
// and of their tabs on the Settings page. The registry (ServiceTable) holds
// one descriptor per entry; code outside a service's own folders asks the
// descriptor and never tests for a particular service.
enum class ServiceId : int {
    YandexWebmaster = 0,
    YandexMetrika = 1,
    SearchConsole = 2,
    Analytics = 3,
    Ahrefs = 4,
};

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

// How the statistics pie counts a report table's rows.
struct ChartRule {
    enum class Count {
        // Rows whose cell in `column` is exactly `reference` against the rest.
        MatchingCell,
        // Rows whose cell in `column` is a number above 5 (visits, users)
        // against the rest; rows with that cell empty are not counted.
        Traffic,
    };
    Count count = Count::MatchingCell;
    int column = 1;
    QString reference;

    bool isTraffic() const { return count == Count::Traffic; }
    // "URL Indexation Stats" or "Page Visit Stats".
    QString title() const
    {
        return isTraffic() ? QStringLiteral("Page Visit Stats") : QStringLiteral("URL Indexation Stats");
    }
    bool operator==(const ChartRule &) const = default;

    static ChartRule matching(int column, const char *reference)
    {
        return {Count::MatchingCell, column, QString::fromLatin1(reference)};
    }
    static ChartRule traffic(int column) { return {Count::Traffic, column, {}}; }
};

// Which reporting period a service's checks read.
enum class PeriodBinding {
    None,
    Google,  // ComboBox5 with DateTimePicker1/2
    Metrika, // ComboBox10 with DateTimePicker3/4
};

// An OAuth application the user signs in to: where its authorization and
// token endpoints are, and which build-time client credentials it uses.
struct OAuthApplication {
    enum class Host { YandexOAuth, GoogleAccounts };
    QLatin1String name; // "Google": names the application in messages and settings
    Host host;
    QLatin1String authorizePath;
    QLatin1String tokenPath;
    QString Endpoints::*clientId;
    QString Endpoints::*clientSecret;
    // Where the user registers an application of their own and what it
    // needs (the scopes, the APIs to enable); "%1" stands for the redirect
    // address. Shown beside the client id and secret on the Settings page.
    QLatin1String registrationHelp = QLatin1String("");
    // The authorization request asks for offline access, so that every
    // sign-in brings a refresh token (Google); Yandex sends one anyway.
    bool asksOfflineAccess = false;

    QString hostOf(const Endpoints &endpoints) const
    {
        return host == Host::YandexOAuth ? endpoints.yandexOAuth : endpoints.googleAccounts;
    }
};

// One way of signing in that a service offers: the "Add" of its token list,
// or a sign-in that keeps a single token of its own (the Indexing API).
struct SignInKind {
    SignInTarget target;
    const OAuthApplication *application;
    // Appended to the build's Google scope base; empty: no scope is sent.
    QLatin1String scopePath;
    // Where the token goes: a new alias in this section (token list), or the
    // one key `singleTokenKey` of this section when that key is set.
    QLatin1String section;
    QLatin1String singleTokenKey;
    // What the user is told once a single token is stored.
    QLatin1String savedNotice;

    bool keepsSingleToken() const { return singleTokenKey.size() > 0; }
    QString scope(const Endpoints &endpoints) const
    {
        return scopePath.size() > 0 ? endpoints.googleScopeBase + scopePath : QString();
    }
};

// Everything the rest of the program needs to know of a service: its report
// table, chart, export, settings sections, sign-ins, period and where it
// lives on the simulator. Each service defines its own in its folder under
// services/; ServiceTable lists them.
struct ServiceDescriptor {
    ServiceId id;
    QLatin1String name;        // "Yandex Webmaster": report and settings tab captions
    QLatin1String logLabel;    // "Yandex Webmaster - HTTP Code: ", before each request's status
    QLatin1String reportSheet; // the report tab page ("tsURLsD")
    QLatin1String reportView;  // the report table ("ListView4")
    QLatin1String exportName;  // the CSV file the save dialog proposes
    QStringList csvHeader;     // the CSV file's first line, field by field
    std::vector<ReportColumn> columns;
    ChartRule chart;                             // how the pie counts the table until a check says otherwise
    bool multiSelect = false;                    // whether its report selects several rows at once
    QLatin1String tokenSection;                  // settings section of its token list; empty without one
    QLatin1String signInLogName;                 // "YandexWM" in "YandexWM Code TRUE: "
    std::vector<SignInKind> signIns;             // the first fills the token list
    std::vector<QLatin1String> settingsSections; // every settings section the service owns
    PeriodBinding period = PeriodBinding::None;
    const char *simulatorPrefix = ""; // its API host's prefix on veltrano-sim

    // Position of the report tab and of the settings tab.
    int tab() const { return int(id); }
    // Service code from 1 (the report table's Tag).
    int tag() const { return int(id) + 1; }
    bool hasTokenList() const { return tokenSection.size() > 0; }
    // The sign-in that fills its token list; None without one.
    SignInTarget signIn() const { return signIns.empty() ? SignInTarget::None : signIns.front().target; }
    const SignInKind *signInKind(SignInTarget target) const
    {
        for (const SignInKind &kind : signIns) {
            if (kind.target == target)
                return &kind;
        }
        return nullptr;
    }
};

} // namespace veltrano
