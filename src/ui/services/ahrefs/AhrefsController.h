#pragma once

#include "net/ServiceExchange.h"
#include "services/ahrefs/AhrefsClient.h"
#include "services/ahrefs/AhrefsUrlCheck.h"
#include "services/ahrefs/AhrefsV3Client.h"
#include "services/ahrefs/AhrefsV3UrlCheck.h"
#include "ui/services/ServiceContext.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <functional>

class QTreeWidget;

namespace veltrano {

class AhrefsSettingsTab;
class AreaChartView;
class CheckContext;

// Ahrefs in the program. Ahrefs needs no sign-in: the user types the API
// token into the tab's "Token:" field (Edit1, saved as typed) and the site
// into "Site:" (Edit2).
// - "Check URL" on the Ahrefs report tab runs the URL check with the token
//   saved in the settings file;
// - "Show Data" (Button20) lists the table chosen in "From:" (ComboBox6),
//   "Rows:" (SpinEdit1) rows of it, in RichEdit1 and names it in Label23;
//   it also marks the service connected;
// - "Get Backlinks History >>" (Button28) fetches two years of new-backlink
//   counts into the hidden history table (ListView10: date, referring
//   pages, all) and draws them in the backlinks chart (Chart1), oldest day
//   on the left.
// Each button stays disabled while its request runs.
//
// "API:" chooses Ahrefs API v3 (the default) or the retired v2. With v3 the
// token field holds the API key, sent only in the Authorization header;
// the report's rank and link columns are captioned after the v3 figures
// they hold; "From:" lists v3 endpoints; the history charts the referring
// domains. Show Data and every check first read the key's units left
// (free) into the tab and the log.
class AhrefsController final : public QObject {
    Q_OBJECT
public:
    static constexpr ServiceId Service = ServiceId::Ahrefs;
    using Today = std::function<QDate()>;

    AhrefsController(ServiceContext context, AhrefsSettingsTab &tab, AreaChartView &historyChart,
                     QTreeWidget &historyTable);
    ~AhrefsController() override;

    // Button20Click.
    void showData();
    // Button28Click.
    void getBacklinksHistory();
    // Fill Graph: the chart from the history table, titled with the site.
    void fillGraph();

    // The day the history counts back from (today unless a test says).
    void setToday(Today today) { m_today = std::move(today); }

    static QString fillInFieldsText();

    // Reads the key's API units left (v3) into the tab and the log; false
    // when the key cannot be sent.
    bool showUnitsLeft();

    AhrefsClient &client() { return m_client; }
    AhrefsV3Client &clientV3() { return m_v3Client; }
    ServiceExchange &exchange() { return m_exchange; }

private:
    // Token and site filled; otherwise the user is asked to fill them.
    bool fieldsFilledOrAsk();
    QString savedToken() const;
    void runUrlCheck(CheckContext &context);
    void appendDataLines(const QStringList &lines);
    // Captions and the "From:" list for the chosen API.
    void applyApiChoice();
    void showDataV3();
    void getBacklinksHistoryV3();

    ServiceContext m_context;
    AhrefsSettingsTab &m_tab;
    AreaChartView &m_historyChart;
    QTreeWidget &m_historyTable;
    ServiceExchange m_exchange;
    AhrefsClient m_client;
    AhrefsUrlCheck m_urlCheck;
    AhrefsV3Client m_v3Client;
    AhrefsV3UrlCheck m_v3Check;
    Today m_today = [] { return QDate::currentDate(); };
};

} // namespace veltrano
