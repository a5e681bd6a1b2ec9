#pragma once

#include <QLoggingCategory>
#include <QStringList>

Q_DECLARE_LOGGING_CATEGORY(lcRequestTrace)

namespace veltrano {

// The hidden request trace: raw requests, answers and sign-in details are
// appended here for diagnosis. Nothing in the program reads it back; each
// line also goes to the "veltrano.trace" logging category (off by default).
class RequestTrace final {
public:
    void add(const QString &line);
    void clear() { m_lines.clear(); }
    const QStringList &lines() const { return m_lines; }
    QString text() const { return m_lines.join(QLatin1Char('\n')); }

private:
    QStringList m_lines;
};

} // namespace veltrano
