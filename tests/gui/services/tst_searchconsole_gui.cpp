// Google Search Console in the real main window, headless, against the
// in-process simulator over real sockets: connecting an account lists its
// properties, "Check URL" on the Search Console report runs "Check GSC" or
// "URL Inspection API" for the pasted pages, "Get All Keywords" fills the
// "GSC Keywords / Google Trends" window with its export and trend chart, and
// the period presets of the Google and Yandex Metrika tabs fill their pickers.

#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "reports/ReportTable.h"
#include "services/search_console/SearchConsoleCheck.h"
#include "services/search_console/SearchConsoleDescriptor.h"
#include "support/GuiTestSupport.h"
#include "support/MainWindowHarness.h"
#include "ui/accounts/AccountsController.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/desktop/GuiEventPump.h"
#include "ui/reports/ReportsController.h"
#include "ui/reports/StatsChartView.h"
#include "ui/services/search_console/SearchConsoleController.h"
#include "ui/services/search_console/SearchConsoleKeywordsWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"
#include "ui/widgets/AreaChartView.h"

#include "SimServer.h"
#include "services/SearchConsoleAccounts.h"
#include "services/SearchConsoleModule.h"
#include "services/ServiceRation.h"
#include "services/TokenRegistry.h"
#include "services/TrendsModule.h"
#include "services/UrlInspectionModule.h"
#include "support/LoopbackTestSupport.h"

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPieSeries>
#include <QPieSlice>
#include <QPointer>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>

using namespace veltrano;
using namespace veltrano::testing;
using Accounts = sim::SearchConsoleAccounts;

