#pragma once

#include "net/GoogleError.h"

#include <QString>

namespace veltrano {

class CheckContext;
class ReportTable;

// How a page-by-page check of a Google API (Search Console, Analytics) takes
// a refused row. A refusal of the token (401) or of the quota (429) ends the
// whole check, since every later row would get the same answer; any other
// refusal concerns that page only: it is logged with the row's place, the
// row's cells are emptied (never an earlier check's figures), and the run
// goes on.
class GoogleRowRefusal final {
public:
    // service: the name the log lines start with, "Google Analytics".
    explicit GoogleRowRefusal(QString service) : m_service(std::move(service)) {}

    // "<service> Error - Code: 403, <message>"
    QString line(const GoogleError &error) const;
    static bool endsCheck(const GoogleError &error);

    // Logs the refusal of row (0-based) of rows: ends the check by throwing
    // VeltranoError with line(error), or logs line(error) + " (i/n)" and
    // empties the row.
    void handle(CheckContext &context, ReportTable &table, int row, int rows, const GoogleError &error) const;

private:
    QString m_service;
};

} // namespace veltrano
