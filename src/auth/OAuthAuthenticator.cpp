#include "auth/OAuthAuthenticator.h"

#include "net/JsonDocument.h"

#include <QLocale>

namespace veltrano {

OAuthAuthenticator::OAuthAuthenticator(Config config) : m_config(std::move(config)) {}

OAuthAuthenticator::Config OAuthAuthenticator::config() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_config;
}

void OAuthAuthenticator::setConfig(const Config &config)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config = config;
}

QString OAuthAuthenticator::encode(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QString out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                                b == '-' || b == '.' || b == '_' || b == '~';
        if (unreserved) {
            out += QLatin1Char(char(b));
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[b >> 4]);
            out += QLatin1Char(hex[b & 15]);
        }
    }
    return out;
}

QString OAuthAuthenticator::authorizationRequestUri(const SignInProof &proof) const
{
    const Config c = config();
    QString uri = c.authorizationEndpoint + QStringLiteral("?response_type=") + encode(c.responseType);
    if (!c.clientId.isEmpty())
        uri += QStringLiteral("&client_id=") + encode(c.clientId);
    if (!c.redirectUri.isEmpty())
        uri += QStringLiteral("&redirect_uri=") + encode(c.redirectUri);
    if (!c.scope.isEmpty())
        uri += QStringLiteral("&scope=") + encode(c.scope);
    if (c.offlineAccess)
        uri += QStringLiteral("&access_type=offline&prompt=consent");
    if (!proof.state.isEmpty())
        uri += QStringLiteral("&state=") + encode(proof.state);
    if (!proof.codeVerifier.isEmpty()) {
        uri += QStringLiteral("&code_challenge=") + encode(proof.codeChallenge()) +
               QStringLiteral("&code_challenge_method=S256");
    }
    return uri;
}

QString OAuthAuthenticator::authorizationCode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_code;
}

void OAuthAuthenticator::setAuthorizationCode(const QString &code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_code = code;
}

OAuthAuthenticator::Tokens OAuthAuthenticator::tokens() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_tokens;
}

QByteArray OAuthAuthenticator::exchangeRequestBody(const QString &codeVerifier) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto field = [](const char *name, const QString &value) {
        return QByteArray(name) + '=' + encode(value).toLatin1();
    };
    QByteArray body = field("code", m_code) + '&' + field("client_id", m_config.clientId) + '&' +
                      field("client_secret", m_config.clientSecret) + '&' +
                      field("redirect_uri", m_config.redirectUri) + '&' +
                      field("grant_type", QStringLiteral("authorization_code"));
    if (!codeVerifier.isEmpty())
        body += '&' + field("code_verifier", codeVerifier);
    return body;
}

OAuthAuthenticator::ExchangeResult OAuthAuthenticator::applyTokenAnswer(const QByteArray &json,
                                                                        const QDateTime &now)
{
    ExchangeResult result;
    const JsonDocument doc = JsonDocument::parse(json);
    const JsonValue &answer = doc.root();
    auto text = [&](const char *name) {
        const JsonValue *v = answer.member(name);
        return v ? v->text(QLocale::c()) : QString();
    };
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString token = text("access_token");
    result.gotAccessToken = !token.isEmpty();
    // An answer without an access token (or with an empty one) changes
    // nothing: no refresh token or expiry of a failed exchange is kept.
    if (result.gotAccessToken) {
        m_tokens.accessToken = token;
        if (answer.member("refresh_token"))
            m_tokens.refreshToken = text("refresh_token");
        if (answer.member("expires_in")) {
            bool ok = false;
            const qint64 seconds = text("expires_in").toLongLong(&ok);
            // A lifetime beyond 32 bits (Yandex documents 124234123534) is
            // no usable expiry: the token is renewed once it is refused.
            m_tokens.accessTokenExpiry =
                ok && seconds >= 0 && seconds <= 0x7fffffffLL ? now.addSecs(seconds) : QDateTime();
        }
        m_code.clear();
    }
    result.error = text("error");
    result.errorDescription = text("error_description");
    result.tokens = m_tokens;
    return result;
}

} // namespace veltrano