namespace {

constexpr long long UserId = 4242;
const char *const AcceptedToken = "ya29.gsc-gui-test-token";
const std::string Site = "https://example.com/";
const std::string QueryPath = "/googleapis/webmasters/v3/sites/https%3A%2F%2Fexample.com%2F/searchAnalytics/query";
const std::string InspectPath = "/searchconsole/v1/urlInspection/index:inspect";
const QString SelectSite = QStringLiteral("Please select Website from Poject list");
const QDate Today(2024, 4, 2);

Accounts::Row row(const std::string &query, const std::string &page, double clicks, double impressions, double position)
{
    Accounts::Row r;
    r.query = query;
    r.page = page;
    r.clicks = clicks;
    r.impressions = impressions;
    r.position = position;
    return r;
}

Accounts::Property property(const std::string &siteUrl)
{
    Accounts::Property p;
    p.siteUrl = siteUrl;
    return p;
}

// The account of the tests, its properties in Google's order: the domain
// property first. https://example.com/ has a page with two queries.
std::vector<Accounts::Property> accountProperties()
{
    Accounts::Property site = property(Site);
    site.pages = {"https://example.com/", "https://example.com/sofas/", "https://example.com/chairs/"};
    site.rows = {row("sofa", "https://example.com/sofas/", 3, 100, 7.5),
                 row("corner sofa", "https://example.com/sofas/", 1, 50, 12)};
    return {property("sc-domain:example.com"), property("https://shop.example.com/"), site};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSearchConsoleGui : public QObject {
    Q_OBJECT

    // The window on a settings folder of its own, every Google address at the
    // in-process simulator, "today" 2 April 2024; the account's token is
    // stored as "token_1".
    struct Fixture : testing::MainWindowHarness {
        sim::SimServer sim;
        std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
        std::shared_ptr<Accounts> accounts = std::make_shared<Accounts>(tokens);
        sim::SearchConsoleModule webmasters{accounts};
        sim::UrlInspectionModule inspection{accounts};
        sim::TrendsModule trends;
        CountingPump pump;
        Endpoints endpoints;
        MainWindowOptions options;

        explicit Fixture(bool scriptedPump = false)
        {
            webmasters.install(sim, webmasters.defaultPrefix());
            inspection.install(sim, inspection.defaultPrefix());
            trends.install(sim, trends.defaultPrefix());
            accounts->acceptToken(AcceptedToken, UserId);
            accounts->setProperties(UserId, accountProperties());
            sim.start();
            SettingsFile(SettingsFile::pathIn(folder()))
                .writeString(QStringLiteral("GoogleSC_Token"), QStringLiteral("token_1"),
                             QString::fromLatin1(AcceptedToken));
            options = windowOptions();
            options.clock = [] { return QDateTime(Today, QTime(10, 30)); };
            if (scriptedPump)
                options.eventPump = &pump;
            endpoints = simulatorEndpoints(QString::fromStdString(sim.baseUrl()), testing::freePort());
            open(endpoints, options);
        }
        // The program ends and starts again on the same folder.
        void restart()
        {
            app.reset();
            open(endpoints, options);
        }
        QTreeWidget *properties() const { return find<QTreeWidget>("ListView3"); }
        SearchConsoleKeywordsWindow *keywords() const { return app->keywordsWindow(); }
        QStringList logFrom(const QString &line) const
        {
            const QStringList all = log();
            return all.mid(all.lastIndexOf(line));
        }
        ReportTable &report() const { return *app->reports().table(2); }
        RunControl &run() const { return app->reports().runControl(); }

        QList<QStringList> propertyRows() const { return treeRows(properties()); }
        void connectAndSelect(const QString &siteUrl = QString::fromStdString(Site)) const
        {
            button("Button14")->click();
            for (int i = 0; i < properties()->topLevelItemCount(); ++i) {
                if (properties()->topLevelItem(i)->text(0) == siteUrl)
                    properties()->setCurrentItem(properties()->topLevelItem(i));
            }
        }
        // The pages on the Search Console report tab.
        void paste(const QStringList &urls) { pasteUrls(2, urls); }
        // "Check URL", then the item of the check menu.
        void runCheck(const QString &item) const { runCheckFromMenu(item); }
        // The Google period: "Custom", then the two days by hand.
        void customPeriod(const QDate &from, const QDate &to) const
        {
            auto *presets = find<QComboBox>("ComboBox5");
            presets->setCurrentIndex(ReportingPeriod::Custom);
            Q_EMIT presets->activated(ReportingPeriod::Custom);
            find<QDateEdit>("DateTimePicker1")->setDate(from);
            find<QDateEdit>("DateTimePicker2")->setDate(to);
        }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void connectListsPropertiesSorted();
    void connectAnswers_data();
    void connectAnswers();
    void doubleClickOnPropertiesShowsTheReport();

    void checkGscFillsTheReport();
    void refusedTokenEndsTheCheckAtTheFirstRow();
    void cancelWorksAmidFailingRows();
    void inspectionReplacesThePerformanceCells();
    void spentDailyQuotaStopsAndContinueTakesTheRowsLeft();
    void rowsLeftSurviveARestartAndContinueTakesThem();
    void checksNeedAProperty();
    void checksSendOnlyThePropertysPages_data();
    void checksSendOnlyThePropertysPages();
    void periodIsCheckedBeforeAnyRequest_data();
    void periodIsCheckedBeforeAnyRequest();
    void targetLineNamesPropertyAndPeriod();

    void keywordsListPagesAndExports();
    void keywordsPaging_data();
    void keywordsPaging();
    void keywordsExportWritesTheRows();
    void trendOfACyrillicQuery();

    void periodPresetsFillTheirOwnPickers();
};

// ---------------------------------------------------------------------------
// Connection

void TestSearchConsoleGui::connectListsPropertiesSorted()
{
    Fixture f;
    QVERIFY(!f.button("Button32")->isEnabled());
    QVERIFY(!f.button("btRunRequests")->isEnabled());

    f.button("Button14")->click();

    QCOMPARE(f.propertyRows(), (QList<QStringList>{{"https://example.com/", "https%3A%2F%2Fexample.com%2F"},
                                                   {"https://shop.example.com/", "https%3A%2F%2Fshop.example.com%2F"},
                                                   {"sc-domain:example.com", "sc-domain%3Aexample.com"}}));
    QCOMPARE(f.button("Button14")->text(), QStringLiteral("Connected (projects: 3)"));
    QVERIFY(!f.button("Button14")->isEnabled());
    QVERIFY(f.button("Button32")->isEnabled());
    QVERIFY(f.run().flags().apiConnected);
    QVERIFY(f.button("btRunRequests")->isEnabled());
    QCOMPARE(f.log(), QStringList{"Google Search Console - HTTP Code: 200 OK"});
    QVERIFY(f.prompt.texts.isEmpty());
    const auto sent = f.sim.requests();
    QCOMPARE(sent.size(), size_t(1));
    QCOMPARE(sent[0].target, std::string("/googleapis/webmasters/v3/sites"));
    QCOMPARE(sent[0].header("Authorization"), std::string("OAuth ") + AcceptedToken);
}

void TestSearchConsoleGui::connectAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("message");

    QTest::newRow("no properties: {}") << "{}"
                                       << "Connected (projects: 0)" << true << QString();
    QTest::newRow("403") << "403"
                         << "Connect to Account" << false
                         << "Google Search Console Error - Code: 403, Request had insufficient authentication scopes.";
    QTest::newRow("revoked token") << "401"
                                   << "Connect to Account" << false
                                   << "Google Search Console Error - Code: 401, Request had invalid authentication "
                                      "credentials. Expected OAuth 2 access token, login cookie or other valid "
                                      "authentication credential. See "
                                      "https://developers.google.com/identity/sign-in/web/devconsole-project.";
    QTest::newRow("no answer") << "dropped"
                               << "Connect to Account" << false
                               << "Google Search Console gave no usable answer (HTTP status 500, no answer "
                                  "received). Please check the connection and the account, then try again.";
}

void TestSearchConsoleGui::connectAnswers()
{
    QFETCH(QString, answer);
    QFETCH(QString, caption);
    QFETCH(bool, connected);
    QFETCH(QString, message);

    Fixture f;
    if (answer == QLatin1String("{}")) {
        f.accounts->setProperties(UserId, {});
    } else if (answer == QLatin1String("403")) {
        // A valid token without the Search Console scope.
        f.tokens->add(AcceptedToken, {"google", "", "https://www.googleapis.com/auth/analytics.readonly", UserId});
    } else if (answer == QLatin1String("401")) {
        f.tokens->remove(AcceptedToken);
    } else {
        sim::Response dropped;
        dropped.fault = sim::Fault::CloseWithoutAnswer;
        f.sim.setResponse("GET", "/googleapis/webmasters/v3/sites", dropped);
    }

    f.button("Button14")->click();

    QCOMPARE(f.properties()->topLevelItemCount(), 0);
    QCOMPARE(f.button("Button14")->text(), caption);
    QCOMPARE(f.button("Button14")->isEnabled(), !connected);
    QCOMPARE(f.button("Button32")->isEnabled(), connected);
    QCOMPARE(f.run().flags().apiConnected, connected);
    QCOMPARE(f.button("btRunRequests")->isEnabled(), connected);
    QCOMPARE(f.prompt.texts, message.isEmpty() ? QStringList() : QStringList{message});
    // Google's refusals are in the log too.
    if (message.startsWith(QLatin1String("Google Search Console Error")))
        QCOMPARE(f.log().last(), message);
}

void TestSearchConsoleGui::doubleClickOnPropertiesShowsTheReport()
{
    Fixture f;
    f.connectAndSelect();
    auto *pages = f.find<QTabWidget>("pcPages");
    pages->setCurrentIndex(1);
    f.find<QTabWidget>("pcAnalyticSystems")->setCurrentIndex(2);
    QTreeWidget *list = f.properties();
    doubleClick(list->viewport(), list->visualItemRect(list->topLevelItem(1)).center());

    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(f.find<QTabWidget>("pcReportsURLs")->currentIndex(), 2);
    QCOMPARE(f.app->searchConsole()->selectedProperty()->siteUrl, QStringLiteral("https://shop.example.com/"));
}

// ---------------------------------------------------------------------------
// "Check GSC" and "URL Inspection API"

// Four pages over March 2024: one with two queries, one without data, one
// Google refuses, one whose address holds a quote.
void TestSearchConsoleGui::checkGscFillsTheReport()
{
    Fixture f(true);
    f.connectAndSelect();
    f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    const QString quoted = QStringLiteral("https://example.com/\"best\"/");
    f.paste({"https://example.com/sofas/", "https://example.com/", "https://example.com/refused/", quoted});
    QCOMPARE(f.report().rowCount(), 4);
    // Google refuses the third page: its answer is set once the second row
    // has handed over to the window.
    const int before = f.pump.calls;
    f.pump.onCall = [&](int call) {
        if (call == before + 2)
            f.sim.queueResponse("POST", QueryPath,
                                sim::SearchConsoleModule::errorAnswer(
                                    403, "User does not have sufficient permission for site 'https://example.com/'.",
                                    "PERMISSION_DENIED"));
    };

    f.runCheck(QStringLiteral("Check GSC"));

    const QString e;
    QCOMPARE(f.report().rowTexts(0).mid(1), (QStringList{"Yes", "4", "150", "0.03", "9", e, e, e, e}));
    QCOMPARE(f.report().rowTexts(1).mid(1), (QStringList{"No", e, e, e, e, e, e, e, e}));
    QCOMPARE(f.report().rowTexts(2).mid(1), QStringList(9, e));
    QCOMPARE(f.report().rowTexts(3).mid(1), (QStringList{"No", e, e, e, e, e, e, e, e}));

    const QStringList log = f.logFrom(QStringLiteral("Check started"));
    QVERIFY(log.contains(QStringLiteral("Google Search Console Error - Code: 403, User does not have sufficient "
                                        "permission for site 'https://example.com/'. (3/4)")));
    QCOMPARE(log.last(), QStringLiteral("Check finished"));
    QVERIFY(f.prompt.texts.isEmpty());

    // The requests: no "key", the body as the program writes it, the quoted
    // address as valid JSON.
    const auto sent = f.sim.requestsTo(QueryPath);
    QCOMPARE(sent.size(), size_t(4));
    for (const auto &r : sent)
        QVERIFY2(r.query.empty(), r.target.c_str());
    QCOMPARE(sent[0].body,
             std::string("{\"startDate\":\"2024-03-01\", \"endDate\":\"2024-03-31\", \"dimensions\": [\"QUERY\"], "
                         "\"dimensionFilterGroups\": [{\"filters\": [{\"dimension\": \"PAGE\", \"expression\": "
                         "\"https://example.com/sofas/\",\"operator\": \"EQUALS\"}]}]}"));
    QJsonParseError error;
    const QJsonDocument body = QJsonDocument::fromJson(QByteArray::fromStdString(sent[3].body), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(body.object()["dimensionFilterGroups"][0]["filters"][0]["expression"].toString(), quoted);

    // The pie counts "Indexed" of the three answered rows (the refused one
    // counts on neither side).
    QVERIFY(f.run().lastChartRule(2) == searchConsolePerformanceChart());
    QCOMPARE(f.pieLabels(), (QStringList{"Indexed (33%)", "Not indexed (67%)"}));
    QVERIFY(f.button("btExport")->isEnabled());
}

// A refused token ends the run at the first row: the message, no cell
// changed, no "Check finished".
void TestSearchConsoleGui::refusedTokenEndsTheCheckAtTheFirstRow()
{
    Fixture f;
    f.connectAndSelect();
    f.paste({"https://example.com/sofas/", "https://example.com/"});
    f.report().setRowCells(0, {"Yes", "1", "2", "0.50", "3", "", "", "", ""});
    f.tokens->remove(AcceptedToken);

    f.runCheck(QStringLiteral("Check GSC"));

    QCOMPARE(f.prompt.texts.size(), 1);
    QVERIFY2(f.prompt.texts[0].startsWith(
                 QStringLiteral("Google Search Console Error - Code: 401, Request had invalid authentication")),
             qPrintable(f.prompt.texts[0]));
    QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::Error});
    QCOMPARE(f.report().rowTexts(0).mid(1), (QStringList{"Yes", "1", "2", "0.50", "3", "", "", "", ""}));
    QCOMPARE(f.report().rowTexts(1).mid(1), QStringList(9, QString()));
    QVERIFY(!f.log().contains(QStringLiteral("Check finished")));
    QCOMPARE(f.sim.requestsTo(QueryPath).size(), size_t(1));
    QVERIFY(!f.run().isRunning());
}

// Every failing row still hands over to the window, so "Cancel" is heard.
void TestSearchConsoleGui::cancelWorksAmidFailingRows()
{
    Fixture f;
    f.connectAndSelect();
    QStringList urls;
    for (int i = 0; i < 100; ++i)
        urls << QStringLiteral("https://example.com/page-%1/").arg(i);
    f.paste(urls);
    sim::Response failing = sim::SearchConsoleModule::errorAnswer(500, "Internal error encountered.", "INTERNAL");
    failing.delayMs = 20;
    f.sim.setResponse("POST", QueryPath, failing);

    // The click comes once the first row has failed, however slow the
    // machine is.
    const QString firstRowFailed =
        QStringLiteral("Google Search Console Error - Code: 500, Internal error encountered. (1/100)");
    QPushButton *cancel = f.button("btAbortRequests");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, cancel, [&] {
        if (f.log().contains(firstRowFailed)) {
            watch.stop();
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
    });
    watch.start(5);
    f.runCheck(QStringLiteral("Check GSC"));

    const QStringList log = f.log();
    QCOMPARE(log.mid(log.size() - 3), (QStringList{"Cancel check...", "Check cancelled...", "Check finished"}));
    const size_t asked = f.sim.requestsTo(QueryPath).size();
    QVERIFY2(asked > 0 && asked < 100, qPrintable(QString::number(asked)));
    QVERIFY(log.contains(firstRowFailed));
    QVERIFY(!f.run().flags().reportDataReady);
    QVERIFY(f.prompt.texts.isEmpty());
}

// The inspection writes the index status and clears the performance cells;
// the pie then counts "INDEXING_ALLOWED".
void TestSearchConsoleGui::inspectionReplacesThePerformanceCells()
{
    Fixture f;
    auto properties = accountProperties();
    properties[2].pages = {"https://example.com/", "https://example.com/sofas/"};
    properties[2].inspections["https://example.com/sofas/"] =
        Accounts::Inspection::indexed("https://example.com/sofas/", "2022-03-04T05:06:07Z");
    f.accounts->setProperties(UserId, properties);
    f.connectAndSelect();
    f.paste({"https://example.com/sofas/", "https://example.com/never-crawled/", "https://example.com/"});
    f.runCheck(QStringLiteral("Check GSC"));
    QCOMPARE(f.report().cell(0, 1), QStringLiteral("Yes"));

    f.runCheck(QStringLiteral("URL Inspection API"));

    const QString e;
    QCOMPARE(f.report().rowTexts(0).mid(1),
             (QStringList{e, e, e, e, e, "Submitted and indexed", "ALLOWED", "INDEXING_ALLOWED", "2022-03-04"}));
    QCOMPARE(f.report().rowTexts(1).mid(1),
             (QStringList{e, e, e, e, e, "URL is unknown to Google", "ROBOTS_TXT_STATE_UNSPECIFIED",
                          "INDEXING_STATE_UNSPECIFIED", e}));
    QCOMPARE(f.report().cell(2, 8), QStringLiteral("INDEXING_ALLOWED"));
    QCOMPARE(
        f.logFrom(QStringLiteral("Check started")),
        (QStringList{"Check started", "Google Search Console - HTTP Code: 200 OK",
                     "Google Search Console - HTTP Code: 200 OK", "Google Search Console Error Get Object Data: 2/3",
                     "Google Search Console - HTTP Code: 200 OK", "Check finished"}));
    const auto sent = f.sim.requestsTo(InspectPath);
    QCOMPARE(sent.size(), size_t(3));
    QCOMPARE(sent[1].body,
             std::string(
                 "{\"inspectionUrl\": \"https://example.com/never-crawled/\", \"siteUrl\": \"https://example.com/\"}"));

    QVERIFY(f.run().lastChartRule(2) == searchConsoleInspectionChart());
    QCOMPARE(f.pieLabels(), (QStringList{"Indexed (67%)", "Not indexed (33%)"}));
}

// URL Inspection with a daily quota of three pages and a 503 on every other
// request: the 503s are tried again, the fourth page meets the spent quota
// and the run stops with one message; the two rows not reached keep their
// marker and count. On the next day "Continue" inspects exactly those two.
void TestSearchConsoleGui::spentDailyQuotaStopsAndContinueTakesTheRowsLeft()
{
    Fixture f;
    auto ration = std::make_shared<sim::ServiceRation>(sim::ServiceRation::Style::GooglePlain,
                                                       "searchconsole.googleapis.com");
    ration->install(f.sim, "/searchconsole");
    sim::ServiceRation::Settings settings;
    settings.perDay = 3;
    settings.failEvery = 2;
    ration->setSettings(settings);
    f.connectAndSelect();
    QStringList urls;
    for (int i = 1; i <= 5; ++i)
        urls << QStringLiteral("https://example.com/p%1/").arg(i);
    f.paste(urls);
    const auto inspected = [&] {
        QStringList pages;
        for (const auto &request : f.sim.requestsTo(InspectPath)) {
            const QString page = QJsonDocument::fromJson(QByteArray::fromStdString(request.body))
                                     .object()
                                     .value(QStringLiteral("inspectionUrl"))
                                     .toString();
            if (!pages.contains(page))
                pages << page;
        }
        return pages;
    };

    f.runCheck(QStringLiteral("URL Inspection API"));

    QCOMPARE(f.prompt.texts.size(), 1);
    QVERIFY2(f.prompt.texts.first().startsWith(
                 QStringLiteral("The quota \"Queries per day\" of searchconsole.googleapis.com is spent: 3 rows were "
                                "checked, 2 remain. It returns at midnight Pacific time")),
             qPrintable(f.prompt.texts.first()));
    QVERIFY(f.log().contains(
        QStringLiteral("Google Search Console - HTTP Code: 503 Service Unavailable, trying again in 0 s (2/5)")));
    for (int row = 0; row < 5; ++row)
        QCOMPARE(f.report().cell(row, 6).isEmpty(), row >= 3); // an error never reads as data
    auto *left = f.find<QLabel>("RowsLeftLabel");
    QVERIFY(left->isVisibleTo(f.window));
    QCOMPARE(left->text(), QStringLiteral("2 rows left"));
    const RowRunStates &states = f.run().rowStates(2);
    QCOMPARE(states.state(urls[2]), RowRunStates::State::Answered);
    QCOMPARE(states.state(urls[3]), RowRunStates::State::NotReached);

    ration->advanceDay();
    f.sim.clearRequests();
    f.prompt.choice = 0; // "Continue"
    f.runCheck(QStringLiteral("URL Inspection API"));

    QCOMPARE(f.prompt.chosenFrom, (QList<QStringList>{{"Continue", "Check all again", "Cancel"}}));
    QCOMPARE(inspected(), (QStringList{urls[3], urls[4]}));
    QCOMPARE(f.prompt.texts.size(), 1); // no new message
    for (int row = 0; row < 5; ++row)
        QVERIFY(!f.report().cell(row, 6).isEmpty());
    QVERIFY(!left->isVisibleTo(f.window));
    QCOMPARE(states.rowsLeft(), 0);
}

// The same stop at a spent quota, then the program ends: at the next start
// the report, its marks and count are back, and once the same property is
// chosen again "Continue" inspects exactly the rows not reached.
void TestSearchConsoleGui::rowsLeftSurviveARestartAndContinueTakesThem()
{
    Fixture f;
    auto ration = std::make_shared<sim::ServiceRation>(sim::ServiceRation::Style::GooglePlain,
                                                       "searchconsole.googleapis.com");
    ration->install(f.sim, "/searchconsole");
    sim::ServiceRation::Settings settings;
    settings.perDay = 3;
    ration->setSettings(settings);
    f.connectAndSelect();
    QStringList urls;
    for (int i = 1; i <= 5; ++i)
        urls << QStringLiteral("https://example.com/p%1/").arg(i);
    f.paste(urls);
    f.runCheck(QStringLiteral("URL Inspection API"));
    QCOMPARE(f.run().rowStates(2).rowsLeft(), 2);
    QList<QStringList> before;
    for (int row = 0; row < 5; ++row)
        before << f.report().rowTexts(row);

    f.restart();

    QCOMPARE(f.report().rowCount(), 5);
    for (int row = 0; row < 5; ++row)
        QCOMPARE(f.report().rowTexts(row), before[row]);
    const RowRunStates &states = f.run().rowStates(2);
    QCOMPARE(states.state(urls[2]), RowRunStates::State::Answered);
    QCOMPARE(states.state(urls[3]), RowRunStates::State::NotReached);
    f.showReport(2);
    auto *left = f.find<QLabel>("RowsLeftLabel");
    QVERIFY(left->isVisibleTo(f.window));
    QCOMPARE(left->text(), QStringLiteral("2 rows left"));

    ration->advanceDay();
    f.sim.clearRequests();
    f.connectAndSelect();
    f.prompt.choice = 0; // "Continue"
    f.runCheck(QStringLiteral("URL Inspection API"));

    QCOMPARE(f.prompt.chosenFrom, (QList<QStringList>{{"Continue", "Check all again", "Cancel"}}));
    QStringList inspected;
    for (const auto &request : f.sim.requestsTo(InspectPath))
        inspected << QJsonDocument::fromJson(QByteArray::fromStdString(request.body))
                         .object()
                         .value(QStringLiteral("inspectionUrl"))
                         .toString();
    QCOMPARE(inspected, (QStringList{urls[3], urls[4]}));
    QCOMPARE(f.run().rowStates(2).rowsLeft(), 0);
    for (int row = 0; row < 5; ++row)
        QVERIFY(!f.report().cell(row, 6).isEmpty());
}

void TestSearchConsoleGui::checksNeedAProperty()
{
    Fixture f;
    f.button("Button14")->click(); // connected, nothing selected
    f.paste({"https://example.com/"});
    f.sim.clearRequests();

    f.runCheck(QStringLiteral("URL Inspection API"));
    f.button("Button32")->click();

    QCOMPARE(f.prompt.texts, (QStringList{SelectSite, SelectSite}));
    QCOMPARE(f.prompt.icons, (QList<MessagePrompt::Icon>{MessagePrompt::Icon::None, MessagePrompt::Icon::None}));
    QCOMPARE(f.sim.requestCount(), size_t(0));
    // Refused before it sent anything: the run never started.
    QVERIFY(!f.log().contains(QStringLiteral("Check started")));
    QVERIFY(!f.log().contains(QStringLiteral("Check finished")));
}

// Google refuses pages outside the property: such rows are not sent and
// stay empty, with one line in the log, or a message when no row is the
// property's.
void TestSearchConsoleGui::checksSendOnlyThePropertysPages_data()
{
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QList<bool>>("sent"); // per row

    QTest::newRow("URL-prefix, mixed") << "Check GSC" << QString::fromStdString(Site)
                                       << QStringList{"https://example.com/sofas/", "https://shop.example.org/a",
                                                      "http://example.com/b", "https://www.example.com/c",
                                                      "https://EXAMPLE.com/chairs/"}
                                       << QList<bool>{true, false, false, false, true};
    QTest::newRow("URL-prefix, none of it")
        << "URL Inspection API" << QString::fromStdString(Site)
        << QStringList{"https://shop.example.org/a", "https://shop.example.org/b"} << QList<bool>{false, false};
    QTest::newRow("domain property takes subdomains and schemes")
        << "URL Inspection API"
        << "sc-domain:example.com"
        << QStringList{"http://www.example.com/", "https://shop.example.com/x", "https://example.org/",
                       "https://notexample.com/"}
        << QList<bool>{true, true, false, false};
}

void TestSearchConsoleGui::checksSendOnlyThePropertysPages()
{
    QFETCH(QString, check);
    QFETCH(QString, property);
    QFETCH(QStringList, urls);
    QFETCH(QList<bool>, sent);

    Fixture f;
    f.connectAndSelect(property);
    f.paste(urls);
    QCOMPARE(f.report().rowCount(), int(urls.size()));
    f.sim.clearRequests();

    f.runCheck(check);

    const int sentRows = int(sent.count(true));
    QCOMPARE(int(f.sim.requestCount()), sentRows);
    const QStringList run = f.logFrom(QStringLiteral("Check started"));
    if (sentRows == 0) {
        QCOMPARE(f.prompt.texts.size(), 1);
        QVERIFY2(f.prompt.texts[0].contains(property), qPrintable(f.prompt.texts[0]));
        QVERIFY(!run.contains(QStringLiteral("Check finished")));
    } else {
        QCOMPARE(run.filter(QStringLiteral("rows are not on")),
                 QStringList{QStringLiteral("%1 of %2 rows are not on %3 and were not checked")
                                 .arg(urls.size() - sentRows)
                                 .arg(urls.size())
                                 .arg(property)});
        QCOMPARE(run.last(), QStringLiteral("Check finished"));
    }
    for (int row = 0; row < urls.size(); ++row) {
        if (!sent[row])
            QCOMPARE(f.report().rowTexts(row).mid(1), QStringList(SearchConsoleCheck::kCellCount, QString()));
    }
    QVERIFY(!f.run().isRunning());
}

// The Google period (chosen on the Google Analytics tab) is checked before
// anything is sent: turned round, or reaching past today, it is a message.
// The inspection does not use the period.
void TestSearchConsoleGui::periodIsCheckedBeforeAnyRequest_data()
{
    QTest::addColumn<QString>("action"); // a check, or "keywords"
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("message"); // empty: the requests go out

    const QString again = QStringLiteral(" Choose the period again on the Google Analytics tab.");
    const QString reversed =
        QStringLiteral("The period's first day (2024-03-20) is after its last day (2024-03-01).") + again;
    const QString future = QStringLiteral("The period's last day (2024-04-03) is after today (2024-04-02): the "
                                          "service has no data for it yet.") +
                           again;
    QTest::newRow("Check GSC, turned round") << "Check GSC" << QDate(2024, 3, 20) << QDate(2024, 3, 1) << reversed;
    QTest::newRow("Check GSC, tomorrow") << "Check GSC" << QDate(2024, 3, 20) << QDate(2024, 4, 3) << future;
    QTest::newRow("Check GSC, up to today") << "Check GSC" << QDate(2024, 3, 20) << Today << QString();
    QTest::newRow("keywords, turned round") << "keywords" << QDate(2024, 3, 20) << QDate(2024, 3, 1) << reversed;
    QTest::newRow("inspection ignores the period")
        << "URL Inspection API" << QDate(2024, 3, 20) << QDate(2024, 3, 1) << QString();
}

void TestSearchConsoleGui::periodIsCheckedBeforeAnyRequest()
{
    QFETCH(QString, action);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, message);

