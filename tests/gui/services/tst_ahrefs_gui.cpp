// Ahrefs in the real main window, headless, against the in-process
// simulator over real sockets: "Check URL" on the Ahrefs report, the data
// explorer of the Ahrefs settings tab and the backlinks history chart.

#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "net/RequestTrace.h"
#include "reports/ChartScale.h"
#include "reports/ReportTable.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/reports/ReportsController.h"
#include "ui/reports/StatsChartView.h"
#include "ui/services/ahrefs/AhrefsController.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"
#include "ui/widgets/AreaChartView.h"

#include "SimServer.h"
#include "services/AhrefsModule.h"
#include "support/MainWindowHarness.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPieSeries>
#include <QPieSlice>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QValueAxis>

using namespace veltrano;
using Module = sim::AhrefsModule;

namespace {

const char *const SavedToken = "ahrefs-gui-test-token-0123456789";
const QString Site = QStringLiteral("example.com");

Module::Page page(const std::string &url, long long rank, long long internal, long long external,
                  const std::string &title)
{
    Module::Page p;
    p.url = url;
    p.ahrefsRank = rank;
    p.linksInternal = internal;
    p.linksExternal = external;
    p.title = title;
    return p;
}

// example.com as the service knows it: a page with a Cyrillic title, one
// whose address is where "https://example.com/?a=1&b=2" would be cut at
// its "&", 150 more pages, 300 backlinks and a Cyrillic anchor.
Module::Site site()
{
    Module::Site s = Module::generatedSite("example.com", 150, 300, "2024-03-31", 0);
    s.pages.insert(s.pages.begin(), {page("https://example.com/one", 41, 57, 3, "Диван «Уют» — купить"),
                                     page("https://example.com/?a=1", 9, 1, 1, "cut at the &")});
    s.backlinks[0].anchor = "мебель «Уют»";
    return s;
}

QStringList lines(const QPlainTextEdit *text)
{
    return text->toPlainText().split(QLatin1Char('\n'));
}

// The points of a chart series as "label: value" by the category axis.
QStringList pointsOf(const AreaChartView *chart)
{
    QStringList out;
    const QList<QPointF> points = chart->pointSeries()->points();
    for (int i = 0; i < points.size(); ++i)
        out << chart->pointHint(i);
    return out;
}

} // namespace

class TestAhrefsGui : public QObject {
    Q_OBJECT

    // The window on a settings folder of its own with the Ahrefs token
    // saved, the Ahrefs API v2 chosen and at the in-process simulator.
    struct Fixture : testing::MainWindowHarness {
        sim::SimServer sim;
        Module ahrefs;

        explicit Fixture(const QString &savedToken = QString::fromLatin1(SavedToken))
        {
            ahrefs.install(sim, ahrefs.defaultPrefix());
            ahrefs.acceptToken(SavedToken);
            ahrefs.setSites({site()});
            sim.start();
            SettingsFile(SettingsFile::pathIn(folder()))
                .writeString(QStringLiteral("Ahrefs_Token"), QStringLiteral("Token"), savedToken);
            open(simulatorEndpoints(QString::fromStdString(sim.baseUrl()), 0));
            // These cases drive the retired v2 API the simulator module serves.
            find<QComboBox>("cbAhrefsApi")->setCurrentIndex(1);
            field("Edit2")->setText(Site);
        }
        QLineEdit *field(const char *name) const { return find<QLineEdit>(name); }
        QPlainTextEdit *data() const { return find<QPlainTextEdit>("RichEdit1"); }
        QLabel *dataLabel() const { return find<QLabel>("Label23"); }
        QTreeWidget *history() const { return find<QTreeWidget>("ListView10"); }
        // The Settings page's own, not a keyword window's chart of that name.
        AreaChartView *chart() const { return find<>("tsParams")->findChild<AreaChartView *>("Chart1"); }
        ReportTable &report() const { return *app->reports().table(4); }

