#include "reports/ReportLayout.h"

#include <array>

namespace veltrano {

ReportLayout::ReportLayout(const ServiceInfo &info)
    : m_info(&info), m_name(info.reportView), m_serviceLabel(info.name)
{
}

const ReportLayout &ReportLayout::of(ServiceId service)
{
    static const std::array<ReportLayout, ServiceCount> all = [] {
        const auto &services = ServiceTable::all();
        return std::array<ReportLayout, ServiceCount>{ReportLayout(services[0]), ReportLayout(services[1]),
                                                      ReportLayout(services[2]), ReportLayout(services[3]),
                                                      ReportLayout(services[4])};
    }();
    return all[size_t(service)];
}

const ReportLayout *ReportLayout::ofTab(int tab)
{
    const ServiceInfo *info = ServiceTable::ofTab(tab);
    return info ? &of(info->id) : nullptr;
}

QString ReportLayout::serviceLabelForTag(int tag)
{
    const ServiceInfo *info = ServiceTable::ofTag(tag);
    return info ? QString(info->name) : QString();
}

QString ReportLayout::tabCaption(int tag, int rowCount)
{
    const QString label = serviceLabelForTag(tag);
    return rowCount == 0 ? label : label + QStringLiteral(" (%1)").arg(rowCount);
}

} // namespace veltrano
