#include "net/RetryPolicy.h"

#include "net/DailyQuota.h"
#include "net/HttpClient.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace veltrano {

RetryPolicy RetryPolicy::analyticsReporting()
{
    RetryPolicy policy;
    policy.maxServerErrorTries = 2;
    return policy;
}

RetryPolicy RetryPolicy::never()
{
    RetryPolicy policy;
    policy.maxTries = 1;
    policy.maxServerErrorTries = 1;
    return policy;
}

RetryPolicy::Reason RetryPolicy::reasonToRetry(const HttpResponse &response)
{
    if (response.cancelled)
        return Reason::None;
    if (response.reason.isEmpty() && response.body.isEmpty() && !response.failure.isEmpty())
        return response.transient ? Reason::NoAnswer : Reason::None;
    switch (response.status) {
    case 429:
        // A spent daily quota does not come back within any wait worth making.
        if (DailyQuota::spentIn(response.status, response.body, QDateTime::currentDateTimeUtc()))
            return Reason::None;
        return Reason::Quota;
    case 500:
    case 502:
    case 503:
    case 504:
        return Reason::ServerError;
    default:
        return Reason::None;
    }
}

int RetryPolicy::triesFor(Reason reason) const
{
    switch (reason) {
    case Reason::None:
        return 1;
    case Reason::ServerError:
        return std::max(1, std::min(maxTries, maxServerErrorTries));
    case Reason::Quota:
    case Reason::NoAnswer:
        break;
    }
    return std::max(1, maxTries);
}

std::chrono::milliseconds RetryPolicy::backoff(int failedTries, double jitter01) const
{
    const int doublings = std::clamp(failedTries - 1, 0, 30);
    const double base = double(firstDelay.count()) * std::pow(2.0, doublings);
    const double jitter = std::clamp(jitter01, 0.0, 1.0) * double(firstDelay.count());
    const double total = std::min(base + jitter, double(longestDelay.count()));
    return std::chrono::milliseconds(qint64(std::max(0.0, total)));
}

std::optional<std::chrono::milliseconds> RetryPolicy::retryAfter(const QByteArray &value, const QDateTime &nowUtc)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    using std::chrono::milliseconds;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (text.size() > 9) // far beyond any sensible wait, and beyond an int
            return std::nullopt;
        const qint64 seconds = text.toLongLong();
        if (seconds > kLongestRetryAfter.count())
            return std::nullopt;
        return milliseconds(seconds * 1000);
    }
    // HTTP dates are English and in GMT whatever the locale.
    const QLocale c = QLocale::c();
    const QString date = QString::fromLatin1(text).simplified();
    QDateTime when;
    for (const QString &format : {QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"),
                                  QStringLiteral("dddd, dd-MMM-yy HH:mm:ss 'GMT'"),
                                  QStringLiteral("ddd MMM d HH:mm:ss yyyy")}) {
        when = c.toDateTime(date, format);
        if (when.isValid())
            break;
    }
    if (!when.isValid())
        return std::nullopt;
    when.setTimeSpec(Qt::UTC);
    if (when.date().year() < 100) // RFC 850's two-digit year
        when = when.addYears(when.date().year() < 70 ? 2000 : 1900);
    const qint64 ms = nowUtc.msecsTo(when);
    if (ms < 0 || ms > qint64(kLongestRetryAfter.count()) * 1000)
        return std::nullopt;
    return milliseconds(ms);
}

std::chrono::milliseconds RetryPolicy::waitBefore(int failedTries, const QByteArray &retryAfterValue,
                                                  const QDateTime &nowUtc, double jitter01) const
{
    if (const auto asked = retryAfter(retryAfterValue, nowUtc))
        return *asked;
    return backoff(failedTries, jitter01);
}

} // namespace veltrano
