#include "services/ServiceTable.h"

#include "services/ahrefs/AhrefsDescriptor.h"
#include "services/analytics/AnalyticsDescriptor.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "services/yandex_metrika/YandexMetrikaDescriptor.h"
#include "services/yandex_webmaster/YandexWebmasterDescriptor.h"

namespace veltrano {

// The services in the order of their report tabs; a descriptor's id is its
// position here.
const std::vector<const ServiceDescriptor *> &ServiceTable::all()
{
    static const std::vector<const ServiceDescriptor *> services{
        &yandexWebmasterDescriptor(), &yandexMetrikaDescriptor(), &searchConsoleDescriptor(),
        &analyticsDescriptor(),       &ahrefsDescriptor(),
    };
    return services;
}

} // namespace veltrano
