#include "services/search_console/SearchConsoleDescriptor.h"

#include "app/SimulatorPrefixes.h"
#include "services/ServiceColumns.h"
#include "services/google/GoogleSignInDescriptor.h"

namespace veltrano {

ChartRule searchConsolePerformanceChart()
{
    return ChartRule::matching(1, "Yes");
}

ChartRule searchConsoleInspectionChart()
{
    return ChartRule::matching(8, "INDEXING_ALLOWED"); // "Indexing State"
}

const ServiceDescriptor &searchConsoleDescriptor()
{
    using namespace columns;
    static const ServiceDescriptor descriptor{
        ServiceId::SearchConsole,
        QLatin1String("Google Search Console"),
        QLatin1String("Google Search Console - HTTP Code: "),
        QLatin1String("TabSheet1"),
        QLatin1String("ListView6"),
        QLatin1String("export_gsc.csv"),
        {QStringLiteral("URL"), QStringLiteral("Indexed"), QStringLiteral("Clicks"), QStringLiteral("Impressions"),
         QStringLiteral("CTR"), QStringLiteral("Avg Position"), QStringLiteral("Coverage State"),
         QStringLiteral("RobotsTxt State"), QStringLiteral("Indexing State"), QStringLiteral("Last Crawl")},
        {col("URL", L, 200, SortRule::Url), col("Indexed", C, 60, SortRule::LocaleText, CellDrawing::StatusBadge),
         col("Clicks", R, 50, SortRule::WholeNumber), col("Impressions", R, 80, SortRule::WholeNumber),
         col("CTR", R, 50, SortRule::LocaleText), col("Avg Position", R, 80, SortRule::WholeNumber),
         col("Coverage State", L, 90, SortRule::CellText), col("Robots.txt State", L, 100, SortRule::CellText),
         col("Indexing State", L, 90, SortRule::CellText), col("Last Crawl", C, 70, SortRule::CellText)},
        // Until "Check GSC" has run, the pie counts the inspection states.
        searchConsoleInspectionChart(),
        true, // pages are selected together for the Indexing API
        settings::SearchConsoleTokens,
        QLatin1String("GoogleSC"),
        {{SignInTarget::SearchConsole, &googleOAuthApplication(), QLatin1String("/auth/webmasters.readonly"),
          settings::SearchConsoleTokens, QLatin1String(""), QLatin1String("")},
         {SignInTarget::IndexingApi, &googleOAuthApplication(), QLatin1String("/auth/indexing"),
          settings::IndexingApiTokenSection, settings::IndexingApiTokenKey,
          QLatin1String("GoogleSC Indexing API Token was Saved!")}},
        {settings::SearchConsoleTokens, settings::IndexingApiTokenSection},
        PeriodBinding::Google,
        simprefix::GoogleApis,
    };
    return descriptor;
}

} // namespace veltrano
