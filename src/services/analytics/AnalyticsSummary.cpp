#include "services/analytics/AnalyticsSummary.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"
#include "services/analytics/AnalyticsClient.h"

#include <QHash>
#include <QLocale>

namespace veltrano {

namespace {

// The elements of a list member; none when Google left the list out.
const JsonValue *listMember(const JsonValue &object, const char *name)
{
    const JsonValue *list = object.member(QLatin1String(name));
    if (list && !list->isArray() && !list->isNull())
        throw valueNotFound(QLatin1String(name));
    return list && list->isArray() ? list : nullptr;
}

qint64 idMember(const JsonValue &object, const char *name)
{
    const JsonValue *member = object.member(QLatin1String(name));
    if (!member || !(member->isString() || member->isNumber()))
        throw valueNotFound(QLatin1String(name));
    const QString text = member->text(QLocale::c());
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok)
        throw VeltranoError(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(name)));
    return id;
}

QString nameMember(const JsonValue &object)
{
    const JsonValue *name = object.member("name");
    return name ? name->text(QLocale::c()) : QString();
}

AnalyticsProperty readProperty(const JsonValue &item)
{
    AnalyticsProperty property{idMember(item, "internalWebPropertyId"), nameMember(item), {}, {}, false};
    if (const JsonValue *website = item.member("websiteUrl"); website && website->isString())
        property.websiteUrl = website->text();
    if (const JsonValue *profiles = listMember(item, "profiles")) {
        property.views.reserve(size_t(profiles->size()));
        for (const JsonValue &profile : *profiles)
            property.views.push_back({idMember(profile, "id"), nameMember(profile)});
    }
    return property;
}

} // namespace

AnalyticsSummary AnalyticsSummary::readPage(const ExchangeResult &answer, qint64 *totalResults)
{
    const JsonDocument doc = serviceanswer::parseObject(AnalyticsClient::kServiceName, answer);
    AnalyticsSummary summary;
    summary.error = GoogleError::of(answer, doc);
    if (summary.error)
        return summary;

    const JsonValue &root = doc.root();
    if (const JsonValue *items = listMember(root, "items")) {
        summary.accounts.reserve(size_t(items->size()));
        for (const JsonValue &item : *items) {
            AnalyticsAccount account{idMember(item, "id"), nameMember(item), {}};
            if (const JsonValue *properties = listMember(item, "webProperties")) {
                account.properties.reserve(size_t(properties->size()));
                for (const JsonValue &property : *properties)
                    account.properties.push_back(readProperty(property));
            }
            summary.accounts.push_back(std::move(account));
        }
    }
    if (totalResults) {
        const JsonValue *total = root.member("totalResults");
        bool ok = false;
        const double value = total && total->isNumber() ? total->toDouble(&ok) : 0;
        *totalResults = ok ? qint64(value) : qint64(summary.accounts.size());
    }
    return summary;
}

AnalyticsSummary AnalyticsSummary::fetch(AnalyticsClient &client, const QString &token, RequestTrace &trace)
{
    AnalyticsSummary summary;
    qint64 total = 0;
    do {
        const qint64 start = qint64(summary.accounts.size()) + 1;
        const ExchangeResult answer = client.get(token, start > 1 ? client.accountSummariesUrl(start) : QString());
        serviceanswer::trace(trace, answer);
        AnalyticsSummary page = readPage(answer, &total);
        if (page.error)
            return page;
        if (page.accounts.empty())
            break; // a page without accounts: nothing more to read, whatever the count says
        summary.accounts.insert(summary.accounts.end(), std::make_move_iterator(page.accounts.begin()),
                                std::make_move_iterator(page.accounts.end()));
    } while (qint64(summary.accounts.size()) < total);
    return summary;
}

void AnalyticsSummary::merge(AnalyticsSummary other)
{
    QHash<qint64, size_t> byId;
    byId.reserve(qsizetype(accounts.size()));
    for (size_t i = 0; i < accounts.size(); ++i)
        byId.insert(accounts[i].id, i);
    for (AnalyticsAccount &account : other.accounts) {
        const auto known = byId.constFind(account.id);
        if (known == byId.constEnd()) {
            byId.insert(account.id, accounts.size());
            accounts.push_back(std::move(account));
            continue;
        }
        std::vector<AnalyticsProperty> &properties = accounts[*known].properties;
        properties.insert(properties.end(), std::make_move_iterator(account.properties.begin()),
                          std::make_move_iterator(account.properties.end()));
    }
}

const AnalyticsAccount *AnalyticsSummary::account(qint64 accountId) const
{
    for (const AnalyticsAccount &account : accounts) {
        if (account.id == accountId)
            return &account;
    }
    return nullptr;
}

const AnalyticsProperty *AnalyticsSummary::property(qint64 accountId, qint64 propertyId, bool ga4) const
{
    const AnalyticsAccount *owner = account(accountId);
    if (!owner)
        return nullptr;
    for (const AnalyticsProperty &property : owner->properties) {
        if (property.id == propertyId && property.ga4 == ga4)
            return &property;
    }
    return nullptr;
}

} // namespace veltrano
