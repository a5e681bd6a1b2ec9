#pragma once

#include "net/ServiceExchange.h"
#include "services/yandex_webmaster/YandexIndexingCheck.h"
#include "services/yandex_webmaster/YandexQueryHistory.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"
#include "ui/services/ServiceController.h"

#include <QObject>
#include <QString>
#include <optional>

namespace veltrano {

class CheckContext;
class YandexWebmasterKeywordsWindow;
class YandexWebmasterSettingsTab;

// Yandex Webmaster in the program:
// - "Connect to Account" (Button6, and a double-click on ListBox1) lists the
//   verified sites of the selected account in ListView1 and marks the
//   service connected;
// - a double-click on ListView1 shows the Yandex Webmaster report;
// - "Check URL" on the Yandex Webmaster report tab runs the indexing check
//   for the site selected in ListView1;
// - "Get All Keywords" (Button34) lists the site's popular search queries in
//   the "YWM Keywords" window, whose history chart asks here for one query's
//   daily shows.
// The chosen site is only the selection of ListView1; nothing is stored.
class YandexWebmasterController final : public ServiceController {
    Q_OBJECT
public:
    static constexpr ServiceId Service = ServiceId::YandexWebmaster;

    YandexWebmasterController(ServiceContext context, YandexWebmasterSettingsTab &tab,
                              YandexWebmasterKeywordsWindow &keywords);
    ~YandexWebmasterController() override;

    // Button6Click: the account's verified sites, sorted by domain.
    void connectAccount();
    // Button34Click: fetches the popular queries and shows them modally.
    void getAllKeywords();
    // The daily shows of one query of the chosen site, for the keywords
    // window's chart. Nothing when no answer came at all.
    std::optional<YandexQueryHistory> queryHistory(const QString &queryText, const QString &queryId);

    // The "Host" cell of the selected ListView1 row; empty when none is.
    QString selectedHostId() const;

    YandexWebmasterClient &client() { return m_client; }
    ServiceExchange &exchange() { return m_exchange; }

private:
    void runIndexingCheck(CheckContext &context);
    YandexWebmasterSettingsTab &m_tab;
    YandexWebmasterKeywordsWindow &m_keywords;
    ServiceExchange m_exchange;
    YandexWebmasterClient m_client;
    YandexIndexingCheck m_indexingCheck;
};

} // namespace veltrano
