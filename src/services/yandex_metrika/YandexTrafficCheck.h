#pragma once

#include "services/yandex_metrika/YandexMetrikaClient.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace veltrano {

class CheckContext;
class ReportTable;
class ReportingPeriod;

// "Check YM" on the Yandex Metrika report: for every row's URL, five totals
// of the chosen counter over the chosen period, restricted to the visits
// that viewed that page (bytime, "group=all": one interval, so each total
// covers the whole period):
//   Visits, Users        the numbers as the service wrote them (140.0: 140)
//   Bounce Rate          one decimal, the user's decimal separator
//   Deep View            two decimals
//   Time on Page         "mm:ss" (NumberText::minutesSeconds)
// - An answer without usable totals (not JSON, the service's error object
//   for this page, totals of the wrong shape): the row's five cells are
//   emptied, for an earlier check's figures are not this one's, and the log
//   gets "Yandex Metrika Error Get Object Data: i/n", with " - Code: N,
//   message" when the answer is the service's error.
// - The service's error with code 401, 403 or 429 (token, counter, quota:
//   every further row would fail alike) ends the check with "Yandex Metrika
//   Error - Code: N, message"; the row keeps its cells.
class YandexTrafficCheck final {
public:
    static constexpr int kColumns = 5;

    explicit YandexTrafficCheck(YandexMetrikaClient &client);

    // What the check reads from the program. The period is read anew for
    // every row, so a change during the check applies to the rows after it.
    struct Inputs {
        QString counterId;                   // empty: no counter selected
        std::function<QString()> savedToken; // null: no account selected
        std::function<std::pair<QString, QString>()> period; // first and last day, "yyyy-mm-dd"
        // The counter's site ("example.com"): only rows on that host or its
        // "www." are sent, the others keep their cells. Empty: every row.
        QString counterSite;
    };

    void run(CheckContext &context, ReportTable &table, const Inputs &inputs);
    // The run over the Yandex Metrika period, read anew for every row. A
    // period turned round is refused before any request, once a counter is
    // chosen and the table has rows.
    void runOverPeriod(CheckContext &context, ReportTable &table, Inputs inputs, const ReportingPeriod &period);

    // The check's name in the run frame and the saved row states.
    static QString checkName() { return QStringLiteral("Check YM"); }

    // The bytime request for one page. The filter is percent-encoded as a
    // whole, and a quote or a backslash in the URL is escaped with a
    // backslash, so the service compares with that very URL.
    static QString url(const QString &apiHost, const QString &firstDay, const QString &lastDay,
                       const QString &counterId, const QString &pageUrl);
    // EXISTS(ym:pv:URL=*'<url>'), before percent-encoding.
    static QString filter(const QString &pageUrl);

    struct RowAnswer {
        enum class Kind { Filled, Unusable, EndCheck };
        Kind kind = Kind::Unusable;
        QStringList cells; // kColumns texts for Filled and Unusable
        QString error;     // "Code: N, message" of the service's error; empty otherwise
    };
    static RowAnswer readAnswer(const ExchangeResult &answer);

    static QString selectCounterText() { return QStringLiteral("Please select Website from Poject list"); }

private:
    YandexMetrikaClient &m_client;
};

} // namespace veltrano
