#pragma once

#include "app/RequestLimits.h"
#include "net/GoogleError.h"
#include "net/ServiceExchange.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace veltrano {

class CheckContext;
class GoogleApiClient;
class JsonDocument;
class ReportTable;
struct SearchConsoleProperty;

// What the two checks of the Search Console report ("Check GSC" and "URL
// Inspection API") share: they walk the rows of ListView6, ask Google about
// each page of the chosen property, and write all nine cells of the row
// ("Indexed", "Clicks", "Impressions", "CTR", "Avg Position" for the
// performance check; "Coverage State", "Robots.txt State", "Indexing State",
// "Last Crawl" for the inspection), the other check's cells left empty.
//
// A refusal never reads as data:
// - 401 (the token is refused) and 429 (the quota is spent) end the check,
//   since every further page would fail alike: the log gets "Google Search
//   Console Error - Code: <code>, <message>" and the same text is shown as
//   the run's error; the row stays as it was.
// - Any other refusal, and an answer that is no JSON, logs that line with
//   " (<row>/<rows>)" and leaves the row's nine cells empty; the run goes on.
// Every row advances the bar, then the window handles its events and a
// click on "Cancel" ends the check ("Check cancelled..."). With "Parallel
// requests" above 1 several pages are asked at once, within the check's
// requestLimits().
class SearchConsoleCheck {
public:
    static constexpr int kCellCount = 9;

    virtual ~SearchConsoleCheck() = default;

    // property: the property selected in ListView3, nullptr when none is
    // (the user is told); token: the selected account's token, nullptr when
    // no account is selected (the check ends with an error).
    void run(CheckContext &context, ReportTable &table, const SearchConsoleProperty *property, const QString *token);

    // "Google Search Console Error - Code: 403, <message>"
    static QString errorLine(const GoogleError &error);
    // "Google Search Console Error Get Object Data: 2/3": part of a row's
    // answer could not be read.
    static QString objectDataLine(int row, int rows);

protected:
    explicit SearchConsoleCheck(GoogleApiClient &client) : m_client(client) {}

    // What one row's answer gives.
    struct RowCells {
        QStringList cells;                   // the nine cells
        int unreadableParts = 0;             // one "Get Object Data" line each
        std::optional<GoogleError> unusable; // an answer without what the check needs
    };

    // The request of a page, built on the GUI thread: what it reads (the
    // period) is read now; the exchange it returns may run on another thread.
    virtual std::function<ExchangeResult()> request(const QString &token, const SearchConsoleProperty &property,
                                                    const QString &pageUrl) = 0;
    // What the service accepts of this check's requests.
    virtual RequestLimits requestLimits() const = 0;
    // The cells of an answer that is a JSON object and no refusal.
    virtual RowCells readRow(const ExchangeResult &answer, const JsonDocument &doc) const = 0;

    GoogleApiClient &client() { return m_client; }

private:
    GoogleApiClient &m_client;
};

} // namespace veltrano
