// Yandex Webmaster in the real main window, headless, against the in-process
// simulator over real sockets: connecting an account lists its sites, "Check
// URL" marks the pasted pages, "Get All Keywords" fills the "YWM Keywords"
// window with its export and history chart, and a sign-in from "Add" through
// the service's redirect ends in a connected site list.

#include "app/BusyState.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/ReportingPeriod.h"
#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "app/ServiceAccounts.h"
#include "auth/SettingsFile.h"
#include "net/RequestTrace.h"
#include "reports/ChartScale.h"
#include "reports/ReportTable.h"
#include "support/GuiTestSupport.h"
#include "support/MainWindowHarness.h"
#include "ui/accounts/AccountsController.h"
#include "ui/accounts/TokenListGroup.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/reports/ReportPages.h"
#include "ui/reports/ReportsController.h"
#include "ui/reports/StatsChartView.h"
#include "ui/services/ServiceContext.h"
#include "ui/services/yandex_webmaster/YandexWebmasterController.h"
#include "ui/services/yandex_webmaster/YandexWebmasterKeywordsWindow.h"
#include "ui/services/yandex_webmaster/YandexWebmasterSettingsTab.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"
#include "ui/widgets/AreaChartView.h"

#include "SimServer.h"
#include "services/DemoAccounts.h"
#include "services/TokenRegistry.h"
#include "services/YandexOAuthModule.h"
#include "services/YandexWebmasterModule.h"
#include "support/LoopbackTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
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
#include <QUrl>
#include <QValueAxis>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

using namespace veltrano;
using namespace veltrano::testing;
using Module = sim::YandexWebmasterModule;

namespace {

using veltrano::testing::freePort;

constexpr long long UserId = sim::demo::kYandexUserId;
const char *const AcceptedToken = "y0_ywm_gui_test_token";
const QString ShopHost = QStringLiteral("https:shop.example:443");
const QString SelectToken = QStringLiteral("Please select Token from list to connect");
const QString SelectSite = QStringLiteral("Please select Website from Poject list");

// Save-dialog answers given in advance; an empty answer is a cancelled dialog.

struct BrowserAnswer {
    int status = 0; // 0: no answer
    QString location;
};

// One GET the way a browser sends it, over a plain loopback socket, without
// following a redirect.
BrowserAnswer browserGet(const QUrl &url)
{
    BrowserAnswer answer;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(url.port(80)));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return answer;
    }
    const QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    const QByteArray request =
        "GET " + target + " HTTP/1.1\r\nHost: " + url.authority().toUtf8() + "\r\nConnection: close\r\n\r\n";
    ::send(fd, request.data(), size_t(request.size()), MSG_NOSIGNAL);
    QByteArray data;
    char buffer[4096];
    ssize_t n;
    while (!data.contains("\r\n\r\n") && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        data.append(buffer, qsizetype(n));
    ::close(fd);
    if (!data.startsWith("HTTP/1.") || !data.contains("\r\n\r\n"))
        return answer;
    answer.status = data.mid(9, 3).toInt();
    for (const QByteArray &line : data.left(data.indexOf("\r\n\r\n")).split('\n')) {
        if (line.toLower().startsWith("location:"))
            answer.location = QString::fromUtf8(line.mid(9).trimmed());
    }
    return answer;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The points lie on the curve, in order, among the samples between them.
bool passesThrough(const QList<QPointF> &curve, const QList<QPointF> &points)
{
    qsizetype at = 0;
    for (const QPointF &point : points) {
        while (at < curve.size() && curve[at] != point)
            ++at;
        if (at == curve.size())
            return false;
        ++at;
    }
    return true;
}

Module::Query query(const char *id, const char *text, double shows, double clicks, double showPosition,
                    std::optional<double> clickPosition)
{
    Module::Query q;
    q.id = id;
    q.text = text;
    q.totalShows = shows;
    q.totalClicks = clicks;
    q.avgShowPosition = showPosition;
    q.avgClickPosition = clickPosition;
    return q;
}

// The account of the tests: three verified sites out of order, one
// unverified; the shop has 250 pages in search and three popular queries.
std::vector<Module::Site> accountSites()
{
    Module::Site shop =
        Module::generatedSite(ShopHost.toStdString(), "https://shop.example/", "https://shop.example/", 250, 0);
    shop.pages[7].title = "Диваны и кресла";
    shop.queries = {query("q2", "sofa; \"best\" price", 500, 0, 12.5, std::nullopt),
                    query("q1", "диван угловой", 1234, 56, 3.456, 7.891), query("q3", "кресло", 20, 3, 1, 2)};
    Module::Site zeta =
        Module::generatedSite("https:zeta.example:443", "https://zeta.example/", "https://zeta.example/", 0, 0);
    Module::Site beta =
        Module::generatedSite("https:beta.example:443", "https://beta.example/", "https://beta.example/", 3, 0);
    beta.verified = false;
    Module::Site cyrillic = Module::generatedSite("https:xn--e1afmkfd.xn--p1ai:443", "https://xn--e1afmkfd.xn--p1ai/",
                                                  "https://пример.рф/", 2, 0);
    return {zeta, beta, shop, cyrillic};
}

} // namespace

class TestYandexWebmasterGui : public QObject {
    Q_OBJECT

    // The window on a settings folder of its own, every Yandex address at the
    // in-process simulator; the account's token is stored as "token_1".
    struct Fixture : testing::MainWindowHarness {
        sim::SimServer sim;
        std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
        sim::YandexOAuthModule oauth{tokens};
        Module webmaster{tokens};
        quint16 listenerPort = 0;

