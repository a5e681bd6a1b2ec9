#include "ui/MainWindow.h"

#include "auth/GeneralSettings.h"
#include "auth/SettingsFile.h"
#include "ui/AccountsController.h"
#include "ui/AhrefsController.h"
#include "ui/AnalyticsController.h"
#include "ui/AreaChartView.h"
#include "ui/GuiBrowserOpener.h"
#include "ui/GuiClipboardText.h"
#include "ui/GuiEventPump.h"
#include "ui/GuiFileDialogs.h"
#include "ui/GuiMessagePrompt.h"
#include "ui/HandlerGuard.h"
#include "ui/IndexingApiController.h"
#include "ui/IndexingApiWindow.h"
#include "ui/KeywordsWindow.h"
#include "ui/MetrikaKeywordsWindow.h"
#include "ui/ReportColumns.h"
#include "ui/ReportsController.h"
#include "ui/StatsChartView.h"
#include "ui/WaitDialog.h"
#include "ui/YandexKeywordsWindow.h"
#include "ui/AhrefsSettingsTab.h"
#include "ui/AnalyticsSettingsTab.h"
#include "ui/SearchConsoleSettingsTab.h"
#include "ui/ServiceContext.h"
#include "ui/TokenListGroup.h"
#include "ui/WidgetFactory.h"
#include "ui/YandexMetrikaSettingsTab.h"
#include "ui/YandexMetrikaController.h"
#include "ui/YandexWebmasterController.h"
#include "ui/SearchConsoleController.h"
#include "ui/PeriodGroup.h"
#include "ui/YandexWebmasterSettingsTab.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace veltrano {

using namespace widgets;

namespace {

// Colours of the three parts of the product name in the About panel.
const QColor NameGreen(0x53, 0xA4, 0x0C);
const QColor NameRed(0xC5, 0x1E, 0x04);
const QColor NameAmber(0xEE, 0xB3, 0x18);

constexpr int RightPanelWidth = 190;
constexpr int StatsChartHeight = 300;

} // namespace

