// The "URLs List" page of the real main window, headless: imports into the
// selected report table and its tab caption, Delete, header-click sorting,
// the table menu, the check-run frame with a check of the test's own (cancel,
// the lock on the walked table, the Search Console menu), the statistics pie,
// the CSV export, and the drawing of badge and bar cells.

#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "auth/SettingsFile.h"
#include "reports/ReportTable.h"
#include "reports/SavedStateFile.h"
#include "reports/SortState.h"
#include "services/ServiceTable.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "support/MainWindowHarness.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/reports/ReportCellDelegate.h"
#include "ui/reports/ReportHeaderView.h"
#include "ui/reports/ReportsController.h"
#include "ui/reports/StatsChartView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <functional>
#include <memory>

using namespace veltrano;
using namespace veltrano::testing;

namespace {

// Dialog answers given in advance; an empty answer is a cancelled dialog.

QString fixture(const char *name)
{
    return QStringLiteral(VELTRANO_FIXTURES_DIR "/reports/") + QString::fromLatin1(name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The real main window on a temporary settings folder, with recording ports.
struct Page {
    explicit Page(const QString &folder)
    {
        Endpoints endpoints;
        endpoints.loopbackHost = QStringLiteral("127.0.0.1");
        endpoints.loopbackPort = 0; // any free port: tests may run side by side
        MainWindowOptions options = quietWindowOptions(folder);
        options.prompt = &prompt;
        options.browser = &browser;
        options.fileDialogs = &dialogs;
        options.clipboard = &clipboard;
        app = std::make_unique<Workbench>(endpoints, options);
        window = &app->window();
        reports = &app->reports();
        logBase = app->activityLog().entries().size();
    }
    void show()
    {
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        logBase = app->activityLog().entries().size();
    }
    template <typename T = QWidget> T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QPushButton *button(const char *name) const { return find<QPushButton>(name); }
    QTabWidget *tabs() const { return find<QTabWidget>("pcReportsURLs"); }
    ReportTable &table(int tab) const { return *reports->table(tab); }
    QTableView *view(int tab) const { return window->reportView(tab); }
    QStringList urls(int tab) const
    {
        QStringList out;
        for (int r = 0; r < table(tab).rowCount(); ++r)
            out << table(tab).url(r);
        return out;
    }
    QStringList column(int tab, int column) const
    {
        QStringList out;
        for (int r = 0; r < table(tab).rowCount(); ++r)
            out << table(tab).cell(r, column);
        return out;
    }
    // What the page wrote since the window was made or shown (the services
    // of the window may log lines of their own at start).
    QStringList log() const { return app->activityLog().messagesInOrder().mid(qsizetype(logBase)); }
    // Enabled states of the right-hand buttons, in panel order.
    QList<bool> buttons() const
    {
        QList<bool> out;
        for (const char *name : {"btInsertURLs4Clip", "btImportURLs4TXT", "btImportURLs4XML", "btRunRequests",
                                 "btAbortRequests", "btExport"})
            out << button(name)->isEnabled();
        return out;
    }
    QStringList sliceLabels() const
    {
        QStringList out;
        for (QPieSlice *slice : window->statsChartView()->series()->slices())
            out << slice->label();
        return out;
    }
    QList<int> sliceValues() const
    {
        QList<int> out;
        for (QPieSlice *slice : window->statsChartView()->series()->slices())
            out << int(slice->value());
        return out;
    }
    QString chartTitle() const { return window->statsChartView()->chart()->title(); }
    void clickHeader(int tab, int column) const
    {
        QHeaderView *header = view(tab)->horizontalHeader();
        const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }
    void selectRows(int tab, const QList<int> &rows) const
    {
        QItemSelectionModel *selection = view(tab)->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(table(tab).index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    int promptsSaying(const QString &text) const { return int(prompt.texts.count(text)); }

    RecordingPrompt prompt;
    RecordingBrowser browser;
    TestClipboard clipboard;
    ScriptedDialogs dialogs;
    std::unique_ptr<Workbench> app;
    MainWindow *window = nullptr;
    ReportsController *reports = nullptr;
    size_t logBase = 0;
};

// A check of the test's own, shaped like every service check: per row write
// the cells, advance the bar, hand over to pending events, stop when asked.
// onRow runs inside the check before the events of that row are processed,
// standing in for what the user does meanwhile.
void walkRows(CheckContext &ctx, ReportTable &table, const std::function<void(int)> &onRow, int column,
              const QString &value)
{
    for (int row = 0; row < table.rowCount(); ++row) {
        table.setCell(row, column, value);
        ctx.advanceProgress();
        if (onRow)
            onRow(row);
        if (ctx.processEventsAndTestCancel()) {
            ctx.addToLog(QStringLiteral("Check cancelled..."));
            return;
        }
    }
    ctx.markReportDataReady();
}

// Acts once on the check menu that "Check URL" opens, when it is on screen.
// Destroying the returned timer stops waiting for it.
std::unique_ptr<QTimer> whenCheckMenuShows(const std::function<void(QMenu *)> &act)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(10);
    QObject::connect(timer.get(), &QTimer::timeout, [timer = timer.get(), act] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible() || menu->objectName() != QLatin1String("PopupMenu1"))
            return;
        timer->stop();
        act(menu);
    });
    timer->start();
    return timer;
}

// The menu item that runs the check registered as index on its tab.
QAction *itemForCheck(QMenu *menu, int index)
{
    for (QAction *action : menu->actions()) {
        if (action->isEnabled() && action->data().toInt() == index)
            return action;
    }
    return nullptr;
}

// "Check URL" (by trigger) for the test's own check of a tab. The services
// of the window may have registered checks on the same tab; then the check
// menu offers them all and the test picks its own, the last registered.
void runOwnCheck(RunControl &run, int tab, const std::function<void()> &trigger)
{
    const int own = int(run.checkNames(tab).size()) - 1;
    const auto picker = whenCheckMenuShows([own](QMenu *menu) {
        menu->setActiveAction(itemForCheck(menu, own));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    trigger();
}

const QString LimitMessage = QStringLiteral("Limitation: no more 50 000 URLs");

// A complete run of the test's own check on a tab, which makes "Export to
// CSV..." available.
void completeRun(Page &p, int tab)
{
    p.tabs()->setCurrentIndex(tab);
    p.reports->runControl().clearChecks(tab);
    p.reports->runControl().registerCheck(tab, QStringLiteral("Test check"),
                                          [](CheckContext &ctx) { ctx.markReportDataReady(); });
    p.reports->runControl().markApiConnected();
    runOwnCheck(p.reports->runControl(), tab, [&] { p.button("btRunRequests")->click(); });
}

// The tooltip the widget shows for a help request at pos; empty when none.
QString toolTipAt(QWidget *widget, const QPoint &pos)
{
    // A tooltip leaves only after a short fade: wait until it is gone.
    QToolTip::hideText();
    QElapsedTimer fading;
    fading.start();
    while (QToolTip::isVisible() && fading.elapsed() < 3000)
        QTest::qWait(10);
    QHelpEvent help(QEvent::ToolTip, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

// The URLs of a report in the state file as it is on the disk now.
QStringList savedUrls(const QString &folder, const QString &report)
{
    SavedState state;
    if (SavedStateFile::read(SavedStateFile::pathIn(folder), state) != SavedStateFile::ReadResult::Read)
        return {QStringLiteral("(not read)")};
    for (const SavedReport &saved : state.reports) {
        if (saved.name == report)
            return QStringList(saved.urls.begin(), saved.urls.end());
    }
    return {};
}

class TestReportsPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    // Each test starts without the reports an earlier one left saved.
    void cleanup();

    void viewsShowTheReportTables();
    void urlColumnTakesTheFreeWidth();
    void cutCellsAndCaptionsShowTheirWholeText();
    void pasteFillsTheSelectedTable_data();
    void pasteFillsTheSelectedTable();
    void pasteClearsUnlessTheOptionSaysNot();
    void importFromFiles_data();
    void importFromFiles();
    void importStopsAtTheLimitOnce();
    void deleteRemovesTheFirstSelectedRow();
    void urlsMenuItems_data();
    void urlsMenuItems();
    void headerClickSortsBySharedState();

    void cancelledRunKeepsOtherTabsLive();
    void closingDuringACheckAsksFirst_data();
    void closingDuringACheckAsksFirst();
    void completeRunEnablesExportAndRedrawsTheChart();
    void searchConsoleAsksWhichCheck_data();
    void searchConsoleAsksWhichCheck();

    void chartFollowsTheSelectedTab();
    void ahrefsTabConnectsWithAToken();
    void exportWritesTheSortedTable();
    void exportCancelledOrRefused();
    void exportStartsInTheLastExportFolder();

    void statusBadge_data();
    void statusBadge();
    void percentBar_data();
    void percentBar();
    void percentCaption_data();
    void percentCaption();

    void reportsAreKeptAcrossARestart();
    void damagedSavedReportsAreSetAsideAtStart();

private:
    QTemporaryDir m_dir;
};

void TestReportsPage::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A user's locale: text columns sort by its collation, ignoring case.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestReportsPage::cleanup()
{
    QDir folder(m_dir.path());
    for (const QString &name : folder.entryList({QStringLiteral("Veltrano.state*")}, QDir::Files))
        folder.remove(name);
}

void TestReportsPage::viewsShowTheReportTables()
{
    Page p(m_dir.path());
    for (int tab = 0; tab < ServiceTable::count(); ++tab) {
        QTableView *view = p.view(tab);
        QCOMPARE(view->model(), &p.table(tab));
        QCOMPARE(view->objectName(), p.table(tab).name());
        QVERIFY(!view->isSortingEnabled());
        for (int c = 0; c < p.table(tab).columnCount(); ++c) {
            QCOMPARE(view->columnWidth(c),
                     p.table(tab).headerData(c, Qt::Horizontal, ReportTable::ColumnWidthRole).toInt());
            // Badges and bars have their own drawing, every other cell the ordinary one.
            const auto drawing =
                CellDrawing(p.table(tab).headerData(c, Qt::Horizontal, ReportTable::CellDrawingRole).toInt());
            QCOMPARE(qobject_cast<ReportCellDelegate *>(view->itemDelegateForColumn(c)) != nullptr,
                     drawing != CellDrawing::Plain);
        }
    }
    QVERIFY(qobject_cast<ReportCellDelegate *>(p.view(0)->itemDelegateForColumn(1)));
    QVERIFY(qobject_cast<ReportCellDelegate *>(p.view(1)->itemDelegateForColumn(3)));
    QVERIFY(qobject_cast<ReportCellDelegate *>(p.view(3)->itemDelegateForColumn(6)));

    // A caption wider than its column ends in an ellipsis, right-aligned
    // ones too, rather than losing its first letters.
    auto *header = qobject_cast<ReportHeaderView *>(p.view(1)->horizontalHeader());
    QVERIFY(header);
    const QString narrow = header->shownCaption(3, 40);
    QVERIFY2(narrow.startsWith(QStringLiteral("Bo")) && narrow.endsWith(QChar(0x2026)), qPrintable(narrow));
    QCOMPARE(header->shownCaption(3, 400), QStringLiteral("Bounce Rate"));
}

void TestReportsPage::urlColumnTakesTheFreeWidth()
{
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(3);
    QTableView *view = p.view(3);
    const ReportTable &table = p.table(3);
    const auto widthOf = [&](int c) {
        return table.headerData(c, Qt::Horizontal, ReportTable::ColumnWidthRole).toInt();
    };
    auto *header = qobject_cast<ReportHeaderView *>(view->horizontalHeader());
    QVERIFY(header);
    // With room to spare every other column shows its caption whole ("Bounce
    // Rate" needs more than its least width), never less than its least.
    int others = 0;
    bool wider = false;
    for (int c = 1; c < table.columnCount(); ++c) {
        others += header->wholeCaptionWidth(c);
        QVERIFY(header->wholeCaptionWidth(c) >= widthOf(c));
        wider = wider || header->wholeCaptionWidth(c) > widthOf(c);
    }
    QVERIFY(wider);
    const auto fills = [&] {
        QCOMPARE(view->columnWidth(0), std::max(widthOf(0), view->viewport()->width() - others));
        for (int c = 1; c < table.columnCount(); ++c) {
            QCOMPARE(view->columnWidth(c), header->wholeCaptionWidth(c));
            QCOMPARE(header->shownCaption(c, view->columnWidth(c)), table.headerData(c, Qt::Horizontal).toString());
        }
    };

    // Wider than all the columns need: the URL takes what the others leave.
    p.window->resize(2000, p.window->height());
    QTRY_VERIFY(view->viewport()->width() - others > widthOf(0));
    fills();
    const int before = view->columnWidth(0);
    p.window->resize(p.window->width() + 200, p.window->height());
    QTRY_COMPARE(view->columnWidth(0), before + 200);
    fills();

    // The user can still set a column's width; with no width left free the
    // URL keeps its own.
    QCOMPARE(view->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    view->horizontalHeader()->resizeSection(6, 1800);
    QCOMPARE(view->columnWidth(6), 1800);
    p.window->resize(p.window->width() - 10, p.window->height());
    QTRY_COMPARE(view->columnWidth(0), widthOf(0));
    QCOMPARE(view->columnWidth(6), 1800);
}

void TestReportsPage::cutCellsAndCaptionsShowTheirWholeText()
{
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(0);
    ReportTable &ywm = p.table(0);
    const QString longUrl = QStringLiteral("https://example.com/") + QString(300, QLatin1Char('a'));
    ywm.appendRows({longUrl, "https://example.com/b"});
    QTableView *view = p.view(0);
    QCOMPARE(ywm.index(0, 0).data(Qt::ToolTipRole).toString(), longUrl);
    QVERIFY(ywm.index(0, 1).data(Qt::ToolTipRole).isNull()); // an empty cell has nothing to show

    const auto centreOf = [&](int row, int column) { return view->visualRect(ywm.index(row, column)).center(); };
    QCOMPARE(toolTipAt(view->viewport(), centreOf(0, 0)), longUrl);
    QCOMPARE(toolTipAt(view->viewport(), centreOf(1, 0)), QString()); // shown whole
    QCOMPARE(toolTipAt(view->viewport(), centreOf(1, 1)), QString());

    // A header caption: only a cut one has a tooltip.
    p.tabs()->setCurrentIndex(1);
    QHeaderView *header = p.view(1)->horizontalHeader();
    const auto captionCentre = [&](int column) {
        return QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    };
    header->resizeSection(3, 30);
    QCOMPARE(toolTipAt(header->viewport(), captionCentre(3)), QStringLiteral("Bounce Rate"));
    header->resizeSection(3, 300);
    QCOMPARE(toolTipAt(header->viewport(), captionCentre(3)), QString());
    QToolTip::hideText();
}

void TestReportsPage::pasteFillsTheSelectedTable_data()
{
    QTest::addColumn<QString>("via");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("caption");
    QTest::newRow("button") << "button" << 0 << "Yandex Webmaster (2)";
    QTest::newRow("menu item") << "menu" << 2 << "Google Search Console (2)";
    QTest::newRow("Ctrl+V on the table") << "keys" << 4 << "Ahrefs (2)";
}

void TestReportsPage::pasteFillsTheSelectedTable()
{
    QFETCH(QString, via);
    QFETCH(int, tab);
    QFETCH(QString, caption);
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(tab);
    // An empty line, blanks around a repeat, a picture: two rows remain.
    p.clipboard.value =
        QStringLiteral("https://e.com/a\r\n\n  https://e.com/a \t\nhttps://e.com/A\rhttps://example.com/logo.PNG");

    if (via == QLatin1String("button")) {
        p.button("btInsertURLs4Clip")->click();
    } else if (via == QLatin1String("menu")) {
        p.find<QAction>("miPaste4Clipboard")->trigger();
    } else {
        p.view(tab)->setFocus();
        QTest::keyClick(p.view(tab), Qt::Key_V, Qt::ControlModifier);
    }

    QCOMPARE(p.urls(tab), (QStringList{"https://e.com/a", "https://e.com/A"}));
    QCOMPARE(p.table(tab).cell(1, p.table(tab).columnCount() - 1), QString()); // all cells, empty
    QCOMPARE(p.tabs()->tabText(tab), caption);
    QCOMPARE(p.log(), QStringList{"Data pasted from Clipboard"});
    for (int other = 0; other < ServiceTable::count(); ++other) {
        if (other != tab)
            QCOMPARE(p.table(other).rowCount(), 0);
    }
}

void TestReportsPage::pasteClearsUnlessTheOptionSaysNot()
{
    Page p(m_dir.path());
    QPushButton *paste = p.button("btInsertURLs4Clip");

    // A clipboard without text: nothing at all.
    paste->click();
    QVERIFY(p.log().isEmpty());
    QCOMPARE(p.tabs()->tabText(0), QStringLiteral("Yandex Webmaster"));

    p.clipboard.value = QStringLiteral("https://e.com/u1\nhttps://e.com/u2");
    paste->click();
    p.clipboard.value = QStringLiteral("https://e.com/u3");
    paste->click();
    QCOMPARE(p.urls(0), QStringList{"https://e.com/u3"});

    p.find<QCheckBox>("cbImpNoClearURLs")->setChecked(true);
    p.clipboard.value = QStringLiteral("https://e.com/u1\nhttps://e.com/u3");
    paste->click();
    QCOMPARE(p.urls(0), (QStringList{"https://e.com/u3", "https://e.com/u1"}));
    QCOMPARE(p.tabs()->tabText(0), QStringLiteral("Yandex Webmaster (2)"));
}

void TestReportsPage::importFromFiles_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<int>("barValue");
    // The plain text import leaves the bar alone; the sitemap counts the
    // child nodes of urlset (comments too) and moves per "url" taken.
    QTest::newRow("text file") << "btImportURLs4TXT" << fixture("urls_utf8.txt") << "Text files (*.txt)" << 3
                               << "Data imported from file" << 100 << 0;
    QTest::newRow("sitemap") << "btImportURLs4XML" << fixture("sitemap_10_urls_2_comments.xml") << "XML files (*.xml)"
                             << 10 << "XML data loaded" << 12 << 10;
    QTest::newRow("cancelled") << "btImportURLs4XML" << QString() << "XML files (*.xml)" << 0 << QString() << 100 << 0;
    QTest::newRow("not a sitemap") << "btImportURLs4XML" << fixture("sitemap_index.xml") << "XML files (*.xml)" << 0
                                   << QString() << 100 << 0;
}

void TestReportsPage::importFromFiles()
{
    QFETCH(QString, button);
    QFETCH(QString, file);
    QFETCH(QString, filter);
    QFETCH(int, rows);
    QFETCH(QString, logLine);
    QFETCH(int, barMaximum);
    QFETCH(int, barValue);
    Page p(m_dir.path());
    p.tabs()->setCurrentIndex(1);
    p.dialogs.openAnswer = file;
    p.button(button.toLatin1().constData())->click();

    QCOMPARE(p.dialogs.opens.size(), 1);
    QCOMPARE(p.dialogs.opens[0].folder, p.app->appFolder());
    QCOMPARE(p.dialogs.opens[0].filter, filter);
    QCOMPARE(p.table(1).rowCount(), rows);
    QCOMPARE(p.log(), logLine.isEmpty() ? QStringList() : QStringList{logLine});
    QCOMPARE(p.tabs()->tabText(1), rows ? QStringLiteral("Yandex Metrika (%1)").arg(rows) : "Yandex Metrika");
    QCOMPARE(p.window->runProgressBar()->maximum(), barMaximum);
    QCOMPARE(p.window->runProgressBar()->value(), barValue);
}

void TestReportsPage::importStopsAtTheLimitOnce()
{
    // One URL more than a table holds: the import stops at the limit with a
    // single message, and still logs and counts what it added.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("urls.txt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray text;
        for (int i = 0; i <= ReportTable::RowLimit; ++i)
            text += "https://example.com/page-" + QByteArray::number(i) + "\r\n";
        file.write(text);
    }
    Page p(m_dir.path());
    p.show();
    p.dialogs.openAnswer = path;
    QElapsedTimer timer;
    timer.start();
    p.button("btImportURLs4TXT")->click();
    const qint64 importMs = timer.elapsed();
    QCoreApplication::processEvents(); // the view takes the rows in
    qInfo("import of %d lines into the window: %lld ms (with the view: %lld ms)", ReportTable::RowLimit + 1, importMs,
          timer.elapsed());

    QCOMPARE(p.table(0).rowCount(), ReportTable::RowLimit);
    QCOMPARE(p.promptsSaying(LimitMessage), 1);
    QCOMPARE(p.log(), QStringList{"Data imported from file"});
    QCOMPARE(p.tabs()->tabText(0), QStringLiteral("Yandex Webmaster (50000)"));
    QCOMPARE(p.view(0)->model()->rowCount(), ReportTable::RowLimit);

    // The full table takes nothing more, again with one message.
    p.clipboard.value = QStringLiteral("https://example.com/new-1\nhttps://example.com/new-2");
    p.find<QCheckBox>("cbImpNoClearURLs")->setChecked(true);
    p.button("btInsertURLs4Clip")->click();
    QCOMPARE(p.table(0).rowCount(), ReportTable::RowLimit);
    QCOMPARE(p.promptsSaying(LimitMessage), 2);
}

void TestReportsPage::deleteRemovesTheFirstSelectedRow()
{
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(2);
    p.table(2).appendRows({"r0", "r1", "r2", "r3"});
    QTableView *view = p.view(2);
    view->setFocus();

    // Nothing selected: nothing happens.
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(p.table(2).rowCount(), 4);
    QVERIFY(p.log().isEmpty());

    // The Search Console table takes several rows; Delete removes the first.
    p.selectRows(2, {3, 1});
    QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(p.urls(2), (QStringList{"r0", "r2", "r3"}));
    QCOMPARE(p.tabs()->tabText(2), QStringLiteral("Google Search Console (3)"));
    QCOMPARE(p.log(), QStringList{"URL deleted"});

    // The menu item does the same; the last row leaves the bare caption.
    p.tabs()->setCurrentIndex(0);
    p.table(0).appendRows({"only"});
    p.selectRows(0, {0});
    p.find<QAction>("miDeleteURL")->trigger();
    QCOMPARE(p.table(0).rowCount(), 0);
    QCOMPARE(p.tabs()->tabText(0), QStringLiteral("Yandex Webmaster"));
    QCOMPARE(p.table(2).rowCount(), 3);
}

void TestReportsPage::urlsMenuItems_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("clipboardText");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<bool>("submit");
    QTest::newRow("Search Console with rows") << 2 << 1 << true << true << true;
    QTest::newRow("Search Console empty") << 2 << 0 << true << true << false;
    QTest::newRow("other tab with rows") << 0 << 1 << true << true << false;
    QTest::newRow("clipboard without text") << 2 << 1 << false << false << true;
}

void TestReportsPage::urlsMenuItems()
{
    QFETCH(int, tab);
    QFETCH(int, rows);
    QFETCH(bool, clipboardText);
    QFETCH(bool, paste);
    QFETCH(bool, submit);
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(tab);
    if (rows)
        p.table(tab).appendRows({"u"});
    if (clipboardText)
        p.clipboard.value = QStringLiteral("x");

    auto *menu = p.find<QMenu>("pmURLs");
    QTableView *view = p.view(tab);
    Q_EMIT view->customContextMenuRequested(QPoint(10, 10));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(p.find<QAction>("miPaste4Clipboard")->isEnabled(), paste);
    QCOMPARE(p.find<QAction>("SubmitURLforIndexinginGoogle1")->isEnabled(), submit);
    QVERIFY(p.find<QAction>("miDeleteURL")->isEnabled());
    menu->hide();
    // Between showings Ctrl+V stays live on the table.
    QVERIFY(p.find<QAction>("miPaste4Clipboard")->isEnabled());
}

void TestReportsPage::headerClickSortsBySharedState()
{
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(1);
    ReportTable &metrika = p.table(1);
    metrika.appendRows({"u100", "u2", "u10"});
    metrika.setCell(0, 1, "100");
    metrika.setCell(1, 1, "2");
    metrika.setCell(2, 1, "10");
    metrika.setCell(0, 2, "9");
    metrika.setCell(1, 2, "10");
    metrika.setCell(2, 2, "8");

    p.clickHeader(1, 1); // "Visits", whole numbers, first click ascending
    QCOMPARE(p.column(1, 1), (QStringList{"2", "10", "100"}));
    p.clickHeader(1, 1);
    QCOMPARE(p.column(1, 1), (QStringList{"100", "10", "2"}));
    p.clickHeader(1, 2); // "Users" as text, still descending: 9 before 10
    QCOMPARE(p.column(1, 2), (QStringList{"9", "8", "10"}));
    QCOMPARE(p.reports->sortState().sortColumn(), 2);

    // The state is shared: column 2 of another table now inverts.
    p.tabs()->setCurrentIndex(0);
    p.table(0).appendRows({"b", "a", "c"});
    p.table(0).setCell(0, 2, "Beta");
    p.table(0).setCell(1, 2, "alpha");
    p.table(0).setCell(2, 2, "Gamma");
    p.clickHeader(0, 2);
    QCOMPARE(p.column(0, 2), (QStringList{"alpha", "Beta", "Gamma"}));
    QVERIFY(p.reports->sortState().sortAscending());
}

void TestReportsPage::cancelledRunKeepsOtherTabsLive()
{
    Page p(m_dir.path());
    p.show();
    ReportTable &ywm = p.table(0);
    ywm.appendRows({"c", "a", "b", "d"});
    p.tabs()->setCurrentIndex(0);

    bool sawLock = false;
    // The test's check in place of the service's.
    p.reports->runControl().clearChecks(0);
    p.reports->runControl().registerCheck(0, QStringLiteral("Test check"), [&](CheckContext &ctx) {
        walkRows(
            ctx, ywm,
            [&](int row) {
                if (row != 1)
                    return;
                // The walked table: no imports, no Delete, no sorting.
                QCOMPARE(p.buttons(), (QList<bool>{false, false, false, false, true, false}));
                p.clickHeader(0, 0);
                QCOMPARE(p.urls(0), (QStringList{"c", "a", "b", "d"}));
                QCOMPARE(p.reports->sortState().lastSortColumn(), -1);
                p.clipboard.value = QStringLiteral("https://e.com/x");
                p.find<QAction>("miPaste4Clipboard")->trigger();
                p.selectRows(0, {0});
                p.find<QAction>("miDeleteURL")->trigger();
                QCOMPARE(ywm.rowCount(), 4);

                // Another tab stays live, but its menu offers no paste.
                p.tabs()->setCurrentIndex(1);
                QCOMPARE(p.buttons(), (QList<bool>{true, true, true, false, true, false}));
                p.button("btInsertURLs4Clip")->click();
                QCOMPARE(p.urls(1), QStringList{"https://e.com/x"});
                Q_EMIT p.view(1)->customContextMenuRequested(QPoint(5, 5));
                QTRY_VERIFY(p.find<QMenu>("pmURLs")->isVisible());
                QVERIFY(!p.find<QAction>("miPaste4Clipboard")->isEnabled());
                p.find<QMenu>("pmURLs")->hide();
                p.tabs()->setCurrentIndex(0);

                QTest::keyClick(p.window, Qt::Key_Escape); // "Cancel"
                QVERIFY(!p.button("btAbortRequests")->isEnabled());
                sawLock = true;
            },
            1, QStringLiteral("Yes"));
    });
    p.reports->runControl().markApiConnected();
    QCOMPARE(p.buttons(), (QList<bool>{true, true, true, true, false, false}));
    runOwnCheck(p.reports->runControl(), 0, [&] { p.button("btRunRequests")->click(); });

    QVERIFY(sawLock);
    QCOMPARE(p.log(), (QStringList{"Check started", "Data pasted from Clipboard", "Cancel check...",
                                   "Check cancelled...", "Check finished"}));
    // The run stopped after its second row; no complete run, so no export.
    QCOMPARE(p.column(0, 1), (QStringList{"Yes", "Yes", "", ""}));
    QCOMPARE(p.window->runProgressBar()->maximum(), 4);
    QCOMPARE(p.window->runProgressBar()->value(), 2);
    QCOMPARE(p.buttons(), (QList<bool>{true, true, true, true, false, false}));
    // The two rows not reached have no answer and count on neither side.
    QCOMPARE(p.sliceLabels(), (QStringList{"Indexed (100%)", "Not indexed (0%)"}));

    // The table is free again.
    QVERIFY(!ywm.isLocked());
    p.clickHeader(0, 0);
    QCOMPARE(p.urls(0), (QStringList{"a", "b", "c", "d"}));
}

void TestReportsPage::closingDuringACheckAsksFirst_data()
{
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QStringList>("indexed"); // column 1 after the run
    QTest::newRow("No: the check goes on") << false << QStringList{"Yes", "Yes", "Yes", "Yes"};
    QTest::newRow("Yes: it stops and the window closes") << true << QStringList{"Yes", "Yes", "", ""};
}

void TestReportsPage::closingDuringACheckAsksFirst()
{
    QFETCH(bool, stop);
    QFETCH(QStringList, indexed);
    Page p(m_dir.path());
    p.show();
    ReportTable &ywm = p.table(0);
    ywm.appendRows({"a", "b", "c", "d"});
    p.tabs()->setCurrentIndex(0);
    QSignalSpy closing(p.window, &MainWindow::closing);

    p.prompt.answer = stop;
    bool closed = false;
    p.reports->runControl().clearChecks(0);
    p.reports->runControl().registerCheck(0, QStringLiteral("Test check"), [&](CheckContext &ctx) {
        walkRows(
            ctx, ywm,
            [&](int row) {
                if (row == 1)
                    closed = p.window->close();
            },
            1, QStringLiteral("Yes"));
    });
    p.reports->runControl().markApiConnected();
    runOwnCheck(p.reports->runControl(), 0, [&] { p.button("btRunRequests")->click(); });

    QCOMPARE(p.prompt.asked.size(), 1);
    QVERIFY2(p.prompt.asked[0].text.contains(QStringLiteral("check is running")), qPrintable(p.prompt.asked[0].text));
    QCOMPARE(closed, stop);
    QCOMPARE(p.window->isVisible(), !stop);
    QCOMPARE(closing.count(), stop ? 1 : 0);
    QCOMPARE(p.column(0, 1), indexed);
    QCOMPARE(p.log().contains(QStringLiteral("Check cancelled...")), stop);

    // With no check running the window closes without a question.
    if (!stop) {
        QVERIFY(p.window->close());
        QCOMPARE(p.prompt.asked.size(), 1);
        QCOMPARE(closing.count(), 1);
    }
}

void TestReportsPage::completeRunEnablesExportAndRedrawsTheChart()
{
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(3);
    ReportTable &ga = p.table(3);
    ga.appendRows({"a", "b", "c"});
    p.reports->runControl().clearChecks(3);
    p.reports->runControl().registerCheck(3, QStringLiteral("Test check"),
                                          [&](CheckContext &ctx) { walkRows(ctx, ga, {}, 1, "6"); });
    p.reports->runControl().markApiConnected();
    // Enter presses the default button.
    runOwnCheck(p.reports->runControl(), 3, [&] { QTest::keyClick(p.window, Qt::Key_Return); });

    QCOMPARE(p.log(), (QStringList{"Check started", "Check finished"}));
    QCOMPARE(p.buttons(), (QList<bool>{true, true, true, true, false, true}));
    QCOMPARE(p.chartTitle(), QStringLiteral("Page Visit Stats"));
    QCOMPARE(p.sliceLabels(), (QStringList{"Traffic pages (100%)", "Pages without traffic (0%)"}));
    QCOMPARE(p.sliceValues(), (QList<int>{3, 0}));
    QCOMPARE(p.window->runProgressBar()->value(), 3);
}

void TestReportsPage::searchConsoleAsksWhichCheck_data()
{
    QTest::addColumn<QString>("choice"); // empty: the menu is dismissed
    QTest::addColumn<QStringList>("indexed");
    QTest::addColumn<QStringList>("indexingState");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("Check GSC") << "Check GSC" << QStringList{"Yes", "Yes", "Yes"} << QStringList{"", "", ""}
                               << QStringList{"Indexed (100%)", "Not indexed (0%)"};
    // After an inspection run the pie counts "Indexing State".
    QTest::newRow("URL Inspection API") << "URL Inspection API" << QStringList{"", "", ""}
                                        << QStringList{"INDEXING_ALLOWED", "INDEXING_ALLOWED", "INDEXING_ALLOWED"}
                                        << QStringList{"Indexed (100%)", "Not indexed (0%)"};
    // Dismissed: no row has an answer, so none counts on either side.
    QTest::newRow("dismissed") << "" << QStringList{"", "", ""} << QStringList{"", "", ""}
                               << QStringList{"Indexed (0%)", "Not indexed (0%)"};
}

void TestReportsPage::searchConsoleAsksWhichCheck()
{
    QFETCH(QString, choice);
    QFETCH(QStringList, indexed);
    QFETCH(QStringList, indexingState);
    QFETCH(QStringList, labels);
    Page p(m_dir.path());
    p.show();
    ReportTable &gsc = p.table(2);
    gsc.appendRows({"a", "b", "c"});
    RunControl &run = p.reports->runControl();
    run.clearChecks(2);
    run.registerCheck(
        2, QStringLiteral("Check GSC"), [&](CheckContext &ctx) { walkRows(ctx, gsc, {}, 1, "Yes"); },
        searchConsolePerformanceChart());
    run.registerCheck(
        2, QStringLiteral("URL Inspection API"),
        [&](CheckContext &ctx) { walkRows(ctx, gsc, {}, 8, "INDEXING_ALLOWED"); }, searchConsoleInspectionChart());
    run.markApiConnected();
    p.tabs()->setCurrentIndex(2);

    QPushButton *check = p.button("btRunRequests");
    // The test's checks are the last two of the tab, whatever the Search
    // Console service has registered before them.
    const int own = int(run.checkNames(2).lastIndexOf(choice));
    QString shownMenu;
    QString chosenCaption;
    QPoint shownAt;
    bool cancelWhileOpen = true;
    const auto picker = whenCheckMenuShows([&](QMenu *menu) {
        shownMenu = menu->objectName();
        shownAt = menu->pos();
        cancelWhileOpen = p.button("btAbortRequests")->isEnabled();
        if (choice.isEmpty()) {
            QTest::keyClick(menu, Qt::Key_Escape);
            return;
        }
        QAction *item = itemForCheck(menu, own);
        chosenCaption = item ? item->text() : QString();
        menu->setActiveAction(item);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    check->click();

    QCOMPARE(shownMenu, QStringLiteral("PopupMenu1"));
    QCOMPARE(chosenCaption, choice);
    // At the button's lower-left corner, moved left only as far as the
    // screen's edge asks.
    const QPoint corner = check->mapToGlobal(QPoint(0, check->height()));
    QCOMPARE(shownAt.y(), corner.y());
    QVERIFY(shownAt.x() <= corner.x());
    QVERIFY(!cancelWhileOpen);
    QCOMPARE(p.column(2, 1), indexed);
    QCOMPARE(p.column(2, 8), indexingState);
    QCOMPARE(p.log(), choice.isEmpty() ? QStringList() : (QStringList{"Check started", "Check finished"}));
    QVERIFY(!p.button("btAbortRequests")->isEnabled());
    QCOMPARE(p.window->runProgressBar()->maximum(), 3);
    QCOMPARE(p.sliceLabels(), labels);
}

void TestReportsPage::chartFollowsTheSelectedTab()
{
    Page p(m_dir.path());
    // Shown with 8 rows, two of them answered, one of those indexed; the
    // rows without an answer count on neither side.
    p.table(0).appendRows({"1", "2", "3", "4", "5", "6", "7", "8"});
    p.table(0).setCell(0, 1, "Yes");
    p.table(0).setCell(1, 1, "yes");
    p.show();
    QCOMPARE(p.chartTitle(), QStringLiteral("URL Indexation Stats"));
    QCOMPARE(p.sliceLabels(), (QStringList{"Indexed (50%)", "Not indexed (50%)"}));

    // Visits 6, 5, empty and 0: one page with traffic, two without.
    ReportTable &metrika = p.table(1);
    metrika.appendRows({"a", "b", "c", "d"});
    for (const auto &[row, visits] : {std::pair{0, "6"}, {1, "5"}, {3, "0"}})
        metrika.setCell(row, 1, QString::fromLatin1(visits));
    p.tabs()->setCurrentIndex(1);
    QCOMPARE(p.chartTitle(), QStringLiteral("Page Visit Stats"));
    QCOMPARE(p.sliceLabels(), (QStringList{"Traffic pages (33%)", "Pages without traffic (67%)"}));
    QCOMPARE(p.sliceValues(), (QList<int>{1, 2}));

    // Changes of a table do not redraw it; the next tab change does.
    p.tabs()->setCurrentIndex(4);
    QCOMPARE(p.sliceLabels(), (QStringList{"Indexed (0%)", "Not indexed (0%)"}));
    QCOMPARE(p.sliceValues(), (QList<int>{0, 0}));
    p.table(4).appendRows({"x"});
    p.table(4).setCell(0, 1, "Yes");
    QCOMPARE(p.sliceLabels(), (QStringList{"Indexed (0%)", "Not indexed (0%)"}));
    p.tabs()->setCurrentIndex(0);
    p.tabs()->setCurrentIndex(4);
    QCOMPARE(p.sliceLabels(), (QStringList{"Indexed (100%)", "Not indexed (0%)"}));
    p.window->statsChartView()->grab(); // an all-zero and a full pie both paint

    // A new import redraws the pie for the new list at once: its row has no
    // answer yet.
    p.clipboard.value = QStringLiteral("https://e.com/new");
    p.button("btInsertURLs4Clip")->click();
    QCOMPARE(p.sliceValues(), (QList<int>{0, 0}));
}

void TestReportsPage::ahrefsTabConnectsWithAToken()
{
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(4);
    QVERIFY(!p.button("btRunRequests")->isEnabled());
    QVERIFY(!p.reports->runControl().flags().apiConnected);

    p.find<QLineEdit>("Edit1")->setText(QStringLiteral("token"));
    p.tabs()->setCurrentIndex(3);
    QVERIFY(!p.reports->runControl().flags().apiConnected);
    p.tabs()->setCurrentIndex(4);
    QVERIFY(p.reports->runControl().flags().apiConnected);
    QVERIFY(p.button("btRunRequests")->isEnabled());
}

void TestReportsPage::exportWritesTheSortedTable()
{
    Page p(m_dir.path());
    p.show();
    p.tabs()->setCurrentIndex(1);
    ReportTable &metrika = p.table(1);
    metrika.appendRows({"https://example.com/x", "https://example.com/y", "https://example.com/z"});
    metrika.setRowCells(0, {"10", "9", "42.5", "1.50", "00:01:05"});
    metrika.setRowCells(1, {"2", "2", "50.0", "1.00", "00:00:10"});
    metrika.setRowCells(2, {"100", "80", "12.3", "2.10", "00:02:00"});
    // A complete run makes "Export to CSV..." available.
    p.reports->runControl().clearChecks(1);
    p.reports->runControl().registerCheck(1, QStringLiteral("Test check"),
                                          [&](CheckContext &ctx) { ctx.markReportDataReady(); });
    p.reports->runControl().markApiConnected();
    runOwnCheck(p.reports->runControl(), 1, [&] { p.button("btRunRequests")->click(); });
    QVERIFY(p.button("btExport")->isEnabled());
    p.clickHeader(1, 1); // by "Visits"

    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("visits.csv"));
    p.dialogs.saveAnswer = path;
    p.button("btExport")->click();

    QCOMPARE(p.dialogs.saves.size(), 1);
    QCOMPARE(p.dialogs.saves[0].folder, p.app->appFolder());
    QCOMPARE(p.dialogs.saves[0].name, QStringLiteral("export_ym.csv"));
    QCOMPARE(p.dialogs.saves[0].filter, QStringLiteral("CSV files (*.csv)"));
    QCOMPARE(readAll(path), readAll(fixture("export_ym_sorted_by_visits.csv")));
    QCOMPARE(p.log().last(), QStringLiteral("Export to CSV finished"));
}

void TestReportsPage::exportStartsInTheLastExportFolder()
{
    QTemporaryDir appDir;
    QTemporaryDir out;
    const QString lastFolder = out.path() + QLatin1Char('/');
    const QString iniPath = SettingsFile::pathIn(appDir.path() + QLatin1Char('/'));
    {
        Page p(appDir.path());
        p.show();
        p.table(0).appendRows({"https://example.com/"});
        completeRun(p, 0);
        // Cancelled: nothing is remembered.
        p.button("btExport")->click();
        QCOMPARE(SettingsFile(iniPath).readString(QStringLiteral("Window"), QStringLiteral("ExportFolder")), QString());

        p.dialogs.saveAnswer = out.filePath(QStringLiteral("first.csv"));
        p.button("btExport")->click();
        p.button("btExport")->click();
        QCOMPARE(p.dialogs.saves.size(), 3);
        QCOMPARE(p.dialogs.saves[1].folder, p.app->appFolder());
        QCOMPARE(p.dialogs.saves[2].folder, lastFolder);
        QCOMPARE(SettingsFile(iniPath).readString(QStringLiteral("Window"), QStringLiteral("ExportFolder")),
                 out.path());
        p.window->close();
    }
    {
        // The next start opens the dialog there too.
        Page p(appDir.path());
        p.show();
        p.table(0).appendRows({"https://example.com/"});
        completeRun(p, 0);
        p.button("btExport")->click();
        QCOMPARE(p.dialogs.saves.value(0).folder, lastFolder);
        // A folder that is gone: beside the program again.
        QVERIFY(out.remove());
        p.button("btExport")->click();
        QCOMPARE(p.dialogs.saves.value(1).folder, p.app->appFolder());
        p.window->close();
    }
}

void TestReportsPage::exportCancelledOrRefused()
{
    Page p(m_dir.path());
    p.table(0).appendRows({"u"});

    // Cancelled: no file, the line is still written.
    p.reports->exportToCsv();
    QCOMPARE(p.dialogs.saves.size(), 1);
    QCOMPARE(p.dialogs.saves[0].name, QStringLiteral("export_ywm.csv"));
    QCOMPARE(p.log(), QStringList{"Export to CSV finished"});

    // A file that cannot be written: the reason, and no line.
    p.dialogs.saveAnswer = m_dir.filePath(QStringLiteral("no-such-folder/export.csv"));
    p.reports->exportToCsv();
    QCOMPARE(p.log(), QStringList{"Export to CSV finished"});
    QCOMPARE(p.prompt.icons.last(), MessagePrompt::Icon::Error);
    QVERIFY(!p.prompt.texts.last().isEmpty());
    QVERIFY(!QFile::exists(p.dialogs.saveAnswer));
}

namespace {

// One cell painted by the delegate into an image twice its width, so a bar
// that runs past the cell shows.
QImage paintCell(ReportCellDelegate &delegate, const QModelIndex &index, QSize cell)
{
    QImage image(cell.width() * 2, cell.height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), cell);
    option.state = QStyle::State_Enabled;
    option.palette = QApplication::palette();
    option.font = QApplication::font();
    delegate.paint(&painter, option, index);
    return image;
}

bool hasColour(const QImage &image, QRgb colour, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return true;
        }
    }
    return false;
}

} // namespace

void TestReportsPage::statusBadge_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("filled");
    QTest::newRow("Yes") << "Yes" << true;
    QTest::newRow("yes") << "yes" << false;
    QTest::newRow("No") << "No" << false;
    QTest::newRow("empty") << "" << false;
}

