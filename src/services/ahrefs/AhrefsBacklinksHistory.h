#pragma once

#include "reports/AreaChartData.h"
#include "services/ahrefs/AhrefsClient.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

namespace veltrano {

// The site's new backlinks per day over the last two years, from the
// day-by-day counters of new and lost backlinks by type and origin
// ("counts": date, type, origin, refpages, all). A day's figure is the
// first counter of type "new" and origin "recrawl" for that date; every
// other counter is only written down for diagnosis.
class AhrefsBacklinksHistory final {
public:
    static constexpr int kDays = 720;
    static constexpr int kLimit = 10000;
    static QString table() { return QStringLiteral("backlinks_new_lost_counters_by_type"); }

    // Counters from today - 720 days on (date>="yyyy-mm-dd"), prefix mode.
    static AhrefsQuery query(const QString &site, const QDate &today);

    struct Day {
        QString date;     // as the answer writes it
        QString refpages; // text of "refpages"
        QString all;      // text of "all"
        qint64 count = 0; // "all" as a number
    };

    struct Reading {
        std::vector<Day> days; // one per date, oldest first, whatever the answer's order
        // "- <date> (type: <type> / origin: <origin>): refpages: <n> / all: <n>"
        // for every counter read, in the answer's order.
        QStringList counterLines;
        QString serviceError; // the service's "error" text
        QString failure;      // why the answer could not be read; days is then empty
        bool ok() const { return serviceError.isEmpty() && failure.isEmpty(); }
    };
    static Reading read(const ExchangeResult &answer);

    // "Backlinks History for "<site>" (last two years)"
    static QString chartTitle(const QString &site);
    // The chart of the days in order: each point labelled with its date.
    static AreaChartData chartData(const QString &site, const std::vector<Day> &days);
};

} // namespace veltrano
