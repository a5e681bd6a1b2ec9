// The simulated sign-in servers and the simulated Yandex Webmaster API, seen
// from the wire: a plain POSIX socket client sends each request and reads
// what the program's HTTP client would read.
#include "SimServer.h"
#include "services/DemoAccounts.h"
#include "services/GoogleAccountsModule.h"
#include "services/TokenRegistry.h"
#include "services/YandexOAuthModule.h"
#include "services/YandexWebmasterModule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace veltrano::sim;

namespace {

constexpr long long kUser = 777;
constexpr long long kBigUser = 778;
const QByteArray kToken = "test-token";
const QByteArray kBigToken = "big-site-token";
const QByteArray kRedirect = "http://localhost:42361/Callback";
const QByteArray kRedirectEncoded = "http%3A%2F%2Flocalhost%3A42361%2FCallback";
const QByteArray kAnalyticsScope = "https://www.googleapis.com/auth/analytics.readonly";

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;

    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// One request on its own connection; the answer is read to the end of the
// stream, with a time-out so that a fault fails the test instead of hanging it.
Reply exchange(int port, const QByteArray &method, const QByteArray &target, const QList<QByteArray> &headerLines = {},
               const QByteArray &formBody = {})
{
    Reply reply;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return reply;
    }
    QByteArray request = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    for (const QByteArray &line : headerLines)
        request += line + "\r\n";
    if (method == "POST")
        request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                   QByteArray::number(formBody.size()) + "\r\n";
    request += "\r\n" + formBody;
    ::send(fd, request.constData(), static_cast<size_t>(request.size()), MSG_NOSIGNAL);

    QByteArray all;
    char buffer[8192];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        all.append(buffer, n);
    ::close(fd);
    const int end = all.indexOf("\r\n\r\n");
    if (!all.startsWith("HTTP/1.1 ") || end < 0)
        return reply;
    reply.status = all.mid(9, 3).toInt();
    reply.head = all.left(end);
    reply.body = all.mid(end + 4);
    return reply;
}

QByteArray authorization(const QByteArray &token)
{
    return "Authorization: OAuth " + token;
}

QByteArray userPath(long long user)
{
    return "/yandex-webmaster/v4/user/" + QByteArray::number(user);
}

QByteArray hostPath(const QByteArray &hostId, long long user = kUser)
{
    return userPath(user) + "/hosts/" + hostId;
}

QByteArray yandexAuthorize(const QByteArray &clientId)
{
    return "/yandex-oauth/authorize?response_type=code&client_id=" + clientId + "&redirect_uri=" + kRedirectEncoded;
}

QByteArray googleAuthorize(const QByteArray &clientId)
{
    return "/google-accounts/o/oauth2/auth/oauthchooseaccount?response_type=code&client_id=" +
           QUrl::toPercentEncoding(clientId) + "&redirect_uri=" + kRedirectEncoded +
           "&scope=" + QUrl::toPercentEncoding(kAnalyticsScope);
}

QByteArray form(const QList<QPair<QByteArray, QByteArray>> &fields)
{
    QByteArray out;
    for (const auto &[name, value] : fields)
        out += (out.isEmpty() ? "" : "&") + name + '=' + QUrl::toPercentEncoding(value);
    return out;
}

// The code of a redirect to the callback, decoded.
QByteArray codeOf(const Reply &redirect)
{
    const QUrl location(QString::fromLatin1(redirect.header("Location")));
    return QUrlQuery(location).queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded).toUtf8();
}

} // namespace

namespace QTest {
// Failure messages show the texts compared.
template <> inline char *toString(const std::string &text)
{
    return toPrettyCString(text.data(), qsizetype(text.size()));
}
} // namespace QTest

class SimServicesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void authorizeRedirectsToCallback_data();
    void authorizeRedirectsToCallback();
    void yandexCodeBecomesAcceptedTokenOnce();
    void googleCodeBecomesTokenWithGrantedScope();
    void tokenRequestErrors_data();
    void tokenRequestErrors();
    void pkceIsVerifiedAsTheServicesDo_data();
    void pkceIsVerifiedAsTheServicesDo();
    void signInRecordShowsStateAndPkce();
    void refreshGrantAsEachServerAnswers_data();
    void refreshGrantAsEachServerAnswers();
    void ownApplicationIsTakenWithItsFirstSecret();
    void samplesArePagedByOffsetAndLimit_data();
    void samplesArePagedByOffsetAndLimit();
    void popularQueriesArePagedAndSorted();
    void popularQueriesInTheDocumentedShape();
    void queryHistoryGivesOnePointPerDay();
    void refusedRequestsGiveDocumentedErrors_data();
    void refusedRequestsGiveDocumentedErrors();
    void cyrillicInBothEncodings_data();
    void cyrillicInBothEncodings();
    void largeSiteListsAtMost50000Pages();

private:
    SimServer m_sim;
    std::shared_ptr<TokenRegistry> m_tokens = std::make_shared<TokenRegistry>();
    YandexOAuthModule m_yandexOAuth{m_tokens};
    GoogleAccountsModule m_google{m_tokens};
    YandexWebmasterModule m_webmaster{m_tokens};
    YandexWebmasterModule::Site m_site;
    int m_port = 0;
};

