#pragma once

#include "app/BusyState.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>

namespace veltrano {


// Runs a step on the thread of a QObject (the window's thread) from another
// thread and waits until it has run. Used by the sign-in listener: every step
// that touches a window, the log or the settings file runs on the GUI thread
// while the connection thread waits.
//
// The wait never deadlocks a closing program: when the stop flag is raised
// before the GUI thread has picked the step up, the step is abandoned (it will
// never run) and run() returns false.
class GuiThreadSteps final {
public:
    explicit GuiThreadSteps(QObject *guiContext);

    // Returns true when the step ran; an exception the step threw is rethrown
    // on the calling thread. Called on the GUI thread itself, it runs the step
    // directly.
    bool run(const std::function<void()> &step, const std::atomic<bool> *stopping) const;

    // While the program is busy with a request or a check, a step from
    // another thread waits until it is idle again, so it never runs nested
    // inside the request (the window pumps events while it waits).
    void setBusyState(BusyState *busy) { m_busy = busy; }

private:
    QPointer<QObject> m_context;
    QPointer<BusyState> m_busy;
};

} // namespace veltrano
