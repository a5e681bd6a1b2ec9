#pragma once

#include "services/analytics/AnalyticsSummary.h"

#include <QString>

namespace veltrano {

class Ga4Client;
class RequestTrace;

// The Google Analytics 4 accounts and properties of a token, from the Admin
// API's account summaries:
//   {"accountSummaries": [{"name": "accountSummaries/<n>", "account":
//    "accounts/<n>", "displayName", "propertySummaries": [{"property":
//    "properties/<n>", "displayName", "propertyType", "parent"}]}],
//    "nextPageToken": "..."}
// Google leaves out an empty list ("propertySummaries" of an account without
// properties, "accountSummaries" of a token without accounts) and the page
// token on the last page. The result is an AnalyticsSummary whose
// properties are marked ga4 and have no views.
class Ga4AccountSummaries final {
public:
    // Pages read at most: a service that keeps handing out page tokens
    // never holds the program in a loop.
    static constexpr int kMaxPages = 1000;

    // One page; *nextPageToken gets the token of the next one (empty on the
    // last). An answer that is no JSON object, a list that is not a list,
    // or a resource name whose number is not a whole number raises a
    // VeltranoError in plain words.
    static AnalyticsSummary readPage(const ExchangeResult &answer, QString *nextPageToken = nullptr);

    // Every page in turn, each answer in the trace between blank lines; a
    // refusal on any page is the result.
    static AnalyticsSummary fetch(Ga4Client &client, const QString &token, RequestTrace &trace);

    // The number of a resource name: "properties/123" with prefix
    // "properties/" gives 123; nothing for another form.
    static std::optional<qint64> resourceNumber(QStringView name, QLatin1String prefix);
};

} // namespace veltrano
