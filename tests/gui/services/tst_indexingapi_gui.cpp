// "Submit URLs via Google Indexing API" in the real main window, headless,
// against the in-process simulator over real sockets: the token it takes,
// the rows it sends in table order, the pause between pages, the list of
// accepted notifications, the refusals that end the run and those that do
// not, and closing the window during a run.

#include "app/RunControl.h"
#include "app/SandboxEndpoints.h"
#include "auth/SettingsFile.h"
#include "reports/ReportTable.h"
#include "support/LoopbackTestSupport.h"
#include "support/MainWindowHarness.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/reports/ReportsController.h"
#include "ui/services/search_console/IndexingApiController.h"
#include "ui/services/search_console/IndexingApiWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"

#include "SimServer.h"
#include "services/IndexingApiModule.h"
#include "services/SearchConsoleAccounts.h"
#include "services/TokenRegistry.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>

using namespace veltrano;
using namespace veltrano::testing;
using Accounts = sim::SearchConsoleAccounts;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr long long UserId = 5150;
const char *const IndexingToken = "ya29.indexing-gui-token";
const char *const SearchConsoleToken = "ya29.search-console-gui-token";
const std::string PublishPath = "/indexing/v3/urlNotifications:publish";
const QString NoTokenText =
    QStringLiteral("Please first get the Google Indexation API Token to send URLs for indexation");

QStringList pages(int count)
{
    QStringList urls;
    for (int i = 1; i <= count; ++i)
        urls << QStringLiteral("https://example.com/page-%1/").arg(i);
    return urls;
}

} // namespace

class TestIndexingApiGui : public QObject {
    Q_OBJECT

    // The window on a settings folder of its own, every Google address at
    // the in-process simulator. The Search Console token list holds
    // "token_1" (a Search Console token, selected); the Indexing API token
    // is stored only when a test says so.
    struct Fixture : testing::MainWindowHarness {
        sim::SimServer sim;
        std::shared_ptr<sim::TokenRegistry> tokens = std::make_shared<sim::TokenRegistry>();
        std::shared_ptr<Accounts> accounts = std::make_shared<Accounts>(tokens);
        sim::IndexingApiModule indexing{accounts};

        // What the window showed when its run had ended, just before the
        // test closed it.
        bool openAfterRun = false;
        int shown = 0;
        SteadyClock::time_point runEnded;

        explicit Fixture(const QString &indexingToken = QString::fromLatin1(IndexingToken))
        {
            indexing.install(sim, indexing.defaultPrefix());
            accounts->acceptToken(IndexingToken, UserId, "https://www.googleapis.com/auth/indexing");
            accounts->acceptToken(SearchConsoleToken, UserId);
            Accounts::Property owned;
            owned.siteUrl = "https://example.com/";
            Accounts::Property fullUser;
            fullUser.siteUrl = "https://shop.example.com/";
            fullUser.permissionLevel = "siteFullUser";
            accounts->setProperties(UserId, {owned, fullUser});
            // 2022-01-15T10:20:30.123456Z
            indexing.setClock(
                [] { return std::chrono::system_clock::time_point(std::chrono::microseconds(1642242030123456LL)); });
            sim.start();
            SettingsFile settings(SettingsFile::pathIn(folder()));
            settings.writeString(QStringLiteral("GoogleSC_Token"), QStringLiteral("token_1"),
                                 QString::fromLatin1(SearchConsoleToken));
            if (!indexingToken.isEmpty())
                settings.writeString(QStringLiteral("GoogleSC_IndexingApi_Token"), QStringLiteral("GSC_IA"),
                                     indexingToken);
            open(simulatorEndpoints(QString::fromStdString(sim.baseUrl()), testing::freePort()));
        }
        IndexingApiWindow *indexingWindow() const { return app->indexingApiWindow(); }
        // The log lines of the requests and the submission (the paste
        // writes its own before them).
        QStringList log() const
        {
            QStringList lines;
            for (const QString &line : app->activityLog().messagesInOrder()) {
                if (line.contains(QLatin1String("HTTP Code: ")) || line.startsWith(QLatin1String("Indexation")))
                    lines << line;
            }
            return lines;
        }
        RunControl &run() const { return app->reports().runControl(); }