        explicit Fixture(const QString &storedToken = QString::fromLatin1(AcceptedToken), quint16 port = 0)
            : listenerPort(port)
        {
            oauth.install(sim, oauth.defaultPrefix());
            webmaster.install(sim, webmaster.defaultPrefix());
            webmaster.acceptToken(AcceptedToken, UserId);
            webmaster.setSites(UserId, accountSites());
            sim.start();
            if (!storedToken.isNull()) {
                SettingsFile(SettingsFile::pathIn(folder()))
                    .writeString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_1"), storedToken);
            }
            Endpoints endpoints = simulatorEndpoints(QString::fromStdString(sim.baseUrl()), listenerPort);
            open(endpoints);
        }
        QTreeWidget *sites() const { return find<QTreeWidget>("ListView1"); }
        QListWidget *tokenList() const { return find<QListWidget>("ListBox1"); }
        YandexWebmasterKeywordsWindow *keywords() const { return app->yandexKeywordsWindow(); }
        ReportTable &report() const { return *app->reports().table(0); }

        QList<QStringList> siteRows() const { return treeRows(sites()); }
        void connectAccount() const
        {
            button("Button6")->click();
            QCOMPARE(sites()->topLevelItemCount(), 3);
        }
        // The Yandex Webmaster tab of the Settings page on screen.
        void showSettings() const { MainWindowHarness::showSettings(0); }
        void doubleClickToken() const
        {
            showSettings();
            QListWidget *tokens = tokenList();
            doubleClick(tokens->viewport(), tokens->visualItemRect(tokens->item(0)).center());
        }
        void selectSite(const QString &hostId) const
        {
            for (int i = 0; i < sites()->topLevelItemCount(); ++i) {
                if (sites()->topLevelItem(i)->text(1) == hostId)
                    sites()->setCurrentItem(sites()->topLevelItem(i));
            }
        }
        int requestsEndingWith(const std::string &tail) const
        {
            int n = 0;
            for (const auto &r : sim.requests())
                n += r.path.ends_with(tail) ? 1 : 0;
            return n;
        }
        std::string apiPath(const QString &command) const
        {
            return "/yandex-webmaster/v4/user/" + std::to_string(UserId) + "/" + command.toStdString();
        }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void connectListsVerifiedSitesSorted();
    void connectFailureLeavesEverythingAsItWas_data();
    void connectFailureLeavesEverythingAsItWas();
    void reconnectByDoubleClickReplacesTheSites();
    void doubleClickOnSitesShowsTheReport();

    void checkUrlMarksPastedPages();
    void checkNeedsSiteAndAccount_data();
    void checkNeedsSiteAndAccount();
    void rowsOfAnotherSiteAreNotChecked_data();
    void rowsOfAnotherSiteAreNotChecked();
    void targetLineFollowsAccountAndSite();

    void keywordsWindowListsAndExportsQueries();
    void keywordsNeedAccountAndSite_data();
    void keywordsNeedAccountAndSite();
    void siteWithoutQueriesOpensAnEmptyWindow();
    void historyChart_data();
    void historyChart();

    void signInThroughTheServiceThenConnect();

    void cancelAbandonsARequestTheServerNeverAnswers();
    void accountActionsWaitWhileACheckRuns();
    void deleteTheFileRefusesKeepsTheEntry();
    void enterClicksTheFocusedButton();
    void doubleClickBesideTheEntriesConnects();
    void controllerWorksWithoutAMainWindow();
};

// ---------------------------------------------------------------------------
// Requests in flight, the busy program and the accounts

// "Cancel" while the service keeps a page request unanswered: the request
// is abandoned at once (the product waits 90 s for an answer), the check
// writes its cancel line, no cell changes and no error box appears.
void TestYandexWebmasterGui::cancelAbandonsARequestTheServerNeverAnswers()
{
    Fixture f;
    f.connectAccount();
    f.selectSite(ShopHost);
    f.clipboard.value = QStringLiteral("https://shop.example/");
    f.button("btInsertURLs4Clip")->click();
    sim::Response silent = sim::Response::json("{}");
    silent.fault = sim::Fault::NeverAnswer;
    f.sim.setResponse("GET",
                      f.apiPath(QStringLiteral("hosts/") + ShopHost +
                                QStringLiteral("/search-urls/in-search/samples?offset=0&limit=100")),
                      silent);

    // The click comes while the page request waits (once the answer before
    // it is in), as a user's would, however slow the machine is.
    QPushButton *cancel = f.button("btAbortRequests");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, cancel, [&] {
        const QStringList lines = f.log();
        const qsizetype started = lines.indexOf(QStringLiteral("Check started"));
        if (started >= 0 && lines.mid(started).contains(QStringLiteral("Yandex Webmaster - HTTP Code: 200 OK"))) {
            watch.stop();
            QTimer::singleShot(50, cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });
        }
    });
    watch.start(5);
    f.button("btRunRequests")->click();

    const QStringList log = f.log();
    QCOMPARE(log.mid(log.indexOf(QStringLiteral("Check started"))),
             (QStringList{"Check started", "Yandex Webmaster - HTTP Code: 200 OK", "Cancel check...",
                          "Check cancelled...", "Check finished"}));
    QVERIFY(f.prompt.texts.isEmpty());
    QCOMPARE(f.report().rowTexts(0), (QStringList{"https://shop.example/", "", ""}));
    QVERIFY(!f.app->reports().runControl().isRunning());

    // The next run asks the service again, and goes through.
    f.sim.clearScenario();
    f.button("btRunRequests")->click();
    QCOMPARE(f.report().rowTexts(0).at(1), QStringLiteral("Yes"));
}

