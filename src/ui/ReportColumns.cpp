#include "ui/ReportColumns.h"

#include <QStandardItemModel>

namespace veltrano {

const std::vector<ReportColumn> &reportColumns(int tab)
{
    const ReportLayout *layout = ReportLayout::ofTab(tab);
    if (!layout) {
        static const std::vector<ReportColumn> none;
        return none;
    }
    return layout->columns();
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
