#include "reports/ReportTable.h"

#include "reports/ReportSorter.h"
#include "reports/SortState.h"

#include <QLocale>

namespace veltrano {

namespace {

// A bounce-rate cell as a fraction: the percentage in the user's number
// format (42,5) or with a dot (42.5); anything else draws an empty bar.
// Nothing for an empty cell (a row the check did not answer) or a text
// that is not a number: neither is a bounce rate of 0 %.
QVariant percentFraction(const QString &text)
{
    if (text.isEmpty())
        return {};
    bool ok = false;
    double value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    return ok ? QVariant(value / 100.0) : QVariant();
}

} // namespace

ReportTable::ReportTable(ServiceId kind, QObject *parent)
    : QAbstractTableModel(parent), m_layout(&ReportLayout::of(kind)), m_columns(size_t(m_layout->columnCount())),
      m_textColumns(m_columns - 1), m_texts(1), m_uses(1)
{
}

quint32 ReportTable::internText(const QString &text)
{
    if (text.isEmpty())
        return 0;
    const auto found = m_idOfText.constFind(QStringView(text));
    if (found != m_idOfText.constEnd()) {
        ++m_uses[*found];
        return *found;
    }
    quint32 id;
    if (!m_freeIds.empty()) {
        id = m_freeIds.back();
        m_freeIds.pop_back();
        m_texts[id] = text;
        m_uses[id] = 1;
    } else {
        id = quint32(m_texts.size());
        m_texts.push_back(text);
        m_uses.push_back(1);
    }
    // The view points at the pooled text's own characters, which stay put
    // while the pool holds it.
    m_idOfText.insert(QStringView(m_texts[id]), id);
    return id;
}

void ReportTable::releaseText(quint32 id)
{
    if (id == 0 || --m_uses[id] > 0)
        return;
    m_idOfText.remove(QStringView(m_texts[id]));
    m_texts[id] = QString();
    m_freeIds.push_back(id);
}

void ReportTable::writeCell(size_t slot, int column, const QString &text)
{
    quint32 &cell = m_cells[slot * m_textColumns + size_t(column - 1)];
    // The new text first: it may be the pooled text this cell releases.
    const quint32 id = internText(text);
    releaseText(cell);
    cell = id;
}

quint32 ReportTable::urlHash(QStringView url)
{
    return quint32(qHash(url));
}

int ReportTable::findSlot(QStringView url) const
{
    return findSlot(url, urlHash(url));
}

int ReportTable::findSlot(QStringView url, quint32 hash) const
{
    if (m_urlBuckets.empty())
        return -1;
    const size_t mask = m_urlBuckets.size() - 1;
    for (size_t b = hash & mask;; b = (b + 1) & mask) {
        const UrlBucket &bucket = m_urlBuckets[b];
        if (bucket.slot < 0)
            return -1;
        // The stored hash spares reading the URLs of other rows.
        if (bucket.hash == hash && m_urls[size_t(bucket.slot)] == url)
            return bucket.slot;
    }
}

void ReportTable::indexSlot(int slot, quint32 hash)
{
    const size_t mask = m_urlBuckets.size() - 1;
    size_t b = hash & mask;
    while (m_urlBuckets[b].slot >= 0)
        b = (b + 1) & mask;
    m_urlBuckets[b] = {slot, hash};
}

void ReportTable::unindexSlot(int slot)
{
    const size_t mask = m_urlBuckets.size() - 1;
    size_t hole = urlHash(m_urls[size_t(slot)]) & mask;
    while (m_urlBuckets[hole].slot != slot)
        hole = (hole + 1) & mask;
    // Moves later entries of the probe run back into the hole, so that every
    // entry stays reachable from its home bucket without a marker.
    for (size_t b = (hole + 1) & mask; m_urlBuckets[b].slot >= 0; b = (b + 1) & mask) {
        const size_t home = m_urlBuckets[b].hash & mask;
        const bool homeAfterHole = hole <= b ? (home > hole && home <= b) : (home > hole || home <= b);
        if (homeAfterHole)
            continue;
        m_urlBuckets[hole] = m_urlBuckets[b];
        hole = b;
    }
    m_urlBuckets[hole] = {};
}

void ReportTable::growUrlIndex()
{
    // At most half the buckets are used, so probes stay short.
    if ((m_urls.size() + 1) * 2 <= m_urlBuckets.size())
        return;
    size_t buckets = std::max<size_t>(m_urlBuckets.size(), 16);
    while (buckets < (m_urls.size() + 1) * 2)
        buckets *= 2;
    std::vector<UrlBucket> old(buckets);
    old.swap(m_urlBuckets);
    for (const UrlBucket &bucket : old) {
        if (bucket.slot >= 0)
            indexSlot(bucket.slot, bucket.hash);
    }
}

int ReportTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_slotOfRow.size());
}

int ReportTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns);
}

bool ReportTable::validCell(int row, int column) const
{
    return row >= 0 && row < rowCount() && column >= 0 && column < int(m_columns);
}

