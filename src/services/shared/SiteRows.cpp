#include "services/shared/SiteRows.h"

#include "app/CheckContext.h"
#include "app/VeltranoError.h"
#include "net/SiteScope.h"
#include "reports/ReportTable.h"

namespace veltrano {

QString rowsNotOnSiteLine(int heldBack, int rows, const QString &site)
{
    return QStringLiteral("%1 of %2 rows are not on %3 and were not checked").arg(heldBack).arg(rows).arg(site);
}

QString noRowOnSiteText(int rows, const QString &site)
{
    const QString which = rows == 1 ? QStringLiteral("The row is") : QStringLiteral("None of the %1 rows is").arg(rows);
    return which + QStringLiteral(" on %1, so nothing was checked. Paste that site's pages, or choose their site on "
                                  "the Settings page.")
                       .arg(site);
}

std::vector<int> rowsOnSite(CheckContext &context, const ReportTable &table, const SiteScope &site)
{
    const int rows = table.rowCount();
    std::vector<int> onSite;
    onSite.reserve(size_t(rows));
    for (int row = 0; row < rows; ++row) {
        if (site.contains(table.url(row)))
            onSite.push_back(row);
    }
    if (onSite.empty() && rows > 0)
        throw VeltranoError(noRowOnSiteText(rows, site.name()));
    if (int(onSite.size()) < rows)
        context.addToLog(rowsNotOnSiteLine(rows - int(onSite.size()), rows, site.name()));
    return context.rowsToCheck(onSite, [&](int row) { return table.url(row); });
}

std::vector<int> everyRowToCheck(CheckContext &context, const ReportTable &table)
{
    const int rows = table.rowCount();
    std::vector<int> all(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row)
        all[size_t(row)] = row;
    return context.rowsToCheck(all, [&](int row) { return table.url(row); });
}

} // namespace veltrano
