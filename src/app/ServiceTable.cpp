#include "app/ServiceTable.h"

#include "app/SimulatorPrefixes.h"

namespace veltrano {

namespace {

constexpr Qt::Alignment L = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment R = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment C = Qt::AlignHCenter | Qt::AlignVCenter;

ReportColumn col(const char *caption, Qt::Alignment align, int width, SortRule rule,
                 CellDrawing drawing = CellDrawing::Plain)
{
    return {QString::fromLatin1(caption), align, width, rule, drawing};
}

using S = SortRule;
using D = CellDrawing;
using Sig = SignInTarget;
using L1 = QLatin1String;

std::array<ServiceInfo, ServiceCount> makeTable()
{
    return {{
        {ServiceId::YandexWebmaster, L1("Yandex Webmaster"), L1("Yandex Webmaster - HTTP Code: "), L1("tsURLsD"),
         L1("ListView4"), L1("export_ywm.csv"), settings::YandexWebmasterTokens, Sig::YandexWebmaster, L1("YandexWM"),
         simprefix::YandexWebmasterApi,
         {col("URL", L, 400, S::Url), col("Indexed", C, 60, S::LocaleText, D::StatusBadge),
          col("Title", L, 350, S::LocaleText)}},
        {ServiceId::YandexMetrika, L1("Yandex Metrika"), L1("Yandex Metrika - HTTP Code: "), L1("tsURLsM"),
         L1("ListView5"), L1("export_ym.csv"), settings::YandexMetrikaTokens, Sig::YandexMetrika, L1("YandexMetrika"),
         simprefix::YandexMetrikaApi,
         {col("URL", L, 400, S::Url), col("Visits", R, 50, S::WholeNumber), col("Users", R, 50, S::LocaleText),
          col("Bounce Rate", R, 75, S::LocaleText, D::PercentBar), col("Deep View", R, 70, S::LocaleText),
          col("Time on Page", C, 80, S::LocaleText)}},
        {ServiceId::SearchConsole, L1("Google Search Console"), L1("Google Search Console - HTTP Code: "),
         L1("TabSheet1"), L1("ListView6"), L1("export_gsc.csv"), settings::SearchConsoleTokens, Sig::SearchConsole,
         L1("GoogleSC"), simprefix::GoogleApis,
         {col("URL", L, 200, S::Url), col("Indexed", C, 60, S::LocaleText, D::StatusBadge),
          col("Clicks", R, 50, S::WholeNumber), col("Impressions", R, 80, S::WholeNumber),
          col("CTR", R, 50, S::LocaleText), col("Avg Position", R, 80, S::WholeNumber),
          col("Coverage State", L, 90, S::CellText), col("Robots.txt State", L, 100, S::CellText),
          col("Indexing State", L, 90, S::CellText), col("Last Crawl", C, 70, S::CellText)}},
        {ServiceId::Analytics, L1("Google Analytics"), L1("Google Analytics - HTTP Code: "), L1("TabSheet2"),
         L1("ListView7"), L1("export_ga.csv"), settings::AnalyticsTokens, Sig::Analytics, L1("GoogleAnalytics"),
         simprefix::GoogleApis,
         {col("URL", L, 400, S::Url), col("GA: Users", R, 60, S::WholeNumber),
          col("GA: Page Views", R, 90, S::WholeNumber), col("GA: Sessions", R, 80, S::WholeNumber),
          col("GA: Avg Session Duration", C, 140, S::LocaleText),
          col("GA: Page Views Per Session", R, 150, S::LocaleText),
          col("GA: Bounce Rate", R, 100, S::LocaleText, D::PercentBar)}},
        {ServiceId::Ahrefs, L1("Ahrefs"), L1("Ahrefs - HTTP Code: "), L1("TabSheet8"), L1("ListView11"),
         L1("export_ahrefs.csv"), L1(""), Sig::None, L1(""), simprefix::AhrefsApi,
         {col("URL", L, 300, S::Url), col("Indexed", C, 60, S::LocaleText, D::StatusBadge),
          col("Ahrefs Rank (AR)", R, 100, S::WholeNumber), col("HTTP Code", C, 70, S::WholeNumber),
          col("Links Internal", R, 80, S::LocaleText), col("Links External", R, 80, S::WholeNumber),
          col("Title", L, 250, S::CellText)}},
    }};
}

} // namespace

const std::array<ServiceInfo, ServiceCount> &ServiceTable::all()
{
    static const std::array<ServiceInfo, ServiceCount> table = makeTable();
    return table;
}

const ServiceInfo &ServiceTable::of(ServiceId id)
{
    return all()[size_t(id)];
}

const ServiceInfo *ServiceTable::ofTab(int tab)
{
    if (tab < 0 || tab >= ServiceCount)
        return nullptr;
    return &all()[size_t(tab)];
}

const ServiceInfo *ServiceTable::ofTag(int tag)
{
    return ofTab(tag - 1);
}

const ServiceInfo *ServiceTable::ofSignIn(SignInTarget target)
{
    if (target == SignInTarget::None)
        return nullptr;
    for (const ServiceInfo &info : all()) {
        if (info.signIn == target)
            return &info;
    }
    return nullptr;
}

} // namespace veltrano