QVariant ReportTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !validCell(index.row(), index.column()))
        return {};
    const ReportColumn &column = m_layout->columns()[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::ToolTipRole: {
        // The whole text, for a cell too narrow to show it (the view offers
        // it only when the text is cut).
        const QString text = cell(index.row(), index.column());
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
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

void ReportTable::setCaptionOverrides(const QStringList &captions)
{
    if (captions == m_captionOverrides)
        return;
    m_captionOverrides = captions;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, int(m_columns) - 1);
}

QString ReportTable::caption(int column) const
{
    if (column < 0 || column >= int(m_columns))
        return {};
    if (column < m_captionOverrides.size() && !m_captionOverrides[column].isEmpty())
        return m_captionOverrides[column];
    return m_layout->columns()[size_t(column)].caption;
}

QVariant ReportTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_columns))
        return {};
    const ReportColumn &column = m_layout->columns()[size_t(section)];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return caption(section);
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
    out.reserve(qsizetype(m_columns));
    for (size_t c = 0; c < m_columns; ++c)
        out << cell(row, int(c));
    return out;
}

void ReportTable::setCell(int row, int column, const QString &text)
{
    if (column < 1 || !validCell(row, column))
        return;
    writeCell(slotOf(row), column, text);
    const QModelIndex i = index(row, column);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
}

void ReportTable::setRowCells(int row, const QStringList &cells)
{
    if (row < 0 || row >= rowCount() || cells.isEmpty())
        return;
    const int last = std::min(int(m_columns) - 1, int(cells.size()));
    for (int c = 1; c <= last; ++c)
        writeCell(slotOf(row), c, cells[c - 1]);
    if (last >= 1)
        Q_EMIT dataChanged(index(row, 1), index(row, last), {Qt::DisplayRole});
}

void ReportTable::clearRowCells(int row)
{
    if (row < 0 || row >= rowCount() || m_columns < 2)
        return;
    quint32 *cells = m_cells.data() + slotOf(row) * m_textColumns;
    for (size_t c = 0; c < m_textColumns; ++c) {
        releaseText(cells[c]);
        cells[c] = 0;
    }
    Q_EMIT dataChanged(index(row, 1), index(row, int(m_columns) - 1), {Qt::DisplayRole});
}

int ReportTable::findUrlRow(const QString &url) const
{
    const int slot = findSlot(url);
    if (slot < 0)
        return -1;
    // A staged URL's slot is also the row it will get.
    return slot < int(m_rowOfSlot.size()) ? m_rowOfSlot[size_t(slot)] : slot;
}

bool ReportTable::stageRow(const QString &url)
{
    const quint32 hash = urlHash(url);
    if (m_locked || findSlot(url, hash) >= 0)
        return false;
    growUrlIndex();
    m_urls.push_back(url);
    indexSlot(int(m_urls.size()) - 1, hash);
    return true;
}

void ReportTable::commitStagedRows()
{
    if (!hasStagedRows())
        return;
    const int first = rowCount();
    const int added = int(m_urls.size()) - first;
    beginInsertRows({}, first, first + added - 1);
    // New rows go to the end of the display order, in new slots, with
    // empty cells.
    m_cells.resize(m_urls.size() * m_textColumns, 0);
    m_slotOfRow.reserve(m_urls.size());
    m_rowOfSlot.reserve(m_urls.size());
    for (int i = 0; i < added; ++i) {
        m_slotOfRow.push_back(first + i);
        m_rowOfSlot.push_back(first + i);
    }
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
    std::vector<QString>().swap(m_urls);
    std::vector<quint32>().swap(m_cells);
    std::vector<int>().swap(m_slotOfRow);
    std::vector<int>().swap(m_rowOfSlot);
    std::vector<QString>(1).swap(m_texts);
    std::vector<quint32>(1).swap(m_uses);
    std::vector<quint32>().swap(m_freeIds);
    m_idOfText = {};
    std::vector<UrlBucket>().swap(m_urlBuckets);
    endResetModel();
    return true;
}

bool ReportTable::deleteRow(int row)
{
    if (m_locked || hasStagedRows() || row < 0 || row >= rowCount())
        return false;
    beginRemoveRows({}, row, row);
    const int slot = m_slotOfRow[size_t(row)];
    const int lastSlot = int(m_rowOfSlot.size()) - 1;
    unindexSlot(slot);
    quint32 *cells = m_cells.data() + size_t(slot) * m_textColumns;
    for (size_t c = 0; c < m_textColumns; ++c)
        releaseText(cells[c]);
    // The last slot moves into the freed one, so storage stays dense.
    if (slot != lastSlot) {
        unindexSlot(lastSlot);
        m_urls[size_t(slot)] = std::move(m_urls[size_t(lastSlot)]);
        std::copy_n(m_cells.data() + size_t(lastSlot) * m_textColumns, m_textColumns, cells);
        indexSlot(slot, urlHash(m_urls[size_t(slot)]));
        const int movedRow = m_rowOfSlot[size_t(lastSlot)];
        m_slotOfRow[size_t(movedRow)] = slot;
        m_rowOfSlot[size_t(slot)] = movedRow;
    }
    m_urls.pop_back();
    m_cells.resize(m_cells.size() - m_textColumns);
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
    if (int(order.size()) != rows || rows == 0 || hasStagedRows())
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
    if (m_locked || column < 0 || column >= int(m_columns))
        return;
    applyOrder(ReportSorter::sortedOrder(*this, column, order == Qt::AscendingOrder));
}

bool ReportTable::sortByHeaderClick(SortState &state, int column)
{
    if (m_locked || column < 0 || column >= int(m_columns))
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
