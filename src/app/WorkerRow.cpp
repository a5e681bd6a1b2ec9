#include "app/WorkerRow.h"

#include "app/RequestPacer.h"

namespace veltrano {

namespace {
thread_local WorkerRow *t_current = nullptr;
}

WorkerRow *WorkerRow::current()
{
    return t_current;
}

WorkerRow::Scope::Scope(WorkerRow &row) : m_previous(t_current)
{
    t_current = &row;
}

WorkerRow::Scope::~Scope()
{
    t_current = m_previous;
}

void WorkerRow::writeHeldLines()
{
    // Taken out first: a target that writes on to the log must not find
    // this row current (it is not: the GUI thread has none), and a second
    // call writes nothing twice.
    auto lines = std::exchange(m_lines, {});
    for (auto &[target, line] : lines)
        target->writeLine(line);
}

bool WorkerRow::waitTurn()
{
    return m_pacer ? m_pacer->waitTurn(m_stop) : !stopped();
}

} // namespace veltrano
