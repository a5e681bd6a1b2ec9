#pragma once

#include "net/GoogleError.h"
#include "net/ServiceExchange.h"

#include <QString>

#include <optional>
#include <vector>

namespace veltrano {

class GoogleApiClient;
class RequestTrace;

// One Search Console property of an account.
struct SearchConsoleProperty {
    QString siteUrl;    // "Domain": "https://example.com/" or "sc-domain:example.com", as Google lists it
    QString propertyId; // "Host": siteUrl URL-encoded, the property's id in Search Analytics paths
};

// The answer to the property list: the properties, or Google's refusal.
struct SearchConsolePropertyList {
    std::vector<SearchConsoleProperty> properties;
    std::optional<GoogleError> error;

    // Reads {"siteEntry": [{"siteUrl": ..., "permissionLevel": ...}, ...]}:
    // every entry with a siteUrl, whatever the account's permission on it,
    // sorted by siteUrl with the user's locale-aware, case-sensitive
    // comparison. An account without properties answers {} (no
    // "siteEntry"): an empty list. An answer that is not JSON raises a
    // VeltranoError in plain words with the HTTP status.
    static SearchConsolePropertyList read(const ExchangeResult &answer);
    // Asks Google for the account's properties; the answer goes to the trace.
    static SearchConsolePropertyList fetch(GoogleApiClient &client, const QString &token, RequestTrace &trace);
};

} // namespace veltrano