    Fixture f;
    f.connectAndSelect();
    f.paste({"https://example.com/sofas/"});
    f.customPeriod(from, to);
    f.sim.clearRequests();

    if (action == QLatin1String("keywords"))
        f.button("Button32")->click();
    else
        f.runCheck(action);

    if (message.isEmpty()) {
        QVERIFY(f.sim.requestCount() > 0);
        return;
    }
    QCOMPARE(f.prompt.texts, QStringList{message});
    QCOMPARE(f.sim.requestCount(), size_t(0));
    QCOMPARE(f.report().rowTexts(0).mid(1), QStringList(SearchConsoleCheck::kCellCount, QString()));
    QVERIFY(!f.log().contains(QStringLiteral("Check finished")));
}

void TestSearchConsoleGui::targetLineNamesPropertyAndPeriod()
{
    Fixture f;
    auto *line = f.find<QLabel>("lbCheckTarget3");
    QVERIFY(line);
    f.connectAndSelect();
    f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
    QCOMPARE(line->text(), QStringLiteral("Checks property https://example.com/ with account token_1; Check GSC "
                                          "over 2024-03-01 to 2024-03-31 (the period on the Google Analytics tab)"));
    f.properties()->clearSelection();
    QCOMPARE(line->text(), QStringLiteral("Account token_1: choose a property on Settings > Google Search Console"));
}

