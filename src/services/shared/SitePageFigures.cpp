#include "services/shared/SitePageFigures.h"

#include "app/CheckContext.h"
#include "reports/ReportTable.h"

namespace veltrano {

bool SitePageFigures::add(const QString &key, QStringList cells)
{
    if (m_pages.contains(key))
        return false;
    m_pages.insert(key, std::move(cells));
    return true;
}

const QStringList *SitePageFigures::find(const QString &key) const
{
    const auto it = m_pages.constFind(key);
    return it == m_pages.constEnd() ? nullptr : &it.value();
}

int fillRowsFromSitePages(CheckContext &context, ReportTable &table, const std::vector<int> &rows,
                          const SitePageFigures &pages, const QStringList &noDataCells,
                          const std::function<QString(const QString &)> &keyOf)
{
    int matched = 0;
    context.forEachRow(int(rows.size()), [&](int index) {
        const int row = rows[size_t(index)];
        if (const QStringList *cells = pages.find(keyOf(table.url(row)))) {
            table.setRowCells(row, *cells);
            ++matched;
        } else {
            table.setRowCells(row, noDataCells);
        }
        return CheckContext::RowStep::Next;
    });
    return matched;
}

} // namespace veltrano