        // The Ahrefs report with these rows; selecting its tab with a token
        // in the field marks the service connected.
        void pasteRows(const QStringList &urls) { pasteUrls(4, urls); }
        // The Ahrefs tab of the Settings page on screen.
        void showSettings() const { MainWindowHarness::showSettings(4); }
        void showData(const QString &table, int rows = 100)
        {
            showSettings();
            find<QComboBox>("ComboBox6")->setCurrentText(table);
            find<QSpinBox>("SpinEdit1")->setValue(rows);
            button("Button20")->click();
        }
        // The answer to the history request, whatever its condition says.
        void answerHistory(const QByteArray &body)
        {
            sim.setResponse("GET", "/ahrefs/*", sim::Response::json(body.toStdString()));
        }
        void getHistory()
        {
            showSettings();
            app->ahrefs()->setToday([] { return QDate(2024, 3, 31); });
            button("Button28")->click();
        }
        sim::RecordedRequest lastRequest() const { return sim.requests().back(); }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void checkMarksFiveRows();
    void errorAnswerEndsTheCheck();
    void checkNeedsTheSite();

    void showDataListsTheChosenTable_data();
    void showDataListsTheChosenTable();
    void showDataStopsAtARowWithoutAMember();
    void showDataWritesTheServiceError();
    void cyrillicAnchorReadsRightInBothListings();
    void showDataNeedsTokenAndSite();
    void buttonsAreOffWhileTheirRequestRuns();

    void historyChartsNewBacklinksOldestFirst();
    void historyWithoutQualifyingCounters();
    void historyFailureKeepsTheChart();

    void screenshots();
};

// ---------------------------------------------------------------------------
// URL check

void TestAhrefsGui::checkMarksFiveRows()
{
    Fixture f;
    const QString broken = QStringLiteral("https://example.com/broken");
    const QString two = QStringLiteral("https://example.com/two");
    const std::string query = "&mode=exact&output=json&token=" + std::string(SavedToken);
    f.sim.setResponse("GET", "/ahrefs/?from=pages&limit=1&target=https%3A%2F%2Fexample.com%2Fbroken" + query,
                      sim::Response::text("<html><body>502 Bad Gateway</body></html>", 502, "text/html"));
    f.sim.setResponse("GET", "/ahrefs/?from=pages&limit=1&target=https%3A%2F%2Fexample.com%2Ftwo" + query,
                      sim::Response::json(R"({"pages":[{"url":"https://example.com/two","ahrefs_rank":7,)"
                                          R"("http_code":301,"links_internal":2,"links_external":0,"title":"Two"},)"
                                          R"({"url":"https://example.com/two/","ahrefs_rank":8,"http_code":200,)"
                                          R"("links_internal":3,"links_external":1,"title":"Two again"}]})"));
    f.pasteRows({QStringLiteral("https://example.com/one"), QStringLiteral("https://example.com/unknown"), broken,
                 QStringLiteral("https://example.com/?a=1&b=2"), two});
    QVERIFY(f.app->reports().runControl().flags().apiConnected);

    f.button("btRunRequests")->click();

    QCOMPARE(f.report().rowTexts(0),
             (QStringList{"https://example.com/one", "Yes", "41", "200", "57", "3", "Диван «Уют» — купить"}));
    QCOMPARE(f.report().rowTexts(1), (QStringList{"https://example.com/unknown", "No", "", "", "", "", ""}));
    QCOMPARE(f.report().rowTexts(2), (QStringList{broken, "", "", "", "", "", ""}));
    QCOMPARE(f.report().rowTexts(3), (QStringList{"https://example.com/?a=1&b=2", "No", "", "", "", "", ""}));
    QCOMPARE(f.report().rowTexts(4), (QStringList{two, "Yes", "7", "301", "2", "0", "Two"}));

    const QStringList log = f.log();
    const QString ok = QStringLiteral("Ahrefs - HTTP Code: 200 OK");
    // The 502 is tried five times, each wait one line, before the row fails.
    const QString waiting = QStringLiteral("Ahrefs - HTTP Code: 502 Bad Gateway, trying again in 0 s (%1/5)");
    QCOMPARE(log.mid(log.indexOf(QStringLiteral("Check started"))),
             (QStringList{"Check started", ok, ok, waiting.arg(2), waiting.arg(3), waiting.arg(4), waiting.arg(5),
                          "Ahrefs - HTTP Code: 502 Bad Gateway", "Ahrefs Error Get Object Data: 3/5", ok, ok,
                          "Check finished"}));
    QVERIFY(f.prompt.texts.isEmpty());
    QCOMPARE(f.window->runProgressBar()->maximum(), 5);
    QCOMPARE(f.window->runProgressBar()->value(), 5);

    const auto sent = f.sim.requests();
    QCOMPARE(sent.size(), size_t(5 + 4));
    QCOMPARE(sent[7].queryParam("target"), std::string("https://example.com/?a=1&b=2"));
    QCOMPARE(sent[7].queryParam("mode"), std::string("exact"));
    QCOMPARE(sent[7].queryParam("limit"), std::string("1"));

    QPieSeries *pie = f.window->statsChartView()->series();
    // The row Ahrefs failed on (502) is neither indexed nor not indexed:
    // two of the four answered rows are.
    QCOMPARE(pie->slices()[0]->label(), QStringLiteral("Indexed (50%)"));
    QCOMPARE(pie->slices()[1]->label(), QStringLiteral("Not indexed (50%)"));
    QVERIFY(f.button("btExport")->isEnabled());
}

void TestAhrefsGui::errorAnswerEndsTheCheck()
{
    Fixture f(QStringLiteral("not-a-token"));
    f.pasteRows({QStringLiteral("https://example.com/one"), QStringLiteral("https://example.com/unknown")});
    f.report().setRowCells(0, {"Yes", "1", "200", "1", "1", "earlier"});

    f.button("btRunRequests")->click();

    QCOMPARE(f.prompt.texts, QStringList{"Ahrefs Error: Authentication Error"});
    QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::Warning});
    QCOMPARE(f.sim.requests().size(), size_t(1));
    QCOMPARE(f.report().rowTexts(0), (QStringList{"https://example.com/one", "Yes", "1", "200", "1", "1", "earlier"}));
    QCOMPARE(f.report().rowTexts(1), (QStringList{"https://example.com/unknown", "", "", "", "", "", ""}));
    QVERIFY(!f.app->reports().runControl().flags().reportDataReady);
    QCOMPARE(f.log().last(), QStringLiteral("Check finished"));
}

