#pragma once

#include "app/RowRunStates.h"

#include <QHash>
#include <QString>

#include <vector>

namespace veltrano {

class ReportTable;
class RunControl;

// One report table as it is kept across a restart: its rows with their
// cells, what the last run of its check made of each row, and what that
// check used (the site, account and period as the line above the report
// named them).
//
// Cells are numbers into a list of texts, as the table itself keeps them:
// a "Yes" or a date shared by 50 000 rows is held once.
struct SavedReport {
    QString name;    // the report table's name ("ListView4" ...)
    int columns = 0; // the URL and every further column
    std::vector<QString> urls;
    // Row r holds cells[r * (columns - 1) .. + columns - 1): numbers into
    // texts for columns 1 and up. Number 0 is the empty text.
    std::vector<quint32> cells;
    std::vector<QString> texts;
    QString check;
    QString target;
    QHash<QString, RowRunStates::State> states; // by URL, rows with a state only

    int rowCount() const { return int(urls.size()); }
    const QString &cell(int row, int column) const
    {
        return column == 0 ? urls[size_t(row)] : texts[cells[size_t(row) * size_t(columns - 1) + size_t(column - 1)]];
    }
};

// The URL lists and reports of every report tab, with their row states.
struct SavedState {
    std::vector<SavedReport> reports; // only tables with rows or states

    bool isEmpty() const { return reports.empty(); }

    // A copy of the tables (by tab, from 0) and the row states the run frame
    // keeps for them, taken on the thread that owns them. It shares the
    // texts with the tables, so it costs little and stays valid while they
    // change.
    static SavedState capture(const std::vector<ReportTable *> &tables, const RunControl &run);
    // Puts the state into empty, unlocked tables and their row states. The
    // state must have been read whole (SavedStateFile::decode), so every
    // report fits its table.
    void applyTo(const std::vector<ReportTable *> &tables, RunControl &run) const;
};

} // namespace veltrano
