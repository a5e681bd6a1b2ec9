#pragma once

#include "net/GoogleError.h"
#include "services/search_console/GoogleApiClient.h"

#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace veltrano {

class EventPump;
class JsonDocument;

// A notification the Indexing API accepted, as the "Indexation API" window
// lists it.
struct IndexingNotification {
    QString url;        // "url" of "urlNotificationMetadata"
    QString type;       // "type" of its "latestUpdate"
    QString notifyTime; // "notifyTime" of "latestUpdate", as "yyyy-mm-dd hh:nn:ss"
    bool operator==(const IndexingNotification &) const = default;
};

// Tells Google's Indexing API, page by page, that pages were updated
// ("URL_UPDATED"), with the Indexing API token.
//
// Per page: one publish request (GoogleApiClient::publishUrlUpdated), one
// trace entry (the page, LF CR LF CR, the answer), the window's pending
// events, a pause of 1200 ms that keeps the window alive and ends early on
// cancel, one step of the progress bar, then the cancel point
// ("Indexation cancelled...").
//
// A refusal is logged as "Indexatioin API - HTTP Code: <code> - <message> -
// <page>", so the user sees which page it concerns. A refused token (401) or
// a spent daily quota (429) would refuse every later page too, so they end
// the run; any other refusal (a page of a site the account does not own, a
// malformed address, a server error) concerns that page only and the run
// goes on. An answer that is neither a refusal nor a notification (no answer
// at all, or one without its members) ends the run with a message in plain
// words. Pages accepted before any of these stay accepted.
class IndexingApiSubmission final {
public:
    static constexpr std::chrono::milliseconds kPause{1200};
    static constexpr QLatin1String kErrorLabel{"Indexatioin API - HTTP Code: "};
    static constexpr QLatin1String kCancelledLine{"Indexation cancelled..."};

    // Where the run reports, besides the log and the trace of the client's
    // exchange.
    struct Ports {
        EventPump &events;
        std::function<bool()> cancelRequested;
        std::function<void(const IndexingNotification &)> accepted; // a row for the list
        std::function<void()> advanced;                             // the progress bar, one step
    };

    enum class Outcome {
        Completed, // every page was sent
        Cancelled, // the window was closed; the pages after the current one were not sent
        Refused,   // the token was refused or the daily quota is spent
        Unusable,  // an answer the run could not read; message says why
    };
    struct Result {
        Outcome outcome = Outcome::Completed;
        QString message;
        // Refused: Google's code, "401" (the token) or "429" (the quota).
        QString refusalCode;
        // Whether the run went through its pages, cancelled or not: the
        // report data is ready then.
        bool ranThrough() const { return outcome == Outcome::Completed || outcome == Outcome::Cancelled; }
    };

    explicit IndexingApiSubmission(GoogleApiClient &client) : m_client(client) {}

    Result run(const QString &token, const QStringList &pageUrls, const Ports &ports);

    // "2022-01-15 10:20:30" of "2022-01-15T10:20:30.123456789Z": the date, a
    // blank and the time to the second.
    static QString notifyTimeText(const QString &notifyTime);
    // The notification of an accepted answer; VeltranoError "Value '<name>'
    // not found" when a member is missing.
    static IndexingNotification readNotification(const JsonDocument &doc);
    // "Indexatioin API - HTTP Code: 403 - <message> - <page>".
    static QString errorLine(const GoogleError &error, const QString &pageUrl);
    // A refusal that every later page would get too.
    static bool endsRun(const GoogleError &error, const ExchangeResult &answer);

private:
    GoogleApiClient &m_client;
};

} // namespace veltrano