// While a check runs, nothing that starts a request or changes the accounts
// goes ahead: each is refused with a line in the log, and the list and the
// file stay as they were.
void TestYandexWebmasterGui::accountActionsWaitWhileACheckRuns()
{
    Fixture f;
    f.connectAccount();
    f.selectSite(ShopHost);
    RunControl &run = f.app->reports().runControl();
    run.clearChecks(0);
    run.registerCheck(0, QStringLiteral("Test check"), [&](CheckContext &) {
        for (const char *name : {"Button3", "Button5", "Button6", "Button34"})
            f.button(name)->click();
        f.doubleClickToken();
    });
    f.button("Button6")->setEnabled(true);
    const int requestsBefore = int(f.sim.requests().size());
    f.button("btRunRequests")->click();

    QCOMPARE(f.log().count(BusyState::refusedLine()), 5);
    QCOMPARE(int(f.sim.requests().size()), requestsBefore);
    QVERIFY(f.browser.opened.isEmpty());
    QCOMPARE(f.tokenList()->count(), 1);
    QCOMPARE(SettingsFile(SettingsFile::pathIn(f.folder())).keys(QStringLiteral("YandexWM_Token")),
             QStringList{"token_1"});
    QVERIFY(f.prompt.texts.isEmpty());
}

// A delete the settings file refuses says so, and the entry stays in the
// list as it stays in the file.
void TestYandexWebmasterGui::deleteTheFileRefusesKeepsTheEntry()
{
    Fixture f;
    const QString path = SettingsFile::pathIn(f.folder());
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir(f.folder()).mkdir(QStringLiteral("Veltrano.ini"))); // nothing can be written there now
    f.tokenList()->setCurrentRow(0);
    f.button("Button5")->click();
    QCOMPARE(f.prompt.texts.size(), 1);
    QVERIFY2(f.prompt.texts[0].startsWith(QStringLiteral("Unable to write to")), qPrintable(f.prompt.texts[0]));
    QCOMPARE(f.tokenList()->count(), 1);
    QVERIFY(QDir(f.folder()).rmdir(QStringLiteral("Veltrano.ini")));
}

// Enter on a focused push button clicks that button; anywhere else it is
// "Check URL".
void TestYandexWebmasterGui::enterClicksTheFocusedButton()
{
    Fixture f;
    f.showSettings();
    QApplication::setActiveWindow(f.window);
    f.button("Button6")->setFocus();
    QTest::keyClick(f.button("Button6"), Qt::Key_Return);
    QCOMPARE(f.sites()->topLevelItemCount(), 3);
    QVERIFY(!f.log().contains(QStringLiteral("Check started")));

    f.find<QTabWidget>("pcPages")->setCurrentIndex(0);
    f.window->reportView(0)->setFocus();
    QTest::keyClick(f.window->reportView(0), Qt::Key_Return);
    // "Check URL" ran: without a chosen site it asks for one.
    QCOMPARE(f.prompt.texts.value(0), QStringLiteral("Please select Website from Poject list"));
}

// A double-click on the token list beside its entries connects the
// selected one.
void TestYandexWebmasterGui::doubleClickBesideTheEntriesConnects()
{
    Fixture f;
    f.showSettings();
    QListWidget *tokens = f.tokenList();
    tokens->setCurrentRow(0);
    const QRect entry = tokens->visualItemRect(tokens->item(0));
    doubleClick(tokens->viewport(), QPoint(entry.center().x(), entry.bottom() + 3 * entry.height()));
    QCOMPARE(f.sites()->topLevelItemCount(), 3);

    // With nothing selected a double-click there does nothing.
    f.sites()->clear();
    tokens->clearSelection();
    doubleClick(tokens->viewport(), QPoint(entry.center().x(), entry.bottom() + 3 * entry.height()));
    QCOMPARE(f.sites()->topLevelItemCount(), 0);
    QVERIFY(f.prompt.texts.isEmpty());
}

namespace {

// The accounts and the report tables of a program without a main window.
struct FakeAccounts final : ServiceAccounts {
    QString alias;
    QString token;
    std::function<void()> connect;
    QString selectedAlias(ServiceId) const override { return alias; }
    QString selectedToken(ServiceId) const override { return token; }
    void setConnectOperation(ServiceId, std::function<void()> operation) override { connect = std::move(operation); }
};

struct FakePages final : ReportPages {
    mutable ReportTable report{ServiceId::YandexWebmaster};
    int shown = 0;
    ReportTable *table(ServiceId) const override { return &report; }
    void showReport(ServiceId) override { ++shown; }
};

struct PlainPump final : EventPump {
    void processPendingEvents() override {}
    void keepPainting() override {}
};

} // namespace

// A service's controller needs only its context, its tab and its window.
void TestYandexWebmasterGui::controllerWorksWithoutAMainWindow()
{
    Fixture f(QString(), 0); // only for its simulator
    ActivityLog log;
    RequestTrace trace;
    RecordingPrompt prompt;
    PlainPump pump;
    ScriptedDialogs dialogs;
    FakeAccounts accounts;
    accounts.alias = QStringLiteral("token_1");
    accounts.token = QString::fromLatin1(AcceptedToken);
    FakePages pages;
    RecordingProgress progress;
    RunControl run(log, pump, prompt, progress);
    run.setTable(0, &pages.report);
    BusyState busy;
    const Endpoints endpoints = simulatorEndpoints(QString::fromStdString(f.sim.baseUrl()), 0);
    ReportingPeriods periods;
    YandexWebmasterSettingsTab tab;
    YandexWebmasterKeywordsWindow keywords;
    YandexWebmasterController controller(
        ServiceContext{log, trace, prompt, pump, dialogs, endpoints, f.folder(), accounts, run, pages, busy, periods},
        tab, keywords);

    QVERIFY(accounts.connect);
    accounts.connect();
    QCOMPARE(tab.sites()->topLevelItemCount(), 3);
    QCOMPARE(tab.tokens()->connectButton()->text(), QStringLiteral("Connected (projects: 3)"));
    QVERIFY(run.flags().apiConnected);
    QCOMPARE(run.checkNames(0), QStringList{"Get URLs YWM"});

    pages.report.appendRows({QStringLiteral("https://shop.example/")});
    tab.sites()->setCurrentItem(tab.sites()->topLevelItem(0));
    run.checkUrl(0);
    QCOMPARE(pages.report.rowTexts(0).at(1), QStringLiteral("Yes"));
    QVERIFY(prompt.texts.isEmpty());
}

