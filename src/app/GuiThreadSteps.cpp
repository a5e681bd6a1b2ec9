#include "app/GuiThreadSteps.h"

#include "app/BusyState.h"

#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

namespace veltrano {

namespace {

struct StepState {
    enum class Phase { Pending, Running, Done, Abandoned };
    std::mutex mutex;
    std::condition_variable changed;
    Phase phase = Phase::Pending;
    std::exception_ptr error;
};

} // namespace

GuiThreadSteps::GuiThreadSteps(QObject *guiContext) : m_context(guiContext) {}

bool GuiThreadSteps::run(const std::function<void()> &step, const std::atomic<bool> *stopping) const
{
    QObject *context = m_context.data();
    if (!context)
        return false;
    if (QThread::currentThread() == context->thread()) {
        step();
        return true;
    }

    auto state = std::make_shared<StepState>();
    auto body = std::make_shared<std::function<void()>>();
    *body = [state, step, context, busy = m_busy, body = std::weak_ptr<std::function<void()>>(body)] {
            if (busy && busy->isBusy()) {
                // Come back through the event loop once the request or the
                // check has ended; an abandoned step is dropped then.
                QObject::connect(
                    busy.data(), &BusyState::becameIdle, context,
                    [body, context] {
                        if (auto again = body.lock())
                            QMetaObject::invokeMethod(context, [again] { (*again)(); }, Qt::QueuedConnection);
                    },
                    Qt::SingleShotConnection);
                return;
            }
            {
                std::lock_guard<std::mutex> lock(state->mutex);
                if (state->phase == StepState::Phase::Abandoned)
                    return;
                state->phase = StepState::Phase::Running;
            }
            std::exception_ptr error;
            try {
                step();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(state->mutex);
            state->error = error;
            state->phase = StepState::Phase::Done;
            state->changed.notify_all();
    };
    const bool queued = QMetaObject::invokeMethod(context, [body] { (*body)(); }, Qt::QueuedConnection);
    if (!queued)
        return false;

    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        if (state->phase == StepState::Phase::Done) {
            if (state->error)
                std::rethrow_exception(state->error);
            return true;
        }
        // A step the GUI thread is running is waited for to its end; one it
        // has not started yet is given up when the program stops.
        if (state->phase == StepState::Phase::Pending && stopping && *stopping) {
            state->phase = StepState::Phase::Abandoned;
            return false;
        }
        state->changed.wait_for(lock, std::chrono::milliseconds(20));
    }
}

} // namespace veltrano