MainWindow::MainWindow(const Endpoints &endpoints, Options options, QWidget *parent)
    : QMainWindow(parent), m_endpoints(endpoints),
      m_appFolder(options.appFolder.isEmpty() ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                              : options.appFolder),
      m_productPages(endpoints, options.systemLocale), m_newsFetcher(std::move(options.newsFetcher)),
      m_periods(options.clock)
{
    if (!m_appFolder.endsWith(QLatin1Char('/')))
        m_appFolder += QLatin1Char('/');
    if (!options.prompt)
        m_ownPrompt = std::make_unique<GuiMessagePrompt>(this);
    if (!options.browser)
        m_ownBrowser = std::make_unique<GuiBrowserOpener>();
    if (!options.eventPump)
        m_ownEventPump = std::make_unique<GuiEventPump>();
    m_prompt = options.prompt ? options.prompt : m_ownPrompt.get();
    m_browser = options.browser ? options.browser : m_ownBrowser.get();
    m_eventPump = options.eventPump ? options.eventPump : m_ownEventPump.get();
    if (!m_newsFetcher)
        m_newsFetcher = NewsBrowser::networkFetcher(endpoints.extraCaFile);

    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Veltrano"));

    m_pageControl = named(new QTabWidget, "pcPages");
    m_pageControl->addTab(buildUrlsPage(), QStringLiteral("URLs List"));
    m_pageControl->addTab(buildSettingsPage(), QStringLiteral(" Settings "));
    setCentralWidget(m_pageControl);
    buildPopupMenus();
    // "Cancel" acts at once, even while a request waits for its answer.
    if (m_ownEventPump)
        m_ownEventPump->addInterruptControl(m_cancelButton);

    if (!options.fileDialogs)
        m_ownFileDialogs = std::make_unique<GuiFileDialogs>(this);
    if (!options.clipboard)
        m_ownClipboard = std::make_unique<GuiClipboardText>();
    m_fileDialogs = options.fileDialogs ? options.fileDialogs : m_ownFileDialogs.get();
    ReportsController::Widgets page;
    page.pages = m_pageControl;
    page.reportTabs = m_reportTabs;
    page.paste = m_pasteButton;
    page.importTxt = m_importTxtButton;
    page.importXml = m_importXmlButton;
    page.run = m_runButton;
    page.cancel = m_cancelButton;
    page.exportCsv = m_exportButton;
    page.urlsMenu = m_urlsMenu;
    page.pasteAction = m_pasteAction;
    page.deleteAction = m_deleteAction;
    page.submitAction = m_submitAction;
    page.checkMenu = m_checkMenu;
    page.noClear = m_noClearOnImport;
    page.ahrefsToken = m_ahrefsTab->tokenField();
    m_reports = new ReportsController(*this, page,
                                      {m_log, *m_prompt, *m_eventPump, *m_fileDialogs,
                                       options.clipboard ? *options.clipboard : *m_ownClipboard});
    m_reports->runControl().setBusyState(&m_busy);

    // The bottom panel turns to the log as soon as something is written.
    connect(&m_log, &ActivityLog::messageAdded, this, [this] {
        if (m_bottomTabs->currentIndex() == 0)
            m_bottomTabs->setCurrentIndex(1);
    });

    resize(InitialWidth, InitialHeight);
    centreOnScreen();
    createSecondaryWindows();
    if (!options.clipboardWriter)
        m_ownClipboardWriter = std::make_unique<GuiClipboardText>();
    m_waitDialog->setClipboard(options.clipboardWriter ? options.clipboardWriter : m_ownClipboardWriter.get());

    // The token lists and the Ahrefs token, then the sign-in listener, which
    // runs until the window closes (after the general settings are written).
    AccountsController::Widgets accountWidgets;
    for (ServiceSettingsTab *tab : settingsTabs())
        accountWidgets.tokenLists[size_t(tab->service())] = tab->tokens();
    accountWidgets.ahrefsToken = m_ahrefsTab->tokenField();
    accountWidgets.searchConsoleSignIn = m_gscTab->searchConsoleSignIn();
    accountWidgets.indexingApiSignIn = m_gscTab->indexingApiSignIn();
    m_accounts = std::make_unique<AccountsController>(
        AccountsController::Ports{*this, settingsPath(), m_endpoints, m_log, m_trace, *m_browser, *m_prompt, m_busy,
                                  m_waitDialog},
        accountWidgets);
    m_accounts->start();
    connect(this, &MainWindow::closing, m_accounts.get(), &AccountsController::stop);

    // The services, each handed the program's context and its own widgets.
    const ServiceContext context = serviceContext();
    m_yandexWebmaster = std::make_unique<YandexWebmasterController>(context, *m_ywmTab, *m_yandexKeywordsWindow);
    m_yandexMetrika = std::make_unique<YandexMetrikaController>(context, *m_ymTab, *m_metrikaKeywordsWindow);
    m_searchConsole = std::make_unique<SearchConsoleController>(context, *m_gscTab, *m_keywordsWindow);
    m_indexingApi = std::make_unique<IndexingApiController>(context, *m_indexingApiWindow, m_submitAction);
    m_analytics = std::make_unique<AnalyticsController>(context, *m_gaTab);
    m_ahrefs = std::make_unique<AhrefsController>(context, *m_ahrefsTab, *m_backlinksChart, *m_backlinksHistory);
}

ServiceContext MainWindow::serviceContext()
{
    return ServiceContext{m_log,       m_trace,     *m_prompt,    *m_eventPump,      *m_fileDialogs,
                          m_endpoints, m_appFolder, *m_accounts, m_reports->runControl(), *m_reports,
                          m_busy,      m_periods};
}

std::array<ServiceSettingsTab *, ServiceCount> MainWindow::settingsTabs() const
{
    return {m_ywmTab, m_ymTab, m_gscTab, m_gaTab, m_ahrefsTab};
}

MainWindow::~MainWindow() = default;

QString MainWindow::exeVersion()
{
    return QStringLiteral(VELTRANO_VERSION);
}

QString MainWindow::settingsPath() const
{
    return SettingsFile::pathIn(m_appFolder);
}

void MainWindow::addToLog(const QString &message)
{
    m_log.addToLog(message);
}

