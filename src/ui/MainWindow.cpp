#include "ui/MainWindow.h"

#include "auth/GeneralSettings.h"
#include "auth/SettingsFile.h"
#include "ui/AccountsController.h"
#include "ui/GuiBrowserOpener.h"
#include "ui/GuiClipboardText.h"
#include "ui/GuiEventPump.h"
#include "ui/GuiFileDialogs.h"
#include "ui/GuiMessagePrompt.h"
#include "ui/HandlerGuard.h"
#include "ui/IndexingApiWindow.h"
#include "ui/KeywordsWindow.h"
#include "ui/MetrikaKeywordsWindow.h"
#include "ui/ReportColumns.h"
#include "ui/ReportsController.h"
#include "ui/StatsChartView.h"
#include "ui/WaitDialog.h"
#include "ui/YandexKeywordsWindow.h"
#include "ui/YandexWebmasterController.h"

#include <QAction>
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

namespace {

// Colours of the three parts of the product name in the About panel.
const QColor NameGreen(0x53, 0xA4, 0x0C);
const QColor NameRed(0xC5, 0x1E, 0x04);
const QColor NameAmber(0xEE, 0xB3, 0x18);

constexpr int RightPanelWidth = 190;
constexpr int StatsChartHeight = 300;
constexpr int TokenGroupWidth = 360;
constexpr int PeriodGroupWidth = 480;

struct ReportTabInfo {
    const char *caption;
    const char *sheet;
    const char *view;
};

const ReportTabInfo ReportTabs[ReportTabCount] = {
    {"Yandex Webmaster", "tsURLsD", "ListView4"},
    {"Yandex Metrika", "tsURLsM", "ListView5"},
    {"Google Search Console", "TabSheet1", "ListView6"},
    {"Google Analytics", "TabSheet2", "ListView7"},
    {"Ahrefs", "TabSheet8", "ListView11"},
};

QString name(const char *text)
{
    return QString::fromLatin1(text);
}

template <typename W> W *named(W *widget, const char *objectName)
{
    widget->setObjectName(name(objectName));
    return widget;
}

QPushButton *button(const QString &caption, const char *objectName, QWidget *parent = nullptr)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name(objectName));
    return b;
}

QLabel *label(const QString &caption, QWidget *parent = nullptr)
{
    return new QLabel(caption, parent);
}

QAction *menuItem(QMenu *menu, const QString &caption, const char *objectName)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name(objectName));
    return action;
}

// A read-only report list with whole-row selection (sites, counters, the
// backlinks history).
QTreeWidget *reportList(const char *objectName, const QStringList &columns, const QList<int> &widths)
{
    auto *list = new QTreeWidget;
    list->setObjectName(name(objectName));
    list->setColumnCount(int(columns.size()));
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAllColumnsShowFocus(true);
    for (int i = 0; i < widths.size(); ++i)
        list->setColumnWidth(i, widths[i]);
    return list;
}

QChartView *titledChartView(const char *objectName, const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setTitleBrush(Qt::black);
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    auto *view = new QChartView(chart);
    view->setObjectName(name(objectName));
    view->setRenderHint(QPainter::Antialiasing);
    view->setRubberBand(QChartView::NoRubberBand);
    return view;
}

// "Period:" and "From / To:" of a service that reports over days. The dates
// only take effect when the preset is "Custom".
QGroupBox *periodGroup(const char *presetName, const char *fromName, const char *toName)
{
    auto *group = new QGroupBox(QStringLiteral(" Period "));
    auto *form = new QFormLayout(group);
    auto *presets = named(new QComboBox, presetName);
    presets->addItems({QStringLiteral("This month"), QStringLiteral("This year"), QStringLiteral("Last 7 days"),
                       QStringLiteral("Last 30 days"), QStringLiteral("Last 90 days"), QStringLiteral("Last 180 days"),
                       QStringLiteral("Last 365 days"), QStringLiteral("Previous week"),
                       QStringLiteral("Previous month"), QStringLiteral("Custom")});
    presets->setCurrentIndex(3);
    form->addRow(label(QStringLiteral("Period:")), presets);

    auto *dates = new QHBoxLayout;
    const QDate today = QDate::currentDate();
    for (const char *pickerName : {fromName, toName}) {
        auto *picker = named(new QDateEdit, pickerName);
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        picker->setDate(pickerName == fromName ? today.addDays(-30) : today);
        picker->setEnabled(false);
        picker->setMinimumWidth(130);
        dates->addWidget(picker);
    }
    form->addRow(label(QStringLiteral("From / To:")), dates);
    return group;
}

} // namespace