void TestAhrefsGui::checkNeedsTheSite()
{
    Fixture f;
    f.field("Edit2")->clear();
    f.pasteRows({QStringLiteral("https://example.com/one")});
    f.button("btRunRequests")->click();
    QCOMPARE(f.prompt.texts, QStringList{"Please enter the Ahrefs Token or Site Host"});
    QCOMPARE(f.sim.requests().size(), size_t(0));
    QCOMPARE(f.report().cell(0, 1), QString());
}

// ---------------------------------------------------------------------------
// Data explorer

void TestAhrefsGui::showDataListsTheChosenTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QStringList>("firstLines");
    QTest::addColumn<QString>("label");

    QTest::newRow("subscription_info") << "subscription_info" << 100 << 3
                                       << QStringList{"- rows_left: 500000", "- rows_limit: 500000",
                                                      "- subscription: Enterprise Subscription"}
                                       << "Data: subscription_info";
    QTest::newRow("pages, 100 rows") << "pages" << 100 << 700
                                     << QStringList{"https://example.com/one",
                                                    "- ahrefs_rank: 41",
                                                    "- http_code: 200",
                                                    "- links_internal: 57",
                                                    "- links_external: 3",
                                                    "- title: Диван «Уют» — купить",
                                                    ""}
                                     << "Data: pages (last 100)";
    QTest::newRow("pages, 10000 rows") << "pages" << 10000 << 152 * 7 << QStringList{"https://example.com/one"}
                                       << "Data: pages (last 10000)";
    QTest::newRow("metrics") << "metrics" << 100 << 17 << QStringList{"- backlinks: 300"} << "Data: metrics";
}

void TestAhrefsGui::showDataListsTheChosenTable()
{
    QFETCH(QString, table);
    QFETCH(int, rows);
    QFETCH(int, lineCount);
    QFETCH(QStringList, firstLines);
    QFETCH(QString, label);

    Fixture f;
    QVERIFY(!f.app->reports().runControl().flags().apiConnected);
    f.showData(table, rows);

    const QStringList shown = lines(f.data());
    QCOMPARE(shown.size(), lineCount);
    QCOMPARE(shown.mid(0, firstLines.size()), firstLines);
    QCOMPARE(f.dataLabel()->text(), label);
    QCOMPARE(f.log(), QStringList{"Ahrefs - HTTP Code: 200 OK"});
    QVERIFY(f.prompt.texts.isEmpty());
    QVERIFY(f.app->reports().runControl().flags().apiConnected);
    QVERIFY(f.button("Button20")->isEnabled());

    const sim::RecordedRequest sent = f.lastRequest();
    QCOMPARE(QString::fromStdString(sent.queryParam("from")), table);
    QCOMPARE(sent.queryParam("limit"), std::to_string(rows));
    QCOMPARE(sent.queryParam("mode"), std::string("prefix"));
    QCOMPARE(sent.queryParam("target"), std::string("example.com"));
    // The token of the field, as typed there.
    QCOMPARE(sent.queryParam("token"), std::string(SavedToken));
    // The trace: the answer, then the status.
    const QStringList trace = f.app->requestTrace().lines();
    QCOMPARE(trace.mid(trace.size() - 2), (QStringList{"", "HTTP Code: 200 OK"}));
}