QTableView *MainWindow::reportView(int tab) const
{
    if (!ServiceTable::ofTab(tab))
        return nullptr;
    return m_reportViews[size_t(tab)];
}

void MainWindow::setReportModel(int tab, QAbstractItemModel *model)
{
    QTableView *view = reportView(tab);
    if (!view)
        return;
    view->setModel(model);
    const auto &columns = reportColumns(tab);
    for (int c = 0; c < int(columns.size()); ++c)
        view->setColumnWidth(c, columns[size_t(c)].width);
}

void MainWindow::createSecondaryWindows()
{
    // Created once, in this order, right after the main window; each stays
    // hidden until its feature shows it.
    m_waitDialog = new WaitDialog(this);
    m_keywordsWindow = new KeywordsWindow(this);
    m_yandexKeywordsWindow = new YandexKeywordsWindow(this);
    m_metrikaKeywordsWindow = new MetrikaKeywordsWindow(this);
    m_indexingApiWindow = new IndexingApiWindow(this);
}

void MainWindow::centreOnScreen()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
}

// ---------------------------------------------------------------------------
// "URLs List"

QWidget *MainWindow::buildUrlsPage()
{
    auto *page = named(new QWidget, "tsURLs");
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);

    auto *top = new QWidget;
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(2);
    topLayout->addWidget(buildReportTabs(), 1);
    m_progressBar = named(new QProgressBar, "ProgressBar");
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedHeight(16);
    topLayout->addWidget(m_progressBar);

    auto *splitter = named(new QSplitter(Qt::Vertical), "Splitter1");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(top);
    splitter->addWidget(buildBottomTabs());
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({470, 170});

    layout->addWidget(splitter, 1);
    layout->addWidget(buildRightPanel());
    return page;
}

