#pragma once

#include "net/ServiceExchange.h"
#include "services/yandex_metrika/YandexMetrikaClient.h"
#include "services/yandex_metrika/YandexTrafficCheck.h"
#include "ui/services/ServiceController.h"

#include <QObject>
#include <QString>

namespace veltrano {

class CheckContext;
class YandexMetrikaKeywordsWindow;
class YandexMetrikaSettingsTab;

// Yandex Metrika in the program:
// - "Connect to Account" (Button10, and a double-click on ListBox2) lists
//   the account's active counters in ListView2 ("Domain", "ID"), marks the
//   service connected and enables "Get All Keywords";
// - a double-click on ListView2 shows the Yandex Metrika report;
// - "Check URL" on the Yandex Metrika report tab runs the traffic check
//   ("Check YM") for the counter selected in ListView2 over the period of
//   ComboBox10 / DateTimePicker3 / DateTimePicker4;
// - "Get All Keywords" (GetAllKeywords1 in ListView2's menu) lists the
//   counter's search phrases in the "YMetrika Keywords" window.
// The chosen counter is only the selection of ListView2; nothing is stored.
class YandexMetrikaController final : public ServiceController {
    Q_OBJECT
public:
    static constexpr ServiceId Service = ServiceId::YandexMetrika;

    YandexMetrikaController(ServiceContext context, YandexMetrikaSettingsTab &tab,
                            YandexMetrikaKeywordsWindow &keywords);
    ~YandexMetrikaController() override;

    // Button10Click.
    void connectAccount();
    // GetAllKeywords1Click: fetches the search phrases and shows them modally.
    void getAllKeywords();

    // The "ID" cell of the selected ListView2 row; empty when none is.
    QString selectedCounterId() const;

    YandexMetrikaClient &client() { return m_client; }
    ServiceExchange &exchange() { return m_exchange; }

private:
    // The site of the selected counter, as the counter list shows it.
    QString selectedCounterSite() const;
    // Why the Metrika period cannot be sent; empty when it can.
    QString periodRefusal() const;
    // The line above the report: account, counter and period.
    QString describeCheckTarget() const;
    void runTrafficCheck(CheckContext &context);

    YandexMetrikaSettingsTab &m_tab;
    YandexMetrikaKeywordsWindow &m_keywords;
    ServiceExchange m_exchange;
    YandexMetrikaClient m_client;
    YandexTrafficCheck m_trafficCheck;
};

} // namespace veltrano
