#pragma once

#include "services/yandex_metrika/YandexMetrikaClient.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace veltrano {

class JsonValue;

// "Get All Keywords": the search phrases that brought visitors to a
// counter's site over a period, with the preset sources_search_phrases, in
// pages of 10 000 ("&offset=" 1, 10001, ...) until "total_rows" phrases
// were received or a page comes empty. One row per phrase: the phrase and
// five figures,
//   Visits, Users        the numbers as the service wrote them
//   Bounce Rate          two decimals, the user's decimal separator
//   Page Depth           two decimals
//   Avg Visit Duration   whole seconds, halves away from zero
// A phrase that cannot be read whole (a member missing, fewer than five
// figures, a figure that is not a number) leaves no row; its JSON goes to
// the trace. Every answer goes to the trace too.
class YandexSearchPhrases final {
public:
    static constexpr int kPageSize = 10000;
    static constexpr int kColumns = 6;

    // The rows, or VeltranoError: the service's error object ("Yandex
    // Metrika Error - Code: N, message"), an answer that is not JSON (the
    // shared "no usable answer"), no "total_rows" or "data".
    static std::vector<QStringList> fetch(YandexMetrikaClient &client, const QString &token,
                                          const QString &counterId, const QString &firstDay,
                                          const QString &lastDay);

    // The list's captions, as the keywords window and its export name them.
    static const QStringList &columnCaptions();

    static QString url(const QString &apiHost, const QString &firstDay, const QString &lastDay,
                       const QString &counterId, qint64 offset);

    struct Page {
        qint64 totalRows = 0;
        qint64 received = 0; // elements of "data", read or not
        std::vector<QStringList> rows;
        QStringList unreadable; // the JSON of the elements left out
    };
    static Page readPage(const ExchangeResult &answer);

    // The row of one element of "data"; empty when it cannot be read whole.
    static QStringList readPhrase(const JsonValue &element);
    // Compact JSON text of a value, for the trace.
    static QString jsonText(const JsonValue &value);
};

} // namespace veltrano
