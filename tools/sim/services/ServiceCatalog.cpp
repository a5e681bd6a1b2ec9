#include "ServiceCatalog.h"

#include "ServiceRation.h"
#include "ServiceSupport.h"
#include "app/SimulatorPrefixes.h"

#include "AhrefsModule.h"
#include "AhrefsV3Module.h"
#include "AnalyticsAdminModule.h"
#include "AnalyticsDataModule.h"
#include "AnalyticsModule.h"
#include "ControlModule.h"
#include "GoogleAccountsModule.h"
#include "IndexingApiModule.h"
#include "ProductPages.h"
#include "SearchConsoleAccounts.h"
#include "SearchConsoleModule.h"
#include "SimServer.h"
#include "TokenRegistry.h"
#include "TrendsModule.h"
#include "UrlInspectionModule.h"
#include "YandexMetrikaModule.h"
#include "YandexOAuthModule.h"
#include "YandexWebmasterModule.h"

namespace veltrano::sim {

std::vector<std::unique_ptr<ServiceModule>> allServiceModules()
{
    std::vector<std::unique_ptr<ServiceModule>> modules;
    modules.push_back(newsPages());
    modules.push_back(homePages());
    modules.push_back(makerPages());

    // One registry of issued tokens for every service: a token from a
    // sign-in at the simulated Yandex OAuth is accepted by the simulated
    // Yandex APIs, a Google token by the Google APIs.
    auto tokens = std::make_shared<TokenRegistry>();
    modules.push_back(std::make_unique<YandexOAuthModule>(tokens));
    modules.push_back(std::make_unique<GoogleAccountsModule>(tokens));
    auto webmaster = std::make_unique<YandexWebmasterModule>(tokens);
    webmaster->installDemoData();
    modules.push_back(std::move(webmaster));
    auto metrika = std::make_unique<YandexMetrikaModule>(tokens);
    metrika->installDemoData();
    modules.push_back(std::move(metrika));

    // Search Console answers on two hosts, the Google APIs host (properties,
    // search analytics) and the Search Console API host (URL Inspection),
    // from the same accounts.
    auto searchConsole = std::make_shared<SearchConsoleAccounts>(tokens);
    searchConsole->installDemoData();
    modules.push_back(std::make_unique<SearchConsoleModule>(searchConsole));
    modules.push_back(std::make_unique<UrlInspectionModule>(searchConsole));
    // The Indexing API takes the pages of the properties the account owns.
    modules.push_back(std::make_unique<IndexingApiModule>(searchConsole));
    modules.push_back(std::make_unique<TrendsModule>());
    // Google Analytics answers on the Google APIs host too, below /analytics/.
    auto analytics = std::make_unique<AnalyticsModule>(tokens);
    analytics->installDemoData();
    modules.push_back(std::move(analytics));
    // Google Analytics 4: the Admin API lists the accounts and properties
    // that the Data API reports on, each on a host of its own.
    auto ga4 = std::make_shared<Ga4Accounts>(tokens);
    ga4->installDemoData();
    modules.push_back(std::make_unique<AnalyticsAdminModule>(ga4));
    modules.push_back(std::make_unique<AnalyticsDataModule>(ga4));

    auto ahrefs = std::make_unique<AhrefsModule>();
    ahrefs->installDemoData();
    modules.push_back(std::move(ahrefs));
    auto ahrefsV3 = std::make_unique<AhrefsV3Module>();
    ahrefsV3->installDemoData();
    modules.push_back(std::move(ahrefsV3));
    return modules;
}

void installAllServices(SimServer &server)
{
    for (const auto &module : allServiceModules())
        module->install(server, module->defaultPrefix());
    ControlModule control;
    control.install(server, control.defaultPrefix());
    installRations(server);
}

void installRations(SimServer &server)
{
    using Style = ServiceRation::Style;
    using Settings = ServiceRation::Settings;
    const std::string googleApis = simprefix::GoogleApis;

    Settings searchAnalytics;
    searchAnalytics.perMinute = ServiceRation::kSearchAnalyticsPerMinute;
    std::make_shared<ServiceRation>(Style::GoogleWithErrorsList, "searchconsole.googleapis.com", searchAnalytics)
        ->install(server, googleApis + "/webmasters");

    // URL Inspection counts per property: the siteUrl of the request.
    Settings inspection;
    inspection.perMinute = ServiceRation::kUrlInspectionPerMinute;
    inspection.perDay = ServiceRation::kUrlInspectionPerDay;
    std::make_shared<ServiceRation>(Style::GooglePlain, "searchconsole.googleapis.com", inspection,
                                    [](const RecordedRequest &request) {
                                        const support::Json body = support::Json::parse(request.body, nullptr, false);
                                        return body.is_object() && body.contains("siteUrl") &&
                                                       body["siteUrl"].is_string()
                                                   ? body["siteUrl"].get<std::string>()
                                                   : std::string();
                                    })
        ->install(server, simprefix::SearchConsoleApi);

    std::make_shared<ServiceRation>(Style::GoogleErrorsListOnly, "analytics.googleapis.com")
        ->install(server, googleApis + "/analytics");

    // Metrika counts per user: the token that speaks for one.
    Settings metrika;
    metrika.perDay = ServiceRation::kMetrikaPerDay;
    metrika.atOnce = ServiceRation::kMetrikaAtOnce;
    std::make_shared<ServiceRation>(Style::YandexMetrika, "", metrika,
                                    [](const RecordedRequest &request) { return request.header("Authorization"); })
        ->install(server, simprefix::YandexMetrikaApi);

    Settings ahrefs;
    ahrefs.perMinute = ServiceRation::kAhrefsPerMinute;
    std::make_shared<ServiceRation>(Style::Ahrefs, "", ahrefs)->install(server, simprefix::AhrefsApi);
}

} // namespace veltrano::sim
