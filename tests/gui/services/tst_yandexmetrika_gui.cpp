// Yandex Metrika in the real main window, headless, against the in-process
// simulator over real sockets: connecting an account lists its active
// counters, "Check URL" on the Yandex Metrika report fills each page's
// traffic over the chosen period, and "Get All Keywords" fills the
// "YMetrika Keywords" window and its export.

#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "reports/ReportTable.h"
#include "services/yandex_metrika/YandexTrafficCheck.h"
#include "support/GuiTestSupport.h"
#include "support/MainWindowHarness.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/reports/ReportsController.h"
#include "ui/services/yandex_metrika/YandexMetrikaController.h"
#include "ui/services/yandex_metrika/YandexMetrikaKeywordsWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"

#include "SimServer.h"
#include "services/TokenRegistry.h"
#include "services/YandexMetrikaModule.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

using namespace veltrano;
using namespace veltrano::testing;
using Module = sim::YandexMetrikaModule;

namespace {

constexpr long long UserId = 4242;
const char *const AcceptedToken = "y0_ym_gui_test_token";
constexpr long long CounterId = 44147844;
const QString PageWithQuery = QStringLiteral("https://example.com/a?b=1&c=2");
const std::string BytimePath = "/yandex-metrika/stat/v1/data/bytime";

Module::Counter counter(long long id, const std::string &site, const std::string &status = "Active")
{
    Module::Counter c;
    c.id = id;
    c.site = site;
    c.status = status;
    return c;
}

// The account of the tests: counters out of order, one "active" in lower
// case and one deleted; the example.com counter has a page with 10 visits
// a day.
std::vector<Module::Counter> accountCounters()
{
    Module::Counter main = counter(CounterId, "example.com");
    Module::Page page;
    page.url = PageWithQuery.toStdString();
    page.visitsPerDay = 10;
    page.usersPerDay = 4;
    page.bounceRate = 20;
    page.pageDepth = 2;
    page.avgVisitDurationSeconds = 95;
    main.pages = {page};
    return {main, counter(7, "a.example.com"), counter(8, "c.example.com", "active"),
            counter(9, "d.example.com", "Deleted")};
}

std::string errorBody(int code, const std::string &type, const std::string &message)
{
    return R"({"errors":[{"error_type":")" + type + R"(","message":")" + message + R"("}],"code":)" +
           std::to_string(code) + R"(,"message":")" + message + R"("})";
}

sim::Response errorAnswer(int code, const std::string &type, const std::string &message)
{
    sim::Response r = sim::Response::json(errorBody(code, type, message), code);
    r.reason = sim::reasonPhrase(code);
    return r;
}

} // namespace

class TestYandexMetrikaGui : public QObject {
    Q_OBJECT

    // The window on a settings folder of its own, the Yandex Metrika API at
    // the in-process simulator; the account's token is stored as "token_1".
    struct Fixture : testing::MainWindowHarness {
        sim::SimServer sim;
        std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
        Module metrika{tokens};

        explicit Fixture(const QString &storedToken = QString::fromLatin1(AcceptedToken))
        {
            metrika.install(sim, metrika.defaultPrefix());
            metrika.acceptToken(AcceptedToken, UserId);
            metrika.setCounters(UserId, accountCounters());
            sim.start();
            SettingsFile(SettingsFile::pathIn(folder()))
                .writeString(QStringLiteral("YandexMetrika_Token"), QStringLiteral("token_1"), storedToken);
            open(simulatorEndpoints(QString::fromStdString(sim.baseUrl()), 0));
        }
        QTreeWidget *counters() const { return find<QTreeWidget>("ListView2"); }
        QAction *keywordsAction() const { return find<QAction>("GetAllKeywords1"); }
        YandexMetrikaKeywordsWindow *keywords() const { return app->metrikaKeywordsWindow(); }
        ReportTable &report() const { return *app->reports().table(1); }
        QProgressBar *bar() const { return window->runProgressBar(); }

