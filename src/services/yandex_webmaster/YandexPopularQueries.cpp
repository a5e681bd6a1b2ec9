#include "services/yandex_webmaster/YandexPopularQueries.h"

#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/RequestTrace.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

namespace veltrano {

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
    const JsonValue *shows = indicators->member("TOTAL_SHOWS");
    const JsonValue *clicks = indicators->member("TOTAL_CLICKS");
    const JsonValue *showPosition = indicators->member("AVG_SHOW_POSITION");
    const JsonValue *clickPosition = indicators->member("AVG_CLICK_POSITION");
    bool ok1 = false, ok2 = false, ok3 = false;
    const double showsValue = shows ? shows->toDouble(&ok1) : 0;
    const double clicksValue = clicks ? clicks->toDouble(&ok2) : 0;
    const double showPositionValue = showPosition ? showPosition->toDouble(&ok3) : 0;
    if (!ok1 || !ok2 || !ok3 || !clickPosition)
        return false;
    double clickPositionValue = 0; // a query never clicked has a null click position
    if (!clickPosition->isNull()) {
        bool ok4 = false;
        clickPositionValue = clickPosition->toDouble(&ok4);
        if (!ok4)
            return false;
    }
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
        trace.add(QString());
        trace.add(answer.text);
        trace.add(QString());
        const JsonDocument doc = YandexWebmasterClient::parseAnswer(answer);
        const JsonValue &root = doc.root();
        bool countOk = false;
        const double count = root.requireMember("count").toDouble(&countOk);
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
        if (!countOk || offset >= count || pageQueries == 0)
            break;
    }
    return rows;
}

} // namespace veltrano