// ---------------------------------------------------------------------------
// "Get All Keywords"

// 30 001 query and page pairs come in two pages; the window lists them all.
void TestSearchConsoleGui::keywordsListPagesAndExports()
{
    Fixture f;
    auto properties = accountProperties();
    properties[2] = Accounts::generatedProperty(Site, 400, 30001);
    f.accounts->setProperties(UserId, properties);
    f.connectAndSelect();

    int rows = 0;
    QString caption;
    bool exportEnabled = false;
    WhileModal modal(f.keywords(), [&] {
        rows = f.keywords()->rowCount();
        caption = f.keywords()->exportButton()->text();
        exportEnabled = f.keywords()->exportButton()->isEnabled();
    });
    f.button("Button32")->click();

    QCOMPARE(modal.appeared, 1);
    QCOMPARE(rows, 30001);
    QCOMPARE(caption, QStringLiteral("Export to Excel (30001 rows)"));
    QVERIFY(exportEnabled);
    QStringList startRows;
    for (const auto &r : f.sim.requestsTo(QueryPath)) {
        QVERIFY(r.query.empty());
        startRows << QString::number(
            QJsonDocument::fromJson(QByteArray::fromStdString(r.body)).object()["startRow"].toInt());
    }
    QCOMPARE(startRows, (QStringList{"0", "25000"}));
    // The Google period: the last 30 days before 2 April 2024.
    QVERIFY(
        f.sim.requestsTo(QueryPath)[0].body.starts_with("{\"startDate\":\"2024-03-03\", \"endDate\":\"2024-04-02\""));
}