void TestReportsPage::statusBadge()
{
    QFETCH(QString, text);
    QFETCH(bool, filled);
    ReportTable table(ServiceId::YandexWebmaster);
    table.appendRows({"u"});
    table.setCell(0, 1, text);
    ReportCellDelegate delegate;
    delegate.setThemed(false);
    const QImage image = paintCell(delegate, table.index(0, 1), QSize(60, 20));

    // Corner of the badge, away from the text; nothing outside the cell.
    const QRgb corner = image.pixel(4, 3) & 0xFFFFFF;
    QCOMPARE(corner, (filled ? ReportCellDelegate::FillColour : ReportCellDelegate::TrackColour) & 0xFFFFFF);
    QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    QVERIFY(!hasColour(image.copy(60, 0, 60, 20), ReportCellDelegate::TrackColour, QRect(0, 0, 60, 20)));
    // White text on the filled badge only.
    QCOMPARE(hasColour(image, 0xFFFFFF, QRect(8, 3, 44, 14)), filled && !text.isEmpty());

    // The themed look tells them apart too.
    delegate.setThemed(true);
    ReportTable other(ServiceId::YandexWebmaster);
    other.appendRows({"u"});
    other.setCell(0, 1, filled ? "No" : "Yes");
    QVERIFY(paintCell(delegate, table.index(0, 1), QSize(60, 20)) !=
            paintCell(delegate, other.index(0, 1), QSize(60, 20)));
}

