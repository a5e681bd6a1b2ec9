#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "reports/ReportTable.h"
#include "services/yandex_webmaster/YandexHostList.h"
#include "services/yandex_webmaster/YandexIndexingCheck.h"
#include "services/yandex_webmaster/YandexPopularQueries.h"
#include "services/yandex_webmaster/YandexQueryHistory.h"
#include "services/yandex_webmaster/YandexWebmasterClient.h"

#include "services/YandexWebmasterModule.h"
#include "support/ServiceTestFixture.h"

#include <QtTest>

using namespace veltrano;
using namespace veltrano::testing;
using Module = sim::YandexWebmasterModule;

namespace {

constexpr long long kUserId = 12345;

// Clicks "Cancel" when the check looks at the window for the n-th time.
struct CancellingEvents final : EventPump {
    RunControl *run = nullptr;
    int cancelAtCall = -1;
    int calls = 0;
    void processPendingEvents() override
    {
        if (++calls == cancelAtCall && run)
            run->cancelClicked();
    }
    void keepPainting() override {}
};

struct NoProgress final : ProgressReporter {
    int maximum = 0;
    void setMaximum(int m) override { maximum = m; }
    void setPosition(int) override {}
};

Module::Site site(const std::string &host, const std::string &url, bool verified, size_t pages)
{
    Module::Site s = Module::generatedSite(host, url, url, pages, 0);
    s.verified = verified;
    return s;
}

struct Fixture : ServiceTestFixture<CancellingEvents, NoProgress> {
    Module module{tokens};
    std::unique_ptr<YandexWebmasterClient> client;
    ReportTable table{ServiceId::YandexWebmaster};

    Fixture()
    {
        module.install(sim, "/yandex-webmaster");
        module.acceptToken("tok", kUserId);
        sim.start();
        client = std::make_unique<YandexWebmasterClient>(exchange, simUrl(QStringLiteral("/yandex-webmaster")));
        events.run = &run;
        run.setTable(0, &table);
    }

    // Runs the indexing check through the real run frame.
    void check(const QString &hostId, const QString &token = QStringLiteral("tok"))
    {
        YandexIndexingCheck indexing(*client);
        run.registerCheck(0, QStringLiteral("Get URLs YWM"),
                          [&](CheckContext &context) { indexing.run(context, table, hostId, &token); });
        run.markApiConnected();
        run.checkUrl(0);
    }

    std::vector<std::string> samplePaths() const
    {
        std::vector<std::string> offsets;
        for (const auto &r : sim.requests()) {
            if (r.path.ends_with("/samples"))
                offsets.push_back(r.queryParam("offset"));
        }
        return offsets;
    }
};

} // namespace

class YandexWebmasterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void clientResolvesUserThenSendsCommand()
    {
        Fixture f;
        f.module.setSites(kUserId, {site("https:a.example:443", "https://a.example/", true, 0)});
        const ExchangeResult hosts = f.client->request(QStringLiteral("tok"), QStringLiteral("hosts"));
        QCOMPARE(hosts.status, 200);
        const auto sent = f.sim.requests();
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0].path, std::string("/yandex-webmaster/v4/user"));
        QCOMPARE(sent[1].path, std::string("/yandex-webmaster/v4/user/12345/hosts"));
        QCOMPARE(sent[1].header("Authorization"), std::string("OAuth tok"));
        QCOMPARE(f.log.messagesInOrder(), QStringList({"Yandex Webmaster - HTTP Code: 200 OK"}));
        QVERIFY(f.trace.lines().contains(QStringLiteral("HTTP Code: 200 OK (userID: 12345)")));

        // A refused token: the user id is empty, the second request still goes.
        f.sim.clearRequests();
        f.client->request(QString(), QStringLiteral("hosts"));
        QCOMPARE(f.sim.requests()[0].headerLines.size() > 0, true);
        QCOMPARE(f.sim.requests()[1].path, std::string("/yandex-webmaster/v4/user//hosts"));
        QCOMPARE(f.log.messagesInOrder().size(), 2);
    }

    void listsVerifiedHostsSorted()
    {
        Fixture f;
        f.module.setSites(kUserId, {site("https:c.example:443", "https://c.example/", true, 0),
                                    site("https:b.example:443", "https://b.example/", false, 0),
                                    site("https:a.example:443", "https://a.example/", true, 0)});
        const auto hosts = parseYandexHosts(f.client->request(QStringLiteral("tok"), QStringLiteral("hosts")));
        QCOMPARE(hosts.size(), size_t(2));
        QCOMPARE(hosts[0].domain, QStringLiteral("https://a.example/"));
        QCOMPARE(hosts[0].hostId, QStringLiteral("https:a.example:443"));
        QCOMPARE(hosts[1].domain, QStringLiteral("https://c.example/"));
    }

    void unusableAnswersGiveClearErrors()
    {
        ExchangeResult html{502, QStringLiteral("Bad Gateway"), "<html>proxy</html>", {}};
        try {
            parseYandexHosts(html);
            QFAIL("no error");
        } catch (const VeltranoError &e) {
            QVERIFY(e.message().startsWith(
                QStringLiteral("Yandex Webmaster gave no usable answer (HTTP status 502 Bad Gateway)")));
        }
        ExchangeResult refused{403, QStringLiteral("Forbidden"), R"({"error_code":"INVALID_OAUTH_TOKEN"})", {}};
        QVERIFY_THROWS_EXCEPTION(VeltranoError, parseYandexHosts(refused));
        try {
            parseYandexHosts(refused);
        } catch (const VeltranoError &e) {
            // The missing member first, then the service's own words.
            QCOMPARE(e.message(),
                     QStringLiteral("Value 'hosts' not found\nINVALID_OAUTH_TOKEN (HTTP status 403 Forbidden)"));
        }
    }

    void indexingCheckPagesAndMarksRows()
    {
        Fixture f;
        Module::Site s = site("https:shop.example:443", "https://shop.example/", true, 250);
        s.pages[3].url = s.pages[0].url; // a repeated sample: the first title counts
        s.pages[3].title = "second title";
        s.pages[7].title = "Диваны и кресла";
        f.module.setSites(kUserId, {s});
        const QString first = QString::fromStdString(s.pages[0].url);
        const QString cyrillic = QString::fromStdString(s.pages[7].url);
        f.table.appendRows({first, cyrillic, first + QStringLiteral("/"), QStringLiteral("https://elsewhere/")});

        f.check(QStringLiteral("https:shop.example:443"));

        QCOMPARE(f.samplePaths(), (std::vector<std::string>{"0", "100", "200", "300"}));
        QCOMPARE(f.table.rowTexts(0), QStringList({first, "Yes", QString::fromStdString(s.pages[0].title)}));
        QCOMPARE(f.table.rowTexts(1), QStringList({cyrillic, "Yes", QStringLiteral("Диваны и кресла")}));
        QCOMPARE(f.table.rowTexts(2), QStringList({first + "/", "No", ""}));
        // A page of another site is not this site's to answer: left as it was.
        QCOMPARE(f.table.rowTexts(3), QStringList({"https://elsewhere/", "", ""}));
        QVERIFY(f.log.messagesInOrder().contains(
            QStringLiteral("1 of 4 rows are not on https:shop.example:443 and were not checked")));
        QVERIFY(f.run.flags().reportDataReady);
        QCOMPARE(f.log.messagesInOrder().first(), QStringLiteral("Check started"));
        QCOMPARE(f.log.messagesInOrder().last(), QStringLiteral("Check finished"));
        QCOMPARE(f.trace.lines().first(), QStringLiteral("Get pages from \"host_id\": https:shop.example:443"));
    }

    // Yandex lists an international site in its ASCII form with escaped
    // paths; report rows written the way people type them still match, and
    // keep their own spelling.
    void rowsMatchSamplesThroughTheUrlKey()
    {
        Fixture f;
        Module::Site s = Module::generatedSite("https:xn--e1afmkfd.xn--p1ai:443", "https://xn--e1afmkfd.xn--p1ai/",
                                               "https://пример.рф/", 6, 0);
        QCOMPARE(s.pages[1].url,
                 std::string("https://xn--e1afmkfd.xn--p1ai/%D0%B4%D0%BE%D1%81%D1%82%D0%B0%D0%B2%D0%BA%D0%B0/"));
        // A later sample of the same page in another spelling: the first title counts.
        s.pages[5].url = "https://XN--E1AFMKFD.xn--p1ai:443/%d0%b4%d0%be%d1%81%d1%82%d0%b0%d0%b2%d0%ba%d0%b0/";
        s.pages[5].title = "second title";
        f.module.setSites(kUserId, {s});
        const QString deliveryTitle = QString::fromStdString(s.pages[1].title);
        const QStringList rows{
            QStringLiteral("https://пример.рф/доставка/"),
            QStringLiteral("HTTPS://ПРИМЕР.РФ:443/%d0%b4%d0%be%d1%81%d1%82%d0%b0%d0%b2%d0%ba%d0%b0/#top"),
            QStringLiteral("https://XN--E1AFMKFD.XN--P1AI/контакты/"),
            QStringLiteral("https://пример.рф/Доставка/"), // path letter case counts
            QStringLiteral("https://пример.рф:8443/доставка/"),
        };
        f.table.appendRows(rows);

        f.check(QStringLiteral("https:xn--e1afmkfd.xn--p1ai:443"));

        QCOMPARE(f.table.rowTexts(0), QStringList({rows[0], "Yes", deliveryTitle}));
        QCOMPARE(f.table.rowTexts(1), QStringList({rows[1], "Yes", deliveryTitle}));
        QCOMPARE(f.table.rowTexts(2), QStringList({rows[2], "Yes", QString::fromStdString(s.pages[2].title)}));
        QCOMPARE(f.table.rowTexts(3), QStringList({rows[3], "No", ""}));
        QCOMPARE(f.table.rowTexts(4), QStringList({rows[4], "", ""})); // another port: another site
    }

    void titlesReadTheSameEscapedOrRaw()
    {
        Fixture f;
        Module::Site s = site("https:shop.example:443", "https://shop.example/", true, 3);
        s.pages[1].title = "Кухни";
        f.module.setSites(kUserId, {s});
        f.module.setEscapeUnicode(true);
        f.table.appendRows({QString::fromStdString(s.pages[1].url)});
        f.check(QStringLiteral("https:shop.example:443"));
        QCOMPARE(f.table.cell(0, 2), QStringLiteral("Кухни"));
    }

    void cancelDuringPagesChangesNoCell()
    {
        Fixture f;
        f.module.setSites(kUserId, {site("https:shop.example:443", "https://shop.example/", true, 250)});
        f.table.appendRows({QStringLiteral("https://shop.example/")});
        f.events.cancelAtCall = 2; // during the second page
        f.check(QStringLiteral("https:shop.example:443"));
        QCOMPARE(f.table.rowTexts(0), QStringList({"https://shop.example/", "", ""}));
        const QStringList log = f.log.messagesInOrder();
        QVERIFY(log.contains(QStringLiteral("Cancel check...")));
        QCOMPARE(log.mid(log.size() - 2), QStringList({"Check cancelled...", "Check finished"}));
        QVERIFY(!f.run.flags().reportDataReady);
    }

    void answerWithoutSamplesEndsTheRun()
    {
        Fixture f;
        f.sim.setResponse("GET", "/yandex-webmaster/v4/user/12345/hosts/h/search-urls/in-search/samples",
                          sim::Response::json(R"({"count":0})"));
        f.table.appendRows({QStringLiteral("https://a/")});
        f.check(QStringLiteral("h"));
        QCOMPARE(f.prompt.texts, QStringList({"Value 'samples' not found"}));
        QVERIFY(!f.log.messagesInOrder().contains(QStringLiteral("Check finished")));
        QCOMPARE(f.table.cell(0, 1), QString());
    }

    void noSiteOrNoTokenSendsNothing()
    {
        Fixture f;
        f.table.appendRows({QStringLiteral("https://a/")});
        YandexIndexingCheck indexing(*f.client);
        f.run.registerCheck(0, QStringLiteral("Get URLs YWM"),
                            [&](CheckContext &c) { indexing.run(c, f.table, QString(), nullptr); });
        f.run.markApiConnected();
        f.run.checkUrl(0);
        QCOMPARE(f.prompt.texts, QStringList({"Please select Website from Poject list"}));
        QCOMPARE(f.sim.requestCount(), size_t(0));
    }

    // Paged through the simulator, with and without "count": Yandex's own
    // example answer has none, and leaves out indicators it has no value for.
    void popularQueries_data()
    {
        QTest::addColumn<int>("queries");
        QTest::addColumn<bool>("withCount");
        QTest::addColumn<QStringList>("offsets");
        QTest::newRow("1 234") << 1234 << true << QStringList({"0", "500", "1000"});
        QTest::newRow("exactly 500") << 500 << true << QStringList({"0"});
        QTest::newRow("none") << 0 << true << QStringList({"0"});
        QTest::newRow("1 234, no count") << 1234 << false << QStringList({"0", "500", "1000"});
        QTest::newRow("exactly 500, no count: a full page asks for more") << 500 << false << QStringList({"0", "500"});
        QTest::newRow("none, no count") << 0 << false << QStringList({"0"});
        QTest::newRow("the top 3000, no count")
            << 3000 << false << QStringList({"0", "500", "1000", "1500", "2000", "2500"});
    }
    void popularQueries()
    {
        QFETCH(int, queries);
        QFETCH(bool, withCount);
        QFETCH(QStringList, offsets);
        Fixture f;
        Module::Site s = Module::generatedSite("https:q.example:443", "https://q.example/", "https://q.example/", 0,
                                               size_t(queries));
        if (queries > 0)
            s.queries[0].avgClickPosition.reset(); // never clicked
        f.module.setSites(kUserId, {s});
        f.module.setPopularCount(withCount);
        f.module.setOmitUndefinedIndicators(!withCount);
        YandexPopularQueries fetcher(*f.client);
        const auto rows =
            fetcher.fetch(QStringLiteral("tok"), QStringLiteral("https:q.example:443"), QDate(2026, 12, 10));
        QStringList seen;
        for (const auto &r : f.sim.requests()) {
            if (r.path.ends_with("/popular")) {
                seen << QString::fromStdString(r.queryParam("offset"));
                QCOMPARE(r.queryParam("date_from"), std::string("2025-12-15"));
                QCOMPARE(r.queryParam("limit"), std::string("500"));
            }
        }
        QCOMPARE(seen, offsets);
        QCOMPARE(int(rows.size()), queries);
        if (queries > 0) {
            const QString clickPositions = [&] {
                for (const auto &row : rows) {
                    if (row[1] == QString::fromStdString(s.queries[0].id))
                        return row[5];
                }
                return QString();
            }();
            QCOMPARE(clickPositions, QStringLiteral("0.00"));
        }
    }

    // Yandex's example answer as its documentation prints it: no "count",
    // one indicator given, the others left out.
    void popularQueriesFromTheDocumentedAnswer()
    {
        Fixture f;
        f.sim.setResponse("GET", "/yandex-webmaster/v4/user/12345/hosts/h/search-queries/popular",
                          sim::Response::json(R"({"queries":[{"query_id":"a08b","query_text":"some text",)"
                                              R"("indicators":{"TOTAL_SHOWS":1.1}}],)"
                                              R"("date_from":"2016-01-01","date_to":"2016-01-01"})"));
        const auto rows =
            YandexPopularQueries(*f.client).fetch(QStringLiteral("tok"), QStringLiteral("h"), QDate(2026, 12, 10));
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows[0], QStringList({"some text", "a08b", "1.1", "0", "0.00", "0.00"}));
        QCOMPARE(f.sim.requestCount(), size_t(2)); // the user id, then one page

        // Yandex's error answer has neither "count" nor "queries".
        f.sim.setResponse("GET", "/yandex-webmaster/v4/user/12345/hosts/h/search-queries/popular",
                          sim::Response::json(R"({"error_code":"HOST_NOT_VERIFIED","error_message":"Host h is )"
                                              R"(not verified by the user"})",
                                              404));
        try {
            YandexPopularQueries(*f.client).fetch(QStringLiteral("tok"), QStringLiteral("h"), QDate(2026, 12, 10));
            QFAIL("no error");
        } catch (const VeltranoError &e) {
            QCOMPARE(e.message(), QStringLiteral("Value 'count' not found\nHOST_NOT_VERIFIED: Host h is not verified "
                                                 "by the user (HTTP status 404 Not Found)"));
        }
    }

    void queryRows_data()
    {
        QTest::addColumn<QByteArray>("indicators");
        QTest::addColumn<QStringList>("cells"); // the four indicator cells; empty: no row

        QTest::newRow("all four") << QByteArray(R"({"TOTAL_SHOWS":1234.0,"TOTAL_CLICKS":5,)"
                                                R"("AVG_SHOW_POSITION":2.125,"AVG_CLICK_POSITION":1.005})")
                                  << QStringList({"1234", "5", "2.13", "1.01"});
        QTest::newRow("click position null") << QByteArray(R"({"TOTAL_SHOWS":7,"TOTAL_CLICKS":0,)"
                                                           R"("AVG_SHOW_POSITION":3.5,"AVG_CLICK_POSITION":null})")
                                             << QStringList({"7", "0", "3.50", "0.00"});
        QTest::newRow("click position left out")
            << QByteArray(R"({"TOTAL_SHOWS":7,"TOTAL_CLICKS":0,"AVG_SHOW_POSITION":3.5})")
            << QStringList({"7", "0", "3.50", "0.00"});
        QTest::newRow("show position null")
            << QByteArray(R"({"TOTAL_SHOWS":1,"TOTAL_CLICKS":1,"AVG_SHOW_POSITION":null,"AVG_CLICK_POSITION":1})")
            << QStringList({"1", "1", "0.00", "1.00"});
        QTest::newRow("every indicator left out") << QByteArray("{}") << QStringList({"0", "0", "0.00", "0.00"});
        QTest::newRow("large figures keep no group separators")
            << QByteArray(R"({"TOTAL_SHOWS":1234567,"TOTAL_CLICKS":12345.0,"AVG_SHOW_POSITION":1000.5})")
            << QStringList({"1234567", "12345", "1000.50", "0.00"});
        QTest::newRow("text where a number belongs")
            << QByteArray(R"({"TOTAL_SHOWS":"many","TOTAL_CLICKS":1,"AVG_SHOW_POSITION":1})") << QStringList();
        QTest::newRow("indicators not an object") << QByteArray("[]") << QStringList();
    }
    void queryRows()
    {
        QFETCH(QByteArray, indicators);
        QFETCH(QStringList, cells);
        const JsonDocument doc =
            JsonDocument::parse(R"({"query_id":"q1","query_text":"купить диван","indicators":)" + indicators + "}");
        QVERIFY(doc.isValid());
        QStringList row;
        QCOMPARE(YandexPopularQueries::rowFromQuery(doc.root(), row), !cells.isEmpty());
        if (!cells.isEmpty())
            QCOMPARE(row, QStringList({"купить диван", "q1"}) + cells);
    }

    void queryRowNeedsTextAndId()
    {
        QStringList row;
        const JsonDocument noId = JsonDocument::parse(R"({"query_text":"x","indicators":{"TOTAL_SHOWS":1}})");
        QVERIFY(!YandexPopularQueries::rowFromQuery(noId.root(), row));
        const JsonDocument noText = JsonDocument::parse(R"({"query_id":"q","indicators":{"TOTAL_SHOWS":1}})");
        QVERIFY(!YandexPopularQueries::rowFromQuery(noText.root(), row));
    }

    void historyPointsAndTitle()
    {
        Fixture f;
        f.sim.setResponse("GET", "/yandex-webmaster/v4/user/12345/hosts/h/search-queries/q7/history",
                          sim::Response::json(R"({"query_id":"q7","indicators":{"TOTAL_SHOWS":[)"
                                              R"({"date":"2022-03-04T00:00:00+03:00","value":12},)"
                                              R"({"date":"2022-03-05T00:00:00+03:00","value":30}]}})"));
        auto history = YandexQueryHistory::fetch(*f.client, QStringLiteral("tok"), QStringLiteral("h"),
                                                 QStringLiteral("q7"), QStringLiteral("диван"), QDate(2026, 12, 10));
        QVERIFY(history);
        QCOMPARE(history->title, QStringLiteral("Yandex Trends for \"диван\" (last year)"));
        QCOMPARE(history->points.size(), size_t(2));
        QCOMPARE(history->points[0].day, QStringLiteral("2022-03-04"));
        QCOMPARE(history->maximum, qint64(30));

        f.sim.setResponse("GET", "/yandex-webmaster/v4/user/12345/hosts/h/search-queries/q8/history",
                          sim::Response::json(R"({"indicators":{}})"));
        history = YandexQueryHistory::fetch(*f.client, QStringLiteral("tok"), QStringLiteral("h"), QStringLiteral("q8"),
                                            QStringLiteral("x"), QDate(2026, 12, 10));
        QCOMPARE(history->title, QStringLiteral("Yandex Trends for \"x\" (No data)"));
        QVERIFY(history->points.empty());
    }
};

QTEST_GUILESS_MAIN(YandexWebmasterTest)
#include "tst_yandexwebmaster.moc"
