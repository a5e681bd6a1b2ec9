#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <vector>

namespace veltrano {

class CsvWriter;

// One column of a keyword list: its caption, how its texts line up, and how
// wide the list draws it. Written as, for example,
//   KeywordColumn::left("Query").stretching()
//   KeywordColumn::right("Users").fixedAt(70)
struct KeywordColumn {
    enum class Width {
        FitText, // as wide as the caption or widestText needs, whichever is wider
        Fixed,   // `pixels` wide
        Stretch, // shares what the other columns leave of the list's width
    };

    QString caption;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    Width width = Width::FitText;
    int pixels = 0;
    QString widestText;

    // Texts, and numbers where the service gives them as they are.
    static KeywordColumn left(const QString &caption) { return aligned(caption, Qt::AlignLeft); }
    // Figures, lined up on their last digit.
    static KeywordColumn right(const QString &caption) { return aligned(caption, Qt::AlignRight); }

    KeywordColumn fixedAt(int width) const { return with(Width::Fixed, width, {}); }
    KeywordColumn stretching() const { return with(Width::Stretch, 0, {}); }
    KeywordColumn fitting(const QString &text) const { return with(Width::FitText, 0, text); }

private:
    static KeywordColumn aligned(const QString &caption, Qt::Alignment side)
    {
        KeywordColumn column;
        column.caption = caption;
        column.alignment = side | Qt::AlignVCenter;
        return column;
    }
    KeywordColumn with(Width sizing, int width, const QString &text) const
    {
        KeywordColumn column = *this;
        column.width = sizing;
        column.pixels = width;
        column.widestText = text;
        return column;
    }
};

// The rows of a keyword window (the search queries of a site with their
// figures), read-only, in the order the service gave them. Each row is the
// texts of its cells in column order; a row the service gave fewer figures
// for keeps only those, and texts beyond the last column are dropped.
class KeywordTable final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit KeywordTable(std::vector<KeywordColumn> columns, QObject *parent = nullptr);

    const std::vector<KeywordColumn> &columns() const { return m_columns; }
    QStringList captions() const;

    // Replaces every row at once: views see one reset, not a change per row.
    void setRows(std::vector<QStringList> rows);
    const std::vector<QStringList> &rows() const { return m_rows; }
    // The texts of a row; nothing for a row that does not exist.
    QStringList rowTexts(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The list as a keyword CSV file: first every caption, each followed by
    // ";" (so the line ends with one), then one line per row, its texts
    // joined by ";".
    void writeCsv(CsvWriter &csv) const;
    static void writeCsv(CsvWriter &csv, const QStringList &captions, const std::vector<QStringList> &rows);

private:
    std::vector<KeywordColumn> m_columns;
    std::vector<QStringList> m_rows;
};

} // namespace veltrano
