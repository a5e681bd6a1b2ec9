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

namespace {

QString metricList()
{
    QString metrics;
    for (const QLatin1String name : Ga4Client::kMetrics) {
        if (!metrics.isEmpty())
            metrics += QLatin1Char(',');
        metrics += QStringLiteral("{\"name\":\"") + name + QStringLiteral("\"}");
    }
    return metrics;
}

QString dateRange(const QString &from, const QString &to)
{
    const auto escaped = [](const QString &text) { return GoogleApiClient::jsonEscaped(text); };
    return QStringLiteral("\"dateRanges\":[{\"startDate\":\"") + escaped(from) +
           QStringLiteral("\",\"endDate\":\"") + escaped(to) + QStringLiteral("\"}]");
}

} // namespace

QString Ga4Client::siteReportBody(const QString &from, const QString &to, const QString &dimension, qint64 offset,
                                  qint64 limit)
{
    // Ordered by the page, so that the parts of a long report follow one
    // order from request to request.
    const QString name = GoogleApiClient::jsonEscaped(dimension);
    return QLatin1Char('{') + dateRange(from, to) + QStringLiteral(",\"dimensions\":[{\"name\":\"") + name +
           QStringLiteral("\"}],\"metrics\":[") + metricList() +
           QStringLiteral("],\"orderBys\":[{\"dimension\":{\"dimensionName\":\"") + name +
           QStringLiteral("\"}}],\"offset\":%1,\"limit\":%2,\"returnPropertyQuota\":true}").arg(offset).arg(limit);
}

ExchangeResult Ga4Client::siteReport(const QString &token, qint64 propertyId, const QString &from, const QString &to,
                                     const QString &dimension, qint64 offset, qint64 limit)
{
    return m_exchange.post(AnalyticsClient::kLogLabel, runReportUrl(propertyId), headers(token, true),
                           siteReportBody(from, to, dimension, offset, limit));
}

QString Ga4Client::pageReportBody(const QString &from, const QString &to, const QString &dimension,
                                  const QString &value)
{
    const auto escaped = [](const QString &text) { return GoogleApiClient::jsonEscaped(text); };
    return QLatin1Char('{') + dateRange(from, to) + QStringLiteral(",\"metrics\":[") + metricList() +
           QStringLiteral("],\"dimensionFilter\":{\"filter\":{\"fieldName\":\"") + escaped(dimension) +
           QStringLiteral("\",\"stringFilter\":{\"matchType\":\"EXACT\",\"value\":\"") + escaped(value) +
           QStringLiteral("\",\"caseSensitive\":true}}},\"returnPropertyQuota\":true}");
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