QWidget *MainWindow::buildReportTabs()
{
    m_reportTabs = named(new QTabWidget, "pcReportsURLs");
    for (const ServiceInfo &info : ServiceTable::all()) {
        const int tab = info.tab();
        auto *sheet = new QWidget;
        sheet->setObjectName(info.reportSheet);
        auto *sheetLayout = new QVBoxLayout(sheet);
        sheetLayout->setContentsMargins(0, 0, 0, 0);

        auto *view = new QTableView;
        view->setObjectName(info.reportView);
        view->setProperty("Tag", info.tag()); // service code: 1 Yandex Webmaster ... 5 Ahrefs
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        // Only the Search Console table takes several rows, for the Indexing API.
        view->setSelectionMode(ReportLayout::of(info.id).multiSelect() ? QAbstractItemView::ExtendedSelection
                                                                        : QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setShowGrid(false);
        view->setWordWrap(false);
        view->setAlternatingRowColors(false);
        view->verticalHeader()->hide();
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
        view->horizontalHeader()->setHighlightSections(false);
        view->horizontalHeader()->setSectionsClickable(true);
        view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        m_reportViews[size_t(tab)] = view;
        setReportModel(tab, createReportHeaderModel(tab, view));

        sheetLayout->addWidget(view);
        m_reportTabs->addTab(sheet, QString(info.name));
    }
    return m_reportTabs;
}

QWidget *MainWindow::buildBottomTabs()
{
    m_bottomTabs = named(new QTabWidget, "pcBottom");

    auto *news = named(new QWidget, "tsNews");
    auto *newsLayout = new QVBoxLayout(news);
    newsLayout->setContentsMargins(0, 0, 0, 0);
    m_news = named(new NewsBrowser(*m_browser), "NewsBrowser");
    newsLayout->addWidget(m_news);
    m_bottomTabs->addTab(news, QStringLiteral(" News "));

    auto *log = named(new QWidget, "tsLog");
    auto *logLayout = new QVBoxLayout(log);
    logLayout->setContentsMargins(0, 0, 0, 0);
    m_logView = named(new QTableView, "lvLog");
    m_logView->setModel(&m_log);
    m_logView->setShowGrid(true);
    m_logView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_logView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_logView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_logView->setWordWrap(false);
    m_logView->verticalHeader()->hide();
    m_logView->verticalHeader()->setDefaultSectionSize(m_logView->fontMetrics().height() + 6);
    m_logView->horizontalHeader()->setHighlightSections(false);
    m_logView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_logView->setColumnWidth(0, 80);
    m_logView->setColumnWidth(1, 600);
    logLayout->addWidget(m_logView);
    m_bottomTabs->addTab(log, QStringLiteral(" Log "));
    return m_bottomTabs;
}

QWidget *MainWindow::buildRightPanel()
{
    auto *panel = named(new QFrame, "Panel1");
    panel->setFixedWidth(RightPanelWidth);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->setSpacing(6);

    m_pasteButton = button(QStringLiteral("Paste from Clipboard"), "btInsertURLs4Clip");
    m_importTxtButton = button(QStringLiteral("Import URLs from txt..."), "btImportURLs4TXT");
    m_importXmlButton = button(QStringLiteral("Import URLs from xml..."), "btImportURLs4XML");
    for (QPushButton *b : {m_pasteButton, m_importTxtButton, m_importXmlButton})
        layout->addWidget(b);
    layout->addSpacing(12);

    // "Check URL" is the window's default button (Enter), "Cancel" answers
    // Escape; both wait for a connected service and a running check.
    m_runButton = button(QStringLiteral("Check URL"), "btRunRequests");
    m_runButton->setDefault(true);
    m_runButton->setEnabled(false);
    QFont bold = m_runButton->font();
    bold.setBold(true);
    m_runButton->setFont(bold);
    m_runButton->setMinimumHeight(34);
    layout->addWidget(m_runButton);
    m_cancelButton = button(QStringLiteral("Cancel"), "btAbortRequests");
    m_cancelButton->setEnabled(false);
    layout->addWidget(m_cancelButton);
    layout->addSpacing(12);
    m_exportButton = button(QStringLiteral("Export to CSV..."), "btExport");
    m_exportButton->setEnabled(false);
    layout->addWidget(m_exportButton);
    layout->addSpacing(8);

    // The statistics pie: two slices, indexed against not indexed pages (or
    // pages with against pages without traffic), zero until a table is counted.
    m_statsChart = named(new StatsChartView, "crtURLScore");
    m_statsChart->setFixedHeight(StatsChartHeight);
    layout->addWidget(m_statsChart);
    layout->addStretch(1);
    return panel;
}

// ---------------------------------------------------------------------------
// " Settings "

QWidget *MainWindow::buildSettingsPage()
{
    auto *page = named(new QWidget, "tsParams");
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(4, 4, 4, 4);

    auto *params = named(new QGroupBox(QStringLiteral(" Settings ")), "gbParams");
    auto *layout = new QVBoxLayout(params);
    layout->addWidget(buildAnalyticSystems(), 1);
    layout->addWidget(buildAdditionalGroup());
    layout->addWidget(buildHiddenControls());
    pageLayout->addWidget(params, 1);
    pageLayout->addWidget(buildAboutPanel());
    return page;
}

QWidget *MainWindow::buildAnalyticSystems()
{
    auto *group = named(new QGroupBox(QStringLiteral(" Analytic Systems ")), "gbAnalyticSystems");
    auto *layout = new QHBoxLayout(group);

    m_analyticSystems = named(new QTabWidget, "pcAnalyticSystems");
    m_ywmTab = new YandexWebmasterSettingsTab;
    m_ymTab = new YandexMetrikaSettingsTab;
    m_gscTab = new SearchConsoleSettingsTab;
    m_gaTab = new AnalyticsSettingsTab;
    m_ahrefsTab = new AhrefsSettingsTab;
    // The two period groups, each on its own period: a preset chosen on one
    // tab leaves the other's days alone.
    m_gaTab->period()->bind(m_periods.google);
    m_ymTab->period()->bind(m_periods.metrika);
    for (ServiceSettingsTab *tab : settingsTabs())
        m_analyticSystems->addTab(tab, QString(ServiceTable::of(tab->service()).name));
    layout->addWidget(m_analyticSystems, 3);

    // The backlinks history chart sits beside the tabs and is on show only
    // while the Ahrefs tab is.
    m_backlinksChart = named(new AreaChartView(QStringLiteral("Backlinks History")), "Chart1");
    m_backlinksChart->setMinimumWidth(360);
    m_backlinksChart->hide();
    layout->addWidget(m_backlinksChart, 2);
    connect(m_analyticSystems, &QTabWidget::currentChanged, this,
            [this](int index) { m_backlinksChart->setVisible(index == 4); });
    return group;
}

QWidget *MainWindow::buildAdditionalGroup()
{
    auto *group = named(new QGroupBox(QStringLiteral(" Additional ")), "gbAdditional");
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    m_delay = named(new QSpinBox, "edMinReqDelay");
    m_delay->setRange(GeneralSettings::MinRequestDelay, GeneralSettings::MaxRequestDelay);
    m_delay->setSingleStep(GeneralSettings::RequestDelayStep);
    m_delay->setValue(GeneralSettings::DefaultRequestDelay);
    m_delay->setMinimumWidth(100);
    form->addRow(label(QStringLiteral("Delay between requests, ms:")), m_delay);
    m_noClearOnImport = named(new QCheckBox, "cbImpNoClearURLs");
    m_noClearOnImport->setChecked(false);
    form->addRow(label(QStringLiteral("Don't clear URL on import:")), m_noClearOnImport);
    return group;
}

QWidget *MainWindow::buildAboutPanel()
{
    auto *panel = named(new QFrame, "Panel4");
    panel->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(8, 4, 8, 4);

    auto *about = new QLabel(QStringLiteral("About"));
    QFont bold = about->font();
    bold.setBold(true);
    about->setFont(bold);
    layout->addWidget(about);
    layout->addSpacing(12);
    m_version = named(new QLabel(QStringLiteral("Version: ")), "lbVersion");
    layout->addWidget(m_version);
    layout->addWidget(new QLabel(QStringLiteral("-")));

    // The product name in its three colours, letters run together.
    auto *nameBox = new QHBoxLayout;
    nameBox->setSpacing(0);
    const std::tuple<const char *, const char *, QColor> parts[] = {
        {"Vel", "lbNameVel", NameGreen}, {"tra", "lbNameTra", NameRed}, {"no", "lbNameNo", NameAmber}};
    for (const auto &[text, objectName, colour] : parts) {
        auto *part = named(new QLabel(QString::fromLatin1(text)), objectName);
        part->setFont(bold);
        QPalette palette = part->palette();
        palette.setColor(QPalette::WindowText, colour);
        part->setPalette(palette);
        nameBox->addWidget(part);
    }
    layout->addLayout(nameBox);
    layout->addSpacing(24);

    auto *home = named(new QLabel(QStringLiteral("<a href=\"home\">Veltrano Home Page</a>")), "lbGotoSite");
    home->setTextFormat(Qt::RichText);
    home->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    home->setCursor(Qt::PointingHandCursor);
    connect(home, &QLabel::linkActivated, this, [this] { m_browser->open(m_productPages.homePage()); });
    layout->addWidget(home);
    layout->addSpacing(12);

    auto *maker = named(new QLabel(QStringLiteral("<a href=\"maker\">Veltrano Team</a>")), "Label5");
    maker->setTextFormat(Qt::RichText);
    maker->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    maker->setCursor(Qt::PointingHandCursor);
    connect(maker, &QLabel::linkActivated, this, [this] { m_browser->open(m_productPages.makerSite()); });
    layout->addWidget(maker);
    layout->addStretch(1);
    return panel;
}

QWidget *MainWindow::buildHiddenControls()
{
    // Controls the page holds for other features but never shows: the
    // traffic history chart, the request trace and the backlinks history
    // table that feeds the backlinks chart.
    auto *box = named(new QWidget, "pnHidden");
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(titledChartView("Chart2", QStringLiteral("Traffic History")));
    auto *memo = named(new QPlainTextEdit, "Memo1");
    memo->setReadOnly(true);
    layout->addWidget(memo);
    m_backlinksHistory = reportList("ListView10", {QStringLiteral("Date"), QStringLiteral("Count")}, {100, 80});
    layout->addWidget(m_backlinksHistory);
    box->hide();
    return box;
}

void MainWindow::buildPopupMenus()
{
    // On the report tables.
    m_urlsMenu = named(new QMenu(this), "pmURLs");
    m_pasteAction = menuItem(m_urlsMenu, QStringLiteral("Paste from Clipboard"), "miPaste4Clipboard");
    m_pasteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    m_deleteAction = menuItem(m_urlsMenu, QStringLiteral("Delete"), "miDeleteURL");
    m_deleteAction->setShortcut(QKeySequence(Qt::Key_Delete));
    m_urlsMenu->addSeparator();
    m_submitAction =
        menuItem(m_urlsMenu, QStringLiteral("Submit URLs via Google Indexing API"), "SubmitURLforIndexinginGoogle1");
    for (QTableView *view : m_reportViews) {
        // The shortcuts act on the table that has the focus.
        for (QAction *action : {m_pasteAction, m_deleteAction}) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            view->addAction(action);
        }
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &pos) { m_urlsMenu->popup(view->viewport()->mapToGlobal(pos)); });
    }

    // The checks of a report tab with more than one (the Search Console
    // tab), offered by "Check URL".
    m_checkMenu = named(new QMenu(this), "PopupMenu1");
    menuItem(m_checkMenu, QStringLiteral("Check GSC"), "CheckGSC1");
    menuItem(m_checkMenu, QStringLiteral("URL Inspection API"), "URLInspectionAPI1");
}

