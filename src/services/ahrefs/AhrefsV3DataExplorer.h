#pragma once

#include "services/ahrefs/AhrefsV3Client.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace veltrano {

// The data explorer of the Ahrefs settings tab with API v3: one endpoint for
// the site, written as plain text, one fact a line. The "From:" list names
// the endpoints; each list endpoint is asked with its select, an order_by
// (best first) and the "Rows:" limit:
//
//   limits-and-usage  "limits_and_usage" object  (free)
//   backlinks-stats   "metrics" object           date=<today>
//   domain-rating     "domain_rating" object     date=<today>
//   crawled-pages     "pages"       url, url_rating, http_code, title        by url_rating
//   all-backlinks     "backlinks"   url_from, url_to, anchor, domain_rating_source, title
//                                                                            by domain_rating_source
//   refdomains        "refdomains"  domain, domain_rating, links_to_target, first_seen
//                                                                            by domain_rating
//   anchors           "anchors"     anchor, links_to_target, refdomains      by links_to_target
//
// An object shows "- <member>: <value>" for every member; a list shows each
// item's first field on a line of its own, "- <field>: <value>" for the
// others and an empty line. Every value is the member's JSON text with its
// real letters; a null, an object or a list shows an empty text.
class AhrefsV3DataExplorer final {
public:
    static const QStringList &endpointNames();
    static QString defaultEndpoint() { return QStringLiteral("limits-and-usage"); }

    // Nothing for a name that is not in the list.
    static std::optional<AhrefsV3Query> query(const QString &endpoint, int rows, const QString &site,
                                              const QDate &today);

    struct Listing {
        QStringList lines;
        std::optional<QString> label; // "Data: crawled-pages (first 100)"
    };
    // The service's error (with the HTTP status), an answer that cannot be
    // read (XML, no member of the endpoint's key) end the listing with
    // "<endpoint>:" and "- error: <why>".
    static Listing list(const QString &endpoint, int rows, const ExchangeResult &answer);
};

} // namespace veltrano
