#include "services/analytics/Ga4SiteCheck.h"

#include "app/CheckContext.h"
#include "app/VeltranoError.h"
#include "net/GoogleError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsCheck.h"
#include "services/analytics/AnalyticsSiteCheck.h"
#include "services/analytics/Ga4Client.h"
#include "services/shared/SitePageFigures.h"
#include "services/shared/SiteReportPager.h"
#include "services/shared/SiteRows.h"

#include <vector>

namespace veltrano {

namespace {

const QString kService = QStringLiteral("Google Analytics");
const QString kPathReport = QStringLiteral("pagePath");
const QString kPathAndQueryReport = QStringLiteral("pagePathPlusQueryString");

QString keyIn(const QString &report, const QString &path)
{
    return report + QLatin1Char(' ') + AnalyticsSiteCheck::pathKey(path);
}

} // namespace

QString Ga4SiteCheck::rowKey(const QString &pageUrl)
{
    const Ga4PageCheck::PageFilter filter = Ga4PageCheck::pageFilter(pageUrl);
    return keyIn(filter.fieldName, filter.value);
}

Ga4SiteCheck::PageRead Ga4SiteCheck::readAnswer(const JsonValue &answer, SitePageFigures &pages)
{
    PageRead read;
    if (const JsonValue *count = answer.member("rowCount"); count && (count->isNumber() || count->isString())) {
        bool ok = false;
        const qint64 value = count->text(QLocale::c()).toLongLong(&ok);
        if (ok && value >= 0)
            read.totalRows = value;
    }
    const JsonValue *dimensions = answer.member("dimensionHeaders");
    const JsonValue *dimension = dimensions && dimensions->isArray() && dimensions->size() == 1
                                     ? dimensions->at(0).member("name")
                                     : nullptr;
    const QString report = dimension && dimension->isString() ? dimension->text() : QString();
    if (report != kPathReport && report != kPathAndQueryReport) {
        read.error = valueNotFound(QStringLiteral("dimensionHeaders")).message();
        return read;
    }
    const JsonValue *headers = answer.member("metricHeaders");
    if (!headers || !headers->isArray()) {
        read.error = valueNotFound(QStringLiteral("metricHeaders")).message();
        return read;
    }
    // The column each header's values go to, by the metric's name.
    std::vector<int> columns;
    for (const JsonValue &header : *headers) {
        const JsonValue *name = header.member("name");
        columns.push_back(name && name->isString() ? Ga4PageCheck::columnOf(name->text()) : -1);
    }
    const JsonValue *rows = answer.member("rows");
    if (!rows)
        return read; // Google leaves "rows" out past the report's last row
    if (!rows->isArray()) {
        read.error = valueNotFound(QStringLiteral("rows")).message();
        return read;
    }
    for (const JsonValue &row : *rows) {
        ++read.rows;
        const JsonValue *keys = row.member("dimensionValues");
        const JsonValue *path = keys && keys->isArray() && keys->size() == 1 ? keys->at(0).member("value") : nullptr;
        const JsonValue *values = row.member("metricValues");
        if (!path || !path->isString() || !values || !values->isArray() ||
            values->size() != qsizetype(columns.size())) {
            ++read.unreadable;
            continue;
        }
        QStringList cells(Ga4PageCheck::kCellCount, QString());
        bool readable = true;
        for (size_t i = 0; i < columns.size() && readable; ++i) {
            if (columns[i] < 0)
                continue;
            const JsonValue *value = values->at(qsizetype(i)).member("value");
            const std::optional<QString> cell =
                value && (value->isString() || value->isNumber())
                    ? Ga4PageCheck::cellText(columns[i], value->text(QLocale::c()))
                    : std::nullopt;
            if (cell)
                cells[columns[i]] = *cell;
            else
                readable = false;
        }
        if (!readable) {
            ++read.unreadable;
            continue;
        }
        if (pages.add(keyIn(report, path->text()), std::move(cells)))
            ++read.added;
        else
            ++read.repeats;
    }
    return read;
}

void Ga4SiteCheck::run(CheckContext &context, ReportTable &table, const Ga4PageCheck::Request &request)
{
    if (table.rowCount() == 0)
        return;
    RequestTrace &trace = m_client.exchange().trace();
    const std::vector<int> rows = everyRowToCheck(context, table);
    context.setProgressMaximum(int(rows.size()));

    // The reports the rows need: by path, and by path with the query string
    // when a row has one.
    bool byPath = false;
    bool byPathAndQuery = false;
    for (const int row : rows) {
        if (Ga4PageCheck::pageFilter(table.url(row)).fieldName == kPathReport)
            byPath = true;
        else
            byPathAndQuery = true;
    }

    SitePageFigures pages;
    std::optional<QString> quota;
    int requests = 0;
    QString stopped;
    for (const QString &report : {kPathReport, kPathAndQueryReport}) {
        if ((report == kPathReport && !byPath) || (report == kPathAndQueryReport && !byPathAndQuery))
            continue;
        SiteReportPager pager({kService, QStringLiteral("the property"), 0, m_rowsPerPart, kMaxRequests});
        const bool read = pager.readAll(context, [&](qint64 offset) {
            const ExchangeResult answer = m_client.siteReport(request.token(), request.propertyId, request.from,
                                                              request.to, report, offset, m_rowsPerPart);
            serviceanswer::trace(trace, answer);
            const JsonDocument doc = JsonDocument::parse(answer.body);
            std::optional<GoogleError> error = GoogleError::of(answer, doc);
            PageRead part;
            if (!error) {
                if (std::optional<QString> line = Ga4PageCheck::quotaLine(doc.root()))
                    quota = std::move(line);
                part = readAnswer(doc.root(), pages);
                if (!part.error.isEmpty())
                    error = GoogleError{QString::number(answer.status), QString(), part.error};
            }
            if (error) {
                const QString line = AnalyticsCheck::errorLine(*error);
                context.addToLog(line);
                if (quota)
                    context.addToLog(*quota);
                throw VeltranoError(line);
            }
            return SiteReportPart(part);
        });
        requests += pager.requests();
        if (!read)
            return;
        if (!pager.stopped().isEmpty())
            stopped = pager.stopped();
    }

    const int matched =
        fillRowsFromSitePages(context, table, rows, pages, Ga4PageCheck::noVisitCells(),
                              [](const QString &url) { return rowKey(url); });
    if (quota)
        context.addToLog(*quota);
    SiteReportPager::logEnd(context, kService, QStringLiteral("the property's report"), pages.size(), requests,
                            matched, int(rows.size()), stopped);
}

} // namespace veltrano