void SimServicesTest::initTestCase()
{
    m_yandexOAuth.install(m_sim, m_yandexOAuth.defaultPrefix());
    m_google.install(m_sim, m_google.defaultPrefix());
    m_webmaster.install(m_sim, m_webmaster.defaultPrefix());
    m_yandexOAuth.setUserId(kUser);

    m_site = YandexWebmasterModule::generatedSite("https:example.com:443", "https://example.com/",
                                                  "https://example.com/", 250, 1234);
    auto cyrillic = YandexWebmasterModule::generatedSite(
        "https:xn--e1afmkfd.xn--p1ai:443", "https://xn--e1afmkfd.xn--p1ai/", "https://пример.рф/", 10, 10);
    auto hidden = YandexWebmasterModule::generatedSite("https:hidden.example:443", "https://hidden.example/",
                                                       "https://hidden.example/", 3, 0);
    hidden.verified = false;
    m_webmaster.setSites(kUser, {m_site, cyrillic, hidden});
    m_webmaster.acceptToken(kToken.toStdString(), kUser);
    m_webmaster.setSites(kBigUser,
                         {YandexWebmasterModule::generatedSite("https:big.example:443", "https://big.example/",
                                                               "https://big.example/", 60000, 0)});
    m_webmaster.acceptToken(kBigToken.toStdString(), kBigUser);

    QVERIFY(m_sim.start());
    m_port = m_sim.port();
}

void SimServicesTest::init()
{
    m_yandexOAuth.setRefuseAccess(false);
    m_google.setRefuseAccess(false);
    m_webmaster.setEscapeUnicode(false);
    m_webmaster.setPopularCount(true);
    m_webmaster.setOmitUndefinedIndicators(false);
}

void SimServicesTest::authorizeRedirectsToCallback_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<bool>("userRefuses");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("location"); // pattern of the whole Location; empty: none expected

    const QByteArray ywm = demo::kYandexWebmasterClientId;
    const QByteArray google = demo::kGoogleClientId;
    const QString callback = QRegularExpression::escape(QString::fromLatin1(kRedirect));

    QTest::newRow("yandex code") << yandexAuthorize(ywm) << false << 302 << callback + "\\?code=[1-9][0-9]{6}";
    QTest::newRow("yandex state comes back")
        << yandexAuthorize(ywm) + "&state=a%20b" << false << 302 << callback + "\\?code=[0-9]{7}&state=a%20b";
    QTest::newRow("yandex client of a refusing user")
        << yandexAuthorize("deny-anything") << false << 302
        << callback + "\\?error=access_denied&error_description=User%20denied%20access";
    QTest::newRow("yandex user refuses") << yandexAuthorize(ywm) << true << 302
                                         << callback + "\\?error=access_denied&error_description=[^&]+";
    QTest::newRow("yandex implicit flow")
        << "/yandex-oauth/authorize?response_type=token&client_id=" + ywm + "&redirect_uri=" + kRedirectEncoded << false
        << 302 << callback + "\\?error=unsupported_response_type&.*";
    // A client id of Yandex's form is taken as the user's own application;
    // one of no such form is unknown.
    QTest::newRow("yandex unknown client")
        << yandexAuthorize("ffffffffffffffff-not-a-client-id") << false << 400 << QString();
    QTest::newRow("yandex without redirect_uri")
        << "/yandex-oauth/authorize?response_type=code&client_id=" + ywm << false << 400 << QString();
    QTest::newRow("yandex redirect off this machine") << "/yandex-oauth/authorize?response_type=code&client_id=" + ywm +
                                                             "&redirect_uri=https%3A%2F%2Fexample.com%2Fcb"
                                                      << false << 400 << QString();
    QTest::newRow("yandex redirect hiding a host behind user info")
        << "/yandex-oauth/authorize?response_type=code&client_id=" + ywm +
               "&redirect_uri=http%3A%2F%2Flocalhost%40example.com%2Fcb"
        << false << 400 << QString();

    // Google's code holds a "/", which comes percent-encoded, and the
    // granted scope follows the code.
    const QString scope = QRegularExpression::escape(QString::fromLatin1(QUrl::toPercentEncoding(kAnalyticsScope)));
    QTest::newRow("google code and scope")
        << googleAuthorize(google) << false << 302 << callback + "\\?code=4%2F0A[A-Za-z0-9_-]{69}&scope=" + scope;
    QTest::newRow("google plain auth path") << googleAuthorize(google).replace("/auth/oauthchooseaccount", "/auth")
                                            << false << 302 << callback + "\\?code=4%2F0A[A-Za-z0-9_-]+&scope=" + scope;
    QTest::newRow("google user refuses") << googleAuthorize(google) << true << 302
                                         << callback + "\\?error=access_denied";
    // Google sends the state back before the code.
    QTest::newRow("google state comes back first")
        << googleAuthorize(google) + "&state=a%2Bb" << false << 302
        << callback + "\\?state=a%2Bb&code=4%2F0A[A-Za-z0-9_-]{69}&scope=" + scope;
    QTest::newRow("google PKCE method it does not know")
        << googleAuthorize(google) + "&code_challenge=" + QByteArray(43, 'a') + "&code_challenge_method=S512" << false
        << 400 << QString();
    QTest::newRow("google PKCE challenge too short")
        << googleAuthorize(google) + "&code_challenge=abc&code_challenge_method=S256" << false << 400 << QString();
    QTest::newRow("yandex PKCE challenge too short")
        << yandexAuthorize(ywm) + "&code_challenge=abc&code_challenge_method=S256&state=s" << false << 302
        << callback + "\\?error=invalid_request&error_description=[^&]+&state=s";
    QTest::newRow("google without scope")
        << googleAuthorize(google).replace("&scope=", "&x=") << false << 400 << QString();
    QTest::newRow("google unknown client")
        << googleAuthorize("1-x.apps.example.com") << false << 401 << QString();
}