        QList<QStringList> counterRows() const { return treeRows(counters()); }
        void showSettings() const { MainWindowHarness::showSettings(1); }
        // Connects and selects the counter with 10 visits a day.
        void connectAndSelect() const
        {
            showSettings();
            button("Button10")->click();
            for (int i = 0; i < counters()->topLevelItemCount(); ++i) {
                if (counters()->topLevelItem(i)->text(1) == QString::number(CounterId))
                    counters()->setCurrentItem(counters()->topLevelItem(i));
            }
        }
        void setCustomPeriod(const QDate &from, const QDate &to) const
        {
            auto *presets = find<QComboBox>("ComboBox10");
            presets->setCurrentIndex(ReportingPeriod::Custom);
            Q_EMIT presets->activated(ReportingPeriod::Custom);
            find<QDateEdit>("DateTimePicker3")->setDate(from);
            find<QDateEdit>("DateTimePicker4")->setDate(to);
        }
        void paste(const QStringList &urls) { pasteUrls(1, urls); }
        void checkUrl() const { button("btRunRequests")->click(); }
        // The bytime address the check sends for a page of the period.
        std::string bytimeTarget(const QString &url) const
        {
            const QString full = YandexTrafficCheck::url(QString(), QStringLiteral("2024-03-01"),
                                                         QStringLiteral("2024-03-31"), QString::number(CounterId), url);
            return "/yandex-metrika" + full.toStdString();
        }
        // Opens "Get All Keywords" and runs work while the window is up.
        void getAllKeywords(const std::function<void()> &work = [] {})
        {
            WhileModal whileOpen(keywords(), work);
            keywordsAction()->trigger();
            QCOMPARE(whileOpen.appeared, 1);
        }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void connectListsActiveCountersSorted();
    void connectAsksForEveryPage();
    void connectWithARefusedToken();
    void doubleClickOnCountersShowsTheReport();

    void checkSendsThePeriodAndFillsRows();
    void checkFormatsTotalsInTheUserLocale();
    void checkEmptiesAFailedRowAndGoesOn();
    void refusedTokenEndsTheCheck();
    void cancelAfterTheSecondRow();

    void keywordsPageAndExport();
    void keywordsWindowWithoutPhrases();

