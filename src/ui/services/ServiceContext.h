#pragma once

#include "app/Endpoints.h"
#include "net/ServiceExchange.h"
#include "services/ServiceTable.h"

#include <QString>

namespace veltrano {

class ActivityLog;
class BusyState;
class EventPump;
class FileDialogs;
class MessagePrompt;
class ReportPages;
struct ReportingPeriods;
class RequestTrace;
class RunControl;
class ServiceAccounts;

// Everything a service's controller needs from the program, handed to it
// instead of the main window: the log and the trace its requests write to,
// the prompts, the event pump, the file dialogs, the endpoints, the
// accounts, the check-run frame, the report tables, the busy state and the
// reporting periods. A test builds one from fakes without a window.
struct ServiceContext {
    ActivityLog &log;
    RequestTrace &trace;
    MessagePrompt &prompt;
    EventPump &events;
    FileDialogs &files;
    const Endpoints &endpoints;
    QString appFolder; // where file dialogs open, with a trailing "/"
    ServiceAccounts &accounts;
    RunControl &run;
    ReportPages &reports;
    BusyState &busy;
    // The periods of the Google and the Yandex Metrika pickers; a request
    // reads the days when it is sent.
    ReportingPeriods &periods;

    // An exchange that writes to the log and the trace, keeps the window
    // painting while it waits and can be abandoned by "Cancel".
    ServiceExchange makeExchange() const;

    // Whether a new request may start now. While a request or a check runs,
    // the action is refused with a line in the log, so nothing runs nested
    // inside another request.
    bool idleOrRefuse() const;
};

} // namespace veltrano
