#include "reports/ReportTable.h"

#include "reports/ReportSorter.h"
#include "reports/SortState.h"

#include <QLocale>

namespace veltrano {

namespace {

// A bounce-rate cell as a fraction: the percentage in the user's number
// format (42,5) or with a dot (42.5); anything else draws an empty bar.
double percentFraction(const QString &text)
{
    if (text.isEmpty())
        return 0.0;
    bool ok = false;
    double value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    return ok ? value / 100.0 : 0.0;
}

} // namespace

ReportTable::ReportTable(ServiceId kind, QObject *parent)
    : QAbstractTableModel(parent), m_layout(&ReportLayout::of(kind)), m_stride(size_t(m_layout->columnCount()))
{
}

int ReportTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_slotOfRow.size());
}

int ReportTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_stride);
}

bool ReportTable::validCell(int row, int column) const
{
    return row >= 0 && row < rowCount() && column >= 0 && column < int(m_stride);
}

QVariant ReportTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !validCell(index.row(), index.column()))
        return {};
    const ReportColumn &column = m_layout->columns()[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int(column.alignment);
    case CellDrawingRole:
        return int(column.drawing);
    case PercentFractionRole:
        if (column.drawing == CellDrawing::PercentBar)
            return percentFraction(cell(index.row(), index.column()));
        return {};
    default:
        return {};
    }
}

QVariant ReportTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_stride))
        return {};
    const ReportColumn &column = m_layout->columns()[size_t(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.caption;
    case Qt::TextAlignmentRole:
        return int(column.alignment);
    case ColumnWidthRole:
        return column.width;
    case CellDrawingRole:
        return int(column.drawing);
    default:
        return {};
    }
}

Qt::ItemFlags ReportTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QStringList ReportTable::rowTexts(int row) const
{
    QStringList out;
    if (row < 0 || row >= rowCount())
        return out;
    out.reserve(qsizetype(m_stride));
    for (size_t c = 0; c < m_stride; ++c)
        out << m_cells[slotStart(row) + c];
    return out;
}

void ReportTable::setCell(int row, int column, const QString &text)
{
    if (column < 1 || !validCell(row, column))
        return;
    m_cells[slotStart(row) + size_t(column)] = text;
    const QModelIndex i = index(row, column);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
}

void ReportTable::setRowCells(int row, const QStringList &cells)
{
    if (row < 0 || row >= rowCount() || cells.isEmpty())
        return;
    const int last = std::min(int(m_stride) - 1, int(cells.size()));
    for (int c = 1; c <= last; ++c)
        m_cells[slotStart(row) + size_t(c)] = cells[c - 1];
    if (last >= 1)
        Q_EMIT dataChanged(index(row, 1), index(row, last), {Qt::DisplayRole});
}

void ReportTable::clearRowCells(int row)
{
    if (row < 0 || row >= rowCount() || m_stride < 2)
        return;
    for (size_t c = 1; c < m_stride; ++c)
        m_cells[slotStart(row) + c].clear();
    Q_EMIT dataChanged(index(row, 1), index(row, int(m_stride) - 1), {Qt::DisplayRole});
}

int ReportTable::findUrlRow(const QString &url) const
{
    const int slot = m_slotOfUrl.value(url, -1);
    if (slot < 0)
        return -1;
    // A staged URL's slot is also the row it will get.
    return slot < int(m_rowOfSlot.size()) ? m_rowOfSlot[size_t(slot)] : slot;
}

bool ReportTable::stageRow(const QString &url)
{
    if (m_locked || m_slotOfUrl.contains(url))
        return false;
    m_slotOfUrl.insert(url, rowCountWithStaged());
    m_staged.push_back(url);
    return true;
}

