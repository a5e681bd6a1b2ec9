#pragma once

#include "app/ReportColumn.h"
#include "app/ServiceTable.h"

#include <QString>

#include <vector>

namespace veltrano {

// The fixed shape of one report table, as the service table gives it: its
// name, service and columns.
class ReportLayout final {
public:
    static const ReportLayout &of(ServiceId service);
    // The layout of a report tab (0-4); nullptr for any other number.
    static const ReportLayout *ofTab(int tab);

    ServiceId service() const { return m_info->id; }
    int tab() const { return m_info->tab(); }
    // The list view's name ("ListView4" ...); the chart picks its rule by it.
    const QString &name() const { return m_name; }
    // Service code 1-5.
    int tag() const { return m_info->tag(); }
    const QString &serviceLabel() const { return m_serviceLabel; }
    bool multiSelect() const { return m_info->id == ServiceId::SearchConsole; }
    const std::vector<ReportColumn> &columns() const { return m_info->columns; }
    int columnCount() const { return int(m_info->columns.size()); }

    // The service label for a tag (1-5); empty for any other tag.
    static QString serviceLabelForTag(int tag);
    // UpdateTabCaption: the label, followed by " (count)" unless the table
    // is empty.
    static QString tabCaption(int tag, int rowCount);

private:
    explicit ReportLayout(const ServiceInfo &info);

    const ServiceInfo *m_info;
    QString m_name;
    QString m_serviceLabel;
};

} // namespace veltrano
