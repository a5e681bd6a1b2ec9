#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

namespace veltrano {

class JsonValue;
class YandexWebmasterClient;

// The popular search queries of a Yandex Webmaster site over the last 360
// days, 500 per request, as rows of the "YWM Keywords" window: "Query", "ID",
// "TOTAL SHOWS", "TOTAL CLICKS", "AVG SHOW POSITION", "AVG CLICK POSITION".
class YandexPopularQueries final {
public:
    static constexpr int kPageSize = 500;
    // Yandex keeps a site's top 3000 queries.
    static constexpr int kMaxQueries = 3000;
    static const QStringList &columnCaptions();

    explicit YandexPopularQueries(YandexWebmasterClient &client);

    // Fetches every page. With "count" in the answer, paging ends when the
    // offset reaches it or a page brings no queries. Without it (Yandex's
    // example answer has none), paging goes on while a page brings a full
    // 500 queries, up to the top 3000. An answer with neither "count" nor
    // "queries" (an error answer of the service, no answer at all) raises
    // "Value 'count' not found"; one with "count" but no "queries" raises
    // "Value 'queries' not found", unless it has a member "error" (no rows
    // are taken from then on).
    std::vector<QStringList> fetch(const QString &token, const QString &hostId, const QDate &today);

    static QString pageCommand(const QString &hostId, int offset, const QDate &today);
    // One row from an element of "queries". An indicator that is left out
    // or null (Yandex leaves out values that are not defined) shows as 0 and
    // 0.00. False when "query_text", "query_id" or the "indicators" object is
    // missing, or an indicator is neither a number nor null.
    static bool rowFromQuery(const JsonValue &query, QStringList &row);

private:
    YandexWebmasterClient &m_client;
};

} // namespace veltrano
