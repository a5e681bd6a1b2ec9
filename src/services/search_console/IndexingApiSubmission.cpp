#include "services/search_console/IndexingApiSubmission.h"

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"

namespace veltrano {

QString IndexingApiSubmission::notifyTimeText(const QString &notifyTime)
{
    const qsizetype t = notifyTime.indexOf(QLatin1Char('T'));
    if (t < 0)
        return notifyTime;
    return notifyTime.left(t) + QLatin1Char(' ') + notifyTime.mid(t + 1, 8);
}

IndexingNotification IndexingApiSubmission::readNotification(const JsonDocument &doc)
{
    const JsonValue &metadata = doc.root().requireMember("urlNotificationMetadata");
    const JsonValue &latestUpdate = metadata.requireMember("latestUpdate");
    return {metadata.memberText("url"), latestUpdate.memberText("type"),
            notifyTimeText(latestUpdate.memberText("notifyTime"))};
}

QString IndexingApiSubmission::errorLine(const GoogleError &error, const QString &pageUrl)
{
    return kErrorLabel + error.code + QStringLiteral(" - ") + error.message + QStringLiteral(" - ") + pageUrl;
}

bool IndexingApiSubmission::endsRun(const GoogleError &error, const ExchangeResult &answer)
{
    for (const int status : {401, 429}) {
        if (error.code == QString::number(status) || answer.status == status)
            return true;
    }
    return false;
}

IndexingApiSubmission::Result IndexingApiSubmission::run(const QString &token, const QStringList &pageUrls,
                                                         const Ports &ports)
{
    ActivityLog &log = m_client.exchange().log();
    RequestTrace &trace = m_client.exchange().trace();
    const auto cancelled = [&] { return ports.cancelRequested && ports.cancelRequested(); };

    for (const QString &pageUrl : pageUrls) {
        const ExchangeResult answer = m_client.publishUrlUpdated(token, pageUrl);
        trace.add(pageUrl + QStringLiteral("\n\r\n\r") + answer.text);

        JsonDocument doc;
        try {
            doc = serviceanswer::parseObject(QStringLiteral("Google Indexing API"), answer);
        } catch (const VeltranoError &error) {
            return {Outcome::Unusable, error.message(), {}};
        }
        if (const std::optional<GoogleError> error = GoogleError::of(answer, doc)) {
            log.addToLog(errorLine(*error, pageUrl));
            if (endsRun(*error, answer))
                return {Outcome::Refused, {}, error->code == QLatin1String("401") || answer.status == 401
                                                  ? QStringLiteral("401")
                                                  : QStringLiteral("429")};
        } else {
            try {
                const IndexingNotification notification = readNotification(doc);
                if (ports.accepted)
                    ports.accepted(notification);
            } catch (const VeltranoError &error) {
                return {Outcome::Unusable, error.message(), {}};
            }
        }

        ports.events.processPendingEvents();
        ports.events.pause(kPause, cancelled);
        if (ports.advanced)
            ports.advanced();
        if (cancelled()) {
            log.addToLog(kCancelledLine);
            return {Outcome::Cancelled, {}, {}};
        }
    }
    return {Outcome::Completed, {}, {}};
}

} // namespace veltrano
