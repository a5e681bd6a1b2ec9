#include "services/search_console/SearchConsoleCheck.h"

#include "app/CheckContext.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/SiteScope.h"
#include "reports/ReportTable.h"
#include "services/google/GoogleRowRefusal.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/SearchConsoleProperties.h"
#include "services/shared/SiteRows.h"

namespace veltrano {

namespace {
const GoogleRowRefusal kRefusal(QStringLiteral("Google Search Console"));
}

QString SearchConsoleCheck::errorLine(const GoogleError &error)
{
    return kRefusal.line(error);
}

QString SearchConsoleCheck::objectDataLine(int row, int rows)
{
    return QStringLiteral("Google Search Console Error Get Object Data: %1/%2").arg(row).arg(rows);
}

void SearchConsoleCheck::run(CheckContext &context, ReportTable &table, const SearchConsoleProperty *property,
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
    context.setProgressMaximum(rows);
    if (!token)
        throw VeltranoError(QStringLiteral("Please select Token from list to connect"));
    // Google refuses a page outside the property; such a row is another
    // site's and is not sent.
    const std::vector<int> onSite = rowsOnSite(context, table, SiteScope::ofSearchConsoleProperty(property->siteUrl));
    context.setProgressMaximum(int(onSite.size()));

    context.forEachRow(int(onSite.size()), requestLimits(), [&](int index) {
        const int row = onSite[size_t(index)];
        const QString pageUrl = table.url(row);
        return RowWork::of(request(*token, *property, pageUrl),
                           [this, &context, &table, &trace, row, rows, pageUrl](const ExchangeResult &answer) {
                               trace.add(pageUrl + QStringLiteral("\n\r\n\r") + answer.text);

                               const JsonDocument doc = JsonDocument::parse(answer.body);
                               std::optional<GoogleError> error = GoogleError::of(answer, doc);
                               RowCells read;
                               if (!error) {
                                   read = readRow(answer, doc);
                                   error = read.unusable;
                               }
                               if (error) {
                                   kRefusal.handle(context, table, row, rows, *error);
                                   return CheckContext::RowStep::Next;
                               }
                               for (int i = 0; i < read.unreadableParts; ++i)
                                   context.addToLog(objectDataLine(row + 1, rows));
                               table.setRowCells(row, read.cells);
                               return CheckContext::RowStep::Next;
                           });
    });
}

} // namespace veltrano
