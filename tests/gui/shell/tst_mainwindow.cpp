// The main window and the secondary windows, headless: components and their
// captions, the state at start, the activity log, the general settings at
// show and close, the news panel, the wait dialog and its progress bar.

#include "app/SingleInstanceLock.h"
#include "app/VeltranoError.h"
#include "auth/SettingsFile.h"
#include "support/RecordingPorts.h"
#include "ui/accounts/WaitDialog.h"
#include "ui/desktop/HandlerGuard.h"
#include "ui/reports/StatsChartView.h"
#include "ui/services/search_console/IndexingApiWindow.h"
#include "ui/services/search_console/SearchConsoleKeywordsWindow.h"
#include "ui/services/yandex_metrika/YandexMetrikaKeywordsWindow.h"
#include "ui/services/yandex_webmaster/YandexWebmasterKeywordsWindow.h"
#include "ui/shell/Application.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NewsBrowser.h"
#include "ui/shell/ProductPages.h"
#include "app/SimulatorProcess.h"
#include "ui/shell/Workbench.h"
#include "ui/widgets/MarqueeProgressBar.h"

#include "SimServer.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPieSeries>
#include <QPieSlice>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace veltrano;
using namespace veltrano::testing;

namespace {

Endpoints testEndpoints()
{
    Endpoints e;
    e.homePage = QStringLiteral("http://127.0.0.1:9/home/en");
    e.homePageRu = QStringLiteral("http://127.0.0.1:9/home/ru");
    e.newsPage = QStringLiteral("http://127.0.0.1:9/news/en");
    e.newsPageRu = QStringLiteral("http://127.0.0.1:9/news/ru");
    e.makerSite = QStringLiteral("http://127.0.0.1:9/maker");
    e.loopbackPort = 0; // the sign-in listener on any free port: tests may run side by side
    return e;
}

// A main window on a temporary settings folder, with recording ports and a
// news fetcher that answers at once without any network.
struct Fixture {
    explicit Fixture(
        const QString &folder, QLocale locale = QLocale(QLocale::English, QLocale::UnitedStates),
        NewsBrowser::Fetcher fetcher = [](const QString &, const std::atomic<bool> &) { return QByteArray(); })
    {
        MainWindowOptions options;
        options.appFolder = folder;
        options.systemLocale = locale;
        options.prompt = &prompt;
        options.browser = &browser;
        options.newsFetcher = std::move(fetcher);
        app = std::make_unique<Workbench>(testEndpoints(), options);
        window = &app->window();
    }
    template <typename T> T *find(const QString &name) const { return window->findChild<T *>(name); }
    RecordingPrompt prompt;
    RecordingBrowser browser;
    std::unique_ptr<Workbench> app;
    MainWindow *window = nullptr;
};

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QStringList tabCaptions(const QTabWidget *tabs)
{
    QStringList out;
    for (int i = 0; i < tabs->count(); ++i)
        out << tabs->tabText(i);
    return out;
}

QString captionOf(const QObject *object)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(object))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(object))
        return g->title();
    if (auto *l = qobject_cast<const QLabel *>(object))
        return l->text();
    if (auto *a = qobject_cast<const QAction *>(object))
        return a->text();
    if (auto *w = qobject_cast<const QWidget *>(object))
        return w->windowTitle();
    return {};
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void windowFrame();
    void components_data();
    void components();
    void tabCaptionsInOrder_data();
    void tabCaptionsInOrder();
    void reportColumns_data();
    void reportColumns();
    void statsChartStartsEmpty();
    void startState();
    void firstShowSelectsFirstTabs();
    void enterAndEscapeReachTheRunButtons();

    void logSwitchesFromNewsAndKeepsNewestOnTop();

    void generalSettingsAtShow_data();
    void generalSettingsAtShow();
    void closingWritesGeneralSettings();
    void refusedWriteAtCloseStillCloses();
    void placementAtStart_data();
    void placementAtStart();
    void placementRoundTrip();
    void settingsTabsKeepTheWindowWidth();

    void productPages_data();
    void productPages();
    void aboutLinksOpenTheBrowser();
    void newsShowsWelcomeWithoutAddress_data();
    void newsShowsWelcomeWithoutAddress();
    void newsPageReplacesWelcome();
    void newsLinksOnlyOpenWebAddresses();
    void newsComesOverHttpWithoutItsResources();
    void newsAnswerAfterWindowIsGone();

    void secondaryWindows_data();
    void secondaryWindows();
    void waitDialogLook();
    void waitDialogClosingOnlyHides();
    void marqueeSwitch();
    void marqueeDelay_data();
    void marqueeDelay();
    void canMarqueeOffStopsAndOnResumes();

    void handlerErrorsReachTheErrorBox();
    void secondInstanceIsTurnedAway();
    void simulatorIsStartedOnlyWhenNeeded();