void SimServicesTest::authorizeRedirectsToCallback()
{
    QFETCH(QByteArray, target);
    QFETCH(bool, userRefuses);
    QFETCH(int, status);
    QFETCH(QString, location);

    m_yandexOAuth.setRefuseAccess(userRefuses);
    m_google.setRefuseAccess(userRefuses);
    const Reply reply = exchange(m_port, "GET", target);
    QCOMPARE(reply.status, status);
    if (location.isEmpty()) {
        QVERIFY(reply.header("Location").isEmpty());
        QVERIFY2(reply.header("Content-Type").startsWith("text/html"), reply.head.constData());
    } else {
        const QString actual = QString::fromLatin1(reply.header("Location"));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(location)).match(actual).hasMatch(),
                 qPrintable(actual));
    }
}

void SimServicesTest::yandexCodeBecomesAcceptedTokenOnce()
{
    const QByteArray code = codeOf(exchange(m_port, "GET", yandexAuthorize(demo::kYandexWebmasterClientId)));
    QVERIFY(!code.isEmpty());
    const QByteArray body = form({{"code", code},
                                  {"client_id", demo::kYandexWebmasterClientId},
                                  {"client_secret", demo::kYandexWebmasterClientSecret},
                                  {"redirect_uri", kRedirect},
                                  {"grant_type", "authorization_code"}});

    const Reply granted = exchange(m_port, "POST", "/yandex-oauth/token", {}, body);
    QCOMPARE(granted.status, 200);
    const QJsonObject token = granted.json();
    QCOMPARE(token.keys().size(), 4);
    QCOMPARE(token.value("token_type").toString(), QStringLiteral("bearer"));
    QCOMPARE(token.value("expires_in").toInteger(), qint64(31536000));
    QVERIFY(!token.value("refresh_token").toString().isEmpty());
    const QByteArray accessToken = token.value("access_token").toString().toLatin1();
    QVERIFY(accessToken.startsWith("y0_"));

    // The Webmaster API knows the new token and whose it is.
    const Reply user = exchange(m_port, "GET", "/yandex-webmaster/v4/user", {authorization(accessToken)});
    QCOMPARE(user.status, 200);
    QCOMPARE(user.body, "{\"user_id\":" + QByteArray::number(kUser) + "}");

    const Reply again = exchange(m_port, "POST", "/yandex-oauth/token", {}, body);
    QCOMPARE(again.status, 400);
    QCOMPARE(again.json().value("error").toString(), QStringLiteral("invalid_grant"));
    QCOMPARE(again.json().value("error_description").toString(), QStringLiteral("Code has expired"));
}

void SimServicesTest::googleCodeBecomesTokenWithGrantedScope()
{
    const auto tokenRequest = [&](const QByteArray &code, const QByteArray &redirect) {
        return exchange(m_port, "POST", "/google-accounts/o/oauth2/token", {},
                        form({{"code", code},
                              {"client_id", demo::kGoogleClientId},
                              {"client_secret", demo::kGoogleClientSecret},
                              {"redirect_uri", redirect},
                              {"grant_type", "authorization_code"}}));
    };
    const QByteArray code = codeOf(exchange(m_port, "GET", googleAuthorize(demo::kGoogleClientId)));
    QVERIFY(code.startsWith("4/0A"));

    const Reply granted = tokenRequest(code, kRedirect);
    QCOMPARE(granted.status, 200);
    const QJsonObject token = granted.json();
    QCOMPARE(token.keys().size(), 5);
    QCOMPARE(token.value("token_type").toString(), QStringLiteral("Bearer"));
    QCOMPARE(token.value("expires_in").toInteger(), qint64(3599));
    QCOMPARE(token.value("scope").toString(), QString::fromLatin1(kAnalyticsScope));
    QVERIFY(token.value("refresh_token").toString().startsWith(QStringLiteral("1//")));
    const std::string accessToken = token.value("access_token").toString().toStdString();
    QVERIFY(accessToken.rfind("ya29.", 0) == 0);
    const auto grant = m_tokens->find(accessToken);
    QVERIFY(grant);
    QCOMPARE(grant->issuer, std::string("google"));
    QCOMPARE(grant->scope, kAnalyticsScope.toStdString());

    const Reply again = tokenRequest(code, kRedirect);
    QCOMPARE(again.status, 400);
    QCOMPARE(again.body, QByteArray(R"({"error":"invalid_grant","error_description":"Bad Request"})"));

    // The token request must name the redirect address of the authorization.
    const QByteArray other = codeOf(exchange(m_port, "GET", googleAuthorize(demo::kGoogleClientId)));
    const Reply mismatch = tokenRequest(other, "http://localhost:1/Other");
    QCOMPARE(mismatch.status, 400);
    QCOMPARE(mismatch.json().value("error").toString(), QStringLiteral("redirect_uri_mismatch"));

    // A server fault set by a test answers before the module.
    m_sim.setResponse("POST", "/google-accounts/o/oauth2/token", Response::text("backend error", 503));
    QCOMPARE(tokenRequest(codeOf(exchange(m_port, "GET", googleAuthorize(demo::kGoogleClientId))), kRedirect).status,
             503);
    m_sim.clearScenario();
}