void ReportTable::commitStagedRows()
{
    if (m_staged.empty())
        return;
    const int first = rowCount();
    const int added = int(m_staged.size());
    beginInsertRows({}, first, first + added - 1);
    m_cells.reserve(m_cells.size() + m_staged.size() * m_stride);
    m_slotOfRow.reserve(m_slotOfRow.size() + m_staged.size());
    m_rowOfSlot.reserve(m_rowOfSlot.size() + m_staged.size());
    for (QString &url : m_staged) {
        m_cells.push_back(std::move(url));
        m_cells.resize(m_cells.size() + m_stride - 1);
    }
    // New rows go to the end of the display order, in new slots.
    for (int i = 0; i < added; ++i) {
        m_slotOfRow.push_back(first + i);
        m_rowOfSlot.push_back(first + i);
    }
    m_staged.clear();
    m_staged.shrink_to_fit();
    endInsertRows();
}

int ReportTable::appendRows(const QStringList &urls)
{
    int added = 0;
    for (const QString &url : urls)
        added += stageRow(url) ? 1 : 0;
    commitStagedRows();
    return added;
}

bool ReportTable::clear()
{
    if (m_locked)
        return false;
    beginResetModel();
    std::vector<QString>().swap(m_cells);
    std::vector<QString>().swap(m_staged);
    std::vector<int>().swap(m_slotOfRow);
    std::vector<int>().swap(m_rowOfSlot);
    m_slotOfUrl = {};
    endResetModel();
    return true;
}

bool ReportTable::deleteRow(int row)
{
    if (m_locked || !m_staged.empty() || row < 0 || row >= rowCount())
        return false;
    beginRemoveRows({}, row, row);
    const int slot = m_slotOfRow[size_t(row)];
    const int lastSlot = int(m_rowOfSlot.size()) - 1;
    const auto slotBegin = [this](int s) { return m_cells.begin() + std::ptrdiff_t(size_t(s) * m_stride); };
    m_slotOfUrl.remove(m_cells[size_t(slot) * m_stride]);
    // The last slot moves into the freed one, so storage stays dense.
    if (slot != lastSlot) {
        std::move(slotBegin(lastSlot), slotBegin(lastSlot) + std::ptrdiff_t(m_stride), slotBegin(slot));
        m_slotOfUrl[m_cells[size_t(slot) * m_stride]] = slot;
        const int movedRow = m_rowOfSlot[size_t(lastSlot)];
        m_slotOfRow[size_t(movedRow)] = slot;
        m_rowOfSlot[size_t(slot)] = movedRow;
    }
    m_cells.erase(slotBegin(lastSlot), m_cells.end());
    m_rowOfSlot.pop_back();
    m_slotOfRow.erase(m_slotOfRow.begin() + row);
    for (size_t r = size_t(row); r < m_slotOfRow.size(); ++r)
        m_rowOfSlot[size_t(m_slotOfRow[r])] = int(r);
    endRemoveRows();
    return true;
}

void ReportTable::applyOrder(const std::vector<int> &order)
{
    const int rows = rowCount();
    if (int(order.size()) != rows || rows == 0 || !m_staged.empty())
        return;

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();

    std::vector<int> slotsInOrder(static_cast<size_t>(rows));
    for (int to = 0; to < rows; ++to)
        slotsInOrder[size_t(to)] = m_slotOfRow[size_t(order[size_t(to)])];
    m_slotOfRow.swap(slotsInOrder);
    for (int r = 0; r < rows; ++r)
        m_rowOfSlot[size_t(m_slotOfRow[size_t(r)])] = r;

    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &i : before) {
        const int slot = slotsInOrder[size_t(i.row())]; // now the old order
        after << index(m_rowOfSlot[size_t(slot)], i.column());
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReportTable::sort(int column, Qt::SortOrder order)
{
    if (m_locked || column < 0 || column >= int(m_stride))
        return;
    applyOrder(ReportSorter::sortedOrder(*this, column, order == Qt::AscendingOrder));
}

bool ReportTable::sortByHeaderClick(SortState &state, int column)
{
    if (m_locked || column < 0 || column >= int(m_stride))
        return false;
    const bool ascending = state.headerClicked(column);
    sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    return true;
}

void ReportTable::setLocked(bool locked)
{
    if (m_locked == locked)
        return;
    m_locked = locked;
    Q_EMIT lockedChanged(locked);
}

} // namespace veltrano
