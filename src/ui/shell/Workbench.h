#pragma once

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/Endpoints.h"
#include "app/ReportingPeriod.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "ui/shell/NewsBrowser.h"
#include "ui/shell/ProductPages.h"

#include <QLocale>
#include <QObject>

#include <memory>
#include <vector>

namespace veltrano {

class AccountsController;
class AhrefsController;
class AnalyticsController;
class ClipboardText;
class ClipboardWriter;
class FileDialogs;
class GuiEventPump;
class IndexingApiController;
class IndexingApiWindow;
class MainWindow;
class ReportsController;
class SearchConsoleController;
class SearchConsoleKeywordsWindow;
class ServiceWindows;
class SettingsPage;
class StateKeeper;
class UrlsPage;
class WaitDialog;
class YandexMetrikaController;
class YandexMetrikaKeywordsWindow;
class YandexWebmasterController;
class YandexWebmasterKeywordsWindow;
struct ServiceContext;

// How the program meets the desktop; tests replace these.
struct MainWindowOptions {
    // Folder of Veltrano.ini, with a trailing separator. Empty: the
    // folder of the executable.
    QString appFolder;
    // Chooses the Russian-language home and news pages.
    QLocale systemLocale = QLocale::system();
    // Replacements for the desktop (tests). Null: message boxes, the
    // default browser, the application's event loop.
    MessagePrompt *prompt = nullptr;
    BrowserOpener *browser = nullptr;
    EventPump *eventPump = nullptr;
    // The file dialogs and the clipboard of the "URLs List" page. Null: the
    // desktop's.
    FileDialogs *fileDialogs = nullptr;
    ClipboardText *clipboard = nullptr;
    // Where the wait dialog's "Copy link" puts the sign-in address. Null:
    // the desktop's clipboard.
    ClipboardWriter *clipboardWriter = nullptr;
    // How the news page is fetched. Null: over the network.
    NewsBrowser::Fetcher newsFetcher;
    // The local date and time the period presets count from. Null: the
    // computer's clock.
    ReportingPeriod::Clock clock;
};

// Everything that lives for the whole run, built once in this order and
// wired together: the desktop's ports, the activity log and the request
// trace, the main window with its two pages, the secondary windows, the
// report page's controller, the accounts with the sign-in listener, and each
// service's settings tab and controller. Nothing but this object knows all
// of them; the window holds widgets only.
class Workbench final : public QObject {
    Q_OBJECT
public:
    using Options = MainWindowOptions;

    explicit Workbench(const Endpoints &endpoints, Options options = {});
    ~Workbench() override;

    MainWindow &window() const { return *m_window; }

    const Endpoints &endpoints() const { return m_endpoints; }
    const QString &appFolder() const { return m_appFolder; }
    QString settingsPath() const;
    const ProductPages &productPages() const { return m_productPages; }

    ActivityLog &activityLog() { return m_log; }
    RequestTrace &requestTrace() { return m_trace; }
    // Writes one line on top of the activity log; the bottom panel switches
    // from " News " to " Log " first.
    void addToLog(const QString &message) { m_log.addToLog(message); }

    MessagePrompt &prompt() { return *m_prompt; }
    BrowserOpener &browser() { return *m_browser; }
    EventPump &eventPump() { return *m_eventPump; }
    FileDialogs &fileDialogs() const { return *m_fileDialogs; }
    ReportingPeriods &periods() { return m_periods; }

    WaitDialog *waitDialog() const { return m_waitDialog; }
    SearchConsoleKeywordsWindow *keywordsWindow() const;
    YandexWebmasterKeywordsWindow *yandexKeywordsWindow() const;
    YandexMetrikaKeywordsWindow *metrikaKeywordsWindow() const;
    IndexingApiWindow *indexingApiWindow() const;

    // The report tables, the check-run frame and the buttons of the "URLs
    // List" page; services register their checks and fill the tables here.
    ReportsController &reports() const { return *m_reports; }
    // Keeps the URL lists, reports and row states in Veltrano.state beside
    // Veltrano.ini across restarts.
    StateKeeper &stateKeeper() const { return *m_stateKeeper; }
    // The token lists, the sign-ins and their listener (Settings page).
    AccountsController *accounts() const { return m_accounts.get(); }

    // Each service's settings tab, secondary windows and controller.
    ServiceWindows &services() const { return *m_services; }
    YandexWebmasterController *yandexWebmaster() const;
    YandexMetrikaController *yandexMetrika() const;
    SearchConsoleController *searchConsole() const;
    IndexingApiController *indexingApi() const;
    AnalyticsController *analytics() const;
    AhrefsController *ahrefs() const;

    // Reads the general settings into the Settings page, when the settings
    // file exists.
    void loadGeneralSettings();
    // Writes the general settings and where the window is; a refused write
    // raises VeltranoError.
    void saveGeneralSettings();

private:
    void createReportsController(ClipboardText &clipboard);
    void createAccounts();
    // Reads the saved reports into the tables and keeps them saved from here on.
    void restoreReports();
    ServiceContext serviceContext();
    // The window's first showing: settings, first tabs, news, pie, version.
    void showFirstTime();
    // Whether the window may close: asks the user while a check runs.
    bool mayClose();
    // The window closes: the general settings are written (or the user is
    // told why not), requests are abandoned, the listener stops and the
    // secondary windows are hidden.
    void closing();

    Endpoints m_endpoints;
    QString m_appFolder;
    ProductPages m_productPages;
    NewsBrowser::Fetcher m_newsFetcher;

    std::unique_ptr<MessagePrompt> m_ownPrompt;
    std::unique_ptr<BrowserOpener> m_ownBrowser;
    std::unique_ptr<GuiEventPump> m_ownEventPump;
    std::unique_ptr<FileDialogs> m_ownFileDialogs;
    std::unique_ptr<ClipboardText> m_ownClipboard;
    std::unique_ptr<ClipboardWriter> m_ownClipboardWriter;
    MessagePrompt *m_prompt = nullptr;
    BrowserOpener *m_browser = nullptr;
    EventPump *m_eventPump = nullptr;
    FileDialogs *m_fileDialogs = nullptr;

    ActivityLog m_log;
    RequestTrace m_trace;
    // Busy while a request or a check runs: nothing starts nested inside.
    BusyState m_busy;
    ReportingPeriods m_periods;

    std::unique_ptr<ServiceWindows> m_services;

    UrlsPage *m_urlsPage = nullptr;
    SettingsPage *m_settingsPage = nullptr;
    std::unique_ptr<MainWindow> m_window;

    WaitDialog *m_waitDialog = nullptr;

    ReportsController *m_reports = nullptr;
    std::unique_ptr<StateKeeper> m_stateKeeper;
    // Last, so it goes first: the sign-in listener's threads use the log,
    // the trace and the ports above until it has stopped.
    std::unique_ptr<AccountsController> m_accounts;
};

} // namespace veltrano
