#include "services/search_console/SearchConsoleInspectionCheck.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "services/search_console/SearchConsoleProperties.h"

namespace veltrano {

RequestLimits SearchConsoleInspectionCheck::requestLimits() const
{
    return kUrlInspectionRequests;
}

std::function<ExchangeResult()> SearchConsoleInspectionCheck::request(const QString &token,
                                                                      const SearchConsoleProperty &property,
                                                                      const QString &pageUrl)
{
    // The property as Google lists it, not its encoded id.
    return [&client = client(), token, pageUrl, siteUrl = property.siteUrl] {
        return client.inspectUrl(token, pageUrl, siteUrl);
    };
}

QString SearchConsoleInspectionCheck::crawlDay(const QString &lastCrawlTime)
{
    const qsizetype t = lastCrawlTime.indexOf(QLatin1Char('T'));
    return t < 0 ? QString() : lastCrawlTime.left(t);
}

QStringList SearchConsoleInspectionCheck::inspectionCells(const JsonValue &inspectionResult, bool *complete)
{
    QStringList cells(kCellCount, QString());
    *complete = true;
    const JsonValue *status = inspectionResult.member("indexStatusResult");
    if (!status || !status->isObject()) {
        *complete = false;
        return cells;
    }
    const auto text = [&](const char *name) {
        const JsonValue *member = status->member(QLatin1String(name));
        if (!member || !member->isString()) {
            *complete = false;
            return QString();
        }
        return member->text();
    };
    cells[5] = text("coverageState");
    cells[6] = text("robotsTxtState");
    cells[7] = text("indexingState");
    cells[8] = crawlDay(text("lastCrawlTime"));
    return cells;
}

SearchConsoleCheck::RowCells SearchConsoleInspectionCheck::readRow(const ExchangeResult &answer,
                                                                   const JsonDocument &doc) const
{
    RowCells read;
    const JsonValue *result = doc.root().member("inspectionResult");
    if (!result || !result->isObject()) {
        read.unusable = GoogleError{QString::number(answer.status), QString(),
                                    valueNotFound(QStringLiteral("inspectionResult")).message()};
        return read;
    }
    bool complete = true;
    read.cells = inspectionCells(*result, &complete);
    read.unreadableParts = complete ? 0 : 1;
    return read;
}

} // namespace veltrano
