#include "app/SandboxEndpoints.h"

#include "app/SimulatorPrefixes.h"

namespace veltrano {

Endpoints simulatorEndpoints(const QString &simBase, int loopbackPort)
{
    Endpoints e;
    e.yandexWebmasterApi = simBase + QLatin1String(simprefix::YandexWebmasterApi);
    e.yandexMetrikaApi = simBase + QLatin1String(simprefix::YandexMetrikaApi);
    e.googleApis = simBase + QLatin1String(simprefix::GoogleApis);
    e.searchConsoleApi = simBase + QLatin1String(simprefix::SearchConsoleApi);
    e.indexingApi = simBase + QLatin1String(simprefix::IndexingApi);
    e.analyticsAdminApi = simBase + QLatin1String(simprefix::AnalyticsAdminApi);
    e.analyticsDataApi = simBase + QLatin1String(simprefix::AnalyticsDataApi);
    e.ahrefsApi = simBase + QLatin1String(simprefix::AhrefsApi);
    e.ahrefsApiV3 = simBase + QLatin1String(simprefix::AhrefsApiV3);
    e.yandexOAuth = simBase + QLatin1String(simprefix::YandexOAuth);
    e.googleAccounts = simBase + QLatin1String(simprefix::GoogleAccounts);
    e.googleScopeBase = QStringLiteral("https://www.googleapis.com");
    e.trendsService = simBase + QLatin1String(simprefix::Trends);
    e.newsPage = simBase + QStringLiteral("/news/en");
    e.newsPageRu = simBase + QStringLiteral("/news/ru");
    e.homePage = simBase + QStringLiteral("/home/en");
    e.homePageRu = simBase + QStringLiteral("/home/ru");
    e.makerSite = simBase + QStringLiteral("/maker");
    e.loopbackHost = QStringLiteral("localhost");
    e.loopbackPort = loopbackPort;
    e.ywmClientId = QStringLiteral("0123456789abcdef0123456789abcdef");
    e.ywmClientSecret = QStringLiteral("fedcba9876543210fedcba9876543210");
    e.ymClientId = QStringLiteral("00112233445566778899aabbccddeeff");
    e.ymClientSecret = QStringLiteral("ffeeddccbbaa99887766554433221100");
    e.googleClientId =
        QStringLiteral("123456789012-abcdefghijklmnopqrstuvwxyz012345.apps.googleusercontent.com");
    e.googleClientSecret = QStringLiteral("GOCSPX-AbCdEfGhIjKlMnOpQrStUvWxYz01");
    return e;
}

} // namespace veltrano