private:
    QTemporaryDir m_dir;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestMainWindow::windowFrame()
{
    Fixture f(m_dir.path());
    QCOMPARE(f.window->objectName(), QStringLiteral("fmMain"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Veltrano"));
    QCOMPARE(f.window->size(), QSize(1287, 750));
}

void TestMainWindow::components_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("caption"); // empty: not checked

    const auto row = [](const char *name, const char *type, const char *caption = "") {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(type) << QString::fromUtf8(caption);
    };
    // "URLs List"
    row("pcPages", "QTabWidget");
    row("tsURLs", "QWidget");
    row("tsParams", "QWidget");
    row("pcReportsURLs", "QTabWidget");
    for (const char *sheet : {"tsURLsD", "tsURLsM", "TabSheet1", "TabSheet2", "TabSheet8"})
        row(sheet, "QWidget");
    for (const char *view : {"ListView4", "ListView5", "ListView6", "ListView7", "ListView11"})
        row(view, "QTableView");
    row("ProgressBar", "QProgressBar");
    row("pcBottom", "QTabWidget");
    row("tsNews", "QWidget");
    row("tsLog", "QWidget");
    row("lvLog", "QTableView");
    row("NewsBrowser", "QTextBrowser");
    row("Panel1", "QFrame");
    row("btInsertURLs4Clip", "QPushButton", "Paste from Clipboard");
    row("btImportURLs4TXT", "QPushButton", "Import URLs from txt...");
    row("btImportURLs4XML", "QPushButton", "Import URLs from xml...");
    row("btRunRequests", "QPushButton", "Check URL");
    row("btAbortRequests", "QPushButton", "Cancel");
    row("btExport", "QPushButton", "Export to CSV...");
    row("crtURLScore", "QChartView");
    // " Settings "
    row("gbParams", "QGroupBox", " Settings ");
    row("gbAnalyticSystems", "QGroupBox", " Analytic Systems ");
    row("gbAdditional", "QGroupBox", " Additional ");
    row("pcAnalyticSystems", "QTabWidget");
    row("edMinReqDelay", "QSpinBox");
    row("cbImpNoClearURLs", "QCheckBox");
    row("Chart1", "QChartView");
    row("Chart2", "QChartView");
    row("Memo1", "QPlainTextEdit");
    row("ListView10", "QTreeWidget");
    row("Panel4", "QFrame");
    row("lbVersion", "QLabel");
    row("lbNameVel", "QLabel", "Vel");
    row("lbNameTra", "QLabel", "tra");
    row("lbNameNo", "QLabel", "no");
    row("lbGotoSite", "QLabel");
    row("Label5", "QLabel");
    // Service tabs
    for (const char *list : {"ListBox1", "ListBox2", "ListBox3", "ListBox4"})
        row(list, "QListWidget");
    for (const char *add : {"Button3", "Button7", "Button11", "Button15"})
        row(add, "QPushButton", "Add");
    for (const char *rename : {"Button4", "Button8", "Button12", "Button16"})
        row(rename, "QPushButton", "Rename");
    for (const char *del : {"Button5", "Button9", "Button13", "Button17"})
        row(del, "QPushButton", "Delete");
    for (const char *connectButton : {"Button6", "Button10", "Button14", "Button18"})
        row(connectButton, "QPushButton", "Connect to Account");
    row("Button34", "QPushButton", "Get All Keywords");
    row("Button32", "QPushButton", "Get All Keywords");
    row("TabSheet5", "QWidget");
    for (const char *list : {"ListView1", "ListView2", "ListView3"})
        row(list, "QTreeWidget");
    for (const char *combo :
         {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5", "ComboBox6", "ComboBox10"})
        row(combo, "QComboBox");
    for (const char *picker : {"DateTimePicker1", "DateTimePicker2", "DateTimePicker3", "DateTimePicker4"})
        row(picker, "QDateEdit");
    row("Edit1", "QLineEdit");
    row("Edit2", "QLineEdit");
    row("SpinEdit1", "QSpinBox");
    row("Button20", "QPushButton", "Show Data");
    row("Button28", "QPushButton", "Get Backlinks History >>");
    row("Label23", "QLabel", "Data:");
    row("RichEdit1", "QPlainTextEdit");
    // Popup menus
    row("pmURLs", "QMenu");
    row("miPaste4Clipboard", "QAction", "Paste from Clipboard");
    row("miDeleteURL", "QAction", "Delete");
    row("SubmitURLforIndexinginGoogle1", "QAction", "Submit URLs via Google Indexing API");
    row("PopupMenu1", "QMenu");
    row("CheckGSC1", "QAction", "Check GSC");
    row("URLInspectionAPI1", "QAction", "URL Inspection API");
    row("PopupMenu2", "QMenu");
    row("MenuItem1", "QAction", "Search Console");
    row("MenuItem2", "QAction", "Indexing API");
    row("PopupMenu3", "QMenu");
    row("GetAllKeywords1", "QAction", "Get All Keywords");
}

void TestMainWindow::components()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, caption);
    Fixture f(m_dir.path());
    // The main window's own components: the secondary windows reuse some
    // of these names for their own widgets (ListView6, Chart1, PopupMenu1).
    QList<QObject *> found = f.window->findChildren<QObject *>(name);
    found.removeIf([&](const QObject *object) {
        for (const QObject *o = object; o && o != f.window; o = o->parent()) {
            if (o->inherits("QDialog"))
                return true;
        }
        return false;
    });
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.first()->inherits(type.toLatin1().constData()),
             qPrintable(found.first()->metaObject()->className()));
    if (!caption.isEmpty())
        QCOMPARE(captionOf(found.first()), caption);
}

void TestMainWindow::tabCaptionsInOrder_data()
{
    QTest::addColumn<QString>("tabs");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("pages") << "pcPages" << QStringList{"URLs List", " Settings "};
    QTest::newRow("reports") << "pcReportsURLs"
                             << QStringList{"Yandex Webmaster", "Yandex Metrika", "Google Search Console",
                                            "Google Analytics", "Ahrefs"};
    QTest::newRow("bottom") << "pcBottom" << QStringList{" News ", " Log "};
    QTest::newRow("services") << "pcAnalyticSystems"
                              << QStringList{"Yandex Webmaster", "Yandex Metrika", "Google Search Console",
                                             "Google Analytics", "Ahrefs"};
}

void TestMainWindow::tabCaptionsInOrder()
{
    QFETCH(QString, tabs);
    QFETCH(QStringList, captions);
    Fixture f(m_dir.path());
    auto *tabWidget = f.find<QTabWidget>(tabs);
    QVERIFY(tabWidget);
    QCOMPARE(tabCaptions(tabWidget), captions);
}

void TestMainWindow::reportColumns_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("widths");
    QTest::newRow("Yandex Webmaster") << 0 << "ListView4" << QStringList{"URL", "Indexed", "Title"}
                                      << QList<int>{400, 60, 350};
    QTest::newRow("Yandex Metrika") << 1 << "ListView5"
                                    << QStringList{"URL", "Visits", "Users", "Bounce Rate", "Deep View", "Time on Page"}
                                    << QList<int>{400, 50, 50, 75, 70, 80};
    QTest::newRow("Search Console")
        << 2 << "ListView6"
        << QStringList{"URL",          "Indexed",        "Clicks",           "Impressions",    "CTR",
                       "Avg Position", "Coverage State", "Robots.txt State", "Indexing State", "Last Crawl"}
        << QList<int>{200, 60, 50, 80, 50, 80, 90, 100, 90, 70};
    QTest::newRow("Google Analytics") << 3 << "ListView7"
                                      << QStringList{"URL",
                                                     "GA: Users",
                                                     "GA: Page Views",
                                                     "GA: Sessions",
                                                     "GA: Avg Session Duration",
                                                     "GA: Page Views Per Session",
                                                     "GA: Bounce Rate"}
                                      << QList<int>{400, 60, 90, 80, 140, 150, 100};
    // Ahrefs API v3 is the default: its figures name the rank and link columns.
    QTest::newRow("Ahrefs") << 4 << "ListView11" << QStringList{"URL",       "Indexed",      "UR",
                                                                "HTTP Code", "Ref. Domains", "Backlinks",
                                                                "Title"}
                            << QList<int>{300, 60, 100, 70, 80, 80, 250};
}

