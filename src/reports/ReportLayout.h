#pragma once

#include "app/ReportColumn.h"
#include "services/ServiceTable.h"

#include <QString>

#include <vector>

namespace veltrano {

// The fixed shape of one report table, as the service table gives it: its
// name, service and columns.
class ReportLayout final {
public:
    static const ReportLayout &of(ServiceId service);
    // The layout of a report tab (from 0); nullptr for any other number.
    static const ReportLayout *ofTab(int tab);

    ServiceId service() const { return m_info->id; }
    int tab() const { return m_info->tab(); }
    // The list view's name ("ListView4" ...).
    const QString &name() const { return m_name; }
    // Service code from 1.
    int tag() const { return m_info->tag(); }
    const QString &serviceLabel() const { return m_serviceLabel; }
    bool multiSelect() const { return m_info->multiSelect; }
    const ServiceDescriptor &descriptor() const { return *m_info; }
    const std::vector<ReportColumn> &columns() const { return m_info->columns; }
    int columnCount() const { return int(m_info->columns.size()); }

    // The service label for a tag (from 1); empty for any other tag.
    static QString serviceLabelForTag(int tag);
    // UpdateTabCaption: the label, followed by " (count)" unless the table
    // is empty.
    static QString tabCaption(int tag, int rowCount);

private:
    explicit ReportLayout(const ServiceDescriptor &info);

    const ServiceDescriptor *m_info;
    QString m_name;
    QString m_serviceLabel;
};

} // namespace veltrano
