#pragma once

#include <QString>

#include <functional>

namespace veltrano {

class CheckContext;

// What one answer of a whole site's page report gave.
struct SiteReportPart {
    int rows = 0;          // page rows in the answer
    int added = 0;         // pages new to the figures
    int repeats = 0;       // pages already listed (the same page in another spelling)
    int unreadable = 0;    // rows without a page or its numbers
    qint64 totalRows = -1; // the whole report's rows as the answer says; -1 when it does not
};

// Reads a whole site's page report to its end, one request per part: Search
// Analytics by startRow, Analytics v3 by start-index, Analytics 4 by offset.
// The service's reader sends one request, adds the answer's pages to the
// figures and says what it found; a refusal it raises as VeltranoError ends
// the reading. Between parts a click on "Cancel" stops it.
//
// A report ends with a part shorter than asked for or at the row count it
// gives. One that brings no new page in a full part (a report that would
// never end, the same pages at every offset) or goes on past maxRequests is
// stopped with a message, and the check fills its rows from what was read.
class SiteReportPager final {
public:
    struct Report {
        QString service;     // "Google Analytics", the start of its log lines
        QString owner;       // whose report: "https://example.com/", "the view"
        qint64 firstRow = 0; // the offset of the report's first row (1 for start-index)
        int rowsPerPart = 0; // page rows one request asks for
        int maxRequests = 0; // more than any real site needs
    };
    // One part of the report, from the row at this offset.
    using ReadPart = std::function<SiteReportPart(qint64 offset)>;

    explicit SiteReportPager(Report report) : m_report(std::move(report)) {}

    // Reads every part; false when the user cancelled (the cancel line is
    // logged). A part's skipped rows get one log line each; a reading stopped
    // early logs why.
    bool readAll(CheckContext &context, const ReadPart &readPart);

    int requests() const { return m_requests; }
    // Why the reading stopped before the report's end; empty when it ended.
    const QString &stopped() const { return m_stopped; }

    // The check's last log line, "Google Analytics: 120 pages in the view's
    // report (1 requests), 5 of 6 rows matched", and the message of a reading
    // stopped early.
    static void logEnd(CheckContext &context, const QString &service, const QString &reportName, int pages,
                       int requests, int matched, int rows, const QString &stopped);

private:
    Report m_report;
    int m_requests = 0;
    QString m_stopped;
};

} // namespace veltrano
