#pragma once

#include "net/ServiceExchange.h"
#include "services/analytics/AnalyticsCheck.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/AnalyticsSummary.h"
#include "ui/services/ServiceController.h"

#include <QObject>
#include <QString>

#include <optional>

namespace veltrano {

class AnalyticsSettingsTab;
class CheckContext;

// Google Analytics in the program:
// - "Connect to Account" (Button18, and a double-click on ListBox4) lists
//   the accounts of the selected token in "Account:" (ComboBox1), the first
//   one selected, and marks the service connected;
// - choosing an account lists its properties in "Property:" (ComboBox2),
//   choosing a property its views in "View:" (ComboBox3), the first of each
//   selected. Each step asks for the account summary again; only the user's
//   choice of an entry (also of the one already shown) loads anything;
// - "Check URL" on the Google Analytics report tab runs "Check GA" for the
//   selected view over the Google period.
// The choice is only the selection of the three lists; nothing is stored.
class AnalyticsController final : public ServiceController {
    Q_OBJECT
public:
    static constexpr ServiceId Service = ServiceId::Analytics;

    AnalyticsController(ServiceContext context, AnalyticsSettingsTab &tab);
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
    // The website URL of the selected view's property; empty when none.
    QString selectedWebsiteUrl() const;
    // The line above the report: account, view with its site, and period.
    QString describeCheckTarget() const;

    AnalyticsClient &client() { return m_client; }
    ServiceExchange &exchange() { return m_exchange; }

private:
    // The summary for the selected token; nothing when Google refused it
    // (the user is told).
    std::optional<AnalyticsSummary> fetchSummary();
    // "Google Analytics Error - Code: N, message" in the log and a box.
    void reportRefusal(const GoogleError &error);
    void runCheck(CheckContext &context);

    // Where a view entry keeps its property's website URL.
    static constexpr int WebsiteUrlRole = Qt::UserRole + 1;

    AnalyticsSettingsTab &m_tab;
    ServiceExchange m_exchange;
    AnalyticsClient m_client;
    AnalyticsCheck m_check;
};

} // namespace veltrano
