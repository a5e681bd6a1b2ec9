#pragma once

#include "net/ServiceExchange.h"
#include "reports/AreaChartData.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/GoogleTrends.h"
#include "services/search_console/SearchConsoleChecks.h"
#include "services/search_console/SearchConsoleProperties.h"
#include "ui/services/ServiceController.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QMenu;

namespace veltrano {

class CheckContext;
class SearchConsoleKeywordsWindow;
class SearchConsoleSettingsTab;

// Google Search Console in the program:
// - "Connect to Account" (Button14, and a double-click on ListBox3) lists
//   the properties of the selected account in ListView3 and marks the
//   service connected;
// - a double-click on ListView3 shows the Search Console report;
// - "Check URL" on the Search Console report tab offers "Check GSC" (the
//   pages' clicks, impressions, CTR and position over the Google period)
//   and "URL Inspection API" (the pages' index status), both for the
//   property selected in ListView3;
// - "Get All Keywords" (Button32) lists the property's search queries in
//   the "GSC Keywords / Google Trends" window, whose chart asks the trends
//   service for one query.
// The chosen property is only the selection of ListView3; nothing is stored.
class SearchConsoleController final : public ServiceController {
    Q_OBJECT
public:
    static constexpr ServiceId Service = ServiceId::SearchConsole;

    // Adds the items of its two checks to the check menu (when given), which
    // "Check URL" offers on the Search Console tab.
    SearchConsoleController(ServiceContext context, SearchConsoleSettingsTab &tab,
                            SearchConsoleKeywordsWindow &keywords, QMenu *checkMenu = nullptr);
    ~SearchConsoleController() override;

    // Button14Click: the account's properties, sorted by Domain.
    void connectAccount();
    // Button32Click: fetches the property's queries and shows them modally.
    void getAllKeywords();
    // The trend of one query for the keywords window's chart; nothing when
    // the service answered nothing.
    std::optional<AreaChartData> queryTrend(const QString &query);

    // The selected row of ListView3; nothing when none is.
    std::optional<SearchConsoleProperty> selectedProperty() const;

    GoogleApiClient &client() { return m_client; }

private:
    // Why the Google period cannot be sent to Search Analytics; empty when
    // it can.
    QString periodRefusal() const;
    // A check of the report on the table, the property and the token as
    // the run starts (nullptr when none is chosen).
    void runCheck(CheckContext &context, SearchConsoleChecks::Kind kind);
    // "Google Search Console Error - Code: N, message" in the log and a box.
    void reportRefusal(const GoogleError &error);

    SearchConsoleSettingsTab &m_tab;
    SearchConsoleKeywordsWindow &m_keywords;
    ServiceExchange m_exchange;
    GoogleApiClient m_client;
    GoogleTrends m_trends;
    SearchConsoleChecks m_checks;
};

} // namespace veltrano
