#pragma once

#include "net/ServiceExchange.h"

#include <QLatin1String>
#include <QString>
#include <optional>

namespace veltrano {

class JsonDocument;

// Get_SitedataYM: one authenticated GET to the Yandex Metrika API. The
// caller composes the whole address; the client sends it as given with the
// two header lines the API asks for ("Authorization: OAuth <token>",
// "Content-Type: application/x-yametrika+json") and hands back the answer
// whatever its status. The trace gets "- Authorization: OAuth " with the
// token shortened to its first four characters, "", "URL: <address>" and
// "HTTP Code: <code> <reason>"; the log "Yandex Metrika - HTTP Code: <code>
// <reason>".
class YandexMetrikaClient final {
public:
    static constexpr QLatin1String kLogLabel{"Yandex Metrika - HTTP Code: "};
    static constexpr QLatin1String kServiceName{"Yandex Metrika"};

    YandexMetrikaClient(ServiceExchange &exchange, QString apiHost);

    // "https://" + the API host, as the endpoints name it.
    const QString &apiHost() const { return m_apiHost; }

    ExchangeResult request(const QString &token, const QString &command);

    // The service's error object, {"errors": [{"error_type", "message"}],
    // "code", "message"}: its code (the HTTP status when the object has
    // none) and its message (the first error's when the object has no
    // message of its own).
    struct ServiceError {
        int code = 0;
        QString type; // the first error's error_type
        QString message;
    };
    static std::optional<ServiceError> serviceError(const JsonDocument &answer, int httpStatus);
    static std::optional<ServiceError> serviceError(const ExchangeResult &answer);
    // "Code: N, message".
    static QString codeText(const ServiceError &error);

    ServiceExchange &exchange() { return m_exchange; }

private:
    ServiceExchange &m_exchange;
    QString m_apiHost;
};

} // namespace veltrano