        // The pages on the Search Console report tab, rows selected.
        void pasteAndSelect(const QStringList &urls, const QList<int> &selected)
        {
            pasteUrls(2, urls);
            QTableView *view = window->reportView(2);
            view->clearSelection();
            for (const int row : selected)
                view->selectionModel()->select(view->model()->index(row, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }

        // "Submit URLs via Google Indexing API". whileRunning runs on every
        // turn of the window's event loop during the run; once the run has
        // ended the window is closed, as the user would.
        void submit(const std::function<void()> &whileRunning = {})
        {
            QTimer watcher;
            watcher.setInterval(5);
            QObject::connect(&watcher, &QTimer::timeout, [&] {
                IndexingApiWindow *w = indexingWindow();
                if (!w->isVisible())
                    return;
                if (w->timerActive() || app->indexingApi()->isRunning()) {
                    if (whileRunning)
                        whileRunning();
                    return;
                }
                watcher.stop();
                ++shown;
                openAfterRun = w->isVisible();
                runEnded = SteadyClock::now();
                w->close();
            });
            watcher.start();
            window->findChild<QAction *>(QStringLiteral("SubmitURLforIndexinginGoogle1"))->trigger();
        }

        QStringList listedUrls() const
        {
            QStringList urls;
            for (int i = 0; i < indexingWindow()->rowCount(); ++i)
                urls << indexingWindow()->rowTexts(i).value(0);
            return urls;
        }
        std::vector<sim::RecordedRequest> publishRequests() const { return sim.requestsTo(PublishPath); }
    };

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void nothingToSend_data();
    void nothingToSend();
    void selectedRowsAreSubmittedInTableOrder();
    void refusals_data();
    void refusals();
    void closingTheWindowEndsTheRunAfterThePage();
};

void TestIndexingApiGui::nothingToSend_data()
{
    QTest::addColumn<bool>("tokenStored");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("no token, two rows selected") << false << QList<int>{0, 1} << QStringList{NoTokenText};
    QTest::newRow("a token, no row selected") << true << QList<int>{} << QStringList{};
}

void TestIndexingApiGui::nothingToSend()
{
    QFETCH(bool, tokenStored);
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, messages);

    Fixture f(tokenStored ? QString::fromLatin1(IndexingToken) : QString());
    f.pasteAndSelect(pages(3), selected);
    QTimer::singleShot(500, f.indexingWindow(), [&] { f.indexingWindow()->close(); }); // should it ever show
    f.submit();

