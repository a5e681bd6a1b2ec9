#include "app/SandboxEndpoints.h"
#include "app/VeltranoError.h"
#include "auth/OAuthApplicationSettings.h"
#include "auth/OAuthClients.h"
#include "services/ServiceTable.h"
#include "services/google/GoogleSignInDescriptor.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace veltrano;

namespace {

const OAuthApplication &yandexApplication()
{
    return *ServiceTable::signInKind(SignInTarget::YandexWebmaster)->application;
}

const QString GoogleId = QStringLiteral("123456789012-abcdefghijklmnopqrstuvwxyz012345.apps.googleusercontent.com");
const QString GoogleSecret = QStringLiteral("GOCSPX-abcdefghijklmnopqrstuvwx-_12");
const QString YandexId = QStringLiteral("0123456789abcdef0123456789ABCDEF");

} // namespace

class OAuthApplicationSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void checksTheForm_data()
    {
        QTest::addColumn<bool>("google");
        QTest::addColumn<QString>("clientId");
        QTest::addColumn<QString>("clientSecret");
        QTest::addColumn<QString>("problem"); // a part of the message; empty: usable

        QTest::newRow("Google") << true << GoogleId << GoogleSecret << QString();
        QTest::newRow("Google, older secret") << true << GoogleId << QStringLiteral("aB3_dEf-GhIjKlMnOpQrStUv") << QString();
        QTest::newRow("both empty: built-in") << true << QString() << QString() << QString();
        QTest::newRow("Google, id without digits")
            << true << QStringLiteral("abc-def.apps.googleusercontent.com") << GoogleSecret
            << QStringLiteral(".apps.googleusercontent.com");
        QTest::newRow("Google, other domain")
            << true << QStringLiteral("123-abc.apps.example.com") << GoogleSecret << QStringLiteral("form");
        QTest::newRow("Google, secret with a slash")
            << true << GoogleId << QStringLiteral("GOCSPX/abc") << QStringLiteral("only letters");
        QTest::newRow("only the id") << true << GoogleId << QString() << QStringLiteral("both");
        QTest::newRow("only the secret") << false << QString() << YandexId << QStringLiteral("both");
        QTest::newRow("id with a space inside")
            << true << QStringLiteral("123-abc .apps.googleusercontent.com") << GoogleSecret << QStringLiteral("blank");
        QTest::newRow("10 000 characters") << true << QString(10000, QLatin1Char('1')) << GoogleSecret
                                           << QStringLiteral("10000 characters");
        QTest::newRow("Yandex") << false << YandexId << QStringLiteral("00112233445566778899aabbccddeeff") << QString();
        QTest::newRow("Yandex, 31 digits")
            << false << YandexId.left(31) << QStringLiteral("00112233445566778899aabbccddeeff")
            << QStringLiteral("32 hexadecimal");
        QTest::newRow("Yandex, not hexadecimal")
            << false << YandexId << QStringLiteral("0011223344556677889zaabbccddeeff") << QStringLiteral("secret");
        QTest::newRow("Google id for Yandex") << false << GoogleId << YandexId << QStringLiteral("32 hexadecimal");
    }
    void checksTheForm()
    {
        QFETCH(bool, google);
        QFETCH(QString, clientId);
        QFETCH(QString, clientSecret);
        QFETCH(QString, problem);
        const OAuthApplication &application = google ? googleOAuthApplication() : yandexApplication();
        const QString found = OAuthApplicationSettings::problem(application, {clientId, clientSecret});
        if (problem.isEmpty())
            QVERIFY2(found.isEmpty(), qPrintable(found));
        else
            QVERIFY2(found.contains(problem), qPrintable(found));
    }

    // Stored pairs are what the next sign-in sends; an empty pair brings the
    // build-time application back; a pair of the wrong form is refused when
    // stored, and one edited into the file by hand stops the sign-in with a
    // message instead of a failing page.
    void storesAndReadsAtSignIn()
    {
        QTemporaryDir dir;
        SettingsFile file(dir.filePath(QStringLiteral("Veltrano.ini")));
        file.writeString(QStringLiteral("GoogleSC_Token"), QStringLiteral("token_1"), QStringLiteral("A"));
        const Endpoints endpoints = simulatorEndpoints(QStringLiteral("http://127.0.0.1:1"), 42361);
        OAuthApplicationSettings applications(file);
        const OAuthApplication &google = googleOAuthApplication();

        QCOMPARE(applications.effective(google, endpoints),
                 (OAuthCredentials{endpoints.googleClientId, endpoints.googleClientSecret}));
        applications.store(google, {GoogleId, GoogleSecret});
        QCOMPARE(file.readString(OAuthApplicationSettings::Section, QStringLiteral("Google_ClientId")), GoogleId);
        const OAuthAuthenticator::Config config = OAuthClients::configFor(
            *ServiceTable::signInKind(SignInTarget::Analytics), endpoints, applications.effective(google, endpoints));
        QCOMPARE(config.clientId, GoogleId);
        QCOMPARE(config.clientSecret, GoogleSecret);
        // Google sign-ins ask for offline access, so every one brings a refresh token.
        const QString uri = OAuthAuthenticator(config).authorizationRequestUri();
        QVERIFY2(uri.contains(QLatin1String("&access_type=offline&prompt=consent")), qPrintable(uri));

        QVERIFY_THROWS_EXCEPTION(VeltranoError, applications.store(google, {QStringLiteral("x y"), GoogleSecret}));
        QCOMPARE(applications.stored(google), (OAuthCredentials{GoogleId, GoogleSecret}));

        file.writeString(OAuthApplicationSettings::Section, QStringLiteral("Google_ClientSecret"), QStringLiteral("a/b"));
        try {
            applications.effective(google, endpoints);
            QFAIL("a stored pair of the wrong form must not be used");
        } catch (const VeltranoError &error) {
            QVERIFY(error.message().contains(QLatin1String("Google application")));
        }

        applications.store(google, {});
        QCOMPARE(applications.effective(google, endpoints).clientId, endpoints.googleClientId);
        QCOMPARE(file.keys(OAuthApplicationSettings::Section), QStringList());
        QCOMPARE(file.readString(QStringLiteral("GoogleSC_Token"), QStringLiteral("token_1")), QStringLiteral("A"));
    }
};

QTEST_GUILESS_MAIN(OAuthApplicationSettingsTest)
#include "tst_oauthapplicationsettings.moc"
