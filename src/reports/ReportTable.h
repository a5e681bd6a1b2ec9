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
// Cells are kept compactly: a cell is the number of its text in the
// table's text pool, where equal texts ("Yes", "200", a date) are held
// once and shared; an empty cell is number 0 and holds nothing. The URL
// index is a set of slots found through the URLs themselves, so it keeps
// no copy of them.
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
        // Cells of a percent-bar column: the cell's value / 100 (double);
        // nothing for an empty cell or a text that is not a number.
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

    const QString &url(int row) const { return m_urls[slotOf(row)]; }
    // Column 0 is the URL. The reference stays valid until the table is
    // next changed.
    const QString &cell(int row, int column) const
    {
        return column == 0 ? url(row) : m_texts[m_cells[slotOf(row) * m_textColumns + size_t(column - 1)]];
    }
    QStringList rowTexts(int row) const;

    // The number of a cell's text in the pool (columns 1 and up): cells with
    // equal texts have equal numbers, an empty cell has 0. Numbers are below
    // textPoolSize(); the sort ranks each distinct text once through them.
    quint32 cellTextId(int row, int column) const { return m_cells[slotOf(row) * m_textColumns + size_t(column - 1)]; }
    size_t textPoolSize() const { return m_texts.size(); }

    // Writes one cell (column 1 and up; the URL never changes).
    void setCell(int row, int column, const QString &text);
    // Writes cells 1.. of a row at once; missing texts leave their cells alone.
    void setRowCells(int row, const QStringList &cells);
    // Empties cells 1.. of a row: a failed row never shows an earlier check's figures.
    void clearRowCells(int row);

    // FindURLRow: the row holding exactly this URL, or -1. A staged URL
    // counts as the row it will become.
    int findUrlRow(const QString &url) const;
    bool containsUrl(const QString &url) const { return findSlot(url) >= 0; }

    // Rows committed plus rows staged: what the import limit is tested on.
    int rowCountWithStaged() const { return int(m_urls.size()); }
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

    // Captions that replace the layout's for this table (an API version that
    // fills a column with another figure names it so); an empty text keeps
    // the layout's caption, an empty list restores them all. The view's
    // header and the CSV header both read caption().
    void setCaptionOverrides(const QStringList &captions);
    QString caption(int column) const;

    bool isLocked() const { return m_locked; }
    void setLocked(bool locked);

    int checkRowCount() const override { return rowCount(); }
    void setCheckRunning(bool running) override { setLocked(running); }

Q_SIGNALS:
    void lockedChanged(bool locked);

private:
    bool validCell(int row, int column) const;
    size_t slotOf(int row) const { return size_t(m_slotOfRow[size_t(row)]); }
    bool hasStagedRows() const { return m_urls.size() > m_slotOfRow.size(); }

    // The text pool: internText() returns the number of a text (0 for an
    // empty one) and counts one more use of it; releaseText() counts one
    // less and frees the text after its last use.
    quint32 internText(const QString &text);
    void releaseText(quint32 id);
    void writeCell(size_t slot, int column, const QString &text);

    // The URL index: open addressing over slots, probed linearly; each
    // bucket keeps its URL's hash, so growing never reads the URLs again.
    struct UrlBucket {
        int slot = -1; // -1: empty
        quint32 hash = 0;
    };
    static quint32 urlHash(QStringView url);
    int findSlot(QStringView url) const;
    int findSlot(QStringView url, quint32 hash) const;
    void indexSlot(int slot, quint32 hash);
    void unindexSlot(int slot);
    // Makes room for one more URL.
    void growUrlIndex();

    const ReportLayout *m_layout;
    size_t m_columns;
    size_t m_textColumns; // every column but the URL
    // The URL of slot s; staged URLs follow the committed ones and already
    // have the slot they will get.
    std::vector<QString> m_urls;
    // Slot s holds m_cells[s * m_textColumns .. + m_textColumns): the pool
    // numbers of its cells 1...
    std::vector<quint32> m_cells;
    std::vector<int> m_slotOfRow;           // display order
    std::vector<int> m_rowOfSlot;           // its inverse
    std::vector<QString> m_texts;           // pool: number -> text; 0 is the empty text
    std::vector<quint32> m_uses;            // cells using each text
    std::vector<quint32> m_freeIds;         // numbers free for reuse
    QHash<QStringView, quint32> m_idOfText; // views into m_texts
    std::vector<UrlBucket> m_urlBuckets;
    bool m_locked = false;
    QStringList m_captionOverrides;
};

} // namespace veltrano
