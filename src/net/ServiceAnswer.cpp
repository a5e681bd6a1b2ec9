#include "net/ServiceAnswer.h"

#include "net/RequestTrace.h"

namespace veltrano::serviceanswer {

namespace {

QString joined(const QString &kind, const QString &message)
{
    if (kind.isEmpty())
        return message;
    if (message.isEmpty())
        return kind;
    return kind + QStringLiteral(": ") + message;
}

QString textOf(const JsonValue *value)
{
    return value && (value->isString() || value->isNumber()) ? value->text() : QString();
}

} // namespace

QString statusText(const ExchangeResult &answer)
{
    if (answer.status == 500 && answer.reason.isEmpty())
        return QStringLiteral("500, no answer received");
    QString status = QString::number(answer.status);
    if (!answer.reason.isEmpty())
        status += QLatin1Char(' ') + answer.reason;
    return status;
}

JsonDocument parseObject(const QString &serviceName, const ExchangeResult &answer)
{
    JsonDocument doc = JsonDocument::parse(answer.body);
    if (!doc.isValid() || !doc.root().isObject()) {
        throw VeltranoError(QStringLiteral("%1 gave no usable answer (HTTP status %2). Please check the connection "
                                           "and the account, then try again.")
                                .arg(serviceName, statusText(answer)));
    }
    return doc;
}

QString errorWords(const ExchangeResult &answer)
{
    const JsonDocument doc = JsonDocument::parse(answer.body);
    if (!doc.isValid() || !doc.root().isObject())
        return {};
    const JsonValue &root = doc.root();

    if (const JsonValue *code = root.member("error_code"))
        return joined(textOf(code), textOf(root.member("error_message")));

    if (const JsonValue *error = root.member("error")) {
        if (error->isObject())
            return joined(textOf(error->member("status")), textOf(error->member("message")));
        return textOf(error);
    }

    if (const JsonValue *errors = root.member("errors"); errors && errors->isArray()) {
        QStringList words;
        for (const JsonValue &each : *errors) {
            const QString one = joined(textOf(each.member("error_type")), textOf(each.member("message")));
            if (!one.isEmpty())
                words << one;
        }
        if (words.isEmpty())
            words << textOf(root.member("message"));
        return words.join(QStringLiteral("; "));
    }
    return {};
}

QString withServiceWords(const QString &message, const ExchangeResult &answer)
{
    const QString words = errorWords(answer);
    if (words.isEmpty())
        return message;
    return message + QLatin1Char('\n') + words + QStringLiteral(" (HTTP status ") + statusText(answer) +
           QLatin1Char(')');
}

void trace(RequestTrace &trace, const ExchangeResult &answer)
{
    trace.add(QString());
    trace.add(answer.text);
    trace.add(QString());
}

} // namespace veltrano::serviceanswer