void SimServicesTest::refreshGrantAsEachServerAnswers_data()
{
    QTest::addColumn<bool>("google");
    QTest::newRow("Yandex") << false;
    QTest::newRow("Google") << true;
}

// A sign-in's refresh token gives new access tokens as each server
// documents it: Yandex with a new refresh token, Google without one. Access
// tokens expire after expires_in (shortened here), a revoked refresh token
// is answered invalid_grant, and the client's credentials are checked.
void SimServicesTest::refreshGrantAsEachServerAnswers()
{
    QFETCH(bool, google);
    const QByteArray client = google ? demo::kGoogleClientId : demo::kYandexWebmasterClientId;
    const QByteArray secret = google ? demo::kGoogleClientSecret : demo::kYandexWebmasterClientSecret;
    const QByteArray prefix = google ? "/google-accounts" : "/yandex-oauth";
    const QByteArray tokenPath = prefix + (google ? "/o/oauth2/token" : "/token");
    const auto settings = [&](const QByteArray &json) {
        QCOMPARE(exchange(m_port, "POST", "/__sim/oauth" + prefix, {"Content-Type: application/json"}, json).status,
                 200);
    };
    settings(R"({"accessTokenLifetime":1})");
    const QByteArray code = codeOf(exchange(m_port, "GET", google ? googleAuthorize(client) : yandexAuthorize(client)));
    const Reply signIn = exchange(m_port, "POST", tokenPath, {},
                                  form({{"code", code},
                                        {"client_id", client},
                                        {"client_secret", secret},
                                        {"redirect_uri", kRedirect},
                                        {"grant_type", "authorization_code"}}));
    QCOMPARE(signIn.status, 200);
    QCOMPARE(signIn.json().value("expires_in").toInteger(), qint64(1));
    const QByteArray refreshToken = signIn.json().value("refresh_token").toString().toLatin1();
    const auto refresh = [&](const QByteArray &token, const QByteArray &withSecret) {
        return exchange(m_port, "POST", tokenPath, {},
                        form({{"grant_type", "refresh_token"},
                              {"refresh_token", token},
                              {"client_id", client},
                              {"client_secret", withSecret}}));
    };

    const Reply renewed = refresh(refreshToken, secret);
    QCOMPARE(renewed.status, 200);
    const QJsonObject answer = renewed.json();
    QCOMPARE(answer.contains("refresh_token"), !google);
    QCOMPARE(answer.value("expires_in").toInteger(), qint64(1));
    const std::string access = answer.value("access_token").toString().toStdString();
    QVERIFY(m_tokens->find(access));
    // Expired tokens are refused like unknown ones.
    QTRY_VERIFY_WITH_TIMEOUT(!m_tokens->find(access), 5000);
    settings(R"({"accessTokenLifetime":0})");
    QCOMPARE(refresh(refreshToken, secret).json().value("expires_in").toInteger(), google ? qint64(3599) : qint64(31536000));

    const Reply wrongSecret = refresh(refreshToken, google ? "GOCSPX-wrong" : "ffffffffffffffffffffffffffffffff");
    QCOMPARE(wrongSecret.status, 401);
    QCOMPARE(wrongSecret.json().value("error").toString(), QStringLiteral("invalid_client"));
    QCOMPARE(refresh("1//0unknown", secret).json().value("error").toString(), QStringLiteral("invalid_grant"));

    settings(R"({"revokeRefreshTokens":true})");
    const Reply revoked = refresh(refreshToken, secret);
    QCOMPARE(revoked.status, 400);
    QCOMPARE(revoked.json().value("error").toString(), QStringLiteral("invalid_grant"));
}

// An application the user registered: a client id of the service's form
// is taken, and the secret of its first token request is its secret.
void SimServicesTest::ownApplicationIsTakenWithItsFirstSecret()
{
    const QByteArray client = "999999999999-ownclientownclientownclient0123.apps.googleusercontent.com";
    const QByteArray code = codeOf(exchange(m_port, "GET", googleAuthorize(client)));
    QVERIFY(!code.isEmpty());
    const auto tokenRequest = [&](const QByteArray &body) {
        return exchange(m_port, "POST", "/google-accounts/o/oauth2/token", {}, body);
    };
    const Reply signIn = tokenRequest(form({{"code", code},
                                            {"client_id", client},
                                            {"client_secret", "GOCSPX-mine"},
                                            {"redirect_uri", kRedirect},
                                            {"grant_type", "authorization_code"}}));
    QCOMPARE(signIn.status, 200);
    const QByteArray refreshToken = signIn.json().value("refresh_token").toString().toLatin1();
    const auto refresh = [&](const QByteArray &secret) {
        return tokenRequest(form({{"grant_type", "refresh_token"},
                                  {"refresh_token", refreshToken},
                                  {"client_id", client},
                                  {"client_secret", secret}}));
    };
    QCOMPARE(refresh("GOCSPX-other").status, 401);
    QCOMPARE(refresh("GOCSPX-mine").status, 200);
    // A client id of no known form is still refused at the sign-in page.
    QCOMPARE(exchange(m_port, "GET", googleAuthorize("not-a-client")).status, 401);
}

