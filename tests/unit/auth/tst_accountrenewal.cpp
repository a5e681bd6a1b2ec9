#include "app/SandboxEndpoints.h"
#include "app/VeltranoError.h"
#include "auth/AccountRenewal.h"
#include "auth/OAuthApplicationSettings.h"
#include "auth/RefreshTokenStore.h"
#include "auth/SettingsFile.h"
#include "auth/TokenRenewer.h"
#include "services/ServiceTable.h"
#include "services/google/GoogleSignInDescriptor.h"

#include "services/DemoAccounts.h"
#include "services/GoogleAccountsModule.h"
#include "services/YandexOAuthModule.h"
#include "support/ServiceTestFixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace veltrano;

namespace {

using veltrano::testing::ServiceTestFixture;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A service API that takes exactly the live tokens of the registry, as the
// real ones do: 200 for a live token, 401 for any other.
struct Fixture : ServiceTestFixture<> {
    QTemporaryDir dir;
    SettingsFile settings{dir.filePath(QStringLiteral("Veltrano.ini"))};
    sim::YandexOAuthModule yandex{tokens};
    sim::GoogleAccountsModule google{tokens};
    Endpoints endpoints;
    std::unique_ptr<AccountRenewal> renewal;
    QDateTime now = QDateTime::currentDateTimeUtc();
    bool refuseEverything = false;

    Fixture()
    {
        yandex.install(sim, yandex.defaultPrefix());
        google.install(sim, google.defaultPrefix());
        sim.addHandler("*", "/api", [this](const sim::RecordedRequest &request) {
            const std::string line = request.header("Authorization");
            const std::string token = line.substr(line.find(' ') + 1);
            if (refuseEverything || !tokens->find(token))
                return sim::Response::json(R"({"error":"unauthorized"})", 401);
            return sim::Response::json(R"({"ok":true})");
        });
        sim.start();
        endpoints = simulatorEndpoints(simUrl(), 1);
        renewal = std::make_unique<AccountRenewal>(endpoints, settings, log, trace);
        renewal->setClock([this] { return now; });
        exchange.setAccessRenewal(renewal.get());
    }

    ExchangeResult call(const QString &token)
    {
        return exchange.get(QStringLiteral("API - HTTP Code: "), simUrl(QStringLiteral("/api/data")),
                            {QStringLiteral("Authorization: OAuth ") + token});
    }
    std::vector<sim::RecordedRequest> requestsTo(const std::string &path) const
    {
        std::vector<sim::RecordedRequest> found;
        for (const sim::RecordedRequest &r : requests()) {
            if (r.path.find(path) != std::string::npos)
                found.push_back(r);
        }
        return found;
    }
    sim::OAuthServerModule &server(const QString &section)
    {
        return section.startsWith(QLatin1String("Yandex")) ? static_cast<sim::OAuthServerModule &>(yandex)
                                                            : static_cast<sim::OAuthServerModule &>(google);
    }
    std::string clientOf(const QString &section) const
    {
        if (section.startsWith(QLatin1String("YandexWM")))
            return sim::demo::kYandexWebmasterClientId;
        if (section.startsWith(QLatin1String("YandexMetrika")))
            return sim::demo::kYandexMetrikaClientId;
        return sim::demo::kGoogleClientId;
    }
    // An account signed in earlier: its access token live at the API until
    // `lifetime` from now, its refresh token known to the server.
    void account(const QString &section, const QString &key, const QString &access, const QString &refresh,
                 const QDateTime &expiry)
    {
        tokens->add(access.toStdString(), {"test", clientOf(section), {}, 1});
        server(section).addRefreshToken(refresh.toStdString(), clientOf(section));
        RefreshTokenStore(settings, section).store(key, access, refresh, expiry);
    }
};

} // namespace

class AccountRenewalTest : public QObject {
    Q_OBJECT

private slots:
    void readsTokenAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("refresh");
        QTest::addColumn<qint64>("lifetime"); // -1: no expiry

