#include "services/shared/CheckExchange.h"

#include "app/Endpoints.h"

namespace veltrano {

ServiceExchange makeCheckExchange(const CheckExchangeParts &parts)
{
    ServiceExchange exchange(parts.log, parts.trace, parts.endpoints.extraCaFile, &parts.events);
    exchange.setBusyState(&parts.busy);
    exchange.setAccessRenewal(parts.renewal);
    exchange.setProgress(parts.progress);
    RetryPolicy retry;
    retry.firstDelay = parts.endpoints.retryFirstDelay;
    exchange.setRetryPolicy(retry);
    exchange.setStopOnSpentQuota(true);
    return exchange;
}

} // namespace veltrano
