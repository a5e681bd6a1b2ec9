#include "services/yandex_webmaster/YandexPopularQueries.h"

#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"
#include "net/NumberText.h"
#include "net/RequestTrace.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

namespace veltrano {

namespace {

// An indicator's value. Yandex leaves an indicator out, or writes null, when
// its value is not defined (a query never clicked has no click position);
// either reads as 0. False for anything else that is not a number.
bool indicatorValue(const JsonValue &indicators, const char *name, double &value)
{
    value = 0;
    const JsonValue *member = indicators.member(name);
    if (!member || member->isNull())
        return true;
    bool ok = false;
    value = member->toDouble(&ok);
    return ok;
}

} // namespace

const QStringList &YandexPopularQueries::columnCaptions()
{
    static const QStringList captions{QStringLiteral("Query"),          QStringLiteral("ID"),
                                      QStringLiteral("TOTAL SHOWS"),    QStringLiteral("TOTAL CLICKS"),
                                      QStringLiteral("AVG SHOW POSITION"), QStringLiteral("AVG CLICK POSITION")};
    return captions;
}

YandexPopularQueries::YandexPopularQueries(YandexWebmasterClient &client) : m_client(client) {}

QString YandexPopularQueries::pageCommand(const QString &hostId, int offset, const QDate &today)
{
    const QString from = today.addDays(-360).toString(QStringLiteral("yyyy-MM-dd"));
    const QString to = today.toString(QStringLiteral("yyyy-MM-dd"));
    return QStringLiteral("hosts/%1/search-queries/popular?order_by=TOTAL_SHOWS&offset=%2&limit=%3"
                          "&date_from=%4&date_to=%5&query_indicator=TOTAL_SHOWS&query_indicator=TOTAL_CLICKS"
                          "&query_indicator=AVG_SHOW_POSITION&query_indicator=AVG_CLICK_POSITION")
        .arg(hostId)
        .arg(offset)
        .arg(kPageSize)
        .arg(from, to);
}

bool YandexPopularQueries::rowFromQuery(const JsonValue &query, QStringList &row)
{
    const JsonValue *text = query.member("query_text");
    const JsonValue *id = query.member("query_id");
    const JsonValue *indicators = query.member("indicators");
    if (!text || !id || !indicators || !indicators->isObject())
        return false;
    double showsValue, clicksValue, showPositionValue, clickPositionValue;
    if (!indicatorValue(*indicators, "TOTAL_SHOWS", showsValue) ||
        !indicatorValue(*indicators, "TOTAL_CLICKS", clicksValue) ||
        !indicatorValue(*indicators, "AVG_SHOW_POSITION", showPositionValue) ||
        !indicatorValue(*indicators, "AVG_CLICK_POSITION", clickPositionValue))
        return false;
    row = QStringList{text->text(),
                      id->text(),
                      NumberText::general(showsValue),
                      NumberText::general(clicksValue),
                      NumberText::fixed(showPositionValue, 2),
                      NumberText::fixed(clickPositionValue, 2)};
    return true;
}

std::vector<QStringList> YandexPopularQueries::fetch(const QString &token, const QString &hostId,
                                                     const QDate &today)
{
    RequestTrace &trace = m_client.exchange().trace();
    trace.add(QStringLiteral("Get pages from \"host_id\": ") + hostId);
    std::vector<QStringList> rows;
    bool serviceError = false;
    for (int offset = 0;;) {
        const ExchangeResult answer = m_client.request(token, pageCommand(hostId, offset, today));
        serviceanswer::trace(trace, answer);
        const JsonDocument doc = YandexWebmasterClient::parseAnswer(answer);
        const JsonValue &root = doc.root();
        // The number of queries in the whole list. Yandex's own example
        // answer has no "count"; paging then follows the page sizes. An
        // answer with neither "count" nor "queries" (the service's error
        // answer, no answer at all) is no page of the list: the message
        // adds the service's own words.
        const JsonValue *count = root.member("count");
        if (!count && !root.member("queries"))
            serviceanswer::read(answer, [&] { return root.requireMember("count").isNull(); });
        // Once the service reports an error, no rows are taken from this page
        // or any later one; the paging rule still decides when to stop.
        const JsonValue *error = root.member("error");
        if (error && !error->text().isEmpty())
            serviceError = true;
        qsizetype pageQueries = 0;
        if (!serviceError) {
            const JsonValue &queries = root.requireMember("queries");
            pageQueries = queries.size();
            for (const JsonValue &query : queries) {
                QStringList row;
                if (rowFromQuery(query, row))
                    rows.push_back(std::move(row));
            }
        } else if (const JsonValue *queries = root.member("queries")) {
            pageQueries = queries->size();
        }
        offset += kPageSize;
        if (count) {
            bool countOk = false;
            const double total = count->toDouble(&countOk);
            if (!countOk || offset >= total || pageQueries == 0)
                break;
        } else if (pageQueries < kPageSize || offset >= kMaxQueries) {
            break; // a page that was not full was the last one
        }
    }
    return rows;
}

} // namespace veltrano
