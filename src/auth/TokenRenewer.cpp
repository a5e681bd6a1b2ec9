#include "auth/TokenRenewer.h"

#include "app/VeltranoError.h"
#include "auth/OAuthAuthenticator.h"
#include "net/JsonDocument.h"

#include <QLocale>

namespace veltrano {

TokenRenewer::TokenRenewer(HttpClient::Options options) : m_options(std::move(options)) {}

QByteArray TokenRenewer::requestBody(const OAuthCredentials &credentials, const QString &refreshToken)
{
    auto field = [](const char *name, const QString &value) {
        return QByteArray(name) + '=' + OAuthAuthenticator::encode(value).toLatin1();
    };
    return field("grant_type", QStringLiteral("refresh_token")) + '&' + field("refresh_token", refreshToken) +
           '&' + field("client_id", credentials.clientId) + '&' + field("client_secret", credentials.clientSecret);
}

TokenRenewer::Answer TokenRenewer::readAnswer(int status, const QByteArray &body, const QDateTime &now)
{
    Answer answer;
    answer.status = status;
    const JsonDocument doc = JsonDocument::parse(body);
    if (!doc.isValid())
        return answer; // no JSON: Failed
    const JsonValue &root = doc.root();
    auto text = [&](const char *name) {
        const JsonValue *v = root.member(name);
        return v && (v->isString() || v->isNumber()) ? v->text(QLocale::c()) : QString();
    };
    answer.error = text("error");
    answer.errorDescription = text("error_description");
    const QString token = text("access_token");
    if (status == 200 && !token.isEmpty()) {
        answer.outcome = Answer::Outcome::Renewed;
        answer.accessToken = token;
        const QString refresh = text("refresh_token");
        if (!refresh.isEmpty())
            answer.refreshToken = refresh;
        bool ok = false;
        const qint64 seconds = text("expires_in").toLongLong(&ok);
        if (ok && seconds >= 0 && seconds <= 0x7fffffffLL)
            answer.expiry = now.addSecs(seconds);
        return answer;
    }
    // RFC 6749, 5.2: a refresh token that is revoked, expired or issued to
    // another client, or a client the server no longer knows. Nothing but a
    // new sign-in helps.
    if (answer.error == QLatin1String("invalid_grant") || answer.error == QLatin1String("invalid_client") ||
        answer.error == QLatin1String("unauthorized_client"))
        answer.outcome = Answer::Outcome::Refused;
    return answer;
}

TokenRenewer::Answer TokenRenewer::renew(const QString &tokenEndpoint, const OAuthCredentials &credentials,
                                         const QString &refreshToken)
{
    HttpRequest request;
    request.verb = "POST";
    request.url = tokenEndpoint;
    request.headerLines << QStringLiteral("Content-Type: application/x-www-form-urlencoded");
    request.body = requestBody(credentials, refreshToken);
    const HttpResponse response = HttpClient(m_options).send(request);
    if (response.cancelled)
        throw RequestAborted();
    return readAnswer(response.status, response.body, QDateTime::currentDateTimeUtc());
}

} // namespace veltrano
