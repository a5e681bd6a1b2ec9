#include "net/RequestTrace.h"

Q_LOGGING_CATEGORY(lcRequestTrace, "veltrano.trace", QtWarningMsg)

namespace veltrano {

void RequestTrace::add(const QString &line)
{
    if (WorkerRow *row = WorkerRow::current()) {
        row->hold(*this, line);
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_lines << line;
    }
    qCDebug(lcRequestTrace).noquote() << line;
}

void RequestTrace::clear()
{
    const std::lock_guard lock(m_mutex);
    m_lines.clear();
}

QString RequestTrace::text() const
{
    const std::lock_guard lock(m_mutex);
    return m_lines.join(QLatin1Char('\n'));
}

} // namespace veltrano
