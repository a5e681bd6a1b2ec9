#pragma once

#include "reports/ReportLayout.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace veltrano {

class ReportTable;

// The comparisons a report table sorts with, and the stable ordering of its
// rows by one column. Keys are computed once per sort (numbers parsed,
// locale texts ranked), so the sort itself compares integers or URLs.
class ReportSorter final {
public:
    // The new display order: element i is the current row that goes to
    // position i. Rows that compare equal keep their current order, in
    // either direction.
    static std::vector<int> sortedOrder(const ReportTable &table, int column, bool ascending);

    // URL comparison: ordinal by UTF-16 code unit with only a-z folded to
    // upper case; a prefix goes before the longer text. <0, 0 or >0.
    static int compareUrls(QStringView a, QStringView b);
    // The same, for texts known to agree (after folding) before `start`.
    static int compareUrlsFrom(QStringView a, QStringView b, qsizetype start);

    // A cell as a whole number: an optional sign and decimal digits and
    // nothing else. Any other text (empty, 12.5, "1 000", a number beyond
    // 64 bits) counts as 0.
    static qint64 wholeNumber(QStringView text);

    // Ranks texts by the user's locale collation, case-insensitive, digits
    // compared as characters: equal ranks for texts that collate equal.
    static std::vector<int> localeTextRanks(const std::vector<QStringView> &texts);
};

} // namespace veltrano
