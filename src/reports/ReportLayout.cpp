#include "reports/ReportLayout.h"

#include <vector>

namespace veltrano {

ReportLayout::ReportLayout(const ServiceDescriptor &info)
    : m_info(&info), m_name(info.reportView), m_serviceLabel(info.name)
{
}

const ReportLayout &ReportLayout::of(ServiceId service)
{
    static const std::vector<ReportLayout> all = [] {
        std::vector<ReportLayout> layouts;
        for (const ServiceDescriptor *info : ServiceTable::all())
            layouts.push_back(ReportLayout(*info));
        return layouts;
    }();
    return all[size_t(service)];
}

const ReportLayout *ReportLayout::ofTab(int tab)
{
    const ServiceDescriptor *info = ServiceTable::ofTab(tab);
    return info ? &of(info->id) : nullptr;
}

QString ReportLayout::serviceLabelForTag(int tag)
{
    const ServiceDescriptor *info = ServiceTable::ofTag(tag);
    return info ? QString(info->name) : QString();
}

QString ReportLayout::tabCaption(int tag, int rowCount)
{
    const QString label = serviceLabelForTag(tag);
    return rowCount == 0 ? label : label + QStringLiteral(" (%1)").arg(rowCount);
}

} // namespace veltrano
