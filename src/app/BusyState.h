#pragma once

#include <QObject>

#include <atomic>

namespace veltrano {

// Whether the program is in the middle of a service request or a check run.
// While it is, actions that would start another request or change the
// accounts are refused, and a sign-in that completes meanwhile waits until
// the program is idle again: nothing runs nested inside a request.
class BusyState final : public QObject {
    Q_OBJECT
public:
    explicit BusyState(QObject *parent = nullptr) : QObject(parent) {}

    bool isBusy() const { return m_depth > 0; }

    // The flag the request in flight watches: raised, it abandons the
    // request within a few tens of milliseconds (see RequestAborted).
    const std::atomic<bool> *abortFlag() const { return &m_abort; }
    // "Cancel": the request in flight, and any later one of this run, ends.
    void abortRequests() { m_abort = true; }
    // The run is over: requests go through again, unless the program closes.
    void clearAbort()
    {
        if (!m_closing)
            m_abort = false;
    }
    // The window closes: every request from now on ends at once.
    void abortForClose()
    {
        m_closing = true;
        m_abort = true;
    }

    // Marks the program busy for the holder's lifetime; holds nest.
    class Hold final {
    public:
        explicit Hold(BusyState *state) : m_state(state)
        {
            if (m_state)
                ++m_state->m_depth;
        }
        ~Hold()
        {
            if (m_state && --m_state->m_depth == 0)
                Q_EMIT m_state->becameIdle();
        }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        BusyState *m_state;
    };

    // The text of the log line when an action is refused for being busy.
    static QString refusedLine() { return QStringLiteral("Please wait: a request is still running"); }

Q_SIGNALS:
    void becameIdle();

private:
    int m_depth = 0;
    bool m_closing = false;
    std::atomic<bool> m_abort{false};
};

} // namespace veltrano