void SimServicesTest::tokenRequestErrors_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");

    const QByteArray ywm = demo::kYandexWebmasterClientId;
    const QByteArray ywmSecret = demo::kYandexWebmasterClientSecret;
    const QByteArray yandex = "/yandex-oauth/token";
    const auto yandexForm = [&](const QByteArray &code, const QByteArray &client, const QByteArray &secret,
                                const QByteArray &grant) {
        return form({{"code", code},
                     {"client_id", client},
                     {"client_secret", secret},
                     {"redirect_uri", kRedirect},
                     {"grant_type", grant}});
    };
    QTest::newRow("yandex unknown code") << yandex << yandexForm("1234567", ywm, ywmSecret, "authorization_code") << 400
                                         << "invalid_grant";
    QTest::newRow("yandex wrong secret") << yandex << yandexForm("1234567", ywm, "0", "authorization_code") << 401
                                         << "invalid_client";
    QTest::newRow("yandex unknown client")
        << yandex << yandexForm("1234567", "abc", ywmSecret, "authorization_code") << 401 << "invalid_client";
    QTest::newRow("yandex without code") << yandex << yandexForm("", ywm, ywmSecret, "authorization_code") << 400
                                         << "invalid_request";
    QTest::newRow("yandex without grant_type")
        << yandex << yandexForm("1234567", ywm, ywmSecret, "") << 400 << "invalid_request";
    QTest::newRow("yandex refresh grant without refresh_token")
        << yandex << yandexForm("1234567", ywm, ywmSecret, "refresh_token") << 400 << "invalid_request";
    QTest::newRow("yandex password grant")
        << yandex << yandexForm("1234567", ywm, ywmSecret, "password") << 400 << "unsupported_grant_type";
    QTest::newRow("yandex empty body") << yandex << QByteArray() << 400 << "invalid_request";

    const QByteArray google = "/google-accounts/o/oauth2/token";
    const auto googleForm = [&](const QByteArray &code, const QByteArray &secret, const QByteArray &redirect) {
        return form({{"code", code},
                     {"client_id", demo::kGoogleClientId},
                     {"client_secret", secret},
                     {"redirect_uri", redirect},
                     {"grant_type", "authorization_code"}});
    };
    QTest::newRow("google unknown code") << google << googleForm("4/0Ax", demo::kGoogleClientSecret, kRedirect) << 400
                                         << "invalid_grant";
    QTest::newRow("google wrong secret") << google << googleForm("4/0Ax", "GOCSPX-x", kRedirect) << 401
                                         << "invalid_client";
    QTest::newRow("google without redirect_uri")
        << google << googleForm("4/0Ax", demo::kGoogleClientSecret, "") << 400 << "invalid_request";
}

void SimServicesTest::tokenRequestErrors()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, error);

    const Reply reply = exchange(m_port, "POST", path, {}, body);
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.json().value("error").toString(), error);
    QVERIFY(!reply.json().value("error_description").toString().isEmpty());
}

namespace {

// RFC 7636, appendix B: a verifier and its S256 challenge.
const QByteArray kVerifier = "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk";
const QByteArray kChallenge = "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM";

} // namespace

void SimServicesTest::pkceIsVerifiedAsTheServicesDo_data()
{
    QTest::addColumn<bool>("google");
    QTest::addColumn<QByteArray>("method");   // code_challenge_method sent; "-": no challenge at all
    QTest::addColumn<QByteArray>("verifier"); // code_verifier of the token request; empty: none
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("description"); // the service's error_description; empty: granted

    const QByteArray wrong = QByteArray(43, 'x');
    QTest::newRow("yandex S256") << false << QByteArray("S256") << kVerifier << 200 << QString();
    QTest::newRow("yandex plain") << false << QByteArray("plain") << kChallenge << 200 << QString();
    QTest::newRow("yandex wrong verifier")
        << false << QByteArray("S256") << wrong << 400 << QStringLiteral("Code has expired");
    QTest::newRow("yandex no verifier") << false << QByteArray("S256") << QByteArray() << 400
                                        << QStringLiteral("Code has expired");
    QTest::newRow("yandex verifier without challenge") << false << QByteArray("-") << kVerifier << 200 << QString();
    QTest::newRow("google S256") << true << QByteArray("S256") << kVerifier << 200 << QString();
    QTest::newRow("google without a method is plain")
        << true << QByteArray() << kVerifier << 400 << QStringLiteral("Invalid code verifier.");
    QTest::newRow("google wrong verifier")
        << true << QByteArray("S256") << wrong << 400 << QStringLiteral("Invalid code verifier.");
    QTest::newRow("google no verifier") << true << QByteArray("S256") << QByteArray() << 400
                                        << QStringLiteral("Missing code verifier.");
    QTest::newRow("google verifier without challenge")
        << true << QByteArray("-") << kVerifier << 400 << QStringLiteral("code_verifier or verifier is not needed.");
}

