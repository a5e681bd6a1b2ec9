#pragma once

#include <QString>
#include <Qt>
#include <vector>

class QAbstractItemModel;
class QObject;

namespace veltrano {

// The columns of the five report tables as the views lay them out: caption,
// alignment and width in pixels. Column 0 is always the URL.
struct ReportColumn {
    QString caption;
    Qt::Alignment alignment;
    int width;
};

// Report tabs in their order on the "URLs List" page.
enum ReportTab { YandexWebmasterTab = 0, YandexMetrikaTab, SearchConsoleTab, AnalyticsTab, AhrefsTab };
constexpr int ReportTabCount = 5;

const std::vector<ReportColumn> &reportColumns(int tab);

// An empty table model that only carries the column captions and their
// alignment; the report views show it until the report models are plugged in.
QAbstractItemModel *createReportHeaderModel(int tab, QObject *parent);

} // namespace veltrano