void TestMainWindow::reportColumns()
{
    QFETCH(int, tab);
    QFETCH(QString, view);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, widths);
    Fixture f(m_dir.path());
    QTableView *table = f.window->reportView(tab);
    QVERIFY(table);
    QCOMPARE(table->objectName(), view);
    QCOMPARE(table->property("Tag").toInt(), tab + 1);
    QCOMPARE(table->model()->columnCount(), int(captions.size()));
    QCOMPARE(table->model()->rowCount(), 0);
    for (int c = 0; c < captions.size(); ++c) {
        QCOMPARE(table->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        QCOMPARE(table->columnWidth(c), widths[c]);
    }
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->selectionMode(),
             tab == 2 ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);

    // A report model plugged in later gets the same column widths.
    auto *model = new QStandardItemModel(3, int(captions.size()), table);
    f.window->setReportModel(tab, model);
    QCOMPARE(table->model(), model);
    QCOMPARE(table->columnWidth(0), widths[0]);
}

void TestMainWindow::statsChartStartsEmpty()
{
    Fixture f(m_dir.path());
    QChart *chart = f.window->statsChartView()->chart();
    QCOMPARE(chart->title(), QStringLiteral("URL Indexation Stats"));
    QVERIFY(chart->titleFont().bold());
    QCOMPARE(chart->series().size(), 1);
    auto *pie = qobject_cast<QPieSeries *>(chart->series().first());
    QVERIFY(pie);
    QCOMPARE(pie->count(), 2);
    QCOMPARE(pie->slices()[0]->label(), QStringLiteral("Indexed (0%)"));
    QCOMPARE(pie->slices()[1]->label(), QStringLiteral("Not indexed (0%)"));
    QCOMPARE(pie->slices()[0]->color(), QColor(0x0C, 0xCF, 0x6D));
    QCOMPARE(pie->slices()[1]->color(), QColor(0xF8, 0x50, 0x40));
    QCOMPARE(pie->sum(), 0.0);
}

void TestMainWindow::startState()
{
    Fixture f(m_dir.path());
    auto enabled = [&](const char *name) { return f.find<QWidget>(QString::fromLatin1(name))->isEnabled(); };
    for (const char *name : {"btInsertURLs4Clip", "btImportURLs4TXT", "btImportURLs4XML"})
        QVERIFY2(enabled(name), name);
    for (const char *name :
         {"btRunRequests", "btAbortRequests", "btExport", "Button4", "Button8", "Button12", "Button16", "Button34",
          "Button32", "ComboBox4", "DateTimePicker1", "DateTimePicker2", "DateTimePicker3", "DateTimePicker4"})
        QVERIFY2(!enabled(name), name);
    QVERIFY(f.find<QPushButton>("btRunRequests")->isDefault());
    QVERIFY(!f.window->findChild<QAction *>("GetAllKeywords1")->isEnabled());

    auto *delay = f.find<QSpinBox>("edMinReqDelay");
    QCOMPARE(delay->minimum(), 1000);
    QCOMPARE(delay->maximum(), 10000);
    QCOMPARE(delay->singleStep(), 100);
    QCOMPARE(delay->value(), 1300);
    QVERIFY(!f.find<QCheckBox>("cbImpNoClearURLs")->isChecked());

    for (const char *presets : {"ComboBox5", "ComboBox10"}) {
        auto *combo = f.find<QComboBox>(presets);
        QCOMPARE(combo->count(), 10);
        QCOMPARE(combo->currentText(), QStringLiteral("Last 30 days"));
        QCOMPARE(combo->itemText(9), QStringLiteral("Custom"));
    }
    const QDate today = QDate::currentDate();
    for (const char *from : {"DateTimePicker1", "DateTimePicker3"})
        QCOMPARE(f.find<QDateEdit>(from)->date(), today.addDays(-30));
    for (const char *to : {"DateTimePicker2", "DateTimePicker4"})
        QCOMPARE(f.find<QDateEdit>(to)->date(), today);

    // Ahrefs API v3 is chosen; its free units read is the first endpoint.
    QCOMPARE(f.find<QComboBox>("cbAhrefsApi")->currentText(), QStringLiteral("v3"));
    QCOMPARE(f.find<QComboBox>("ComboBox6")->currentText(), QStringLiteral("limits-and-usage"));
    auto *rows = f.find<QSpinBox>("SpinEdit1");
    QCOMPARE(rows->minimum(), 100);
    QCOMPARE(rows->maximum(), 10000);
    QCOMPARE(rows->singleStep(), 100);
    QCOMPARE(rows->value(), 100);
}

void TestMainWindow::firstShowSelectsFirstTabs()
{
    Fixture f(m_dir.path());
    auto *pages = f.find<QTabWidget>("pcPages");
    auto *reports = f.find<QTabWidget>("pcReportsURLs");
    auto *services = f.find<QTabWidget>("pcAnalyticSystems");
    auto *bottom = f.find<QTabWidget>("pcBottom");
    pages->setCurrentIndex(1);
    reports->setCurrentIndex(3);
    services->setCurrentIndex(4);
    bottom->setCurrentIndex(1);
    QSignalSpy reportTabChanges(reports, &QTabWidget::currentChanged);

    f.window->show();
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(reports->currentIndex(), 0);
    QCOMPARE(services->currentIndex(), 0);
    QCOMPARE(bottom->currentIndex(), 0);
    QCOMPARE(reportTabChanges.count(), 0); // not a user's tab change
    QVERIFY(f.find<QChartView>("Chart1")->isHidden());
    QCOMPARE(f.find<QLabel>("lbVersion")->text(), QStringLiteral("Version: 1.2.1.29"));

    // The backlinks chart is on show with the Ahrefs tab only.
    pages->setCurrentIndex(1);
    services->setCurrentIndex(4);
    QVERIFY(!f.find<QChartView>("Chart1")->isHidden());
    services->setCurrentIndex(2);
    QVERIFY(f.find<QChartView>("Chart1")->isHidden());
    f.window->close();
}

