#include "services/yandex_metrika/YandexCounterList.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"

#include <QCollator>
#include <algorithm>

namespace veltrano {

namespace {

// The service's error object as the one message of a failed request.
[[noreturn]] void throwServiceError(const YandexMetrikaClient::ServiceError &error)
{
    throw VeltranoError(QStringLiteral("Yandex Metrika Error - ") + YandexMetrikaClient::codeText(error));
}

} // namespace

YandexCounterList::Page YandexCounterList::readPage(const ExchangeResult &answer)
{
    const JsonDocument doc = serviceanswer::parseObject(YandexMetrikaClient::kServiceName, answer);
    if (const auto error = YandexMetrikaClient::serviceError(doc, answer.status))
        throwServiceError(*error);
    const JsonValue &root = doc.root();
    const JsonValue &counters = root.requireMember("counters");
    Page page;
    page.received = counters.size();
    // Without a count the page is taken to be the whole list.
    page.rows = page.received;
    if (const JsonValue *rows = root.member("rows"); rows && rows->isNumber())
        page.rows = qint64(rows->toDouble());
    for (const JsonValue &counter : counters) {
        if (counter.memberText("status") != QLatin1String("Active"))
            continue;
        page.active.push_back({counter.memberText("site"), counter.memberText("id")});
    }
    return page;
}

void YandexCounterList::sortBySite(std::vector<YandexCounter> &counters)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::stable_sort(counters.begin(), counters.end(), [&](const YandexCounter &a, const YandexCounter &b) {
        return collator.compare(a.site, b.site) < 0;
    });
}

std::vector<YandexCounter> YandexCounterList::fetch(YandexMetrikaClient &client, const QString &token)
{
    const QString list = client.apiHost() + QStringLiteral("/management/v1/counters");
    std::vector<YandexCounter> counters;
    qint64 received = 0;
    QString command = list;
    for (;;) {
        const ExchangeResult answer = client.request(token, command);
        client.exchange().trace().add(QString());
        client.exchange().trace().add(answer.text);
        const Page page = readPage(answer);
        counters.insert(counters.end(), page.active.begin(), page.active.end());
        received += page.received;
        if (page.received == 0 || received >= page.rows)
            break;
        command = list + QStringLiteral("?per_page=%1&offset=%2").arg(kPageSize).arg(received + 1);
    }
    sortBySite(counters);
    return counters;
}

} // namespace veltrano