void TestSearchConsoleGui::keywordsPaging_data()
{
    QTest::addColumn<int>("pairs");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("message");
    QTest::newRow("exactly 25 000") << 25000 << 2 << QString();
    QTest::newRow("no data") << 0 << 1 << "Keywords not found";
    QTest::newRow("refused (a per-minute quota, tried five times)") << -1 << 5
                             << "Google Search Console Error - Code: 429, Quota exceeded for quota metric 'Queries' "
                                "and limit 'Queries per minute per user' of service 'searchconsole.googleapis.com' "
                                "for consumer 'project_number:123456789012'.";
}

void TestSearchConsoleGui::keywordsPaging()
{
    QFETCH(int, pairs);
    QFETCH(int, requests);
    QFETCH(QString, message);

    Fixture f;
    auto properties = accountProperties();
    properties[2] = Accounts::generatedProperty(Site, 400, size_t(std::max(pairs, 0)));
    f.accounts->setProperties(UserId, properties);
    f.connectAndSelect();
    if (pairs < 0)
        f.accounts->setRequestsBeforeQuotaExceeded(0);

    WhileModal modal(f.keywords(), [] {});
    f.button("Button32")->click();

    QCOMPARE(int(f.sim.requestsTo(QueryPath).size()), requests);
    QCOMPARE(modal.appeared, message.isEmpty() ? 1 : 0);
    QCOMPARE(f.prompt.texts, message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty())
        QCOMPARE(f.keywords()->rowCount(), pairs);
}

