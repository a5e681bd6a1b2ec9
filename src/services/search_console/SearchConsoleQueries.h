#pragma once

#include "net/GoogleError.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace veltrano {

class GoogleApiClient;
class JsonValue;
class ReportingPeriod;
class RequestTrace;

// "Get All Keywords" of Search Console: every search query of a property
// with the page it led to, over the period of the Google pickers, for the
// "GSC Keywords / Google Trends" window. Google gives at most 25 000 query
// and page pairs per request, most clicks first; the list asks page after
// page (startRow 0, 25 000, 50 000 ...) until one brings fewer.
//
// A row's texts, from one element of "rows":
//   Query, URL     the two "keys", the query and the page
//   Clicks, Impressions  the numbers as Google wrote them (general form)
//   CTR            Google's ratio "ctr", "%0.2f"
//   Avg Position   "position", "%0.0f"
// An element that cannot be read so (keys not two texts, a figure missing
// or not a number) is left out, and the rest listed.
class SearchConsoleQueries final {
public:
    // At most this many rows are asked for, so that a service that ignores
    // startRow cannot keep the list growing for ever.
    static constexpr int kMaxRows = 1000000;

    struct Result {
        std::vector<QStringList> rows;
        // Google's refusal, or an answer without usable members; the rows
        // read before it are dropped.
        std::optional<GoogleError> error;
        // 1-based positions in Google's list of the elements left out.
        std::vector<int> unreadable;
        int elements = 0; // elements of "rows" read, left-out ones included
        int requests = 0;
    };

    static const QStringList &columnCaptions();

    // Asks for the list page by page; the trace gets each answer. An answer
    // that is not JSON raises a VeltranoError in plain words with the HTTP
    // status.
    static Result fetch(GoogleApiClient &client, const QString &token, const QString &propertyId,
                        const ReportingPeriod &period);

    // Adds the readable elements of one answer's "rows" to result, counting
    // from firstPosition (1-based). Returns the number of elements.
    static int appendRows(const JsonValue &rows, int firstPosition, Result &result);
    // The six texts of one element; false when it cannot be read.
    static bool rowFromElement(const JsonValue &element, QStringList &row);
};

} // namespace veltrano
