#include "services/analytics/AnalyticsSiteCheck.h"

#include "app/CheckContext.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/GoogleError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "net/SiteScope.h"
#include "net/UrlKey.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/shared/SitePageFigures.h"
#include "services/shared/SiteReportPager.h"
#include "services/shared/SiteRows.h"

#include <array>
#include <cmath>

namespace veltrano {

namespace {

const QLatin1String kService("Google Analytics");

// Every figure of a page row is a number written as text.
bool isNumber(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

} // namespace

QString AnalyticsSiteCheck::pathKey(const QString &pagePath)
{
    // The path and query in the form UrlKey gives them behind a fixed host.
    static const QString host = QStringLiteral("http://page");
    const QString key = UrlKey::of(host + (pagePath.startsWith(QLatin1Char('/')) ? pagePath : QLatin1Char('/') + pagePath));
    return key.startsWith(host) ? key.mid(host.size()) : key;
}

AnalyticsSiteCheck::PageRead AnalyticsSiteCheck::readAnswer(const JsonValue &answer, SitePageFigures &pages)
{
    PageRead read;
    if (const JsonValue *total = answer.member("totalResults"); total && total->isNumber()) {
        bool ok = false;
        const double value = total->toDouble(&ok);
        if (ok && value >= 0 && value < 9e15)
            read.totalRows = qint64(value);
    }
    const JsonValue *headers = answer.member("columnHeaders");
    if (!headers || !headers->isArray()) {
        read.usable = false;
        return read;
    }
    // Where the path and each metric stand in a row, by the headers' names.
    int pathColumn = -1;
    std::array<int, AnalyticsCheck::kCellCount> metricAt;
    metricAt.fill(-1);
    for (int i = 0; i < int(headers->size()); ++i) {
        const JsonValue *name = headers->at(i).member("name");
        if (!name || !name->isString())
            continue;
        const QString text = name->text();
        if (text.compare(QLatin1String("ga:pagePath"), Qt::CaseInsensitive) == 0)
            pathColumn = i;
        else if (const int column = AnalyticsCheck::columnOf(text); column >= 0)
            metricAt[size_t(column)] = i;
    }
    if (pathColumn < 0) {
        read.usable = false;
        return read;
    }
    const JsonValue *rows = answer.member("rows");
    if (!rows)
        return read; // no page in this part of the report
    if (!rows->isArray()) {
        read.usable = false;
        return read;
    }
    for (const JsonValue &row : *rows) {
        ++read.rows;
        if (!row.isArray() || pathColumn >= row.size() || !row.at(pathColumn).isString()) {
            ++read.unreadable;
            continue;
        }
        QStringList cells(AnalyticsCheck::kCellCount, QString());
        bool readable = true;
        for (int column = 0; column < AnalyticsCheck::kCellCount && readable; ++column) {
            const int at = metricAt[size_t(column)];
            if (at < 0)
                continue; // a metric the answer lacks leaves its cell empty
            if (at >= row.size()) {
                readable = false;
                break;
            }
            const QString value = row.at(at).text(QLocale::c());
            const std::optional<QString> text = AnalyticsCheck::cellText(column, value);
            if (!text || !isNumber(value))
                readable = false;
            else
                cells[column] = *text;
        }
        if (!readable) {
            ++read.unreadable;
            continue;
        }
        if (pages.add(pathKey(row.at(pathColumn).text()), std::move(cells)))
            ++read.added;
        else
            ++read.repeats;
    }
    return read;
}

void AnalyticsSiteCheck::run(CheckContext &context, ReportTable &table, const AnalyticsCheck::Request &request)
{
    if (table.rowCount() == 0)
        return;
    const std::vector<int> onSite = rowsOnSite(context, table, SiteScope::ofHost(request.websiteUrl));
    RequestTrace &trace = m_client.exchange().trace();
    context.setProgressMaximum(int(onSite.size()));

    SitePageFigures pages;
    SiteReportPager pager({kService, QStringLiteral("the view"), 1, m_maxResults, kMaxRequests});
    const bool read = pager.readAll(context, [&](qint64 startIndex) {
        const QString url = m_client.sitePagesUrl(request.viewId, request.from, request.to, startIndex, m_maxResults);
        const ExchangeResult answer = m_client.get(request.token(), url);
        serviceanswer::trace(trace, answer);
        const JsonDocument doc = JsonDocument::parse(answer.body);
        std::optional<GoogleError> error = GoogleError::of(answer, doc);
        PageRead part;
        if (!error) {
            part = readAnswer(doc.root(), pages);
            if (!part.usable)
                error = GoogleError{QString::number(answer.status), QString(),
                                    valueNotFound(QStringLiteral("columnHeaders")).message()};
        }
        if (error) {
            const QString line = AnalyticsCheck::errorLine(*error);
            context.addToLog(line);
            throw VeltranoError(line);
        }
        return SiteReportPart(part);
    });
    if (!read)
        return;

    const int matched =
        fillRowsFromSitePages(context, table, onSite, pages, AnalyticsCheck::noDataCells(),
                              [](const QString &url) { return pathKey(AnalyticsClient::pagePath(url)); });
    SiteReportPager::logEnd(context, kService, QStringLiteral("the view's report"), pages.size(), pager.requests(),
                            matched, int(onSite.size()), pager.stopped());
}

} // namespace veltrano
