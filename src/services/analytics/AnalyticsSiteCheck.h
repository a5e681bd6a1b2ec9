#pragma once

#include "services/analytics/AnalyticsCheck.h"
#include "services/shared/SiteReportPager.h"

#include <QString>
#include <QStringList>

namespace veltrano {

class AnalyticsClient;
class CheckContext;
class JsonValue;
class ReportTable;
class SitePageFigures;

// "Check GA (whole site)": the same six cells as "Check GA", from the view's
// report by page path (dimension ga:pagePath, up to 10 000 rows a request,
// paged with start-index) instead of one request per row. A table row is
// matched through its page path (the rule of "Check GA") compared with the
// report's path in one form (percent-escapes and a fragment do not matter);
// a row whose path the report does not list gets the cells of an empty
// report, as "Check GA" writes them (every total 0). Only rows on the view's
// website are filled, as with "Check GA".
//
// Any refusal ends the check before a row is written; a report row that
// cannot be read or repeats a path is skipped with one log line per answer;
// a report that brings no new path at a start-index stops the paging with a
// message, and the rows are filled from what was read.
class AnalyticsSiteCheck final {
public:
    static constexpr int kMaxResults = 10000;
    static constexpr int kMaxRequests = 1000;

    // maxResults: rows asked per request (tests page through small reports).
    explicit AnalyticsSiteCheck(AnalyticsClient &client, int maxResults = kMaxResults)
        : m_client(client), m_maxResults(maxResults)
    {
    }

    void run(CheckContext &context, ReportTable &table, const AnalyticsCheck::Request &request);

    // What one answer gave; totalRows is the answer's totalResults.
    struct PageRead : SiteReportPart {
        bool usable = true; // the columns to read are there
    };
    static PageRead readAnswer(const JsonValue &answer, SitePageFigures &pages);
    // The form in which a page path is compared.
    static QString pathKey(const QString &pagePath);

private:
    AnalyticsClient &m_client;
    int m_maxResults;
};

} // namespace veltrano