MainWindow::MainWindow(const Endpoints &endpoints, Options options, QWidget *parent)
    : QMainWindow(parent), m_endpoints(endpoints),
      m_appFolder(options.appFolder.isEmpty() ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                              : options.appFolder),
      m_productPages(endpoints, options.systemLocale), m_newsFetcher(std::move(options.newsFetcher))
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

    if (!options.fileDialogs)
        m_ownFileDialogs = std::make_unique<GuiFileDialogs>(this);
    if (!options.clipboard)
        m_ownClipboard = std::make_unique<GuiClipboardText>();
    m_fileDialogs = options.fileDialogs ? options.fileDialogs : m_ownFileDialogs.get();
    m_reports = new ReportsController(*this, {m_log, *m_prompt, *m_eventPump,
                                              options.fileDialogs ? *options.fileDialogs : *m_ownFileDialogs,
                                              options.clipboard ? *options.clipboard : *m_ownClipboard});

    // The bottom panel turns to the log as soon as something is written.
    connect(&m_log, &ActivityLog::messageAdded, this, [this] {
        if (m_bottomTabs->currentIndex() == 0)
            m_bottomTabs->setCurrentIndex(1);
    });

    resize(InitialWidth, InitialHeight);
    centreOnScreen();
    createSecondaryWindows();

    // The token lists and the Ahrefs token, then the sign-in listener, which
    // runs until the window closes (after the general settings are written).
    m_accounts = std::make_unique<AccountsController>(*this);
    m_accounts->start();
    connect(this, &MainWindow::closing, m_accounts.get(), &AccountsController::stop);

    m_yandexWebmaster = std::make_unique<YandexWebmasterController>(*this);
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
    if (tab < 0 || tab >= ReportTabCount)
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
    for (int tab = 0; tab < ReportTabCount; ++tab) {
        const ReportTabInfo &info = ReportTabs[tab];
        auto *sheet = named(new QWidget, info.sheet);
        auto *sheetLayout = new QVBoxLayout(sheet);
        sheetLayout->setContentsMargins(0, 0, 0, 0);

        auto *view = named(new QTableView, info.view);
        view->setProperty("Tag", tab + 1); // service code: 1 Yandex Webmaster ... 5 Ahrefs
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        // Only the Search Console table takes several rows, for the Indexing API.
        view->setSelectionMode(tab == SearchConsoleTab ? QAbstractItemView::ExtendedSelection
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
        m_reportTabs->addTab(sheet, QString::fromLatin1(info.caption));
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

    layout->addWidget(button(QStringLiteral("Paste from Clipboard"), "btInsertURLs4Clip"));
    layout->addWidget(button(QStringLiteral("Import URLs from txt..."), "btImportURLs4TXT"));
    layout->addWidget(button(QStringLiteral("Import URLs from xml..."), "btImportURLs4XML"));
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
    auto *exportButton = button(QStringLiteral("Export to CSV..."), "btExport");
    exportButton->setEnabled(false);
    layout->addWidget(exportButton);
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
    m_analyticSystems->addTab(buildYandexWebmasterTab(), QStringLiteral("Yandex Webmaster"));
    m_analyticSystems->addTab(buildYandexMetrikaTab(), QStringLiteral("Yandex Metrika"));
    m_analyticSystems->addTab(buildSearchConsoleTab(), QStringLiteral("Google Search Console"));
    m_analyticSystems->addTab(buildAnalyticsTab(), QStringLiteral("Google Analytics"));
    m_analyticSystems->addTab(buildAhrefsTab(), QStringLiteral("Ahrefs"));
    layout->addWidget(m_analyticSystems, 3);

    // The backlinks history chart sits beside the tabs and is on show only
    // while the Ahrefs tab is.
    m_backlinksChart = titledChartView("Chart1", QStringLiteral("Backlinks History"));
    m_backlinksChart->setMinimumWidth(360);
    m_backlinksChart->hide();
    layout->addWidget(m_backlinksChart, 2);
    connect(m_analyticSystems, &QTabWidget::currentChanged, this,
            [this](int index) { m_backlinksChart->setVisible(index == 4); });
    return group;
}

namespace {

// The " Token List " group of a service tab: the aliases of the connected
// accounts and the buttons that manage them.
QGroupBox *tokenGroup(const char *listName, const char *addName, const char *renameName, const char *deleteName,
                      const char *connectName)
{
    auto *group = new QGroupBox(QStringLiteral(" Token List "));
    group->setObjectName(QStringLiteral("gbToken_") + name(listName));
    auto *layout = new QHBoxLayout(group);
    auto *list = named(new QListWidget, listName);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(list, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(button(QStringLiteral("Add"), addName));
    QPushButton *rename = button(QStringLiteral("Rename"), renameName);
    rename->setEnabled(false);
    buttons->addWidget(rename);
    buttons->addWidget(button(QStringLiteral("Delete"), deleteName));
    buttons->addStretch(1);
    QPushButton *connectButton = button(QStringLiteral("Connect to Account"), connectName);
    connectButton->setMinimumWidth(150);
    buttons->addWidget(connectButton);
    layout->addLayout(buttons);
    group->setFixedWidth(TokenGroupWidth);
    return group;
}

QWidget *serviceTab(const char *objectName, QWidget *left, QWidget *right)
{
    auto *tab = named(new QWidget, objectName);
    auto *layout = new QHBoxLayout(tab);
    layout->addWidget(left);
    layout->addWidget(right, 1);
    return tab;
}

QWidget *column(std::initializer_list<QWidget *> widgets, bool stretchAtEnd = false)
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : widgets)
        layout->addWidget(w);
    if (stretchAtEnd)
        layout->addStretch(1);
    return box;
}

// A site list with its "Get All Keywords" button under it.
QWidget *siteListWithKeywords(QTreeWidget *list, const char *keywordsName)
{
    QPushButton *keywords = button(QStringLiteral("Get All Keywords"), keywordsName);
    keywords->setEnabled(false); // until an account is connected
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list, 1);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(keywords);
    layout->addLayout(row);
    return box;
}

} // namespace

