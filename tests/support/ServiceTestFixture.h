#pragma once

// What a unit test of a check, a client or the sign-in needs around the code
// it tests, in two layers:
//
// - RunTestFixture: the activity log and the run frame (RunControl) with its
//   ports as stand-ins: message prompts that record, the window's events,
//   the progress bar. Core app only.
// - ServiceTestFixture: that, plus the service simulator on a loopback port
//   with the token registry its modules share, the request trace and the
//   exchange that writes the log and the trace, as the program sends its
//   requests.
//
// A test's own fixture derives from one of them, adds the simulator modules,
// the client and the table it tests, installs the modules and then starts
// the simulator. The event pump and the progress bar are type parameters,
// since tests act through them (cancel at a chosen step, count steps, read
// the progress maximum).

#include "app/ActivityLog.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"

#include "SimServer.h"
#include "services/TokenRegistry.h"
#include "support/RecordingPorts.h"

#include <QString>

#include <memory>

namespace veltrano::testing {

// The window's events when a test has nothing to do between the steps.
struct NoEvents final : EventPump {
    void processPendingEvents() override {}
    void keepPainting() override {}
};

template <typename Events = NoEvents, typename Progress = RecordingProgress> struct RunTestFixture {
    ActivityLog log;
    RecordingPrompt prompt;
    Events events;
    Progress progress;
    RunControl run{log, events, prompt, progress};
};

template <typename Events = NoEvents, typename Progress = RecordingProgress>
struct ServiceTestFixture : RunTestFixture<Events, Progress> {
    sim::SimServer sim;
    std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
    RequestTrace trace;
    // Retries wait no time here: the tests look at what is tried, not how long.
    ServiceExchange exchange = [this] {
        ServiceExchange e{this->log, trace};
        RetryPolicy retry;
        retry.firstDelay = std::chrono::milliseconds(0);
        e.setRetryPolicy(retry);
        return e;
    }();

    // The simulator's address followed by path ("/yandex-metrika"): where a
    // client finds the module installed under that prefix.
    QString simUrl(const QString &path = QString()) const { return QString::fromStdString(sim.baseUrl()) + path; }
    std::vector<sim::RecordedRequest> requests() const { return sim.requests(); }
};

} // namespace veltrano::testing
