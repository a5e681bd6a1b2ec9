#pragma once

#include "services/yandex_metrika/YandexMetrikaClient.h"

#include <QString>
#include <vector>

namespace veltrano {

// One Yandex Metrika counter as the counter list shows it.
struct YandexCounter {
    QString site; // "Domain"
    QString id;   // "ID", the counter's number as the service wrote it
};

// The account's counters (GET /management/v1/counters). The service lists
// up to 1 000 counters a page and says in "rows" how many there are in
// all; while it has more than were received, the next page is asked for
// ("?per_page=1000&offset=<next>"), and an empty page ends the list. Every
// answer goes to the trace. Only counters whose "status" is exactly
// "Active" are kept, sorted by site with the locale's case-sensitive order.
class YandexCounterList final {
public:
    static constexpr int kPageSize = 1000;

    // The counters, or VeltranoError:
    // - the service's error object: "Yandex Metrika Error - Code: N, message";
    // - an answer that is not JSON: the shared "no usable answer" text;
    // - a list or counter without a member it needs: "Value '<name>' not
    //   found".
    static std::vector<YandexCounter> fetch(YandexMetrikaClient &client, const QString &token);

    // The counters of one page, in the order of the answer, the active ones
    // only; rows is the service's count of all counters, received the
    // number of counters on the page.
    struct Page {
        std::vector<YandexCounter> active;
        qint64 rows = 0;
        qint64 received = 0;
    };
    static Page readPage(const ExchangeResult &answer);

    static void sortBySite(std::vector<YandexCounter> &counters);
};

} // namespace veltrano