void TestMainWindow::enterAndEscapeReachTheRunButtons()
{
    Fixture f(m_dir.path());
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window));
    auto *run = f.find<QPushButton>("btRunRequests");
    auto *cancel = f.find<QPushButton>("btAbortRequests");
    QSignalSpy runs(run, &QPushButton::clicked);
    QSignalSpy cancels(cancel, &QPushButton::clicked);
    QTableView *table = f.window->reportView(0);
    table->setFocus();

    // Disabled buttons take no key.
    QTest::keyClick(table, Qt::Key_Return);
    QTest::keyClick(table, Qt::Key_Escape);
    QCOMPARE(runs.count(), 0);
    QCOMPARE(cancels.count(), 0);

    run->setEnabled(true);
    cancel->setEnabled(true);
    QTest::keyClick(table, Qt::Key_Return);
    QTest::keyClick(table, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(table, Qt::Key_Escape);
    QCOMPARE(runs.count(), 2);
    QCOMPARE(cancels.count(), 1);

    // On the Settings page the buttons are out of sight and out of reach.
    f.find<QTabWidget>("pcPages")->setCurrentIndex(1);
    auto *token = f.find<QLineEdit>("Edit1");
    token->setFocus();
    QTest::keyClick(token, Qt::Key_Return);
    QCOMPARE(runs.count(), 2);
    f.window->close();
}

void TestMainWindow::logSwitchesFromNewsAndKeepsNewestOnTop()
{
    Fixture f(m_dir.path());
    f.window->show();
    auto *bottom = f.find<QTabWidget>("pcBottom");
    auto *view = f.find<QTableView>("lvLog");
    QCOMPARE(bottom->currentIndex(), 0);

    // The log is already on show when the line arrives.
    int rowsWhenSwitched = -1;
    connect(bottom, &QTabWidget::currentChanged, this,
            [&](int index) { rowsWhenSwitched = index == 1 ? view->model()->rowCount() : -1; });
    f.app->addToLog(QStringLiteral("Check started"));
    QCOMPARE(bottom->currentIndex(), 1);
    QCOMPARE(rowsWhenSwitched, 0);

    f.app->addToLog(QStringLiteral("Check finished"));
    QCOMPARE(view->model()->rowCount(), 2);
    QCOMPARE(view->model()->index(0, 1).data().toString(), QStringLiteral("Check finished"));
    QCOMPARE(view->model()->index(1, 1).data().toString(), QStringLiteral("Check started"));
    QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Time"));
    QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Event"));
    // The event takes the width the time leaves free.
    QCOMPARE(view->columnWidth(0), 80);
    QVERIFY(view->columnWidth(1) >= 600);
    QCOMPARE(view->columnWidth(0) + view->columnWidth(1), view->viewport()->width());
    QVERIFY(view->showGrid());
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);

    // Back on the news, the next line brings the log again.
    bottom->setCurrentIndex(0);
    f.app->addToLog(QStringLiteral("API connections not found"));
    QCOMPARE(bottom->currentIndex(), 1);
    QCOMPARE(view->model()->index(0, 1).data().toString(), QStringLiteral("API connections not found"));
    f.window->close();
}

void TestMainWindow::generalSettingsAtShow_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no settings file
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("noClear");

    QTest::newRow("no file") << QByteArray() << 1300 << false;
    QTest::newRow("stored values") << QByteArray("[Settings]\nreq-predelay=2500\nimport-no-clear=1\n") << 2500 << true;
    QTest::newRow("below range") << QByteArray("[Settings]\nreq-predelay=500\n") << 1000 << false;
    QTest::newRow("above range") << QByteArray("[Settings]\nreq-predelay=20000\n") << 10000 << false;
    QTest::newRow("letters") << QByteArray("[Settings]\nreq-predelay=abc\nimport-no-clear=2\n") << 1300 << true;
    QTest::newRow("section typed in lower case") << QByteArray("[settings]\nREQ-PREDELAY=1700\n") << 1700 << false;
    QTest::newRow("other sections only") << QByteArray("[YandexWM_Token]\ntoken_1=abc\n") << 1300 << false;
}

void TestMainWindow::generalSettingsAtShow()
{
    QFETCH(QByteArray, file);
    QFETCH(int, delay);
    QFETCH(bool, noClear);
    QTemporaryDir dir;
    if (!file.isEmpty())
        writeFile(dir.filePath("Veltrano.ini"), file);

    Fixture f(dir.path());
    f.window->show();
    QCOMPARE(f.find<QSpinBox>("edMinReqDelay")->value(), delay);
    QCOMPARE(f.find<QCheckBox>("cbImpNoClearURLs")->isChecked(), noClear);

    // What was shown is what is written back at close.
    f.window->close();
    const QString written = readFile(dir.filePath("Veltrano.ini"));
    QVERIFY2(written.contains(QStringLiteral("req-predelay=%1").arg(delay), Qt::CaseInsensitive), qPrintable(written));
    QVERIFY2(written.contains(QStringLiteral("import-no-clear=%1").arg(noClear ? 1 : 0), Qt::CaseInsensitive),
             qPrintable(written));
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestMainWindow::closingWritesGeneralSettings()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("Veltrano.ini"), "[YandexWM_Token]\ntoken_1=secret\n");
    {
        Fixture f(dir.path());
        f.window->show();
        f.find<QSpinBox>("edMinReqDelay")->setValue(4200);
        f.find<QCheckBox>("cbImpNoClearURLs")->setChecked(true);
        QSignalSpy closing(f.window, &MainWindow::closing);
        QVERIFY(f.window->close());
        QCOMPARE(closing.count(), 1);
    }
    const QString written = readFile(dir.filePath("Veltrano.ini"));
    QVERIFY(written.contains(QStringLiteral("token_1=secret"))); // the rest of the file stays
    {
        Fixture f(dir.path());
        f.window->show();
        QCOMPARE(f.find<QSpinBox>("edMinReqDelay")->value(), 4200);
        QVERIFY(f.find<QCheckBox>("cbImpNoClearURLs")->isChecked());
        f.window->close();
    }
}

