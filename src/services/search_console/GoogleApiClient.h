#pragma once

#include "net/ServiceExchange.h"

#include <QLatin1String>
#include <QString>

namespace veltrano {

class ReportingPeriod;

// The requests of the program to Google's Search Console API (version 3, on
// the Google APIs host), its URL Inspection API (version 1, on the Search
// Console API host) and the Indexing API (version 3): one GET and four POSTs
// whose bodies are one line of JSON. Each call is one exchange with a fresh
// connection, one line "Google Search Console - HTTP Code: <code> <reason>"
// in the activity log (the Indexing API's too), and the answer whatever its
// status: the caller reads it (see GoogleError).
//
// Every request carries the one header line "Authorization: OAuth <token>"
// (Google takes the scheme word "OAuth" as it takes "Bearer") and its body
// goes with the exchange's default content type. Values in a body are
// JSON-escaped, so a page address holding a quote still gives valid JSON
// and cannot add members. No "key" parameter is sent: the program has no
// API key, and Google refuses any "key" that is not one.
class GoogleApiClient final {
public:
    static constexpr QLatin1String kLogLabel{"Google Search Console - HTTP Code: "};
    static constexpr QLatin1String kServiceName{"Google Search Console"};
    // The most rows Search Analytics gives for one request.
    static constexpr int kQueryRowLimit = 25000;

    struct Hosts {
        QString googleApis;       // Search Console API
        QString searchConsoleApi; // URL Inspection API
        QString indexingApi;      // Indexing API
    };

    GoogleApiClient(ServiceExchange &exchange, Hosts hosts);

    // Get_SitedataGSC: the account's properties.
    ExchangeResult listSites(const QString &token);
    // Get_SitedataGSC_POST: the search queries of one page of a property
    // (propertyId: the property URL-encoded) over the period, whose days are
    // read now.
    ExchangeResult queryPage(const QString &token, const QString &propertyId, const ReportingPeriod &period,
                             const QString &pageUrl);
    // The same with the period's days read beforehand ("yyyy-MM-dd").
    ExchangeResult queryPage(const QString &token, const QString &propertyId, const QString &from, const QString &to,
                             const QString &pageUrl);
    // Get_SitedataGSC_POST_Queries: one page of up to 25 000 query and page
    // pairs of the property over the period, from startRow on.
    ExchangeResult queryAllQueries(const QString &token, const QString &propertyId, const ReportingPeriod &period,
                                   int startRow);
    // Get_SitedataGSC_POST_UrlInspection: what Google's index holds of a page
    // of the property siteUrl (as the property list gives it).
    // One page of up to rowLimit pages of the property's page report
    // (dimension "page") over the period, from startRow on.
    ExchangeResult querySitePages(const QString &token, const QString &propertyId, const ReportingPeriod &period,
                                  int startRow, int rowLimit);
    ExchangeResult inspectUrl(const QString &token, const QString &pageUrl, const QString &siteUrl);
    // Get_SitedataGSC_POST_UrlIndexation: tells the Indexing API a page was
    // updated.
    ExchangeResult publishUrlUpdated(const QString &token, const QString &pageUrl);

    QString sitesUrl() const;
    QString searchAnalyticsUrl(const QString &propertyId) const;
    QString inspectionUrl() const;
    QString publishUrl() const;

    // The bodies, byte for byte as sent (UTF-8).
    static QString pageQueryBody(const QString &from, const QString &to, const QString &pageUrl);
    static QString queriesBody(const QString &from, const QString &to, int startRow);
    static QString sitePagesBody(const QString &from, const QString &to, int startRow, int rowLimit);
    static QString inspectionBody(const QString &pageUrl, const QString &siteUrl);
    static QString publishBody(const QString &pageUrl);
    // A text as the inside of a JSON string: quote, backslash and control
    // characters escaped, everything else as it is.
    static QString jsonEscaped(const QString &text);

    ServiceExchange &exchange() { return m_exchange; }

private:
    ExchangeResult get(const QString &token, const QString &url);
    ExchangeResult post(const QString &token, const QString &url, const QString &body);

    ServiceExchange &m_exchange;
    Hosts m_hosts;
};

} // namespace veltrano
