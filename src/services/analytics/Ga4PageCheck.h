#pragma once

#include "net/GoogleError.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

namespace veltrano {

class CheckContext;
class Ga4Client;
class JsonValue;
class ReportTable;

// "Check GA" on a Google Analytics 4 property: for each page of ListView7
// one runReport of the property over the period, filtered on the page's
// path (AnalyticsClient::pagePath) exactly and case-sensitively, into the
// six columns of the report in the same formats as a v3 view:
//   GA: Users, GA: Page Views, GA: Sessions   totalUsers, screenPageViews,
//                                             sessions as Google writes them
//   GA: Avg Session Duration                  averageSessionDuration, "h:m:s"
//   GA: Page Views Per Session                screenPageViewsPerSession, "%0.1f"
//   GA: Bounce Rate                           bounceRate, a fraction, shown
//                                             as a percentage, "%0.1f"
// GA4 writes every metric value as a text; each one goes to the column of
// the metric its "metricHeaders" entry names, whatever their order; a
// metric the answer lacks leaves its cell empty. An answer without "rows"
// is a page without visits in the period: zero in every column.
//
// GA4's pagePath holds no query string: a page whose path has one is
// matched on pagePathPlusQueryString instead. The fragment never reaches
// Google Analytics and is left out.
//
// Refusals follow the v3 check (GoogleRowRefusal): 401 and 429
// (RESOURCE_EXHAUSTED, a spent property quota) end the check; any other
// refusal, and an answer whose values cannot be read (a value that is no
// number, fewer values than headers), empties the row and is logged with
// its place. The quota tokens left (per hour and per day, from
// "propertyQuota") are logged once, when the run ends.
class Ga4PageCheck final {
public:
    static constexpr int kCellCount = 6;

    struct Request {
        qint64 propertyId = 0;
        QString from; // "yyyy-mm-dd", read once as the run starts
        QString to;
        std::function<QString()> token; // read before every request
    };

    explicit Ga4PageCheck(Ga4Client &client) : m_client(client) {}

    void run(CheckContext &context, ReportTable &table, const Request &request);

    // The dimension and value of a page's filter.
    struct PageFilter {
        QString fieldName; // pagePath or pagePathPlusQueryString
        QString value;
    };
    static PageFilter pageFilter(const QString &pageUrl);

    // The six cells of a report answer (a JSON object without "error"), or
    // why they cannot be had.
    static std::variant<QStringList, QString> reportCells(const JsonValue &answer);
    // A metric's cell from its value as GA4 writes it (column 0-5); nullopt
    // for a value that is no number.
    static std::optional<QString> cellText(int column, const QString &value);
    // The cells of a page nobody opened in the period: zero in every column.
    static QStringList noVisitCells();
    // The column (0-5) of a GA4 metric name; -1 for another metric.
    static int columnOf(QStringView metric);

    // What is left of the property's tokens, from an answer's
    // "propertyQuota": "Google Analytics 4 quota left: 4990 tokens this
    // hour, 24990 today"; nothing when the answer has none.
    static std::optional<QString> quotaLine(const JsonValue &answer);

private:
    Ga4Client &m_client;
};

} // namespace veltrano
