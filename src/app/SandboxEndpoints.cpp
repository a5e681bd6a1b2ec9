#include "app/SandboxEndpoints.h"

namespace veltrano {

Endpoints simulatorEndpoints(const QString &simBase, int loopbackPort)
{
    Endpoints e;
    e.yandexWebmasterApi = simBase + QStringLiteral("/yandex-webmaster");
    e.yandexMetrikaApi = simBase + QStringLiteral("/yandex-metrika");
    e.googleApis = simBase + QStringLiteral("/googleapis");
    e.searchConsoleApi = simBase + QStringLiteral("/searchconsole");
    e.indexingApi = simBase + QStringLiteral("/indexing");
    e.ahrefsApi = simBase + QStringLiteral("/ahrefs");
    e.yandexOAuth = simBase + QStringLiteral("/yandex-oauth");
    e.googleAccounts = simBase + QStringLiteral("/google-accounts");
    e.googleScopeBase = QStringLiteral("https://www.googleapis.com");
    e.trendsService = simBase + QStringLiteral("/trends");
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
