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
    static const QStringList &columnCaptions();

    explicit YandexPopularQueries(YandexWebmasterClient &client);

    // Fetches every page: paging ends when the offset reaches "count" or a
    // page brings no queries. An answer without "count" raises an error.
    std::vector<QStringList> fetch(const QString &token, const QString &hostId, const QDate &today);

    static QString pageCommand(const QString &hostId, int offset, const QDate &today);
    // One row from an element of "queries"; false when a member is missing,
    // not a number where one is needed, or the show position is null.
    static bool rowFromQuery(const JsonValue &query, QStringList &row);

private:
    YandexWebmasterClient &m_client;
};

} // namespace veltrano