void TestAhrefsGui::showDataStopsAtARowWithoutAMember()
{
    Fixture f;
    f.sim.setResponse("GET", "/ahrefs/*",
                      sim::Response::json(R"({"refdomains":[{"refdomain":"a.example","backlinks":3,"refpages":2,)"
                                          R"("domain_rating":40},{"refdomain":"b.example","backlinks":5,)"
                                          R"("refpages":4}]})"));
    f.showData(QStringLiteral("refdomains"));
    QCOMPARE(lines(f.data()), (QStringList{"a.example", "- backlinks: 3", "- refpages: 2", "- domain_rating: 40", "",
                                           "b.example", "- backlinks: 5", "- refpages: 4",
                                           "refdomains:", "- error: Value 'domain_rating' not found"}));
    QVERIFY(f.prompt.texts.isEmpty());
    QCOMPARE(f.log(), QStringList{"Ahrefs - HTTP Code: 200 OK"});
}

void TestAhrefsGui::showDataWritesTheServiceError()
{
    Fixture f;
    f.showData(QStringLiteral("pages"));
    QCOMPARE(f.dataLabel()->text(), QStringLiteral("Data: pages (last 100)"));
    f.field("Edit1")->setText(QStringLiteral("not-a-token"));
    f.showData(QStringLiteral("backlinks"));
    QCOMPARE(lines(f.data()), (QStringList{"backlinks:", "- error: Authentication Error"}));
    QCOMPARE(f.dataLabel()->text(), QStringLiteral("Data: pages (last 100)"));
    QCOMPARE(f.log().last(), QStringLiteral("Ahrefs - HTTP Code: 200 OK"));
}

void TestAhrefsGui::cyrillicAnchorReadsRightInBothListings()
{
    for (const bool escape : {false, true}) {
        Fixture f;
        f.ahrefs.setEscapeUnicode(escape);
        f.showData(QStringLiteral("anchors"));
        QVERIFY2(lines(f.data()).contains(QStringLiteral("- мебель «Уют»")), qPrintable(f.data()->toPlainText()));
        f.showData(QStringLiteral("backlinks"));
        QVERIFY(lines(f.data()).contains(QStringLiteral("- anchor: мебель «Уют»")));
    }
}

void TestAhrefsGui::showDataNeedsTokenAndSite()
{
    for (const char *emptied : {"Edit1", "Edit2"}) {
        Fixture f;
        f.field(emptied)->clear();
        f.showData(QStringLiteral("pages"));
        QCOMPARE(f.prompt.texts, QStringList{AhrefsController::fillInFieldsText()});
        QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::Information});
        QCOMPARE(f.sim.requests().size(), size_t(0));
        QVERIFY(f.button("Button20")->isEnabled());
        QVERIFY(!f.app->reports().runControl().flags().apiConnected);

        f.prompt.texts.clear();
        f.button("Button28")->click();
        QCOMPARE(f.prompt.texts, QStringList{AhrefsController::fillInFieldsText()});
        QCOMPARE(f.sim.requests().size(), size_t(0));
    }
}

void TestAhrefsGui::buttonsAreOffWhileTheirRequestRuns()
{
    Fixture f;
    sim::Response slow = sim::Response::json(R"({"info":{"rows_left":1,"rows_limit":1,"subscription":"x"}})");
    slow.delayMs = 400;
    f.sim.setResponse("GET", "/ahrefs/*", slow);
    for (const char *name : {"Button20", "Button28"}) {
        QPushButton *button = f.button(name);
        bool offWhileWaiting = false;
        QTimer::singleShot(150, button, [&] { offWhileWaiting = !button->isEnabled(); });
        f.showSettings();
        button->click();
        QVERIFY2(offWhileWaiting, name);
        QVERIFY(button->isEnabled());
    }
}

// ---------------------------------------------------------------------------
// Backlinks history