    void checkSendsOnlyTheCountersSite_data();
    void checkSendsOnlyTheCountersSite();
    void periodIsCheckedBeforeAnyRequest_data();
    void periodIsCheckedBeforeAnyRequest();
    void targetLineNamesCounterAndPeriod();
};

// ---------------------------------------------------------------------------
// Counters

void TestYandexMetrikaGui::connectListsActiveCountersSorted()
{
    Fixture f;
    QVERIFY(!f.keywordsAction()->isEnabled());
    f.showSettings();
    f.button("Button10")->click();

    QCOMPARE(f.counterRows(), (QList<QStringList>{{"a.example.com", "7"}, {"example.com", "44147844"}}));
    QCOMPARE(f.button("Button10")->text(), QStringLiteral("Connected (counters: 2)"));
    QVERIFY(!f.button("Button10")->isEnabled());
    QVERIFY(f.keywordsAction()->isEnabled());
    QVERIFY(f.app->reports().runControl().flags().apiConnected);
    QCOMPARE(f.counters()->topLevelItem(0)->textAlignment(1), int(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(f.prompt.texts.isEmpty());
    QCOMPARE(f.log().last(), QStringLiteral("Yandex Metrika - HTTP Code: 200 OK"));
}

void TestYandexMetrikaGui::connectAsksForEveryPage()
{
    Fixture f;
    std::vector<Module::Counter> many;
    for (int i = 0; i < 1500; ++i)
        many.push_back(counter(100000 + i, "site" + std::to_string(i) + ".example"));
    f.metrika.setCounters(UserId, many);
    f.showSettings();
    f.button("Button10")->click();

    QCOMPARE(f.counters()->topLevelItemCount(), 1500);
    QCOMPARE(f.sim.requestsTo("/yandex-metrika/management/v1/counters").size(), size_t(2));
    QCOMPARE(f.button("Button10")->text(), QStringLiteral("Connected (counters: 1500)"));
}

void TestYandexMetrikaGui::connectWithARefusedToken()
{
    Fixture f(QStringLiteral("revoked-token"));
    f.showSettings();
    f.button("Button10")->click();

    QCOMPARE(f.prompt.texts, QStringList{"Yandex Metrika Error - Code: 403, Invalid oauth_token"});
    QCOMPARE(f.counters()->topLevelItemCount(), 0);
    QVERIFY(f.button("Button10")->isEnabled());
    QCOMPARE(f.button("Button10")->text(), QStringLiteral("Connect to Account"));
    QVERIFY(!f.keywordsAction()->isEnabled());
    QVERIFY(!f.app->reports().runControl().flags().apiConnected);
    // The trace shows the token's first characters only.
    QVERIFY(!f.app->requestTrace().text().contains(QStringLiteral("revoked-token")));
    QVERIFY(f.app->requestTrace().text().contains(QStringLiteral("- Authorization: OAuth revo...")));
}

void TestYandexMetrikaGui::doubleClickOnCountersShowsTheReport()
{
    Fixture f;
    f.connectAndSelect();
    auto *reports = f.find<QTabWidget>("pcReportsURLs");
    reports->setCurrentIndex(3);
    QTreeWidget *list = f.counters();
    doubleClick(list->viewport(), list->visualItemRect(list->topLevelItem(0)).center());
    QCOMPARE(f.find<QTabWidget>("pcPages")->currentIndex(), 0);
    QCOMPARE(reports->currentIndex(), 1);
    QCOMPARE(list->currentItem(), list->topLevelItem(0));
}

// ---------------------------------------------------------------------------
// Traffic check

void TestYandexMetrikaGui::checkSendsThePeriodAndFillsRows()
{
    Fixture f;
    f.connectAndSelect();
    f.setCustomPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    f.paste({PageWithQuery, QStringLiteral("https://example.com/b"), QStringLiteral("https://example.com/c")});
    f.checkUrl();

    const auto requests = f.sim.requestsTo(BytimePath);
    QCOMPARE(requests.size(), size_t(3));
    const sim::RecordedRequest &first = requests[0];
    QCOMPARE(first.queryParam("date1"), std::string("2024-03-01"));
    QCOMPARE(first.queryParam("date2"), std::string("2024-03-31"));
    QCOMPARE(first.queryParam("ids"), std::string("44147844"));
    QCOMPARE(first.queryParam("metrics"),
             std::string("ym:s:visits,ym:s:users,ym:s:bounceRate,ym:s:pageDepth,ym:s:avgVisitDurationSeconds"));
    QCOMPARE(first.queryParam("filters"), std::string("EXISTS(ym:pv:URL=*'https://example.com/a?b=1&c=2')"));
    QCOMPARE(first.queryParam("group"), std::string("all"));

    QCOMPARE(f.report().rowTexts(0), (QStringList{PageWithQuery, "310", "124", "20.0", "2.00", "01:35"}));
    QCOMPARE(f.report().rowTexts(1), (QStringList{"https://example.com/b", "0", "0", "0.0", "0.00", "00:00"}));
    QCOMPARE(f.log().last(), QStringLiteral("Check finished"));
    QVERIFY(f.app->reports().runControl().flags().reportDataReady);
    QVERIFY(f.prompt.texts.isEmpty());
}

void TestYandexMetrikaGui::checkFormatsTotalsInTheUserLocale()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });
    Fixture f;
    f.connectAndSelect();
    f.setCustomPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    const QString one = QStringLiteral("https://example.com/one");
    const QString two = QStringLiteral("https://example.com/two");
    f.sim.setResponse("GET", f.bytimeTarget(one),
                      sim::Response::json(R"({"totals":[[140.0],[98.0],[45.4545],[1.2345],[3725.0]]})"));
    f.sim.setResponse("GET", f.bytimeTarget(two),
                      sim::Response::json(R"({"totals":[[1.0],[1.0],[0.0],[0.0],[61.5]]})"));
    f.paste({one, two});
    f.checkUrl();

