#pragma once

#include "net/ServiceExchange.h"

#include <QLatin1String>
#include <QString>

namespace veltrano {

// The requests of the program to Google Analytics (version 3) on the Google
// APIs host: the Management API's account summary and the Core Reporting
// API's totals of one page. Each call is one exchange with a fresh
// connection, the one header line "Authorization: OAuth <token>", one line
// "Google Analytics - HTTP Code: <code> <reason>" in the activity log, and
// the answer whatever its status: the caller reads it (see GoogleError).
class AnalyticsClient final {
public:
    static constexpr QLatin1String kLogLabel{"Google Analytics - HTTP Code: "};
    static constexpr QLatin1String kServiceName{"Google Analytics"};
    // The most accounts one page of the summary holds.
    static constexpr int kSummaryPageSize = 1000;
    // The metrics of a page's totals, in the order they are asked for.
    static constexpr QLatin1String kMetrics{
        "ga:users,ga:pageViews,ga:sessions,ga:avgsessionDuration,ga:bounceRate,ga:pageviewsPerSession"};

    AnalyticsClient(ServiceExchange &exchange, QString googleApis);

    // Get_SitedataGA: command is the complete request address, sent as it
    // is; empty asks for the account summary.
    ExchangeResult get(const QString &token, const QString &command = {});

    // The account summary; startIndex 1 is its first page as Google gives
    // it unasked, a later start asks for up to kSummaryPageSize accounts
    // from that position (counted from 1).
    QString accountSummariesUrl(qint64 startIndex = 1) const;
    // The six totals of one page of a view over the days from .. to
    // ("yyyy-mm-dd"), at most 50 rows.
    QString reportUrl(qint64 viewId, const QString &from, const QString &to, const QString &pagePath) const;

    // The page path Google Analytics records for a page address: a leading
    // "http://" or "https://" and a leading "www." of the host are dropped
    // (in any letter case) together with the host; what follows from the
    // first "/" on stays, query and fragment too. Without a path the page
    // is "/" (with its query, if any: "/?a=1"). Nothing inside the path is
    // changed, so "/www.file" and "?to=http://x" stay as written.
    static QString pagePath(const QString &pageUrl);
    // The report of every page path of a view (dimension ga:pagePath), up to
    // maxResults rows from startIndex (1-based) on.
    QString sitePagesUrl(qint64 viewId, const QString &from, const QString &to, qint64 startIndex,
                         int maxResults) const;
    // The path as the value of a "ga:pagePath==" filter: "\", "," and ";"
    // escaped with a backslash (a bare "," or ";" would join another
    // filter), then percent-encoded so that "&", "#", "+", blanks and
    // non-ASCII letters reach the service as written.
    static QString filterValue(const QString &pagePath);

    ServiceExchange &exchange() { return m_exchange; }

private:
    ServiceExchange &m_exchange;
    QString m_googleApis;
};

} // namespace veltrano
