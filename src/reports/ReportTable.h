#pragma once

#include "app/CheckTarget.h"
#include "reports/ReportLayout.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace veltrano {

class SortState;

// One report table: rows of texts, the URL in column 0 and one cell per
// further column, every row always holding all its cells. Rows are in
// display order. URLs are unique in a table (exact, case-sensitive); an
// index of them makes the duplicate test O(1) and stays right across
// deletes and sorts.
//
// The texts of a row stay in one storage slot for the row's life; the
// display order is a list of slots. A sort only reorders that list, and
// the URL index, which points at slots, needs no change.
//
// Rows are added in batches: an import stages its URLs one by one (the
// duplicate test sees the staged ones too) and commits them at its end
// with a single row insertion, so the view updates once per import.
//
// While a check walks the table it is locked: clear, stage, delete and
// sort refuse; only cells can be written.
class ReportTable final : public QAbstractTableModel, public CheckTarget {
    Q_OBJECT
public:
    static constexpr int RowLimit = 50000;

    enum Role {
        // Header: the column's width in pixels (int).
        ColumnWidthRole = Qt::UserRole + 1,
        // Header and cells: the column's CellDrawing (int).
        CellDrawingRole,
        // Cells of a percent-bar column: the cell's value / 100 (double),
        // 0 for an empty cell or a text that is not a number.
        PercentFractionRole,
    };

    explicit ReportTable(ServiceId kind, QObject *parent = nullptr);

    const ReportLayout &layout() const { return *m_layout; }
    ServiceId service() const { return m_layout->service(); }
    const QString &name() const { return m_layout->name(); }
    int tag() const { return m_layout->tag(); }
    const QString &serviceLabel() const { return m_layout->serviceLabel(); }
    // The caption of the table's tab for its current row count.
    QString tabCaption() const { return ReportLayout::tabCaption(tag(), rowCount()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Orders the rows by the column's comparison (stable). Nothing happens
    // while the table is locked.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // A header click: updates the shared sort state and sorts. Returns false
    // (and leaves the state alone) while the table is locked.
    bool sortByHeaderClick(SortState &state, int column);

    const QString &url(int row) const { return m_cells[slotStart(row)]; }
    // Column 0 is the URL.
    const QString &cell(int row, int column) const { return m_cells[slotStart(row) + size_t(column)]; }
    QStringList rowTexts(int row) const;

    // Writes one cell (column 1 and up; the URL never changes).
    void setCell(int row, int column, const QString &text);
    // Writes cells 1.. of a row at once; missing texts leave their cells alone.
    void setRowCells(int row, const QStringList &cells);
    // Empties cells 1.. of a row: a failed row never shows an earlier check's figures.
    void clearRowCells(int row);

    // FindURLRow: the row holding exactly this URL, or -1. A staged URL
    // counts as the row it will become.
    int findUrlRow(const QString &url) const;
    bool containsUrl(const QString &url) const { return m_slotOfUrl.contains(url); }

    // Rows committed plus rows staged: what the import limit is tested on.
    int rowCountWithStaged() const { return rowCount() + int(m_staged.size()); }
    // Stages a new row with empty cells. Refused (false) for a URL already
    // in the table or staged, and while locked.
    bool stageRow(const QString &url);
    // Shows the staged rows: one row insertion for all of them.
    void commitStagedRows();
    // Stages and commits; returns the number of rows added.
    int appendRows(const QStringList &urls);

    // Removes every row. Refused while locked.
    bool clear();
    // Removes one row. Refused while locked, while rows are staged, or for a
    // row that does not exist.
    bool deleteRow(int row);

    // Reorders the rows: row i becomes the row that was at order[i]; order
    // must be a permutation of the rows. Selections follow their rows.
    // Ignored while rows are staged.
    void applyOrder(const std::vector<int> &order);

    bool isLocked() const { return m_locked; }
    void setLocked(bool locked);

    int checkRowCount() const override { return rowCount(); }
    void setCheckRunning(bool running) override { setLocked(running); }

Q_SIGNALS:
    void lockedChanged(bool locked);

private:
    bool validCell(int row, int column) const;
    size_t slotStart(int row) const { return size_t(m_slotOfRow[size_t(row)]) * m_stride; }

    const ReportLayout *m_layout;
    size_t m_stride;
    // Slot s holds m_cells[s * m_stride .. s * m_stride + m_stride): one flat
    // array keeps the per-row cost to the texts themselves.
    std::vector<QString> m_cells;
    std::vector<int> m_slotOfRow; // display order
    std::vector<int> m_rowOfSlot; // its inverse
    std::vector<QString> m_staged;
    // Staged URLs point past the last slot, at the slot they will get.
    QHash<QString, int> m_slotOfUrl;
    bool m_locked = false;
};

} // namespace veltrano
