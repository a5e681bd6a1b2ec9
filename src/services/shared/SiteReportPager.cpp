#include "services/shared/SiteReportPager.h"

#include "app/CheckContext.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"

namespace veltrano {

bool SiteReportPager::readAll(CheckContext &context, const ReadPart &readPart)
{
    qint64 offset = m_report.firstRow;
    int pages = 0;
    while (true) {
        if (context.processEventsAndTestCancel()) {
            context.logCancelled();
            return false;
        }
        const SiteReportPart part = readPart(offset);
        ++m_requests;
        pages += part.added;
        if (part.unreadable > 0)
            context.addToLog(QStringLiteral("%1: %2 page rows of the report could not be read and were skipped")
                                 .arg(m_report.service)
                                 .arg(part.unreadable));
        if (part.repeats > 0)
            context.addToLog(QStringLiteral("%1: %2 page rows repeat a page already listed and were skipped")
                                 .arg(m_report.service)
                                 .arg(part.repeats));
        const qint64 next = offset + part.rows;
        const qint64 end = part.totalRows >= 0 ? m_report.firstRow + part.totalRows : -1;
        if (part.rows < m_report.rowsPerPart || (end >= 0 && next >= end))
            break; // the last part of the report
        if (part.added == 0) {
            m_stopped = QStringLiteral("The page report of %1 brought no new page at row %2; reading it was "
                                       "stopped there and the rows were filled from the %3 pages read.")
                            .arg(m_report.owner)
                            .arg(offset - m_report.firstRow + 1)
                            .arg(pages);
            break;
        }
        if (m_requests >= m_report.maxRequests) {
            m_stopped = QStringLiteral("The page report of %1 did not end after %2 requests; the rows were "
                                       "filled from the %3 pages read.")
                            .arg(m_report.owner)
                            .arg(m_requests)
                            .arg(pages);
            break;
        }
        offset = next;
    }
    if (!m_stopped.isEmpty())
        context.addToLog(m_stopped);
    return true;
}

void SiteReportPager::logEnd(CheckContext &context, const QString &service, const QString &reportName, int pages,
                             int requests, int matched, int rows, const QString &stopped)
{
    context.addToLog(QStringLiteral("%1: %2 pages in %3 (%4 requests), %5 of %6 rows matched")
                         .arg(service)
                         .arg(pages)
                         .arg(reportName)
                         .arg(requests)
                         .arg(matched)
                         .arg(rows));
    if (!stopped.isEmpty())
        context.prompt().show(MessagePrompt::Icon::Warning, applicationErrorTitle(), stopped);
}

} // namespace veltrano
