#include "net/GoogleError.h"

#include "net/JsonDocument.h"

namespace veltrano {

namespace {

QString textOf(const JsonValue *value)
{
    return value && (value->isString() || value->isNumber()) ? value->text() : QString();
}

bool successStatus(int status)
{
    return status >= 200 && status < 300;
}

// The words of a status line for an answer that brought none of its own.
QString statusWords(const ExchangeResult &answer)
{
    if (!answer.reason.isEmpty() && !successStatus(answer.status))
        return answer.reason;
    if (answer.body.isEmpty())
        return answer.status == 500 && answer.reason.isEmpty() ? QStringLiteral("no answer received")
                                                               : QStringLiteral("empty answer");
    return QStringLiteral("no usable answer");
}

} // namespace

std::optional<GoogleError> GoogleError::of(const ExchangeResult &answer)
{
    return of(answer, JsonDocument::parse(answer.body));
}

std::optional<GoogleError> GoogleError::of(const ExchangeResult &answer, const JsonDocument &doc)
{
    const QString httpCode = QString::number(answer.status);
    if (!doc.isValid() || !doc.root().isObject())
        return GoogleError{httpCode, QString(), statusWords(answer)};

    const JsonValue *error = doc.root().member("error");
    if (!error) {
        if (successStatus(answer.status))
            return std::nullopt;
        return GoogleError{httpCode, QString(), statusWords(answer)};
    }
    if (error->isObject()) {
        const QString code = textOf(error->member("code"));
        QString message = textOf(error->member("message"));
        if (message.isEmpty())
            message = statusWords(answer);
        return GoogleError{code.isEmpty() ? httpCode : code, textOf(error->member("status")), message};
    }
    // The OAuth front end's form: a word, and maybe a description.
    QString message = textOf(doc.root().member("error_description"));
    const QString word = textOf(error);
    if (message.isEmpty())
        message = word.isEmpty() ? statusWords(answer) : word;
    return GoogleError{httpCode, word, message};
}

QString GoogleError::codeAndMessage() const
{
    return QStringLiteral("Code: ") + code + QStringLiteral(", ") + message;
}

} // namespace veltrano
