#include "ui/services/ServiceContext.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/RunControl.h"
#include "app/ServiceAccounts.h"
#include "services/shared/CheckExchange.h"

namespace veltrano {

ServiceExchange ServiceContext::makeExchange() const
{
    return makeCheckExchange({log, trace, events, busy, accounts.accessRenewal(), &run.progress(), endpoints});
}

bool ServiceContext::idleOrRefuse() const
{
    if (!busy.isBusy())
        return true;
    log.addToLog(BusyState::refusedLine());
    return false;
}

} // namespace veltrano
