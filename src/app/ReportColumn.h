#pragma once

#include <QString>
#include <Qt>

namespace veltrano {

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

// One column of a report table.
struct ReportColumn {
    QString caption;
    Qt::Alignment alignment;
    int width; // pixels
    SortRule sortRule;
    CellDrawing drawing;
};

} // namespace veltrano
