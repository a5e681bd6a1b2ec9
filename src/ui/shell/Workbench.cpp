#include "ui/shell/Workbench.h"

#include "app/VeltranoError.h"
#include "auth/GeneralSettings.h"
#include "auth/SettingsFile.h"
#include "auth/WindowSettings.h"
#include "reports/SavedStateFile.h"
#include "reports/StateKeeper.h"
#include "services/ServiceTable.h"
#include "ui/accounts/AccountsController.h"
#include "ui/accounts/WaitDialog.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/desktop/GuiBrowserOpener.h"
#include "ui/desktop/GuiClipboardText.h"
#include "ui/desktop/GuiEventPump.h"
#include "ui/desktop/GuiFileDialogs.h"
#include "ui/desktop/GuiMessagePrompt.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/reports/ReportsController.h"
#include "ui/reports/StatsChartView.h"
#include "ui/services/ServiceContext.h"
#include "ui/accounts/OAuthApplicationsDialog.h"
#include "ui/services/ServiceSettingsTab.h"
#include "ui/services/ServiceWindows.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/SettingsPage.h"
#include "ui/shell/UrlsPage.h"

#include <QChart>
#include <QCoreApplication>
#include <QPushButton>
#include <QTabWidget>

namespace veltrano {

Workbench::Workbench(const Endpoints &endpoints, Options options)
    : m_endpoints(endpoints),
      m_appFolder(options.appFolder.isEmpty() ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                              : options.appFolder),
      m_productPages(endpoints, options.systemLocale), m_newsFetcher(std::move(options.newsFetcher)),
      m_periods(options.clock)
{
    if (!m_appFolder.endsWith(QLatin1Char('/')))
        m_appFolder += QLatin1Char('/');

    // The desktop, unless a test stands in for a part of it.
    if (!options.browser)
        m_ownBrowser = std::make_unique<GuiBrowserOpener>();
    if (!options.eventPump)
        m_ownEventPump = std::make_unique<GuiEventPump>();
    if (!options.clipboard)
        m_ownClipboard = std::make_unique<GuiClipboardText>();
    if (!options.clipboardWriter)
        m_ownClipboardWriter = std::make_unique<GuiClipboardText>();
    m_browser = options.browser ? options.browser : m_ownBrowser.get();
    m_eventPump = options.eventPump ? options.eventPump : m_ownEventPump.get();
    if (!m_newsFetcher)
        m_newsFetcher = NewsBrowser::networkFetcher(endpoints.extraCaFile);

    m_services = std::make_unique<ServiceWindows>(m_periods);
    m_urlsPage = new UrlsPage(m_log, *m_browser);
    m_settingsPage = new SettingsPage(m_services->settingsTabs(), *m_browser, m_productPages);
    m_window = std::make_unique<MainWindow>(m_urlsPage, m_settingsPage);
    if (!options.prompt)
        m_ownPrompt = std::make_unique<GuiMessagePrompt>(m_window.get());
    m_prompt = options.prompt ? options.prompt : m_ownPrompt.get();
    if (!options.fileDialogs)
        m_ownFileDialogs = std::make_unique<GuiFileDialogs>(m_window.get());
    m_fileDialogs = options.fileDialogs ? options.fileDialogs : m_ownFileDialogs.get();
    // "Cancel" acts at once, even while a request waits for its answer.
    if (m_ownEventPump)
        m_ownEventPump->addInterruptControl(m_urlsPage->cancelButton());

    createReportsController(options.clipboard ? *options.clipboard : *m_ownClipboard);
    connect(m_settingsPage, &SettingsPage::parallelRequestsChanged, this,
            [this](int requests) { m_reports->runControl().setParallelRequests(requests); });

    connect(m_settingsPage->oauthApplicationsButton(), &QPushButton::clicked, this, [this] {
        OAuthApplicationsDialog dialog(SettingsFile(settingsPath()), m_endpoints, *m_prompt, m_window.get());
        dialog.exec();
    });

    // The bottom panel turns to the log as soon as something is written.
    connect(&m_log, &ActivityLog::messageAdded, this, [this] {
        if (m_urlsPage->bottomTabs()->currentIndex() == 0)
            m_urlsPage->bottomTabs()->setCurrentIndex(1);
    });

    // The secondary windows: created once, right after the main window; each
    // stays hidden until its feature shows it.
    m_waitDialog = new WaitDialog(m_window.get());
    m_waitDialog->setClipboard(options.clipboardWriter ? options.clipboardWriter : m_ownClipboardWriter.get());
    m_services->createSecondaryWindows(m_window.get());
    createAccounts();
    // The services, each handed the program's context and its own widgets.
    m_services->createControllers(serviceContext(), m_window->checkMenu(), m_window->urlsMenu());
    restoreReports();

    // Where the window was when it last closed; a first start, or a place
    // no screen shows any more, centres it.
    const WindowSettings placement = WindowSettings::load(SettingsFile(settingsPath()));
    m_window->restorePlacement(placement.geometry, placement.maximized);

    connect(m_window.get(), &MainWindow::firstShown, this, [this] { showFirstTime(); });
    connect(m_window.get(), &MainWindow::closing, this, [this] { closing(); });
    m_window->setCloseGuard([this] { return mayClose(); });
}

Workbench::~Workbench()
{
    // What the last moments of a run changed (a check cancelled by the
    // close ends after the window has gone) reaches the file before the
    // tables go.
    if (m_stateKeeper)
        m_stateKeeper->saveNow();
    m_stateKeeper.reset();
    // The listener's threads use the log, the trace and the ports: it stops
    // first, then the services, then the windows.
    m_accounts.reset();
    m_services->destroyControllers();
    m_window.reset();
}

SearchConsoleKeywordsWindow *Workbench::keywordsWindow() const
{
    return m_services->searchConsoleKeywords();
}

YandexWebmasterKeywordsWindow *Workbench::yandexKeywordsWindow() const
{
    return m_services->yandexWebmasterKeywords();
}

YandexMetrikaKeywordsWindow *Workbench::metrikaKeywordsWindow() const
{
    return m_services->yandexMetrikaKeywords();
}

IndexingApiWindow *Workbench::indexingApiWindow() const
{
    return m_services->indexingApiWindow();
}

YandexWebmasterController *Workbench::yandexWebmaster() const
{
    return m_services->yandexWebmaster();
}

YandexMetrikaController *Workbench::yandexMetrika() const
{
    return m_services->yandexMetrika();
}

SearchConsoleController *Workbench::searchConsole() const
{
    return m_services->searchConsole();
}

IndexingApiController *Workbench::indexingApi() const
{
    return m_services->indexingApi();
}

AnalyticsController *Workbench::analytics() const
{
    return m_services->analytics();
}

AhrefsController *Workbench::ahrefs() const
{
    return m_services->ahrefs();
}

QString Workbench::settingsPath() const
{
    return SettingsFile::pathIn(m_appFolder);
}

void Workbench::createReportsController(ClipboardText &clipboard)
{
    MainWindow &window = *m_window;
    ReportsController::Widgets page;
    page.pages = window.pages();
    page.reportTabs = m_urlsPage->reportTabs();
    page.paste = m_urlsPage->pasteButton();
    page.importTxt = m_urlsPage->importTxtButton();
    page.importXml = m_urlsPage->importXmlButton();
    page.run = m_urlsPage->runButton();
    page.cancel = m_urlsPage->cancelButton();
    page.exportCsv = m_urlsPage->exportButton();
    page.urlsMenu = window.urlsMenu();
    page.pasteAction = window.pasteAction();
    page.deleteAction = window.deleteAction();
    page.checkMenu = window.checkMenu();
    page.noClear = m_settingsPage->noClearOnImport();
    page.progressBar = m_urlsPage->progressBar();
    page.rowsLeft = m_urlsPage->rowsLeftLabel();
    page.chart = m_urlsPage->statsChart();
    page.views = m_urlsPage->reportViews();
    page.targetLines = m_urlsPage->targetLines();
    m_reports =
        new ReportsController(page, {m_log, *m_prompt, *m_eventPump, *m_fileDialogs, clipboard, m_appFolder}, &window);
    m_reports->runControl().setBusyState(&m_busy);
}

void Workbench::restoreReports()
{
    std::vector<ReportTable *> tables;
    for (int tab = 0; tab < ServiceTable::count(); ++tab)
        tables.push_back(m_reports->table(tab));
    m_stateKeeper = std::make_unique<StateKeeper>(SavedStateFile::pathIn(m_appFolder), std::move(tables),
                                                  m_reports->runControl(), m_log);
    if (m_stateKeeper->restore())
        m_reports->reportsRestored();
}

void Workbench::createAccounts()
{
    // The token lists, then the sign-in listener, which runs until the
    // window closes (after the general settings are written).
    AccountsController::Widgets accountWidgets;
    for (ServiceSettingsTab *tab : m_services->settingsTabs()) {
        accountWidgets.tokenLists.push_back(tab->tokens());
        for (const auto &action : tab->signInActions())
            accountWidgets.signInActions.push_back(action);
    }
    m_accounts = std::make_unique<AccountsController>(AccountsController::Ports{*m_window, settingsPath(), m_endpoints,
                                                                                m_log, m_trace, *m_browser, *m_prompt,
                                                                                m_busy, m_waitDialog},
                                                      accountWidgets);
    m_accounts->start();
}

ServiceContext Workbench::serviceContext()
{
    return ServiceContext{m_log,        m_trace,        *m_prompt,
                          *m_eventPump, *m_fileDialogs, m_endpoints,
                          m_appFolder,  *m_accounts,    m_reports->runControl(),
                          *m_reports,   m_busy,         m_periods};
}

void Workbench::showFirstTime()
{
    runHandler(*m_prompt, [this] { loadGeneralSettings(); });
    m_window->selectFirstPage();
    m_settingsPage->showFirstTime(MainWindow::exeVersion());
    m_urlsPage->news()->loadNews(m_productPages.newsPage(), m_newsFetcher);
    m_urlsPage->statsChart()->chart()->setBackgroundBrush(Qt::white);
    m_reports->windowShown();
}

void Workbench::loadGeneralSettings()
{
    m_settingsPage->showGeneralSettings(GeneralSettings::load(SettingsFile(settingsPath())));
}

void Workbench::saveGeneralSettings()
{
    SettingsFile file(settingsPath());
    m_settingsPage->generalSettings().save(file);
    WindowSettings placement;
    if (const QRect normal = m_window->normalGeometry(); normal.isValid())
        placement.geometry = normal;
    placement.maximized = m_window->isMaximized();
    placement.save(file);
}

bool Workbench::mayClose()
{
    // Closing stops a running check and its rows stay unfinished: the user
    // says so first. Without a check the window closes as it always did.
    if (!m_reports->runControl().isRunning())
        return true;
    return m_prompt->ask(QStringLiteral("Close Veltrano"),
                         QStringLiteral("A check is running. Stop the check and close Veltrano?"));
}

void Workbench::closing()
{
    // The window closes even when the settings cannot be written: the user
    // is told which file was refused, and nothing else is lost.
    try {
        saveGeneralSettings();
    } catch (const VeltranoError &error) {
        m_prompt->show(
            MessagePrompt::Icon::Error, applicationErrorTitle(),
            error.message() +
                QStringLiteral(
                    "\n\nThe request delay, the import setting and the place of the window were not saved."));
    }
    // A request in flight is abandoned at once; a running check ends at its
    // cancel point.
    m_busy.abortForClose();
    m_reports->cancelCheck();
    if (m_stateKeeper)
        m_stateKeeper->saveNow();
    m_accounts->stop();
    m_waitDialog->hide();
    for (QWidget *window : m_services->secondaryWindows())
        window->hide();
}

} // namespace veltrano
