// Google Analytics in the real main window, headless, against the
// in-process simulator over real sockets: "Connect to Account" lists the
// accounts, choosing an account lists its properties and choosing a
// property its views, and "Check URL" on the Google Analytics report runs
// "Check GA" for the pasted pages over the Google period.

#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "reports/ReportTable.h"
#include "support/GuiTestSupport.h"
#include "support/LoopbackTestSupport.h"
#include "support/MainWindowHarness.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/desktop/GuiEventPump.h"
#include "ui/reports/ReportsController.h"
#include "ui/reports/StatsChartView.h"
#include "ui/services/analytics/AnalyticsController.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"

#include "SimServer.h"
#include "services/AnalyticsAdminModule.h"
#include "services/AnalyticsDataModule.h"
#include "services/AnalyticsModule.h"
#include "services/Ga4Accounts.h"
#include "services/TokenRegistry.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QListWidget>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace veltrano;
using namespace veltrano::testing;
using Module = sim::AnalyticsModule;

namespace {

constexpr long long UserId = 5151;
const char *const AcceptedToken = "ya29.ga-gui-test-token";
const char *const OtherUserToken = "ya29.ga-gui-other-user";
const std::string DataPath = "/googleapis/analytics/v3/data/ga";
const std::string SummaryPath = "/googleapis/analytics/v3/management/accountSummaries";
const std::string Ga4SummaryPath = "/analyticsadmin/v1beta/accountSummaries";
const std::string Ga4ReportPath = "/analyticsdata/v1beta/properties/312345678:runReport";
const QString SelectView = QStringLiteral("Please select View from Poject list");
const QDate Today(2024, 4, 2);

Module::View view(const std::string &id, const std::string &name, std::map<std::string, Module::PageTotals> pages = {})
{
    Module::View v;
    v.id = id;
    v.name = name;
    v.pages = std::move(pages);
    return v;
}

// Two accounts: the first with two properties, example.com with two views
// and one without views; the second, Cyrillic, past 32-bit ids.
std::vector<Module::Account> accounts()
{
    Module::Account first{"1001", "Example Furniture", {}};
    first.properties.push_back({"UA-1001-1",
                                "2001",
                                "example.com",
                                "https://example.com",
                                {view("11112222", "All Web Site Data",
                                      {{"/blog/post?p=2", {120, 340, 150, 125.0, 45.4545, 2.96}},
                                       {"/A", {3, 6, 7, 3599.4, 10, 1}},
                                       {"/", {8, 9, 10, 3600, 50, 1.25}}}),
                                 view("11112223", "Blog only")}});
    first.properties.push_back({"UA-1001-2", "2002", "Staging", "https://staging.example.com", {}});
    Module::Account second{"3000000001", "Мебель «Уют»", {}};
    second.properties.push_back({"UA-3000000001-1",
                                 "4294967296",
                                 "пример.рф",
                                 "https://xn--e1afmkfd.xn--p1ai",
                                 {view("4294967297", "Все данные по сайту")}});
    return {first, second};
}

} // namespace

class TestAnalyticsGui : public QObject {
    Q_OBJECT

    // The window on a settings folder of its own, every Google address at the
    // in-process simulator, "today" 2 April 2024; the account's token is
    // stored as "token_1".
    struct Fixture : testing::MainWindowHarness {
        sim::SimServer sim;
        std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
        Module module{tokens};
        // Google Analytics 4 on its two hosts; the user has no GA4 account
        // unless a test gives it one.
        std::shared_ptr<sim::Ga4Accounts> ga4 = std::make_shared<sim::Ga4Accounts>(tokens);
        sim::AnalyticsAdminModule ga4Admin{ga4};
        sim::AnalyticsDataModule ga4Data{ga4};
        CountingPump pump;