void SimServicesTest::pkceIsVerifiedAsTheServicesDo()
{
    QFETCH(bool, google);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, verifier);
    QFETCH(int, status);
    QFETCH(QString, description);

    QByteArray authorize =
        google ? googleAuthorize(demo::kGoogleClientId) : yandexAuthorize(demo::kYandexWebmasterClientId);
    if (method != "-") {
        authorize += "&code_challenge=" + kChallenge;
        if (!method.isEmpty())
            authorize += "&code_challenge_method=" + method;
    }
    const QByteArray code = codeOf(exchange(m_port, "GET", authorize));
    QVERIFY(!code.isEmpty());
    QList<QPair<QByteArray, QByteArray>> fields{
        {"code", code},
        {"client_id", google ? demo::kGoogleClientId : demo::kYandexWebmasterClientId},
        {"client_secret", google ? demo::kGoogleClientSecret : demo::kYandexWebmasterClientSecret},
        {"redirect_uri", kRedirect},
        {"grant_type", "authorization_code"}};
    if (!verifier.isEmpty())
        fields.append({"code_verifier", verifier});
    const Reply reply =
        exchange(m_port, "POST", google ? "/google-accounts/o/oauth2/token" : "/yandex-oauth/token", {}, form(fields));
    QCOMPARE(reply.status, status);
    if (description.isEmpty()) {
        QVERIFY(!reply.json().value("access_token").toString().isEmpty());
    } else {
        QCOMPARE(reply.json().value("error").toString(), QStringLiteral("invalid_grant"));
        QCOMPARE(reply.json().value("error_description").toString(), description);
    }
}

void SimServicesTest::signInRecordShowsStateAndPkce()
{
    const QByteArray code =
        codeOf(exchange(m_port, "GET",
                        googleAuthorize(demo::kGoogleClientId) + "&state=st-1&code_challenge=" + kChallenge +
                            "&code_challenge_method=S256"));
    const auto tokenRequest = [&](const QByteArray &verifier) {
        return exchange(m_port, "POST", "/google-accounts/o/oauth2/token", {},
                        form({{"code", code},
                              {"client_id", demo::kGoogleClientId},
                              {"client_secret", demo::kGoogleClientSecret},
                              {"redirect_uri", kRedirect},
                              {"grant_type", "authorization_code"},
                              {"code_verifier", verifier}}));
    };
    QCOMPARE(tokenRequest(kVerifier).status, 200);
    const OAuthServerState::SignInRecord last = m_google.signIns().back();
    QCOMPARE(last.state, std::string("st-1"));
    QCOMPARE(last.codeChallengeMethod, std::string("S256"));
    QCOMPARE(last.redemption, std::string("granted, S256 code_verifier valid"));

    // The same on the control interface, for a simulator run as a program;
    // a second redemption of the code changes nothing there.
    QCOMPARE(tokenRequest(kVerifier).status, 400);
    const Reply record = exchange(m_port, "GET", "/__sim/sign-ins/google-accounts");
    QCOMPARE(record.status, 200);
    const QJsonArray all = QJsonDocument::fromJson(record.body).array();
    QVERIFY(!all.isEmpty());
    const QJsonObject entry = all.last().toObject();
    QCOMPARE(entry.value("client_id").toString(), QString::fromLatin1(demo::kGoogleClientId));
    QCOMPARE(entry.value("state").toString(), QStringLiteral("st-1"));
    QCOMPARE(entry.value("code_challenge_method").toString(), QStringLiteral("S256"));
    QCOMPARE(entry.value("redemption").toString(), QStringLiteral("granted, S256 code_verifier valid"));
}

void SimServicesTest::samplesArePagedByOffsetAndLimit_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<int>("firstIndex");
    QTest::addColumn<int>("size");

    // How the indexing check walks a site of 250 pages.
    QTest::newRow("offset 0") << QByteArray("?offset=0&limit=100") << 0 << 100;
    QTest::newRow("offset 100") << QByteArray("?offset=100&limit=100") << 100 << 100;
    QTest::newRow("offset 200") << QByteArray("?offset=200&limit=100") << 200 << 50;
    QTest::newRow("offset 300") << QByteArray("?offset=300&limit=100") << 300 << 0;
    QTest::newRow("defaults") << QByteArray() << 0 << 50;
    QTest::newRow("limit above 100") << QByteArray("?offset=0&limit=101") << -1 << 0;
    QTest::newRow("limit 0") << QByteArray("?limit=0") << -1 << 0;
    QTest::newRow("negative offset") << QByteArray("?offset=-1") << -1 << 0;
    QTest::newRow("offset not a number") << QByteArray("?offset=1e2") << -1 << 0;
}

void SimServicesTest::samplesArePagedByOffsetAndLimit()
{
    QFETCH(QByteArray, query);
    QFETCH(int, firstIndex);
    QFETCH(int, size);

    const Reply reply =
        exchange(m_port, "GET", hostPath("https:example.com:443") + "/search-urls/in-search/samples" + query,
                 {authorization(kToken)});
    if (firstIndex < 0) {
        QCOMPARE(reply.status, 400);
        QCOMPARE(reply.json().value("error_code").toString(), QStringLiteral("FIELD_VALIDATION_ERROR"));
        return;
    }
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.json().value("count").toInt(), 250);
    const QJsonArray samples = reply.json().value("samples").toArray();
    QCOMPARE(samples.size(), size);
    for (int i = 0; i < size; ++i) {
        const auto &page = m_site.pages[static_cast<size_t>(firstIndex + i)];
        const QJsonObject sample = samples[i].toObject();
        QCOMPARE(sample.keys(), QStringList({"last_access", "title", "url"}));
        QCOMPARE(sample.value("url").toString().toStdString(), page.url);
        QCOMPARE(sample.value("title").toString().toStdString(), page.title);
    }
}

