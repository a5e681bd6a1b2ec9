#include "services/search_console/SearchConsoleProperties.h"

#include "net/FormEncoding.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"
#include "services/search_console/GoogleApiClient.h"

#include <QCollator>

#include <algorithm>

namespace veltrano {

SearchConsolePropertyList SearchConsolePropertyList::fetch(GoogleApiClient &client, const QString &token,
                                                           RequestTrace &trace)
{
    const ExchangeResult answer = client.listSites(token);
    serviceanswer::trace(trace, answer);
    return read(answer);
}

SearchConsolePropertyList SearchConsolePropertyList::read(const ExchangeResult &answer)
{
    const JsonDocument doc = serviceanswer::parseObject(GoogleApiClient::kServiceName, answer);
    SearchConsolePropertyList list;
    list.error = GoogleError::of(answer, doc);
    if (list.error)
        return list;

    const JsonValue *entries = doc.root().member("siteEntry");
    if (entries && entries->isArray()) {
        for (const JsonValue &entry : *entries) {
            const JsonValue *siteUrl = entry.member("siteUrl");
            if (!siteUrl || !siteUrl->isString() || siteUrl->text().isEmpty())
                continue;
            const QString url = siteUrl->text();
            list.properties.push_back({url, formEncoded(url)});
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::stable_sort(list.properties.begin(), list.properties.end(),
                     [&](const SearchConsoleProperty &a, const SearchConsoleProperty &b) {
                         return collator.compare(a.siteUrl, b.siteUrl) < 0;
                     });
    return list;
}

} // namespace veltrano
