#pragma once

#include "net/ServiceExchange.h"

#include <QString>

namespace veltrano {

class JsonDocument;

// Requests to the Yandex Webmaster API (version 4). The API keeps every
// resource below the user's own path "/v4/user/<user id>/", so each call
// first asks who the token belongs to and then sends the caller's command
// below that path. The user id is not kept: every call costs two requests,
// and only the first one writes a line to the activity log.
class YandexWebmasterClient final {
public:
    static constexpr QLatin1String kLogLabel{"Yandex Webmaster - HTTP Code: "};
    static constexpr QLatin1String kServiceName{"Yandex Webmaster"};

    YandexWebmasterClient(ServiceExchange &exchange, QString apiHost);

    // Sends GET "/v4/user/<user id>/<command>" with the account's token and
    // returns the answer of that second request. Never throws and never
    // judges the status.
    ExchangeResult request(const QString &token, const QString &command);

    // The answer as a JSON object, or VeltranoError saying in plain words that
    // Yandex Webmaster gave no usable answer, with the HTTP status.
    static JsonDocument parseAnswer(const ExchangeResult &answer);

    ServiceExchange &exchange() { return m_exchange; }

private:
    ServiceExchange &m_exchange;
    QString m_apiHost;
};

} // namespace veltrano
