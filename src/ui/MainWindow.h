#pragma once

#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/ReportingPeriod.h"
#include "app/ServiceTable.h"
#include "app/Endpoints.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "ui/NewsBrowser.h"
#include "ui/ProductPages.h"

#include <QLocale>
#include <QMainWindow>
#include <array>
#include <memory>

class QAbstractItemModel;
class QAction;
class QCheckBox;
class QChartView;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTreeWidget;
class QWidget;

namespace veltrano {

class AccountsController;
class AhrefsController;
class AhrefsSettingsTab;
class AnalyticsController;
class AreaChartView;
class AnalyticsSettingsTab;
class SearchConsoleController;
class SearchConsoleSettingsTab;
class ServiceSettingsTab;
struct ServiceContext;
class YandexMetrikaSettingsTab;
class YandexWebmasterSettingsTab;
class ClipboardText;
class ClipboardWriter;
class FileDialogs;
class GuiEventPump;
class IndexingApiController;
class IndexingApiWindow;
class KeywordsWindow;
class MetrikaKeywordsWindow;
class ReportsController;
class StatsChartView;
class WaitDialog;
class YandexKeywordsWindow;
class YandexMetrikaController;
class YandexWebmasterController;

// How the main window meets the desktop; tests replace these.
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

// The main window "Veltrano": the "URLs List" page with the five report
// tables, the buttons of a check run, the statistics chart, the news panel
// and the activity log; the " Settings " page with one tab per service, the
// general settings and the About panel. It owns everything that lives for
// the whole run, the secondary windows included.
//
// Widgets carry the names the rest of the program knows them by as their
// objectName (pcPages, ListView4, btRunRequests, ...).
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    using Options = MainWindowOptions;

    static constexpr int InitialWidth = 1287;
    static constexpr int InitialHeight = 750;

