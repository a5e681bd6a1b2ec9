#include "services/search_console/SearchConsolePerformanceCheck.h"

#include "app/ReportingPeriod.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "services/search_console/SearchConsoleProperties.h"

#include <cmath>

namespace veltrano {

namespace {

// A number member holding a whole value (3 and 3.0 alike).
bool wholeNumber(const JsonValue &element, const char *name, double *value)
{
    const JsonValue *member = element.member(QLatin1String(name));
    bool ok = false;
    *value = member && member->isNumber() ? member->toDouble(&ok) : 0;
    return ok && std::isfinite(*value) && *value == std::floor(*value);
}

bool number(const JsonValue &element, const char *name, double *value)
{
    const JsonValue *member = element.member(QLatin1String(name));
    bool ok = false;
    *value = member && member->isNumber() ? member->toDouble(&ok) : 0;
    return ok && std::isfinite(*value);
}

} // namespace

SearchConsolePerformanceCheck::SearchConsolePerformanceCheck(GoogleApiClient &client, const ReportingPeriod &period)
    : SearchConsoleCheck(client), m_period(period)
{
}

RequestLimits SearchConsolePerformanceCheck::requestLimits() const
{
    return kSearchAnalyticsRequests;
}

std::function<ExchangeResult()> SearchConsolePerformanceCheck::request(const QString &token,
                                                                       const SearchConsoleProperty &property,
                                                                       const QString &pageUrl)
{
    // The period's days are read per row, as the run goes.
    return [&client = client(), token, propertyId = property.propertyId, from = m_period.fromText(),
            to = m_period.toText(), pageUrl] { return client.queryPage(token, propertyId, from, to, pageUrl); };
}

std::optional<QStringList> SearchConsolePerformanceCheck::pageCells(const JsonValue &answer, int *unreadable)
{
    *unreadable = 0;
    QStringList cells(kCellCount, QString());
    const JsonValue *rows = answer.member("rows");
    if (!rows) {
        // Google leaves "rows" out when the page had no impressions.
        cells[0] = QStringLiteral("No");
        return cells;
    }
    if (!rows->isArray())
        return std::nullopt;

    double clicks = 0;
    double impressions = 0;
    double weightedPosition = 0; // position times impressions, added up
    for (const JsonValue &element : *rows) {
        double rowClicks = 0;
        double rowImpressions = 0;
        double position = 0;
        if (!element.isObject() || !wholeNumber(element, "clicks", &rowClicks) ||
            !wholeNumber(element, "impressions", &rowImpressions) || !number(element, "position", &position)) {
            ++*unreadable;
            continue;
        }
        clicks += rowClicks;
        impressions += rowImpressions;
        weightedPosition += position * rowImpressions;
    }

    cells[0] = QStringLiteral("Yes");
    cells[1] = QString::number(qint64(clicks));
    cells[2] = QString::number(qint64(impressions));
    if (impressions > 0) {
        cells[3] = NumberText::fixed(clicks / impressions, 2);
        cells[4] = NumberText::fixed(weightedPosition / impressions, 0);
    } else {
        cells[3] = NumberText::fixed(0, 2);
        cells[4] = NumberText::fixed(0, 0);
    }
    return cells;
}

SearchConsoleCheck::RowCells SearchConsolePerformanceCheck::readRow(const ExchangeResult &answer,
                                                                    const JsonDocument &doc) const
{
    RowCells read;
    if (std::optional<QStringList> cells = pageCells(doc.root(), &read.unreadableParts))
        read.cells = *cells;
    else
        read.unusable =
            GoogleError{QString::number(answer.status), QString(), valueNotFound(QStringLiteral("rows")).message()};
    return read;
}

} // namespace veltrano
