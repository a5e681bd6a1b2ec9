#include "services/ahrefs/AhrefsV3DataExplorer.h"

#include "net/JsonDocument.h"
#include "services/ahrefs/AhrefsDataExplorer.h"

#include <array>

namespace veltrano {

namespace {

struct Endpoint {
    const char *name;
    const char *path;
    const char *key;     // the answer's top-level member
    const char *select;  // list endpoints: the fields, first one heads each item
    const char *orderBy; // list endpoints
    bool dated;          // asks date=<today>
};

constexpr std::array kEndpoints{
    Endpoint{"limits-and-usage", "subscription-info/limits-and-usage", "limits_and_usage", nullptr, nullptr, false},
    Endpoint{"backlinks-stats", "site-explorer/backlinks-stats", "metrics", nullptr, nullptr, true},
    Endpoint{"domain-rating", "site-explorer/domain-rating", "domain_rating", nullptr, nullptr, true},
    Endpoint{"crawled-pages", "site-explorer/crawled-pages", "pages", "url,url_rating,http_code,title",
             "url_rating:desc", false},
    Endpoint{"all-backlinks", "site-explorer/all-backlinks", "backlinks",
             "url_from,url_to,anchor,domain_rating_source,title", "domain_rating_source:desc", false},
    Endpoint{"refdomains", "site-explorer/refdomains", "refdomains", "domain,domain_rating,links_to_target,first_seen",
             "domain_rating:desc", false},
    Endpoint{"anchors", "site-explorer/anchors", "anchors", "anchor,links_to_target,refdomains",
             "links_to_target:desc", false},
};

const Endpoint *find(const QString &name)
{
    for (const Endpoint &e : kEndpoints) {
        if (name == QLatin1String(e.name))
            return &e;
    }
    return nullptr;
}

// A fact's value as the answer writes it; a null (an unlimited limit, a
// page without a title) reads "null" rather than nothing.
QString valueText(const JsonValue &value)
{
    if (value.isNull())
        return QStringLiteral("null");
    return value.isArray() || value.isObject() ? QString() : value.text();
}

} // namespace

const QStringList &AhrefsV3DataExplorer::endpointNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Endpoint &e : kEndpoints)
            list << QLatin1String(e.name);
        return list;
    }();
    return names;
}

std::optional<AhrefsV3Query> AhrefsV3DataExplorer::query(const QString &endpoint, int rows, const QString &site,
                                                         const QDate &today)
{
    const Endpoint *e = find(endpoint);
    if (!e)
        return std::nullopt;
    AhrefsV3Query query{QLatin1String(e->path), {}};
    if (QLatin1String(e->path).startsWith(QLatin1String("subscription-info/")))
        return query;
    if (e->select)
        query.params.append({QStringLiteral("select"), QLatin1String(e->select)});
    query.params.append({QStringLiteral("target"), site});
    if (QLatin1String(e->name) != QLatin1String("domain-rating"))
        query.params.append({QStringLiteral("mode"), QStringLiteral("subdomains")});
    if (e->dated)
        query.params.append({QStringLiteral("date"), today.toString(QStringLiteral("yyyy-MM-dd"))});
    if (e->orderBy) {
        query.params.append({QStringLiteral("order_by"), QLatin1String(e->orderBy)});
        query.params.append({QStringLiteral("limit"), QString::number(rows)});
    }
    query.params.append({QStringLiteral("output"), QStringLiteral("json")});
    return query;
}

AhrefsV3DataExplorer::Listing AhrefsV3DataExplorer::list(const QString &endpoint, int rows,
                                                         const ExchangeResult &answer)
{
    Listing listing;
    const Endpoint *e = find(endpoint);
    const JsonDocument doc = JsonDocument::parse(answer.body);
    if (const QString error = AhrefsV3Client::serviceError(doc); !error.isEmpty()) {
        listing.lines = AhrefsDataExplorer::errorLines(endpoint, AhrefsV3Client::errorText(error, answer));
        return listing;
    }
    const JsonValue *data = e && doc.isValid() && doc.root().isObject() ? doc.root().member(e->key) : nullptr;
    const bool isList = e && e->select;
    if (answer.status != 200 || !data || (isList ? !data->isArray() : !data->isObject())) {
        listing.lines = AhrefsDataExplorer::errorLines(
            endpoint, QStringLiteral("no usable answer (HTTP %1 %2)").arg(answer.status).arg(answer.reason).trimmed());
        return listing;
    }
    if (!isList) {
        for (const JsonValue &member : *data)
            listing.lines << QStringLiteral("- %1: %2").arg(member.key(), valueText(member));
        listing.label = QStringLiteral("Data: ") + endpoint;
        return listing;
    }
    const QStringList fields = QLatin1String(e->select).toString().split(QLatin1Char(','));
    for (const JsonValue &item : *data) {
        if (!item.isObject())
            continue;
        const JsonValue *head = item.member(fields.first());
        listing.lines << (head ? valueText(*head) : QString());
        for (qsizetype i = 1; i < fields.size(); ++i) {
            const JsonValue *value = item.member(fields[i]);
            listing.lines << QStringLiteral("- %1: %2").arg(fields[i], value ? valueText(*value) : QString());
        }
        listing.lines << QString();
    }
    listing.label = QStringLiteral("Data: %1 (first %2)").arg(endpoint).arg(rows);
    return listing;
}

} // namespace veltrano
