#pragma once

#include "net/ServiceExchange.h"

namespace veltrano {

class AccessRenewal;
class ActivityLog;
class BusyState;
class EventPump;
class ProgressReporter;
class RequestTrace;
struct Endpoints;

// What a service's requests are sent with, in the window and on the
// command line alike.
struct CheckExchangeParts {
    ActivityLog &log;
    RequestTrace &trace;
    EventPump &events;
    BusyState &busy;
    AccessRenewal *renewal; // nullptr: tokens go out as stored
    ProgressReporter *progress;
    const Endpoints &endpoints;
};

// An exchange that writes to the log and the trace, keeps the front end
// responsive while it waits, is abandoned by "Cancel", renews expiring
// sign-ins, tries rationed and failing requests again as the endpoints'
// first delay says, and stops a run on a spent quota.
ServiceExchange makeCheckExchange(const CheckExchangeParts &parts);

} // namespace veltrano
