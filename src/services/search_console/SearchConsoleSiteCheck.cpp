#include "services/search_console/SearchConsoleSiteCheck.h"

#include "app/CheckContext.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/GoogleError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/RequestTrace.h"
#include "net/SiteScope.h"
#include "net/UrlKey.h"
#include "reports/ReportTable.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/SearchConsoleCheck.h"
#include "services/search_console/SearchConsoleProperties.h"
#include "services/shared/SitePageFigures.h"
#include "services/shared/SiteReportPager.h"
#include "services/shared/SiteRows.h"

#include <cmath>

namespace veltrano {

namespace {

const QLatin1String kService("Google Search Console");

bool finiteNumber(const JsonValue &element, const char *name, double *value)
{
    const JsonValue *member = element.member(QLatin1String(name));
    bool ok = false;
    *value = member && member->isNumber() ? member->toDouble(&ok) : 0;
    return ok && std::isfinite(*value) && *value >= 0;
}

bool wholeNumber(const JsonValue &element, const char *name, double *value)
{
    return finiteNumber(element, name, value) && *value == std::floor(*value);
}

// The page of a report row: the one text of its "keys".
QString pageOf(const JsonValue &element)
{
    const JsonValue *keys = element.member(QLatin1String("keys"));
    if (!keys || !keys->isArray() || keys->size() != 1 || !keys->at(0).isString())
        return {};
    return keys->at(0).text();
}

} // namespace

SearchConsoleSiteCheck::SearchConsoleSiteCheck(GoogleApiClient &client, const ReportingPeriod &period, int rowLimit)
    : m_client(client), m_period(period), m_rowLimit(rowLimit)
{
}

QStringList SearchConsoleSiteCheck::noDataCells()
{
    QStringList cells(SearchConsoleCheck::kCellCount, QString());
    cells[0] = QStringLiteral("No");
    return cells;
}

SearchConsoleSiteCheck::PageRead SearchConsoleSiteCheck::readAnswer(const JsonValue &answer, SitePageFigures &pages)
{
    PageRead read;
    const JsonValue *rows = answer.member("rows");
    if (!rows)
        return read; // Google leaves "rows" out past the last page
    if (!rows->isArray()) {
        read.usable = false;
        return read;
    }
    for (const JsonValue &element : *rows) {
        ++read.rows;
        double clicks = 0;
        double impressions = 0;
        double position = 0;
        const QString page = element.isObject() ? pageOf(element) : QString();
        if (page.isEmpty() || !wholeNumber(element, "clicks", &clicks) ||
            !wholeNumber(element, "impressions", &impressions) || !finiteNumber(element, "position", &position)) {
            ++read.unreadable;
            continue;
        }
        QStringList cells(SearchConsoleCheck::kCellCount, QString());
        cells[0] = QStringLiteral("Yes");
        cells[1] = QString::number(qint64(clicks));
        cells[2] = QString::number(qint64(impressions));
        cells[3] = NumberText::fixed(impressions > 0 ? clicks / impressions : 0, 2);
        cells[4] = NumberText::fixed(impressions > 0 ? position : 0, 0);
        if (pages.add(UrlKey::of(page), std::move(cells)))
            ++read.added;
        else
            ++read.repeats;
    }
    return read;
}

void SearchConsoleSiteCheck::run(CheckContext &context, ReportTable &table, const SearchConsoleProperty *property,
                                 const QString *token)
{
    if (!property) {
        context.prompt().show(MessagePrompt::Icon::None, applicationErrorTitle(),
                              QStringLiteral("Please select Website from Poject list"));
        return;
    }
    const int rows = table.rowCount();
    if (rows == 0)
        return;
    RequestTrace &trace = m_client.exchange().trace();
    trace.clear();
    if (!token)
        throw VeltranoError(QStringLiteral("Please select Token from list to connect"));
    const std::vector<int> onSite = rowsOnSite(context, table, SiteScope::ofSearchConsoleProperty(property->siteUrl));
    context.setProgressMaximum(int(onSite.size()));

    SitePageFigures pages;
    SiteReportPager pager({kService, property->siteUrl, 0, m_rowLimit, kMaxRequests});
    const bool read = pager.readAll(context, [&](qint64 startRow) {
        const ExchangeResult answer =
            m_client.querySitePages(*token, property->propertyId, m_period, int(startRow), m_rowLimit);
        trace.add(property->siteUrl + QStringLiteral(" startRow=%1\n\r\n\r").arg(startRow) + answer.text);
        const JsonDocument doc = JsonDocument::parse(answer.body);
        std::optional<GoogleError> error = GoogleError::of(answer, doc);
        PageRead part;
        if (!error) {
            part = readAnswer(doc.root(), pages);
            if (!part.usable)
                error = GoogleError{QString::number(answer.status), QString(),
                                    valueNotFound(QStringLiteral("rows")).message()};
        }
        if (error) {
            const QString line = SearchConsoleCheck::errorLine(*error);
            context.addToLog(line);
            throw VeltranoError(line);
        }
        return SiteReportPart(part);
    });
    if (!read)
        return;

    const int matched = fillRowsFromSitePages(context, table, onSite, pages, noDataCells(),
                                              [](const QString &url) { return UrlKey::of(url); });
    SiteReportPager::logEnd(context, kService, QStringLiteral("the site's report"), pages.size(), pager.requests(),
                            matched, int(onSite.size()), pager.stopped());
}

} // namespace veltrano