    explicit MainWindow(const Endpoints &endpoints, Options options = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The program version, four numbers joined by ".".
    static QString exeVersion();

    const Endpoints &endpoints() const { return m_endpoints; }
    const QString &appFolder() const { return m_appFolder; }
    QString settingsPath() const;
    const ProductPages &productPages() const { return m_productPages; }

    ActivityLog &activityLog() { return m_log; }
    RequestTrace &requestTrace() { return m_trace; }
    // Writes one line on top of the activity log; the bottom panel switches
    // from " News " to " Log " first.
    void addToLog(const QString &message);

    MessagePrompt &prompt() { return *m_prompt; }
    BrowserOpener &browser() { return *m_browser; }
    EventPump &eventPump() { return *m_eventPump; }

    // The report table of a tab of the "URLs List" page (ListView4, ListView5,
    // ListView6, ListView7, ListView11 in tab order).
    QTableView *reportView(int tab) const;
    // Puts a report model under the view of a tab and lays out its columns.
    void setReportModel(int tab, QAbstractItemModel *model);

    QProgressBar *runProgressBar() const { return m_progressBar; }
    StatsChartView *statsChartView() const { return m_statsChart; }
    NewsBrowser *newsBrowser() const { return m_news; }

    WaitDialog *waitDialog() const { return m_waitDialog; }
    KeywordsWindow *keywordsWindow() const { return m_keywordsWindow; }
    YandexKeywordsWindow *yandexKeywordsWindow() const { return m_yandexKeywordsWindow; }
    MetrikaKeywordsWindow *metrikaKeywordsWindow() const { return m_metrikaKeywordsWindow; }
    IndexingApiWindow *indexingApiWindow() const { return m_indexingApiWindow; }

    // The report tables, the check-run frame and the buttons of the "URLs
    // List" page; services register their checks and fill the tables here.
    ReportsController &reports() const { return *m_reports; }

    // The token lists, the sign-ins and their listener (Settings page).
    AccountsController *accounts() const { return m_accounts.get(); }

    // Yandex Webmaster: site connection, its check and the keywords window.
    YandexWebmasterController *yandexWebmaster() const { return m_yandexWebmaster.get(); }
    // Yandex Metrika: counter connection, its check and the keywords window.
    YandexMetrikaController *yandexMetrika() const { return m_yandexMetrika.get(); }
    // Google Search Console: properties, its two checks and the keywords window.
    SearchConsoleController *searchConsole() const { return m_searchConsole.get(); }
    // The Indexing API submission of selected Search Console pages.
    IndexingApiController *indexingApi() const { return m_indexingApi.get(); }
    // Google Analytics: the account, property and view choice and its check.
    AnalyticsController *analytics() const { return m_analytics.get(); }
    // Ahrefs: its check, the data explorer and the backlinks history chart.
    AhrefsController *ahrefs() const { return m_ahrefs.get(); }

    // The Google and the Yandex Metrika reporting periods.
    ReportingPeriods &periods() { return m_periods; }

    // The file dialogs of the window and its secondary windows.
    FileDialogs &fileDialogs() const { return *m_fileDialogs; }

    // Reads the general settings into the Settings page, when the settings
    // file exists.
    void loadGeneralSettings();
    // Writes the general settings; a refused write raises VeltranoError.
    void saveGeneralSettings();

Q_SIGNALS:
    // The window is closing; the general settings have been written (or the
    // user has been told why not). Parts that run until the end, such as the
    // sign-in listener, stop here.
    void closing();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Enter runs "Check URL" and Escape presses "Cancel" while they can be
    // used, unless the focused control takes the key itself.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createSecondaryWindows();
    QWidget *buildUrlsPage();
    QWidget *buildReportTabs();
    QWidget *buildBottomTabs();
    QWidget *buildRightPanel();
    QWidget *buildSettingsPage();
    QWidget *buildAnalyticSystems();
    QWidget *buildAdditionalGroup();
    QWidget *buildAboutPanel();
    QWidget *buildHiddenControls();
    void buildPopupMenus();
    void buildShortcuts();
    void showFirstTime();
    // What every service's controller is handed.
    ServiceContext serviceContext();
    // The service tabs of the Settings page in tab order.
    std::array<ServiceSettingsTab *, ServiceCount> settingsTabs() const;
    void centreOnScreen();

    Endpoints m_endpoints;
    QString m_appFolder;
    ProductPages m_productPages;
    NewsBrowser::Fetcher m_newsFetcher;

    std::unique_ptr<MessagePrompt> m_ownPrompt;
    std::unique_ptr<BrowserOpener> m_ownBrowser;
    std::unique_ptr<GuiEventPump> m_ownEventPump;
    MessagePrompt *m_prompt = nullptr;
    BrowserOpener *m_browser = nullptr;
    EventPump *m_eventPump = nullptr;
    std::unique_ptr<FileDialogs> m_ownFileDialogs;
    FileDialogs *m_fileDialogs = nullptr;
    std::unique_ptr<ClipboardText> m_ownClipboard;
    std::unique_ptr<ClipboardWriter> m_ownClipboardWriter;

    ActivityLog m_log;
    RequestTrace m_trace;
    // Busy while a request or a check runs: nothing starts nested inside.
    BusyState m_busy;
    ReportingPeriods m_periods;

    QTabWidget *m_pageControl = nullptr;
    QTabWidget *m_reportTabs = nullptr;
    std::array<QTableView *, 5> m_reportViews{};
    QProgressBar *m_progressBar = nullptr;
    QTabWidget *m_bottomTabs = nullptr;
    NewsBrowser *m_news = nullptr;
    QTableView *m_logView = nullptr;
    QPushButton *m_pasteButton = nullptr;
    QPushButton *m_importTxtButton = nullptr;
    QPushButton *m_importXmlButton = nullptr;
    QPushButton *m_runButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    StatsChartView *m_statsChart = nullptr;
    QTabWidget *m_analyticSystems = nullptr;
    AreaChartView *m_backlinksChart = nullptr;
    QTreeWidget *m_backlinksHistory = nullptr;
    QSpinBox *m_delay = nullptr;
    QCheckBox *m_noClearOnImport = nullptr;
    QLabel *m_version = nullptr;
    QMenu *m_urlsMenu = nullptr;
    QAction *m_pasteAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_submitAction = nullptr;
    QMenu *m_checkMenu = nullptr;
    YandexWebmasterSettingsTab *m_ywmTab = nullptr;
    YandexMetrikaSettingsTab *m_ymTab = nullptr;
    SearchConsoleSettingsTab *m_gscTab = nullptr;
    AnalyticsSettingsTab *m_gaTab = nullptr;
    AhrefsSettingsTab *m_ahrefsTab = nullptr;
    bool m_closed = false;

    WaitDialog *m_waitDialog = nullptr;
    KeywordsWindow *m_keywordsWindow = nullptr;
    YandexKeywordsWindow *m_yandexKeywordsWindow = nullptr;
    MetrikaKeywordsWindow *m_metrikaKeywordsWindow = nullptr;
    IndexingApiWindow *m_indexingApiWindow = nullptr;

    bool m_shownOnce = false;
    ReportsController *m_reports = nullptr;
    // Goes before the log and the trace its requests write to.
    std::unique_ptr<YandexWebmasterController> m_yandexWebmaster;
    std::unique_ptr<YandexMetrikaController> m_yandexMetrika;
    std::unique_ptr<SearchConsoleController> m_searchConsole;
    std::unique_ptr<IndexingApiController> m_indexingApi;
    std::unique_ptr<AnalyticsController> m_analytics;
    std::unique_ptr<AhrefsController> m_ahrefs;

    // Last, so it goes first: the sign-in listener's threads use the log,
    // the trace and the ports above until it has stopped.
    std::unique_ptr<AccountsController> m_accounts;
};

} // namespace veltrano
