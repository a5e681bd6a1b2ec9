#include "reports/KeywordTable.h"

#include "reports/CsvWriter.h"

namespace veltrano {

KeywordTable::KeywordTable(std::vector<KeywordColumn> columns, QObject *parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns))
{
}

QStringList KeywordTable::captions() const
{
    QStringList captions;
    captions.reserve(qsizetype(m_columns.size()));
    for (const KeywordColumn &column : m_columns)
        captions << column.caption;
    return captions;
}

void KeywordTable::setRows(std::vector<QStringList> rows)
{
    const qsizetype columns = qsizetype(m_columns.size());
    for (QStringList &row : rows) {
        if (row.size() > columns)
            row.resize(columns);
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QStringList KeywordTable::rowTexts(int row) const
{
    return row >= 0 && size_t(row) < m_rows.size() ? m_rows[size_t(row)] : QStringList();
}

int KeywordTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int KeywordTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant KeywordTable::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return m_rows[size_t(index.row())].value(index.column());
    case Qt::TextAlignmentRole:
        return int(m_columns[size_t(index.column())].alignment);
    default:
        return {};
    }
}

QVariant KeywordTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || size_t(section) >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return m_columns[size_t(section)].caption;
    case Qt::TextAlignmentRole:
        return int(m_columns[size_t(section)].alignment);
    default:
        return {};
    }
}

Qt::ItemFlags KeywordTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void KeywordTable::writeCsv(CsvWriter &csv) const
{
    writeCsv(csv, captions(), m_rows);
}

void KeywordTable::writeCsv(CsvWriter &csv, const QStringList &captions, const std::vector<QStringList> &rows)
{
    QStringList header = captions;
    header << QString(); // every caption is followed by ";"
    csv.writeRow(header);
    for (const QStringList &row : rows) {
        if (!csv.ok())
            break;
        csv.writeRow(row);
    }
}

} // namespace veltrano