    QCOMPARE(f.prompt.texts, messages);
    QCOMPARE(f.shown, 0);
    QVERIFY(!f.indexingWindow()->isVisible());
    QCOMPARE(f.sim.requestCount(), size_t(0));
    QVERIFY(f.log().isEmpty());
}

void TestIndexingApiGui::selectedRowsAreSubmittedInTableOrder()
{
    Fixture f;
    const QStringList urls = pages(5);
    f.pasteAndSelect(urls, {4, 0, 2});
    f.submit();

    QCOMPARE(f.shown, 1);
    QVERIFY(f.openAfterRun);
    QCOMPARE(f.indexingWindow()->rowCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(f.indexingWindow()->rowTexts(i), (QStringList{urls[i * 2], "URL_UPDATED", "2022-01-15 10:20:30"}));
    QCOMPARE(f.indexingWindow()->progressBar()->maximum(), 3);
    QCOMPARE(f.indexingWindow()->progressBar()->value(), 3);
    QCOMPARE(f.log(), QStringList(3, "Google Search Console - HTTP Code: 200 OK"));
    QVERIFY(f.run().flags().reportDataReady);

    const auto sent = f.publishRequests();
    QCOMPARE(sent.size(), size_t(3));
    for (size_t i = 0; i < sent.size(); ++i) {
        QCOMPARE(sent[i].body, "{\"url\": \"" + urls[int(i) * 2].toStdString() + "\", \"type\": \"URL_UPDATED\"}");
        QCOMPARE(sent[i].header("Authorization"), std::string("OAuth ") + IndexingToken);
    }
    // The pause follows every page, the last one included.
    const auto times = f.indexing.requestTimes();
    for (size_t i = 1; i < times.size(); ++i)
        QVERIFY(times[i] - times[i - 1] >= IndexingApiSubmission::kPause);
    QVERIFY(f.runEnded - times.front() >= 3 * IndexingApiSubmission::kPause);
}

void TestIndexingApiGui::refusals_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<long long>("quota");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("refusal"); // the last refusal line
    QTest::addColumn<bool>("reportDataReady");

    const QString notOwned = QStringLiteral("https://shop.example.com/sofas/");
    QTest::newRow("second of three not owned")
        << IndexingToken << QStringList{"https://example.com/1/", notOwned, "https://example.com/3/"} << 200LL
        << QStringList{"https://example.com/1/", "https://example.com/3/"} << 3
        << "Indexatioin API - HTTP Code: 403 - Permission denied. Failed to verify the URL ownership. - " + notOwned
        << true;
    QTest::newRow("second of four over the quota")
        << IndexingToken << pages(4) << 1LL << pages(1) << 2
        << "Indexatioin API - HTTP Code: 429 - Quota exceeded for quota metric 'Publish requests' and limit 'Publish "
           "requests per day' of service 'indexing.googleapis.com' for consumer 'project_number:123456789012'. - " +
               pages(2).last()
        << false;
    QTest::newRow("a Search Console token stored as GSC_IA")
        << SearchConsoleToken << pages(2) << 200LL << QStringList{} << 2
        << "Indexatioin API - HTTP Code: 403 - Request had insufficient authentication scopes. - " + pages(2).last()
        << true;
}

void TestIndexingApiGui::refusals()
{
    QFETCH(QString, token);
    QFETCH(QStringList, urls);
    QFETCH(long long, quota);
    QFETCH(QStringList, listed);
    QFETCH(int, requests);
    QFETCH(QString, refusal);
    QFETCH(bool, reportDataReady);

    Fixture f(token);
    f.indexing.setDailyQuota(quota);
    QList<int> all;
    for (int i = 0; i < urls.size(); ++i)
        all << i;
    f.pasteAndSelect(urls, all);
    f.submit();

    QVERIFY(f.openAfterRun);
    QCOMPARE(f.listedUrls(), listed);
    QCOMPARE(int(f.publishRequests().size()), requests);
    QCOMPARE(f.log().filter(IndexingApiSubmission::kErrorLabel).last(), refusal);
    QCOMPARE(f.run().flags().reportDataReady, reportDataReady);
    QVERIFY(f.prompt.texts.isEmpty());
}

void TestIndexingApiGui::closingTheWindowEndsTheRunAfterThePage()
{
    Fixture f;
    f.indexing.setAnswerDelayMs(300);
    f.pasteAndSelect(pages(10), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    // Closed while the first page is on its way.
    f.submit([&] {
        if (f.sim.requestCount() == 1 && f.indexingWindow()->isVisible())
            f.indexingWindow()->close();
    });

    QCOMPARE(f.listedUrls(), pages(1));
    QCOMPARE(f.publishRequests().size(), size_t(1));
    QCOMPARE(f.log().last(), QStringLiteral("Indexation cancelled..."));
    QVERIFY(f.run().flags().cancelRequested);
    QVERIFY(f.run().flags().reportDataReady);

    // Shown again: the list is empty and the cancel flag cleared before the
    // next run starts.
    int listedAtShow = -1;
    bool cancelAtShow = true;
    QTimer watcher;
    watcher.setInterval(1);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!f.indexingWindow()->isVisible())
            return;
        watcher.stop();
        listedAtShow = f.indexingWindow()->rowCount();
        cancelAtShow = f.run().flags().cancelRequested;
        f.indexingWindow()->close();
    });
    watcher.start();
    f.window->findChild<QAction *>(QStringLiteral("SubmitURLforIndexinginGoogle1"))->trigger();
    QCOMPARE(listedAtShow, 0);
    QVERIFY(!cancelAtShow);
}

QTEST_MAIN(TestIndexingApiGui)
#include "tst_indexingapi_gui.moc"