// ---------------------------------------------------------------------------
// Site connection

void TestYandexWebmasterGui::connectListsVerifiedSitesSorted()
{
    Fixture f;
    QVERIFY(!f.button("btRunRequests")->isEnabled());
    QVERIFY(!f.button("Button34")->isEnabled());

    f.button("Button6")->click();

    QCOMPARE(f.siteRows(), (QList<QStringList>{{"https://shop.example/", "https:shop.example:443"},
                                               {"https://zeta.example/", "https:zeta.example:443"},
                                               {"https://пример.рф/", "https:xn--e1afmkfd.xn--p1ai:443"}}));
    QCOMPARE(f.button("Button6")->text(), QStringLiteral("Connected (projects: 3)"));
    QVERIFY(!f.button("Button6")->isEnabled());
    QVERIFY(f.button("Button34")->isEnabled());
    QVERIFY(f.app->reports().runControl().flags().apiConnected);
    QVERIFY(f.button("btRunRequests")->isEnabled());
    QVERIFY(f.sites()->selectedItems().isEmpty());
    QCOMPARE(f.log(), QStringList{"Yandex Webmaster - HTTP Code: 200 OK"});
    QVERIFY(f.prompt.texts.isEmpty());

    const auto sent = f.sim.requests();
    QCOMPARE(sent.size(), size_t(2));
    QCOMPARE(sent[1].path, f.apiPath(QStringLiteral("hosts")));
    QCOMPARE(sent[1].header("Authorization"), std::string("OAuth ") + AcceptedToken);
}

void TestYandexWebmasterGui::connectFailureLeavesEverythingAsItWas_data()
{
    QTest::addColumn<QString>("storedToken");
    QTest::addColumn<bool>("dropConnection");
    QTest::addColumn<QString>("message");

    QTest::newRow("token the service refuses")
        << "y0_expired" << false
        << "Value 'hosts' not found\nINVALID_OAUTH_TOKEN: Invalid oauth token (HTTP status 403 Forbidden)";
    QTest::newRow("no answer at all") << QString::fromLatin1(AcceptedToken) << true
                                      << "Yandex Webmaster gave no usable answer (HTTP status 500, no answer "
                                         "received). Please check the connection and the account, then try again.";
}

void TestYandexWebmasterGui::connectFailureLeavesEverythingAsItWas()
{
    QFETCH(QString, storedToken);
    QFETCH(bool, dropConnection);
    QFETCH(QString, message);

    Fixture f(storedToken);
    if (dropConnection) {
        sim::Response dropped;
        dropped.fault = sim::Fault::CloseWithoutAnswer;
        f.sim.setResponse("GET", f.apiPath(QStringLiteral("hosts")), dropped);
    }
    f.button("Button6")->click();

    QCOMPARE(f.prompt.texts, QStringList{message});
    QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::Error});
    QCOMPARE(f.sites()->topLevelItemCount(), 0);
    QCOMPARE(f.button("Button6")->text(), QStringLiteral("Connect to Account"));
    QVERIFY(f.button("Button6")->isEnabled());
    QVERIFY(!f.button("Button34")->isEnabled());
    QVERIFY(!f.app->reports().runControl().flags().apiConnected);
    QVERIFY(!f.button("btRunRequests")->isEnabled());
}

void TestYandexWebmasterGui::reconnectByDoubleClickReplacesTheSites()
{
    Fixture f;
    f.connectAccount();
    f.selectSite(ShopHost);

    // The account has lost two sites meanwhile; the disabled button leaves
    // only the double-click on the token.
    auto sites = accountSites();
    f.webmaster.setSites(UserId, {sites[0]});
    f.doubleClickToken();
    QCOMPARE(f.siteRows(), (QList<QStringList>{{"https://zeta.example/", "https:zeta.example:443"}}));
    QCOMPARE(f.button("Button6")->text(), QStringLiteral("Connected (projects: 1)"));
    QVERIFY(f.app->yandexWebmaster()->selectedHostId().isEmpty());

    // Without a selected account the list is emptied and the user told.
    f.tokenList()->clearSelection();
    f.app->accounts()->runConnectOperation(ServiceId::YandexWebmaster);
    QCOMPARE(f.prompt.texts, QStringList{SelectToken});
    QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::Information});
    QCOMPARE(f.sites()->topLevelItemCount(), 0);
    QCOMPARE(f.button("Button6")->text(), QStringLiteral("Connected (projects: 1)"));
}

