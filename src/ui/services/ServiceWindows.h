#pragma once

#include <QWidget>

#include <memory>
#include <vector>

class QMenu;

namespace veltrano {

class AhrefsController;
class AhrefsSettingsTab;
class AnalyticsController;
class AnalyticsSettingsTab;
class IndexingApiController;
class IndexingApiWindow;
class SearchConsoleController;
class SearchConsoleKeywordsWindow;
class SearchConsoleSettingsTab;
class ServiceSettingsTab;
class YandexMetrikaController;
class YandexMetrikaKeywordsWindow;
class YandexMetrikaSettingsTab;
class YandexWebmasterController;
class YandexWebmasterKeywordsWindow;
class YandexWebmasterSettingsTab;
struct ReportingPeriods;
struct ServiceContext;

// Every service's part of the windows: its settings tab, its own secondary
// windows and its controller, made in three steps as the program starts.
// This is the one place that lists the services' window classes; the shell
// only asks for the tabs, the secondary windows and the controllers' start.
class ServiceWindows final {
public:
    // The settings tabs in tab order, each period group bound to its
    // service's period.
    explicit ServiceWindows(ReportingPeriods &periods);
    ~ServiceWindows();

    const std::vector<ServiceSettingsTab *> &settingsTabs() const { return m_tabs; }

    // The services' secondary windows, children of the main window, hidden
    // until their feature shows them.
    void createSecondaryWindows(QWidget *mainWindow);
    std::vector<QWidget *> secondaryWindows() const;

    // The controllers; checkMenu and urlsMenu take the items of the services
    // that offer several checks or commands on the report tables.
    void createControllers(const ServiceContext &context, QMenu *checkMenu, QMenu *urlsMenu);
    // The controllers go first, before the windows they use.
    void destroyControllers();

    SearchConsoleKeywordsWindow *searchConsoleKeywords() const { return m_searchConsoleKeywords; }
    YandexWebmasterKeywordsWindow *yandexWebmasterKeywords() const { return m_yandexWebmasterKeywords; }
    YandexMetrikaKeywordsWindow *yandexMetrikaKeywords() const { return m_yandexMetrikaKeywords; }
    IndexingApiWindow *indexingApiWindow() const { return m_indexingApiWindow; }

    YandexWebmasterController *yandexWebmaster() const { return m_yandexWebmaster.get(); }
    YandexMetrikaController *yandexMetrika() const { return m_yandexMetrika.get(); }
    SearchConsoleController *searchConsole() const { return m_searchConsole.get(); }
    IndexingApiController *indexingApi() const { return m_indexingApi.get(); }
    AnalyticsController *analytics() const { return m_analytics.get(); }
    AhrefsController *ahrefs() const { return m_ahrefs.get(); }

private:
    YandexWebmasterSettingsTab *m_yandexWebmasterTab = nullptr;
    YandexMetrikaSettingsTab *m_yandexMetrikaTab = nullptr;
    SearchConsoleSettingsTab *m_searchConsoleTab = nullptr;
    AnalyticsSettingsTab *m_analyticsTab = nullptr;
    AhrefsSettingsTab *m_ahrefsTab = nullptr;
    std::vector<ServiceSettingsTab *> m_tabs;

    SearchConsoleKeywordsWindow *m_searchConsoleKeywords = nullptr;
    YandexWebmasterKeywordsWindow *m_yandexWebmasterKeywords = nullptr;
    YandexMetrikaKeywordsWindow *m_yandexMetrikaKeywords = nullptr;
    IndexingApiWindow *m_indexingApiWindow = nullptr;

    std::unique_ptr<YandexWebmasterController> m_yandexWebmaster;
    std::unique_ptr<YandexMetrikaController> m_yandexMetrika;
    std::unique_ptr<SearchConsoleController> m_searchConsole;
    std::unique_ptr<IndexingApiController> m_indexingApi;
    std::unique_ptr<AnalyticsController> m_analytics;
    std::unique_ptr<AhrefsController> m_ahrefs;
};

} // namespace veltrano