void TestMainWindow::refusedWriteAtCloseStillCloses()
{
    // A "folder" that is really a file: nothing can be written below it,
    // whatever the user's rights.
    QTemporaryDir dir;
    writeFile(dir.filePath("blocked"), "not a folder");
    const QString folder = dir.filePath("blocked") + QLatin1Char('/');

    Fixture f(folder);
    f.window->show();
    QSignalSpy closing(f.window, &MainWindow::closing);
    QVERIFY(f.window->close());
    QVERIFY(!f.window->isVisible());
    QCOMPARE(closing.count(), 1);
    QCOMPARE(f.prompt.shown.size(), 1);
    QCOMPARE(f.prompt.shown.first().icon, MessagePrompt::Icon::Error);
    QVERIFY2(f.prompt.shown.first().text.startsWith(QStringLiteral("Unable to write to ") + folder +
                                                    QStringLiteral("Veltrano.ini")),
             qPrintable(f.prompt.shown.first().text));
}

void TestMainWindow::placementAtStart_data()
{
    QTest::addColumn<QByteArray>("stored"); // the lines of the [Window] section
    QTest::addColumn<QRect>("expected");    // empty: the centred window of a first start
    QTest::addColumn<bool>("maximized");
    const QByteArray place = "left=40\ntop=30\nwidth=1000\nheight=560\n";
    QTest::newRow("where it was") << place << QRect(40, 30, 1000, 560) << false;
    QTest::newRow("maximized") << place + "maximized=1\n" << QRect(40, 30, 1000, 560) << true;
    QTest::newRow("nothing stored") << QByteArray() << QRect() << false;
    QTest::newRow("a size that is no number")
        << QByteArray("left=40\ntop=30\nwidth=wide\nheight=500\n") << QRect() << false;
    QTest::newRow("a size of nothing") << QByteArray("left=40\ntop=30\nwidth=0\nheight=500\n") << QRect() << false;
    QTest::newRow("a number missing") << QByteArray("left=40\ntop=30\nwidth=700\n") << QRect() << false;
    QTest::newRow("off every screen") << QByteArray("left=9000\ntop=30\nwidth=700\nheight=500\n") << QRect() << false;
    QTest::newRow("title bar above the screen")
        << QByteArray("left=40\ntop=-400\nwidth=700\nheight=500\n") << QRect() << false;
}

void TestMainWindow::placementAtStart()
{
    QFETCH(QByteArray, stored);
    QFETCH(QRect, expected);
    QFETCH(bool, maximized);
    QTemporaryDir dir;
    writeFile(dir.filePath("Veltrano.ini"), "[Window]\n" + stored);
    if (expected.isNull()) {
        expected = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(1287, 750),
                                       QGuiApplication::primaryScreen()->availableGeometry());
    }
    Fixture f(dir.path());
    QCOMPARE(f.window->normalGeometry(), expected);
    QCOMPARE(f.window->isMaximized(), maximized);
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestMainWindow::placementRoundTrip()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("Veltrano.ini"), "[YandexWM_Token]\ntoken_1=secret\n");
    // Within the window's least size, and on the test screen (800x600).
    const QRect place(60, 50, 1000, 560);
    const auto stored = [&](const char *key) {
        return SettingsFile(dir.filePath("Veltrano.ini")).readString(QStringLiteral("Window"), QLatin1String(key));
    };
    {
        Fixture f(dir.path());
        f.window->show();
        f.window->setGeometry(place);
        QTRY_COMPARE(f.window->geometry(), place);
        QVERIFY(f.window->close());
    }
    QCOMPARE(stored("left"), QStringLiteral("60"));
    QCOMPARE(stored("top"), QStringLiteral("50"));
    QCOMPARE(stored("width"), QStringLiteral("1000"));
    QCOMPARE(stored("height"), QStringLiteral("560"));
    QCOMPARE(stored("maximized"), QStringLiteral("0"));
    QVERIFY(readFile(dir.filePath("Veltrano.ini")).contains(QStringLiteral("token_1=secret")));
    {
        // Maximized, it keeps the place it had before for the next start.
        Fixture f(dir.path());
        QCOMPARE(f.window->geometry(), place);
        f.window->show();
        f.window->showMaximized();
        QTRY_VERIFY(f.window->isMaximized());
        QVERIFY(f.window->close());
    }
    QCOMPARE(stored("maximized"), QStringLiteral("1"));
    QCOMPARE(stored("width"), QStringLiteral("1000"));
    {
        Fixture f(dir.path());
        QVERIFY(f.window->isMaximized());
        QCOMPARE(f.window->normalGeometry(), place);
    }
}

void TestMainWindow::settingsTabsKeepTheWindowWidth()
{
    QTemporaryDir dir;
    Fixture f(dir.path());
    f.window->show();
    f.window->resize(928, 700);
    QTest::qWait(20);
    const int width = f.window->width();
    f.find<QTabWidget>("pcPages")->setCurrentIndex(1);
    auto *services = f.find<QTabWidget>("pcAnalyticSystems");
    for (int tab = services->count() - 1; tab >= 0; --tab) {
        services->setCurrentIndex(tab);
        QTest::qWait(20);
        QCOMPARE(f.window->width(), width);
    }
    // The Ahrefs tab's backlinks chart is on show beside the tabs.
    services->setCurrentIndex(4);
    QTest::qWait(20);
    QVERIFY(f.find<QWidget>("Chart1")->isVisible());
    QVERIFY(f.find<QWidget>("Chart1")->width() > 0);
    QCOMPARE(f.window->width(), width);
    f.window->close();
}

void TestMainWindow::productPages_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("ruHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("news");

    const QLocale russia(QLocale::Russian, QLocale::Russia);
    QTest::newRow("Russian, Russia") << russia << "https://h/ru"
                                     << "https://h/ru"
                                     << "https://n/ru";
    QTest::newRow("Russian, Ukraine") << QLocale(QLocale::Russian, QLocale::Ukraine) << "https://h/ru"
                                      << "https://h/en"
                                      << "https://n/en";
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "https://h/ru"
                             << "https://h/en"
                             << "https://n/en";
    QTest::newRow("Russian page not built") << russia << ""
                                            << "https://h/en"
                                            << "https://n/ru";
}

