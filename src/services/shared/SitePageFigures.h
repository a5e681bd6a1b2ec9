#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace veltrano {

class CheckContext;
class ReportTable;

// The figures of a whole site's page report, by page: the cells each page of
// the report gives, under the key its rows are matched with (Search
// Console: the page's UrlKey; Analytics: the page path). A second report
// row for a page already listed (the same page in another spelling) is a
// repeat and is not taken.
class SitePageFigures final {
public:
    // Takes a page's cells; false when the key is already listed.
    bool add(const QString &key, QStringList cells);
    // The cells of the page with this key, nullptr when the report has none.
    const QStringList *find(const QString &key) const;
    int size() const { return int(m_pages.size()); }

private:
    QHash<QString, QStringList> m_pages;
};

// Writes the figures into the rows of a whole-site check (indexes into
// table, in order): a row whose page the report lists gets its cells, any
// other row the no-data cells, exactly as the page-by-page check writes a
// page without data. keyOf gives a row's key from its address. The rows
// advance the progress bar and a click on "Cancel" stops between rows.
// Returns how many rows matched a page of the report.
int fillRowsFromSitePages(CheckContext &context, ReportTable &table, const std::vector<int> &rows,
                          const SitePageFigures &pages, const QStringList &noDataCells,
                          const std::function<QString(const QString &)> &keyOf);

} // namespace veltrano
