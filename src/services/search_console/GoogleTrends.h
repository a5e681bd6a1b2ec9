#pragma once

#include "net/ServiceExchange.h"
#include "reports/AreaChartData.h"

#include <QLatin1String>
#include <QString>

#include <optional>

namespace veltrano {

// The product's trends service: how much one search query was searched
// over the last five years, for the chart of the "GSC Keywords / Google
// Trends" window. A GET of "<service>?query=<query, URL-encoded>&lang=us"
// without authorization, answered by {"data": [{"date": ..., "value": n}, ...]}
// in drawing order. The log gets "Google Trends - HTTP Code: <code> <reason>".
class GoogleTrends final {
public:
    static constexpr QLatin1String kLogLabel{"Google Trends - HTTP Code: "};
    static constexpr QLatin1String kServiceName{"Google Trends"};

    GoogleTrends(ServiceExchange &exchange, QString serviceUrl);

    QString requestUrl(const QString &query) const;

    // The chart of a query. Nothing when the service answered with an empty
    // body and a success status (the chart keeps what it shows); a request
    // that got no answer, or an answer that is not a JSON object with a
    // "data" list, raises a VeltranoError in plain words, the service's own
    // added.
    std::optional<AreaChartData> fetch(const QString &query);

    // The chart of an answer: titled "Google Trends for "<query>" (last 5
    // years)", or "... (No data)" for an empty list; one point per element,
    // its "date" the label and its "value" (a whole number) the value. An
    // element that cannot be read ends the chart there, with the reason in
    // error; the points before it stay.
    static AreaChartData read(const QString &query, const ExchangeResult &answer);

private:
    ServiceExchange &m_exchange;
    QString m_serviceUrl;
};

} // namespace veltrano