void TestMainWindow::productPages()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, ruHome);
    QFETCH(QString, home);
    QFETCH(QString, news);
    Endpoints e;
    e.homePage = QStringLiteral("https://h/en");
    e.homePageRu = ruHome;
    e.newsPage = QStringLiteral("https://n/en");
    e.newsPageRu = QStringLiteral("https://n/ru");
    e.makerSite = QStringLiteral("https://m/");
    const ProductPages pages(e, locale);
    QCOMPARE(pages.homePage(), home);
    QCOMPARE(pages.newsPage(), news);
    QCOMPARE(pages.makerSite(), QStringLiteral("https://m/"));
}

void TestMainWindow::aboutLinksOpenTheBrowser()
{
    QStringList fetched;
    std::mutex mutex;
    auto fetcher = [&](const QString &url, const std::atomic<bool> &) {
        std::lock_guard<std::mutex> lock(mutex);
        fetched << url;
        return QByteArray();
    };
    Fixture f(m_dir.path(), QLocale(QLocale::Russian, QLocale::Russia), fetcher);
    f.window->show();
    QSignalSpy done(f.window->newsBrowser(), &NewsBrowser::newsFinished);
    QVERIFY(done.count() > 0 || done.wait(5000));
    {
        std::lock_guard<std::mutex> lock(mutex);
        QCOMPARE(fetched, QStringList{testEndpoints().newsPageRu});
    }

    QMetaObject::invokeMethod(f.find<QLabel>("lbGotoSite"), "linkActivated", Q_ARG(QString, QStringLiteral("home")));
    QMetaObject::invokeMethod(f.find<QLabel>("Label5"), "linkActivated", Q_ARG(QString, QStringLiteral("maker")));
    QCOMPARE(f.browser.opened, (QStringList{testEndpoints().homePageRu, testEndpoints().makerSite}));
    QCOMPARE(f.find<QLabel>("lbGotoSite")->text().contains(QStringLiteral("Veltrano Home Page")), true);
    f.window->close();
}

void TestMainWindow::newsShowsWelcomeWithoutAddress_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("empty") << QString();
    QTest::newRow("local file") << QStringLiteral("file:///etc/passwd");
    QTest::newRow("other scheme") << QStringLiteral("javascript:alert(1)");
    QTest::newRow("not an address") << QStringLiteral("::::");
}

void TestMainWindow::newsShowsWelcomeWithoutAddress()
{
    QFETCH(QString, url);
    RecordingBrowser browser;
    NewsBrowser news(browser);
    std::atomic<int> calls{0};
    news.loadNews(url, [&](const QString &, const std::atomic<bool> &) {
        ++calls;
        return QByteArray("<p>never</p>");
    });
    QCOMPARE(calls.load(), 0);
    QVERIFY(!news.showsNewsPage());
    QVERIFY(news.toPlainText().contains(QStringLiteral("Welcome to Veltrano")));
}

void TestMainWindow::newsPageReplacesWelcome()
{
    RecordingBrowser browser;
    NewsBrowser news(browser);
    std::atomic<int> calls{0};
    QSignalSpy done(&news, &NewsBrowser::newsFinished);

    // A page in its own code page, with an image that must not be fetched.
    news.loadNews(QStringLiteral("http://127.0.0.1:9/news/ru"), [&](const QString &, const std::atomic<bool> &) {
        ++calls;
        return QByteArray(
            "<html><head><meta charset=\"windows-1251\"></head><body><h1>\xcd\xee\xe2\xee\xf1\xf2\xe8</h1>"
            "<img src=\"http://127.0.0.1:9/logo.png\"><script>document.write('x')</script></body></html>");
    });
    QVERIFY(news.toPlainText().contains(QStringLiteral("Welcome to Veltrano"))); // until the page is in
    QVERIFY(done.wait(5000));
    QCOMPARE(done.first().first().toBool(), true);
    QVERIFY(news.showsNewsPage());
    QVERIFY2(news.toPlainText().contains(QString::fromUtf8("Новости")), qPrintable(news.toPlainText()));
    QVERIFY(!news.toPlainText().contains(QStringLiteral("document.write")));
    QCOMPARE(calls.load(), 1);

    // No answer, or a failing fetch: the welcome text stays.
    for (bool throwing : {false, true}) {
        done.clear();
        news.loadNews(QStringLiteral("http://127.0.0.1:9/news/en"),
                      [throwing](const QString &, const std::atomic<bool> &) -> QByteArray {
                          if (throwing)
                              throw std::runtime_error("connection refused");
                          return {};
                      });
        QVERIFY(done.wait(5000));
        QCOMPARE(done.first().first().toBool(), false);
        QVERIFY(!news.showsNewsPage());
        QVERIFY(news.toPlainText().contains(QStringLiteral("Welcome to Veltrano")));
    }
}

void TestMainWindow::newsLinksOnlyOpenWebAddresses()
{
    RecordingBrowser browser;
    NewsBrowser news(browser);
    QSignalSpy done(&news, &NewsBrowser::newsFinished);
    news.loadNews(QStringLiteral("http://127.0.0.1:9/news/en"), [](const QString &, const std::atomic<bool> &) {
        return QByteArray("<a href=\"/releases/1.2\">Release</a>");
    });
    QVERIFY(done.wait(5000));
    for (const char *link : {"/releases/1.2", "https://127.0.0.1:9/x", "file:///etc/passwd", "javascript:alert(1)"})
        QMetaObject::invokeMethod(&news, "anchorClicked", Q_ARG(QUrl, QUrl(QString::fromLatin1(link))));
    QCOMPARE(browser.opened,
             (QStringList{QStringLiteral("http://127.0.0.1:9/releases/1.2"), QStringLiteral("https://127.0.0.1:9/x")}));
}

