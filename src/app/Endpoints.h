#pragma once

#include <QString>

#include <chrono>

namespace veltrano {

// Every address the program talks to and the OAuth client credentials. Fixed
// at build time: the product and the sandbox differ only in these values.
struct Endpoints final {
    QString yandexWebmasterApi;
    QString yandexMetrikaApi;
    QString googleApis;
    QString searchConsoleApi;
    QString indexingApi;
    QString analyticsAdminApi; // Google Analytics 4: accounts and properties
    QString analyticsDataApi;  // Google Analytics 4: reports
    QString ahrefsApi;
    QString ahrefsApiV3; // the host of Ahrefs API v3, which serves it below /v3
    QString yandexOAuth;
    QString googleAccounts;
    QString googleScopeBase;
    QString trendsService;
    QString newsPage;
    QString newsPageRu;
    QString homePage;
    QString homePageRu;
    QString makerSite;
    QString loopbackHost;
    int loopbackPort = 42361;

    QString ywmClientId;
    QString ywmClientSecret;
    QString ymClientId;
    QString ymClientSecret;
    QString googleClientId;
    QString googleClientSecret;

    // Extra certificate authority file trusted besides the system store. Empty
    // in the product; the tests set it to the simulator's own authority.
    QString extraCaFile;

    // The first wait before a rationed or failed request is tried again; the
    // later ones double from it. Tests shorten it.
    std::chrono::milliseconds retryFirstDelay{1000};

    // "http://<loopback host>:<port>/Callback", where sign-ins come back.
    QString redirectUri() const
    {
        return QStringLiteral("http://%1:%2/Callback").arg(loopbackHost).arg(loopbackPort);
    }
};

} // namespace veltrano
