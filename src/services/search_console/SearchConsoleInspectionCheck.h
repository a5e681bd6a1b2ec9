#pragma once

#include "services/search_console/SearchConsoleCheck.h"

namespace veltrano {

class JsonValue;

// "URL Inspection API": what Google's index holds of each page, from
// "inspectionResult"."indexStatusResult" of the URL Inspection answer:
//   Coverage State    "coverageState", as Google words it
//   Robots.txt State  "robotsTxtState" ("ALLOWED", "DISALLOWED", ...)
//   Indexing State    "indexingState" ("INDEXING_ALLOWED", ...)
//   Last Crawl        the day of "lastCrawlTime", the text before its "T"
// The performance cells are left empty. A member Google leaves out (a page
// never crawled has no lastCrawlTime) leaves its cell empty and logs one
// "Get Object Data" line for the row; the members it sent are shown. An
// answer without "inspectionResult" is a failed row.
class SearchConsoleInspectionCheck final : public SearchConsoleCheck {
public:
    explicit SearchConsoleInspectionCheck(GoogleApiClient &client) : SearchConsoleCheck(client) {}

    // The nine cells for an answer that has an "inspectionResult" object;
    // *complete is false when part of the result was missing.
    static QStringList inspectionCells(const JsonValue &inspectionResult, bool *complete);
    // "2022-03-04" of "2022-03-04T05:06:07Z"; empty without a "T".
    static QString crawlDay(const QString &lastCrawlTime);

protected:
    RequestLimits requestLimits() const override;
    std::function<ExchangeResult()> request(const QString &token, const SearchConsoleProperty &property,
                           const QString &pageUrl) override;
    RowCells readRow(const ExchangeResult &answer, const JsonDocument &doc) const override;
};

} // namespace veltrano