void SimServicesTest::popularQueriesArePagedAndSorted()
{
    const QByteArray base = hostPath("https:example.com:443") +
                            "/search-queries/popular?order_by=TOTAL_SHOWS&limit=500&date_from=2023-01-01"
                            "&date_to=2023-12-27&query_indicator=TOTAL_SHOWS&query_indicator=AVG_CLICK_POSITION";
    QSet<QString> ids;
    double previousShows = 1e300;
    int neverClicked = 0;
    for (const auto &[offset, size] :
         {std::pair{0, 500}, std::pair{500, 500}, std::pair{1000, 234}, std::pair{1500, 0}}) {
        const Reply reply =
            exchange(m_port, "GET", base + "&offset=" + QByteArray::number(offset), {authorization(kToken)});
        QCOMPARE(reply.status, 200);
        const QJsonObject answer = reply.json();
        QCOMPARE(answer.value("count").toInt(), 1234);
        QCOMPARE(answer.value("date_from").toString(), QStringLiteral("2023-01-01"));
        const QJsonArray queries = answer.value("queries").toArray();
        QCOMPARE(queries.size(), size);
        for (const QJsonValue &value : queries) {
            const QJsonObject query = value.toObject();
            ids.insert(query.value("query_id").toString());
            QVERIFY(!query.value("query_text").toString().isEmpty());
            const QJsonObject indicators = query.value("indicators").toObject();
            // Only the indicators asked for, in the order asked.
            QCOMPARE(indicators.size(), 2);
            const double shows = indicators.value("TOTAL_SHOWS").toDouble();
            QVERIFY(shows <= previousShows);
            previousShows = shows;
            neverClicked += indicators.value("AVG_CLICK_POSITION").isNull() ? 1 : 0;
        }
    }
    QCOMPARE(ids.size(), 1234);
    QVERIFY(neverClicked > 0); // a query never clicked has a null click position

    const Reply unordered =
        exchange(m_port, "GET", hostPath("https:example.com:443") + "/search-queries/popular", {authorization(kToken)});
    QCOMPARE(unordered.status, 400);
    QCOMPARE(unordered.json().value("field_name").toString(), QStringLiteral("order_by"));
}

// Yandex's example answer has no "count", and an indicator without a value
// may be left out.
void SimServicesTest::popularQueriesInTheDocumentedShape()
{
    m_webmaster.setPopularCount(false);
    m_webmaster.setOmitUndefinedIndicators(true);
    const Reply reply = exchange(m_port, "GET",
                                 hostPath("https:example.com:443") +
                                     "/search-queries/popular?order_by=TOTAL_SHOWS&query_indicator=TOTAL_SHOWS"
                                     "&query_indicator=AVG_CLICK_POSITION",
                                 {authorization(kToken)});
    QCOMPARE(reply.status, 200);
    const QJsonObject answer = reply.json();
    QVERIFY(!answer.contains("count"));
    const QJsonArray queries = answer.value("queries").toArray();
    QCOMPARE(queries.size(), 500);
    int neverClicked = 0;
    for (const QJsonValue &value : queries) {
        const QJsonObject indicators = value.toObject().value("indicators").toObject();
        QVERIFY(indicators.contains("TOTAL_SHOWS"));
        if (!indicators.contains("AVG_CLICK_POSITION")) {
            QCOMPARE(indicators.size(), 1);
            ++neverClicked;
        } else {
            QVERIFY(indicators.value("AVG_CLICK_POSITION").isDouble());
        }
    }
    QVERIFY(neverClicked > 0);
}

void SimServicesTest::queryHistoryGivesOnePointPerDay()
{
    const auto &query = m_site.queries[0];
    const QByteArray path = hostPath("https:example.com:443") + "/search-queries/" +
                            QByteArray::fromStdString(query.id) +
                            "/history?date_from=2022-03-04&date_to=2022-03-06&query_indicator=TOTAL_SHOWS";
    const Reply reply = exchange(m_port, "GET", path, {authorization(kToken)});
    QCOMPARE(reply.status, 200);
    const QJsonObject answer = reply.json();
    QCOMPARE(answer.value("query_id").toString().toStdString(), query.id);
    QCOMPARE(answer.value("query_text").toString().toStdString(), query.text);
    const QJsonArray points = answer.value("indicators").toObject().value("TOTAL_SHOWS").toArray();
    QCOMPARE(points.size(), 3);
    QCOMPARE(points[0].toObject().value("date").toString(), QStringLiteral("2022-03-04T00:00:00+03:00"));
    QCOMPARE(points[2].toObject().value("date").toString(), QStringLiteral("2022-03-06T00:00:00+03:00"));
    // Shows are written as whole numbers, not as 12.0.
    QVERIFY2(QRegularExpression(R"("value":\d+\})").match(QString::fromUtf8(reply.body)).hasMatch(),
             reply.body.constData());
    QVERIFY(!reply.body.contains(R"("value":-)"));

    const Reply unknown = exchange(m_port, "GET", QByteArray(path).replace(QByteArray::fromStdString(query.id), "ffff"),
                                   {authorization(kToken)});
    QCOMPARE(unknown.status, 200);
    QVERIFY(unknown.json().value("indicators").toObject().isEmpty());

    const Reply backwards = exchange(
        m_port, "GET", QByteArray(path).replace("date_to=2022-03-06", "date_to=2022-03-01"), {authorization(kToken)});
    QCOMPARE(backwards.status, 400);
}

