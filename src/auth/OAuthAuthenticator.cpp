#include "auth/OAuthAuthenticator.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

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

void OAuthAuthenticator::setScope(const QString &scope)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config.scope = scope;
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

QString OAuthAuthenticator::authorizationRequestUri() const
{
    const Config c = config();
    QString uri = c.authorizationEndpoint + QStringLiteral("?response_type=") + encode(c.responseType);
    if (!c.clientId.isEmpty())
        uri += QStringLiteral("&client_id=") + encode(c.clientId);
    if (!c.redirectUri.isEmpty())
        uri += QStringLiteral("&redirect_uri=") + encode(c.redirectUri);
    if (!c.scope.isEmpty())
        uri += QStringLiteral("&scope=") + encode(c.scope);
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

QByteArray OAuthAuthenticator::exchangeRequestBody() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto field = [](const char *name, const QString &value) {
        return QByteArray(name) + '=' + encode(value).toLatin1();
    };
    return field("code", m_code) + '&' + field("client_id", m_config.clientId) + '&' +
           field("client_secret", m_config.clientSecret) + '&' + field("redirect_uri", m_config.redirectUri) +
           '&' + field("grant_type", QStringLiteral("authorization_code"));
}

OAuthAuthenticator::ExchangeResult OAuthAuthenticator::applyTokenAnswer(const QByteArray &json,
                                                                        const QDateTime &now)
{
    ExchangeResult result;
    const QJsonObject answer = QJsonDocument::fromJson(json).object();
    auto text = [](const QJsonValue &v) {
        return v.isString() ? v.toString() : v.isDouble() ? QString::number(v.toDouble(), 'g', 17) : QString();
    };
    std::lock_guard<std::mutex> lock(m_mutex);
    if (answer.contains(QLatin1String("access_token"))) {
        const QString token = text(answer.value(QLatin1String("access_token")));
        result.gotAccessToken = !token.isEmpty();
        // An empty access token in the answer is no token: keep nothing of it.
        if (result.gotAccessToken)
            m_tokens.accessToken = token;
    }
    if (result.gotAccessToken && answer.contains(QLatin1String("refresh_token")))
        m_tokens.refreshToken = text(answer.value(QLatin1String("refresh_token")));
    if (result.gotAccessToken && answer.contains(QLatin1String("expires_in"))) {
        const QJsonValue v = answer.value(QLatin1String("expires_in"));
        bool ok = false;
        qint64 seconds = -1;
        if (v.isDouble()) {
            const double d = v.toDouble();
            ok = d >= 0 && d == double(qint64(d));
            seconds = qint64(d);
        } else if (v.isString()) {
            seconds = v.toString().toLongLong(&ok);
            ok = ok && seconds >= 0;
        }
        m_tokens.accessTokenExpiry = ok ? now.addSecs(seconds) : QDateTime();
    }
    if (result.gotAccessToken)
        m_code.clear();
    result.error = text(answer.value(QLatin1String("error")));
    result.errorDescription = text(answer.value(QLatin1String("error_description")));
    return result;
}

} // namespace veltrano
