#include "services/yandex_webmaster/YandexWebmasterClient.h"

#include "app/ActivityLog.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ParseString.h"
#include "net/ServiceAnswer.h"
#include "net/RequestTrace.h"

namespace veltrano {

YandexWebmasterClient::YandexWebmasterClient(ServiceExchange &exchange, QString apiHost)
    : m_exchange(exchange), m_apiHost(std::move(apiHost))
{
}

ExchangeResult YandexWebmasterClient::request(const QString &token, const QString &command)
{
    const QStringList headers{QStringLiteral("Authorization: OAuth ") + token};

    // Who the token belongs to; this request alone shows in the log.
    const ExchangeResult user =
        m_exchange.get(kLogLabel, m_apiHost + QStringLiteral("/v4/user"), headers, ServiceExchange::silent());
    // The id is cut out of {"user_id":12345}; blanks around it are dropped.
    const QString userId = parseString(user.text, QStringLiteral("\"user_id\":"), QStringLiteral("}")).trimmed();
    m_exchange.trace().add(QString());
    m_exchange.trace().add(QStringLiteral("HTTP Code: %1 %2 (userID: %3)").arg(user.status).arg(user.reason, userId));
    m_exchange.log().addToLog(ServiceExchange::logLine(kLogLabel, user.status, user.reason));

    return m_exchange.get(kLogLabel, m_apiHost + QStringLiteral("/v4/user/") + userId + QLatin1Char('/') + command,
                          headers, ServiceExchange::silent());
}

JsonDocument YandexWebmasterClient::parseAnswer(const ExchangeResult &answer)
{
    return serviceanswer::parseObject(kServiceName, answer);
}

} // namespace veltrano
