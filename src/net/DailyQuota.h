#pragma once

#include "app/QuotaSpent.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

namespace veltrano {

// Recognises the answers that say a daily (or longer) quota is spent, as
// each service writes them:
// - Google: 429 RESOURCE_EXHAUSTED "Quota exceeded for quota metric
//   'Queries' and limit 'Queries per day' of service '...'"; it returns at
//   midnight Pacific time;
// - Yandex Metrika: 429 with the error type quota_requests_by_uid, the
//   user's requests of the day; it returns at 00:00 GMT.
// - Google Analytics 4: 429 RESOURCE_EXHAUSTED "Exhausted property tokens
//   per day" (back at midnight Pacific time) or "... per hour" (within the
//   hour, longer than any wait between tries).
// A per-minute quota is none of these: it is waited out (RetryPolicy).
class DailyQuota final {
public:
    static std::optional<QuotaSpent> spentIn(int status, const QByteArray &body, const QDateTime &nowUtc);

    // The next midnight in the Pacific time zone (daylight saving time
    // included), in UTC.
    static QDateTime nextPacificMidnight(const QDateTime &nowUtc);
    // The next 00:00 GMT.
    static QDateTime nextGmtMidnight(const QDateTime &nowUtc);
};

} // namespace veltrano
