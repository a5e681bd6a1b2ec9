#include "services/analytics/AnalyticsDescriptor.h"

#include "app/SimulatorPrefixes.h"
#include "services/ServiceColumns.h"
#include "services/google/GoogleSignInDescriptor.h"

namespace veltrano {

const ServiceDescriptor &analyticsDescriptor()
{
    using namespace columns;
    static const ServiceDescriptor descriptor{
        ServiceId::Analytics,
        QLatin1String("Google Analytics"),
        QLatin1String("Google Analytics - HTTP Code: "),
        QLatin1String("TabSheet2"),
        QLatin1String("ListView7"),
        QLatin1String("export_ga.csv"),
        {QStringLiteral("URL"), QStringLiteral("GA: Users"), QStringLiteral("GA PageViews"),
         QStringLiteral("GA: Sessions"), QStringLiteral("GA: Avg Session Duration"),
         QStringLiteral("GA: Page Views Per Session"), QStringLiteral("GA: Bounce Rate")},
        {col("URL", L, 400, SortRule::Url), col("GA: Users", R, 60, SortRule::WholeNumber),
         col("GA: Page Views", R, 90, SortRule::WholeNumber), col("GA: Sessions", R, 80, SortRule::WholeNumber),
         col("GA: Avg Session Duration", C, 140, SortRule::LocaleText),
         col("GA: Page Views Per Session", R, 150, SortRule::LocaleText),
         col("GA: Bounce Rate", R, 100, SortRule::LocaleText, CellDrawing::PercentBar)},
        ChartRule::traffic(1),
        false,
        settings::AnalyticsTokens,
        QLatin1String("GoogleAnalytics"),
        {{SignInTarget::Analytics, &googleOAuthApplication(), QLatin1String("/auth/analytics.readonly"),
          settings::AnalyticsTokens, QLatin1String(""), QLatin1String("")}},
        {settings::AnalyticsTokens},
        PeriodBinding::Google,
        simprefix::GoogleApis,
    };
    return descriptor;
}

} // namespace veltrano
