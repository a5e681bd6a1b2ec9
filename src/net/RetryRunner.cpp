#include "net/RetryRunner.h"

#include "app/ActivityLog.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"

#include <QRandomGenerator>

#include <thread>

namespace veltrano {

namespace {

constexpr QLatin1String kHttpCode{" - HTTP Code: "};

} // namespace

QString RetryRunner::secondsText(std::chrono::milliseconds wait)
{
    return QString::number((qMax<qint64>(0, wait.count()) + 999) / 1000) + QStringLiteral(" s");
}

QString RetryRunner::waitLine(const QString &label, const HttpResponse &response, std::chrono::milliseconds wait,
                              int nextTry, int tries)
{
    QString line;
    if (RetryPolicy::reasonToRetry(response) == RetryPolicy::Reason::NoAnswer) {
        // The service's name without the "HTTP Code" part: no code came.
        const qsizetype cut = label.indexOf(kHttpCode);
        line = (cut < 0 ? label : label.left(cut)) + QStringLiteral(" - no answer (") + response.failure +
               QLatin1Char(')');
    } else {
        line = label + QString::number(response.status) + QLatin1Char(' ') + response.reason;
        if (response.status == 429)
            line += QStringLiteral(", quota exceeded");
    }
    return line + QStringLiteral(", trying again in ") + secondsText(wait) +
           QStringLiteral(" (%1/%2)").arg(nextTry).arg(tries);
}

RetryRunner::Outcome RetryRunner::run(const QString &label, const std::function<HttpResponse()> &attempt)
{
    Outcome outcome;
    for (;;) {
        outcome.response = attempt();
        ++outcome.tries;
        if (outcome.response.cancelled)
            return outcome;
        const RetryPolicy::Reason reason = RetryPolicy::reasonToRetry(outcome.response);
        if (reason == RetryPolicy::Reason::None)
            return outcome;
        // "Cancel" came while a failed answer was on its way: no wait line
        // and no refusal for the row, the run ends as cancelled.
        if (aborted())
            throw RequestAborted();
        const int tries = m_policy.triesFor(reason);
        if (outcome.tries >= tries) {
            outcome.gaveUp = true;
            return outcome;
        }
        const std::chrono::milliseconds pause =
            m_policy.waitBefore(outcome.tries, outcome.response.retryAfter, QDateTime::currentDateTimeUtc(),
                                QRandomGenerator::global()->generateDouble());
        m_ports.log.addToLog(waitLine(label, outcome.response, pause, outcome.tries + 1, tries));
        if (m_ports.progress)
            m_ports.progress->showWaiting(QStringLiteral("Waiting %1 before try %2/%3")
                                              .arg(secondsText(pause))
                                              .arg(outcome.tries + 1)
                                              .arg(tries));
        try {
            wait(pause);
        } catch (...) {
            if (m_ports.progress)
                m_ports.progress->showWaiting(QString());
            throw;
        }
        if (m_ports.progress)
            m_ports.progress->showWaiting(QString());
    }
}

void RetryRunner::wait(std::chrono::milliseconds duration) const
{
    if (aborted())
        throw RequestAborted();
    if (m_ports.pump) {
        m_ports.pump->pause(duration, [this] { return aborted(); });
    } else {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + duration;
        while (!aborted() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::min<Clock::duration>(deadline - Clock::now(), std::chrono::milliseconds(10)));
    }
    if (aborted())
        throw RequestAborted();
}

} // namespace veltrano
