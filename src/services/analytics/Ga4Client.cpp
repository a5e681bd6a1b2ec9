#include "services/analytics/Ga4Client.h"

#include "services/analytics/AnalyticsClient.h"
#include "services/search_console/GoogleApiClient.h"

#include <QUrl>

namespace veltrano {

Ga4Client::Ga4Client(ServiceExchange &exchange, Hosts hosts) : m_exchange(exchange), m_hosts(std::move(hosts)) {}

QStringList Ga4Client::headers(const QString &token, bool jsonBody) const
{
    QStringList lines{QStringLiteral("Authorization: Bearer ") + token};
    if (jsonBody)
        lines << QStringLiteral("Content-Type: application/json");
    return lines;
}

QString Ga4Client::accountSummariesUrl(const QString &pageToken) const
{
    QString url = m_hosts.adminApi + QStringLiteral("/v1beta/accountSummaries?pageSize=") +
                  QString::number(kSummaryPageSize);
    if (!pageToken.isEmpty())
        url += QStringLiteral("&pageToken=") + QString::fromLatin1(QUrl::toPercentEncoding(pageToken));
    return url;
}

QString Ga4Client::runReportUrl(qint64 propertyId) const
{
    return m_hosts.dataApi + QStringLiteral("/v1beta/properties/") + QString::number(propertyId) +
           QStringLiteral(":runReport");
}

QString Ga4Client::pageReportBody(const QString &from, const QString &to, const QString &dimension,
                                  const QString &value)
{
    const auto escaped = [](const QString &text) { return GoogleApiClient::jsonEscaped(text); };
    QString metrics;
    for (const QLatin1String name : kMetrics) {
        if (!metrics.isEmpty())
            metrics += QLatin1Char(',');
        metrics += QStringLiteral("{\"name\":\"") + name + QStringLiteral("\"}");
    }
    return QStringLiteral("{\"dateRanges\":[{\"startDate\":\"") + escaped(from) +
           QStringLiteral("\",\"endDate\":\"") + escaped(to) + QStringLiteral("\"}],\"metrics\":[") + metrics +
           QStringLiteral("],\"dimensionFilter\":{\"filter\":{\"fieldName\":\"") + escaped(dimension) +
           QStringLiteral("\",\"stringFilter\":{\"matchType\":\"EXACT\",\"value\":\"") + escaped(value) + QStringLiteral("\",\"caseSensitive\":true}}},\"returnPropertyQuota\":true}");
}

ExchangeResult Ga4Client::accountSummaries(const QString &token, const QString &pageToken)
{
    return m_exchange.get(AnalyticsClient::kLogLabel, accountSummariesUrl(pageToken), headers(token, false));
}

ExchangeResult Ga4Client::runReport(const QString &token, qint64 propertyId, const QString &from, const QString &to,
                                    const QString &dimension, const QString &value)
{
    return m_exchange.post(AnalyticsClient::kLogLabel, runReportUrl(propertyId), headers(token, true),
                           pageReportBody(from, to, dimension, value));
}

} // namespace veltrano
