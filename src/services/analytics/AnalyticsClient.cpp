#include "services/analytics/AnalyticsClient.h"

#include <QUrl>

namespace veltrano {

AnalyticsClient::AnalyticsClient(ServiceExchange &exchange, QString googleApis)
    : m_exchange(exchange), m_googleApis(std::move(googleApis))
{
}

ExchangeResult AnalyticsClient::get(const QString &token, const QString &command)
{
    const QString url = command.isEmpty() ? accountSummariesUrl() : command;
    return m_exchange.get(kLogLabel, url, {QStringLiteral("Authorization: OAuth ") + token});
}

QString AnalyticsClient::accountSummariesUrl(qint64 startIndex) const
{
    QString url = m_googleApis + QStringLiteral("/analytics/v3/management/accountSummaries");
    if (startIndex > 1)
        url += QStringLiteral("?start-index=%1&max-results=%2").arg(startIndex).arg(kSummaryPageSize);
    return url;
}

QString AnalyticsClient::reportUrl(qint64 viewId, const QString &from, const QString &to,
                                   const QString &pagePath) const
{
    return m_googleApis + QStringLiteral("/analytics/v3/data/ga?ids=ga:") + QString::number(viewId) +
           QStringLiteral("&start-date=") + from + QStringLiteral("&end-date=") + to + QStringLiteral("&metrics=") +
           kMetrics + QStringLiteral("&filters=ga:pagePath==") + filterValue(pagePath) +
           QStringLiteral("&max-results=50");
}

QString AnalyticsClient::sitePagesUrl(qint64 viewId, const QString &from, const QString &to, qint64 startIndex,
                                      int maxResults) const
{
    return m_googleApis + QStringLiteral("/analytics/v3/data/ga?ids=ga:") + QString::number(viewId) +
           QStringLiteral("&start-date=") + from + QStringLiteral("&end-date=") + to + QStringLiteral("&metrics=") +
           kMetrics + QStringLiteral("&dimensions=ga:pagePath&start-index=") + QString::number(startIndex) +
           QStringLiteral("&max-results=") + QString::number(maxResults);
}

QString AnalyticsClient::pagePath(const QString &pageUrl)
{
    QStringView rest(pageUrl);
    for (const QLatin1String scheme : {QLatin1String("http://"), QLatin1String("https://")}) {
        if (rest.startsWith(scheme, Qt::CaseInsensitive)) {
            rest = rest.mid(scheme.size());
            break;
        }
    }
    if (rest.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        rest = rest.mid(4);

    // The host ends where the path, the query or the fragment begins.
    qsizetype hostEnd = 0;
    while (hostEnd < rest.size()) {
        const QChar c = rest[hostEnd];
        if (c == QLatin1Char('/') || c == QLatin1Char('?') || c == QLatin1Char('#'))
            break;
        ++hostEnd;
    }
    const QStringView after = rest.mid(hostEnd);
    if (after.startsWith(QLatin1Char('/')))
        return after.toString();
    return QLatin1Char('/') + after.toString();
}

QString AnalyticsClient::filterValue(const QString &pagePath)
{
    QString escaped;
    escaped.reserve(pagePath.size() + 4);
    for (const QChar c : pagePath) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    // The path's own "/" stay readable in the trace.
    return QString::fromLatin1(QUrl::toPercentEncoding(escaped, "/"));
}

} // namespace veltrano
