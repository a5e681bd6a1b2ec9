#pragma once

#include "net/GoogleError.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace veltrano {

class AnalyticsClient;
class CheckContext;
class JsonValue;
class ReportTable;

// "Check GA": for each page of ListView7 the six totals of the chosen view
// over the period, restricted to the page's path (see
// AnalyticsClient::pagePath), in the six columns
//   GA: Users, GA: Page Views, GA: Sessions     as the answer writes them
//   GA: Avg Session Duration                    "h:m:s", whole seconds, no padding
//   GA: Page Views Per Session, GA: Bounce Rate one decimal ("%0.1f")
// Each total goes to the column of its metric, found by the names in the
// answer's "columnHeaders" compared without letter case, whatever order
// and spelling the answer uses; a metric the answer lacks leaves its cell
// empty.
//
// A refusal never reads as data:
// - 401 (the token is refused) and 429 (the quota is spent) end the check,
//   since every further page would fail alike: "Google Analytics Error -
//   Code: <code>, <message>" in the log and as the run's error; the row
//   stays as it was.
// - Any other refusal, and an answer without the totals, logs that line
//   with " (<row>/<rows>)" and empties the row's six cells; the run goes on.
class AnalyticsCheck final {
public:
    static constexpr int kCellCount = 6;

    struct Request {
        qint64 viewId = 0;
        QString from; // "yyyy-mm-dd", read once as the run starts
        QString to;
        // The selected account's token, read before every request.
        std::function<QString()> token;
        // The website URL of the view's property: only rows on that host
        // (or its "www.") are sent, the others keep their cells. Empty:
        // every row, for a property without one.
        QString websiteUrl;
    };

    explicit AnalyticsCheck(AnalyticsClient &client) : m_client(client) {}

    void run(CheckContext &context, ReportTable &table, const Request &request);

    // The six cells of a report answer (a JSON object without "error"), or
    // nothing when it has no "columnHeaders" and "totalsForAllResults" to
    // read or a formatted total is not a number.
    static std::optional<QStringList> totalsCells(const JsonValue &answer);
    // The column (0-5) of a metric name such as "ga:avgSessionDuration";
    // -1 for a metric the report has no column for.
    static int columnOf(QStringView metric);
    // The cell of a metric's value as Google writes it (column 0-5), or
    // nothing when the value is not a number.
    static std::optional<QString> cellText(int column, const QString &value);
    // The six cells of a page without data: every total 0.
    static QStringList noDataCells();
    // Whole seconds "h:m:s": 125 gives "0:2:5", 59.5 "0:1:0".
    static QString durationText(double seconds);

    // "Google Analytics Error - Code: 403, <message>"
    static QString errorLine(const GoogleError &error);

private:
    AnalyticsClient &m_client;
};

} // namespace veltrano
