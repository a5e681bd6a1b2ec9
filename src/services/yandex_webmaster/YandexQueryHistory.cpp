#include "services/yandex_webmaster/YandexQueryHistory.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"
#include "net/RequestTrace.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

namespace veltrano {

QString YandexQueryHistory::command(const QString &hostId, const QString &queryId, const QDate &today)
{
    return QStringLiteral("hosts/%1/search-queries/%2/history?date_from=%3&date_to=%4&query_indicator=TOTAL_SHOWS")
        .arg(hostId, queryId, today.addDays(-360).toString(QStringLiteral("yyyy-MM-dd")),
             today.toString(QStringLiteral("yyyy-MM-dd")));
}

std::optional<YandexQueryHistory> YandexQueryHistory::fetch(YandexWebmasterClient &client, const QString &token,
                                                            const QString &hostId, const QString &queryId,
                                                            const QString &queryText, const QDate &today)
{
    const ExchangeResult answer = client.request(token, command(hostId, queryId, today));
    if (answer.text.isEmpty())
        return std::nullopt;
    RequestTrace &trace = client.exchange().trace();
    trace.clear();
    trace.add(answer.text);

    const JsonDocument doc = YandexWebmasterClient::parseAnswer(answer);
    const JsonValue &indicators =
        serviceanswer::read(answer, [&]() -> const JsonValue & { return doc.root().requireMember("indicators"); });
    if (!indicators.isObject())
        throw valueNotFound(QStringLiteral("indicators"));

    YandexQueryHistory history;
    const bool hasData = indicators.size() > 0;
    history.title = QStringLiteral("Yandex Trends for \"") + queryText +
                    (hasData ? QStringLiteral("\" (last year)") : QStringLiteral("\" (No data)"));
    if (!hasData)
        return history;

    const JsonValue &shows = indicators.requireMember("TOTAL_SHOWS");
    try {
        for (const JsonValue &point : shows) {
            const QString date = point.memberText("date");
            const QString valueText = point.memberText("value");
            bool ok = false;
            const qint64 value = valueText.toLongLong(&ok);
            if (!ok)
                throw VeltranoError(QStringLiteral("'%1' is not a valid integer value").arg(valueText));
            const qsizetype t = date.indexOf(QLatin1Char('T'));
            history.points.push_back({t < 0 ? date : date.left(t), value});
            history.maximum = std::max(history.maximum, value);
        }
    } catch (const VeltranoError &e) {
        history.error = e.message();
    }
    return history;
}

} // namespace veltrano