    QCOMPARE(f.report().rowTexts(0), (QStringList{one, "140", "98", "45,5", "1,23", "62:05"}));
    QCOMPARE(f.report().rowTexts(1), (QStringList{two, "1", "1", "0,0", "0,00", "01:02"}));
    // The bounce-rate bar reads the cell back in the same format.
    const QVariant fraction = f.report().data(f.report().index(0, 3), ReportTable::PercentFractionRole);
    QVERIFY2(qAbs(fraction.toDouble() - 0.455) < 1e-9, qPrintable(fraction.toString()));
}

void TestYandexMetrikaGui::checkEmptiesAFailedRowAndGoesOn()
{
    Fixture f;
    f.connectAndSelect();
    f.setCustomPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    const QString bad = QStringLiteral("https://example.com/it's");
    f.paste({PageWithQuery, bad, PageWithQuery + QStringLiteral("&d=3")});
    f.report().setRowCells(1, {"9", "9", "9,9", "9,99", "09:09"}); // an earlier check's figures
    f.sim.setResponse("GET", f.bytimeTarget(bad), errorAnswer(400, "invalid_parameter", "Wrong parameter: 'filters'"));
    f.checkUrl();

    QCOMPARE(f.report().rowTexts(0).at(1), QStringLiteral("310"));
    QCOMPARE(f.report().rowTexts(1), (QStringList{bad, "", "", "", "", ""}));
    QCOMPARE(f.report().rowTexts(2).at(1), QStringLiteral("0"));
    QCOMPARE(f.bar()->maximum(), 3);
    QCOMPARE(f.bar()->value(), 3);
    const QStringList log = f.log();
    QVERIFY(log.contains(
        QStringLiteral("Yandex Metrika Error Get Object Data: 2/3 - Code: 400, Wrong parameter: 'filters'")));
    QCOMPARE(log.last(), QStringLiteral("Check finished"));
    QVERIFY(f.prompt.texts.isEmpty());
}

void TestYandexMetrikaGui::refusedTokenEndsTheCheck()
{
    Fixture f;
    f.connectAndSelect();
    f.paste({PageWithQuery, QStringLiteral("https://example.com/b")});
    f.report().setRowCells(0, {"1", "2", "3.0", "4.00", "00:05"});
    f.sim.setResponse("GET", BytimePath + "*", errorAnswer(403, "invalid_token", "Invalid oauth_token"));
    f.checkUrl();

    QCOMPARE(f.prompt.texts, QStringList{"Yandex Metrika Error - Code: 403, Invalid oauth_token"});
    QCOMPARE(f.report().rowTexts(0), (QStringList{PageWithQuery, "1", "2", "3.0", "4.00", "00:05"}));
    QCOMPARE(f.sim.requestsTo(BytimePath).size(), size_t(1));
    QVERIFY(!f.app->reports().runControl().flags().reportDataReady);
}

void TestYandexMetrikaGui::cancelAfterTheSecondRow()
{
    Fixture f;
    f.connectAndSelect();
    const QStringList urls{PageWithQuery, PageWithQuery + QStringLiteral("&d=2"),
                           PageWithQuery + QStringLiteral("&d=3")};
    f.paste(urls);
    f.report().setRowCells(2, {"7", "7", "7.0", "7.00", "00:07"});
    // "Cancel" clicked while the second row is being filled.
    QPushButton *cancel = f.button("btAbortRequests");
    QMetaObject::Connection once;
    once = connect(&f.report(), &QAbstractItemModel::dataChanged, cancel, [&](const QModelIndex &from) {
        if (from.row() == 1) {
            QObject::disconnect(once);
            QTimer::singleShot(0, cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });
        }
    });
    f.checkUrl();

    QVERIFY(!f.report().cell(1, 1).isEmpty());
    QCOMPARE(f.report().rowTexts(2), (QStringList{urls[2], "7", "7", "7.0", "7.00", "00:07"}));
    QCOMPARE(f.sim.requestsTo(BytimePath).size(), size_t(2));
    const QStringList log = f.log();
    QCOMPARE(log.mid(log.size() - 3), (QStringList{"Cancel check...", "Check cancelled...", "Check finished"}));
    QVERIFY(!f.app->reports().runControl().flags().reportDataReady);
}

// ---------------------------------------------------------------------------
// Search phrases