        // secondToken: "token_2" too, of a user without accounts.
        explicit Fixture(bool scriptedPump = false, bool secondToken = false)
        {
            module.install(sim, module.defaultPrefix());
            ga4Admin.install(sim, ga4Admin.defaultPrefix());
            ga4Data.install(sim, ga4Data.defaultPrefix());
            module.acceptToken(AcceptedToken, UserId);
            module.setAccounts(UserId, accounts());
            module.acceptToken(OtherUserToken, UserId + 1);
            module.setAccounts(UserId + 1, {});
            sim.start();
            SettingsFile settings(SettingsFile::pathIn(folder()));
            settings.writeString(QStringLiteral("GoogleAnalytics_Token"), QStringLiteral("token_1"),
                                 QString::fromLatin1(AcceptedToken));
            if (secondToken)
                settings.writeString(QStringLiteral("GoogleAnalytics_Token"), QStringLiteral("token_2"),
                                     QString::fromLatin1(OtherUserToken));
            MainWindowOptions options = windowOptions();
            options.clock = [] { return QDateTime(Today, QTime(10, 30)); };
            if (scriptedPump)
                options.eventPump = &pump;
            open(simulatorEndpoints(QString::fromStdString(sim.baseUrl()), testing::freePort()), options);
        }
        QComboBox *combo(const char *name) const { return find<QComboBox>(name); }
        ReportTable &report() const { return *app->reports().table(3); }
        RunControl &run() const { return app->reports().runControl(); }

        // The user picks an entry (also the one already shown).
        static void choose(QComboBox *box, int index)
        {
            box->setCurrentIndex(index);
            Q_EMIT box->activated(index);
        }
        static QStringList entries(const QComboBox *box)
        {
            QStringList out;
            for (int i = 0; i < box->count(); ++i)
                out << box->itemText(i) + QLatin1Char('=') + QString::number(box->itemData(i).toLongLong());
            return out;
        }
        // Connect, the first account, the first property: view 11112222.
        void chooseView()
        {
            button("Button18")->click();
            choose(combo("ComboBox1"), 0);
            choose(combo("ComboBox2"), 0);
        }
        void paste(const QStringList &urls) { pasteUrls(3, urls); }
        void customPeriod(const QDate &from, const QDate &to) const
        {
            auto *presets = combo("ComboBox5");
            presets->setCurrentIndex(ReportingPeriod::Custom);
            Q_EMIT presets->activated(ReportingPeriod::Custom);
            find<QDateEdit>("DateTimePicker1")->setDate(from);
            find<QDateEdit>("DateTimePicker2")->setDate(to);
        }
        // "Check URL", then "Check GA" of the tab's check menu.
        void checkUrl() { runCheckFromMenu(QStringLiteral("Check GA")); }
        std::string targetOf(const QString &pagePath) const
        {
            const QString url = app->analytics()->client().reportUrl(11112222, QStringLiteral("2024-03-01"),
                                                                     QStringLiteral("2024-03-31"), pagePath);
            return url.mid(url.indexOf(QLatin1String("/googleapis"))).toStdString();
        }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Each step asks for the summary again and fills the next list only.
    void connectThenChooseAccountPropertyAndView()
    {
        Fixture f;
        QVERIFY(!f.combo("ComboBox4")->isEnabled());
        f.button("Button18")->click();

        QCOMPARE(f.button("Button18")->text(), QStringLiteral("Connected (projects: 2)"));
        QVERIFY(!f.button("Button18")->isEnabled());
        QVERIFY(f.run().flags().apiConnected);
        QCOMPARE(Fixture::entries(f.combo("ComboBox1")),
                 (QStringList{"Example Furniture=1001", QStringLiteral("Мебель «Уют»=3000000001")}));
        QCOMPARE(f.combo("ComboBox1")->currentIndex(), 0);
        QCOMPARE(f.combo("ComboBox2")->count(), 0);
        QCOMPARE(f.combo("ComboBox3")->count(), 0);
        // The v3 summary and the GA4 one.
        QCOMPARE(f.log(), QStringList(2, "Google Analytics - HTTP Code: 200 OK"));

        // A selection made from code loads nothing.
        f.combo("ComboBox1")->setCurrentIndex(1);
        f.combo("ComboBox1")->setCurrentIndex(0);
        QCOMPARE(f.sim.requestsTo(SummaryPath).size(), size_t(1));

        Fixture::choose(f.combo("ComboBox1"), 0); // the entry already shown
        QCOMPARE(Fixture::entries(f.combo("ComboBox2")), (QStringList{"example.com=2001", "Staging=2002"}));
        QCOMPARE(f.combo("ComboBox2")->currentIndex(), 0);
        QCOMPARE(f.combo("ComboBox3")->count(), 0);

        Fixture::choose(f.combo("ComboBox2"), 0);
        QCOMPARE(Fixture::entries(f.combo("ComboBox3")),
                 (QStringList{"All Web Site Data=11112222", "Blog only=11112223"}));
        QCOMPARE(f.combo("ComboBox3")->currentIndex(), 0);
        QCOMPARE(f.app->analytics()->selectedView(), std::optional<qint64>(11112222));

        // The Cyrillic account, its ids past 32 bits; the old views go.
        Fixture::choose(f.combo("ComboBox1"), 1);
        QCOMPARE(Fixture::entries(f.combo("ComboBox2")), (QStringList{QStringLiteral("пример.рф=4294967296")}));
        QCOMPARE(f.combo("ComboBox3")->count(), 0);
        Fixture::choose(f.combo("ComboBox2"), 0);
        QCOMPARE(Fixture::entries(f.combo("ComboBox3")),
                 (QStringList{QStringLiteral("Все данные по сайту=4294967297")}));

        const auto sent = f.sim.requestsTo(SummaryPath);
        QCOMPARE(sent.size(), size_t(5));
        for (const auto &r : sent) {
            QCOMPARE(r.target, SummaryPath);
            QCOMPARE(r.header("Authorization"), std::string("OAuth ") + AcceptedToken);
        }
        QVERIFY(f.prompt.texts.isEmpty());
    }

