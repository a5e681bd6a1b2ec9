#pragma once

#include <QString>

#include <atomic>
#include <utility>
#include <vector>

namespace veltrano {

class RequestPacer;

// Where a line of the activity log or of the request trace goes: the log
// and the trace implement it, so that a row's lines can be held and written
// later in the same order.
class LineTarget {
public:
    virtual void writeLine(const QString &line) = 0;

protected:
    ~LineTarget() = default;
};

// The row whose exchange a worker thread is making during a run with
// several requests in flight. While a WorkerRow is current on a thread:
// - the lines the exchange writes to the log and the trace are held here and
//   written, whole and in the order they came, when the row is applied on
//   the GUI thread (so the log reads as if the rows had been asked one after
//   another);
// - the exchange sends without the window's event pump and without the
//   program's busy hold (the run holds it), and ends when stopFlag rises
//   ("Cancel", a spent quota, the run's end);
// - every request out waits for its turn at the run's pacer, so that the
//   service's per-minute limit is kept.
class WorkerRow final {
public:
    WorkerRow(const std::atomic<bool> *stop, RequestPacer *pacer) : m_stop(stop), m_pacer(pacer) {}

    // The row of the calling thread's exchange, or none (the GUI thread, a
    // sequential run).
    static WorkerRow *current();

    // Makes row current on this thread for the scope's lifetime.
    class Scope final {
    public:
        explicit Scope(WorkerRow &row);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        WorkerRow *m_previous;
    };

    // Holds a line the row's exchange wrote.
    void hold(LineTarget &target, const QString &line) { m_lines.emplace_back(&target, line); }
    // Writes the held lines to their targets, in order (GUI thread).
    void writeHeldLines();

    const std::atomic<bool> *stopFlag() const { return m_stop; }
    bool stopped() const { return m_stop && m_stop->load(); }
    // Waits for the next request's turn; false when the run stopped meanwhile.
    bool waitTurn();

private:
    const std::atomic<bool> *m_stop;
    RequestPacer *m_pacer;
    std::vector<std::pair<LineTarget *, QString>> m_lines;
};

} // namespace veltrano
