#include "net/ServiceExchange.h"

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/VeltranoError.h"
#include "net/RequestTrace.h"

namespace veltrano {

ServiceExchange::ServiceExchange(ActivityLog &log, RequestTrace &trace, QString extraCaFile, EventPump *pump)
    : m_log(log), m_trace(trace), m_extraCaFile(std::move(extraCaFile)), m_pump(pump)
{
}

QString ServiceExchange::logLine(const QString &label, int status, const QString &reason)
{
    return label + QString::number(status) + QLatin1Char(' ') + reason;
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
    HttpClient::Options clientOptions;
    clientOptions.readTimeout = m_readTimeout;
    clientOptions.extraCaFile = m_extraCaFile;
    clientOptions.pump = m_pump;
    clientOptions.cancel = m_busy ? m_busy->abortFlag() : nullptr;
    HttpResponse response = [&] {
        const BusyState::Hold busy(m_busy);
        return HttpClient(clientOptions).send(request);
    }();
    if (response.cancelled)
        throw RequestAborted();

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
    return result;
}

} // namespace veltrano
