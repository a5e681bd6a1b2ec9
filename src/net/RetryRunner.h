#pragma once

#include "net/HttpClient.h"
#include "net/RetryPolicy.h"

#include <QString>

#include <atomic>
#include <functional>

namespace veltrano {

class ActivityLog;
class EventPump;
class ProgressReporter;

// Sends one service request as often as its RetryPolicy allows. Between two
// tries it writes one log line in the service's words with the wait and the
// try to come, e.g.
//   "Google Search Console - HTTP Code: 429 Too Many Requests, quota
//    exceeded, trying again in 4 s (2/5)",
// shows the wait on the progress bar, and waits with the window painting and
// answering clicks; a raised abort flag ends the wait within a few tens of
// milliseconds (RequestAborted).
class RetryRunner final {
public:
    struct Ports {
        ActivityLog &log;
        EventPump *pump = nullptr;                 // none: the wait sleeps in short steps
        const std::atomic<bool> *abort = nullptr;  // "Cancel", or the program closing
        ProgressReporter *progress = nullptr;      // shows the wait
    };
    struct Outcome {
        HttpResponse response;
        int tries = 0;
        bool gaveUp = false; // the last answer was still worth a try, but none was left
    };

    RetryRunner(const RetryPolicy &policy, Ports ports) : m_policy(policy), m_ports(ports) {}

    // label: the service's log label, "Google Search Console - HTTP Code: ".
    Outcome run(const QString &label, const std::function<HttpResponse()> &attempt);

    // The log line of a wait before try `nextTry` of `tries`.
    static QString waitLine(const QString &label, const HttpResponse &response, std::chrono::milliseconds wait,
                            int nextTry, int tries);
    // "4 s": whole seconds, rounded up.
    static QString secondsText(std::chrono::milliseconds wait);

private:
    // Waits; throws RequestAborted when the abort flag rises meanwhile.
    void wait(std::chrono::milliseconds duration) const;
    bool aborted() const { return m_ports.abort && m_ports.abort->load(); }

    RetryPolicy m_policy;
    Ports m_ports;
};

} // namespace veltrano
