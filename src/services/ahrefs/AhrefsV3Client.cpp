#include "services/ahrefs/AhrefsV3Client.h"

#include "app/ActivityLog.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"

#include <QUrl>

#include <cmath>

namespace veltrano {

namespace {

QString encoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString formattedUnits(double units)
{
    return QString::number(units, 'f', units == qint64(units) ? 0 : 2);
}

} // namespace

AhrefsV3Client::AhrefsV3Client(ServiceExchange &exchange, QString apiHost)
    : m_exchange(exchange), m_apiHost(std::move(apiHost))
{
}

QString AhrefsV3Client::url(const AhrefsV3Query &query) const
{
    QString url = m_apiHost + QStringLiteral("/v3/") + query.endpoint;
    QChar separator = QLatin1Char('?');
    for (const auto &[name, value] : query.params) {
        url += separator + name + QLatin1Char('=') + encoded(value);
        separator = QLatin1Char('&');
    }
    return url;
}

QString AhrefsV3Client::bearerHeader(const QString &key)
{
    return QStringLiteral("Authorization: Bearer ") + key;
}

QString AhrefsV3Client::keyProblem(const QString &key)
{
    for (const QChar c : key) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("The Ahrefs API key holds a line break or another control character: "
                                  "copy it again from the API keys page of your Ahrefs account.");
    }
    return {};
}

ExchangeResult AhrefsV3Client::request(const AhrefsV3Query &query, const QString &key, ExchangeOptions options)
{
    return m_exchange.get(kLogLabel, url(query), {bearerHeader(key)}, options);
}

void AhrefsV3Client::writeStatus(const ExchangeResult &answer)
{
    m_exchange.trace().add(QString());
    m_exchange.trace().add(QStringLiteral("HTTP Code: ") + QString::number(answer.status) + QLatin1Char(' ') +
                           answer.reason);
    m_exchange.log().addToLog(ServiceExchange::logLine(kLogLabel, answer.status, answer.reason));
}

QString AhrefsV3Client::serviceError(const JsonDocument &answer)
{
    if (!answer.isValid() || !answer.root().isObject())
        return {};
    const JsonValue *error = answer.root().member("error");
    return error ? error->text() : QString();
}

QString AhrefsV3Client::errorText(const QString &serviceError, const ExchangeResult &answer)
{
    return QStringLiteral("%1 (HTTP %2 %3)").arg(serviceError).arg(answer.status).arg(answer.reason).trimmed();
}

std::optional<double> AhrefsV3Client::unitsCost(const ExchangeResult &answer)
{
    const std::optional<QByteArray> value = answer.header(QByteArrayView(kUnitsCostHeader.data(), kUnitsCostHeader.size()));
    if (!value)
        return std::nullopt;
    bool ok = false;
    const double units = value->trimmed().toDouble(&ok);
    if (!ok || units < 0 || !std::isfinite(units))
        return std::nullopt;
    return units;
}

AhrefsV3Query AhrefsV3Client::limitsQuery()
{
    return {QStringLiteral("subscription-info/limits-and-usage"), {}};
}

QString AhrefsV3Client::limitsText(const ExchangeResult &answer)
{
    const JsonDocument doc = JsonDocument::parse(answer.body);
    if (const QString error = serviceError(doc); !error.isEmpty())
        return QStringLiteral("Ahrefs API units: ") + errorText(error, answer);
    const JsonValue *limits = doc.isValid() && doc.root().isObject() ? doc.root().member("limits_and_usage") : nullptr;
    if (!limits || !limits->isObject() || answer.status != 200)
        return QStringLiteral("Ahrefs API units: no usable answer (HTTP %1 %2)").arg(answer.status).arg(answer.reason);
    const auto text = [&](const char *name) {
        const JsonValue *value = limits->member(name);
        return value ? value->text() : QString();
    };
    const JsonValue *limit = limits->member("units_limit_api_key");
    const QString limitText = !limit || limit->isNull() ? QStringLiteral("unlimited") : limit->text();
    QString line = QStringLiteral("Ahrefs API units: %1 of %2 used this month by this key")
                       .arg(text("units_usage_api_key").isEmpty() ? QStringLiteral("0") : text("units_usage_api_key"),
                            limitText);
    if (const QString reset = text("usage_reset_date"); !reset.isEmpty())
        line += QStringLiteral(" (resets %1)").arg(reset);
    return line;
}

QDate AhrefsV3Client::usageResetDate(const ExchangeResult &answer)
{
    const JsonDocument doc = JsonDocument::parse(answer.body);
    const JsonValue *limits = doc.isValid() && doc.root().isObject() ? doc.root().member("limits_and_usage") : nullptr;
    const JsonValue *reset = limits && limits->isObject() ? limits->member("usage_reset_date") : nullptr;
    if (answer.status != 200 || !reset)
        return {};
    // "2026-12-28", or a timestamp whose first ten characters are the day.
    return QDate::fromString(reset->text().left(10), Qt::ISODate);
}

std::optional<QuotaSpent> AhrefsV3Client::unitsSpent(const ExchangeResult &answer, const QDate &resetDate,
                                                     const QDateTime &nowUtc)
{
    if (answer.status != 403)
        return std::nullopt;
    const QString error = serviceError(JsonDocument::parse(answer.body));
    if (!error.contains(QLatin1String("units"), Qt::CaseInsensitive))
        return std::nullopt;
    const QDate today = nowUtc.date();
    const QDate day = resetDate.isValid() && resetDate > today ? resetDate
                                                               : QDate(today.year(), today.month(), 1).addMonths(1);
    return QuotaSpent(QStringLiteral("\"API units\" of the Ahrefs API key (%1)").arg(errorText(error, answer)),
                      QDateTime(day, QTime(0, 0), Qt::UTC), QStringLiteral("the key's monthly renewal"));
}

void AhrefsUnitsTally::add(const ExchangeResult &answer)
{
    ++m_answers;
    if (const std::optional<double> cost = AhrefsV3Client::unitsCost(answer))
        m_total += *cost;
}

QString AhrefsUnitsTally::logLine() const
{
    return QStringLiteral("Ahrefs API units spent: %1 (%2 answers)").arg(formattedUnits(m_total)).arg(m_answers);
}

} // namespace veltrano
