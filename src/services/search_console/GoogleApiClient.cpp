#include "services/search_console/GoogleApiClient.h"

#include "app/ReportingPeriod.h"

namespace veltrano {

namespace {

QStringList authorization(const QString &token)
{
    return {QStringLiteral("Authorization: OAuth ") + token};
}

} // namespace

GoogleApiClient::GoogleApiClient(ServiceExchange &exchange, Hosts hosts)
    : m_exchange(exchange), m_hosts(std::move(hosts))
{
}

ExchangeResult GoogleApiClient::get(const QString &token, const QString &url)
{
    return m_exchange.get(kLogLabel, url, authorization(token));
}

ExchangeResult GoogleApiClient::post(const QString &token, const QString &url, const QString &body)
{
    return m_exchange.post(kLogLabel, url, authorization(token), body);
}

ExchangeResult GoogleApiClient::listSites(const QString &token)
{
    return get(token, sitesUrl());
}

ExchangeResult GoogleApiClient::queryPage(const QString &token, const QString &propertyId,
                                          const ReportingPeriod &period, const QString &pageUrl)
{
    return queryPage(token, propertyId, period.fromText(), period.toText(), pageUrl);
}

ExchangeResult GoogleApiClient::queryPage(const QString &token, const QString &propertyId, const QString &from,
                                          const QString &to, const QString &pageUrl)
{
    return post(token, searchAnalyticsUrl(propertyId), pageQueryBody(from, to, pageUrl));
}

ExchangeResult GoogleApiClient::queryAllQueries(const QString &token, const QString &propertyId,
                                                const ReportingPeriod &period, int startRow)
{
    return post(token, searchAnalyticsUrl(propertyId), queriesBody(period.fromText(), period.toText(), startRow));
}

ExchangeResult GoogleApiClient::querySitePages(const QString &token, const QString &propertyId,
                                               const ReportingPeriod &period, int startRow, int rowLimit)
{
    return post(token, searchAnalyticsUrl(propertyId),
                sitePagesBody(period.fromText(), period.toText(), startRow, rowLimit));
}

ExchangeResult GoogleApiClient::inspectUrl(const QString &token, const QString &pageUrl, const QString &siteUrl)
{
    return post(token, inspectionUrl(), inspectionBody(pageUrl, siteUrl));
}

ExchangeResult GoogleApiClient::publishUrlUpdated(const QString &token, const QString &pageUrl)
{
    return post(token, publishUrl(), publishBody(pageUrl));
}

QString GoogleApiClient::sitesUrl() const
{
    return m_hosts.googleApis + QStringLiteral("/webmasters/v3/sites");
}

QString GoogleApiClient::searchAnalyticsUrl(const QString &propertyId) const
{
    return m_hosts.googleApis + QStringLiteral("/webmasters/v3/sites/") + propertyId +
           QStringLiteral("/searchAnalytics/query");
}

QString GoogleApiClient::inspectionUrl() const
{
    return m_hosts.searchConsoleApi + QStringLiteral("/v1/urlInspection/index:inspect");
}

QString GoogleApiClient::publishUrl() const
{
    return m_hosts.indexingApi + QStringLiteral("/v3/urlNotifications:publish");
}

QString GoogleApiClient::pageQueryBody(const QString &from, const QString &to, const QString &pageUrl)
{
    // The rows of one page, by search query. The blanks are those of the
    // program's request as it has always been written.
    return QStringLiteral("{\"startDate\":\"") + jsonEscaped(from) + QStringLiteral("\", \"endDate\":\"") +
           jsonEscaped(to) +
           QStringLiteral("\", \"dimensions\": [\"QUERY\"], \"dimensionFilterGroups\": [{\"filters\": "
                          "[{\"dimension\": \"PAGE\", \"expression\": \"") +
           jsonEscaped(pageUrl) + QStringLiteral("\",\"operator\": \"EQUALS\"}]}]}");
}

QString GoogleApiClient::queriesBody(const QString &from, const QString &to, int startRow)
{
    return QStringLiteral("{\"startDate\":\"") + jsonEscaped(from) + QStringLiteral("\", \"endDate\":\"") +
           jsonEscaped(to) + QStringLiteral("\", \"dimensions\": [\"QUERY\", \"PAGE\"], \"rowLimit\": ") +
           QString::number(kQueryRowLimit) + QStringLiteral(", \"startRow\": ") + QString::number(startRow) +
           QLatin1Char('}');
}

QString GoogleApiClient::sitePagesBody(const QString &from, const QString &to, int startRow, int rowLimit)
{
    return QStringLiteral("{\"startDate\":\"") + jsonEscaped(from) + QStringLiteral("\", \"endDate\":\"") +
           jsonEscaped(to) + QStringLiteral("\", \"dimensions\": [\"PAGE\"], \"rowLimit\": ") +
           QString::number(rowLimit) + QStringLiteral(", \"startRow\": ") + QString::number(startRow) +
           QLatin1Char('}');
}

QString GoogleApiClient::inspectionBody(const QString &pageUrl, const QString &siteUrl)
{
    return QStringLiteral("{\"inspectionUrl\": \"") + jsonEscaped(pageUrl) + QStringLiteral("\", \"siteUrl\": \"") +
           jsonEscaped(siteUrl) + QStringLiteral("\"}");
}

QString GoogleApiClient::publishBody(const QString &pageUrl)
{
    return QStringLiteral("{\"url\": \"") + jsonEscaped(pageUrl) + QStringLiteral("\", \"type\": \"URL_UPDATED\"}");
}

QString GoogleApiClient::jsonEscaped(const QString &text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\b':
            out += QLatin1String("\\b");
            break;
        case '\f':
            out += QLatin1String("\\f");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20) {
                out += QLatin1String("\\u00");
                out += QLatin1Char(kHex[c.unicode() >> 4]);
                out += QLatin1Char(kHex[c.unicode() & 0x0F]);
            } else {
                out += c;
            }
        }
    }
    return out;
}

} // namespace veltrano