void TestAhrefsGui::historyChartsNewBacklinksOldestFirst()
{
    Fixture f;
    // Newest date first, as the service lists its counters; per date a lost
    // counter, a new one of another origin and two new ones from a recrawl.
    f.answerHistory(R"({"counts":[)"
                    R"({"date":"2024-03-08","type":"lost","origin":"recrawl","refpages":30,"all":31},)"
                    R"({"date":"2024-03-08","type":"new","origin":"new_page","refpages":40,"all":41},)"
                    R"({"date":"2024-03-08","type":"new","origin":"recrawl","refpages":12,"all":17},)"
                    R"({"date":"2024-03-08","type":"new","origin":"recrawl","refpages":50,"all":51},)"
                    R"({"date":"2024-03-07","type":"lost","origin":"link_removed","refpages":2,"all":2},)"
                    R"({"date":"2024-03-07","type":"new","origin":"redirect","refpages":60,"all":61},)"
                    R"({"date":"2024-03-07","type":"new","origin":"recrawl","refpages":4,"all":5},)"
                    R"({"date":"2024-03-07","type":"new","origin":"recrawl","refpages":70,"all":71},)"
                    R"({"date":"2024-03-06","type":"lost","origin":"recrawl","refpages":1,"all":1},)"
                    R"({"date":"2024-03-06","type":"new","origin":"new_page","refpages":80,"all":81},)"
                    R"({"date":"2024-03-06","type":"new","origin":"recrawl","refpages":9,"all":11},)"
                    R"({"date":"2024-03-06","type":"new","origin":"recrawl","refpages":90,"all":91}]})");
    f.getHistory();

    const sim::RecordedRequest sent = f.lastRequest();
    QCOMPARE(sent.queryParam("from"), std::string("backlinks_new_lost_counters_by_type"));
    QCOMPARE(sent.queryParam("where"), std::string("date>=\"2022-04-11\""));
    QCOMPARE(sent.queryParam("limit"), std::string("10000"));
    QCOMPARE(sent.queryParam("mode"), std::string("prefix"));

    QCOMPARE(f.history()->topLevelItemCount(), 3);
    QCOMPARE(f.history()->topLevelItem(0)->text(0), QStringLiteral("2024-03-06"));
    QCOMPARE(f.history()->topLevelItem(2)->text(1), QStringLiteral("12"));
    QCOMPARE(f.history()->topLevelItem(2)->text(2), QStringLiteral("17"));

    AreaChartView *chart = f.chart();
    QVERIFY(chart->isVisible()); // beside the Ahrefs tab
    QCOMPARE(chart->chart()->title(), QStringLiteral("Backlinks History for \"example.com\" (last two years)"));
    QCOMPARE(pointsOf(chart), (QStringList{"2024-03-06: 11", "2024-03-07: 5", "2024-03-08: 17"}));
    QCOMPARE(chart->pointSeries()->points().last(), QPointF(2, 17));
    QCOMPARE(chart->valueAxis()->max(), double(ChartScale::fitting(17).maximum));

    // The hint of the point under the mouse, none off the points.
    Q_EMIT chart->pointSeries()->hovered(QPointF(2, 17), true);
    QCOMPARE(chart->toolTip(), QStringLiteral("2024-03-08: 17"));
    Q_EMIT chart->pointSeries()->hovered(QPointF(2, 17), false);
    QCOMPARE(chart->toolTip(), QString());

    // Every counter is in the trace, after the address with the token cut
    // short; the token itself never.
    const QStringList trace = f.app->requestTrace().lines();
    QVERIFY(trace.first().endsWith(QStringLiteral("&token=ahre...")));
    QCOMPARE(trace[1], QString());
    QCOMPARE(trace[2], QStringLiteral("- 2024-03-08 (type: lost / origin: recrawl): refpages: 30 / all: 31"));
    QCOMPARE(trace.size(), 2 + 12 + 2);
    QVERIFY(!f.app->requestTrace().text().contains(QLatin1String(SavedToken)));
    QCOMPARE(f.log(), QStringList{"Ahrefs - HTTP Code: 200 OK"});

    // The next history scales the axis to its own values alone.
    f.answerHistory(R"({"counts":[{"date":"2024-03-30","type":"new","origin":"recrawl","refpages":1,"all":2}]})");
    f.getHistory();
    QCOMPARE(pointsOf(chart), QStringList{"2024-03-30: 2"});
    QCOMPARE(chart->valueAxis()->max(), double(ChartScale::fitting(2).maximum));
}

