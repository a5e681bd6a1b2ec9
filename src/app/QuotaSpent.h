#pragma once

#include "app/VeltranoError.h"

#include <QDateTime>
#include <QString>

namespace veltrano {

// A daily or monthly quota of a service is spent: every further request
// until it returns would be refused alike, so the run stops here. It names
// the quota and when the service documents it to come back; the run frame
// adds how many rows were done and how many remain.
class QuotaSpent final : public VeltranoError {
public:
    // quota: which one, in the service's words ("Queries per day of
    // searchconsole.googleapis.com"); returnsAt: the next documented reset
    // (UTC); resetWords: that reset as the service states it ("midnight
    // Pacific time").
    QuotaSpent(const QString &quota, const QDateTime &returnsAt, const QString &resetWords)
        : VeltranoError(QStringLiteral("The quota %1 is spent").arg(quota)), m_quota(quota), m_returnsAt(returnsAt),
          m_resetWords(resetWords)
    {
    }

    const QString &quota() const { return m_quota; }
    const QDateTime &returnsAt() const { return m_returnsAt; }
    const QString &resetWords() const { return m_resetWords; }

    // The one message of a run that stopped for it: "The quota Queries per
    // day of searchconsole.googleapis.com is spent: 2000 rows were checked,
    // 500 remain. It returns at midnight Pacific time (2026-12-12 09:00 your
    // time); then click Check URL and choose Continue for the rows left."
    QString runMessage(int done, int remaining) const
    {
        const QString local = m_returnsAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        return QStringLiteral("The quota %1 is spent: %2 %3 checked, %4 %5. It returns at %6 (%7 your time); then "
                              "click Check URL and choose Continue for the rows left.")
            .arg(m_quota)
            .arg(done)
            .arg(done == 1 ? QStringLiteral("row was") : QStringLiteral("rows were"))
            .arg(remaining)
            .arg(remaining == 1 ? QStringLiteral("remains") : QStringLiteral("remain"))
            .arg(m_resetWords, local);
    }

private:
    QString m_quota;
    QDateTime m_returnsAt;
    QString m_resetWords;
};

} // namespace veltrano