void TestYandexMetrikaGui::keywordsPageAndExport()
{
    Fixture f;
    std::vector<Module::Counter> counters = accountCounters();
    counters[0].phrases = Module::generatedPhrases(23456, "gui");
    counters[0].phrases[0] = {"диван; угловой", 9, 8, 33.333, 1.5, 90.5};
    f.metrika.setCounters(UserId, counters);
    f.connectAndSelect();
    f.setCustomPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    f.dialogs.saveAnswer = f.folder() + QStringLiteral("phrases.csv");

    QString caption;
    bool enabled = false;
    f.getAllKeywords([&] {
        caption = f.keywords()->exportButton()->text();
        enabled = f.keywords()->exportButton()->isEnabled();
        f.keywords()->exportButton()->click();
    });

    QCOMPARE(caption, QStringLiteral("Export to Excel (23456 rows)"));
    QVERIFY(enabled);
    QCOMPARE(f.keywords()->windowTitle(), QStringLiteral("YMetrika Keywords"));
    QCOMPARE(f.keywords()->rowCount(), 23456);
    QCOMPARE(f.keywords()->rowTexts(0), (QStringList{"диван; угловой", "9", "8", "33.33", "1.50", "91"}));
    QStringList offsets;
    for (const auto &r : f.sim.requestsTo("/yandex-metrika/stat/v1/data")) {
        offsets << QString::fromStdString(r.queryParam("offset"));
        QCOMPARE(r.queryParam("date1"), std::string("2024-03-01"));
    }
    QCOMPARE(offsets, (QStringList{"1", "10001", "20001"}));

    QCOMPARE(f.dialogs.proposedNames(), QStringList{"export_yametrika_keywords.csv"});
    QFile file(f.dialogs.saveAnswer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines[0].endsWith("Query;Visits;Users;Bounce Rate;Page Depth;Avg Visit Duration Seconds;\r"));
    QCOMPARE(lines.size(), 23456 + 2); // header, rows, and the end of the last line
    // A phrase with the separator stays one field.
    QCOMPARE(QString::fromUtf8(lines[1]), QStringLiteral("\"диван; угловой\";9;8;33.33;1.50;91\r"));

    // A second fetch replaces the first.
    counters[0].phrases = {{"кресло", 3, 2, 10, 1, 30}};
    f.metrika.setCounters(UserId, counters);
    f.getAllKeywords();
    QCOMPARE(f.keywords()->rowCount(), 1);
    QCOMPARE(f.keywords()->rowTexts(0).first(), QStringLiteral("кресло"));
}

void TestYandexMetrikaGui::keywordsWindowWithoutPhrases()
{
    Fixture f;
    f.connectAndSelect();
    QString caption;
    bool enabled = true;
    f.getAllKeywords([&] {
        caption = f.keywords()->exportButton()->text();
        enabled = f.keywords()->exportButton()->isEnabled();
    });
    QCOMPARE(caption, QStringLiteral("Export to Excel (0 rows)"));
    QVERIFY(!enabled);
    QCOMPARE(f.keywords()->rowCount(), 0);
    QCOMPARE(f.sim.requestsTo("/yandex-metrika/stat/v1/data").size(), size_t(1));

    // Without a counter selected nothing is asked.
    f.counters()->clearSelection();
    f.keywordsAction()->trigger();
    QCOMPARE(f.prompt.texts, QStringList{"Please select Website from Poject list"});
    QCOMPARE(f.sim.requestsTo("/yandex-metrika/stat/v1/data").size(), size_t(1));
}

// ---------------------------------------------------------------------------
// The chosen site and period

// The counter of example.com answers for example.com and www.example.com;
// pages of other sites are not sent and keep their cells.
void TestYandexMetrikaGui::checkSendsOnlyTheCountersSite_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QList<bool>>("sent"); // per row

    QTest::newRow("mixed") << QStringList{PageWithQuery, "https://shop.example.org/", "https://www.example.com/b",
                                          "https://b.example.com/c"}
                           << QList<bool>{true, false, true, false};
    QTest::newRow("none of the site") << QStringList{"https://shop.example.org/", "https://example.org/"}
                                      << QList<bool>{false, false};
}