        using O = TokenRenewer::Answer::Outcome;
        QTest::newRow("Google: no new refresh token")
            << 200 << QByteArray(R"({"access_token":"ya29.b","expires_in":3599,"scope":"s","token_type":"Bearer"})")
            << int(O::Renewed) << QString() << qint64(3599);
        QTest::newRow("Yandex: a new refresh token")
            << 200
            << QByteArray(R"({"token_type":"bearer","access_token":"y0_b","expires_in":31536000,"refresh_token":"1:r"})")
            << int(O::Renewed) << QStringLiteral("1:r") << qint64(31536000);
        QTest::newRow("lifetime beyond 32 bits")
            << 200 << QByteArray(R"({"access_token":"y0_b","expires_in":124234123534})") << int(O::Renewed)
            << QString() << qint64(-1);
        QTest::newRow("lifetime that is no number")
            << 200 << QByteArray(R"({"access_token":"y0_b","expires_in":"soon"})") << int(O::Renewed) << QString()
            << qint64(-1);
        QTest::newRow("empty refresh token is none")
            << 200 << QByteArray(R"({"access_token":"y0_b","refresh_token":""})") << int(O::Renewed) << QString()
            << qint64(-1);
        QTest::newRow("revoked") << 400
                                 << QByteArray(R"({"error":"invalid_grant","error_description":"Token has been expired or revoked."})")
                                 << int(O::Refused) << QString() << qint64(-1);
        QTest::newRow("unknown client") << 401 << QByteArray(R"({"error":"invalid_client"})") << int(O::Refused)
                                        << QString() << qint64(-1);
        QTest::newRow("server error") << 503 << QByteArray("busy") << int(O::Failed) << QString() << qint64(-1);
        QTest::newRow("200 without access token")
            << 200 << QByteArray(R"({"expires_in":3600})") << int(O::Failed) << QString() << qint64(-1);
        QTest::newRow("no answer") << 500 << QByteArray() << int(O::Failed) << QString() << qint64(-1);
    }
    void readsTokenAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, outcome);
        QFETCH(QString, refresh);
        QFETCH(qint64, lifetime);
        const QDateTime now(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
        const TokenRenewer::Answer answer = TokenRenewer::readAnswer(status, body, now);
        QCOMPARE(int(answer.outcome), outcome);
        QCOMPARE(answer.refreshToken.value_or(QString()), refresh);
        QCOMPARE(answer.expiry.isValid() ? now.secsTo(answer.expiry) : qint64(-1), lifetime);
    }

    void requestBodyCarriesTheGrant()
    {
        QCOMPARE(TokenRenewer::requestBody({QStringLiteral("id"), QStringLiteral("s/e")}, QStringLiteral("1//0a+b")),
                 QByteArray("grant_type=refresh_token&refresh_token=1%2F%2F0a%2Bb&client_id=id&client_secret=s%2Fe"));
    }

    // A token that expires within a minute is renewed before the request;
    // the new token is stored in place of the old one and sent, and a check
    // that goes on with the old token sends the new one without renewing
    // again. Yandex answers with a new refresh token, Google keeps the old.
    void renewsBeforeExpiry_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<bool>("newRefreshToken");
        QTest::newRow("Yandex Webmaster") << QStringLiteral("YandexWM_Token") << QStringLiteral("token_2")
                                          << QStringLiteral("Yandex Webmaster: access renewed for 'token_2'") << true;
        QTest::newRow("Yandex Metrika") << QStringLiteral("YandexMetrika_Token") << QStringLiteral("shop")
                                        << QStringLiteral("Yandex Metrika: access renewed for 'shop'") << true;
        QTest::newRow("Search Console") << QStringLiteral("GoogleSC_Token") << QStringLiteral("token_2")
                                        << QStringLiteral("Google Search Console: access renewed for 'token_2'")
                                        << false;
        QTest::newRow("Indexing API") << QStringLiteral("GoogleSC_IndexingApi_Token") << QStringLiteral("GSC_IA")
                                      << QStringLiteral("Google Search Console: access renewed for 'GSC_IA'")
                                      << false;
    }
    void renewsBeforeExpiry()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, logLine);
        QFETCH(bool, newRefreshToken);
        Fixture f;
        f.settings.writeString(section, QStringLiteral("token_1"), QStringLiteral("other"));
        f.account(section, key, QStringLiteral("old-access"), QStringLiteral("old-refresh"), f.now.addSecs(30));
        f.settings.writeString(section, QStringLiteral("token_9"), QStringLiteral("later"));

        QCOMPARE(f.call(QStringLiteral("old-access")).status, 200);
        const QString renewed = f.settings.readString(section, key);
        QVERIFY(renewed != QLatin1String("old-access") && !renewed.isEmpty());
        const auto apiCalls = f.requestsTo("/api/");
        QCOMPARE(apiCalls.size(), size_t(1));
        QCOMPARE(QString::fromStdString(apiCalls[0].header("Authorization")), QStringLiteral("OAuth ") + renewed);
        // In place: the token list keeps its entries and their order.
        if (key != QLatin1String("GSC_IA"))
            QCOMPARE(f.settings.keys(section), (QStringList{QStringLiteral("token_1"), key, QStringLiteral("token_9")}));
        const RefreshTokenStore::Entry entry = RefreshTokenStore(f.settings, section).read(key);
        QCOMPARE(entry.refreshToken != QLatin1String("old-refresh"), newRefreshToken);
        QVERIFY(entry.expiry > f.now.addSecs(3000));
        QVERIFY(f.log.messagesInOrder().contains(logLine));
        const auto grants = f.requestsTo("token");
        QCOMPARE(grants.size(), size_t(1));
        QCOMPARE(grants[0].formParam("grant_type"), std::string("refresh_token"));
        QCOMPARE(grants[0].formParam("refresh_token"), std::string("old-refresh"));
        QCOMPARE(grants[0].formParam("client_id"), f.clientOf(section));
        // The trace shows the new token by its first four characters only.
        QVERIFY(!f.trace.text().contains(renewed));

        QCOMPARE(f.call(QStringLiteral("old-access")).status, 200);
        QCOMPARE(f.requestsTo("token").size(), size_t(1));
        QCOMPARE(QString::fromStdString(f.requestsTo("/api/").back().header("Authorization")),
                 QStringLiteral("OAuth ") + renewed);
    }

    // A refused token is renewed once and the request sent again; when the
    // service refuses the new token too, the 401 stands (no second round).
    void renewsOnceAfterRefusal()
    {
        Fixture f;
        const QString section = QStringLiteral("YandexMetrika_Token");
        f.account(section, QStringLiteral("token_1"), QStringLiteral("revoked-at-api"), QStringLiteral("r1"), {});
        f.tokens->remove("revoked-at-api");
        const ExchangeResult answer = f.call(QStringLiteral("revoked-at-api"));
        QCOMPARE(answer.status, 200);
        QCOMPARE(f.requestsTo("/api/").size(), size_t(2));
        QCOMPARE(f.log.messagesInOrder(), (QStringList{QStringLiteral("API - HTTP Code: 401 Unauthorized"),
                                            QStringLiteral("Yandex Metrika: access renewed for 'token_1'"),
                                            QStringLiteral("API - HTTP Code: 200 OK")}));

        f.refuseEverything = true;
        QCOMPARE(f.call(QStringLiteral("revoked-at-api")).status, 401);
        QCOMPARE(f.requestsTo("/api/").size(), size_t(4));
        QCOMPARE(f.requestsTo("token").size(), size_t(2));
    }

    // invalid_grant: the message names the account and the way back
    // ("Add"); the file is not touched.
    void refusedRenewalNamesTheAccount()
    {
        Fixture f;
        const QString section = QStringLiteral("GoogleSC_Token");
        f.account(section, QStringLiteral("main site"), QStringLiteral("a1"), QStringLiteral("r1"),
                  f.now.addSecs(-5));
        f.google.revokeRefreshTokens();
        const QByteArray before = fileBytes(f.settings.path());
        try {
            f.call(QStringLiteral("a1"));
            QFAIL("the refused renewal must end the operation");
        } catch (const VeltranoError &error) {
            QVERIFY2(error.message().contains(QLatin1String("'main site'")), qPrintable(error.message()));
            QVERIFY(error.message().contains(QLatin1String("\"Add\"")));
            QVERIFY(error.message().contains(QLatin1String("invalid_grant")));
        }
        QCOMPARE(f.requestsTo("/api/").size(), size_t(0));
        QCOMPARE(fileBytes(f.settings.path()), before);
    }

    // The tokens of a renewal reach the file beside the requests. A second
    // renewal spends the rotated refresh token only once it is on disk; a
    // write the file refuses is an error, never a silent success, and the
    // file keeps the pair it had.
    void renewedTokensReachTheFileBeforeTheyAreSpent()
    {
        Fixture f;
        const QString section = QStringLiteral("YandexMetrika_Token");
        f.account(section, QStringLiteral("token_1"), QStringLiteral("a1"), QStringLiteral("r1"), f.now.addSecs(30));
        QCOMPARE(f.call(QStringLiteral("a1")).status, 200);
        f.now = f.now.addYears(2); // the renewed token comes due in turn
        QCOMPARE(f.call(QStringLiteral("a1")).status, 200);
        const auto grants = f.requestsTo("token");
        QCOMPARE(grants.size(), size_t(2));
        QCOMPARE(grants[0].formParam("refresh_token"), std::string("r1"));
        const std::string rotated = grants[1].formParam("refresh_token");
        QVERIFY(rotated != "r1" && !rotated.empty());
        f.renewal->waitForWrites();
        const QString stored = RefreshTokenStore(f.settings, section).read(QStringLiteral("token_1")).refreshToken;
        QVERIFY(!stored.isEmpty() && stored.toStdString() != rotated); // rotated once more

#ifdef Q_OS_UNIX
        // A file size limit makes the write fail as on a full disk; reading still works.
        f.account(section, QStringLiteral("token_1"), QStringLiteral("b1"), QStringLiteral("s1"), f.now.addSecs(30));
        const QByteArray before = fileBytes(f.settings.path());
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 16;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        int status = 0;
        QString message;
        try {
            status = f.call(QStringLiteral("b1")).status;
            f.renewal->waitForWrites();
        } catch (const VeltranoError &error) {
            message = error.message();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(status, 200);
        QVERIFY2(message.startsWith(QLatin1String("Unable to write to ")), qPrintable(message));
        QCOMPARE(fileBytes(f.settings.path()), before);
#endif
    }

    // A file of the earlier version: tokens without refresh entries go out
    // as stored, and a refusal comes back as it is.
    void accountsWithoutRefreshTokenWorkAsBefore()
    {
        Fixture f;
        const QString section = QStringLiteral("YandexWM_Token");
        f.settings.writeString(section, QStringLiteral("token_1"), QStringLiteral("live"));
        f.settings.writeString(section, QStringLiteral("token_2"), QStringLiteral("dead"));
        // An orphan refresh entry and an expiry that is no number count for nothing.
        f.settings.writeString(RefreshTokenStore::refreshSection(section), QStringLiteral("token_7"),
                               QStringLiteral("r7"));
        f.settings.writeString(RefreshTokenStore::expirySection(section), QStringLiteral("token_1"),
                               QStringLiteral("tomorrow"));
        f.tokens->add("live", {"test", {}, {}, 1});
        const QByteArray before = fileBytes(f.settings.path());
        QCOMPARE(f.call(QStringLiteral("live")).status, 200);
        QCOMPARE(f.call(QStringLiteral("dead")).status, 401);
        QCOMPARE(f.requestsTo("token").size(), size_t(0));
        QCOMPARE(fileBytes(f.settings.path()), before);
    }

    // The application the user entered renews the tokens it issued.
    void renewsWithTheUsersOwnApplication()
    {
        Fixture f;
        const OAuthCredentials own{QStringLiteral("123456789012-abcdefghijklmnopqrstuvwxyz012345.apps.googleusercontent.com"),
                                   QStringLiteral("GOCSPX-own_secret-123")};
        OAuthApplicationSettings(f.settings).store(googleOAuthApplication(), own);
        f.google.addClient(own.clientId.toStdString(), own.clientSecret.toStdString());
        const QString section = QStringLiteral("GoogleAnalytics_Token");
        f.tokens->add("a1", {"test", own.clientId.toStdString(), {}, 1});
        f.google.addRefreshToken("r1", own.clientId.toStdString());
        RefreshTokenStore(f.settings, section).store(QStringLiteral("token_1"), QStringLiteral("a1"),
                                                     QStringLiteral("r1"), f.now.addSecs(10));
        QCOMPARE(f.call(QStringLiteral("a1")).status, 200);
        const auto grants = f.requestsTo("token");
        QCOMPARE(grants.size(), size_t(1));
        QCOMPARE(QString::fromStdString(grants[0].formParam("client_id")), own.clientId);
        QCOMPARE(QString::fromStdString(grants[0].formParam("client_secret")), own.clientSecret);
    }
};

QTEST_GUILESS_MAIN(AccountRenewalTest)
#include "tst_accountrenewal.moc"