void TestMainWindow::newsComesOverHttpWithoutItsResources()
{
    sim::SimServer server;
    QVERIFY(server.start());
    const std::string base = server.baseUrl();
    server.setResponse("GET", "/news/en",
                       sim::Response::text("<h2>Release 1.2.1</h2><img src=\"" + base +
                                               "/logo.png\">"
                                               "<link rel=\"stylesheet\" href=\"/style.css\">",
                                           200, "text/html; charset=utf-8"));
    server.setResponse("GET", "/news/gone", sim::Response::text("<h2>Not here</h2>", 404));

    RecordingBrowser browser;
    NewsBrowser news(browser);
    QSignalSpy done(&news, &NewsBrowser::newsFinished);
    news.loadNews(QString::fromStdString(base + "/news/en"), NewsBrowser::networkFetcher());
    QVERIFY(done.wait(15000));
    QVERIFY(news.showsNewsPage());
    QVERIFY(news.toPlainText().contains(QStringLiteral("Release 1.2.1")));
    news.grab(); // paint it, images included
    QCoreApplication::processEvents();

    // An error answer is no news page.
    done.clear();
    news.loadNews(QString::fromStdString(base + "/news/gone"), NewsBrowser::networkFetcher());
    QVERIFY(done.wait(15000));
    QVERIFY(!news.showsNewsPage());

    const auto requests = server.requests();
    QCOMPARE(requests.size(), size_t(2));
    QCOMPARE(requests[0].path, std::string("/news/en"));
    QCOMPARE(requests[1].path, std::string("/news/gone"));
}

void TestMainWindow::newsAnswerAfterWindowIsGone()
{
    // The window closes while the news page is still on its way: the fetch
    // is told to stop, the window waits for its thread (none outlives the
    // program), and the late answer is dropped without touching the
    // destroyed panel.
    std::atomic<bool> sawStop{false};
    std::atomic<bool> finished{false};
    RecordingBrowser browser;
    {
        NewsBrowser news(browser);
        news.loadNews(QStringLiteral("http://127.0.0.1:9/news/en"),
                      [&](const QString &, const std::atomic<bool> &stop) {
                          while (!stop.load())
                              std::this_thread::sleep_for(std::chrono::milliseconds(5));
                          sawStop = true;
                          finished = true;
                          return QByteArray("<p>late news</p>");
                      });
    }
    QVERIFY(sawStop.load());
    QVERIFY(finished.load());
    QTest::qWait(50); // let a wrongly queued delivery surface
    QCoreApplication::processEvents();
}

void TestMainWindow::secondaryWindows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("wait") << "ShowWaitLoader"
                          << "Connecting...";
    QTest::newRow("GSC keywords") << "frmKeywords"
                                  << "GSC Keywords / Google Trends";
    QTest::newRow("YWM keywords") << "frmKeywordsYa"
                                  << "YWM Keywords";
    QTest::newRow("Metrika keywords") << "frmKeywordsYaMetr"
                                      << "YMetrika Keywords";
    QTest::newRow("Indexing API") << "frmGoogleIndexation"
                                  << "Indexation API";
}

void TestMainWindow::secondaryWindows()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    Fixture f(m_dir.path());
    f.window->show();
    auto *window = f.find<QDialog>(name);
    QVERIFY(window);
    QVERIFY(window->isWindow());
    QVERIFY(!window->isVisible());
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(window->minimumSize(), window->maximumSize()); // fixed size
    f.window->close();
}

void TestMainWindow::waitDialogLook()
{
    Fixture f(m_dir.path());
    WaitDialog *dialog = f.app->waitDialog();
    const QSize size(WaitDialog::ClientWidth, WaitDialog::ClientHeight);
    QCOMPARE(dialog->size(), size);
    QCOMPARE(dialog->minimumSize(), size);
    QCOMPARE(dialog->maximumSize(), size);
    QVERIFY(!dialog->isModal());
    QVERIFY(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint));
    auto *picture = dialog->findChild<QLabel *>("Image1");
    QVERIFY(picture);
    QCOMPARE(picture->size(), QSize(49, 49));
    QVERIFY(!picture->pixmap().isNull());
    QVERIFY(dialog->findChild<QLabel *>("Label1"));
    QCOMPARE(dialog->findChild<QLabel *>("Label1")->text(), QStringLiteral("Please wait while connecting..."));
    QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("Cancel"));
    // "Cancel" sits at the lower right, right of the picture and the text;
    // the address and "Copy link" run across the window below them, and
    // nothing overlaps.
    const QRect cancel = dialog->cancelButton()->geometry();
    QVERIFY(cancel.right() < size.width() && cancel.right() > size.width() - 30);
    QVERIFY(cancel.bottom() < size.height() && cancel.bottom() > size.height() - 20);
    QVERIFY(picture->geometry().right() < dialog->progressBar()->geometry().left());
    QCOMPARE(dialog->copyLinkButton()->text(), QStringLiteral("Copy link"));
    const QList<QWidget *> parts{picture,
                                 dialog->progressBar(),
                                 dialog->addressField(),
                                 dialog->copyLinkButton(),
                                 dialog->statusLabel(),
                                 dialog->cancelButton()};
    for (QWidget *a : parts) {
        QVERIFY(QRect(QPoint(0, 0), size).contains(a->geometry()));
        for (QWidget *b : parts)
            QVERIFY(a == b || !a->geometry().intersects(b->geometry()));
    }

    // On show the bar runs as a marquee at its initial pace.
    MarqueeProgressBar *bar = dialog->progressBar();
    QVERIFY(!bar->marquee());
    dialog->showWaiting(QStringLiteral("http://first"), true);
    QVERIFY(dialog->isVisible());
    QVERIFY(bar->marquee());
    QVERIFY(bar->canMarquee());
    QVERIFY(bar->isAnimating());
    QCOMPARE(bar->animationInterval(), 20);
    QCOMPARE(dialog->address(), QStringLiteral("http://first"));
    const QPoint where = dialog->pos();
    // Already shown: it stays where it is and shows the newer sign-in.
    dialog->showWaiting(QStringLiteral("http://second"), false);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->pos(), where);
    QCOMPARE(dialog->address(), QStringLiteral("http://second"));
    QVERIFY(dialog->statusLabel()->text().contains(QStringLiteral("could not be opened")));
}

void TestMainWindow::waitDialogClosingOnlyHides()
{
    Fixture f(m_dir.path());
    f.window->show();
    WaitDialog *dialog = f.app->waitDialog();
    QSignalSpy cancelled(dialog, &WaitDialog::cancelled);
    const QString address = QStringLiteral("http://127.0.0.1:1/authorize");

    // Escape, "Cancel" and the close box each give the sign-in up once.
    dialog->showWaiting(address, true);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->progressBar()->isAnimating());
    QCOMPARE(cancelled.count(), 1);

    dialog->showWaiting(address, true);
    QVERIFY(dialog->progressBar()->isAnimating());
    dialog->cancelButton()->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(cancelled.count(), 2);

    dialog->showWaiting(address, true);
    dialog->close();
    QCOMPARE(cancelled.count(), 3);

    // A completed sign-in closes it without cancelling anything.
    dialog->showWaiting(address, true);
    dialog->closeCompleted();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(cancelled.count(), 3);

    // Still the same window, ready for the next sign-in.
    QCOMPARE(f.app->waitDialog(), dialog);
    dialog->showWaiting(address, true);
    QVERIFY(dialog->isVisible());
    f.window->close();
    QVERIFY(!dialog->isVisible());
}