    void connectAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("message");
        QTest::newRow("no accounts") << "empty"
                                     << "Connected (projects: 0)" << true << QString();
        QTest::newRow("403") << "403"
                             << "Connect to Account" << false
                             << "Google Analytics Error - Code: 403, Request had insufficient authentication scopes.";
        QTest::newRow("revoked token")
            << "401"
            << "Connect to Account" << false
            << "Google Analytics Error - Code: 401, Request had invalid authentication credentials. Expected OAuth 2 "
               "access token, login cookie or other valid authentication credential. See "
               "https://developers.google.com/identity/sign-in/web/devconsole-project.";
        QTest::newRow("no answer") << "dropped"
                                   << "Connect to Account" << false
                                   << "Google Analytics gave no usable answer (HTTP status 500, no answer received). "
                                      "Please check the connection and the account, then try again.";
    }
    void connectAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(QString, caption);
        QFETCH(bool, connected);
        QFETCH(QString, message);
        Fixture f;
        if (answer == QLatin1String("empty")) {
            f.module.setAccounts(UserId, {});
        } else if (answer == QLatin1String("403")) {
            f.tokens->add(AcceptedToken, {"google", "", "https://www.googleapis.com/auth/webmasters.readonly", UserId});
        } else if (answer == QLatin1String("401")) {
            f.tokens->remove(AcceptedToken);
        } else {
            sim::Response dropped;
            dropped.fault = sim::Fault::CloseWithoutAnswer;
            f.sim.setResponse("GET", SummaryPath, dropped);
            f.sim.setResponse("GET", Ga4SummaryPath, dropped);
        }

        f.button("Button18")->click();