void TestYandexWebmasterGui::doubleClickOnSitesShowsTheReport()
{
    Fixture f;
    auto *pages = f.find<QTabWidget>("pcPages");
    auto *reports = f.find<QTabWidget>("pcReportsURLs");
    reports->setCurrentIndex(1); // the user's own choice: the pie shows the Metrika figures
    QCOMPARE(f.window->statsChartView()->chart()->title(), QStringLiteral("Page Visit Stats"));
    pages->setCurrentIndex(1);

    // Beside the rows of an empty list.
    doubleClick(f.sites()->viewport(), QPoint(20, f.sites()->viewport()->height() - 10));

    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(reports->currentIndex(), 0);
    // A switch made for the user: the tab's change handler did not run.
    QCOMPARE(f.window->statsChartView()->chart()->title(), QStringLiteral("Page Visit Stats"));
}

// ---------------------------------------------------------------------------
// Indexing check

void TestYandexWebmasterGui::checkUrlMarksPastedPages()
{
    Fixture f;
    f.connectAccount();
    f.selectSite(ShopHost);
    const auto shop = accountSites()[2];
    const QString home = QString::fromStdString(shop.pages[0].url);
    const QString quoted = QString::fromStdString(shop.pages[4].url); // «Уют» и "Комфорт"
    const QString cyrillic = QString::fromStdString(shop.pages[7].url);
    const QString missing = QStringLiteral("https://shop.example/missing/");
    f.clipboard.value = QStringList{home, quoted, missing, cyrillic}.join(QStringLiteral("\r\n"));
    f.button("btInsertURLs4Clip")->click();
    QCOMPARE(f.report().rowCount(), 4);

    f.button("btRunRequests")->click();

    QCOMPARE(f.report().rowTexts(0), (QStringList{home, "Yes", "Главная — мебель для дома с доставкой"}));
    QCOMPARE(f.report().rowTexts(1), (QStringList{quoted, "Yes", "Кресло «Уют» и \"Комфорт\" — сравнение"}));
    QCOMPARE(f.report().rowTexts(2), (QStringList{missing, "No", ""}));
    QCOMPARE(f.report().rowTexts(3), (QStringList{cyrillic, "Yes", "Диваны и кресла"}));
    QCOMPARE(f.requestsEndingWith("/samples"), 4); // offsets 0, 100, 200 and the empty 300
    // One log line per page: only the first request of each shows.
    const QStringList log = f.log();
    const QString page = QStringLiteral("Yandex Webmaster - HTTP Code: 200 OK");
    QCOMPARE(log.mid(log.indexOf(QStringLiteral("Check started"))),
             (QStringList{"Check started", page, page, page, page, "Check finished"}));
    QVERIFY(f.prompt.texts.isEmpty());

    QPieSeries *pie = f.window->statsChartView()->series();
    QCOMPARE(pie->slices().size(), 2);
    QCOMPARE(pie->slices()[0]->label(), QStringLiteral("Indexed (75%)"));
    QCOMPARE(pie->slices()[1]->label(), QStringLiteral("Not indexed (25%)"));
    QCOMPARE(int(pie->slices()[0]->value()), 3);

    QVERIFY(f.button("btExport")->isEnabled());
    f.dialogs.saveAnswer = f.folder() + QStringLiteral("ywm.csv");
    f.button("btExport")->click();
    const QByteArray expected = QByteArray("\xEF\xBB\xBF") + "URL;Indexed;Title\r\n" + home.toUtf8() +
                                ";Yes;Главная — мебель для дома с доставкой\r\n" + quoted.toUtf8() +
                                ";Yes;\"Кресло «Уют» и \"\"Комфорт\"\" — сравнение\"\r\n" + missing.toUtf8() +
                                ";No;\r\n" + cyrillic.toUtf8() + ";Yes;Диваны и кресла\r\n";
    QCOMPARE(readAll(f.dialogs.saveAnswer), expected);
}

void TestYandexWebmasterGui::checkNeedsSiteAndAccount_data()
{
    QTest::addColumn<bool>("selectSite");
    QTest::addColumn<bool>("selectAccount");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("no site") << false << true << QStringList{SelectSite};
    QTest::newRow("no account") << true << false << QStringList();
}

void TestYandexWebmasterGui::checkNeedsSiteAndAccount()
{
    QFETCH(bool, selectSite);
    QFETCH(bool, selectAccount);
    QFETCH(QStringList, messages);

    Fixture f;
    f.connectAccount();
    if (selectSite)
        f.selectSite(ShopHost);
    if (!selectAccount)
        f.tokenList()->clearSelection();
    f.clipboard.value = QStringLiteral("https://shop.example/");
    f.button("btInsertURLs4Clip")->click();
    f.sim.clearRequests();

    f.button("btRunRequests")->click();

    QCOMPARE(f.prompt.texts, messages);
    QCOMPARE(f.sim.requests().size(), size_t(0));
    QCOMPARE(f.report().rowTexts(0), (QStringList{"https://shop.example/", "", ""}));
    QVERIFY(!f.app->reports().runControl().flags().reportDataReady);
    // Refused before it sent anything: the run never started.
    QVERIFY(!f.log().contains(QStringLiteral("Check started")));
    QVERIFY(!f.log().contains(QStringLiteral("Check finished")));
}

// Pages of another site than the chosen one are neither sent nor marked
// "No": the site's own rows are checked as before, the others stay empty
// with one line in the log; with none of the site's pages nothing is sent.
void TestYandexWebmasterGui::rowsOfAnotherSiteAreNotChecked_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QStringList>("indexed"); // per row: "Yes", "No" or "" (not checked)

    const auto sites = accountSites();
    const auto &pages = sites[2].pages;
    const QString home = QString::fromStdString(pages[0].url);
    // Another page of the site, its host spelled in capitals with the port.
    QString spelled = QString::fromStdString(pages[1].url);
    spelled.replace(QStringLiteral("https://shop.example"), QStringLiteral("HTTPS://SHOP.EXAMPLE:443"));
    QTest::newRow("no row on the site") << QStringList{"https://example.com/a", "https://example.com/b",
                                                       "https://zeta.example/"}
                                        << QStringList{"", "", ""};
    QTest::newRow("mixed list") << QStringList{"https://example.com/a", home, "https://www.shop.example/missing/",
                                               spelled, "https://blog.shop.example/"}
                                << QStringList{"", "Yes", "No", "Yes", ""};
}

