#pragma once

#include "net/HttpClient.h"
#include "net/RetryPolicy.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <optional>

namespace veltrano {

class AccessRenewal;
class ActivityLog;
class BusyState;
class EventPump;
class ProgressReporter;
class RequestTrace;

// What a service request brings back. The status is never judged here: an
// error answer comes back like any other and the caller decides by the
// members it finds.
struct ExchangeResult {
    int status = 500;
    QString reason;
    QByteArray body;
    QString text; // the body decoded from UTF-8 (invalid bytes become U+FFFD)
    // The answer's header lines ("Name", "value"), in the order they came.
    QList<QPair<QByteArray, QByteArray>> headers;

    // The value of the first header of that name (case-insensitive), or
    // nothing when the answer has none.
    std::optional<QByteArray> header(QByteArrayView name) const
    {
        for (const auto &[key, value] : headers) {
            if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return std::nullopt;
    }
};

struct ExchangeOptions {
    bool writeLog = true;   // the activity-log line
    bool writeTrace = true; // the two trace lines
};

// The one pattern every service request follows: a fresh HttpClient for the
// call, one synchronous request, the trace lines "" and "HTTP Code: <code>
// <reason>", and one activity-log line made of the service's label, the code,
// a blank and the reason, e.g. "Yandex Webmaster - HTTP Code: 200 OK" (after
// no answer: "Yandex Webmaster - HTTP Code: 500 ").
//
// A request the service rations or briefly fails (429, 5xx, no answer) is
// tried again as the RetryPolicy says (see RetryRunner); the lines above
// are written for the last try only. When requests are given up on that
// many times in a row, the service is taken to be down: send() raises
// VeltranoError rather than spend the rest of the quota on it.
//
// Safe to use from several threads at once. A request sent for a row on a
// worker thread (WorkerRow current) goes out when the run's pacer gives it
// its turn, ends when the run stops, waits between tries without the
// window's event pump, and its log and trace lines are held for its row.
class ServiceExchange final {
public:
    using Options = ExchangeOptions;
    static Options silent() { return {false, false}; }

    ServiceExchange(ActivityLog &log, RequestTrace &trace, QString extraCaFile = {},
                    EventPump *pump = nullptr);

    ExchangeResult get(const QString &label, const QString &url, const QStringList &headerLines,
                       Options options = {});
    // Sends jsonBody as UTF-8.
    ExchangeResult post(const QString &label, const QString &url, const QStringList &headerLines,
                        const QString &jsonBody, Options options = {});
    ExchangeResult send(const QString &label, const HttpRequest &request, Options options = {});

    // "<label><code> <reason>", the activity-log line of an answer.
    static QString logLine(const QString &label, int status, const QString &reason);

    // Tests shorten the wait for an answer.
    void setReadTimeout(std::chrono::milliseconds timeout) { m_readTimeout = timeout; }
    void setEventPump(EventPump *pump) { m_pump = pump; }
    // The program is busy while a request is in flight; a raised abort flag
    // abandons it, and send() raises RequestAborted instead of answering.
    void setBusyState(BusyState *busy) { m_busy = busy; }
    // Renews OAuth access tokens before they expire and once after a 401
    // (AccessRenewal); without one, requests go out as given.
    void setAccessRenewal(AccessRenewal *renewal) { m_renewal = renewal; }

    void setRetryPolicy(const RetryPolicy &policy) { m_retry = policy; }
    const RetryPolicy &retryPolicy() const { return m_retry; }
    // Where a wait before another try is shown.
    void setProgress(ProgressReporter *progress) { m_progress = progress; }
    // An answer saying a daily or monthly quota is spent (DailyQuota) raises
    // QuotaSpent instead of coming back, so that a run stops with one message
    // naming the quota. Off: the caller reads such an answer itself.
    void setStopOnSpentQuota(bool stop) { m_stopOnSpentQuota = stop; }
    static constexpr int kGiveUpsInARow = 20;
    // The message of a run that ends for that.
    static QString giveUpText(const QString &label);

    ActivityLog &log() const { return m_log; }
    RequestTrace &trace() const { return m_trace; }

private:
    HttpClient::Options clientOptions() const;
    ExchangeResult sendOnce(const QString &label, const HttpRequest &request, Options options);

    ActivityLog &m_log;
    RequestTrace &m_trace;
    QString m_extraCaFile;
    EventPump *m_pump;
    BusyState *m_busy = nullptr;
    AccessRenewal *m_renewal = nullptr;
    std::chrono::milliseconds m_readTimeout = HttpClient::kDefaultReadTimeout;
    RetryPolicy m_retry;
    ProgressReporter *m_progress = nullptr;
    // Counted by every thread that sends; an exchange stays copyable.
    struct GiveUps {
        std::atomic<int> inARow{0};
        GiveUps() = default;
        GiveUps(const GiveUps &other) : inARow(other.inARow.load()) {}
        GiveUps &operator=(const GiveUps &other)
        {
            inARow = other.inARow.load();
            return *this;
        }
    } m_giveUps;
    bool m_stopOnSpentQuota = false;
};

} // namespace veltrano
