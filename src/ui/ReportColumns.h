#pragma once

#include "reports/ReportLayout.h"

#include <vector>

class QAbstractItemModel;
class QObject;

namespace veltrano {

// The columns of a report tab's table (caption, alignment, width in pixels),
// as the report tables define them. Column 0 is always the URL.
const std::vector<ReportColumn> &reportColumns(int tab);

// An empty table model that only carries the column captions and their
// alignment; the report views show it until the report models are plugged in.
QAbstractItemModel *createReportHeaderModel(int tab, QObject *parent);

} // namespace veltrano
