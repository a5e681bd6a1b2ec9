#pragma once

#include "services/search_console/SearchConsoleCheck.h"

namespace veltrano {

class JsonValue;
class ReportingPeriod;

// "Check GSC": the search performance of each page over the period of the
// Google pickers, from the page's rows by search query:
//   Indexed      "Yes" when Google answered rows (even none), "No" when the
//                answer has no "rows" member (no data for the page)
//   Clicks       the clicks of all rows added up
//   Impressions  the impressions of all rows added up
//   CTR          clicks / impressions, "%0.2f" (0.03 for 3 %)
//   Avg Position the rows' positions averaged by their impressions, "%0.0f"
// so the figures are the page's, not those of one of its queries. Without
// impressions CTR is 0.00 and the position 0. A row element that cannot be
// read (not an object, clicks or impressions not whole numbers, no
// position) counts for nothing and logs "Get Object Data". The inspection
// cells are left empty. The days are read for each request, so a period
// changed during the run applies from the next page on.
class SearchConsolePerformanceCheck final : public SearchConsoleCheck {
public:
    SearchConsolePerformanceCheck(GoogleApiClient &client, const ReportingPeriod &period);

    // The nine cells for a Search Analytics answer (a JSON object); the
    // number of elements of "rows" that could not be read goes to
    // *unreadable. Nothing when "rows" is there but is not a list.
    static std::optional<QStringList> pageCells(const JsonValue &answer, int *unreadable);

protected:
    RequestLimits requestLimits() const override;
    std::function<ExchangeResult()> request(const QString &token, const SearchConsoleProperty &property,
                           const QString &pageUrl) override;
    RowCells readRow(const ExchangeResult &answer, const JsonDocument &doc) const override;

private:
    const ReportingPeriod &m_period;
};

} // namespace veltrano
