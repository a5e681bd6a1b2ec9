#include "net/DailyQuota.h"

#include "net/JsonDocument.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace veltrano {

namespace {

const JsonValue *member(const JsonValue &object, const char *name)
{
    return object.isObject() ? object.member(QLatin1String(name)) : nullptr;
}

QString textOf(const JsonValue *value)
{
    return value && value->isString() ? value->text() : QString();
}

} // namespace

QDateTime DailyQuota::nextPacificMidnight(const QDateTime &nowUtc)
{
    const QTimeZone pacific("America/Los_Angeles");
    if (!pacific.isValid()) {
        // Without the time-zone database: standard time, eight hours behind.
        const QDateTime local = nowUtc.toUTC().addSecs(-8 * 3600);
        return QDateTime(local.date().addDays(1), QTime(0, 0), Qt::UTC).addSecs(8 * 3600);
    }
    const QDateTime local = nowUtc.toTimeZone(pacific);
    return QDateTime(local.date().addDays(1), QTime(0, 0), pacific).toUTC();
}

QDateTime DailyQuota::nextGmtMidnight(const QDateTime &nowUtc)
{
    return QDateTime(nowUtc.toUTC().date().addDays(1), QTime(0, 0), Qt::UTC);
}

std::optional<QuotaSpent> DailyQuota::spentIn(int status, const QByteArray &body, const QDateTime &nowUtc)
{
    if (status != 429 && status != 403)
        return std::nullopt;
    const JsonDocument doc = JsonDocument::parse(body);
    if (!doc.isValid() || !doc.root().isObject())
        return std::nullopt;
    const JsonValue &root = doc.root();

    // Google: the limit's name says over which time it counts.
    if (const JsonValue *error = member(root, "error"); error && error->isObject()) {
        static const QRegularExpression limit(
            QStringLiteral("quota metric '([^']*)' and limit '([^']*per day[^']*)' of service '([^']*)'"),
            QRegularExpression::CaseInsensitiveOption);
        const QString message = textOf(member(*error, "message"));
        // Google Analytics 4: the property's tokens of the day, or of the
        // hour (which no backoff worth making waits out either).
        if (message.startsWith(QLatin1String("Exhausted property tokens per day"), Qt::CaseInsensitive))
            return QuotaSpent(QStringLiteral("\"property tokens per day\" of analyticsdata.googleapis.com"),
                              nextPacificMidnight(nowUtc), QStringLiteral("midnight Pacific time"));
        if (message.startsWith(QLatin1String("Exhausted property tokens per hour"), Qt::CaseInsensitive))
            return QuotaSpent(QStringLiteral("\"property tokens per hour\" of analyticsdata.googleapis.com"),
                              nowUtc.addSecs(3600), QStringLiteral("within the hour"));
        const QRegularExpressionMatch match = limit.match(message);
        if (match.hasMatch())
            return QuotaSpent(QStringLiteral("\"%1\" of %2").arg(match.captured(2), match.captured(3)),
                              nextPacificMidnight(nowUtc), QStringLiteral("midnight Pacific time"));
        return std::nullopt;
    }

    // Metrika: the user's requests of the day.
    if (const JsonValue *errors = member(root, "errors"); errors && errors->isArray()) {
        for (const JsonValue &error : *errors) {
            if (textOf(member(error, "error_type")) == QLatin1String("quota_requests_by_uid"))
                return QuotaSpent(QStringLiteral("\"quota_requests_by_uid\" (Yandex Metrika requests of a user a day)"),
                                  nextGmtMidnight(nowUtc),
                                  QStringLiteral("00:00 GMT"));
        }
    }
    return std::nullopt;
}

} // namespace veltrano
