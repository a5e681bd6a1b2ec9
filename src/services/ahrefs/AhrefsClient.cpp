#include "services/ahrefs/AhrefsClient.h"

#include "app/ActivityLog.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/SecretText.h"

#include <QUrl>

namespace veltrano {

namespace {

QString encoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

AhrefsClient::AhrefsClient(ServiceExchange &exchange, QString apiHost)
    : m_exchange(exchange), m_apiHost(std::move(apiHost))
{
}

QString AhrefsClient::address(const AhrefsQuery &query, const QString &tokenText) const
{
    QString url = m_apiHost + QStringLiteral("/?from=") + encoded(query.table);
    if (!query.where.isEmpty())
        url += QStringLiteral("&where=") + encoded(query.where);
    url += QStringLiteral("&limit=") + QString::number(query.limit);
    url += QStringLiteral("&target=") + encoded(query.target);
    url += QStringLiteral("&mode=") + encoded(query.mode);
    url += QStringLiteral("&output=json&token=") + tokenText;
    return url;
}

QString AhrefsClient::url(const AhrefsQuery &query, const QString &token) const
{
    return address(query, encoded(token));
}

QString AhrefsClient::tracedUrl(const AhrefsQuery &query, const QString &token) const
{
    return address(query, maskedToken(token));
}

QString AhrefsClient::maskedToken(const QString &token)
{
    return secretPreview(token);
}

ExchangeResult AhrefsClient::request(const AhrefsQuery &query, const QString &token, ExchangeOptions options)
{
    return m_exchange.get(kLogLabel, url(query, token), {}, options);
}

void AhrefsClient::writeStatus(const ExchangeResult &answer)
{
    m_exchange.trace().add(QString());
    m_exchange.trace().add(QStringLiteral("HTTP Code: ") + QString::number(answer.status) + QLatin1Char(' ') +
                           answer.reason);
    m_exchange.log().addToLog(ServiceExchange::logLine(kLogLabel, answer.status, answer.reason));
}

QString AhrefsClient::serviceError(const JsonDocument &answer)
{
    if (!answer.isValid() || !answer.root().isObject())
        return {};
    const JsonValue *error = answer.root().member("error");
    return error ? error->text() : QString();
}

} // namespace veltrano
