#pragma once

#include <QString>
#include <Qt>

#include <vector>

namespace veltrano {

// The five report tables, in the order of their tabs on the "URLs List" page.
enum class ReportKind {
    YandexWebmaster = 0, // ListView4
    YandexMetrika = 1,   // ListView5
    SearchConsole = 2,   // ListView6
    Analytics = 3,       // ListView7
    Ahrefs = 4,          // ListView11
};

// How a header click orders a column.
enum class SortRule {
    Url,         // ordinal, ASCII letters folded to upper case
    LocaleText,  // the user's locale collation, case-insensitive
    WholeNumber, // the cell read as a whole number, anything else counts as 0
    CellText,    // no rule of its own: sorted like LocaleText
};

// How the view draws a column's cells.
enum class CellDrawing {
    Plain,
    StatusBadge, // an "Indexed" column: "Yes" is a filled badge
    PercentBar,  // a bounce rate: a bar filled to the cell's percentage
};

struct ReportColumn {
    QString caption;
    Qt::Alignment alignment;
    int width; // pixels
    SortRule sortRule;
    CellDrawing drawing;
};

// The fixed shape of one report table: its name, service, columns.
class ReportLayout final {
public:
    static constexpr int KindCount = 5;
    static const ReportLayout &of(ReportKind kind);
    // The layout of a report tab (0-4); nullptr for any other number.
    static const ReportLayout *ofTab(int tab);

    ReportKind kind() const { return m_kind; }
    int tab() const { return int(m_kind); }
    // The list view's name ("ListView4" ...); the chart picks its rule by it.
    const QString &name() const { return m_name; }
    // Service code 1-5.
    int tag() const { return int(m_kind) + 1; }
    const QString &serviceLabel() const { return m_serviceLabel; }
    bool multiSelect() const { return m_kind == ReportKind::SearchConsole; }
    const std::vector<ReportColumn> &columns() const { return m_columns; }
    int columnCount() const { return int(m_columns.size()); }

    // The service label for a tag (1-5); empty for any other tag.
    static QString serviceLabelForTag(int tag);
    // UpdateTabCaption: the label, followed by " (count)" unless the table
    // is empty.
    static QString tabCaption(int tag, int rowCount);

private:
    ReportLayout(ReportKind kind, QString name, QString serviceLabel, std::vector<ReportColumn> columns);

    ReportKind m_kind;
    QString m_name;
    QString m_serviceLabel;
    std::vector<ReportColumn> m_columns;
};

} // namespace veltrano
