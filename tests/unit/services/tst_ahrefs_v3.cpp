// Ahrefs API v3 in the core: the client (key only in the Bearer header, the
// units header, limits and usage), the URL check's reading of crawled-pages
// and backlinks-stats, the data explorer, the referring domains history,
// the check through the run frame against the simulated API, and the
// report's captions in the CSV header. The answers the reference documents
// are fixtures of their own (tests/fixtures/ahrefs), apart from the
// simulator.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "net/RequestTrace.h"
#include "reports/ReportExporter.h"
#include "reports/ReportTable.h"
#include "services/ahrefs/AhrefsV3BacklinksHistory.h"
#include "services/ahrefs/AhrefsV3Client.h"
#include "services/ahrefs/AhrefsV3DataExplorer.h"
#include "services/ahrefs/AhrefsV3UrlCheck.h"

#include "SimServer.h"
#include "services/AhrefsModule.h"
#include "services/AhrefsV3Module.h"
#include "support/ServiceTestFixture.h"

#include <QBuffer>
#include <QFile>
#include <QtTest>

using namespace veltrano;
using testing::ServiceTestFixture;
using Kind = AhrefsV3UrlCheck::RowAnswer::Kind;

Q_DECLARE_METATYPE(AhrefsV3UrlCheck::RowAnswer::Kind)

namespace {

const QString Key = QStringLiteral("ahrefs-v3-unit-key");

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(VELTRANO_FIXTURES_DIR "/ahrefs/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

ExchangeResult answer(const QByteArray &body, int status = 200, QList<QPair<QByteArray, QByteArray>> headers = {})
{
    ExchangeResult result;
    result.status = status;
    result.reason = status == 200 ? QStringLiteral("OK") : QStringLiteral("Error");
    result.body = body;
    result.text = QString::fromUtf8(body);
    result.headers = std::move(headers);
    return result;
}

sim::AhrefsModule::Page page(const std::string &url, long long rank, int code, const std::string &title)
{
    sim::AhrefsModule::Page p;
    p.url = url;
    p.ahrefsRank = rank;
    p.httpCode = code;
    p.title = title;
    return p;
}

sim::AhrefsModule::Backlink link(const std::string &from, const std::string &to)
{
    sim::AhrefsModule::Backlink b;
    b.urlFrom = from;
    b.urlTo = to;
    b.domainRating = 40;
    b.anchor = "ссылка";
    return b;
}

struct Fixture : ServiceTestFixture<> {
    sim::AhrefsV3Module v3;
    std::unique_ptr<AhrefsV3Client> client;
    ReportTable table{ServiceId::Ahrefs};

    Fixture()
    {
        v3.install(sim, "/ahrefs-v3");
        sim::AhrefsModule::Site site;
        site.host = "example.com";
        site.pages = {page("https://example.com/", 1234, 200, "Главная"),
                      page("https://example.com/каталог?a=1&b=2", 57, 301, ""),
                      page("https://example.com/old", 9, 404, "Old")};
        site.backlinks = {link("https://a.example.net/1", "https://example.com/"),
                          link("https://a.example.net/2", "https://example.com/"),
                          link("https://b.example.org/", "https://example.com/")};
        v3.setSites({site});
        v3.acceptKey(Key.toStdString());
        sim.start();
        client = std::make_unique<AhrefsV3Client>(exchange, simUrl(QStringLiteral("/ahrefs-v3")));
        run.setTable(4, &table);
    }

    void check(const QString &key = Key, const QDate &unitsResetDate = QDate())
    {
        AhrefsV3UrlCheck ahrefs(*client);
        ahrefs.setToday([] { return QDate(2024, 3, 31); });
        run.registerCheck(4, QStringLiteral("Check Ahrefs"), [&](CheckContext &context) {
            ahrefs.run(context, table, {key, QStringLiteral("example.com"), unitsResetDate});
        });
        run.markApiConnected();
        run.checkUrl(4);
    }

    QStringList logLines() const { return log.messagesInOrder(); }
};

} // namespace

class TestAhrefsV3 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // The key goes into the header only; every value of the address is
    // percent-encoded, so a target's own "&" and Cyrillic letters survive.
    void keyTravelsOnlyInTheHeader()
    {
        ActivityLog log;
        RequestTrace trace;
        ServiceExchange exchange(log, trace);
        AhrefsV3Client client(exchange, QStringLiteral("https://api.test"));
        const QString url = client.url(AhrefsV3UrlCheck::pageQuery(QStringLiteral("https://example.com/к?a=1&b=#x")));
        QCOMPARE(url, QStringLiteral("https://api.test/v3/site-explorer/crawled-pages?select=url%2Curl_rating%2Chttp_code%2Ctitle"
                                     "&target=https%3A%2F%2Fexample.com%2F%D0%BA%3Fa%3D1%26b%3D%23x&mode=exact&limit=1&output=json"));
        QCOMPARE(AhrefsV3Client::bearerHeader(Key), QStringLiteral("Authorization: Bearer ") + Key);
        QCOMPARE(client.url(AhrefsV3UrlCheck::linksQuery(QStringLiteral("example.com"), QDate(2024, 2, 29))),
                 QStringLiteral("https://api.test/v3/site-explorer/backlinks-stats?target=example.com&mode=exact"
                                "&date=2024-02-29&output=json"));
    }

