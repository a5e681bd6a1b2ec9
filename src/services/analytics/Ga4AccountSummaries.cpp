#include "services/analytics/Ga4AccountSummaries.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/Ga4Client.h"

#include <QSet>

namespace veltrano {

namespace {

const JsonValue *listMember(const JsonValue &object, const char *name)
{
    const JsonValue *list = object.member(QLatin1String(name));
    if (list && !list->isArray() && !list->isNull())
        throw valueNotFound(QLatin1String(name));
    return list && list->isArray() ? list : nullptr;
}

qint64 numberOf(const JsonValue &object, const char *member, QLatin1String prefix)
{
    const JsonValue *value = object.member(QLatin1String(member));
    if (!value || !value->isString())
        throw valueNotFound(QLatin1String(member));
    const QString name = value->text();
    const std::optional<qint64> number = Ga4AccountSummaries::resourceNumber(name, prefix);
    if (!number)
        throw VeltranoError(QStringLiteral("'%1' is not a valid %2 name").arg(name, QLatin1String(member)));
    return *number;
}

QString displayName(const JsonValue &object)
{
    const JsonValue *name = object.member("displayName");
    return name ? name->text(QLocale::c()) : QString();
}

} // namespace

std::optional<qint64> Ga4AccountSummaries::resourceNumber(QStringView name, QLatin1String prefix)
{
    if (!name.startsWith(prefix))
        return std::nullopt;
    const QStringView digits = name.mid(prefix.size());
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return digits.toLongLong();
}

AnalyticsSummary Ga4AccountSummaries::readPage(const ExchangeResult &answer, QString *nextPageToken)
{
    const JsonDocument doc = serviceanswer::parseObject(AnalyticsClient::kServiceName, answer);
    AnalyticsSummary summary;
    summary.error = GoogleError::of(answer, doc);
    if (summary.error)
        return summary;

    const JsonValue &root = doc.root();
    if (const JsonValue *items = listMember(root, "accountSummaries")) {
        summary.accounts.reserve(size_t(items->size()));
        for (const JsonValue &item : *items) {
            AnalyticsAccount account{numberOf(item, "account", QLatin1String("accounts/")), displayName(item), {}};
            if (const JsonValue *properties = listMember(item, "propertySummaries")) {
                account.properties.reserve(size_t(properties->size()));
                for (const JsonValue &property : *properties)
                    account.properties.push_back({numberOf(property, "property", QLatin1String("properties/")),
                                                  displayName(property), {}, {}, true});
            }
            summary.accounts.push_back(std::move(account));
        }
    }
    if (nextPageToken) {
        const JsonValue *token = root.member("nextPageToken");
        *nextPageToken = token && token->isString() ? token->text() : QString();
    }
    return summary;
}

AnalyticsSummary Ga4AccountSummaries::fetch(Ga4Client &client, const QString &token, RequestTrace &trace)
{
    AnalyticsSummary summary;
    QString pageToken;
    QSet<QString> tokensSeen;
    for (int page = 0; page < kMaxPages; ++page) {
        const ExchangeResult answer = client.accountSummaries(token, pageToken);
        serviceanswer::trace(trace, answer);
        AnalyticsSummary part = readPage(answer, &pageToken);
        if (part.error)
            return part;
        summary.accounts.insert(summary.accounts.end(), std::make_move_iterator(part.accounts.begin()),
                                std::make_move_iterator(part.accounts.end()));
        // The last page has no token; a token handed out twice would only
        // bring the same pages again.
        if (pageToken.isEmpty() || tokensSeen.contains(pageToken))
            break;
        tokensSeen.insert(pageToken);
    }
    return summary;
}

} // namespace veltrano