void SimServicesTest::refusedRequestsGiveDocumentedErrors_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("token"); // empty: no Authorization line
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorCode");

    const QByteArray samples = "/search-urls/in-search/samples";
    QTest::newRow("no token") << QByteArray("GET") << QByteArray("/yandex-webmaster/v4/user") << QByteArray() << 401
                              << "INVALID_OAUTH_TOKEN";
    QTest::newRow("unknown token") << QByteArray("GET") << QByteArray("/yandex-webmaster/v4/user")
                                   << QByteArray("no-such-token") << 403 << "INVALID_OAUTH_TOKEN";
    // A refused token leaves the program without a user id: "/v4/user//hosts".
    QTest::newRow("unknown token, empty user id") << QByteArray("GET") << QByteArray("/yandex-webmaster/v4/user//hosts")
                                                  << QByteArray("no-such-token") << 403 << "INVALID_OAUTH_TOKEN";
    QTest::newRow("empty user id") << QByteArray("GET") << QByteArray("/yandex-webmaster/v4/user//hosts") << kToken
                                   << 403 << "INVALID_USER_ID";
    QTest::newRow("another user's id") << QByteArray("GET") << userPath(kBigUser) + "/hosts" << kToken << 403
                                       << "INVALID_USER_ID";
    QTest::newRow("unverified host") << QByteArray("GET") << hostPath("https:hidden.example:443") + samples << kToken
                                     << 404 << "HOST_NOT_VERIFIED";
    QTest::newRow("another user's host") << QByteArray("GET") << hostPath("https:big.example:443") + samples << kToken
                                         << 404 << "HOST_NOT_VERIFIED";
    QTest::newRow("unknown resource") << QByteArray("GET") << hostPath("https:example.com:443") + "/summary" << kToken
                                      << 404 << "RESOURCE_NOT_FOUND";
    QTest::newRow("POST") << QByteArray("POST") << userPath(kUser) + "/hosts" << kToken << 405 << "METHOD_NOT_ALLOWED";
}

void SimServicesTest::refusedRequestsGiveDocumentedErrors()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, token);
    QFETCH(int, status);
    QFETCH(QString, errorCode);

    const Reply reply =
        exchange(m_port, method, path, token.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{authorization(token)});
    QCOMPARE(reply.status, status);
    const QJsonObject error = reply.json();
    QCOMPARE(error.value("error_code").toString(), errorCode);
    QVERIFY(!error.value("error_message").toString().isEmpty());
    QVERIFY(!error.contains("user_id")); // the program looks for "user_id": it must not find one
    if (errorCode == QLatin1String("INVALID_USER_ID"))
        QCOMPARE(error.value("available_user_id").toInteger(), kUser);
}

void SimServicesTest::cyrillicInBothEncodings_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("raw UTF-8") << false;
    QTest::newRow("\\u escapes") << true;
}

void SimServicesTest::cyrillicInBothEncodings()
{
    QFETCH(bool, escape);
    m_webmaster.setEscapeUnicode(escape);

    const Reply hosts = exchange(m_port, "GET", userPath(kUser) + "/hosts", {authorization(kToken)});
    const Reply samples =
        exchange(m_port, "GET", hostPath("https:xn--e1afmkfd.xn--p1ai:443") + "/search-urls/in-search/samples?limit=5",
                 {authorization(kToken)});
    QCOMPARE(hosts.status, 200);
    QCOMPARE(samples.status, 200);

    const QByteArray domain = "пример.рф";
    const QByteArray sofaTitle =
        "Диваны 🛋 со скидкой до 30%"; // beyond the BMP: a surrogate pair when escaped
    if (escape) {
        for (const QByteArray &body : {hosts.body, samples.body})
            QVERIFY(std::all_of(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
        QVERIFY(hosts.body.contains(R"(https://\u043f\u0440\u0438\u043c\u0435\u0440.\u0440\u0444/)"));
        QVERIFY(samples.body.contains(R"(\ud83d\udecb)"));
    } else {
        QVERIFY(hosts.body.contains(domain));
        QVERIFY(samples.body.contains(sofaTitle));
    }
    // Either way the JSON holds the same text.
    QCOMPARE(hosts.json().value("hosts").toArray()[1].toObject().value("unicode_host_url").toString(),
             QString::fromUtf8("https://" + domain + "/"));
    const QJsonArray list = samples.json().value("samples").toArray();
    QCOMPARE(list[3].toObject().value("title").toString(), QString::fromUtf8(sofaTitle));
    // Cyrillic paths are listed percent-encoded, as browsers send them.
    QCOMPARE(list[1].toObject().value("url").toString(),
             QStringLiteral("https://xn--e1afmkfd.xn--p1ai/%D0%B4%D0%BE%D1%81%D1%82%D0%B0%D0%B2%D0%BA%D0%B0/"));
}

void SimServicesTest::largeSiteListsAtMost50000Pages()
{
    const QByteArray samples = hostPath("https:big.example:443", kBigUser) + "/search-urls/in-search/samples?limit=100";
    const Reply last = exchange(m_port, "GET", samples + "&offset=49900", {authorization(kBigToken)});
    QCOMPARE(last.status, 200);
    QCOMPARE(last.json().value("count").toInt(), 50000);
    QCOMPARE(last.json().value("samples").toArray().size(), 100);
    const Reply beyond = exchange(m_port, "GET", samples + "&offset=50000", {authorization(kBigToken)});
    QCOMPARE(beyond.json().value("samples").toArray().size(), 0);
}

QTEST_GUILESS_MAIN(SimServicesTest)
#include "tst_simservices.moc"
