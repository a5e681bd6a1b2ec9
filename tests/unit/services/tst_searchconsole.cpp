// The Search Console core against the simulated Google APIs over sockets:
// the requests as sent (bodies byte for byte, the one header line, no
// "key"), Google's error objects read as refusals, the property list, both
// checks of the report, the paged query list and the trend chart.

#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/ReportingPeriod.h"
#include "app/VeltranoError.h"
#include "net/FormEncoding.h"
#include "net/GoogleError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/UrlKey.h"
#include "reports/ReportTable.h"
#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/GoogleTrends.h"
#include "services/search_console/SearchConsoleInspectionCheck.h"
#include "services/search_console/SearchConsolePerformanceCheck.h"
#include "services/search_console/SearchConsoleProperties.h"
#include "services/search_console/SearchConsoleQueries.h"
#include "services/search_console/SearchConsoleSiteCheck.h"
#include "services/shared/SitePageFigures.h"

#include "services/SearchConsoleAccounts.h"
#include "services/SearchConsoleModule.h"
#include "services/TrendsModule.h"
#include "services/ServiceRation.h"
#include "services/UrlInspectionModule.h"
#include "support/ServiceTestFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>

using namespace veltrano;
using namespace veltrano::testing;
using Accounts = sim::SearchConsoleAccounts;

Q_DECLARE_METATYPE(std::optional<QStringList>)

namespace {

constexpr long long kUser = 7;
const QString kToken = QStringLiteral("ya29.unit-token");
const std::string kSite = "https://example.com/";
const QString kSiteId = QStringLiteral("https%3A%2F%2Fexample.com%2F");
const std::string kQueryPath = "/googleapis/webmasters/v3/sites/https%3A%2F%2Fexample.com%2F/searchAnalytics/query";
const std::string kInspectPath = "/searchconsole/v1/urlInspection/index:inspect";

struct NoProgress final : ProgressReporter {
    void setMaximum(int) override {}
    void setPosition(int) override {}
};

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

struct Fixture : ServiceTestFixture<HookedEvents, NoProgress> {
    std::shared_ptr<Accounts> accounts = std::make_shared<Accounts>(tokens);
    sim::SearchConsoleModule webmasters{accounts};
    sim::UrlInspectionModule inspection{accounts};
    sim::TrendsModule trendsService;
    ReportingPeriod period{[] { return QDateTime(QDate(2024, 4, 2), QTime(10, 0)); }};
    std::unique_ptr<GoogleApiClient> client;
    std::unique_ptr<GoogleTrends> trends;
    ReportTable table{ServiceId::SearchConsole};

    Fixture()
    {
        webmasters.install(sim, webmasters.defaultPrefix());
        inspection.install(sim, inspection.defaultPrefix());
        trendsService.install(sim, trendsService.defaultPrefix());
        accounts->acceptToken(kToken.toStdString(), kUser);
        Accounts::Property property;
        property.siteUrl = kSite;
        property.pages = {"https://example.com/", "https://example.com/sofas/", "https://example.com/chairs/"};
        property.rows = {row("sofa", "https://example.com/sofas/", 3, 100, 7.5),
                         row("corner sofa", "https://example.com/sofas/", 1, 50, 12),
                         row("chair", "https://example.com/chairs/", 0, 40, 20)};
        accounts->setProperties(kUser, {property});
        sim.start();
        client = std::make_unique<GoogleApiClient>(
            exchange, GoogleApiClient::Hosts{simUrl("/googleapis"), simUrl("/searchconsole"), simUrl("/indexing")});
        trends = std::make_unique<GoogleTrends>(exchange, simUrl("/trends"));
        run.setTable(2, &table);
        run.markApiConnected();
        period.choosePreset(ReportingPeriod::Custom);
        period.setFrom(QDate(2024, 3, 1));
        period.setTo(QDate(2024, 3, 31));
    }

    // Runs a check through the real run frame, on the property of the fixture.
    template <typename Check> void check(Check &check, const QString *token = &kToken)
    {
        const SearchConsoleProperty property{QString::fromStdString(kSite), kSiteId};
        run.clearChecks(2);
        run.registerCheck(2, QStringLiteral("check"),
                          [&](CheckContext &context) { check.run(context, table, &property, token); });
        run.runCheck(2, 0);
    }

    QStringList logFromStart() const
    {
        const QStringList all = log.messagesInOrder();
        return all.mid(all.indexOf(QStringLiteral("Check started")));
    }
};

} // namespace

class SearchConsoleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // -----------------------------------------------------------------------
    // Requests as sent

    void requestsAsSent()
    {
        Fixture f;
        f.client->queryPage(kToken, kSiteId, f.period, QStringLiteral("https://example.com/sofas/"));
        f.client->queryAllQueries(kToken, kSiteId, f.period, 25000);
        f.client->inspectUrl(kToken, QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/"));
        f.client->publishUrlUpdated(kToken, QStringLiteral("https://example.com/new"));
        f.client->listSites(kToken);

        const auto sent = f.sim.requests();
        QCOMPARE(sent.size(), size_t(5));
        QCOMPARE(sent[0].target, kQueryPath);
        QCOMPARE(sent[0].body,
                 std::string("{\"startDate\":\"2024-03-01\", \"endDate\":\"2024-03-31\", \"dimensions\": [\"QUERY\"], "
                             "\"dimensionFilterGroups\": [{\"filters\": [{\"dimension\": \"PAGE\", \"expression\": "
                             "\"https://example.com/sofas/\",\"operator\": \"EQUALS\"}]}]}"));
        QCOMPARE(sent[1].body,
                 std::string("{\"startDate\":\"2024-03-01\", \"endDate\":\"2024-03-31\", "
                             "\"dimensions\": [\"QUERY\", \"PAGE\"], \"rowLimit\": 25000, \"startRow\": 25000}"));
        QCOMPARE(sent[2].target, kInspectPath);
        QCOMPARE(sent[2].body,
                 std::string("{\"inspectionUrl\": \"https://example.com/\", \"siteUrl\": \"https://example.com/\"}"));
        QCOMPARE(sent[3].target, std::string("/indexing/v3/urlNotifications:publish"));
        QCOMPARE(sent[3].body, std::string("{\"url\": \"https://example.com/new\", \"type\": \"URL_UPDATED\"}"));
        QCOMPARE(sent[4].method, std::string("GET"));
        QCOMPARE(sent[4].target, std::string("/googleapis/webmasters/v3/sites"));

        for (const auto &r : sent) {
            // The program's own scheme word and content type, where Google's
            // reference shows "Bearer" and application/json; no "key".
            QCOMPARE(r.header("Authorization"), "OAuth " + kToken.toStdString());
            QVERIFY(r.query.empty());
            if (r.method == "POST")
                QCOMPARE(r.header("Content-Type"), std::string("text/html"));
        }
        // One line per request under one label, the Indexing API's included
        // (which this simulator does not serve).
        const QString ok = QStringLiteral("Google Search Console - HTTP Code: 200 OK");
        QCOMPARE(f.log.messagesInOrder(),
                 (QStringList{ok, ok, ok, "Google Search Console - HTTP Code: 404 Not Found", ok}));
    }

    // Values are JSON-escaped: a page address with quotes, a backslash or a
    // line break gives valid JSON whose filter is that very address.
    void bodyValuesAreEscaped()
    {
        const QString tricky = QStringLiteral("https://example.com/a\"},{\"dimension\": \"QUERY\\\n\t");
        const QString body =
            GoogleApiClient::pageQueryBody(QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), tricky);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(body.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject filter = doc.object()["dimensionFilterGroups"][0]["filters"][0].toObject();
        QCOMPARE(filter.size(), 3);
        QCOMPARE(filter["expression"].toString(), tricky);
        QCOMPARE(GoogleApiClient::jsonEscaped(QStringLiteral("a\x01") + QChar(0x0410)),
                 QStringLiteral("a\\u0001") + QChar(0x0410));
    }

    void formEncoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("URL-prefix property") << "https://example.com/"
                                             << "https%3A%2F%2Fexample.com%2F";
        QTest::newRow("domain property") << "sc-domain:example.com"
                                         << "sc-domain%3Aexample.com";
        QTest::newRow("kept as they are") << "AZaz09!$'()*-.@_"
                                          << "AZaz09!$'()*-.@_";
        QTest::newRow("blank, plus, tilde") << "a b+c~"
                                            << "a+b%2Bc%7E";
        QTest::newRow("Cyrillic query") << QStringLiteral("купить диван")
                                        << "%D0%BA%D1%83%D0%BF%D0%B8%D1%82%D1%8C+%D0%B4%D0%B8%D0%B2%D0%B0%D0%BD";
    }
    void formEncoding()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(formEncoded(text), encoded);
    }

    void fixedDecimals_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("ratio") << 0.0344 << 2 << "en_US"
                               << "0.03";
        QTest::newRow("decimal comma") << 0.0344 << 2 << "de_DE"
                                       << "0,03";
        QTest::newRow("half away from zero") << 0.125 << 2 << "en_US"
                                             << "0.13";
        QTest::newRow("half as written, below in binary") << 2.675 << 2 << "en_US"
                                                          << "2.68";
        QTest::newRow("whole, half up") << 8.5 << 0 << "en_US"
                                        << "9";
        QTest::newRow("whole, below half") << 8.49 << 0 << "en_US"
                                           << "8";
        QTest::newRow("carry into a new digit") << 99.995 << 2 << "en_US"
                                                << "100.00";
        QTest::newRow("zero") << 0.0 << 2 << "en_US"
                              << "0.00";
        QTest::newRow("tiny") << 0.004 << 2 << "en_US"
                              << "0.00";
        QTest::newRow("negative half") << -0.5 << 0 << "en_US"
                                       << "-1";
        QTest::newRow("negative rounding to zero") << -0.001 << 2 << "en_US"
                                                   << "0.00";
        QTest::newRow("no group separator") << 1234567.891 << 2 << "en_US"
                                            << "1234567.89";
    }
    void fixedDecimals()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QCOMPARE(NumberText::fixed(value, decimals, QLocale(locale)), text);
    }

    // -----------------------------------------------------------------------
    // Google's refusals

    void googleErrors_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("refusal");
        QTest::addColumn<QString>("codeAndMessage");

        QTest::newRow("error object")
            << 403 << "Forbidden"
            << QByteArray("{\"error\":{\"code\":403,\"message\":\"User does not have sufficient permission for "
                          "site 'x'.\",\"status\":\"PERMISSION_DENIED\"}}")
            << true << "Code: 403, User does not have sufficient permission for site 'x'.";
        QTest::newRow("OAuth front end's words")
            << 401 << "Unauthorized"
            << QByteArray("{\"error\":\"invalid_token\",\"error_description\":\"Invalid Value\"}") << true
            << "Code: 401, Invalid Value";
        QTest::newRow("error object without code")
            << 500 << "Internal Server Error" << QByteArray("{\"error\":{\"message\":\"Backend Error\"}}") << true
            << "Code: 500, Backend Error";
        QTest::newRow("proxy page") << 502 << "Bad Gateway" << QByteArray("<html>bad gateway</html>") << true
                                    << "Code: 502, Bad Gateway";
        QTest::newRow("no answer at all") << 500 << "" << QByteArray() << true << "Code: 500, no answer received";
        QTest::newRow("error status, JSON without error")
            << 503 << "Service Unavailable" << QByteArray("{}") << true << "Code: 503, Service Unavailable";
        QTest::newRow("success, not JSON")
            << 200 << "OK" << QByteArray("<html/>") << true << "Code: 200, no usable answer";
        QTest::newRow("data") << 200 << "OK" << QByteArray("{\"responseAggregationType\":\"auto\"}") << false << "";
    }
    void googleErrors()
    {
        QFETCH(int, status);
        QFETCH(QString, reason);
        QFETCH(QByteArray, body);
        QFETCH(bool, refusal);
        QFETCH(QString, codeAndMessage);
        const std::optional<GoogleError> error = GoogleError::of(ExchangeResult{status, reason, body, {}, {}});
        QCOMPARE(error.has_value(), refusal);
        if (error)
            QCOMPARE(error->codeAndMessage(), codeAndMessage);
    }

    // -----------------------------------------------------------------------
    // Property list

    void propertyListSortedAndEncoded()
    {
        Fixture f;
        Accounts::Property domain;
        domain.siteUrl = "sc-domain:example.com";
        Accounts::Property shop;
        shop.siteUrl = "https://shop.example.com/";
        shop.permissionLevel = "siteUnverifiedUser";
        Accounts::Property prefix;
        prefix.siteUrl = kSite;
        f.accounts->setProperties(kUser, {domain, shop, prefix});

        const auto list = SearchConsolePropertyList::read(f.client->listSites(kToken));
        QVERIFY(!list.error);
        QCOMPARE(list.properties.size(), size_t(3));
        QCOMPARE(list.properties[0].siteUrl, QStringLiteral("https://example.com/"));
        QCOMPARE(list.properties[0].propertyId, kSiteId);
        QCOMPARE(list.properties[1].siteUrl, QStringLiteral("https://shop.example.com/"));
        QCOMPARE(list.properties[2].siteUrl, QStringLiteral("sc-domain:example.com"));
        QCOMPARE(list.properties[2].propertyId, QStringLiteral("sc-domain%3Aexample.com"));
    }

    void propertyListAnswers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("properties");
        QTest::addColumn<QString>("error");
        QTest::newRow("no properties: {}") << QByteArray("{}\n") << 200 << 0 << "";
        QTest::newRow("entries without siteUrl are left out")
            << QByteArray(
                   "{\"siteEntry\":[{\"permissionLevel\":\"siteOwner\"},{\"siteUrl\":\"https://a.example/\"},7]}")
            << 200 << 1 << "";
        QTest::newRow("refused token") << QByteArray("{\"error\":{\"code\":401,\"message\":\"Request had invalid "
                                                     "authentication credentials.\",\"status\":\"UNAUTHENTICATED\"}}")
                                       << 401 << 0 << "Code: 401, Request had invalid authentication credentials.";
    }
    void propertyListAnswers()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(int, properties);
        QFETCH(QString, error);
        const auto list = SearchConsolePropertyList::read(ExchangeResult{status, QString(), body, {}, {}});
        QCOMPARE(int(list.properties.size()), properties);
        QCOMPARE(list.error ? list.error->codeAndMessage() : QString(), error);
    }

    void propertyListNotJsonRaisesPlainWords()
    {
        try {
            SearchConsolePropertyList::read(ExchangeResult{502, QStringLiteral("Bad Gateway"), "<html/>", {}, {}});
            QFAIL("no error");
        } catch (const VeltranoError &e) {
            QVERIFY2(e.message().startsWith(
                         QStringLiteral("Google Search Console gave no usable answer (HTTP status 502 Bad Gateway)")),
                     qPrintable(e.message()));
        }
    }

    // -----------------------------------------------------------------------
    // "Check GSC"

    void pageCells_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<std::optional<QStringList>>("cells");
        QTest::addColumn<int>("unreadable");
        const QString e;
        QTest::newRow("page figures, not its top query's")
            << QByteArray(
                   "{\"rows\":[{\"keys\":[\"a\"],\"clicks\":3,\"impressions\":100,\"ctr\":0.03,\"position\":7.5},"
                   "{\"keys\":[\"b\"],\"clicks\":1,\"impressions\":50,\"ctr\":0.02,\"position\":12}]}")
            << std::optional(QStringList{"Yes", "4", "150", "0.03", "9", e, e, e, e}) << 0;
        QTest::newRow("no rows member: no data") << QByteArray("{\"responseAggregationType\":\"auto\"}")
                                                 << std::optional(QStringList{"No", e, e, e, e, e, e, e, e}) << 0;
        QTest::newRow("empty rows: no impressions")
            << QByteArray("{\"rows\":[]}") << std::optional(QStringList{"Yes", "0", "0", "0.00", "0", e, e, e, e}) << 0;
        QTest::newRow("whole numbers written with a fraction")
            << QByteArray("{\"rows\":[{\"clicks\":2.0,\"impressions\":8.0,\"ctr\":0.25,\"position\":1.0}]}")
            << std::optional(QStringList{"Yes", "2", "8", "0.25", "1", e, e, e, e}) << 0;
        QTest::newRow("unreadable elements count for nothing")
            << QByteArray("{\"rows\":[5,{\"clicks\":1.5,\"impressions\":10,\"position\":1},"
                          "{\"clicks\":1,\"impressions\":10},{\"clicks\":1,\"impressions\":20,\"position\":4}]}")
            << std::optional(QStringList{"Yes", "1", "20", "0.05", "4", e, e, e, e}) << 3;
        QTest::newRow("rows not a list") << QByteArray("{\"rows\":{}}") << std::optional<QStringList>() << 0;
    }
    void pageCells()
    {
        QFETCH(QByteArray, answer);
        QFETCH(std::optional<QStringList>, cells);
        QFETCH(int, unreadable);
        int counted = -1;
        const JsonDocument doc = JsonDocument::parse(answer);
        QCOMPARE(SearchConsolePerformanceCheck::pageCells(doc.root(), &counted), cells);
        QCOMPARE(counted, unreadable);
    }

    // Four pages: one with two queries, one without data, one Google refuses
    // (403), one whose address holds a quote. The refused row is emptied, not
    // "No"; the run goes on and completes.
    void performanceCheckFillsEveryRow()
    {
        Fixture f;
        const QString quoted = QStringLiteral("https://example.com/\"quoted\"/");
        f.table.appendRows({QStringLiteral("https://example.com/sofas/"), QStringLiteral("https://example.com/"),
                            QStringLiteral("https://example.com/refused/"), quoted});
        f.table.setRowCells(1, {"", "", "", "", "", "stale", "stale", "stale", "stale"});
        f.table.setRowCells(2, {"Yes", "9", "9", "9", "9", "", "", "", ""});
        // Google refuses the third page only.
        f.events.onCall = [&](int call) {
            if (call == 2)
                f.sim.queueResponse(
                    "POST", kQueryPath,
                    sim::SearchConsoleModule::errorAnswer(403, "User does not have sufficient permission for site 'x'.",
                                                          "PERMISSION_DENIED"));
        };
        SearchConsolePerformanceCheck check(*f.client, f.period);
        f.check(check);

        const QString e;
        QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"Yes", "4", "150", "0.03", "9", e, e, e, e}));
        QCOMPARE(f.table.rowTexts(1).mid(1), (QStringList{"No", e, e, e, e, e, e, e, e}));
        QCOMPARE(f.table.rowTexts(2).mid(1), QStringList(9, e));
        QCOMPARE(f.table.rowTexts(3).mid(1), (QStringList{"No", e, e, e, e, e, e, e, e}));
        const QString ok = QStringLiteral("Google Search Console - HTTP Code: 200 OK");
        QCOMPARE(f.logFromStart(),
                 (QStringList{"Check started", ok, ok, "Google Search Console - HTTP Code: 403 Forbidden",
                              "Google Search Console Error - Code: 403, User does not have sufficient permission "
                              "for site 'x'. (3/4)",
                              ok, "Check finished"}));
        QVERIFY(f.run.flags().reportDataReady);

        // The quoted address went as valid JSON, filtering on itself.
        const auto sent = f.sim.requestsTo(kQueryPath);
        QCOMPARE(sent.size(), size_t(4));
        const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(sent[3].body)).object();
        QCOMPARE(body["dimensionFilterGroups"][0]["filters"][0]["expression"].toString(), quoted);
        // Every row advanced the bar.
        QCOMPARE(f.run.progressPosition(), 4);
        // The trace holds each page with its answer.
        QVERIFY(f.trace.text().contains(QStringLiteral("\nhttps://example.com/sofas/\n\r\n\r{")));
    }

    // The days are read for every request: a period changed during the run
    // applies from the next page on.
    // The page report's rows as Google documents them (dimension "page"),
    // and the ones a whole-site check must not take.
    void sitePageRows_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("firstCells"); // of https://example.com/a
        QTest::addColumn<QList<int>>("counts");      // rows, added, repeats, unreadable
        QTest::newRow("documented answer")
            << QByteArray("{\"rows\":[{\"keys\":[\"https://example.com/a\"],\"clicks\":3.0,\"impressions\":100.0,"
                          "\"ctr\":0.03,\"position\":7.49},{\"keys\":[\"https://example.com/b\"],\"clicks\":0,"
                          "\"impressions\":0,\"ctr\":0,\"position\":0}],\"responseAggregationType\":\"byPage\"}")
            << QStringList{"Yes", "3", "100", "0.03", "7"} << QList<int>{2, 2, 0, 0};
        QTest::newRow("the same page in another spelling is a repeat")
            << QByteArray("{\"rows\":[{\"keys\":[\"https://example.com/a\"],\"clicks\":3,\"impressions\":100,\"position\":2},"
                          "{\"keys\":[\"HTTPS://Example.COM:443/a#top\"],\"clicks\":9,\"impressions\":9,\"position\":1}]}")
            << QStringList{"Yes", "3", "100", "0.03", "2"} << QList<int>{2, 1, 1, 0};
        QTest::newRow("rows without a page or its numbers are skipped")
            << QByteArray("{\"rows\":[{\"clicks\":1,\"impressions\":2,\"position\":1},"
                          "{\"keys\":[\"https://example.com/c\"],\"clicks\":\"1\",\"impressions\":2,\"position\":1},"
                          "{\"keys\":[\"https://example.com/d\"],\"clicks\":1.5,\"impressions\":2,\"position\":1},"
                          "{\"keys\":[\"https://example.com/e\"],\"clicks\":1,\"impressions\":2},7,"
                          "{\"keys\":[\"https://example.com/a\"],\"clicks\":1,\"impressions\":4,\"position\":3.5}]}")
            << QStringList{"Yes", "1", "4", "0.25", "4"} << QList<int>{6, 1, 0, 5};
        QTest::newRow("no rows: past the last page") << QByteArray("{\"responseAggregationType\":\"byPage\"}")
                                                     << QStringList() << QList<int>{0, 0, 0, 0};
    }
    void sitePageRows()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, firstCells);
        QFETCH(QList<int>, counts);
        SitePageFigures pages;
        const JsonDocument doc = JsonDocument::parse(answer);
        const SearchConsoleSiteCheck::PageRead read = SearchConsoleSiteCheck::readAnswer(doc.root(), pages);
        QVERIFY(read.usable);
        QCOMPARE((QList<int>{read.rows, read.added, read.repeats, read.unreadable}), counts);
        const QStringList *cells = pages.find(UrlKey::of(QStringLiteral("https://example.com/a")));
        QCOMPARE(cells ? cells->mid(0, 5) : QStringList(), firstCells);
        if (cells)
            QCOMPARE(cells->size(), SearchConsoleCheck::kCellCount);

        SitePageFigures none;
        QVERIFY(!SearchConsoleSiteCheck::readAnswer(JsonDocument::parse("{\"rows\":{}}").root(), none).usable);
    }

    // One request for the whole list: matched rows (in any spelling of their
    // address) get the report's page figures, the others the no-data cells,
    // and rows of another site stay as they were.
    void siteCheckFillsRowsFromThePageReport()
    {
        Fixture f;
        f.table.appendRows({QStringLiteral("HTTPS://EXAMPLE.COM/sofas/#reviews"), QStringLiteral("https://example.com/"),
                            QStringLiteral("https://example.com/chairs/"), QStringLiteral("https://other.org/sofas/")});
        f.table.setRowCells(1, {"Yes", "9", "9", "9", "9", "stale", "stale", "stale", "stale"});
        f.table.setRowCells(3, {"Yes", "1", "1", "1", "1", "", "", "", ""});
        SearchConsoleSiteCheck check(*f.client, f.period);
        f.check(check);

        const QString e;
        QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"Yes", "4", "150", "0.03", "9", e, e, e, e}));
        QCOMPARE(f.table.rowTexts(1).mid(1), (QStringList{"No", e, e, e, e, e, e, e, e}));
        QCOMPARE(f.table.rowTexts(2).mid(1), (QStringList{"Yes", "0", "40", "0.00", "20", e, e, e, e}));
        QCOMPARE(f.table.rowTexts(3).mid(1), (QStringList{"Yes", "1", "1", "1", "1", e, e, e, e}));
        const auto sent = f.sim.requestsTo(kQueryPath);
        QCOMPARE(sent.size(), size_t(1));
        const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(sent[0].body)).object();
        QCOMPARE(body["dimensions"].toArray(), QJsonArray({"PAGE"}));
        QCOMPARE(body["rowLimit"].toInt(), 25000);
        QCOMPARE(body["startRow"].toInt(), 0);
        QCOMPARE(body["startDate"].toString(), QStringLiteral("2024-03-01"));
        QVERIFY(f.log.messagesInOrder().contains(
            QStringLiteral("Google Search Console: 2 pages in the site's report (1 requests), 2 of 3 rows matched")));
        QVERIFY(f.run.flags().reportDataReady);
        QCOMPARE(f.run.progressPosition(), 3);
    }

    // A report longer than a request pages on with startRow; one that brings
    // nothing new at a startRow would never end: the paging stops there with
    // a message and the rows are filled from what was read.
    void siteCheckPagesThroughTheReport()
    {
        Fixture f;
        const auto pageRow = [](int i) {
            const std::string n = std::to_string(i);
            return "{\"keys\":[\"https://example.com/p" + n + "\"],\"clicks\":" + n +
                   ",\"impressions\":100,\"position\":3}";
        };
        const std::string path = kQueryPath;
        f.sim.queueResponse("POST", path, sim::Response::json("{\"rows\":[" + pageRow(0) + "," + pageRow(1) + "]}"));
        f.sim.queueResponse("POST", path, sim::Response::json("{\"rows\":[" + pageRow(2) + "," + pageRow(3) + "]}"));
        f.sim.queueResponse("POST", path, sim::Response::json("{\"rows\":[" + pageRow(4) + "]}"));
        for (int i = 0; i < 6; ++i)
            f.table.appendRows({QStringLiteral("https://example.com/p%1").arg(i)});
        SearchConsoleSiteCheck check(*f.client, f.period, 2);
        f.check(check);
        const auto sent = f.sim.requestsTo(path);
        QCOMPARE(sent.size(), size_t(3));
        for (int i = 0; i < 3; ++i) {
            const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(sent[size_t(i)].body)).object();
            QCOMPARE(body["startRow"].toInt(), 2 * i);
            QCOMPARE(body["rowLimit"].toInt(), 2);
        }
        for (int i = 0; i < 5; ++i)
            QCOMPARE(f.table.cell(i, 2), QString::number(i));
        QCOMPARE(f.table.cell(5, 1), QStringLiteral("No"));
        QVERIFY(f.prompt.texts.isEmpty());

        // The same two pages at every startRow.
        Fixture g;
        for (int i = 0; i < 4; ++i)
            g.sim.queueResponse("POST", path,
                                sim::Response::json("{\"rows\":[" + pageRow(0) + "," + pageRow(1) + "]}"));
        g.table.appendRows({QStringLiteral("https://example.com/p1"), QStringLiteral("https://example.com/p7")});
        SearchConsoleSiteCheck looping(*g.client, g.period, 2);
        g.check(looping);
        QCOMPARE(g.sim.requestsTo(path).size(), size_t(2));
        QCOMPARE(g.table.cell(0, 2), QStringLiteral("1"));
        QCOMPARE(g.table.cell(1, 1), QStringLiteral("No"));
        QCOMPARE(g.prompt.texts.size(), 1);
        QVERIFY2(g.prompt.texts[0].contains(QStringLiteral("brought no new page at row 3")),
                 qPrintable(g.prompt.texts[0]));
        QVERIFY(g.log.messagesInOrder().contains(
            QStringLiteral("Google Search Console: 2 page rows repeat a page already listed and were skipped")));
    }

    // Any refusal ends the whole-site check before a row is written.
    void siteCheckRefusalWritesNoRow()
    {
        Fixture f;
        f.sim.queueResponse("POST", kQueryPath,
                            sim::SearchConsoleModule::errorAnswer(
                                403, "User does not have sufficient permission for site 'x'.", "PERMISSION_DENIED"));
        f.table.appendRows({QStringLiteral("https://example.com/sofas/")});
        f.table.setRowCells(0, {"Yes", "9", "9", "9", "9", "", "", "", ""});
        SearchConsoleSiteCheck check(*f.client, f.period);
        f.check(check);
        QCOMPARE(f.table.cell(0, 2), QStringLiteral("9"));
        QCOMPARE(f.prompt.texts,
                 QStringList{"Google Search Console Error - Code: 403, User does not have sufficient permission "
                             "for site 'x'."});
        QVERIFY(!f.run.flags().reportDataReady);
    }

    void performanceCheckReadsThePeriodPerRequest()
    {
        Fixture f;
        f.table.appendRows({QStringLiteral("https://example.com/a"), QStringLiteral("https://example.com/b")});
        f.events.onCall = [&](int call) {
            if (call == 1)
                f.period.setFrom(QDate(2024, 2, 29));
        };
        SearchConsolePerformanceCheck check(*f.client, f.period);
        f.check(check);
        const auto sent = f.sim.requestsTo(kQueryPath);
        QCOMPARE(sent.size(), size_t(2));
        QVERIFY(sent[0].body.starts_with("{\"startDate\":\"2024-03-01\", \"endDate\":\"2024-03-31\""));
        QVERIFY(sent[1].body.starts_with("{\"startDate\":\"2024-02-29\", \"endDate\":\"2024-03-31\""));
    }

    // A refused token or a spent quota ends the check: the rest would fail
    // alike. The row in hand keeps its cells; the error is the run's.
    void refusedTokenOrSpentQuotaEndsTheCheck_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("quota");
        QTest::addColumn<int>("rowsWritten");
        QTest::addColumn<QString>("lineStart");
        QTest::addColumn<int>("tries"); // of the refused page: a per-minute quota is waited out five times
        QTest::newRow("401") << "ya29.revoked" << -1 << 0
                             << "Google Search Console Error - Code: 401, Request had invalid authentication" << 1;
        QTest::newRow("429 at the third page")
            << QString(kToken) << 2 << 2 << "Google Search Console Error - Code: 429, Quota exceeded" << 5;
    }
    void refusedTokenOrSpentQuotaEndsTheCheck()
    {
        QFETCH(QString, token);
        QFETCH(int, quota);
        QFETCH(int, rowsWritten);
        QFETCH(QString, lineStart);
        QFETCH(int, tries);
        Fixture f;
        f.accounts->setRequestsBeforeQuotaExceeded(quota);
        for (int i = 0; i < 5; ++i)
            f.table.appendRows({QStringLiteral("https://example.com/p%1").arg(i)});
        SearchConsolePerformanceCheck check(*f.client, f.period);
        f.check(check, &token);

        QCOMPARE(f.sim.requestsTo(kQueryPath).size(), size_t(rowsWritten + tries));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(f.table.cell(i, 1), i < rowsWritten ? QStringLiteral("No") : QString());
        QCOMPARE(f.prompt.texts.size(), 1);
        QVERIFY2(f.prompt.texts[0].startsWith(lineStart), qPrintable(f.prompt.texts[0]));
        QCOMPARE(f.log.messagesInOrder().last(), f.prompt.texts[0]);
        QVERIFY(!f.log.messagesInOrder().contains(QStringLiteral("Check finished")));
        QVERIFY(!f.run.flags().reportDataReady);
    }

    void checkNeedsPropertyRowsAndAccount()
    {
        Fixture f;
        SearchConsolePerformanceCheck check(*f.client, f.period);
        // No rows: nothing asked, nothing said.
        f.check(check);
        QVERIFY(f.prompt.texts.isEmpty());

        f.table.appendRows({QStringLiteral("https://example.com/")});
        f.check(check, nullptr);
        QCOMPARE(f.prompt.texts, QStringList{"Please select Token from list to connect"});

        f.run.clearChecks(2);
        f.run.registerCheck(2, QStringLiteral("check"),
                            [&](CheckContext &context) { check.run(context, f.table, nullptr, &kToken); });
        f.run.runCheck(2, 0);
        QCOMPARE(f.prompt.texts.last(), QStringLiteral("Please select Website from Poject list"));
        QCOMPARE(f.sim.requestCount(), size_t(0));
    }

    // -----------------------------------------------------------------------
    // "URL Inspection API"

    void inspectionCheck()
    {
        Fixture f;
        Accounts::Property property;
        property.siteUrl = kSite;
        property.pages = {"https://example.com/", "https://example.com/new/"};
        property.inspections["https://example.com/"] =
            Accounts::Inspection::indexed("https://example.com/", "2022-03-04T05:06:07Z");
        f.accounts->setProperties(kUser, {property});
        f.table.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/never/"),
                            QStringLiteral("https://elsewhere.example/")});
        for (int row = 0; row < 3; ++row)
            f.table.setRowCells(row, {"Yes", "4", "150", "0.03", "9", "", "", "", ""});

        SearchConsoleInspectionCheck check(*f.client);
        f.check(check);

        const QString e;
        QCOMPARE(f.table.rowTexts(0).mid(1),
                 (QStringList{e, e, e, e, e, "Submitted and indexed", "ALLOWED", "INDEXING_ALLOWED", "2022-03-04"}));
        QCOMPARE(f.table.rowTexts(1).mid(1),
                 (QStringList{e, e, e, e, e, "URL is unknown to Google", "ROBOTS_TXT_STATE_UNSPECIFIED",
                              "INDEXING_STATE_UNSPECIFIED", e}));
        // A page outside the property is not sent and keeps its cells.
        QCOMPARE(f.table.rowTexts(2).mid(1), (QStringList{"Yes", "4", "150", "0.03", "9", e, e, e, e}));
        const QStringList log = f.logFromStart();
        QVERIFY(log.contains(QStringLiteral("Google Search Console Error Get Object Data: 2/3")));
        QVERIFY(log.contains(QStringLiteral("1 of 3 rows are not on https://example.com/ and were not checked")));
        QCOMPARE(log.last(), QStringLiteral("Check finished"));
        const auto sent = f.sim.requestsTo(kInspectPath);
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0].body,
                 std::string("{\"inspectionUrl\": \"https://example.com/\", \"siteUrl\": \"https://example.com/\"}"));
    }

    // -----------------------------------------------------------------------
    // Several pages in flight ("Parallel requests")

    // Four pages at a time fill the same cells and write the same log as one
    // after another, refused rows included.
    void parallelRunMatchesSequential()
    {
        QStringList logs[2];
        QList<QStringList> tables[2];
        for (const int parallel : {1, 4}) {
            Fixture f;
            f.run.setParallelRequests(parallel);
            for (int i = 0; i < 14; ++i) {
                // Every fifth page is one the service refuses.
                f.table.appendRows({i == 1       ? QStringLiteral("https://example.com/sofas/")
                                    : i % 5 == 3 ? QStringLiteral("https://example.com/refused/%1").arg(i)
                                                 : QStringLiteral("https://example.com/p%1").arg(i)});
            }
            f.sim.addGate("/googleapis/", [](const sim::RecordedRequest &request) -> std::optional<sim::Response> {
                if (request.body.find("/refused/") == std::string::npos)
                    return std::nullopt;
                return sim::Response::json(R"({"error": {"code": 403, "message": "No access", "status": "PERMISSION_DENIED"}})", 403);
            });
            SearchConsolePerformanceCheck check(*f.client, f.period);
            f.check(check);
            const int at = parallel == 1 ? 0 : 1;
            logs[at] = f.logFromStart();
            for (int row = 0; row < f.table.rowCount(); ++row)
                tables[at] << f.table.rowTexts(row);
        }
        QCOMPARE(logs[1], logs[0]);
        QCOMPARE(tables[1], tables[0]);
        QVERIFY(logs[0].contains(QStringLiteral("Google Search Console Error - Code: 403, No access (4/14)")));
        QCOMPARE(tables[0][1].mid(1, 3), (QStringList{"Yes", "4", "150"}));
    }

    // The simulator never sees more requests at once than the setting. Each
    // answer takes longer than four of URL Inspection's paced turns, so the
    // run does reach four.
    void parallelRequestsStayWithinTheSetting()
    {
        Fixture f;
        f.run.setParallelRequests(4);
        std::atomic<int> now{0};
        std::atomic<int> most{0};
        f.sim.addGate("/searchconsole/", [&](const sim::RecordedRequest &) -> std::optional<sim::Response> {
            const int in = ++now;
            int seen = most;
            while (in > seen && !most.compare_exchange_weak(seen, in)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(450));
            --now;
            return std::nullopt;
        });
        for (int i = 0; i < 16; ++i)
            f.table.appendRows({QStringLiteral("https://example.com/p%1").arg(i)});
        SearchConsoleInspectionCheck check(*f.client);
        f.check(check);
        QCOMPARE(most.load(), 4);
        QCOMPARE(f.sim.requestsTo(kInspectPath).size(), size_t(16));
        QCOMPARE(f.logFromStart().last(), QStringLiteral("Check finished"));
    }

    // URL Inspection's 600 a minute, kept by pacing: against a quota of that
    // rate (10 in a window of 0.9 s) four pages at a time meet no 429, while
    // the same run unpaced would spend the window's quota at once.
    void pacingKeepsThePerMinuteLimit()
    {
        Fixture f;
        f.run.setParallelRequests(4);
        const auto ration = std::make_shared<sim::ServiceRation>(sim::ServiceRation::Style::GoogleWithErrorsList,
                                                                 "searchconsole.googleapis.com");
        ration->install(f.sim, "/searchconsole");
        sim::ServiceRation::Settings quota;
        quota.perMinute = 10;
        quota.minuteMs = 900;
        ration->setSettings(quota);
        for (int i = 0; i < 24; ++i)
            f.table.appendRows({QStringLiteral("https://example.com/p%1").arg(i)});
        SearchConsoleInspectionCheck check(*f.client);
        f.check(check);

        QCOMPARE(ration->counts().seen, 24LL);
        QCOMPARE(ration->counts().today, 24LL); // none refused
        for (const QString &line : f.logFromStart())
            QVERIFY2(!line.contains(QStringLiteral("429")), qPrintable(line));
        QCOMPARE(f.table.cell(23, 6), QStringLiteral("URL is unknown to Google"));
    }

    void inspectionCells_data()
    {
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<bool>("complete");
        QTest::newRow("all four") << QByteArray(
                                         "{\"indexStatusResult\":{\"coverageState\":\"c\",\"robotsTxtState\":\"r\","
                                         "\"indexingState\":\"i\",\"lastCrawlTime\":\"2022-01-15T10:20:30Z\"}}")
                                  << QStringList{"c", "r", "i", "2022-01-15"} << true;
        QTest::newRow("crawl time without T") << QByteArray("{\"indexStatusResult\":{\"coverageState\":\"c\","
                                                            "\"robotsTxtState\":\"r\",\"indexingState\":\"i\","
                                                            "\"lastCrawlTime\":\"2022-01-15\"}}")
                                              << QStringList{"c", "r", "i", ""} << true;
        QTest::newRow("a state left out, the rest shown")
            << QByteArray("{\"indexStatusResult\":{\"robotsTxtState\":\"r\",\"indexingState\":\"i\"}}")
            << QStringList{"", "r", "i", ""} << false;
        QTest::newRow("no index status") << QByteArray("{\"inspectionResultLink\":\"x\"}")
                                         << QStringList{"", "", "", ""} << false;
    }
    void inspectionCells()
    {
        QFETCH(QByteArray, result);
        QFETCH(QStringList, states);
        QFETCH(bool, complete);
        const JsonDocument doc = JsonDocument::parse(result);
        bool wasComplete = !complete;
        const QStringList cells = SearchConsoleInspectionCheck::inspectionCells(doc.root(), &wasComplete);
        QCOMPARE(cells.mid(0, 5), QStringList(5, QString()));
        QCOMPARE(cells.mid(5), states);
        QCOMPARE(wasComplete, complete);
    }

    // -----------------------------------------------------------------------
    // Query list

    void queryListPages_data()
    {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<QStringList>("startRows");
        QTest::newRow("30 001 pairs") << 30001 << QStringList{"0", "25000"};
        QTest::newRow("exactly 25 000") << 25000 << QStringList{"0", "25000"};
        QTest::newRow("a few") << 3 << QStringList{"0"};
        QTest::newRow("none") << 0 << QStringList{"0"};
    }
    void queryListPages()
    {
        QFETCH(int, pairs);
        QFETCH(QStringList, startRows);
        Fixture f;
        f.accounts->setProperties(kUser, {Accounts::generatedProperty(kSite, 400, size_t(pairs))});

        const auto list = SearchConsoleQueries::fetch(*f.client, kToken, kSiteId, f.period);

        QStringList sentRows;
        for (const auto &r : f.sim.requestsTo(kQueryPath)) {
            const QJsonObject body = QJsonDocument::fromJson(QByteArray::fromStdString(r.body)).object();
            QCOMPARE(body["rowLimit"].toInt(), 25000);
            sentRows << QString::number(body["startRow"].toInt());
        }
        QCOMPARE(sentRows, startRows);
        QVERIFY(!list.error);
        QCOMPARE(int(list.rows.size()), pairs);
        QVERIFY(list.unreadable.empty());
        if (pairs > 0) {
            QCOMPARE(list.rows.front().size(), 6);
            QCOMPARE(list.rows.back().size(), 6);
        }
    }

    void queryRowTexts()
    {
        const JsonDocument doc = JsonDocument::parse(
            QByteArray("{\"rows\":[{\"keys\":[\"купить "
                       "диван\",\"https://example.com/диваны/\"],\"clicks\":12.0,\"impressions\":1234,"
                       "\"ctr\":0.0097244732576985422,\"position\":3.5},"
                       "{\"keys\":[\"one key\"],\"clicks\":1,\"impressions\":1,\"ctr\":1,\"position\":1},"
                       "{\"keys\":[\"q\",\"https://example.com/"
                       "\"],\"clicks\":1,\"impressions\":3,\"ctr\":0.125,\"position\":2.4999},"
                       "{\"keys\":[\"q2\",\"https://example.com/\"],\"clicks\":1,\"impressions\":3,\"position\":2}]}"));
        SearchConsoleQueries::Result result;
        QCOMPARE(SearchConsoleQueries::appendRows(doc.root().requireMember("rows"), 25001, result), 4);
        QCOMPARE(result.rows.size(), size_t(2));
        QCOMPARE(result.rows[0],
                 (QStringList{"купить диван", "https://example.com/диваны/", "12", "1234", "0.01", "4"}));
        QCOMPARE(result.rows[1], (QStringList{"q", "https://example.com/", "1", "3", "0.13", "2"}));
        QCOMPARE(result.unreadable, (std::vector<int>{25002, 25004}));
        QCOMPARE(result.elements, 4);
    }

    void queryListRefusals()
    {
        Fixture f;
        f.accounts->setProperties(kUser, {Accounts::generatedProperty(kSite, 400, 30001)});
        // The second page is refused: nothing of the first is kept.
        f.accounts->setRequestsBeforeQuotaExceeded(1);
        auto list = SearchConsoleQueries::fetch(*f.client, kToken, kSiteId, f.period);
        QCOMPARE(list.requests, 2);
        QVERIFY(list.error);
        QCOMPARE(list.error->code, QStringLiteral("429"));
        QCOMPARE(list.error->status, QStringLiteral("RESOURCE_EXHAUSTED"));
        QVERIFY(list.rows.empty());

        // An answer that is not JSON is said in plain words (here from a
        // server that stays down through every try).
        f.sim.setResponse("POST", kQueryPath, sim::Response::text("<html>down</html>", 503));
        QVERIFY_THROWS_EXCEPTION(VeltranoError, SearchConsoleQueries::fetch(*f.client, kToken, kSiteId, f.period));
    }

    // -----------------------------------------------------------------------
    // Trends

    void trendRequestAndChart()
    {
        Fixture f;
        f.trendsService.setSeries("купить диван", {{"2021-12-19", 47}, {"2021-12-26", 100}, {"2022-01-02", 0}});
        const auto chart = f.trends->fetch(QStringLiteral("купить диван"));
        QCOMPARE(
            f.sim.requests().back().target,
            std::string("/trends?query=%D0%BA%D1%83%D0%BF%D0%B8%D1%82%D1%8C+%D0%B4%D0%B8%D0%B2%D0%B0%D0%BD&lang=us"));
        QVERIFY(f.sim.requests().back().header("Authorization").empty());
        QVERIFY(chart);
        QCOMPARE(chart->title, QStringLiteral("Google Trends for \"купить диван\" (last 5 years)"));
        QCOMPARE(chart->points.size(), size_t(3));
        QCOMPARE(chart->points[1].label, QStringLiteral("2021-12-26"));
        QCOMPARE(chart->points[1].value, qint64(100));
        QVERIFY(chart->error.isEmpty());
        QCOMPARE(f.log.messagesInOrder().last(), QStringLiteral("Google Trends - HTTP Code: 200 OK"));

        f.trendsService.setSeries("rare", {});
        QCOMPARE(f.trends->fetch(QStringLiteral("rare"))->title,
                 QStringLiteral("Google Trends for \"rare\" (No data)"));
    }

    void trendAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("error");
        QTest::newRow("a value that is not whole stops the chart there")
            << 200
            << QByteArray("{\"data\":[{\"date\":\"a\",\"value\":1},{\"date\":\"b\",\"value\":2.5},{\"date\":\"c\","
                          "\"value\":3}]}")
            << 1 << "'2.5' is not a valid integer value";
        QTest::newRow("an element without a date")
            << 200 << QByteArray("{\"data\":[{\"value\":1}]}") << 0 << "Value 'date' not found";
    }
    void trendAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, points);
        QFETCH(QString, error);
        const AreaChartData chart = GoogleTrends::read(QStringLiteral("q"), ExchangeResult{status, "OK", body, {}, {}});
        QCOMPARE(int(chart.points.size()), points);
        QCOMPARE(chart.error, error);
    }

    void trendFailures()
    {
        Fixture f;
        // An empty answer: nothing to draw, the chart keeps what it shows.
        f.sim.queueResponse("GET", "/trends", sim::Response::text("", 200));
        QVERIFY(!f.trends->fetch(QStringLiteral("q")));
        // No "data": said with the service's own words.
        f.sim.queueResponse("GET", "/trends", sim::Response::json("{\"error\":\"query is required\"}", 400));
        try {
            f.trends->fetch(QStringLiteral("q"));
            QFAIL("no error");
        } catch (const VeltranoError &e) {
            QCOMPARE(e.message(),
                     QStringLiteral("Value 'data' not found\nquery is required (HTTP status 400 Bad Request)"));
        }
        // No answer at all, through every try, is an error, not an empty chart.
        sim::Response dropped;
        dropped.fault = sim::Fault::CloseWithoutAnswer;
        f.sim.setResponse("GET", "/trends", dropped);
        QVERIFY_THROWS_EXCEPTION(VeltranoError, f.trends->fetch(QStringLiteral("q")));
    }
};

QTEST_GUILESS_MAIN(SearchConsoleTest)
#include "tst_searchconsole.moc"
