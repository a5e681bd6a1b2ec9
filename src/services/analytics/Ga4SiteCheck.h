#pragma once

#include "services/analytics/Ga4Client.h"
#include "services/analytics/Ga4PageCheck.h"
#include "services/shared/SiteReportPager.h"

#include <QString>

#include <optional>

namespace veltrano {

class CheckContext;
class JsonValue;
class ReportTable;
class SitePageFigures;

// "Check GA (whole site)" on a Google Analytics 4 property: the same six
// cells as "Check GA", from the property's runReport by page (dimension
// pagePath, up to 250 000 rows an answer, paged with offset) instead of one
// request per row. A table row is matched through the page path of "Check
// GA" (Ga4PageCheck::pageFilter) compared in one form (percent-escapes and
// the fragment do not matter); a row whose path has a query string is
// matched against a second report by pagePathPlusQueryString, asked only
// when the table holds such a row. A row the report does not list gets the
// cells of a page nobody opened (zero in every column), as "Check GA" writes
// them.
//
// Each page row's values go to the columns their "metricHeaders" name; a
// row whose values cannot be read, or that repeats a page, is skipped with
// one log line per answer. Any refusal ends the check before a row is
// written; the property's quota left is logged once when the run ends.
class Ga4SiteCheck final {
public:
    static constexpr int kMaxRequests = 1000;

    // rowsPerPart: page rows asked per request (tests page through small
    // reports).
    explicit Ga4SiteCheck(Ga4Client &client, int rowsPerPart = Ga4Client::kMaxReportRows)
        : m_client(client), m_rowsPerPart(rowsPerPart)
    {
    }

    void run(CheckContext &context, ReportTable &table, const Ga4PageCheck::Request &request);

    // What one answer gave; totalRows is the answer's rowCount.
    struct PageRead : SiteReportPart {
        QString error; // why the answer cannot be read; empty when it can
    };
    // Reads one answer's page rows into pages, each under its page's key.
    static PageRead readAnswer(const JsonValue &answer, SitePageFigures &pages);
    // The key a table row is matched with: the report it is looked up in
    // and its path in one form.
    static QString rowKey(const QString &pageUrl);

private:
    Ga4Client &m_client;
    int m_rowsPerPart;
};

} // namespace veltrano
