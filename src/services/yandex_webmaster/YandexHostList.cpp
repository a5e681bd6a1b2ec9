#include "services/yandex_webmaster/YandexHostList.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

#include <QCollator>
#include <algorithm>

namespace veltrano {

std::vector<YandexHost> fetchYandexHosts(YandexWebmasterClient &client, const QString &token)
{
    return parseYandexHosts(client.request(token, QStringLiteral("hosts")));
}

std::vector<YandexHost> parseYandexHosts(const ExchangeResult &answer)
{
    const JsonDocument doc = YandexWebmasterClient::parseAnswer(answer);
    const JsonValue &hosts = serviceanswer::read(answer, [&]() -> const JsonValue & { return doc.root().requireMember("hosts"); });
    std::vector<YandexHost> out;
    for (const JsonValue &host : hosts) {
        const JsonValue *verified = host.member("verified");
        if (!verified || verified->text() != QLatin1String("true"))
            continue;
        out.push_back({host.memberText("unicode_host_url"), host.memberText("host_id")});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::stable_sort(out.begin(), out.end(), [&](const YandexHost &a, const YandexHost &b) {
        return collator.compare(a.domain, b.domain) < 0;
    });
    return out;
}

} // namespace veltrano
