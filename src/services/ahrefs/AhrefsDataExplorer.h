#pragma once

#include "services/ahrefs/AhrefsClient.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace veltrano {

// The data explorer of the Ahrefs settings tab: one of seven tables for a
// site (prefix mode), written as plain text, one fact a line.
//
//   ahrefs_rank        "pages"       "- <url>: <ahrefs_rank>"
//   anchors            "anchors"     "- <anchor>"
//   backlinks          "refpages"    url_from, then "- url_to: ", "- ahrefs_rank: ",
//                                    "- domain_rating: ", "- links_internal: ",
//                                    "- links_external: ", "- title: ", "- anchor: ", ""
//   metrics            "metrics"     "- <member>: <value>" for every member
//   pages              "pages"       url, then "- ahrefs_rank: ", "- http_code: ",
//                                    "- links_internal: ", "- links_external: ", "- title: ", ""
//   refdomains         "refdomains"  refdomain, then "- backlinks: ", "- refpages: ",
//                                    "- domain_rating: ", ""
//   subscription_info  "info"        "- <member>: <value>" for every member
//
// Every value is the member's JSON text with its real letters; a member
// holding an object or a list shows an empty text.
class AhrefsDataExplorer final {
public:
    // The tables in the order of the "From:" list.
    static const QStringList &tableNames();
    static QString defaultTable() { return QStringLiteral("subscription_info"); }

    static AhrefsQuery query(const QString &table, int rows, const QString &site);

    // What the text area shows for an answer.
    struct Listing {
        QStringList lines;
        // "Data: pages (last 100)", "Data: metrics"; nothing when the answer
        // holds no data for the table (the label keeps what it showed).
        std::optional<QString> label;
    };
    // The service's error, an answer that cannot be read and a row that
    // lacks a member all end the listing with "<table>:" and
    // "- error: <why>", after the lines written before.
    static Listing list(const QString &table, int rows, const ExchangeResult &answer);

    // "<table>:" and "- error: <why>".
    static QStringList errorLines(const QString &table, const QString &why);
    static QString label(const QString &table, int rows);
};

} // namespace veltrano
