#include "services/yandex_webmaster/YandexIndexingCheck.h"

#include "app/CheckContext.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "net/SiteScope.h"
#include "net/UrlKey.h"
#include "reports/ReportTable.h"
#include "services/shared/SiteRows.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

#include <QHash>

namespace veltrano {

YandexIndexingCheck::YandexIndexingCheck(YandexWebmasterClient &client) : m_client(client) {}

QString YandexIndexingCheck::samplesCommand(const QString &hostId, int offset)
{
    return QStringLiteral("hosts/%1/search-urls/in-search/samples?offset=%2&limit=%3")
        .arg(hostId)
        .arg(offset)
        .arg(kPageSize);
}

void YandexIndexingCheck::run(CheckContext &context, ReportTable &table, const QString &hostId, const QString *token,
                              const QString &siteName)
{
    if (hostId.isEmpty()) {
        context.prompt().show(MessagePrompt::Icon::None, applicationErrorTitle(),
                              QStringLiteral("Please select Website from Poject list"));
        return;
    }
    if (!token)
        return;
    // Only the site's own rows are answered: a page of another site is not
    // in this site's list, which says nothing about its indexing.
    const std::vector<int> onSite =
        rowsOnSite(context, table, SiteScope::ofYandexHostId(hostId).named(siteName.isEmpty() ? hostId : siteName));

    RequestTrace &trace = m_client.exchange().trace();
    trace.clear();
    trace.add(QStringLiteral("Get pages from \"host_id\": ") + hostId);

    // Key of an indexed URL -> title of its first sample. Rows and samples
    // meet through the URL key, so a report row written with a Cyrillic host,
    // capitals in the host or an explicit :443 still finds the page Yandex
    // lists in its ASCII form. Looking a row up costs O(1).
    QHash<QString, QString> titleOfUrl;
    for (int offset = 0;; offset += kPageSize) {
        const ExchangeResult answer = m_client.request(*token, samplesCommand(hostId, offset));
        serviceanswer::trace(trace, answer);
        const JsonDocument doc = YandexWebmasterClient::parseAnswer(answer);
        const JsonValue &samples =
            serviceanswer::read(answer, [&]() -> const JsonValue & { return doc.root().requireMember("samples"); });
        for (const JsonValue &sample : samples) {
            const QString key = UrlKey::of(sample.memberText("url"));
            const QString title = sample.memberText("title");
            if (!titleOfUrl.contains(key)) // the first sample of a URL wins
                titleOfUrl.insert(key, title);
        }
        if (context.processEventsAndTestCancel()) {
            context.logCancelled();
            return;
        }
        if (samples.size() == 0)
            break;
    }

    context.setProgressMaximum(int(onSite.size()));
    // The cells of a row, built once: a row costs no list of its own.
    QStringList indexed{QStringLiteral("Yes"), QString()};
    const QStringList notIndexed{QStringLiteral("No"), QString()};
    for (size_t index = 0; index < onSite.size(); ++index) {
        const int row = onSite[index];
        const auto found = titleOfUrl.constFind(UrlKey::of(table.url(row)));
        if (found != titleOfUrl.constEnd()) {
            indexed[1] = found.value();
            table.setRowCells(row, indexed);
        } else {
            table.setRowCells(row, notIndexed);
        }
        context.markRowAnswered(int(index));
        context.advanceProgress();
    }
    context.markReportDataReady();
}

} // namespace veltrano
