#pragma once

#include "services/ahrefs/AhrefsV3Client.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

namespace veltrano {

class CheckContext;
class ReportTable;

// "Check URL" on the Ahrefs report with API v3. Each row's URL is asked
// about in exact mode:
//   site-explorer/crawled-pages  select=url,url_rating,http_code,title, limit=1
//     -> "Indexed" (Ahrefs has crawled the page), the URL Rating in the rank
//        column (captioned "UR"), the HTTP code and the title;
//   site-explorer/backlinks-stats  date=<today>, answered under "metrics"
//     -> the live referring domains and live backlinks, in the two link
//        columns (captioned "Ref. Domains" and "Backlinks"), for v3 counts no
//        links on a page; asked only for a page Ahrefs knows.
// - No page ("pages": []): "No" and five empty cells.
// - No usable answer (not JSON, XML, no "pages" list, no "metrics" object):
//   six empty cells and the line "Ahrefs Error Get Object Data: i/n".
// - The service's error on a row's own request (400: the row's address is
//   refused): the row's cells stay empty and the log says why.
// - A refused key (401), a missing permission (403) or too many requests
//   (429) after the tries: the check ends with "Ahrefs Error: <text> (HTTP
//   ..)", since every further row would get the same answer.
// - Spent units (403): the run stops as for any spent quota, naming when the
//   key's units renew; the rows not reached can be continued then.
// A row refused or unusable is a failed row; "continue" takes it again.
// The units every answer states it costs are summed and logged at the end.
class AhrefsV3UrlCheck final {
public:
    static constexpr int kColumns = 6;
    using Today = std::function<QDate()>;

    explicit AhrefsV3UrlCheck(AhrefsV3Client &client);

    // The captions of the report's columns (URL first) as v3 fills them; an
    // empty text keeps the layout's caption.
    static QStringList captions();

    struct Inputs {
        QString key;
        QString site;
        QDate unitsResetDate; // from the limits answer read before the run, when known
    };

    void run(CheckContext &context, ReportTable &table, const Inputs &inputs);

    // The key's units used this month (the free limits-and-usage answer),
    // in words for the tab and the log, and the day they renew.
    struct UnitsLeft {
        QString text;
        QDate resetDate;
    };
    static UnitsLeft readUnitsLeft(AhrefsV3Client &client, const QString &key);
    // The run as "Check URL" starts it: for a key that can be sent and a
    // table with rows, the units left are read first and logged (and shown
    // through showUnits), so that spent units name the day they renew.
    void runReadingUnits(CheckContext &context, ReportTable &table, Inputs inputs,
                         const std::function<void(const QString &)> &showUnits = {});

    // The check's name in the run frame and the saved row states.
    static QString checkName() { return QStringLiteral("Check Ahrefs"); }
    void setToday(Today today) { m_today = std::move(today); }

    static AhrefsV3Query pageQuery(const QString &url);
    static AhrefsV3Query linksQuery(const QString &url, const QDate &day);

    // How one answer reads for its row.
    struct RowAnswer {
        enum class Kind { Found, NotFound, Unusable, RowError, ServiceError };
        Kind kind = Kind::Unusable;
        QStringList cells; // kColumns texts for Found, NotFound and Unusable
        QString error;     // RowError and ServiceError: as the user reads it
    };
    // The crawled-pages answer. Found carries "Yes", the rating, the code,
    // two empty link cells and the title.
    static RowAnswer readPage(const ExchangeResult &answer);
    // The backlinks-stats answer: on success cells holds the two link
    // figures (referring domains, backlinks).
    static RowAnswer readLinks(const ExchangeResult &answer);

    // Each row names its own page: the check needs the key only.
    static QString fillInFieldsText() { return QStringLiteral("Please enter the Ahrefs API key on Settings > Ahrefs"); }

private:
    static RowAnswer errorAnswer(const QString &serviceError, const ExchangeResult &answer);

    AhrefsV3Client &m_client;
    Today m_today = [] { return QDate::currentDate(); };
};

} // namespace veltrano
