#include "services/ahrefs/AhrefsDescriptor.h"

#include "app/SimulatorPrefixes.h"
#include "services/ServiceColumns.h"

namespace veltrano {

const ServiceDescriptor &ahrefsDescriptor()
{
    using namespace columns;
    static const ServiceDescriptor descriptor{
        ServiceId::Ahrefs,
        QLatin1String("Ahrefs"),
        QLatin1String("Ahrefs - HTTP Code: "),
        QLatin1String("TabSheet8"),
        QLatin1String("ListView11"),
        QLatin1String("export_ahrefs.csv"),
        // The captions, each followed by ";": an empty last field.
        {QStringLiteral("URL"), QStringLiteral("Indexed"), QStringLiteral("Ahrefs Rank (AR)"),
         QStringLiteral("HTTP Code"), QStringLiteral("Links Internal"), QStringLiteral("Links External"),
         QStringLiteral("Title"), QString()},
        {col("URL", L, 300, SortRule::Url), col("Indexed", C, 60, SortRule::LocaleText, CellDrawing::StatusBadge),
         col("Ahrefs Rank (AR)", R, 100, SortRule::WholeNumber), col("HTTP Code", C, 70, SortRule::WholeNumber),
         col("Links Internal", R, 80, SortRule::LocaleText), col("Links External", R, 80, SortRule::WholeNumber),
         col("Title", L, 250, SortRule::CellText)},
        ChartRule::matching(1, "Yes"),
        false,
        QLatin1String(""),
        QLatin1String(""),
        {},
        {settings::AhrefsTokenSection},
        PeriodBinding::None,
        simprefix::AhrefsApi,
    };
    return descriptor;
}

} // namespace veltrano
