#include "services/yandex_metrika/YandexMetrikaClient.h"

#include "app/ActivityLog.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/SecretText.h"

namespace veltrano {

YandexMetrikaClient::YandexMetrikaClient(ServiceExchange &exchange, QString apiHost)
    : m_exchange(exchange), m_apiHost(std::move(apiHost))
{
}

ExchangeResult YandexMetrikaClient::request(const QString &token, const QString &command)
{
    const QString authorization = QStringLiteral("Authorization: OAuth ");
    RequestTrace &trace = m_exchange.trace();
    trace.add(QStringLiteral("- ") + authorization + secretPreview(token));
    trace.add(QString());
    const ExchangeResult answer =
        m_exchange.get(kLogLabel, command,
                       {authorization + token, QStringLiteral("Content-Type: application/x-yametrika+json")},
                       ServiceExchange::silent());
    trace.add(QStringLiteral("URL: ") + command);
    trace.add(QStringLiteral("HTTP Code: ") + QString::number(answer.status) + QLatin1Char(' ') + answer.reason);
    m_exchange.log().addToLog(ServiceExchange::logLine(kLogLabel, answer.status, answer.reason));
    return answer;
}

std::optional<YandexMetrikaClient::ServiceError> YandexMetrikaClient::serviceError(const JsonDocument &answer,
                                                                                   int httpStatus)
{
    if (!answer.isValid() || !answer.root().isObject())
        return std::nullopt;
    const JsonValue &root = answer.root();
    const JsonValue *errors = root.member("errors");
    if (!errors || !errors->isArray())
        return std::nullopt;
    ServiceError error;
    error.code = httpStatus;
    if (const JsonValue *code = root.member("code"); code && code->isNumber()) {
        bool ok = false;
        const double value = code->toDouble(&ok);
        if (ok && value >= 100 && value <= 999)
            error.code = int(value);
    }
    const JsonValue *first = errors->size() > 0 ? &errors->at(0) : nullptr;
    if (first) {
        if (const JsonValue *type = first->member("error_type"); type && type->isString())
            error.type = type->text();
    }
    if (const JsonValue *message = root.member("message"); message && message->isString())
        error.message = message->text();
    if (error.message.isEmpty() && first) {
        if (const JsonValue *message = first->member("message"); message && message->isString())
            error.message = message->text();
    }
    return error;
}

std::optional<YandexMetrikaClient::ServiceError> YandexMetrikaClient::serviceError(const ExchangeResult &answer)
{
    return serviceError(JsonDocument::parse(answer.body), answer.status);
}

QString YandexMetrikaClient::codeText(const ServiceError &error)
{
    QString text = QStringLiteral("Code: ") + QString::number(error.code);
    if (!error.message.isEmpty())
        text += QStringLiteral(", ") + error.message;
    return text;
}

} // namespace veltrano