void TestYandexWebmasterGui::rowsOfAnotherSiteAreNotChecked()
{
    QFETCH(QStringList, urls);
    QFETCH(QStringList, indexed);

    Fixture f;
    f.connectAccount();
    f.selectSite(ShopHost);
    const QString siteName = f.sites()->currentItem()->text(0);
    f.clipboard.value = urls.join(QStringLiteral("\r\n"));
    f.button("btInsertURLs4Clip")->click();
    QCOMPARE(f.report().rowCount(), int(urls.size()));
    f.sim.clearRequests();

    f.button("btRunRequests")->click();

    const int heldBack = int(indexed.count(QString()));
    const QStringList log = f.log();
    const QStringList run = log.mid(log.lastIndexOf(QStringLiteral("Check started")));
    for (int row = 0; row < urls.size(); ++row)
        QCOMPARE(f.report().cell(row, 1), indexed[row]);
    if (heldBack == urls.size()) {
        QCOMPARE(f.prompt.texts.size(), 1);
        QVERIFY2(f.prompt.texts[0].contains(siteName), qPrintable(f.prompt.texts[0]));
        QCOMPARE(f.sim.requests().size(), size_t(0));
        QVERIFY(!run.contains(QStringLiteral("Check finished")));
        QVERIFY(!f.app->reports().runControl().flags().reportDataReady);
    } else {
        QVERIFY(f.prompt.texts.isEmpty());
        QCOMPARE(run.filter(QStringLiteral("rows are not on")),
                 QStringList{QStringLiteral("%1 of %2 rows are not on %3 and were not checked")
                                 .arg(heldBack)
                                 .arg(urls.size())
                                 .arg(siteName)});
        QCOMPARE(run.last(), QStringLiteral("Check finished"));
        QVERIFY(f.requestsEndingWith("/samples") > 0);
    }
    QVERIFY(!f.app->reports().runControl().isRunning());
}

// The line above the report says which account and site "Check URL" will
// use, and changes with the selections; a disabled "Check URL" says why.
void TestYandexWebmasterGui::targetLineFollowsAccountAndSite()
{
    Fixture f;
    auto *line = f.find<QLabel>("lbCheckTarget1");
    QVERIFY(line);
    QVERIFY(!f.button("btRunRequests")->isEnabled());
    QCOMPARE(f.button("btRunRequests")->toolTip(), QStringLiteral("Connect an account on the Settings page first"));

    f.connectAccount();
    QCOMPARE(line->text(), QStringLiteral("Account token_1: choose a site on Settings > Yandex Webmaster"));
    QVERIFY(f.button("btRunRequests")->isEnabled());
    QVERIFY(f.button("btRunRequests")->toolTip().isEmpty());

    f.selectSite(ShopHost);
    const QString siteName = f.sites()->currentItem()->text(0);
    QCOMPARE(line->text(), QStringLiteral("Checks site %1 with account token_1").arg(siteName));

    f.tokenList()->clearSelection();
    QCOMPARE(line->text(), QStringLiteral("Connect an account on Settings > Yandex Webmaster, then choose a site"));
}

// ---------------------------------------------------------------------------
// Keywords window

