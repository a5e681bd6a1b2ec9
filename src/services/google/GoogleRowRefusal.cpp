#include "services/google/GoogleRowRefusal.h"

#include "app/CheckContext.h"
#include "app/SignInRequired.h"
#include "app/VeltranoError.h"
#include "reports/ReportTable.h"

namespace veltrano {

QString GoogleRowRefusal::line(const GoogleError &error) const
{
    return m_service + QStringLiteral(" Error - ") + error.codeAndMessage();
}

bool GoogleRowRefusal::endsCheck(const GoogleError &error)
{
    return error.code == QLatin1String("401") || error.code == QLatin1String("429");
}

void GoogleRowRefusal::handle(CheckContext &context, ReportTable &table, int row, int rows,
                              const GoogleError &error) const
{
    const QString text = line(error);
    if (endsCheck(error)) {
        context.addToLog(text);
        if (error.code == QLatin1String("401"))
            throw SignInRequired(text);
        throw VeltranoError(text);
    }
    context.addToLog(text + QStringLiteral(" (%1/%2)").arg(row + 1).arg(rows));
    table.clearRowCells(row);
    context.markRowFailed();
}

} // namespace veltrano