// Two rows export as three lines: the captions, each followed by ";", then
// the rows.
void TestSearchConsoleGui::keywordsExportWritesTheRows()
{
    Fixture f;
    f.connectAndSelect();
    f.dialogs.saveAnswer = f.folder() + QStringLiteral("keywords.csv");
    WhileModal modal(f.keywords(), [&] { f.keywords()->exportButton()->click(); });
    f.button("Button32")->click();

    QCOMPARE(f.dialogs.proposedNames(), QStringList{"export_gsc_keywords.csv"});
    const QByteArray file = readAll(f.dialogs.saveAnswer);
    QCOMPARE(file, QByteArray("\xEF\xBB\xBF"
                              "Query;URL;Clicks;Impressions;CTR;Avg Position;\r\n"
                              "sofa;https://example.com/sofas/;3;100;0.03;8\r\n"
                              "corner sofa;https://example.com/sofas/;1;50;0.02;12\r\n"));
}

// A double-click on a query asks the trends service for it, URL-encoded.
void TestSearchConsoleGui::trendOfACyrillicQuery()
{
    Fixture f;
    auto properties = accountProperties();
    properties[2].rows = {row("купить диван", "https://example.com/sofas/", 5, 90, 3)};
    f.accounts->setProperties(UserId, properties);
    f.trends.setSeries("купить диван", {{"2021-12-19", 40}, {"2021-12-26", 100}, {"2022-01-02", 60}});
    f.connectAndSelect();

    QString title;
    QList<QPointF> points;
    WhileModal modal(f.keywords(), [&] {
        QTreeView *list = f.keywords()->listView();
        QCOMPARE(f.keywords()->rowTexts(0).value(0), QStringLiteral("купить диван"));
        list->setCurrentIndex(list->model()->index(0, 0));
        doubleClick(list->viewport(), list->visualRect(list->model()->index(0, 0)).center());
        title = f.keywords()->chartView()->chart()->title();
        points = f.keywords()->chartView()->pointSeries()->points();
    });
    f.button("Button32")->click();

    QCOMPARE(f.sim.requests().back().target,
             std::string("/trends?query=%D0%BA%D1%83%D0%BF%D0%B8%D1%82%D1%8C+%D0%B4%D0%B8%D0%B2%D0%B0%D0%BD&lang=us"));
    QCOMPARE(title, QStringLiteral("Google Trends for \"купить диван\" (last 5 years)"));
    QCOMPARE(points, (QList<QPointF>{{0, 40}, {1, 100}, {2, 60}}));
    QCOMPARE(f.log().last(), QStringLiteral("Google Trends - HTTP Code: 200 OK"));
    QVERIFY(f.prompt.texts.isEmpty());
}

