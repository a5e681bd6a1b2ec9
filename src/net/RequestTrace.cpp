#include "net/RequestTrace.h"

Q_LOGGING_CATEGORY(lcRequestTrace, "veltrano.trace", QtWarningMsg)

namespace veltrano {

void RequestTrace::add(const QString &line)
{
    m_lines << line;
    qCDebug(lcRequestTrace).noquote() << line;
}

} // namespace veltrano
