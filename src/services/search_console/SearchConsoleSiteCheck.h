#pragma once

#include "services/shared/SiteReportPager.h"

#include <QString>
#include <QStringList>

namespace veltrano {

class CheckContext;
class GoogleApiClient;
class JsonValue;
class ReportTable;
class ReportingPeriod;
class SitePageFigures;
struct SearchConsoleProperty;

// "Check GSC (whole site)": the same cells as "Check GSC", from the
// property's page report instead of one request per row. Search Analytics
// with the dimension "page" answers up to 25 000 pages a request, paged with
// startRow, so a list of 50 000 rows takes two or three requests. Each page
// row gives
//   Indexed "Yes", Clicks, Impressions, CTR (clicks / impressions, "%0.2f"),
//   Avg Position (the page's position, "%0.0f")
// and a table row whose page (by its UrlKey: host case, punycode, default
// port, fragment and escapes do not matter) is not in the report gets the
// no-data cells of "Check GSC" ("No", the rest empty). Google's page totals
// include queries it hides from query rows, so they can exceed the sums of
// the page-by-page check.
//
// Any refusal ends the check before a row is written ("Google Search Console
// Error - Code: ..."), so an error never reads as data. A page row that
// cannot be read, or that repeats a page already listed, is skipped with one
// log line per answer; a report that brings no new page at a startRow (one
// that would never end) stops the paging with a message, and the rows are
// filled from what was read.
class SearchConsoleSiteCheck final {
public:
    static constexpr int kRowLimit = 25000;
    // More requests than a property of 10 million pages needs.
    static constexpr int kMaxRequests = 400;

    // rowLimit: pages asked per request (tests page through small reports).
    SearchConsoleSiteCheck(GoogleApiClient &client, const ReportingPeriod &period, int rowLimit = kRowLimit);

    void run(CheckContext &context, ReportTable &table, const SearchConsoleProperty *property, const QString *token);

    // What one answer of the page report gave.
    struct PageRead : SiteReportPart {
        bool usable = true; // "rows" absent or a list
    };
    static PageRead readAnswer(const JsonValue &answer, SitePageFigures &pages);
    // The cells of a page the report does not list.
    static QStringList noDataCells();

private:
    GoogleApiClient &m_client;
    const ReportingPeriod &m_period;
    int m_rowLimit;
};

} // namespace veltrano