    void keyProblems_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("refused");
        QTest::newRow("plain") << Key << false;
        QTest::newRow("10 000 characters") << QString(10000, QLatin1Char('k')) << false;
        QTest::newRow("newline") << QStringLiteral("abc\ndef") << true;
        QTest::newRow("carriage return at the end") << QStringLiteral("abc\r") << true;
        QTest::newRow("tab") << QStringLiteral("a\tb") << true;
    }
    void keyProblems()
    {
        QFETCH(QString, key);
        QFETCH(bool, refused);
        QCOMPARE(!AhrefsV3Client::keyProblem(key).isEmpty(), refused);
    }

    void unitsCost_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<double>("cost"); // -1: none
        QTest::newRow("whole") << QByteArray("x-api-units-cost-total") << QByteArray("150") << 150.0;
        QTest::newRow("name in capitals") << QByteArray("X-API-Units-Cost-Total") << QByteArray(" 7.5 ") << 7.5;
        QTest::newRow("not a number") << QByteArray("x-api-units-cost-total") << QByteArray("lots") << -1.0;
        QTest::newRow("negative") << QByteArray("x-api-units-cost-total") << QByteArray("-3") << -1.0;
        QTest::newRow("another header") << QByteArray("x-api-units-cost-row") << QByteArray("5") << -1.0;
    }
    void unitsCost()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, value);
        QFETCH(double, cost);
        const std::optional<double> read = AhrefsV3Client::unitsCost(answer("{}", 200, {{name, value}}));
        QCOMPARE(read.value_or(-1), cost);
    }

    void limitsText_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("documented") << fixture("v3_limits_and_usage.json") << 200
                                    << "Ahrefs API units: 120450 of 500000 used this month by this key (resets 2026-12-28)";
        QTest::newRow("unlimited key")
            << QByteArray(R"({"limits_and_usage":{"units_limit_api_key":null,"units_usage_api_key":12}})") << 200
            << "Ahrefs API units: 12 of unlimited used this month by this key";
        QTest::newRow("refused key") << fixture("v3_error_401.json") << 401
                                     << "Ahrefs API units: Invalid API key (HTTP 401 Error)";
        QTest::newRow("xml") << QByteArray("<AhrefsApiResponse><limits_and_usage/></AhrefsApiResponse>") << 200
                             << "Ahrefs API units: no usable answer (HTTP 200 OK)";
    }
    void limitsText()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, text);
        QCOMPARE(AhrefsV3Client::limitsText(answer(body, status)), text);
    }

    void readPage_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("cells");
        const QStringList empty(6, QString());
        QTest::newRow("documented page") << fixture("v3_crawled_pages.json") << 200 << Kind::Found
                                         << QStringList{"Yes", "23.4", "200", "", "", "О компании \"Пример\""};
        QTest::newRow("documented, no page") << fixture("v3_crawled_pages_empty.json") << 200 << Kind::NotFound
                                             << QStringList{"No", "", "", "", "", ""};
        QTest::newRow("title null, members in another order")
            << QByteArray(R"({"pages":[{"title":null,"http_code":301,"url_rating":0,"url":"x"}]})") << 200
            << Kind::Found << QStringList{"Yes", "0", "301", "", "", ""};
        QTest::newRow("xml") << QByteArray("<?xml version=\"1.0\"?><AhrefsApiResponse><pages/></AhrefsApiResponse>")
                             << 200 << Kind::Unusable << empty;
        QTest::newRow("pages not a list") << QByteArray(R"({"pages":{"url":"x"}})") << 200 << Kind::Unusable << empty;
        QTest::newRow("missing parameter") << fixture("v3_error_400.json") << 400 << Kind::RowError << QStringList();
        QTest::newRow("refused key") << fixture("v3_error_401.json") << 401 << Kind::ServiceError << QStringList();
        QTest::newRow("units spent") << fixture("v3_error_403.json") << 403 << Kind::ServiceError << QStringList();
        QTest::newRow("429 without a body") << QByteArray() << 429 << Kind::ServiceError << QStringList();
        QTest::newRow("502 html page") << QByteArray("<html>Bad gateway</html>") << 502 << Kind::Unusable << empty;
    }
    void readPage()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(Kind, kind);
        QFETCH(QStringList, cells);
        const AhrefsV3UrlCheck::RowAnswer read = AhrefsV3UrlCheck::readPage(answer(body, status));
        QCOMPARE(read.kind, kind);
        if (kind == Kind::RowError || kind == Kind::ServiceError)
            QVERIFY(read.error.contains(QStringLiteral("HTTP %1").arg(status)));
        else
            QCOMPARE(read.cells, cells);
    }

    // backlinks-stats answers under "metrics", not under its own name.
    void readLinks()
    {
        AhrefsV3UrlCheck::RowAnswer read = AhrefsV3UrlCheck::readLinks(answer(fixture("v3_backlinks_stats.json")));
        QCOMPARE(read.kind, Kind::Found);
        QCOMPARE(read.cells, (QStringList{"187", "1204"}));
        QCOMPARE(AhrefsV3UrlCheck::readLinks(answer(R"({"backlinks-stats":{"live":1}})")).kind, Kind::Unusable);
        read = AhrefsV3UrlCheck::readLinks(answer(fixture("v3_error_403.json"), 403));
        QCOMPARE(read.kind, Kind::ServiceError);
        QCOMPARE(read.error, QStringLiteral("API units limit reached (HTTP 403 Error)"));
    }

    void explorerListing()
    {
        AhrefsV3DataExplorer::Listing listing =
            AhrefsV3DataExplorer::list(QStringLiteral("refdomains"), 100, answer(fixture("v3_refdomains.json")));
        QCOMPARE(listing.lines, (QStringList{"news.example.org", "- domain_rating: 71", "- links_to_target: 12",
                                             "- first_seen: 2023-05-14T08:21:37Z", "", "блог.рф",
                                             "- domain_rating: 35.5", "- links_to_target: 3", "- first_seen: null", ""}));
        QCOMPARE(listing.label.value_or(QString()), QStringLiteral("Data: refdomains (first 100)"));

        listing = AhrefsV3DataExplorer::list(QStringLiteral("backlinks-stats"), 100, answer(fixture("v3_backlinks_stats.json")));
        QCOMPARE(listing.lines, (QStringList{"- all_time: 1520", "- all_time_refdomains: 310", "- live: 1204",
                                             "- live_refdomains: 187"}));

        listing = AhrefsV3DataExplorer::list(QStringLiteral("anchors"), 100, answer(fixture("v3_error_401.json"), 401));
        QCOMPARE(listing.lines, (QStringList{"anchors:", "- error: Invalid API key (HTTP 401 Error)"}));
        QVERIFY(!listing.label);
        // A list where an object is due, and XML, are no data.
        listing = AhrefsV3DataExplorer::list(QStringLiteral("backlinks-stats"), 100, answer(R"({"metrics":[]})"));
        QCOMPARE(listing.lines.last(), QStringLiteral("- error: no usable answer (HTTP 200 OK)"));
        listing = AhrefsV3DataExplorer::list(QStringLiteral("refdomains"), 100, answer("<AhrefsApiResponse/>"));
        QCOMPARE(listing.lines.last(), QStringLiteral("- error: no usable answer (HTTP 200 OK)"));

        const auto query = AhrefsV3DataExplorer::query(QStringLiteral("anchors"), 300, QStringLiteral("example.com"),
                                                       QDate(2024, 3, 31));
        QVERIFY(query);
        QCOMPARE(query->params.first(), (QPair<QString, QString>{"select", "anchor,links_to_target,refdomains"}));
        QVERIFY(query->params.contains(QPair<QString, QString>{"order_by", "links_to_target:desc"}));
        QVERIFY(query->params.contains(QPair<QString, QString>{"limit", "300"}));
        QVERIFY(!AhrefsV3DataExplorer::query(QStringLiteral("metrics"), 100, QStringLiteral("x"), QDate(2024, 3, 31)));
    }

    void history()
    {
        const AhrefsBacklinksHistory::Reading reading =
            AhrefsV3BacklinksHistory::read(answer(fixture("v3_refdomains_history.json")));
        QVERIFY(reading.ok());
        QCOMPARE(reading.days.size(), size_t(3));
        QCOMPARE(reading.days.front().date, QStringLiteral("2024-03-29"));
        QCOMPARE(reading.days.back().all, QStringLiteral("1187"));
        QCOMPARE(reading.days.back().count, 1187);

        QVERIFY(!AhrefsV3BacklinksHistory::read(answer(R"({"refdomains":[{"date":"2024-03-01"}]})")).failure.isEmpty());
        QVERIFY(!AhrefsV3BacklinksHistory::read(answer("<xml/>")).failure.isEmpty());
        QCOMPARE(AhrefsV3BacklinksHistory::read(answer(fixture("v3_error_403.json"), 403)).serviceError,
                 QStringLiteral("API units limit reached (HTTP 403 Error)"));

        const AhrefsV3Query query = AhrefsV3BacklinksHistory::query(QStringLiteral("example.com"), QDate(2024, 3, 31));
        QVERIFY(query.params.contains(QPair<QString, QString>{"date_from", "2022-04-11"}));
        QVERIFY(query.params.contains(QPair<QString, QString>{"date_to", "2024-03-31"}));
    }

    // A whole check against the simulated API: found, not found and a
    // Cyrillic address with its own query; the key only in the header; the
    // units the answers state summed in one log line.
    void checkAgainstTheSimulator()
    {
        Fixture f;
        f.table.appendRows({"https://example.com/", "https://example.com/nowhere",
                            "https://example.com/каталог?a=1&b=2"});
        f.check();
        QCOMPARE(f.table.rowTexts(0), (QStringList{"https://example.com/", "Yes", "23.4", "200", "2", "3", "Главная"}));
        QCOMPARE(f.table.rowTexts(1), (QStringList{"https://example.com/nowhere", "No", "", "", "", "", ""}));
        QCOMPARE(f.table.rowTexts(2),
                 (QStringList{"https://example.com/каталог?a=1&b=2", "Yes", "5.7", "301", "0", "0", ""}));

        const auto requests = f.requests();
        QCOMPARE(requests.size(), size_t(5)); // no links request for the page Ahrefs lacks
        for (const auto &request : requests) {
            QCOMPARE(request.header("Authorization"), "Bearer " + Key.toStdString());
            QVERIFY(request.target.find(Key.toStdString()) == std::string::npos);
        }
        const QStringList log = f.logLines();
        QVERIFY(log.contains(QStringLiteral("Check finished")));
        QVERIFY2(log.contains(QStringLiteral("Ahrefs API units spent: 250 (5 answers)")), qPrintable(log.join('\n')));
        QCOMPARE(f.v3.unitsUsed(Key.toStdString()), 250);
        QVERIFY(f.trace.text().indexOf(Key) < 0);
    }

    void checkEndsOnTheServiceRefusal_data()
    {
        QTest::addColumn<int>("scenario");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("unknown key") << 0 << "Ahrefs Error: Invalid API key (HTTP 401 Unauthorized)";
        QTest::newRow("no permission") << 1 << "Ahrefs Error: API key does not have access to this endpoint (HTTP 403 Forbidden)";
        QTest::newRow("too many requests") << 3 << "Ahrefs Error: Too many requests (HTTP 429 Too Many Requests)";
    }
    void checkEndsOnTheServiceRefusal()
    {
        QFETCH(int, scenario);
        QFETCH(QString, prompt);
        Fixture f;
        QString key = Key;
        if (scenario == 0)
            key = QStringLiteral("unknown");
        else if (scenario == 1)
            f.v3.denyPermission(Key.toStdString());
        else
            f.v3.setThrottled(true);
        f.table.appendRows({"https://example.com/", "https://example.com/old"});
        f.table.setRowCells(0, {"Yes", "1", "200", "1", "1", "kept"});
        f.check(key);
        QCOMPARE(f.prompt.texts.last(), prompt);
        // The row keeps what it showed; the second row is never asked about.
        QCOMPARE(f.table.rowTexts(0).last(), QStringLiteral("kept"));
        QVERIFY(f.table.rowTexts(1).mid(1).join(QString()).isEmpty());
        QCOMPARE(f.logLines().filter(QStringLiteral("Ahrefs API units spent")).size(), 1);
    }

    // Spent units stop the run as a spent quota: the service's words, the
    // rows done and left, the day the key's units renew; the rows keep what
    // they showed and stay to be continued.
    void spentUnitsStopTheRunAsASpentQuota()
    {
        Fixture f;
        f.v3.acceptKey(Key.toStdString(), 60); // the first page fits, its links do not
        f.table.appendRows({"https://example.com/", "https://example.com/old"});
        f.table.setRowCells(0, {"Yes", "1", "200", "1", "1", "kept"});
        f.check(Key, QDate(2099, 6, 15));
        const QString message = f.prompt.texts.last();
        QVERIFY2(message.startsWith(QStringLiteral("The quota \"API units\" of the Ahrefs API key (API units limit "
                                                   "reached (HTTP 403 Forbidden)) is spent: 0 rows were checked, 2 "
                                                   "remain. It returns at the key's monthly renewal (2099-06-1")),
                 qPrintable(message));
        QCOMPARE(f.table.rowTexts(0).last(), QStringLiteral("kept"));
        QCOMPARE(f.run.rowStates(4).rowsLeft(), 2);
        QCOMPARE(f.logLines().filter(QStringLiteral("Ahrefs API units spent")).size(), 1);

        // Without a known renewal day the units return on the first of the
        // next month.
        const std::optional<QuotaSpent> spent = AhrefsV3Client::unitsSpent(
            answer(fixture("v3_error_403.json"), 403), QDate(), QDateTime(QDate(2026, 12, 11), QTime(9, 0), Qt::UTC));
        QVERIFY(spent);
        QCOMPARE(spent->returnsAt(), QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC));
        QVERIFY(!AhrefsV3Client::unitsSpent(answer(fixture("v3_error_403.json"), 429), QDate(), QDateTime::currentDateTimeUtc()));
    }

    // Each row names its page, so the site field may stay empty; without a
    // key nothing is sent.
    void theCheckNeedsTheKeyOnly()
    {
        Fixture f;
        f.table.appendRows({"https://example.com/"});
        AhrefsV3UrlCheck ahrefs(*f.client);
        QString key;
        f.run.registerCheck(4, QStringLiteral("Check Ahrefs"),
                            [&](CheckContext &context) { ahrefs.run(context, f.table, {key, QString(), QDate()}); });
        f.run.markApiConnected();
        f.run.checkUrl(4);
        QCOMPARE(f.prompt.texts, QStringList{AhrefsV3UrlCheck::fillInFieldsText()});
        QCOMPARE(f.requests().size(), size_t(0));

        key = Key;
        f.run.checkUrl(4);
        QCOMPARE(f.table.rowTexts(0).at(1), QStringLiteral("Yes"));
        QCOMPARE(f.prompt.texts.size(), 1);
    }

    void keyWithALineBreakIsNeverSent()
    {
        Fixture f;
        f.table.appendRows({"https://example.com/"});
        f.check(QStringLiteral("abc\nHost: elsewhere"));
        QVERIFY(f.prompt.texts.last().contains(QStringLiteral("line break")));
        QCOMPARE(f.requests().size(), size_t(0));
    }

    // The simulated API refuses as the reference documents: an error object
    // and its status, a missing parameter 400; limits-and-usage costs nothing.
    void simulatorAnswersAsDocumented()
    {
        Fixture f;
        ExchangeResult got = f.client->request({QStringLiteral("site-explorer/crawled-pages"),
                                                {{QStringLiteral("target"), QStringLiteral("example.com")}}},
                                               Key);
        QCOMPARE(got.status, 400);
        QCOMPARE(got.text, QStringLiteral("{\"error\":\"missing required parameter: select\"}"));
        got = f.client->request({QStringLiteral("site-explorer/backlinks-stats"),
                                 {{QStringLiteral("target"), QStringLiteral("example.com")}}},
                                Key);
        QCOMPARE(got.status, 400);
        got = f.client->request(AhrefsV3Client::limitsQuery(), Key);
        QCOMPARE(got.status, 200);
        QCOMPARE(AhrefsV3Client::unitsCost(got).value_or(-1), 0.0);
        QVERIFY(AhrefsV3Client::limitsText(got).startsWith(QStringLiteral("Ahrefs API units: 0 of unlimited")));
        got = f.client->request(AhrefsV3Client::limitsQuery(), QString());
        QCOMPARE(got.status, 401);
        QCOMPARE(got.text, QStringLiteral("{\"error\":\"Invalid API key\"}"));
    }

    // The captions v3 gives the report show in the view's header and the
    // CSV header; the layout's come back with the retired API.
    void captionsReachTheCsvHeader()
    {
        ReportTable table(ServiceId::Ahrefs);
        table.appendRows({"https://example.com/"});
        const auto csvHeader = [&] {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            ReportExporter::write(table, buffer);
            return QString::fromUtf8(buffer.data()).section(QLatin1Char('\n'), 0, 0).trimmed();
        };
        const QString layoutHeader = csvHeader();
        table.setCaptionOverrides(AhrefsV3UrlCheck::captions());
        QCOMPARE(table.headerData(2, Qt::Horizontal).toString(), QStringLiteral("UR"));
        QCOMPARE(csvHeader(), QString(layoutHeader)
                                  .replace(QStringLiteral("Ahrefs Rank (AR)"), QStringLiteral("UR"))
                                  .replace(QStringLiteral("Links Internal"), QStringLiteral("Ref. Domains"))
                                  .replace(QStringLiteral("Links External"), QStringLiteral("Backlinks")));
        table.setCaptionOverrides({});
        QCOMPARE(csvHeader(), layoutHeader);
        QVERIFY(layoutHeader.contains(QStringLiteral("Ahrefs Rank (AR)")));
    }
};

QTEST_GUILESS_MAIN(TestAhrefsV3)
#include "tst_ahrefs_v3.moc"