QWidget *MainWindow::buildYandexWebmasterTab()
{
    QTreeWidget *sites = reportList("ListView1", {QStringLiteral("Domain"), QStringLiteral("Host")}, {260, 260});
    return serviceTab("tsSettingsYWM", tokenGroup("ListBox1", "Button3", "Button4", "Button5", "Button6"),
                      siteListWithKeywords(sites, "Button34"));
}

QWidget *MainWindow::buildYandexMetrikaTab()
{
    QTreeWidget *counters = reportList("ListView2", {QStringLiteral("Domain"), QStringLiteral("ID")}, {300, 100});
    counters->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    counters->setContextMenuPolicy(Qt::CustomContextMenu);
    QGroupBox *period = periodGroup("ComboBox10", "DateTimePicker3", "DateTimePicker4");
    period->setFixedWidth(PeriodGroupWidth);
    auto *right = new QWidget;
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(counters, 1);
    rightLayout->addWidget(period, 0, Qt::AlignLeft);
    return serviceTab("tsSettingsYM", tokenGroup("ListBox2", "Button7", "Button8", "Button9", "Button10"), right);
}

QWidget *MainWindow::buildSearchConsoleTab()
{
    QTreeWidget *properties = reportList("ListView3", {QStringLiteral("Domain"), QStringLiteral("Host")}, {260, 300});
    return serviceTab("TabSheet5", tokenGroup("ListBox3", "Button11", "Button12", "Button13", "Button14"),
                      siteListWithKeywords(properties, "Button32"));
}

QWidget *MainWindow::buildAnalyticsTab()
{
    auto *views = new QGroupBox(QStringLiteral(" View "));
    views->setObjectName(QStringLiteral("gbAnalyticsView"));
    auto *form = new QFormLayout(views);
    const std::pair<const char *, const char *> lists[] = {
        {"Account:", "ComboBox1"}, {"Property:", "ComboBox2"}, {"View:", "ComboBox3"}, {"Segment:", "ComboBox4"}};
    for (const auto &[caption, comboName] : lists) {
        auto *combo = named(new QComboBox, comboName);
        combo->setMinimumWidth(280);
        QLabel *comboLabel = label(name(caption));
        form->addRow(comboLabel, combo);
        // Segments are not used: that list stays empty and disabled.
        if (combo->objectName() == QLatin1String("ComboBox4")) {
            combo->setEnabled(false);
            comboLabel->setEnabled(false);
        }
    }

    QGroupBox *period = periodGroup("ComboBox5", "DateTimePicker1", "DateTimePicker2");
    views->setMaximumWidth(PeriodGroupWidth);
    period->setMaximumWidth(PeriodGroupWidth);
    QWidget *right = column({views, period}, true);
    return serviceTab("tsSettingsGA", tokenGroup("ListBox4", "Button15", "Button16", "Button17", "Button18"), right);
}

