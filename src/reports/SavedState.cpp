#include "reports/SavedState.h"

#include "app/RunControl.h"
#include "reports/ReportTable.h"

namespace veltrano {

SavedState SavedState::capture(const std::vector<ReportTable *> &tables, const RunControl &run)
{
    SavedState state;
    for (size_t tab = 0; tab < tables.size(); ++tab) {
        const ReportTable *table = tables[tab];
        if (!table)
            continue;
        const RowRunStates &states = run.rowStates(int(tab));
        const int rows = table->rowCount();
        if (rows == 0 && states.all().isEmpty())
            continue;
        SavedReport report;
        report.name = table->name();
        report.columns = table->columnCount();
        report.check = states.check();
        report.target = states.target();
        // Shared with the run frame until it next changes a state.
        report.states = states.all();
        const size_t textColumns = size_t(report.columns - 1);
        report.urls.reserve(size_t(rows));
        report.cells.resize(size_t(rows) * textColumns);
        report.texts.resize(table->textPoolSize());
        quint32 *cell = report.cells.data();
        for (int row = 0; row < rows; ++row) {
            report.urls.push_back(table->url(row));
            for (int column = 1; column <= int(textColumns); ++column, ++cell) {
                const quint32 id = table->cellTextId(row, column);
                *cell = id;
                // Each text once, from the first cell that holds it.
                if (id != 0 && report.texts[id].isNull())
                    report.texts[id] = table->cell(row, column);
            }
        }
        state.reports.push_back(std::move(report));
    }
    return state;
}

void SavedState::applyTo(const std::vector<ReportTable *> &tables, RunControl &run) const
{
    for (const SavedReport &report : reports) {
        for (size_t tab = 0; tab < tables.size(); ++tab) {
            ReportTable *table = tables[tab];
            if (!table || table->name() != report.name || table->columnCount() != report.columns)
                continue;
            const int first = table->rowCount();
            if (table->appendRows(QStringList(report.urls.begin(), report.urls.end())) != report.rowCount())
                continue; // not an empty table: left as it is
            const int textColumns = report.columns - 1;
            QStringList cells;
            cells.reserve(textColumns);
            for (int row = 0; row < report.rowCount(); ++row) {
                cells.clear();
                bool any = false;
                for (int column = 1; column <= textColumns; ++column) {
                    const QString &text = report.cell(row, column);
                    any = any || !text.isEmpty();
                    cells << text;
                }
                // A new row's cells are empty already.
                if (any)
                    table->setRowCells(first + row, cells);
            }
            run.rowStates(int(tab)).restore(report.check, report.target, report.states);
            break;
        }
    }
}

} // namespace veltrano
