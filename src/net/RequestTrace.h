#pragma once

#include "app/WorkerRow.h"

#include <QLoggingCategory>
#include <QStringList>

#include <mutex>

Q_DECLARE_LOGGING_CATEGORY(lcRequestTrace)

namespace veltrano {

// The hidden request trace: raw requests, answers and sign-in details are
// appended here for diagnosis. Nothing in the program reads it back; each
// line also goes to the "veltrano.trace" logging category (off by default).
//
// Lines may be added from several threads at once; those of a row's
// exchange on a worker thread (WorkerRow) are held for the row and added
// when it is applied, so that each row's lines stay together and in row
// order. Reading and clearing belong to the GUI thread between runs.
class RequestTrace final : public LineTarget {
public:
    void add(const QString &line);
    void writeLine(const QString &line) override { add(line); }
    void clear();
    const QStringList &lines() const { return m_lines; }
    QString text() const;

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

} // namespace veltrano
