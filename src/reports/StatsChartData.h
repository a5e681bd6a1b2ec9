#pragma once

#include "reports/ReportLayout.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace veltrano {

class ReportTable;

// The two slices of the statistics pie under the right-hand buttons, worked
// out from one report table by its service's chart rule. Indexation mode
// counts indexed against not indexed rows; traffic mode counts pages with
// more than 5 visits or users against the rest. Percentages are of all rows of the table, rounded
// to the nearest whole number, halves to even.
struct StatsChartData {
    static constexpr quint32 FirstSliceColour = 0x0CCF6D;  // green
    static constexpr quint32 SecondSliceColour = 0xF85040; // red

    bool trafficMode = false;
    std::array<int, 2> values{};
    std::array<QString, 2> labels;

    // UpdateStatsChart's arithmetic under a rule: the service's own, or the
    // one its last check left (the Search Console table counts "Indexed"
    // after "Check GSC" and "Indexing State" after URL Inspection).
    static StatsChartData compute(const ReportTable &table, const ChartRule &rule);
    // The same under the service's own rule.
    static StatsChartData compute(const ReportTable &table);

    // "URL Indexation Stats" or "Page Visit Stats".
    static QString titleFor(ServiceId kind);
    // round(count / total * 100), halves to the even neighbour; 0 for an
    // empty table.
    static int roundedPercent(int count, int total);
    // A traffic cell as a number: optional sign, digits, and optionally a
    // decimal mark ("." or the locale's) with more digits.
    static std::optional<double> decimalNumber(QStringView text);
};

} // namespace veltrano