void TestMainWindow::marqueeSwitch()
{
    MarqueeProgressBar bar;
    QCOMPARE(bar.property("Marquee").toBool(), false);
    QCOMPARE(bar.property("MarqueeDelay").toInt(), 20);
    QCOMPARE(bar.property("CanMarquee").toBool(), false);
    QVERIFY(!bar.isAnimating());

    bar.setMarquee(false); // same value: nothing
    QVERIFY(!bar.canMarquee());

    bar.setProperty("Marquee", true);
    QVERIFY(bar.canMarquee());
    QVERIFY(bar.isAnimating());
    QCOMPARE(bar.animationInterval(), 20);

    bar.setMarquee(false);
    QVERIFY(!bar.isAnimating());
    QVERIFY(bar.canMarquee()); // stays a marquee bar, only still
}

void TestMainWindow::marqueeDelay_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("expectedDelay");
    QTest::newRow("new value, still") << false << 50 << 50;
    QTest::newRow("new value, running") << true << 50 << 50;
    QTest::newRow("zero") << true << 0 << 20;
    QTest::newRow("negative") << true << -5 << 20;
    QTest::newRow("same value") << true << 20 << 20;
}

void TestMainWindow::marqueeDelay()
{
    QFETCH(bool, running);
    QFETCH(int, delay);
    QFETCH(int, expectedDelay);
    MarqueeProgressBar bar;
    bar.setMarquee(running);
    bar.setMarqueeDelay(delay);
    QCOMPARE(bar.marqueeDelay(), expectedDelay);
    QCOMPARE(bar.isAnimating(), running);
    if (running)
        QCOMPARE(bar.animationInterval(), expectedDelay);
    // A later start uses the stored pace.
    bar.setMarquee(false);
    bar.setMarquee(true);
    QCOMPARE(bar.animationInterval(), expectedDelay);
}

void TestMainWindow::canMarqueeOffStopsAndOnResumes()
{
    MarqueeProgressBar bar;
    bar.setMarquee(true);
    bar.setCanMarquee(false);
    QVERIFY(!bar.isAnimating());
    QVERIFY(bar.marquee());
    bar.setCanMarquee(true);
    QVERIFY(bar.isAnimating());

    // Without Marquee, CanMarquee alone draws a still marquee bar.
    MarqueeProgressBar still;
    still.setCanMarquee(true);
    QVERIFY(!still.isAnimating());
    still.resize(200, 16);
    QVERIFY(!still.grab().isNull());
}

void TestMainWindow::handlerErrorsReachTheErrorBox()
{
    RecordingPrompt prompt;
    bool after = false;
    QVERIFY(!runHandler(prompt, [&] {
        throw valueNotFound(QStringLiteral("hosts"));
        after = true;
    }));
    QVERIFY(!after);
    QVERIFY(!runHandler(prompt, [] { throw std::runtime_error("stoi"); }));
    QVERIFY(runHandler(prompt, [] {}));
    QCOMPARE(prompt.shown.size(), 2);
    QCOMPARE(prompt.shown[0].icon, MessagePrompt::Icon::Error);
    QCOMPARE(prompt.shown[0].text, QStringLiteral("Value 'hosts' not found"));
    QCOMPARE(prompt.shown[1].text, QStringLiteral("stoi"));

    // The same, wired to a button's click.
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked,
                     guarded(prompt, [] { throw VeltranoError(QStringLiteral("Unable to write to x")); }));
    button.click();
    QCOMPARE(prompt.shown.size(), 3);
    QCOMPARE(prompt.shown[2].text, QStringLiteral("Unable to write to x"));
}

void TestMainWindow::secondInstanceIsTurnedAway()
{
    QTemporaryDir folder;
    SingleInstanceLock running(QStringLiteral("Veltrano"), folder.path());
    RecordingPrompt prompt;
    QVERIFY(takeInstanceLock(running, prompt));
    QVERIFY(prompt.shown.isEmpty());

    SingleInstanceLock second(QStringLiteral("Veltrano"), folder.path());
    QVERIFY(!takeInstanceLock(second, prompt));
    QCOMPARE(prompt.shown.size(), 1);
    QCOMPARE(prompt.shown[0].icon, MessagePrompt::Icon::Warning);
    QCOMPARE(prompt.shown[0].title, QStringLiteral("Warning"));
    QCOMPARE(prompt.shown[0].text, QStringLiteral("Program already started!"));
    QVERIFY(running.isLocked()); // the running instance keeps its lock
}

void TestMainWindow::simulatorIsStartedOnlyWhenNeeded()
{
    // Something already answers on the port: nothing is started.
    sim::SimServer running;
    QVERIFY(running.start());
    {
        SimulatorProcess simulator(QStringLiteral("/nonexistent/veltrano-sim"), running.port());
        QVERIFY(SimulatorProcess::isListening(running.port()));
        QVERIFY(simulator.ensureRunning());
        QVERIFY(!simulator.startedHere());
    }
    const int port = running.port();
    running.stop();
    QVERIFY(!SimulatorProcess::isListening(port));

    // Nothing listens and there is no simulator to start.
    SimulatorProcess missing(QStringLiteral("/nonexistent/veltrano-sim"), port);
    QVERIFY(!missing.ensureRunning(200));
    QVERIFY(!missing.startedHere());

    // The real simulator beside the programs: started, then stopped again.
    const QString program = QStringLiteral(VELTRANO_BINARY_DIR "/bin/veltrano-sim");
    if (!QFileInfo(program).isExecutable())
        QSKIP("veltrano-sim is not built");
    {
        SimulatorProcess simulator(program, port);
        QVERIFY(simulator.ensureRunning());
        QVERIFY(simulator.startedHere());
        QVERIFY(SimulatorProcess::isListening(port));
    }
    QVERIFY(!SimulatorProcess::isListening(port));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
