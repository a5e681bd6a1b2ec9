#include "services/ahrefs/AhrefsDataExplorer.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"

#include <functional>

namespace veltrano {

namespace {

using Lines = std::function<void(const JsonValue &element, QStringList &lines)>;

struct TableLayout {
    const char *table;
    const char *member; // holds the data
    bool isList;        // a list of rows, or one object of members
    Lines lines;        // the lines of one row (lists only)
};

// A heading line with the text of `heading`, then "- <name>: <text>" for
// each of the members, then an empty line.
Lines block(const char *heading, std::initializer_list<const char *> members)
{
    const std::vector<const char *> names(members);
    return [heading, names](const JsonValue &element, QStringList &lines) {
        lines << element.memberText(heading);
        for (const char *name : names)
            lines << QStringLiteral("- ") + QLatin1String(name) + QStringLiteral(": ") + element.memberText(name);
        lines << QString();
    };
}

const std::vector<TableLayout> &layouts()
{
    static const std::vector<TableLayout> all = {
        {"ahrefs_rank", "pages", true,
         [](const JsonValue &e, QStringList &lines) {
             lines << QStringLiteral("- ") + e.memberText("url") + QStringLiteral(": ") + e.memberText("ahrefs_rank");
         }},
        {"anchors", "anchors", true,
         [](const JsonValue &e, QStringList &lines) { lines << QStringLiteral("- ") + e.memberText("anchor"); }},
        {"backlinks", "refpages", true,
         block("url_from",
               {"url_to", "ahrefs_rank", "domain_rating", "links_internal", "links_external", "title", "anchor"})},
        {"metrics", "metrics", false, {}},
        {"pages", "pages", true,
         block("url", {"ahrefs_rank", "http_code", "links_internal", "links_external", "title"})},
        {"refdomains", "refdomains", true, block("refdomain", {"backlinks", "refpages", "domain_rating"})},
        {"subscription_info", "info", false, {}},
    };
    return all;
}

const TableLayout *layoutOf(const QString &table)
{
    for (const TableLayout &layout : layouts()) {
        if (table == QLatin1String(layout.table))
            return &layout;
    }
    return nullptr;
}

} // namespace

const QStringList &AhrefsDataExplorer::tableNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const TableLayout &layout : layouts())
            list << QString::fromLatin1(layout.table);
        return list;
    }();
    return names;
}

AhrefsQuery AhrefsDataExplorer::query(const QString &table, int rows, const QString &site)
{
    return AhrefsQuery{table, QString(), rows, site, QStringLiteral("prefix")};
}

QStringList AhrefsDataExplorer::errorLines(const QString &table, const QString &why)
{
    return {table + QLatin1Char(':'), QStringLiteral("- error: ") + why};
}

QString AhrefsDataExplorer::label(const QString &table, int rows)
{
    const TableLayout *layout = layoutOf(table);
    if (layout && !layout->isList)
        return QStringLiteral("Data: ") + table;
    return QStringLiteral("Data: %1 (last %2)").arg(table).arg(rows);
}

AhrefsDataExplorer::Listing AhrefsDataExplorer::list(const QString &table, int rows, const ExchangeResult &answer)
{
    Listing listing;
    const TableLayout *layout = layoutOf(table);
    try {
        const JsonDocument doc = serviceanswer::parseObject(AhrefsClient::kServiceName, answer);
        const QString error = AhrefsClient::serviceError(doc);
        if (!error.isEmpty()) {
            listing.lines = errorLines(table, error);
            return listing;
        }
        if (!layout)
            throw VeltranoError(QStringLiteral("Unknown table '%1'").arg(table));
        const JsonValue &data = doc.root().requireMember(layout->member);
        if (layout->isList != data.isArray() || (!layout->isList && !data.isObject()))
            throw valueNotFound(QString::fromLatin1(layout->member));
        listing.label = label(table, rows);
        if (layout->isList) {
            listing.lines.reserve(data.size() * 9);
            for (const JsonValue &element : data)
                layout->lines(element, listing.lines);
        } else {
            for (const JsonValue &member : data)
                listing.lines << QStringLiteral("- ") + member.key() + QStringLiteral(": ") + member.text();
        }
    } catch (const VeltranoError &e) {
        listing.lines << errorLines(table, e.message());
    }
    return listing;
}

} // namespace veltrano