void TestYandexMetrikaGui::checkSendsOnlyTheCountersSite()
{
    QFETCH(QStringList, urls);
    QFETCH(QList<bool>, sent);
    Fixture f;
    f.connectAndSelect();
    f.setCustomPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    f.paste(urls);
    QCOMPARE(f.report().rowCount(), int(urls.size()));

    f.checkUrl();

    const int sentRows = int(sent.count(true));
    const auto requests = f.sim.requestsTo(BytimePath);
    QCOMPARE(int(requests.size()), sentRows);
    const QStringList log = f.log();
    const QStringList run = log.mid(log.lastIndexOf(QStringLiteral("Check started")));
    if (sentRows == 0) {
        QCOMPARE(f.prompt.texts.size(), 1);
        QVERIFY2(f.prompt.texts[0].contains(QStringLiteral("example.com")), qPrintable(f.prompt.texts[0]));
        QVERIFY(!run.contains(QStringLiteral("Check finished")));
    } else {
        QVERIFY(f.prompt.texts.isEmpty());
        QCOMPARE(run.filter(QStringLiteral("rows are not on")),
                 QStringList{QStringLiteral("%1 of %2 rows are not on example.com and were not checked")
                                 .arg(urls.size() - sentRows)
                                 .arg(urls.size())});
        QCOMPARE(run.last(), QStringLiteral("Check finished"));
    }
    for (int row = 0; row < urls.size(); ++row) {
        if (!sent[row])
            QCOMPARE(f.report().rowTexts(row).mid(1), QStringList(YandexTrafficCheck::kColumns, QString()));
    }
}

// A period turned round is a message before any request, for "Check YM"
// and for the phrases; Metrika takes a last day after today.
void TestYandexMetrikaGui::periodIsCheckedBeforeAnyRequest_data()
{
    QTest::addColumn<bool>("keywords");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<bool>("refused");

    const QDate today = QDate::currentDate();
    QTest::newRow("check, turned round") << false << today.addDays(-1) << today.addDays(-9) << true;
    QTest::newRow("phrases, turned round") << true << today.addDays(-1) << today.addDays(-9) << true;
    QTest::newRow("check, past today") << false << today.addDays(-9) << today.addDays(3) << false;
}

void TestYandexMetrikaGui::periodIsCheckedBeforeAnyRequest()
{
    QFETCH(bool, keywords);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(bool, refused);
    Fixture f;
    f.connectAndSelect();
    f.paste({PageWithQuery});
    f.setCustomPeriod(from, to);
    f.sim.clearRequests();

    if (keywords)
        f.keywordsAction()->trigger();
    else
        f.checkUrl();

    if (!refused) {
        QCOMPARE(f.sim.requestsTo(BytimePath).size(), size_t(1));
        return;
    }
    const QString expected = QStringLiteral("The period's first day (%1) is after its last day (%2). Choose the "
                                            "period again on the Yandex Metrika tab.")
                                 .arg(ReportingPeriod::dayText(from), ReportingPeriod::dayText(to));
    QCOMPARE(f.prompt.texts, QStringList{expected});
    QCOMPARE(f.sim.requestCount(), size_t(0));
    QCOMPARE(f.report().rowTexts(0).mid(1), QStringList(YandexTrafficCheck::kColumns, QString()));
}

void TestYandexMetrikaGui::targetLineNamesCounterAndPeriod()
{
    Fixture f;
    auto *line = f.find<QLabel>("lbCheckTarget2");
    QVERIFY(line);
    f.connectAndSelect();
    f.setCustomPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    QCOMPARE(line->text(), QStringLiteral("Checks counter example.com (%1) with account token_1, over 2024-03-01 "
                                          "to 2024-03-31")
                               .arg(CounterId));
    f.counters()->clearSelection();
    QCOMPARE(line->text(), QStringLiteral("Account token_1: choose a counter on Settings > Yandex Metrika"));
}

QTEST_MAIN(TestYandexMetrikaGui)
#include "tst_yandexmetrika_gui.moc"