void TestReportsPage::percentBar_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<int>("fillEnd"); // first pixel column past the fill
    // The track runs from x 1 to 98; the fill covers fraction x 98 pixels.
    QTest::newRow("42.5") << "42.5" << 1 + 41;
    QTest::newRow("empty") << "" << 1;
    QTest::newRow("not a number") << "n/a" << 1;
    QTest::newRow("150: past the cell") << "150" << 1 + 147;
}

void TestReportsPage::percentBar()
{
    QFETCH(QString, cell);
    QFETCH(int, fillEnd);
    ReportTable table(ServiceId::YandexMetrika);
    table.appendRows({"u"});
    table.setCell(0, 3, cell);
    ReportCellDelegate delegate;
    delegate.setThemed(false);
    const QImage image = paintCell(delegate, table.index(0, 3), QSize(100, 20));
    const QRgb fill = ReportCellDelegate::FillColour & 0xFFFFFF;
    const QRgb track = ReportCellDelegate::TrackColour & 0xFFFFFF;
    if (fillEnd > 1) {
        QCOMPARE(image.pixel(2, 2) & 0xFFFFFF, fill);
        QCOMPARE(image.pixel(fillEnd - 1, 2) & 0xFFFFFF, fill);
    }
    QCOMPARE(image.pixel(fillEnd + 1, 2) & 0xFFFFFF, fillEnd + 1 < 99 ? track : 0xFFFFFFu);

    // A row the check did not answer is no rate of 0 %: the bare track,
    // without the " 0.0%" a cell holding 0 shows.
    if (cell.isEmpty()) {
        table.appendRows({"v"});
        table.setCell(1, 3, QStringLiteral("0"));
        QVERIFY(image != paintCell(delegate, table.index(1, 3), QSize(100, 20)));
        bool onlyTrack = true;
        for (int y = 5; y < 15; ++y) {
            for (int x = 5; x < 95; ++x)
                onlyTrack = onlyTrack && (image.pixel(x, y) & 0xFFFFFF) == track;
        }
        QVERIFY(onlyTrack);
    }
}

