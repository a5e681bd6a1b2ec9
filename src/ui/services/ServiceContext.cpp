#include "ui/services/ServiceContext.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/RunControl.h"
#include "app/ServiceAccounts.h"

namespace veltrano {

ServiceExchange ServiceContext::makeExchange() const
{
    ServiceExchange exchange(log, trace, endpoints.extraCaFile, &events);
    exchange.setBusyState(&busy);
    exchange.setAccessRenewal(accounts.accessRenewal());
    exchange.setProgress(&run.progress());
    RetryPolicy retry;
    retry.firstDelay = endpoints.retryFirstDelay;
    exchange.setRetryPolicy(retry);
    exchange.setStopOnSpentQuota(true);
    return exchange;
}

bool ServiceContext::idleOrRefuse() const
{
    if (!busy.isBusy())
        return true;
    log.addToLog(BusyState::refusedLine());
    return false;
}

} // namespace veltrano
