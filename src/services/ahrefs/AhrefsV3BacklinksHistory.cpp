#include "services/ahrefs/AhrefsV3BacklinksHistory.h"

#include "net/JsonDocument.h"

#include <algorithm>

namespace veltrano {

AhrefsV3Query AhrefsV3BacklinksHistory::query(const QString &site, const QDate &today)
{
    const QString format = QStringLiteral("yyyy-MM-dd");
    return {QStringLiteral("site-explorer/refdomains-history"),
            {{QStringLiteral("target"), site},
             {QStringLiteral("mode"), QStringLiteral("subdomains")},
             {QStringLiteral("date_from"), today.addDays(-AhrefsBacklinksHistory::kDays).toString(format)},
             {QStringLiteral("date_to"), today.toString(format)},
             {QStringLiteral("history_grouping"), QStringLiteral("daily")},
             {QStringLiteral("output"), QStringLiteral("json")}}};
}

AhrefsBacklinksHistory::Reading AhrefsV3BacklinksHistory::read(const ExchangeResult &answer)
{
    AhrefsBacklinksHistory::Reading reading;
    const JsonDocument doc = JsonDocument::parse(answer.body);
    if (const QString error = AhrefsV3Client::serviceError(doc); !error.isEmpty()) {
        reading.serviceError = AhrefsV3Client::errorText(error, answer);
        return reading;
    }
    const JsonValue *list = doc.isValid() && doc.root().isObject() ? doc.root().member("refdomains") : nullptr;
    if (answer.status != 200 || !list || !list->isArray()) {
        reading.failure = QStringLiteral("no usable answer (HTTP %1 %2)").arg(answer.status).arg(answer.reason).trimmed();
        return reading;
    }
    for (const JsonValue &item : *list) {
        const JsonValue *date = item.member("date");
        const JsonValue *count = item.member("refdomains");
        bool ok = false;
        const double value = count ? count->toDouble(&ok) : 0;
        if (!date || !date->isString() || !ok) {
            // A day without its date or figure would land on the wrong place
            // of the chart: the history is not drawn from such an answer.
            reading.days.clear();
            reading.failure = QStringLiteral("a day of the history lacks its date or referring domains");
            return reading;
        }
        // The figure as the service wrote it: the chart reads it back as a
        // whole number, which a locale's digit grouping would break.
        const QString figure = QString::fromLatin1(count->numberToken());
        reading.counterLines << QStringLiteral("- %1: refdomains: %2").arg(date->text(), figure);
        reading.days.push_back({date->text(), QString(), figure, qint64(value)});
    }
    std::stable_sort(reading.days.begin(), reading.days.end(),
                     [](const auto &a, const auto &b) { return a.date < b.date; });
    return reading;
}

QString AhrefsV3BacklinksHistory::chartTitle(const QString &site)
{
    return QStringLiteral("Referring Domains History for \"%1\" (last two years)").arg(site);
}

} // namespace veltrano