void TestYandexWebmasterGui::keywordsWindowListsAndExportsQueries()
{
    Fixture f;
    f.connectAccount();
    f.selectSite(ShopHost);
    f.dialogs.saveAnswer = f.folder() + QStringLiteral("keywords.csv");
    YandexWebmasterKeywordsWindow *keywords = f.keywords();

    QString caption;
    bool enabled = false;
    bool modal = false;
    WhileModal whileOpen(keywords, [&] {
        caption = keywords->exportButton()->text();
        enabled = keywords->exportButton()->isEnabled();
        modal = keywords->isModal();
        keywords->exportButton()->click();
    });
    f.button("Button34")->click();

    QCOMPARE(whileOpen.appeared, 1);
    QVERIFY(modal);
    QCOMPARE(keywords->windowTitle(), QStringLiteral("YWM Keywords"));
    QCOMPARE(keywords->size(),
             QSize(YandexWebmasterKeywordsWindow::ClientWidth, YandexWebmasterKeywordsWindow::ClientHeight));
    QCOMPARE(keywords->rowCount(), 3);
    QCOMPARE(keywords->rowTexts(0), (QStringList{"диван угловой", "q1", "1234", "56", "3.46", "7.89"}));
    QCOMPARE(keywords->rowTexts(1), (QStringList{"sofa; \"best\" price", "q2", "500", "0", "12.50", "0.00"}));
    QCOMPARE(keywords->rowTexts(2), (QStringList{"кресло", "q3", "20", "3", "1.00", "2.00"}));
    const QAbstractItemModel *listed = keywords->queryList()->model();
    QCOMPARE(listed->index(0, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(listed->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, 0);
    QCOMPARE(caption, QStringLiteral("Export to Excel (3 rows)"));
    QVERIFY(enabled);
    QCOMPARE(f.requestsEndingWith("/search-queries/popular"), 1);
    QVERIFY(f.prompt.texts.isEmpty());

    QCOMPARE(f.dialogs.saves.size(), 1);
    QCOMPARE(f.dialogs.saves[0].folder, f.folder());
    QCOMPARE(f.dialogs.saves[0].name, QStringLiteral("export_ywm_keywords.csv"));
    QCOMPARE(f.dialogs.saves[0].filter, QStringLiteral("CSV files (*.csv)"));
    QCOMPARE(readAll(f.dialogs.saveAnswer),
             QByteArray("\xEF\xBB\xBF"
                        "Query;ID;TOTAL SHOWS;TOTAL CLICKS;AVG SHOW POSITION;AVG CLICK POSITION;\r\n"
                        "диван угловой;q1;1234;56;3.46;7.89\r\n"
                        "\"sofa; \"\"best\"\" price\";q2;500;0;12.50;0.00\r\n"
                        "кресло;q3;20;3;1.00;2.00\r\n"));

    // A cancelled save dialog writes nothing; a refused file is reported.
    QFile::remove(f.dialogs.saveAnswer);
    f.dialogs.saveAnswer.clear();
    keywords->exportToCsv();
    f.dialogs.saveAnswer = f.folder() + QStringLiteral("no/such/folder/keywords.csv");
    WhileModal exportAgain(keywords, [&] { keywords->exportButton()->click(); });
    keywords->showModally();
    QCOMPARE(f.prompt.texts.size(), 1);
    QVERIFY2(f.prompt.texts[0].startsWith(QStringLiteral("Cannot create file")), qPrintable(f.prompt.texts[0]));
    QVERIFY(!QFile::exists(f.dialogs.saveAnswer));
}

void TestYandexWebmasterGui::keywordsNeedAccountAndSite_data()
{
    QTest::addColumn<bool>("selectAccount");
    QTest::addColumn<bool>("selectSite");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("popularRequests");

    QTest::newRow("no account") << false << true << false << SelectToken << 0;
    QTest::newRow("no site") << true << false << false << SelectSite << 0;
    QTest::newRow("service error")
        << true << true << true << "Value 'count' not found\nINVALID_OAUTH_TOKEN: expired (HTTP status 403 Forbidden)"
        << 1;
}

void TestYandexWebmasterGui::keywordsNeedAccountAndSite()
{
    QFETCH(bool, selectAccount);
    QFETCH(bool, selectSite);
    QFETCH(bool, refuse);
    QFETCH(QString, message);
    QFETCH(int, popularRequests);

    Fixture f;
    f.connectAccount();
    if (selectSite)
        f.selectSite(ShopHost);
    if (!selectAccount)
        f.tokenList()->clearSelection();
    if (refuse) {
        f.sim.setResponse(
            "GET", f.apiPath(QStringLiteral("hosts/") + ShopHost + QStringLiteral("/search-queries/popular")),
            sim::Response::json(R"({"error_code":"INVALID_OAUTH_TOKEN","error_message":"expired"})", 403));
    }
    WhileModal whileOpen(f.keywords(), [] {});
    f.button("Button34")->click();

    QCOMPARE(f.prompt.texts, QStringList{message});
    QCOMPARE(whileOpen.appeared, 0);
    QVERIFY(!f.keywords()->isVisible());
    QCOMPARE(f.requestsEndingWith("/search-queries/popular"), popularRequests);
}

void TestYandexWebmasterGui::siteWithoutQueriesOpensAnEmptyWindow()
{
    Fixture f;
    f.connectAccount();
    f.selectSite(QStringLiteral("https:zeta.example:443"));
    QString caption;
    bool enabled = true;
    WhileModal whileOpen(f.keywords(), [&] {
        caption = f.keywords()->exportButton()->text();
        enabled = f.keywords()->exportButton()->isEnabled();
    });
    f.button("Button34")->click();
    QCOMPARE(whileOpen.appeared, 1);
    QCOMPARE(f.keywords()->rowCount(), 0);
    QCOMPARE(caption, QStringLiteral("Export to Excel (0 rows)"));
    QVERIFY(!enabled);
}

void TestYandexWebmasterGui::historyChart_data()
{
    QTest::addColumn<QString>("answer"); // empty: the simulator's own
    QTest::addColumn<bool>("dropConnection");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("days");  // the first points' labels
    QTest::addColumn<QList<int>>("values"); // the first points' values
    QTest::addColumn<QString>("error");

    QTest::newRow("last year") << QString() << false << "Yandex Trends for \"диван угловой\" (last year)"
                               << QStringList() << QList<int>() << QString();
    QTest::newRow("no data") << R"({"query_id":"q1","indicators":{}})" << false
                             << "Yandex Trends for \"диван угловой\" (No data)" << QStringList() << QList<int>()
                             << QString();
    QTest::newRow("bad point keeps the points before it")
        << R"({"indicators":{"TOTAL_SHOWS":[{"date":"2022-03-04T00:00:00+03:00","value":7},)"
           R"({"date":"2022-03-05T00:00:00+03:00","value":30},{"date":"2022-03-06T00:00:00+03:00","value":1.5}]}})"
        << false << "Yandex Trends for \"диван угловой\" (last year)" << QStringList{"2022-03-04", "2022-03-05"}
        << QList<int>{7, 30} << "'1.5' is not a valid integer value";
    QTest::newRow("no answer keeps the chart")
        << QString() << true << "Yandex Trends" << QStringList() << QList<int>() << QString();
}

void TestYandexWebmasterGui::historyChart()
{
    QFETCH(QString, answer);
    QFETCH(bool, dropConnection);
    QFETCH(QString, title);
    QFETCH(QStringList, days);
    QFETCH(QList<int>, values);
    QFETCH(QString, error);

    Fixture f;
    f.connectAccount();
    f.selectSite(ShopHost);
    const std::string historyPath =
        f.apiPath(QStringLiteral("hosts/") + ShopHost + QStringLiteral("/search-queries/q1/history"));
    if (!answer.isEmpty())
        f.sim.setResponse("GET", historyPath, sim::Response::json(answer.toStdString()));
    if (dropConnection) {
        sim::Response dropped;
        dropped.fault = sim::Fault::CloseWithoutAnswer;
        f.sim.setResponse("GET", historyPath, dropped);
    }
    YandexWebmasterKeywordsWindow *keywords = f.keywords();
    QTreeView *list = keywords->queryList();

    bool menuWithoutSelectionAsked = true;
    WhileModal whileOpen(keywords, [&] {
        // "Get keyword trends" without a selected query does nothing.
        keywords->trendsAction()->trigger();
        menuWithoutSelectionAsked = f.requestsEndingWith("/history") > 0;
        // A double-click on the first query (most shows first).
        doubleClick(list->viewport(), list->visualRect(list->model()->index(0, 0)).center());
    });
    f.button("Button34")->click();
    QCOMPARE(whileOpen.appeared, 1);
    QVERIFY(!menuWithoutSelectionAsked);
    // A dropped connection is tried five times.
    QCOMPARE(f.requestsEndingWith("/history"), dropConnection ? 5 : 1);

    QChart *chart = keywords->chartView()->chart();
    QCOMPARE(chart->title(), title);
    QCOMPARE(f.prompt.texts, error.isEmpty() ? QStringList() : QStringList{error});
    QCOMPARE(keywords->areaSeries()->color(), QColor(93, 131, 176));
    QCOMPARE(keywords->areaSeries()->borderColor(), QColor(69, 105, 147));
    QCOMPARE(keywords->pointSeries()->color(), QColor(0, 128, 0));
    QVERIFY(!chart->legend()->isVisible());

    const QList<QPointF> points = keywords->pointSeries()->points();
    const QStringList labels = keywords->dayAxis()->categoriesLabels();
    // The area's upper edge is the smooth curve through the points.
    const QList<QPointF> edge = keywords->areaSeries()->upperSeries()->points();
    QVERIFY(passesThrough(edge, points));
    QCOMPARE(edge.isEmpty(), points.isEmpty());
    QCOMPARE(keywords->chartView()->showsNoData(), title.endsWith(QStringLiteral("(No data)")));
    const double top = keywords->showsAxis()->max();
    QCOMPARE(keywords->showsAxis()->min(), 0.0);
    if (answer.isEmpty() && !dropConnection) {
        // A point a day from 360 days ago to today; a few of them name
        // their day on the axis.
        const QDate today = QDate::currentDate();
        QCOMPARE(points.size(), 361);
        QCOMPARE(labels.size(), 6);
        for (const QString &label : labels) {
            const int index = int(keywords->dayAxis()->endValue(label));
            QCOMPARE(label, today.addDays(-360 + index).toString(Qt::ISODate));
        }
        double largest = 0;
        for (const QPointF &p : points)
            largest = std::max(largest, p.y());
        QVERIFY(largest > 0);
        QVERIFY2(top >= largest * 1.1 && top <= largest * 1.1 * 4 / 3 + 1, qPrintable(QString::number(top)));
        QVERIFY(f.app->requestTrace().lines().join(QString()).contains(QStringLiteral("TOTAL_SHOWS")));
    } else if (dropConnection) {
        QVERIFY(points.isEmpty());
        QVERIFY(labels.isEmpty());
        QVERIFY(top > 0);
    } else {
        QCOMPARE(points.size(), values.size());
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(points[i].y(), double(values[i]));
        QCOMPARE(labels, days);
        const auto scale = ChartScale::fitting(values.isEmpty() ? 0 : 30);
        QCOMPARE(top, double(scale.maximum));
        QCOMPARE(keywords->showsAxis()->tickCount(), scale.tickCount);
    }
}

// ---------------------------------------------------------------------------
// End to end: "Add", the service's consent page and redirect, the listener,
// then the new account connected.

void TestYandexWebmasterGui::signInThroughTheServiceThenConnect()
{
    Fixture f(QString(), freePort());
    QCOMPARE(f.tokenList()->count(), 0);
    f.button("Button3")->click();
    QCOMPARE(f.browser.opened.size(), 1);

    // The browser: the consent page redirects to the listener, which is
    // followed on a thread of its own while the window's steps run here.
    std::atomic<bool> done{false};
    int consentStatus = 0;
    int callbackStatus = 0;
    const QUrl authorize(f.browser.opened[0]);
    std::thread browser([&] {
        const BrowserAnswer consent = browserGet(authorize);
        consentStatus = consent.status;
        if (consent.status == 302)
            callbackStatus = browserGet(QUrl(consent.location)).status;
        done = true;
    });
    for (int waited = 0; !done && waited < 30000; waited += 5)
        QTest::qWait(5);
    browser.join();
    QCOMPARE(consentStatus, 302);
    QCOMPARE(callbackStatus, 200);
    QCOMPARE(f.tokenList()->count(), 1);

    f.tokenList()->setCurrentRow(0);
    f.doubleClickToken();
    QCOMPARE(f.prompt.texts, QStringList());
    QCOMPARE(f.siteRows().size(), 3);
    QCOMPARE(f.button("Button6")->text(), QStringLiteral("Connected (projects: 3)"));
    QVERIFY(f.button("btRunRequests")->isEnabled());
}

QTEST_MAIN(TestYandexWebmasterGui)
#include "tst_yandexwebmaster_gui.moc"
