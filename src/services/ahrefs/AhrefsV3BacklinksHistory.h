#pragma once

#include "reports/AreaChartData.h"
#include "services/ahrefs/AhrefsBacklinksHistory.h"
#include "services/ahrefs/AhrefsV3Client.h"

#include <QDate>
#include <QString>
#include <vector>

namespace veltrano {

// The backlinks history with API v3: the site's live referring domains day
// by day over the last two years (site-explorer/refdomains-history,
// subdomains mode, date_from = today - 720 days, date_to = today, daily).
// v3 keeps no count of new backlinks per day; the referring domains are
// the figure that shows the same growth and loss of links.
class AhrefsV3BacklinksHistory final {
public:
    static AhrefsV3Query query(const QString &site, const QDate &today);

    // days: "all" and count hold the referring domains, "refpages" is empty;
    // oldest first whatever the answer's order.
    static AhrefsBacklinksHistory::Reading read(const ExchangeResult &answer);

    // "Referring Domains History for "<site>" (last two years)"
    static QString chartTitle(const QString &site);
};

} // namespace veltrano
