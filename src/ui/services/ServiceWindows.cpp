#include "ui/services/ServiceWindows.h"

#include "app/ReportingPeriod.h"
#include "services/ServiceTable.h"
#include "ui/services/ServiceContext.h"
#include "ui/services/ahrefs/AhrefsController.h"
#include "ui/services/ahrefs/AhrefsSettingsTab.h"
#include "ui/services/analytics/AnalyticsController.h"
#include "ui/services/analytics/AnalyticsSettingsTab.h"
#include "ui/services/search_console/IndexingApiController.h"
#include "ui/services/search_console/IndexingApiWindow.h"
#include "ui/services/search_console/SearchConsoleController.h"
#include "ui/services/search_console/SearchConsoleKeywordsWindow.h"
#include "ui/services/search_console/SearchConsoleSettingsTab.h"
#include "ui/services/yandex_metrika/YandexMetrikaController.h"
#include "ui/services/yandex_metrika/YandexMetrikaKeywordsWindow.h"
#include "ui/services/yandex_metrika/YandexMetrikaSettingsTab.h"
#include "ui/services/yandex_webmaster/YandexWebmasterController.h"
#include "ui/services/yandex_webmaster/YandexWebmasterKeywordsWindow.h"
#include "ui/services/yandex_webmaster/YandexWebmasterSettingsTab.h"
#include "ui/widgets/PeriodGroup.h"

namespace veltrano {

ServiceWindows::ServiceWindows(ReportingPeriods &periods)
{
    m_yandexWebmasterTab = new YandexWebmasterSettingsTab;
    m_yandexMetrikaTab = new YandexMetrikaSettingsTab;
    m_searchConsoleTab = new SearchConsoleSettingsTab;
    m_analyticsTab = new AnalyticsSettingsTab;
    m_ahrefsTab = new AhrefsSettingsTab;
    m_tabs = {m_yandexWebmasterTab, m_yandexMetrikaTab, m_searchConsoleTab, m_analyticsTab, m_ahrefsTab};
    // Each period group on its service's period: a preset chosen on one tab
    // leaves the other periods' days alone.
    for (ServiceSettingsTab *tab : m_tabs) {
        ReportingPeriod *period = periods.of(ServiceTable::of(tab->service()).period);
        if (tab->periodGroup() && period)
            tab->periodGroup()->bind(*period);
    }
}

ServiceWindows::~ServiceWindows()
{
    destroyControllers();
}

void ServiceWindows::createSecondaryWindows(QWidget *mainWindow)
{
    m_searchConsoleKeywords = new SearchConsoleKeywordsWindow(mainWindow);
    m_yandexWebmasterKeywords = new YandexWebmasterKeywordsWindow(mainWindow);
    m_yandexMetrikaKeywords = new YandexMetrikaKeywordsWindow(mainWindow);
    m_indexingApiWindow = new IndexingApiWindow(mainWindow);
}

std::vector<QWidget *> ServiceWindows::secondaryWindows() const
{
    return {m_searchConsoleKeywords, m_yandexWebmasterKeywords, m_yandexMetrikaKeywords, m_indexingApiWindow};
}

void ServiceWindows::createControllers(const ServiceContext &context, QMenu *checkMenu, QMenu *urlsMenu)
{
    m_yandexWebmaster =
        std::make_unique<YandexWebmasterController>(context, *m_yandexWebmasterTab, *m_yandexWebmasterKeywords);
    m_yandexMetrika = std::make_unique<YandexMetrikaController>(context, *m_yandexMetrikaTab, *m_yandexMetrikaKeywords);
    m_searchConsole =
        std::make_unique<SearchConsoleController>(context, *m_searchConsoleTab, *m_searchConsoleKeywords, checkMenu);
    m_indexingApi = std::make_unique<IndexingApiController>(context, *m_indexingApiWindow, urlsMenu);
    m_analytics = std::make_unique<AnalyticsController>(context, *m_analyticsTab, checkMenu);
    m_ahrefs = std::make_unique<AhrefsController>(context, *m_ahrefsTab, *m_ahrefsTab->historyChart(),
                                                  *m_ahrefsTab->historyTable());
}

void ServiceWindows::destroyControllers()
{
    m_ahrefs.reset();
    m_analytics.reset();
    m_indexingApi.reset();
    m_searchConsole.reset();
    m_yandexMetrika.reset();
    m_yandexWebmaster.reset();
}

} // namespace veltrano
