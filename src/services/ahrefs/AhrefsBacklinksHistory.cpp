#include "services/ahrefs/AhrefsBacklinksHistory.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"

#include <QSet>

#include <algorithm>

namespace veltrano {

AhrefsQuery AhrefsBacklinksHistory::query(const QString &site, const QDate &today)
{
    const QString firstDay = today.addDays(-kDays).toString(QStringLiteral("yyyy-MM-dd"));
    return AhrefsQuery{table(), QStringLiteral("date>=\"%1\"").arg(firstDay), kLimit, site, QStringLiteral("prefix")};
}

AhrefsBacklinksHistory::Reading AhrefsBacklinksHistory::read(const ExchangeResult &answer)
{
    Reading reading;
    try {
        const JsonDocument doc = serviceanswer::parseObject(AhrefsClient::kServiceName, answer);
        reading.serviceError = AhrefsClient::serviceError(doc);
        if (!reading.serviceError.isEmpty())
            return reading;
        const JsonValue &counts = doc.root().requireMember("counts");
        if (!counts.isArray())
            throw valueNotFound(QStringLiteral("counts"));

        QSet<QString> datesWithDay;
        for (const JsonValue &counter : counts) {
            const QString date = counter.memberText("date");
            const QString type = counter.memberText("type");
            const QString origin = counter.memberText("origin");
            const QString refpages = counter.memberText("refpages");
            const QString all = counter.memberText("all");
            reading.counterLines << QStringLiteral("- %1 (type: %2 / origin: %3): refpages: %4 / all: %5")
                                        .arg(date, type, origin, refpages, all);
            if (datesWithDay.contains(date) || type != QLatin1String("new") || origin != QLatin1String("recrawl"))
                continue;
            bool whole = false;
            const qint64 count = all.toLongLong(&whole);
            if (!whole)
                throw VeltranoError(QStringLiteral("'%1' is not a valid integer value").arg(all));
            reading.days.push_back({date, refpages, all, count});
            datesWithDay.insert(date);
        }
    } catch (const VeltranoError &e) {
        reading.failure = e.message();
        reading.days.clear();
        return reading;
    }
    // The service lists the newest day first; time runs left to right.
    std::stable_sort(reading.days.begin(), reading.days.end(),
                     [](const Day &a, const Day &b) { return a.date < b.date; });
    return reading;
}

QString AhrefsBacklinksHistory::chartTitle(const QString &site)
{
    return QStringLiteral("Backlinks History for \"%1\" (last two years)").arg(site);
}

AreaChartData AhrefsBacklinksHistory::chartData(const QString &site, const std::vector<Day> &days)
{
    AreaChartData data;
    data.title = chartTitle(site);
    data.points.reserve(days.size());
    for (const Day &day : days)
        data.points.push_back({day.date, day.count});
    return data;
}

} // namespace veltrano
