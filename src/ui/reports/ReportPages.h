#pragma once

#include "services/ServiceTable.h"

#include <QStringList>

#include <functional>

class QAction;

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
    // A command of the report tables' menu offered only on the service's tab
    // while its table has rows.
    virtual void setRowsAction(ServiceId service, QAction *action)
    {
        (void)service;
        (void)action;
    }
    // The line above the service's report table: what its check will use
    // (account, site, period), or what the user has to choose first.
    virtual void setCheckTargetText(ServiceId service, const QString &text)
    {
        (void)service;
        (void)text;
    }
    // A service whose account needs no connect (a typed token) counts as
    // connected whenever its report tab is selected while `ready` says so.
    virtual void setConnectedWhenSelected(ServiceId service, std::function<bool()> ready)
    {
        (void)service;
        (void)ready;
    }
};

} // namespace veltrano
