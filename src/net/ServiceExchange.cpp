#include "net/ServiceExchange.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/VeltranoError.h"
#include "app/WorkerRow.h"
#include "net/AccessRenewal.h"
#include "net/DailyQuota.h"
#include "net/RequestTrace.h"
#include "net/RetryRunner.h"

namespace veltrano {

ServiceExchange::ServiceExchange(ActivityLog &log, RequestTrace &trace, QString extraCaFile, EventPump *pump)
    : m_log(log), m_trace(trace), m_extraCaFile(std::move(extraCaFile)), m_pump(pump)
{
}

QString ServiceExchange::logLine(const QString &label, int status, const QString &reason)
{
    return label + QString::number(status) + QLatin1Char(' ') + reason;
}

QString ServiceExchange::giveUpText(const QString &label)
{
    const qsizetype cut = label.indexOf(QLatin1String(" - HTTP Code: "));
    return QStringLiteral("%1 gave no usable answer to %2 requests in a row, each tried %3 times. The run stops here "
                          "so as not to spend the quota; try again later.")
        .arg(cut < 0 ? label : label.left(cut))
        .arg(kGiveUpsInARow)
        .arg(RetryPolicy().maxTries);
}

ExchangeResult ServiceExchange::get(const QString &label, const QString &url, const QStringList &headerLines,
                                    Options options)
{
    return send(label, HttpRequest{"GET", url, headerLines, {}}, options);
}

ExchangeResult ServiceExchange::post(const QString &label, const QString &url, const QStringList &headerLines,
                                     const QString &jsonBody, Options options)
{
    return send(label, HttpRequest{"POST", url, headerLines, jsonBody.toUtf8()}, options);
}

ExchangeResult ServiceExchange::send(const QString &label, const HttpRequest &request, Options options)
{
    if (!m_renewal)
        return sendOnce(label, request, options);
    // A token about to expire is renewed first; a refused one once, after
    // which the request goes out again with the new token.
    HttpRequest authorized = request;
    m_renewal->beforeSend(authorized, clientOptions());
    ExchangeResult result = sendOnce(label, authorized, options);
    if (result.status == 401 && m_renewal->renewAfterRefusal(authorized, clientOptions()))
        result = sendOnce(label, authorized, options);
    return result;
}

HttpClient::Options ServiceExchange::clientOptions() const
{
    HttpClient::Options options;
    options.readTimeout = m_readTimeout;
    options.extraCaFile = m_extraCaFile;
    if (const WorkerRow *row = WorkerRow::current()) {
        // A worker thread has no window to keep painting; the run's stop
        // flag follows "Cancel" and ends the run's other requests too.
        options.cancel = row->stopFlag();
    } else {
        options.pump = m_pump;
        options.cancel = m_busy ? m_busy->abortFlag() : nullptr;
    }
    return options;
}

ExchangeResult ServiceExchange::sendOnce(const QString &label, const HttpRequest &request, Options options)
{
    const HttpClient::Options transport = clientOptions();
    WorkerRow *const worker = WorkerRow::current();
    // Busy for the whole of the tries, the waits between them included (a
    // run with requests on worker threads holds it for all of them).
    const BusyState::Hold busy(worker ? nullptr : m_busy);
    const RetryRunner::Ports ports{m_log, worker ? nullptr : m_pump, transport.cancel,
                                   worker ? nullptr : m_progress};
    RetryRunner::Outcome outcome = RetryRunner(m_retry, ports).run(label, [&] {
        // Every try takes its turn within the service's per-minute limit.
        if (worker && !worker->waitTurn()) {
            HttpResponse stopped;
            stopped.cancelled = true;
            return stopped;
        }
        return HttpClient(transport).send(request);
    });
    HttpResponse &response = outcome.response;
    if (response.cancelled)
        throw RequestAborted();
    const int giveUps = outcome.gaveUp ? ++m_giveUps.inARow : (m_giveUps.inARow = 0);

    ExchangeResult result;
    result.status = response.status;
    result.reason = response.reason;
    result.text = QString::fromUtf8(response.body);
    result.body = std::move(response.body);
    result.headers = std::move(response.headers);

    if (options.writeTrace) {
        m_trace.add(QString());
        m_trace.add(QStringLiteral("HTTP Code: ") + QString::number(result.status) + QLatin1Char(' ') +
                    result.reason);
    }
    if (options.writeLog)
        m_log.addToLog(logLine(label, result.status, result.reason));
    if (m_stopOnSpentQuota) {
        if (std::optional<QuotaSpent> spent =
                DailyQuota::spentIn(result.status, result.body, QDateTime::currentDateTimeUtc()))
            throw *spent;
    }
    if (giveUps >= kGiveUpsInARow) {
        m_giveUps.inARow = 0;
        throw VeltranoError(giveUpText(label));
    }
    return result;
}

} // namespace veltrano