// ---------------------------------------------------------------------------
// Show and close

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    showFirstTime();
}

void MainWindow::showFirstTime()
{
    runHandler(*m_prompt, [this] { loadGeneralSettings(); });

    // First page, first service tab, first report tab; choosing them here
    // is not a user's tab change, so no tab handler runs.
    {
        const QSignalBlocker pages(m_pageControl);
        const QSignalBlocker services(m_analyticSystems);
        const QSignalBlocker reports(m_reportTabs);
        m_pageControl->setCurrentIndex(0);
        m_analyticSystems->setCurrentIndex(0);
        m_reportTabs->setCurrentIndex(0);
    }
    m_backlinksChart->setVisible(m_analyticSystems->currentIndex() == 4);

    m_bottomTabs->setTabVisible(0, true);
    m_bottomTabs->setCurrentIndex(0);
    m_news->loadNews(m_productPages.newsPage(), m_newsFetcher);

    m_statsChart->chart()->setBackgroundBrush(Qt::white);
    m_reports->windowShown();
    m_version->setText(QStringLiteral("Version: ") + exeVersion());
}

void MainWindow::loadGeneralSettings()
{
    const GeneralSettings settings = GeneralSettings::load(SettingsFile(settingsPath()));
    m_delay->setValue(settings.requestDelay);
    m_noClearOnImport->setChecked(settings.importNoClear);
}