void TestReportsPage::percentCaption_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("caption");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    QTest::newRow("dot") << 0.425 << english << " 42.5%";
    QTest::newRow("comma") << 0.425 << german << " 42,5%";
    QTest::newRow("empty cell") << 0.0 << german << " 0,0%";
    QTest::newRow("no group separator") << 12.345 << english << " 1234.5%";
}

void TestReportsPage::percentCaption()
{
    QFETCH(double, fraction);
    QFETCH(QLocale, locale);
    QFETCH(QString, caption);
    QCOMPARE(ReportCellDelegate::percentCaption(fraction, locale), caption);
}


void TestReportsPage::reportsAreKeptAcrossARestart()
{
    const QString folder = m_dir.path() + QLatin1Char('/');
    const QString metrika = QStringLiteral("ListView5");
    {
        Page p(m_dir.path());
        p.show();
        p.tabs()->setCurrentIndex(1);
        p.clipboard.value = QStringLiteral("https://example.com/a\r\nhttps://example.com/b\r\nhttps://example.com/c");
        p.button("btInsertURLs4Clip")->click();
        // Rows that come or go are on the disk without waiting for the interval.
        QTRY_COMPARE(savedUrls(folder, metrika),
                     (QStringList{"https://example.com/a", "https://example.com/b", "https://example.com/c"}));
        p.selectRows(1, {1});
        p.find<QAction>("miDeleteURL")->trigger();
        QTRY_COMPARE(savedUrls(folder, metrika), (QStringList{"https://example.com/a", "https://example.com/c"}));
        // A cell as a check writes it, just before the program ends.
        p.table(1).setCell(1, 1, QStringLiteral("42"));
    }

    Page again(m_dir.path());
    QCOMPARE(again.urls(1), (QStringList{"https://example.com/a", "https://example.com/c"}));
    QCOMPARE(again.column(1, 1), (QStringList{"", "42"}));
    QCOMPARE(again.tabs()->tabText(1), QStringLiteral("Yandex Metrika (2)"));
    QCOMPARE(again.table(0).rowCount(), 0);
    QVERIFY(again.app->activityLog().messagesInOrder().isEmpty());

    // An import that clears the list empties it in the file too.
    again.show();
    again.tabs()->setCurrentIndex(1);
    again.clipboard.value = QStringLiteral("https://example.com/z");
    again.button("btInsertURLs4Clip")->click();
    QTRY_COMPARE(savedUrls(folder, metrika), QStringList{"https://example.com/z"});
}

void TestReportsPage::damagedSavedReportsAreSetAsideAtStart()
{
    const QString path = SavedStateFile::pathIn(m_dir.path() + QLatin1Char('/'));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("VELTSTAT\x01\x00\x00\x00") + QByteArray(300, '\xff'));
    }
    Page p(m_dir.path());
    for (int tab = 0; tab < ServiceTable::count(); ++tab)
        QCOMPARE(p.table(tab).rowCount(), 0);
    QVERIFY(!QFile::exists(path));
    const QStringList aside = QDir(m_dir.path()).entryList({QStringLiteral("Veltrano.state.damaged-*")});
    QCOMPARE(aside.size(), 1);
    const QStringList log = p.app->activityLog().messagesInOrder();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log[0].contains(QStringLiteral("were not read")) && log[0].contains(aside[0]) &&
                 log[0].endsWith(QStringLiteral("Veltrano starts with empty reports")),
             qPrintable(log[0]));
}

QTEST_MAIN(TestReportsPage)
#include "tst_reportspage.moc"
