#include "services/search_console/SearchConsoleChecks.h"

#include "app/ReportingPeriod.h"
#include "app/VeltranoError.h"
#include "services/search_console/SearchConsoleDescriptor.h"

namespace veltrano {

SearchConsoleChecks::SearchConsoleChecks(GoogleApiClient &client, const ReportingPeriod &googlePeriod)
    : m_period(googlePeriod), m_performance(client, googlePeriod), m_inspection(client), m_site(client, googlePeriod)
{
}

QString SearchConsoleChecks::name(Kind kind)
{
    switch (kind) {
    case Kind::Performance:
        return QStringLiteral("Check GSC");
    case Kind::Inspection:
        return QStringLiteral("URL Inspection API");
    case Kind::WholeSite:
        return QStringLiteral("Check GSC (whole site)");
    }
    return {};
}

ChartRule SearchConsoleChecks::chart(Kind kind)
{
    return kind == Kind::Inspection ? searchConsoleInspectionChart() : searchConsolePerformanceChart();
}

QString SearchConsoleChecks::periodRefusal() const
{
    // Search Console reads the Google period, chosen on the Google Analytics tab.
    return m_period.refusal(ReportingPeriod::FutureDays::Refused, QStringLiteral("Google Analytics"));
}

void SearchConsoleChecks::run(Kind kind, CheckContext &context, ReportTable &table,
                              const SearchConsoleProperty *property, const QString *token)
{
    if (kind != Kind::Inspection) {
        if (const QString refusal = periodRefusal(); !refusal.isEmpty())
            throw VeltranoError(refusal);
    }
    switch (kind) {
    case Kind::Performance:
        m_performance.run(context, table, property, token);
        break;
    case Kind::Inspection:
        m_inspection.run(context, table, property, token);
        break;
    case Kind::WholeSite:
        m_site.run(context, table, property, token);
        break;
    }
}

} // namespace veltrano
