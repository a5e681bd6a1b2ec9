#include "ui/ReportColumns.h"

#include <QStandardItemModel>

namespace veltrano {

namespace {

constexpr Qt::Alignment L = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment R = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment C = Qt::AlignHCenter | Qt::AlignVCenter;

} // namespace

const std::vector<ReportColumn> &reportColumns(int tab)
{
    static const std::vector<std::vector<ReportColumn>> tables = {
        // Yandex Webmaster
        {{QStringLiteral("URL"), L, 400}, {QStringLiteral("Indexed"), C, 60}, {QStringLiteral("Title"), L, 350}},
        // Yandex Metrika
        {{QStringLiteral("URL"), L, 400},
         {QStringLiteral("Visits"), R, 50},
         {QStringLiteral("Users"), R, 50},
         {QStringLiteral("Bounce Rate"), R, 75},
         {QStringLiteral("Deep View"), R, 70},
         {QStringLiteral("Time on Page"), C, 80}},
        // Google Search Console
        {{QStringLiteral("URL"), L, 200},
         {QStringLiteral("Indexed"), C, 60},
         {QStringLiteral("Clicks"), R, 50},
         {QStringLiteral("Impressions"), R, 80},
         {QStringLiteral("CTR"), R, 50},
         {QStringLiteral("Avg Position"), R, 80},
         {QStringLiteral("Coverage State"), L, 90},
         {QStringLiteral("Robots.txt State"), L, 100},
         {QStringLiteral("Indexing State"), L, 90},
         {QStringLiteral("Last Crawl"), C, 70}},
        // Google Analytics
        {{QStringLiteral("URL"), L, 400},
         {QStringLiteral("GA: Users"), R, 60},
         {QStringLiteral("GA: Page Views"), R, 90},
         {QStringLiteral("GA: Sessions"), R, 80},
         {QStringLiteral("GA: Avg Session Duration"), C, 140},
         {QStringLiteral("GA: Page Views Per Session"), R, 150},
         {QStringLiteral("GA: Bounce Rate"), R, 100}},
        // Ahrefs
        {{QStringLiteral("URL"), L, 300},
         {QStringLiteral("Indexed"), C, 60},
         {QStringLiteral("Ahrefs Rank (AR)"), R, 100},
         {QStringLiteral("HTTP Code"), C, 70},
         {QStringLiteral("Links Internal"), R, 80},
         {QStringLiteral("Links External"), R, 80},
         {QStringLiteral("Title"), L, 250}},
    };
    return tables.at(size_t(tab));
}

QAbstractItemModel *createReportHeaderModel(int tab, QObject *parent)
{
    const auto &columns = reportColumns(tab);
    auto *model = new QStandardItemModel(0, int(columns.size()), parent);
    for (int c = 0; c < int(columns.size()); ++c) {
        auto *item = new QStandardItem(columns[size_t(c)].caption);
        item->setTextAlignment(columns[size_t(c)].alignment);
        model->setHorizontalHeaderItem(c, item);
    }
    return model;
}

} // namespace veltrano
