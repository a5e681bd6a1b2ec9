#pragma once

#include "app/ServiceTable.h"

namespace veltrano {

class ReportTable;

// The report tables of the "URLs List" page as a service's controller sees
// them.
class ReportPages {
public:
    virtual ~ReportPages() = default;
    virtual ReportTable *table(ServiceId service) const = 0;
    // Brings up the "URLs List" page on the service's report tab, as a
    // switch made for the user (the tab's change handler does not run).
    virtual void showReport(ServiceId service) = 0;
};

} // namespace veltrano
