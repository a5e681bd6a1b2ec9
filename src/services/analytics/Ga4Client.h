#pragma once

#include "net/ServiceExchange.h"

#include <QLatin1String>
#include <QString>

namespace veltrano {

// The requests of the program to Google Analytics 4: the Admin API's
// account summaries (accounts and their GA4 properties, paged by
// pageToken) and the Data API's runReport of one page path. Each call is
// one exchange with the header line "Authorization: Bearer <token>", the
// log line "Google Analytics - HTTP Code: <code> <reason>", and the answer
// whatever its status: the caller reads it (see GoogleError).
class Ga4Client final {
public:
    // The most account summaries one page may hold (the Admin API's limit).
    static constexpr int kSummaryPageSize = 200;
    // The most rows one report answer holds (the Data API's limit).
    static constexpr int kMaxReportRows = 250000;
    // The metrics of a page, in the order they are asked for.
    static constexpr QLatin1String kMetrics[] = {
        QLatin1String("totalUsers"),
        QLatin1String("screenPageViews"),
        QLatin1String("sessions"),
        QLatin1String("averageSessionDuration"),
        QLatin1String("screenPageViewsPerSession"),
        QLatin1String("bounceRate"),
    };

    struct Hosts {
        QString adminApi; // https://analyticsadmin.googleapis.com
        QString dataApi;  // https://analyticsdata.googleapis.com
    };

    Ga4Client(ServiceExchange &exchange, Hosts hosts);

    // One page of the account summaries; an empty token asks for the first.
    ExchangeResult accountSummaries(const QString &token, const QString &pageToken = {});
    // The six metrics of one page of a property over the days from .. to
    // ("yyyy-mm-dd"), with the property's quota state: the page is the one
    // whose dimension (pagePath, pagePathPlusQueryString) is exactly value.
    ExchangeResult runReport(const QString &token, qint64 propertyId, const QString &from, const QString &to,
                             const QString &dimension, const QString &value);

    // The property's report by page over the days from .. to: a row per
    // value of the dimension (pagePath, pagePathPlusQueryString) with the six
    // metrics, from the row at offset (the first is 0), at most limit rows,
    // in page order, with the property's quota state.
    ExchangeResult siteReport(const QString &token, qint64 propertyId, const QString &from, const QString &to,
                              const QString &dimension, qint64 offset, qint64 limit);

    QString accountSummariesUrl(const QString &pageToken = {}) const;
    QString runReportUrl(qint64 propertyId) const;
    // The request body of a page's report: the period, the six metrics, an
    // exact, case-sensitive filter of the dimension and returnPropertyQuota.
    static QString pageReportBody(const QString &from, const QString &to, const QString &dimension,
                                  const QString &value);

    static QString siteReportBody(const QString &from, const QString &to, const QString &dimension, qint64 offset,
                                  qint64 limit);

    ServiceExchange &exchange() { return m_exchange; }

private:
    QStringList headers(const QString &token, bool jsonBody) const;

    ServiceExchange &m_exchange;
    Hosts m_hosts;
};

} // namespace veltrano
