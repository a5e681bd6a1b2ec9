#pragma once

#include "net/ServiceExchange.h"

#include <QLatin1String>
#include <QString>

namespace veltrano {

class JsonDocument;

// One request to the Ahrefs API (version 2): the table to read ("from"), an
// optional condition ("where"), the number of rows, the target and how the
// target is matched.
struct AhrefsQuery {
    QString table;
    QString where; // empty: no condition
    int limit = 0;
    QString target;
    QString mode; // exact, prefix, domain or subdomains
};

// Requests to the Ahrefs API. The API has no header of its own: the token
// travels in the query string with everything else, so every value is
// percent-encoded (UTF-8), as the reference's own requests are; a target
// with "&" or "#" asks about that very address, and a condition's quotes and
// ">=" arrive intact. Where an address is written down for diagnosis, the
// token shows only its first four characters.
class AhrefsClient final {
public:
    static constexpr QLatin1String kLogLabel{"Ahrefs - HTTP Code: "};
    static constexpr QLatin1String kServiceName{"Ahrefs"};

    AhrefsClient(ServiceExchange &exchange, QString apiHost);

    // "<host>/?from=..[&where=..]&limit=..&target=..&mode=..&output=json&token=.."
    QString url(const AhrefsQuery &query, const QString &token) const;
    // The same address with the token masked (maskedToken).
    QString tracedUrl(const AhrefsQuery &query, const QString &token) const;
    // The first four characters of the token and "...".
    static QString maskedToken(const QString &token);

    // Get_SitedataAhrefs: one GET of the query and the answer, whatever its
    // status. By default the trace gets "" and "HTTP Code: <code> <reason>"
    // and the log "Ahrefs - HTTP Code: <code> <reason>"; a caller that sends
    // silently writes them itself with writeStatus when it is done.
    ExchangeResult request(const AhrefsQuery &query, const QString &token, ExchangeOptions options = {});
    void writeStatus(const ExchangeResult &answer);

    // The service's own words: the text of the answer's "error" member when
    // the answer is an object with a non-empty one, empty otherwise.
    static QString serviceError(const JsonDocument &answer);

    ServiceExchange &exchange() { return m_exchange; }

private:
    QString address(const AhrefsQuery &query, const QString &tokenText) const;

    ServiceExchange &m_exchange;
    QString m_apiHost;
};

} // namespace veltrano