// ---------------------------------------------------------------------------
// Periods

void TestSearchConsoleGui::periodPresetsFillTheirOwnPickers()
{
    Fixture f;
    auto *google = f.find<QComboBox>("ComboBox5");
    auto *from = f.find<QDateEdit>("DateTimePicker1");
    auto *to = f.find<QDateEdit>("DateTimePicker2");
    auto *metrika = f.find<QComboBox>("ComboBox10");
    auto *metrikaFrom = f.find<QDateEdit>("DateTimePicker3");
    auto *metrikaTo = f.find<QDateEdit>("DateTimePicker4");

    // At start: the last 30 days, pickers off, on both tabs.
    QCOMPARE(google->currentText(), QStringLiteral("Last 30 days"));
    QCOMPARE(from->date(), QDate(2024, 3, 3));
    QCOMPARE(to->date(), Today);
    QCOMPARE(metrikaFrom->date(), QDate(2024, 3, 3));
    QVERIFY(!from->isEnabled() && !to->isEnabled() && !metrikaFrom->isEnabled());

    // The user picks "Previous month" on the Google tab, through the list.
    f.showSettings(3);
    QApplication::setActiveWindow(f.window);
    google->setFocus();
    QTest::keyClick(google, Qt::Key_Down); // "Last 90 days"
    QCOMPARE(from->date(), QDate(2024, 1, 3));
    google->setCurrentIndex(ReportingPeriod::PreviousMonth);
    Q_EMIT google->activated(ReportingPeriod::PreviousMonth);
    QCOMPARE(from->date(), QDate(2024, 2, 2));
    QCOMPARE(to->date(), QDate(2024, 3, 3));
    QCOMPARE(f.app->periods().google.fromText(), QStringLiteral("2024-02-02"));

    // "Custom" keeps the days and opens the pickers; edits reach the period.
    google->setCurrentIndex(ReportingPeriod::Custom);
    Q_EMIT google->activated(ReportingPeriod::Custom);
    QVERIFY(from->isEnabled() && to->isEnabled());
    QCOMPARE(from->date(), QDate(2024, 2, 2));
    from->setDate(QDate(2023, 12, 31));
    QCOMPARE(f.app->periods().google.fromText(), QStringLiteral("2023-12-31"));

    // The Yandex Metrika group is untouched, and its own choice leaves the
    // Google days alone.
    QCOMPARE(metrika->currentText(), QStringLiteral("Last 30 days"));
    QCOMPARE(metrikaFrom->date(), QDate(2024, 3, 3));
    metrika->setCurrentIndex(ReportingPeriod::ThisYear);
    Q_EMIT metrika->activated(ReportingPeriod::ThisYear);
    QCOMPARE(metrikaFrom->date(), QDate(2024, 1, 1));
    QCOMPARE(metrikaTo->date(), Today);
    QVERIFY(!metrikaFrom->isEnabled());
    QCOMPARE(from->date(), QDate(2023, 12, 31));
    QVERIFY(from->isEnabled());
}

QTEST_MAIN(TestSearchConsoleGui)
#include "tst_searchconsole_gui.moc"
