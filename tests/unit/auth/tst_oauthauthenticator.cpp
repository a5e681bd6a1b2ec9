#include "auth/OAuthAuthenticator.h"
#include "auth/SignInProof.h"

#include <QRegularExpression>
#include <QtTest>

using veltrano::OAuthAuthenticator;
using veltrano::SignInProof;

class OAuthAuthenticatorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buildsAuthorizationRequestUris()
    {
        OAuthAuthenticator::Config yandex;
        yandex.authorizationEndpoint = QStringLiteral("https://oauth.yandex.ru/authorize");
        yandex.redirectUri = QStringLiteral("http://localhost:42361/Callback");
        yandex.clientId = QStringLiteral("0123456789abcdef0123456789abcdef");
        // No scope: no "&scope=" part at all.
        QCOMPARE(OAuthAuthenticator(yandex).authorizationRequestUri(),
                 QStringLiteral("https://oauth.yandex.ru/authorize?response_type=code"
                                "&client_id=0123456789abcdef0123456789abcdef"
                                "&redirect_uri=http%3A%2F%2Flocalhost%3A42361%2FCallback"));

        OAuthAuthenticator::Config google = yandex;
        google.authorizationEndpoint = QStringLiteral("https://accounts.google.com/o/oauth2/auth/oauthchooseaccount");
        google.clientId = QStringLiteral("123456789012-abc.apps.googleusercontent.com");
        google.scope = QStringLiteral("https://www.googleapis.com/auth/analytics.readonly");
        QCOMPARE(OAuthAuthenticator(google).authorizationRequestUri(),
                 QStringLiteral("https://accounts.google.com/o/oauth2/auth/oauthchooseaccount?response_type=code"
                                "&client_id=123456789012-abc.apps.googleusercontent.com"
                                "&redirect_uri=http%3A%2F%2Flocalhost%3A42361%2FCallback"
                                "&scope=https%3A%2F%2Fwww.googleapis.com%2Fauth%2Fanalytics.readonly"));

        // Offline access: after the scope, before the state and the challenge.
        google.offlineAccess = true;
        const SignInProof proof{QStringLiteral("s"), QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")};
        QVERIFY(OAuthAuthenticator(google).authorizationRequestUri(proof).contains(
            QLatin1String("analytics.readonly&access_type=offline&prompt=consent&state=s&code_challenge=")));
    }

    void proofFollowsThePartsFields()
    {
        OAuthAuthenticator::Config c;
        c.authorizationEndpoint = QStringLiteral("https://oauth.yandex.ru/authorize");
        c.redirectUri = QStringLiteral("http://localhost:42361/Callback");
        c.clientId = QStringLiteral("id");
        c.clientSecret = QStringLiteral("secret");
        OAuthAuthenticator a(c);
        // RFC 7636, appendix B: the verifier and the challenge it gives.
        const SignInProof proof{QStringLiteral("st+/="), QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk")};
        QCOMPARE(proof.codeChallenge(), QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));

        const QString withoutProof = a.authorizationRequestUri();
        QCOMPARE(a.authorizationRequestUri(proof),
                 withoutProof + QStringLiteral("&state=st%2B%2F%3D"
                                               "&code_challenge=E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"
                                               "&code_challenge_method=S256"));

        a.setAuthorizationCode(QStringLiteral("4821937"));
        QCOMPARE(a.exchangeRequestBody(proof.codeVerifier),
                 a.exchangeRequestBody() + "&code_verifier=dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk");
    }

    void generatedProofsAreFreshAndWellFormed()
    {
        const SignInProof a = SignInProof::generate();
        const SignInProof b = SignInProof::generate();
        // Unreserved characters only, within the lengths RFC 7636 allows
        // a verifier (43 to 128); never the same twice.
        const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_-]{43,128}$"));
        for (const QString &text : {a.state, a.codeVerifier, a.codeChallenge(), b.state, b.codeVerifier})
            QVERIFY2(form.match(text).hasMatch(), qPrintable(text));
        QVERIFY(a.state != b.state);
        QVERIFY(a.codeVerifier != b.codeVerifier);
        QVERIFY(a.state != a.codeVerifier);
    }

    void encodesEverythingButUnreserved()
    {
        QCOMPARE(OAuthAuthenticator::encode(QStringLiteral("aZ09-._~ /:?&=+%")),
                 QStringLiteral("aZ09-._~%20%2F%3A%3F%26%3D%2B%25"));
        QCOMPARE(OAuthAuthenticator::encode(QStringLiteral("я")), QStringLiteral("%D1%8F"));
    }

    void exchangeBodyListsFieldsInOrder()
    {
        OAuthAuthenticator::Config c;
        c.clientId = QStringLiteral("id");
        c.clientSecret = QStringLiteral("se/cret");
        c.redirectUri = QStringLiteral("http://localhost:42361/Callback");
        OAuthAuthenticator a(c);
        a.setAuthorizationCode(QStringLiteral("4/0Ab"));
        QCOMPARE(a.exchangeRequestBody(),
                 QByteArray("code=4%2F0Ab&client_id=id&client_secret=se%2Fcret"
                            "&redirect_uri=http%3A%2F%2Flocalhost%3A42361%2FCallback&grant_type=authorization_code"));
    }

    void appliesTokenAnswers()
    {
        const QDateTime now(QDate(2026, 12, 10), QTime(12, 0));
        OAuthAuthenticator a;
        a.setAuthorizationCode(QStringLiteral("c1"));

        auto r = a.applyTokenAnswer(R"({"access_token":"AT1","refresh_token":"RT1","expires_in":3600})", now);
        QVERIFY(r.gotAccessToken);
        QCOMPARE(a.tokens().accessToken, QStringLiteral("AT1"));
        QCOMPARE(a.tokens().refreshToken, QStringLiteral("RT1"));
        QCOMPARE(a.tokens().accessTokenExpiry, now.addSecs(3600));
        QVERIFY(a.authorizationCode().isEmpty());

        // A refused code: not an error, nothing taken, the service's words kept.
        a.setAuthorizationCode(QStringLiteral("c2"));
        r = a.applyTokenAnswer(R"({"error":"invalid_grant","error_description":"Code has expired"})", now);
        QVERIFY(!r.gotAccessToken);
        QCOMPARE(r.error, QStringLiteral("invalid_grant"));
        QCOMPARE(r.errorDescription, QStringLiteral("Code has expired"));
        QCOMPARE(a.tokens().accessToken, QStringLiteral("AT1"));
        QCOMPARE(a.authorizationCode(), QStringLiteral("c2"));

        // An expires_in that is no whole number clears the expiry.
        r = a.applyTokenAnswer(R"({"access_token":"AT2","expires_in":"soon"})", now);
        QVERIFY(r.gotAccessToken);
        QVERIFY(!a.tokens().accessTokenExpiry.isValid());
        // So does a lifetime beyond 32 bits, as Yandex documents one.
        a.applyTokenAnswer(R"({"access_token":"AT3","expires_in":3600})", now);
        a.applyTokenAnswer(R"({"access_token":"AT4","expires_in":124234123534})", now);
        QVERIFY(!a.tokens().accessTokenExpiry.isValid());
        a.applyTokenAnswer(R"({"access_token":"AT2","expires_in":"soon"})", now);
        QCOMPARE(a.tokens().refreshToken, QStringLiteral("RT1"));

        // Not JSON, or an empty token: nothing taken.
        QVERIFY(!a.applyTokenAnswer("<html>", now).gotAccessToken);
        QVERIFY(!a.applyTokenAnswer(R"({"access_token":""})", now).gotAccessToken);
        QCOMPARE(a.tokens().accessToken, QStringLiteral("AT2"));
    }
};

QTEST_GUILESS_MAIN(OAuthAuthenticatorTest)
#include "tst_oauthauthenticator.moc"
