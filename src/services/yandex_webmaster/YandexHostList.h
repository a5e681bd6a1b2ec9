#pragma once

#include "net/ServiceExchange.h"

#include <QString>
#include <vector>

namespace veltrano {

// One verified site of a Yandex Webmaster account.
struct YandexHost {
    QString domain; // "unicode_host_url"
    QString hostId; // "host_id", what commands put after "hosts/"
};

// The account's sites from the answer to "hosts": verified ones only, sorted
// by domain with the user's locale-aware, case-sensitive comparison. An
// answer without "hosts" raises "Value 'hosts' not found".
std::vector<YandexHost> parseYandexHosts(const ExchangeResult &answer);

class YandexWebmasterClient;
// The account's verified sites, asked of the service ("hosts").
std::vector<YandexHost> fetchYandexHosts(YandexWebmasterClient &client, const QString &token);

} // namespace veltrano