        QCOMPARE(f.combo("ComboBox1")->count(), 0);
        QCOMPARE(f.button("Button18")->text(), caption);
        QCOMPARE(f.button("Button18")->isEnabled(), !connected);
        QCOMPARE(f.run().flags().apiConnected, connected);
        QCOMPARE(f.prompt.texts, message.isEmpty() ? QStringList() : QStringList{message});
        if (message.startsWith(QLatin1String("Google Analytics Error")))
            QCOMPARE(f.log().last(), message);
    }

    // Each step reads the token selected at that moment; a double-click on
    // a token connects again.
    void otherTokenSelectedWithoutConnecting()
    {
        Fixture f(false, true);
        auto *tokens = f.find<QListWidget>("ListBox4");
        QCOMPARE(tokens->count(), 2);
        tokens->setCurrentRow(0);
        f.button("Button18")->click();
        QCOMPARE(f.combo("ComboBox1")->count(), 2);

        tokens->setCurrentRow(1);
        Fixture::choose(f.combo("ComboBox1"), 0);
        QCOMPARE(f.sim.requestsTo(SummaryPath).back().header("Authorization"), std::string("OAuth ") + OtherUserToken);
        QCOMPARE(f.combo("ComboBox2")->count(), 0);
        QVERIFY(f.prompt.texts.isEmpty());

        tokens->setCurrentRow(0);
        f.showSettings(3);
        doubleClick(tokens->viewport(), tokens->visualItemRect(tokens->item(0)).center());
        QCOMPARE(f.sim.requestsTo(SummaryPath).size(), size_t(3));
        QCOMPARE(f.combo("ComboBox1")->count(), 2);
    }

    // A refusal on a change is told like one on connect; the lists below
    // the account shown are empty, never another account's.
    void refusalOnAChange()
    {
        Fixture f;
        f.chooseView();
        QCOMPARE(f.combo("ComboBox3")->count(), 2);
        f.tokens->add(AcceptedToken, {"google", "", "https://www.googleapis.com/auth/webmasters.readonly", UserId});
        Fixture::choose(f.combo("ComboBox1"), 1);
        const QString line =
            QStringLiteral("Google Analytics Error - Code: 403, Request had insufficient authentication scopes.");
        QCOMPARE(f.prompt.texts, QStringList{line});
        QCOMPARE(f.log().last(), line);
        QCOMPARE(f.combo("ComboBox2")->count(), 0);
        QCOMPARE(f.combo("ComboBox3")->count(), 0);
    }

    // Universal Analytics refused alone (Google has switched it off) is a
    // log line; the GA4 properties are listed beside the v3 ones, marked,
    // without views, and "Check GA" reports on the one chosen.
    void ga4PropertyBesideV3()
    {
        Fixture f;
        sim::Ga4Accounts::Property shop;
        shop.id = "312345678";
        shop.name = "example.com";
        sim::Ga4Accounts::PageTotals home;
        home.users = 80;
        home.pageviews = 90;
        home.sessions = 60;
        home.avgSessionDuration = 125;
        home.bounceRate = 45.4545;
        shop.pages = {{"/", home}};
        f.ga4->setAccounts(UserId, {{"1001", "Example Furniture", {shop}}, {"250000001", "GA4 only", {}}});

        f.button("Button18")->click();
        QCOMPARE(Fixture::entries(f.combo("ComboBox1")),
                 (QStringList{"Example Furniture=1001", QStringLiteral("Мебель «Уют»=3000000001"), "GA4 only=250000001"}));
        Fixture::choose(f.combo("ComboBox1"), 0);
        QCOMPARE(Fixture::entries(f.combo("ComboBox2")),
                 (QStringList{"example.com=2001", "Staging=2002", "example.com (GA4)=312345678"}));
        Fixture::choose(f.combo("ComboBox2"), 0);
        QCOMPARE(f.combo("ComboBox3")->count(), 2);
        QVERIFY(f.combo("ComboBox3")->isEnabled());
        const size_t summaries = f.sim.requestsTo(Ga4SummaryPath).size();

        Fixture::choose(f.combo("ComboBox2"), 2);
        QCOMPARE(f.combo("ComboBox3")->count(), 0);
        QVERIFY(!f.combo("ComboBox3")->isEnabled());
        QVERIFY(f.app->analytics()->ga4PropertySelected());
        QCOMPARE(f.sim.requestsTo(Ga4SummaryPath).size(), summaries); // nothing to load for it

        f.paste({"https://example.com/", "https://example.com/never-seen"});
        f.checkUrl();
        QVERIFY2(f.prompt.texts.isEmpty(), qPrintable(f.prompt.texts.join('\n')));
        QCOMPARE(f.report().rowTexts(0).mid(1), (QStringList{"80", "90", "60", "0:2:5", "1.5", "45.5"}));
        QCOMPARE(f.report().rowTexts(1).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
        QCOMPARE(f.sim.requestsTo(Ga4ReportPath).size(), size_t(2));
        QCOMPARE(f.sim.requestsTo(Ga4ReportPath).front().header("Authorization"),
                 std::string("Bearer ") + AcceptedToken);
        QCOMPARE(f.sim.requestsTo(DataPath).size(), size_t(0));
        QCOMPARE(f.log().filter(QStringLiteral("quota left")).size(), 1);

        // Back on a v3 property, its views are there again.
        Fixture::choose(f.combo("ComboBox2"), 0);
        QVERIFY(f.combo("ComboBox3")->isEnabled());
        QCOMPARE(f.combo("ComboBox3")->count(), 2);

        // v3 switched off: one log line, the GA4 accounts still listed.
        f.sim.setResponse("GET", SummaryPath,
                          sim::Response::text("<!DOCTYPE html><title>Error 404 (Not Found)!!1</title>", 404,
                                              "text/html; charset=UTF-8"));
        f.find<QListWidget>("ListBox4")->setCurrentRow(0);
        f.app->analytics()->connectAccount();
        QVERIFY(f.prompt.texts.isEmpty());
        QCOMPARE(Fixture::entries(f.combo("ComboBox1")), (QStringList{"Example Furniture=1001", "GA4 only=250000001"}));
        QCOMPARE(f.log().filter(QStringLiteral("Google Analytics (Universal Analytics) - ")).size(), 1);
    }

    // "Check URL" asks which check; the whole-site one fills the same cells
    // as "Check GA" from one request by page path, with the same pie.
    void wholeSiteCheckFromTheMenu()
    {
        Fixture f;
        f.chooseView();
        f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
        f.paste({"https://www.example.com/blog/post?p=2", "HTTP://WWW.EXAMPLE.COM/A", "https://example.com",
                 "https://example.com/nothing-here"});
        f.runCheckFromMenu(QStringLiteral("Check GA (whole site)"));

        QCOMPARE(f.report().rowTexts(0).mid(1), (QStringList{"120", "340", "150", "0:2:5", "3.0", "45.5"}));
        QCOMPARE(f.report().rowTexts(1).mid(1), (QStringList{"3", "6", "7", "0:59:59", "1.0", "10.0"}));
        QCOMPARE(f.report().rowTexts(2).mid(1), (QStringList{"8", "9", "10", "1:0:0", "1.3", "50.0"}));
        QCOMPARE(f.report().rowTexts(3).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
        QCOMPARE(f.pieLabels(), (QStringList{"Traffic pages (50%)", "Pages without traffic (50%)"}));
        QVERIFY(f.prompt.texts.isEmpty());
        const auto sent = f.sim.requestsTo(DataPath);
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].queryParam("dimensions"), std::string("ga:pagePath"));
        // The menu showed none of the Search Console tab's checks.
        const auto *menu = f.find<QMenu>("PopupMenu1");
        QStringList shown;
        for (QAction *action : menu->actions()) {
            if (action->isVisible())
                shown << action->text();
        }
        QCOMPARE(shown, (QStringList{"Check GA", "Check GA (whole site)"})); // the page-by-page check first
    }

    void checkNeedsAView()
    {
        Fixture f;
        f.button("Button18")->click();
        Fixture::choose(f.combo("ComboBox1"), 0);
        Fixture::choose(f.combo("ComboBox2"), 1); // "Staging": no views
        QCOMPARE(f.combo("ComboBox3")->count(), 0);
        f.paste({"https://example.com/"});
        f.checkUrl();
        QCOMPARE(f.prompt.texts, QStringList{SelectView});
        QCOMPARE(f.sim.requestsTo(DataPath).size(), size_t(0));
        QCOMPARE(f.report().rowTexts(0).mid(1), QStringList(6, QString()));
    }

    // The request as the service decodes it and the six cells, for an answer
    // in request order and for one shuffled into lower case.
    void checkFillsTheReport_data()
    {
        QTest::addColumn<bool>("shuffled");
        QTest::newRow("request order") << false;
        QTest::newRow("shuffled lower case") << true;
    }
    void checkFillsTheReport()
    {
        QFETCH(bool, shuffled);
        Fixture f;
        f.module.setShuffledColumns(shuffled);
        f.chooseView();
        f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
        f.paste({"https://www.example.com/blog/post?p=2", "HTTP://WWW.EXAMPLE.COM/A", "https://example.com",
                 "https://example.com/nothing-here"});

        f.checkUrl();

        QCOMPARE(f.report().rowTexts(0).mid(1), (QStringList{"120", "340", "150", "0:2:5", "3.0", "45.5"}));
        QCOMPARE(f.report().rowTexts(1).mid(1), (QStringList{"3", "6", "7", "0:59:59", "1.0", "10.0"}));
        QCOMPARE(f.report().rowTexts(2).mid(1), (QStringList{"8", "9", "10", "1:0:0", "1.3", "50.0"}));
        QCOMPARE(f.report().rowTexts(3).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
        const QModelIndex bounce = f.report().index(0, 6);
        QCOMPARE(f.report().data(bounce, ReportTable::PercentFractionRole).toDouble(), 0.455);
        QCOMPARE(f.log().last(), QStringLiteral("Check finished"));
        QVERIFY(f.run().flags().reportDataReady);
        QCOMPARE(f.pieLabels(), (QStringList{"Traffic pages (50%)", "Pages without traffic (50%)"}));
        QVERIFY(f.prompt.texts.isEmpty());

        const auto sent = f.sim.requestsTo(DataPath);
        QCOMPARE(sent.size(), size_t(4));
        QCOMPARE(sent[0].queryParam("ids"), std::string("ga:11112222"));
        QCOMPARE(sent[0].queryParam("start-date"), std::string("2024-03-01"));
        QCOMPARE(sent[0].queryParam("end-date"), std::string("2024-03-31"));
        QCOMPARE(sent[0].queryParam("metrics"), std::string("ga:users,ga:pageViews,ga:sessions,ga:avgsessionDuration,"
                                                            "ga:bounceRate,ga:pageviewsPerSession"));
        QCOMPARE(sent[0].queryParam("max-results"), std::string("50"));
        QCOMPARE(sent[0].header("Authorization"), std::string("OAuth ") + AcceptedToken);
        QStringList filters;
        for (const auto &r : sent)
            filters << QString::fromStdString(r.queryParam("filters"));
        QCOMPARE(filters, (QStringList{"ga:pagePath==/blog/post?p=2", "ga:pagePath==/A", "ga:pagePath==/",
                                       "ga:pagePath==/nothing-here"}));
    }

    void escapedPathReachesTheService()
    {
        Fixture f;
        f.chooseView();
        f.paste({QStringLiteral("https://example.com/a,b;c"), QStringLiteral("https://example.com/к?x=1&y=a+b#f")});
        f.checkUrl();
        const auto sent = f.sim.requestsTo(DataPath);
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0].queryParam("filters"), std::string("ga:pagePath==/a\\,b\\;c"));
        QCOMPARE(QString::fromStdString(sent[1].queryParam("filters")), QStringLiteral("ga:pagePath==/к?x=1&y=a+b#f"));
    }

    // Row 2 of 3 refused with 400: logged with its place, emptied, the run
    // goes on.
    void refusedRowIsEmptiedAndTheRunGoesOn()
    {
        Fixture f;
        f.chooseView();
        f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
        f.paste({"https://example.com/A", "https://example.com/refused", "https://example.com/"});
        f.report().setRowCells(1, QStringList(6, QStringLiteral("old")));
        f.sim.queueResponse(
            "GET", f.targetOf(QStringLiteral("/refused")),
            sim::Response::json(
                R"({"error":{"errors":[{"domain":"global","reason":"invalidParameter","message":"Invalid value"}],)"
                R"("code":400,"message":"Invalid value"}})",
                400));

        f.checkUrl();

        const QStringList log = f.log();
        QVERIFY2(log.contains(QStringLiteral("Google Analytics Error - Code: 400, Invalid value (2/3)")),
                 qPrintable(log.join('\n')));
        QCOMPARE(f.report().rowTexts(0).mid(1), (QStringList{"3", "6", "7", "0:59:59", "1.0", "10.0"}));
        QCOMPARE(f.report().rowTexts(1).mid(1), QStringList(6, QString()));
        QCOMPARE(f.report().rowTexts(2).mid(1), (QStringList{"8", "9", "10", "1:0:0", "1.3", "50.0"}));
        QCOMPARE(log.last(), QStringLiteral("Check finished"));
        QVERIFY(f.prompt.texts.isEmpty());
    }

    // A refused token ends the run at the first row: the message, no cell
    // changed, no "Check finished".
    void refusedTokenEndsTheCheck()
    {
        Fixture f;
        f.chooseView();
        f.paste({"https://example.com/A", "https://example.com/"});
        f.report().setRowCells(0, {"1", "2", "3", "0:0:4", "5.0", "6.0"});
        f.tokens->remove(AcceptedToken);

        f.checkUrl();

        QCOMPARE(f.prompt.texts.size(), 1);
        QVERIFY2(f.prompt.texts[0].startsWith(
                     QStringLiteral("Google Analytics Error - Code: 401, Request had invalid authentication")),
                 qPrintable(f.prompt.texts[0]));
        QCOMPARE(f.report().rowTexts(0).mid(1), (QStringList{"1", "2", "3", "0:0:4", "5.0", "6.0"}));
        QCOMPARE(f.report().rowTexts(1).mid(1), QStringList(6, QString()));
        QVERIFY(!f.log().contains(QStringLiteral("Check finished")));
        QCOMPARE(f.sim.requestsTo(DataPath).size(), size_t(1));
    }

    // The days are read once, as the run starts.
    void periodChangedDuringTheRun()
    {
        Fixture f(true);
        f.chooseView();
        f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
        f.paste({"https://example.com/A", "https://example.com/", "https://example.com/blog/post?p=2"});
        const int before = f.pump.calls;
        f.pump.onCall = [&](int call) {
            if (call == before + 1) {
                f.find<QDateEdit>("DateTimePicker1")->setDate(QDate(2023, 1, 1));
                f.find<QDateEdit>("DateTimePicker2")->setDate(QDate(2023, 1, 31));
            }
        };
        f.checkUrl();
        const auto sent = f.sim.requestsTo(DataPath);
        QCOMPARE(sent.size(), size_t(3));
        for (const auto &r : sent) {
            QCOMPARE(r.queryParam("start-date"), std::string("2024-03-01"));
            QCOMPARE(r.queryParam("end-date"), std::string("2024-03-31"));
        }
        QCOMPARE(f.find<QDateEdit>("DateTimePicker1")->date(), QDate(2023, 1, 1));
    }

    // The report filters by path alone, so a page of another site would get
    // the figures of this site's page with the same path: only the pages of
    // the view's website are sent, the others stay empty.
    void checkSendsOnlyTheViewsSite_data()
    {
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<QList<bool>>("sent"); // per row

        QTest::newRow("mixed") << QStringList{"https://example.com/A", "https://shop.example.org/A",
                                              "http://www.example.com/"}
                               << QList<bool>{true, false, true};
        QTest::newRow("none of the site")
            << QStringList{"https://shop.example.org/", "https://staging.example.com/"} << QList<bool>{false, false};
    }
    void checkSendsOnlyTheViewsSite()
    {
        QFETCH(QStringList, urls);
        QFETCH(QList<bool>, sent);
        Fixture f;
        f.chooseView();
        f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
        f.paste(urls);
        QCOMPARE(f.report().rowCount(), int(urls.size()));

        f.checkUrl();

        const int sentRows = int(sent.count(true));
        QCOMPARE(int(f.sim.requestsTo(DataPath).size()), sentRows);
        const QStringList log = f.log();
        const QStringList run = log.mid(log.lastIndexOf(QStringLiteral("Check started")));
        if (sentRows == 0) {
            QCOMPARE(f.prompt.texts.size(), 1);
            QVERIFY2(f.prompt.texts[0].contains(QStringLiteral("https://example.com")), qPrintable(f.prompt.texts[0]));
            QVERIFY(!run.contains(QStringLiteral("Check finished")));
        } else {
            QVERIFY(f.prompt.texts.isEmpty());
            QCOMPARE(run.filter(QStringLiteral("rows are not on")),
                     QStringList{QStringLiteral("%1 of %2 rows are not on https://example.com and were not checked")
                                     .arg(urls.size() - sentRows)
                                     .arg(urls.size())});
        }
        for (int row = 0; row < urls.size(); ++row)
            QCOMPARE(f.report().rowTexts(row).mid(1) == QStringList(6, QString()), !sent[row]);
    }

    // The days are checked before any request: a period turned round is a
    // message; a last day after today is sent (Analytics answers it).
    void periodIsCheckedBeforeAnyRequest_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("message");

        QTest::newRow("turned round") << QDate(2024, 3, 20) << QDate(2024, 3, 1)
                                      << QStringLiteral("The period's first day (2024-03-20) is after its last day "
                                                        "(2024-03-01). Choose the period again on the Google "
                                                        "Analytics tab.");
        QTest::newRow("past today") << QDate(2024, 3, 20) << QDate(2024, 4, 10) << QString();
    }
    void periodIsCheckedBeforeAnyRequest()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, message);
        Fixture f;
        f.chooseView();
        f.paste({"https://example.com/A"});
        f.customPeriod(from, to);

        f.checkUrl();

        if (message.isEmpty()) {
            QCOMPARE(f.sim.requestsTo(DataPath).size(), size_t(1));
            return;
        }
        QCOMPARE(f.prompt.texts, QStringList{message});
        QCOMPARE(f.sim.requestsTo(DataPath).size(), size_t(0));
        QCOMPARE(f.report().rowTexts(0).mid(1), QStringList(6, QString()));
    }

    // The line above the report names the view with its site and the
    // period, and follows the lists and the days.
    void targetLineNamesViewAndPeriod()
    {
        Fixture f;
        auto *line = f.find<QLabel>("lbCheckTarget4");
        QVERIFY(line);
        QCOMPARE(line->text(), QStringLiteral("Account token_1: choose a view on Settings > Google Analytics"));
        f.chooseView();
        f.customPeriod(QDate(2024, 3, 1), QDate(2024, 3, 31));
        QCOMPARE(line->text(), QStringLiteral("Checks view Example Furniture / example.com / All Web Site Data "
                                              "(https://example.com) with account token_1, over 2024-03-01 to "
                                              "2024-03-31"));
        Fixture::choose(f.combo("ComboBox2"), 1); // "Staging": no views
        QCOMPARE(line->text(), QStringLiteral("Account token_1: choose a view on Settings > Google Analytics"));
    }
};

QTEST_MAIN(TestAnalyticsGui)
#include "tst_analytics_gui.moc"
