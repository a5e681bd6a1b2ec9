#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

namespace veltrano {

class YandexWebmasterClient;

// The daily shows of one search query over the last 360 days, for the area
// chart of the "YWM Keywords" window.
struct YandexQueryHistory {
    struct Point {
        QString day; // "yyyy-mm-dd": the answer's date cut before "T"
        qint64 value = 0;
    };
    QString title;             // "Yandex Trends for "<query>" (last year)" or "... (No data)"
    std::vector<Point> points; // in the order of the answer
    qint64 maximum = 0;        // the largest value, 0 without points
    QString error;             // why reading stopped early; points before it stay

    static QString command(const QString &hostId, const QString &queryId, const QDate &today);

    // Asks for the history. No answer at all gives nothing (the chart keeps
    // what it shows); otherwise the trace holds the answer. An answer without
    // an "indicators" object raises an error.
    static std::optional<YandexQueryHistory> fetch(YandexWebmasterClient &client, const QString &token,
                                                   const QString &hostId, const QString &queryId,
                                                   const QString &queryText, const QDate &today);
};

} // namespace veltrano
