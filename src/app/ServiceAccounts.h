#pragma once

#include "app/ServiceDescriptor.h"

#include <QString>
#include <functional>

namespace veltrano {

class AccessRenewal;

// The connected accounts as a service's controller sees them: the alias
// selected in the service's token list, its token, and the service's
// "Connect to Account" operation.
class ServiceAccounts {
public:
    virtual ~ServiceAccounts() = default;
    // The alias selected in the service's token list; empty when none is.
    virtual QString selectedAlias(ServiceId service) const = 0;
    // The access token stored under the selected alias (empty text when the
    // file has none); empty when nothing is selected.
    virtual QString selectedToken(ServiceId service) const = 0;
    // The service's "Connect to Account": run by its button and by a
    // double-click on an entry of its token list. Errors it raises are shown
    // in the application's error box.
    virtual void setConnectOperation(ServiceId service, std::function<void()> operation) = 0;
    // What keeps the accounts' access tokens alive in the service requests
    // (renewal before expiry and after a 401); nullptr: tokens go out as
    // stored.
    virtual AccessRenewal *accessRenewal() { return nullptr; }
};

} // namespace veltrano
