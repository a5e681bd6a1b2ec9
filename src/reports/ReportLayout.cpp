#include "reports/ReportLayout.h"

#include <array>

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

} // namespace

ReportLayout::ReportLayout(ReportKind kind, QString name, QString serviceLabel, std::vector<ReportColumn> columns)
    : m_kind(kind), m_name(std::move(name)), m_serviceLabel(std::move(serviceLabel)), m_columns(std::move(columns))
{
}

const ReportLayout &ReportLayout::of(ReportKind kind)
{
    using S = SortRule;
    using D = CellDrawing;
    static const std::array<ReportLayout, KindCount> all{
        ReportLayout(ReportKind::YandexWebmaster, QStringLiteral("ListView4"), serviceLabelForTag(1),
                     {col("URL", L, 400, S::Url), col("Indexed", C, 60, S::LocaleText, D::StatusBadge),
                      col("Title", L, 350, S::LocaleText)}),
        ReportLayout(ReportKind::YandexMetrika, QStringLiteral("ListView5"), serviceLabelForTag(2),
                     {col("URL", L, 400, S::Url), col("Visits", R, 50, S::WholeNumber),
                      col("Users", R, 50, S::LocaleText), col("Bounce Rate", R, 75, S::LocaleText, D::PercentBar),
                      col("Deep View", R, 70, S::LocaleText), col("Time on Page", C, 80, S::LocaleText)}),
        ReportLayout(ReportKind::SearchConsole, QStringLiteral("ListView6"), serviceLabelForTag(3),
                     {col("URL", L, 200, S::Url), col("Indexed", C, 60, S::LocaleText, D::StatusBadge),
                      col("Clicks", R, 50, S::WholeNumber), col("Impressions", R, 80, S::WholeNumber),
                      col("CTR", R, 50, S::LocaleText), col("Avg Position", R, 80, S::WholeNumber),
                      col("Coverage State", L, 90, S::CellText), col("Robots.txt State", L, 100, S::CellText),
                      col("Indexing State", L, 90, S::CellText), col("Last Crawl", C, 70, S::CellText)}),
        ReportLayout(ReportKind::Analytics, QStringLiteral("ListView7"), serviceLabelForTag(4),
                     {col("URL", L, 400, S::Url), col("GA: Users", R, 60, S::WholeNumber),
                      col("GA: Page Views", R, 90, S::WholeNumber), col("GA: Sessions", R, 80, S::WholeNumber),
                      col("GA: Avg Session Duration", C, 140, S::LocaleText),
                      col("GA: Page Views Per Session", R, 150, S::LocaleText),
                      col("GA: Bounce Rate", R, 100, S::LocaleText, D::PercentBar)}),
        ReportLayout(ReportKind::Ahrefs, QStringLiteral("ListView11"), serviceLabelForTag(5),
                     {col("URL", L, 300, S::Url), col("Indexed", C, 60, S::LocaleText, D::StatusBadge),
                      col("Ahrefs Rank (AR)", R, 100, S::WholeNumber), col("HTTP Code", C, 70, S::WholeNumber),
                      col("Links Internal", R, 80, S::LocaleText), col("Links External", R, 80, S::WholeNumber),
                      col("Title", L, 250, S::CellText)}),
    };
    return all[size_t(kind)];
}

const ReportLayout *ReportLayout::ofTab(int tab)
{
    if (tab < 0 || tab >= KindCount)
        return nullptr;
    return &of(ReportKind(tab));
}

QString ReportLayout::serviceLabelForTag(int tag)
{
    switch (tag) {
    case 1:
        return QStringLiteral("Yandex Webmaster");
    case 2:
        return QStringLiteral("Yandex Metrika");
    case 3:
        return QStringLiteral("Google Search Console");
    case 4:
        return QStringLiteral("Google Analytics");
    case 5:
        return QStringLiteral("Ahrefs");
    default:
        return {};
    }
}

QString ReportLayout::tabCaption(int tag, int rowCount)
{
    const QString label = serviceLabelForTag(tag);
    return rowCount == 0 ? label : label + QStringLiteral(" (%1)").arg(rowCount);
}

} // namespace veltrano
