#pragma once

#include "app/ServiceTable.h"

#include <QStringList>

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
    // The URLs of the rows the user has selected in the service's report
    // table, in table order.
    virtual QStringList selectedUrls(ServiceId service) const
    {
        (void)service;
        return {};
    }
};

} // namespace veltrano