QWidget *MainWindow::buildAhrefsTab()
{
    auto *tab = named(new QWidget, "tsSettingsAhrefs");
    auto *layout = new QHBoxLayout(tab);

    auto *query = new QGroupBox(QStringLiteral(" Ahrefs API "));
    query->setObjectName(QStringLiteral("gbAhrefs"));
    query->setFixedWidth(TokenGroupWidth);
    auto *form = new QFormLayout(query);
    auto *token = named(new QLineEdit, "Edit1");
    form->addRow(label(QStringLiteral("Token:")), token);
    auto *site = named(new QLineEdit, "Edit2");
    site->setPlaceholderText(QStringLiteral("example.com"));
    form->addRow(label(QStringLiteral("Site:")), site);
    auto *table = named(new QComboBox, "ComboBox6");
    table->addItems({QStringLiteral("ahrefs_rank"), QStringLiteral("anchors"), QStringLiteral("backlinks"),
                     QStringLiteral("metrics"), QStringLiteral("pages"), QStringLiteral("refdomains"),
                     QStringLiteral("subscription_info")});
    table->setCurrentIndex(6);
    form->addRow(label(QStringLiteral("From:")), table);
    auto *rows = named(new QSpinBox, "SpinEdit1");
    rows->setRange(100, 10000);
    rows->setSingleStep(100);
    rows->setValue(100);
    form->addRow(label(QStringLiteral("Rows:")), rows);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(button(QStringLiteral("Show Data"), "Button20"));
    buttons->addWidget(button(QStringLiteral("Get Backlinks History >>"), "Button28"));
    form->addRow(buttons);

    auto *data = new QWidget;
    auto *dataLayout = new QVBoxLayout(data);
    dataLayout->setContentsMargins(0, 0, 0, 0);
    dataLayout->addWidget(named(new QLabel(QStringLiteral("Data:")), "Label23"));
    auto *text = named(new QPlainTextEdit, "RichEdit1");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    dataLayout->addWidget(text, 1);

    layout->addWidget(query, 0, Qt::AlignTop);
    layout->addWidget(data, 1);
    return tab;
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
        auto *part = named(new QLabel(name(text)), objectName);
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
    layout->addWidget(reportList("ListView10", {QStringLiteral("Date"), QStringLiteral("Count")}, {100, 80}));
    box->hide();
    return box;
}

void MainWindow::buildPopupMenus()
{
    // On the report tables.
    m_urlsMenu = named(new QMenu(this), "pmURLs");
    QAction *paste = menuItem(m_urlsMenu, QStringLiteral("Paste from Clipboard"), "miPaste4Clipboard");
    paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    QAction *remove = menuItem(m_urlsMenu, QStringLiteral("Delete"), "miDeleteURL");
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    m_urlsMenu->addSeparator();
    menuItem(m_urlsMenu, QStringLiteral("Submit URLs via Google Indexing API"), "SubmitURLforIndexinginGoogle1");
    for (QTableView *view : m_reportViews) {
        // The shortcuts act on the table that has the focus.
        for (QAction *action : {paste, remove}) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            view->addAction(action);
        }
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &pos) { m_urlsMenu->popup(view->viewport()->mapToGlobal(pos)); });
    }

    // The two checks of the Search Console tab, offered by "Check URL".
    auto *gscChecks = named(new QMenu(this), "PopupMenu1");
    menuItem(gscChecks, QStringLiteral("Check GSC"), "CheckGSC1");
    menuItem(gscChecks, QStringLiteral("URL Inspection API"), "URLInspectionAPI1");

    // The two Google sign-ins behind "Add" of the Search Console token list.
    auto *googleSignIns = named(new QMenu(this), "PopupMenu2");
    menuItem(googleSignIns, QStringLiteral("Search Console"), "MenuItem1");
    menuItem(googleSignIns, QStringLiteral("Indexing API"), "MenuItem2");
    if (auto *add = findChild<QPushButton *>(QStringLiteral("Button11"))) {
        connect(add, &QPushButton::clicked, this,
                [add, googleSignIns] { googleSignIns->popup(add->mapToGlobal(add->rect().bottomLeft())); });
    }

    // On the Yandex Metrika counter list.
    auto *counterMenu = named(new QMenu(this), "PopupMenu3");
    QAction *keywords = menuItem(counterMenu, QStringLiteral("Get All Keywords"), "GetAllKeywords1");
    keywords->setEnabled(false); // until a counter connection has succeeded
    if (auto *counters = findChild<QTreeWidget *>(QStringLiteral("ListView2"))) {
        connect(counters, &QWidget::customContextMenuRequested, this, [counters, counterMenu](const QPoint &pos) {
            counterMenu->popup(counters->viewport()->mapToGlobal(pos));
        });
    }
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
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        target = m_runButton;
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
