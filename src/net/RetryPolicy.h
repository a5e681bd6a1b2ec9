#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <optional>

namespace veltrano {

struct HttpResponse;

// When a service request is tried again, and after how long.
//
// A rationed or briefly failing service answers 429, 500, 502, 503 or 504,
// or the connection is refused, reset, dropped or silent too long: such a
// request is tried again after a truncated exponential backoff with jitter
// (about 1 s, 2 s, 4 s ... never above 64 s), at most maxTries times in all.
// A Retry-After header, in seconds or as an HTTP date, sets the wait instead
// when it is a sensible one. Every other answer is final: 400, 403 and 404
// say something about the request, and 401 belongs to the token renewal.
struct RetryPolicy {
    int maxTries = 5;
    // Tries for a 5xx answer; a service that locks an account after a few
    // server errors an hour asks for fewer.
    int maxServerErrorTries = 5;
    std::chrono::milliseconds firstDelay{1000};
    std::chrono::milliseconds longestDelay{64000};
    // A Retry-After beyond this is not believed; the normal backoff holds.
    static constexpr std::chrono::seconds kLongestRetryAfter{15 * 60};

    // Google Analytics' reporting API: server errors at most twice, as ten
    // of them in an hour lock the property.
    static RetryPolicy analyticsReporting();
    // One try only.
    static RetryPolicy never();

    // Why the answer (or its absence) is worth another try; nothing when it
    // is final.
    enum class Reason { None, Quota, ServerError, NoAnswer };
    static Reason reasonToRetry(const HttpResponse &response);

    // How many tries the reason allows in all.
    int triesFor(Reason reason) const;

    // The wait before the next try after `failedTries` tries (1 after the
    // first) by the backoff alone; jitter01 in [0, 1) adds up to one first
    // delay. Never above longestDelay.
    std::chrono::milliseconds backoff(int failedTries, double jitter01) const;

    // The wait a Retry-After value asks for: whole seconds, or an HTTP date
    // (IMF-fixdate, RFC 850 or asctime form) counted from now. Nothing for a
    // value that is negative, not a number, a date in the past or beyond
    // kLongestRetryAfter.
    static std::optional<std::chrono::milliseconds> retryAfter(const QByteArray &value, const QDateTime &nowUtc);

    // The wait before the next try: the answer's Retry-After when it is
    // sensible, else the backoff.
    std::chrono::milliseconds waitBefore(int failedTries, const QByteArray &retryAfterValue, const QDateTime &nowUtc,
                                         double jitter01) const;
};

} // namespace veltrano
