#pragma once

#include "net/ServiceExchange.h"
#include "services/analytics/AnalyticsChecks.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/AnalyticsSummary.h"
#include "services/analytics/Ga4Client.h"
#include "ui/services/ServiceController.h"

#include <QObject>
#include <QString>

#include <optional>

class QMenu;

namespace veltrano {

class AnalyticsSettingsTab;
class CheckContext;
class ReportTable;

// Google Analytics in the program:
// - "Connect to Account" (Button18, and a double-click on ListBox4) lists
//   the accounts of the selected token in "Account:" (ComboBox1), the first
//   one selected, and marks the service connected;
// - choosing an account lists its properties in "Property:" (ComboBox2),
//   choosing a property its views in "View:" (ComboBox3), the first of each
//   selected. Each step asks for the account summary again; only the user's
//   choice of an entry (also of the one already shown) loads anything;
// - the accounts and properties are those of Universal Analytics (the v3
//   Management API) and of Google Analytics 4 (the Admin API) together.
//   Google has switched v3 off, so its refusal alone is one log line; a
//   GA4 property is marked "(GA4)" and has no views: choosing it empties
//   and disables the view list;
// - "Check URL" on the Google Analytics report tab runs "Check GA" for the
//   selected view, or the selected GA4 property, over the Google period.
// The choice is only the selection of the three lists; nothing is stored.
class AnalyticsController final : public ServiceController {
    Q_OBJECT
public:
    static constexpr ServiceId Service = ServiceId::Analytics;

    // checkMenu takes the item of the whole-site check beside the other
    // services' checks.
    AnalyticsController(ServiceContext context, AnalyticsSettingsTab &tab, QMenu *checkMenu = nullptr);
    ~AnalyticsController() override;

    // Button18Click.
    void connectAccount();
    // ComboBox1Change: the properties of the selected account.
    void chooseAccount();
    // ComboBox2Change: the views of the selected property.
    void chooseProperty();

    // The id kept with the selected entry of a list; nothing when none is.
    std::optional<qint64> selectedAccount() const;
    std::optional<qint64> selectedProperty() const;
    std::optional<qint64> selectedView() const;
    // Whether the selected property is a Google Analytics 4 one.
    bool ga4PropertySelected() const;
    // The website URL of the selected view's property; empty when none.
    QString selectedWebsiteUrl() const;
    // The line above the report: account, view with its site, and period.
    QString describeCheckTarget() const;

    AnalyticsClient &client() { return m_client; }
    Ga4Client &ga4Client() { return m_ga4Client; }
    ServiceExchange &exchange() { return m_exchange; }

private:
    // The v3 and GA4 summaries of the selected token together; nothing when
    // Google refused both (the user is told). A refusal of one of them
    // alone is a log line.
    std::optional<AnalyticsSummary> fetchSummary();
    // The view list is for v3 properties only.
    void updateViewsEnabled();
    // "Google Analytics Error - Code: N, message" in the log and a box.
    void reportRefusal(const GoogleError &error);
    // "Check GA" or its whole-site form on the chosen view or GA4 property.
    void runCheck(CheckContext &context, bool wholeSite);
    // The chosen view or GA4 property as the check starts; nothing without
    // one (the user is told to choose a view).
    std::optional<AnalyticsChecks::Target> checkTarget(CheckContext &context) const;

    // Where a view entry keeps its property's website URL.
    static constexpr int WebsiteUrlRole = Qt::UserRole + 1;
    // Where a property entry keeps whether it is a GA4 property.
    static constexpr int Ga4Role = Qt::UserRole + 2;

    AnalyticsSettingsTab &m_tab;
    ServiceExchange m_exchange;
    AnalyticsClient m_client;
    Ga4Client m_ga4Client;
    AnalyticsChecks m_checks;
};

} // namespace veltrano