void TestAhrefsGui::historyWithoutQualifyingCounters()
{
    Fixture f;
    f.answerHistory(R"({"counts":[{"date":"2024-03-08","type":"lost","origin":"recrawl","refpages":3,"all":4},)"
                    R"({"date":"2024-03-08","type":"new","origin":"new_page","refpages":5,"all":6}]})");
    f.getHistory();
    QCOMPARE(f.history()->topLevelItemCount(), 0);
    QVERIFY(f.chart()->pointSeries()->points().isEmpty());
    QVERIFY(f.chart()->showsNoData());
    QCOMPARE(f.chart()->chart()->title(), QStringLiteral("Backlinks History for \"example.com\" (last two years)"));
}

void TestAhrefsGui::historyFailureKeepsTheChart()
{
    Fixture f;
    f.answerHistory(R"({"counts":[{"date":"2024-03-08","type":"new","origin":"recrawl","refpages":3,"all":4}]})");
    f.getHistory();
    f.sim.clearScenario();
    f.showData(QStringLiteral("subscription_info"));
    const QStringList listed = lines(f.data());
    QCOMPARE(listed.size(), 3);

    // The service's error and an answer that cannot be read go under the
    // listing; the history and its chart stay.
    f.answerHistory(R"({"error":"API rows limit exceeded"})");
    f.getHistory();
    f.sim.setResponse("GET", "/ahrefs/*", sim::Response::text("<html>oops</html>", 502, "text/html"));
    f.button("Button28")->click();

    const QStringList expected =
        listed + QStringList{"backlinks_new_lost_counters_by_type:", "- error: API rows limit exceeded",
                             "backlinks_new_lost_counters_by_type:",
                             "- error: Ahrefs gave no usable answer (HTTP status 502 Bad Gateway). Please check the "
                             "connection and the account, then try again."};
    QCOMPARE(lines(f.data()), expected);
    QCOMPARE(f.history()->topLevelItemCount(), 1);
    QCOMPARE(pointsOf(f.chart()), QStringList{"2024-03-08: 4"});
    const QString waiting = QStringLiteral("Ahrefs - HTTP Code: 502 Bad Gateway, trying again in 0 s (%1/5)");
    QCOMPARE(f.log().mid(f.log().size() - 6),
             (QStringList{"Ahrefs - HTTP Code: 200 OK", waiting.arg(2), waiting.arg(3), waiting.arg(4),
                          waiting.arg(5), "Ahrefs - HTTP Code: 502 Bad Gateway"}));
    QVERIFY(f.prompt.texts.isEmpty());
}

// ---------------------------------------------------------------------------
// Pictures of the Ahrefs tab and report, when asked for with
// VELTRANO_SCREENSHOT_DIR.

void TestAhrefsGui::screenshots()
{
    const QString folder = qEnvironmentVariable("VELTRANO_SCREENSHOT_DIR");
    if (folder.isEmpty())
        QSKIP("VELTRANO_SCREENSHOT_DIR not set");
    QDir().mkpath(folder);
    Fixture f;
    f.ahrefs.setSites(Module::demoSites());
    f.window->resize(MainWindow::InitialWidth, MainWindow::InitialHeight);

    f.showData(QStringLiteral("backlinks"));
    QTest::qWait(100); // the layout settles
    QVERIFY(f.window->grab().save(folder + QStringLiteral("/ahrefs-settings-data.png")));

    f.app->ahrefs()->setToday([] { return QDate::currentDate(); });
    f.button("Button28")->click();
    QTest::qWait(100);
    QVERIFY(f.window->grab().save(folder + QStringLiteral("/ahrefs-settings-history.png")));

    const std::vector<Module::Site> sites = Module::demoSites();
    QStringList urls;
    for (size_t i = 0; i < 12; ++i)
        urls << QString::fromStdString(sites[0].pages[i].url);
    urls << QStringLiteral("https://example.com/not-crawled/") << QStringLiteral("https://example.com/?a=1&b=2");
    f.pasteRows(urls);
    f.button("btRunRequests")->click();
    QTest::qWait(100);
    QVERIFY(f.window->grab().save(folder + QStringLiteral("/ahrefs-report.png")));
}

QTEST_MAIN(TestAhrefsGui)
#include "tst_ahrefs_gui.moc"
