#pragma once

#include "net/GoogleError.h"
#include "net/ServiceExchange.h"

#include <QString>

#include <optional>
#include <vector>

namespace veltrano {

class AnalyticsClient;
class JsonValue;
class RequestTrace;

// What the account summary lists: accounts, their properties, and the
// properties' views (profiles). Ids are 64-bit: Google writes them as texts
// and nothing bounds them to 32 bits.
struct AnalyticsView {
    qint64 id = 0;
    QString name;
};

struct AnalyticsProperty {
    qint64 id = 0; // internalWebPropertyId
    QString name;
    std::vector<AnalyticsView> views;
    QString websiteUrl; // the site the property measures; empty when Google gives none
    // A Google Analytics 4 property (Admin API): it has no views, and its
    // reports come from the Data API.
    bool ga4 = false;
};

struct AnalyticsAccount {
    qint64 id = 0;
    QString name;
    std::vector<AnalyticsProperty> properties;
};

// The account summary (management/accountSummaries): every account the
// token's user may read, or Google's refusal.
struct AnalyticsSummary {
    std::vector<AnalyticsAccount> accounts;
    std::optional<GoogleError> error;

    // One page of the summary:
    //   {"totalResults": n, "items": [{"id", "name", "webProperties":
    //    [{"internalWebPropertyId", "name", "profiles": [{"id", "name"}]}]}]}
    // A list Google leaves out is empty. *totalResults gets the number of
    // accounts on all pages (the page's own count when the answer has none).
    // An answer that is no JSON object, a list that is not a list, or an id
    // that is not a whole number raises a VeltranoError in plain words.
    static AnalyticsSummary readPage(const ExchangeResult &answer, qint64 *totalResults = nullptr);

    // The whole summary: the first page, then, while totalResults says more
    // accounts are left, the next page from start-index on. Each answer goes
    // to the trace between blank lines; a refusal on any page is the result.
    static AnalyticsSummary fetch(AnalyticsClient &client, const QString &token, RequestTrace &trace);

    // Adds the accounts and properties of another summary (the GA4 one):
    // properties of an account listed already join it after its own,
    // accounts not listed yet follow in their order.
    void merge(AnalyticsSummary other);

    const AnalyticsAccount *account(qint64 accountId) const;
    // A v3 property by its internalWebPropertyId, or a GA4 property by its
    // number: the two kinds count their ids apart.
    const AnalyticsProperty *property(qint64 accountId, qint64 propertyId, bool ga4 = false) const;
};

} // namespace veltrano