void MainWindow::saveGeneralSettings()
{
    GeneralSettings settings;
    settings.requestDelay = GeneralSettings::requestDelayFromText(m_delay->cleanText());
    settings.importNoClear = m_noClearOnImport->isChecked();
    SettingsFile file(settingsPath());
    settings.save(file);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        // The window closes even when the settings cannot be written: the
        // user is told which file was refused, and nothing else is lost.
        try {
            saveGeneralSettings();
        } catch (const VeltranoError &error) {
            m_prompt->show(MessagePrompt::Icon::Error, applicationErrorTitle(),
                           error.message() +
                               QStringLiteral("\n\nThe request delay and the import setting were not saved."));
        }
        // A request in flight is abandoned at once; a running check ends at
        // its cancel point.
        m_busy.abortForClose();
        Q_EMIT closing();
        for (QWidget *window : std::initializer_list<QWidget *>{m_waitDialog, m_keywordsWindow, m_yandexKeywordsWindow,
                                                                m_metrikaKeywordsWindow, m_indexingApiWindow})
            window->hide();
    }
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    QPushButton *target = nullptr;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // Enter on a focused push button clicks that button; elsewhere it
        // is "Check URL".
        auto *focused = qobject_cast<QPushButton *>(QApplication::focusWidget());
        target = focused && focused->window() == this ? focused : m_runButton;
    }
    else if (plain && event->key() == Qt::Key_Escape)
        target = m_cancelButton;
    if (target && target->isVisible() && target->isEnabled()) {
        target->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace veltrano
