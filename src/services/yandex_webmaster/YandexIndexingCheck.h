#pragma once

#include <QString>

namespace veltrano {

class CheckContext;
class ReportTable;
class YandexWebmasterClient;

// "Check URL" on the Yandex Webmaster report: downloads the list of the
// site's pages that are in Yandex's search index, 100 at a time, then marks
// every report row "Yes" with the page's title when its URL is in that list,
// "No" with an empty title otherwise. Rows of other sites are not the site's
// to answer and keep their cells. URLs are compared by their UrlKey; the row
// keeps the URL as the user wrote it. A cancelled check, or one that ends
// with an error, changes no cell.
class YandexIndexingCheck final {
public:
    static constexpr int kPageSize = 100;

    explicit YandexIndexingCheck(YandexWebmasterClient &client);

    // hostId empty: no site chosen (the user is told); token: the selected
    // account's token, or nothing selected (the check ends quietly);
    // siteName: the site as the host list shows it, for the messages about
    // rows of other sites (the host id when empty). Rows of another host
    // are left as they are (see rowsOnSite).
    void run(CheckContext &context, ReportTable &table, const QString &hostId, const QString *token,
             const QString &siteName = {});

    // The check's name in the run frame and the saved row states.
    static QString checkName() { return QStringLiteral("Get URLs YWM"); }

    // The command of one page of indexed samples.
    static QString samplesCommand(const QString &hostId, int offset);

private:
    YandexWebmasterClient &m_client;
};

} // namespace veltrano
