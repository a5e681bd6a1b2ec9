// Google Analytics in the core against the simulated service over real
// sockets: the page path and filter of a page address, the cell formats,
// the mapping of totals to columns, the account summary reader, "Check GA"
// through the run frame, and the simulated v3 service itself.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/analytics/AnalyticsCheck.h"
#include "services/analytics/AnalyticsClient.h"
#include "services/analytics/AnalyticsSiteCheck.h"
#include "services/shared/SitePageFigures.h"
#include "services/analytics/AnalyticsSummary.h"

#include "SimServer.h"
#include "services/AnalyticsModule.h"
#include "services/TokenRegistry.h"
#include "support/ServiceTestFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

using namespace veltrano;
using Module = sim::AnalyticsModule;
using testing::ServiceTestFixture;

namespace {

constexpr long long UserId = 7001;
constexpr long long OtherUserId = 7002;
const QString Token = QStringLiteral("ya29.analytics-unit");
const QString OtherToken = QStringLiteral("ya29.analytics-other");
const QString NoScopeToken = QStringLiteral("ya29.analytics-noscope");
const QString DataPath = QStringLiteral("/googleapis/analytics/v3/data/ga");

Module::PageTotals totals(double users, double pageviews, double sessions, double duration, double bounce,
                          double perSession)
{
    return {users, pageviews, sessions, duration, bounce, perSession};
}

Module::View view(const std::string &id, const std::string &name, std::map<std::string, Module::PageTotals> pages = {})
{
    Module::View v;
    v.id = id;
    v.name = name;
    v.pages = std::move(pages);
    return v;
}

// Two accounts: the first with two properties (the first with two views,
// the second without views), the second, past 32-bit ids, with a Cyrillic
// name.
std::vector<Module::Account> accounts()
{
    Module::Account first{"1001", "First account", {}};
    first.properties.push_back(
        {"UA-1001-1", "2001", "example.com", "https://example.com",
         {view("11112222", "All Web Site Data",
               {{"/blog/post?p=2", totals(120, 340, 150, 125.0, 45.4545, 2.96)},
                {"/A", totals(5, 6, 7, 59.5, 10, 1)},
                {"/", totals(1000, 2000, 1500, 3599.4, 50, 1.3333)},
                {"/a,b;c", totals(3, 4, 5, 3600, 0, 0.8)}}),
          view("11112223", "Blog")}});
    first.properties.push_back({"UA-1001-2", "2002", "No views", "https://novi.example.com", {}});
    Module::Account second{"3000000001", "Мебель «Уют»", {}};
    second.properties.push_back(
        {"UA-3000000001-1", "4294967296", "пример.рф", "https://xn--e1afmkfd.xn--p1ai",
         {view("4294967297", "Все данные", {{"/", totals(1, 1, 1, 1, 1, 1)}})}});
    return {first, second};
}

struct Fixture : ServiceTestFixture<> {
    Module module{tokens};
    std::unique_ptr<AnalyticsClient> client;
    ReportTable table{ServiceId::Analytics};

    Fixture()
    {
        module.install(sim, "/googleapis");
        module.setAccounts(UserId, accounts());
        module.setAccounts(OtherUserId, {});
        module.acceptToken(Token.toStdString(), UserId);
        module.acceptToken(OtherToken.toStdString(), OtherUserId);
        module.acceptToken(NoScopeToken.toStdString(), UserId, "https://www.googleapis.com/auth/webmasters");
        sim.start();
        client = std::make_unique<AnalyticsClient>(exchange, simUrl(QStringLiteral("/googleapis")));
        run.setTable(3, &table);
    }

    // "Check URL" on the Google Analytics report through the real run frame.
    void check(qint64 viewId = 11112222, const QString &from = QStringLiteral("2024-03-01"),
               const QString &to = QStringLiteral("2024-03-31"))
    {
        AnalyticsCheck gaCheck(*client);
        run.registerCheck(3, QStringLiteral("Check GA"), [&](CheckContext &context) {
            // No website URL: every row is sent.
            gaCheck.run(context, table, {viewId, from, to, [] { return Token; }, QString()});
        });
        run.markApiConnected();
        run.checkUrl(3);
    }

    JsonDocument get(const QString &url, const QString &token = Token)
    {
        return JsonDocument::parse(client->get(token, url).body);
    }
    QString reportUrl(const QString &path, const QString &metrics = AnalyticsClient::kMetrics) const
    {
        QString url = client->reportUrl(11112222, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), path);
        return url.replace(AnalyticsClient::kMetrics, metrics);
    }};

QStringList cellsOf(const QByteArray &json)
{
    const JsonDocument doc = JsonDocument::parse(json);
    const std::optional<QStringList> cells = AnalyticsCheck::totalsCells(doc.root());
    return cells ? *cells : QStringList{QStringLiteral("<unusable>")};
}

ExchangeResult answer(const QByteArray &body, int status = 200)
{
    ExchangeResult result;
    result.status = status;
    result.reason = status == 200 ? QStringLiteral("OK") : QStringLiteral("Bad Request");
    result.body = body;
    result.text = QString::fromUtf8(body);
    return result;
}

} // namespace

class TestAnalytics : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void pagePath_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("path");
        QTest::newRow("www and query") << "https://www.example.com/blog/post?p=2" << "/blog/post?p=2";
        QTest::newRow("upper case prefixes") << "HTTP://WWW.EXAMPLE.COM/A" << "/A";
        QTest::newRow("no path") << "https://example.com" << "/";
        QTest::newRow("root") << "https://example.com/" << "/";
        QTest::newRow("www inside the path") << "https://example.com/www.file" << "/www.file";
        QTest::newRow("address in the query") << "https://example.com/go?to=http://x" << "/go?to=http://x";
        QTest::newRow("query without path") << "https://example.com?a=1" << "/?a=1";
        QTest::newRow("fragment without path") << "http://example.com#top" << "/#top";
        QTest::newRow("no scheme") << "www.example.com/x/" << "/x/";
        QTest::newRow("host named www only once") << "https://www.www.example.com/p" << "/p";
        QTest::newRow("encoded path kept") << "https://пример.рф/%D0%BA?q=a+b" << "/%D0%BA?q=a+b";
    }
    void pagePath()
    {
        QFETCH(QString, url);
        QFETCH(QString, path);
        QCOMPARE(AnalyticsClient::pagePath(url), path);
    }

    // The value as the service reads it back: escapes for the filter
    // syntax, everything else as written.
    void filterValue_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("comma and semicolon") << "/a,b;c" << "/a\\,b\\;c";
        QTest::newRow("backslash") << "/a\\b" << "/a\\\\b";
        QTest::newRow("ampersand hash plus blank") << "/a?x=1&y=2#f+g h" << "/a?x=1&y=2#f+g h";
        QTest::newRow("cyrillic") << "/каталог/диван" << "/каталог/диван";
        QTest::newRow("percent") << "/%D0%BA" << "/%D0%BA";
    }
    void filterValue()
    {
        QFETCH(QString, path);
        QFETCH(QString, decoded);
        const QString value = AnalyticsClient::filterValue(path);
        for (const QChar c : QStringLiteral("&#+ ,;\\"))
            QVERIFY2(!value.contains(c), qPrintable(value));
        QCOMPARE(QUrl::fromPercentEncoding(value.toLatin1()), decoded);
    }

    void durationText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("minutes") << 125.0 << "0:2:5";
        QTest::newRow("hours") << 3725.0 << "1:2:5";
        QTest::newRow("half rounds up") << 59.5 << "0:1:0";
        QTest::newRow("just under an hour") << 3599.4 << "0:59:59";
        QTest::newRow("an hour") << 3600.0 << "1:0:0";
        QTest::newRow("nothing") << 0.0 << "0:0:0";
        QTest::newRow("a day and more") << 90061.0 << "25:1:1";
    }
    void durationText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(AnalyticsCheck::durationText(seconds), text);
    }

    // Each total lands in the column of its metric, whatever the order and
    // letter case of the answer.
    void totalsCells_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("cells");
        const QStringList expected{"120", "340", "150", "0:2:5", "3.0", "45.5"};
        QTest::newRow("request order") << QByteArray(R"({"columnHeaders":[{"name":"ga:users"},{"name":"ga:pageViews"},
            {"name":"ga:sessions"},{"name":"ga:avgsessionDuration"},{"name":"ga:bounceRate"},
            {"name":"ga:pageviewsPerSession"}],"totalsForAllResults":{"ga:users":"120","ga:pageViews":"340",
            "ga:sessions":"150","ga:avgsessionDuration":"125.0","ga:bounceRate":"45.4545",
            "ga:pageviewsPerSession":"2.96"}})") << expected;
        QTest::newRow("shuffled lower case") << QByteArray(R"({"columnHeaders":[{"name":"ga:bouncerate"},
            {"name":"ga:pageviewspersession"},{"name":"ga:users"},{"name":"ga:avgsessionduration"},
            {"name":"ga:sessions"},{"name":"ga:pageviews"}],"totalsForAllResults":{"ga:bouncerate":"45.4545",
            "ga:pageviewspersession":"2.96","ga:users":"120","ga:avgsessionduration":"125.0","ga:sessions":"150",
            "ga:pageviews":"340"}})") << expected;
        QTest::newRow("totals keyed in another case") << QByteArray(R"({"columnHeaders":[{"name":"ga:users"},
            {"name":"ga:bounceRate"}],"totalsForAllResults":{"GA:USERS":"7","ga:bouncerate":"0"}})")
                                                      << QStringList{"7", "", "", "", "", "0.0"};
        QTest::newRow("counts as written") << QByteArray(R"({"columnHeaders":[{"name":"ga:users"},
            {"name":"ga:sessions"}],"totalsForAllResults":{"ga:users":"1234567","ga:sessions":"0"}})")
                                           << QStringList{"1234567", "", "0", "", "", ""};
        QTest::newRow("unknown metric ignored") << QByteArray(R"({"columnHeaders":[{"name":"ga:newUsers"}],
            "totalsForAllResults":{"ga:newUsers":"5"}})") << QStringList(6, QString());
        QTest::newRow("duration not a number") << QByteArray(R"({"columnHeaders":[{"name":"ga:avgSessionDuration"}],
            "totalsForAllResults":{"ga:avgSessionDuration":"n/a"}})") << QStringList{"<unusable>"};
        QTest::newRow("no totals") << QByteArray(R"({"columnHeaders":[{"name":"ga:users"}]})")
                                   << QStringList{"<unusable>"};
        QTest::newRow("no headers") << QByteArray(R"({"totalsForAllResults":{"ga:users":"1"}})")
                                    << QStringList{"<unusable>"};
    }
    void totalsCells()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, cells);
        QCOMPARE(cellsOf(json), cells);
    }

    void formatsUseTheUsersDecimalSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QStringList cells = cellsOf(R"({"columnHeaders":[{"name":"ga:bounceRate"},{"name":"ga:users"}],
            "totalsForAllResults":{"ga:bounceRate":"45.4545","ga:users":"1234"}})");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(cells, (QStringList{"1234", "", "", "", "", "45,5"}));
    }

    void summaryReadsIdsNamesAndMissingLists()
    {
        const AnalyticsSummary summary = AnalyticsSummary::readPage(answer(R"({"totalResults":2,"items":[
            {"id":"3000000001","name":"Мебель","webProperties":[{"internalWebPropertyId":"4294967296","name":"p",
             "profiles":[{"id":"9223372036854775807","name":"v"}]},{"internalWebPropertyId":"5","name":"no views"}]},
            {"id":"7","name":"bare"}]})"));
        QVERIFY(!summary.error);
        QCOMPARE(summary.accounts.size(), size_t(2));
        QCOMPARE(summary.accounts[0].id, Q_INT64_C(3000000001));
        QCOMPARE(summary.accounts[0].name, QStringLiteral("Мебель"));
        QCOMPARE(summary.accounts[0].properties[0].id, Q_INT64_C(4294967296));
        QCOMPARE(summary.accounts[0].properties[0].views[0].id, std::numeric_limits<qint64>::max());
        QVERIFY(summary.accounts[0].properties[1].views.empty());
        QVERIFY(summary.accounts[1].properties.empty());
        QVERIFY(summary.property(3000000001, 4294967296));
        QVERIFY(!summary.property(3000000001, 0)); // a 32-bit wrap of 4294967296 is no match
    }

    void summaryRefusalsAndUnusableAnswers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // the refusal's "Code: .., message"; empty: a VeltranoError
        QTest::newRow("v3 envelope") << QByteArray(R"({"error":{"errors":[{"domain":"global",
            "reason":"insufficientPermissions","message":"No"}],"code":403,"message":"No access"}})") << 403
                                     << "Code: 403, No access";
        QTest::newRow("html page") << QByteArray("<html>502</html>") << 502 << QString();
        QTest::newRow("id not a number") << QByteArray(R"({"items":[{"id":"12a","name":"x"}]})") << 200 << QString();
        QTest::newRow("id past 64 bits") << QByteArray(R"({"items":[{"id":"99999999999999999999","name":"x"}]})")
                                         << 200 << QString();
        QTest::newRow("items not a list") << QByteArray(R"({"items":{}})") << 200 << QString();
    }
    void summaryRefusalsAndUnusableAnswers()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, error);
        if (error.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(VeltranoError, AnalyticsSummary::readPage(answer(body, status)));
            return;
        }
        const AnalyticsSummary summary = AnalyticsSummary::readPage(answer(body, status));
        QVERIFY(summary.error);
        QCOMPARE(summary.error->codeAndMessage(), error);
    }

    // Beyond 1 000 accounts the summary is read on from start-index.
    void summaryFetchReadsEveryPage()
    {
        Fixture f;
        f.module.setAccounts(UserId, Module::generatedAccounts(2345, 1, 1));
        const AnalyticsSummary summary = AnalyticsSummary::fetch(*f.client, Token, f.trace);
        QVERIFY(!summary.error);
        QCOMPARE(summary.accounts.size(), size_t(2345));
        QCOMPARE(summary.accounts.back().name, QStringLiteral("Account 2345"));
        const auto sent = f.requests();
        QCOMPARE(sent.size(), size_t(3));
        QCOMPARE(QString::fromStdString(sent[0].query), QString());
        QCOMPARE(QString::fromStdString(sent[1].query), QStringLiteral("start-index=1001&max-results=1000"));
        QCOMPARE(QString::fromStdString(sent[2].query), QStringLiteral("start-index=2001&max-results=1000"));
        QCOMPARE(sent[0].header("Authorization"), "OAuth " + Token.toStdString());
        QCOMPARE(f.log.messagesInOrder().first(), QStringLiteral("Google Analytics - HTTP Code: 200 OK"));
    }

    void summaryFetchOfAnAccountWithoutAccounts()
    {
        Fixture f;
        const AnalyticsSummary summary = AnalyticsSummary::fetch(*f.client, OtherToken, f.trace);
        QVERIFY(!summary.error);
        QVERIFY(summary.accounts.empty());
        QCOMPARE(f.requests().size(), size_t(1));
    }

    // The request as the service decodes it, and the six cells.
    void checkFillsRowsFromTheSimulator()
    {
        for (const bool shuffled : {false, true}) {
            Fixture f;
            f.module.setShuffledColumns(shuffled);
            f.table.appendRows({QStringLiteral("https://www.example.com/blog/post?p=2"),
                                QStringLiteral("HTTP://WWW.EXAMPLE.COM/A"), QStringLiteral("https://example.com"),
                                QStringLiteral("https://example.com/a,b;c"), QStringLiteral("https://example.com/none")});
            f.check();
            QCOMPARE(f.table.rowTexts(0), (QStringList{"https://www.example.com/blog/post?p=2", "120", "340", "150",
                                                       "0:2:5", "3.0", "45.5"}));
            QCOMPARE(f.table.rowTexts(1), (QStringList{"HTTP://WWW.EXAMPLE.COM/A", "5", "6", "7", "0:1:0", "1.0", "10.0"}));
            QCOMPARE(f.table.rowTexts(2).mid(1), (QStringList{"1000", "2000", "1500", "0:59:59", "1.3", "50.0"}));
            QCOMPARE(f.table.rowTexts(3).mid(1), (QStringList{"3", "4", "5", "1:0:0", "0.8", "0.0"}));
            QCOMPARE(f.table.rowTexts(4).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
            QVERIFY(f.prompt.texts.isEmpty());

            const auto sent = f.requests();
            QCOMPARE(sent.size(), size_t(5));
            const sim::RecordedRequest &first = sent[0];
            QCOMPARE(first.path, std::string("/googleapis/analytics/v3/data/ga"));
            QCOMPARE(first.queryParam("ids"), std::string("ga:11112222"));
            QCOMPARE(first.queryParam("start-date"), std::string("2024-03-01"));
            QCOMPARE(first.queryParam("end-date"), std::string("2024-03-31"));
            QCOMPARE(first.queryParam("metrics"), std::string("ga:users,ga:pageViews,ga:sessions,ga:avgsessionDuration,"
                                                              "ga:bounceRate,ga:pageviewsPerSession"));
            QCOMPARE(first.queryParam("max-results"), std::string("50"));
            QCOMPARE(first.queryParam("filters"), std::string("ga:pagePath==/blog/post?p=2"));
            QCOMPARE(sent[3].queryParam("filters"), std::string("ga:pagePath==/a\\,b\\;c"));
        }
    }

    // "Check GA (whole site)" gives every row the cells "Check GA" gives it,
    // from one request by page path, whatever order the columns come in.
    void siteCheckFillsTheCellsOfThePageCheck()
    {
        for (const bool shuffled : {false, true}) {
            Fixture f;
            f.module.setShuffledColumns(shuffled);
            std::vector<Module::Account> withEscapes = accounts();
            withEscapes[0].properties[0].views[0].pages.emplace("/caf%C3%A9/%7Euser", totals(8, 9, 10, 61, 20, 2));
            f.module.setAccounts(UserId, withEscapes);
            const QStringList rows{QStringLiteral("https://www.example.com/blog/post?p=2"),
                                   QStringLiteral("HTTP://WWW.EXAMPLE.COM/A"), QStringLiteral("https://example.com"),
                                   QStringLiteral("https://example.com/a,b;c"), QStringLiteral("https://example.com/none"),
                                   QString::fromUtf8("https://example.com/café/~user#top")};
            f.table.appendRows(rows);
            AnalyticsSiteCheck check(*f.client);
            f.run.registerCheck(3, QStringLiteral("Check GA (whole site)"), [&](CheckContext &context) {
                check.run(context, f.table,
                          {11112222, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), [] { return Token; },
                           QString()});
            });
            f.run.markApiConnected();
            f.run.runCheck(3, 0);
            QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"120", "340", "150", "0:2:5", "3.0", "45.5"}));
            QCOMPARE(f.table.rowTexts(1).mid(1), (QStringList{"5", "6", "7", "0:1:0", "1.0", "10.0"}));
            QCOMPARE(f.table.rowTexts(2).mid(1), (QStringList{"1000", "2000", "1500", "0:59:59", "1.3", "50.0"}));
            QCOMPARE(f.table.rowTexts(3).mid(1), (QStringList{"3", "4", "5", "1:0:0", "0.8", "0.0"}));
            QCOMPARE(f.table.rowTexts(4).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
            QCOMPARE(f.table.rowTexts(5).mid(1), (QStringList{"8", "9", "10", "0:1:1", "2.0", "20.0"}));
            QVERIFY(f.prompt.texts.isEmpty());
            QVERIFY(f.run.flags().reportDataReady);

            const auto sent = f.requests();
            QCOMPARE(sent.size(), size_t(1));
            QCOMPARE(sent[0].queryParam("dimensions"), std::string("ga:pagePath"));
            QCOMPARE(sent[0].queryParam("start-index"), std::string("1"));
            QCOMPARE(sent[0].queryParam("max-results"), std::string("10000"));
            QVERIFY(sent[0].query.find("filters=") == std::string::npos);
        }
    }

    // A longer report pages on with start-index; one that brings no new page
    // at a start-index stops there with a message; a refusal writes no row.
    void siteCheckPagingAndRefusals()
    {
        const auto runSite = [](Fixture &f, int maxResults) {
            AnalyticsSiteCheck check(*f.client, maxResults);
            f.run.registerCheck(3, QStringLiteral("Check GA (whole site)"), [&](CheckContext &context) {
                check.run(context, f.table,
                          {11112222, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), [] { return Token; },
                           QString()});
            });
            f.run.markApiConnected();
            f.run.runCheck(3, 0);
        };
        {
            Fixture f;
            f.table.appendRows({QStringLiteral("https://example.com/a,b;c"), QStringLiteral("https://example.com/A")});
            runSite(f, 2); // four pages: start-index 1 and 3
            const auto sent = f.requests();
            QCOMPARE(sent.size(), size_t(2));
            QCOMPARE(sent[1].queryParam("start-index"), std::string("3"));
            QCOMPARE(f.table.rowTexts(0).mid(1, 3), (QStringList{"3", "4", "5"}));
            QCOMPARE(f.table.rowTexts(1).mid(1, 3), (QStringList{"5", "6", "7"}));
        }
        {
            Fixture f;
            const std::string page =
                "{\"columnHeaders\":[{\"name\":\"ga:pagePath\"},{\"name\":\"ga:users\"}],\"totalResults\":99,"
                "\"rows\":[[\"/x\",\"1\"],[\"/y\",\"2\"]]}";
            for (int i = 0; i < 3; ++i)
                f.sim.queueResponse("GET", DataPath.toStdString(), sim::Response::json(page));
            f.table.appendRows({QStringLiteral("https://example.com/y")});
            runSite(f, 2);
            QCOMPARE(f.requests().size(), size_t(2));
            QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"2", "", "", "", "", ""}));
            QCOMPARE(f.prompt.texts.size(), 1);
            QVERIFY2(f.prompt.texts[0].contains(QStringLiteral("brought no new page at row 3")),
                     qPrintable(f.prompt.texts[0]));
        }
        {
            Fixture f;
            f.sim.queueResponse("GET", DataPath.toStdString(),
                                sim::Response::json("{\"error\":{\"errors\":[{\"domain\":\"global\",\"reason\":\"x\","
                                                    "\"message\":\"Refused\"}],\"code\":403,\"message\":\"Refused\"}}",
                                                    403));
            f.table.appendRows({QStringLiteral("https://example.com/A")});
            f.table.setRowCells(0, {"old", "old", "old", "old", "old", "old"});
            runSite(f, 10000);
            QCOMPARE(f.table.rowTexts(0).mid(1), QStringList(6, QStringLiteral("old")));
            QCOMPARE(f.prompt.texts, QStringList{"Google Analytics Error - Code: 403, Refused"});
        }
    }

    // Report rows as Google writes them, and the ones the check must skip.
    void sitePageRows_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("cellsOfA");
        QTest::addColumn<QList<int>>("counts"); // rows, added, repeats, unreadable
        const QByteArray headers = "\"columnHeaders\":[{\"name\":\"ga:pagePath\",\"columnType\":\"DIMENSION\"},"
                                   "{\"name\":\"ga:users\"},{\"name\":\"ga:bounceRate\"}]";
        QTest::newRow("documented") << "{" + headers + ",\"rows\":[[\"/a\",\"12\",\"45.4545\"]],\"totalResults\":1}"
                                    << QStringList{"12", "", "", "", "", "45.5"} << QList<int>{1, 1, 0, 0};
        QTest::newRow("metrics first, in another case")
            << QByteArray("{\"columnHeaders\":[{\"name\":\"GA:BOUNCERATE\"},{\"name\":\"ga:pagepath\"},"
                          "{\"name\":\"ga:users\"}],\"rows\":[[\"10\",\"/a\",\"3\"]]}")
            << QStringList{"3", "", "", "", "", "10.0"} << QList<int>{1, 1, 0, 0};
        QTest::newRow("repeat in another escape form, short and bad rows")
            << "{" + headers +
                   ",\"rows\":[[\"/a\",\"1\",\"2\"],[\"/%61\",\"9\",\"9\"],[\"/b\",\"1\"],[\"/c\",\"x\",\"1\"],7]}"
            << QStringList{"1", "", "", "", "", "2.0"} << QList<int>{5, 1, 1, 3};
        QTest::newRow("no rows") << "{" + headers + ",\"totalResults\":0}" << QStringList() << QList<int>{0, 0, 0, 0};
    }
    void sitePageRows()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, cellsOfA);
        QFETCH(QList<int>, counts);
        SitePageFigures pages;
        const AnalyticsSiteCheck::PageRead read =
            AnalyticsSiteCheck::readAnswer(JsonDocument::parse(answer).root(), pages);
        QVERIFY(read.usable);
        QCOMPARE((QList<int>{read.rows, read.added, read.repeats, read.unreadable}), counts);
        const QStringList *cells = pages.find(AnalyticsSiteCheck::pathKey(QStringLiteral("/a")));
        QCOMPARE(cells ? *cells : QStringList(), cellsOfA);
        // Without the path column there is nothing to match.
        SitePageFigures none;
        QVERIFY(!AnalyticsSiteCheck::readAnswer(
                     JsonDocument::parse("{\"columnHeaders\":[{\"name\":\"ga:users\"}],\"rows\":[[\"1\"]]}").root(),
                     none)
                     .usable);
    }

    void refusalsEndOrSkipRows_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<int>("tries"); // of a refused page
        QTest::newRow("400 skips the row") << 400 << false << 1;
        QTest::newRow("403 skips the row") << 403 << false << 1;
        QTest::newRow("500 tried five times, then skips the row") << 500 << false << 5;
        QTest::newRow("401 ends the check") << 401 << true << 1;
        QTest::newRow("429 tried five times, then ends the check") << 429 << true << 5;
    }
    void refusalsEndOrSkipRows()
    {
        QFETCH(int, code);
        QFETCH(bool, ends);
        QFETCH(int, tries);
        Fixture f;
        f.table.appendRows({QStringLiteral("https://example.com/A"), QStringLiteral("https://example.com/bad"),
                            QStringLiteral("https://example.com/")});
        f.table.setRowCells(1, {"old", "old", "old", "old", "old", "old"});
        const std::string body = R"({"error":{"errors":[{"domain":"global","reason":"x","message":"Refused"}],"code":)" +
                                 std::to_string(code) + R"(,"message":"Refused"}})";
        // Row 2's page only is refused.
        const QString badUrl = f.reportUrl(QStringLiteral("/bad"));
        f.sim.setResponse("GET", badUrl.mid(badUrl.indexOf(QLatin1String("/googleapis"))).toStdString(),
                          sim::Response::json(body, code));
        if (ends) {
            // Refused at the first row: nothing changes.
            const QString firstUrl = f.reportUrl(QStringLiteral("/A"));
            f.sim.setResponse("GET", firstUrl.mid(firstUrl.indexOf(QLatin1String("/googleapis"))).toStdString(),
                              sim::Response::json(body, code));
        }
        f.check();
        const QString line = QStringLiteral("Google Analytics Error - Code: %1, Refused").arg(code);
        const QStringList log = f.log.messagesInOrder();
        if (ends) {
            QVERIFY(log.contains(line));
            QCOMPARE(f.prompt.texts.last(), line);
            QCOMPARE(f.table.rowTexts(0).mid(1), QStringList(6, QString()));
            QCOMPARE(f.table.rowTexts(1).mid(1), QStringList(6, QStringLiteral("old")));
            QCOMPARE(f.requests().size(), size_t(tries));
            QVERIFY(!log.contains(QStringLiteral("Check finished")));
            return;
        }
        QVERIFY2(log.contains(line + QStringLiteral(" (2/3)")), qPrintable(log.join('\n')));
        QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"5", "6", "7", "0:1:0", "1.0", "10.0"}));
        QCOMPARE(f.table.rowTexts(1).mid(1), QStringList(6, QString()));
        QCOMPARE(f.table.rowTexts(2).mid(1), (QStringList{"1000", "2000", "1500", "0:59:59", "1.3", "50.0"}));
        QCOMPARE(f.requests().size(), size_t(2 + tries));
        QVERIFY(log.contains(QStringLiteral("Check finished")));
        QVERIFY(f.prompt.texts.isEmpty());
    }

    void unusableAnswerSkipsTheRow()
    {
        Fixture f;
        f.table.appendRows({QStringLiteral("https://example.com/A"), QStringLiteral("https://example.com/")});
        const QString url = f.reportUrl(QStringLiteral("/A"));
        f.sim.queueResponse("GET", url.mid(url.indexOf(QLatin1String("/googleapis"))).toStdString(),
                            sim::Response::json("{\"kind\":\"analytics#gaData\"}"));
        f.check();
        QVERIFY(f.log.messagesInOrder().contains(
            QStringLiteral("Google Analytics Error - Code: 200, Value 'totalsForAllResults' not found (1/2)")));
        QCOMPARE(f.table.rowTexts(1).mid(1), (QStringList{"1000", "2000", "1500", "0:59:59", "1.3", "50.0"}));
    }

    // The simulated service: the account summary.
    void simSummaryPages()
    {
        Fixture f;
        f.module.setAccounts(UserId, Module::generatedAccounts(1500, 2, 3, 5000000000LL));
        const QString base = f.client->accountSummariesUrl();
        JsonDocument page = f.get(base + QStringLiteral("?max-results=5000"));
        QCOMPARE(page.root().member("kind")->text(), QStringLiteral("analytics#accountSummaries"));
        QCOMPARE(page.root().member("totalResults")->text(), QStringLiteral("1500"));
        QCOMPARE(page.root().member("itemsPerPage")->text(), QStringLiteral("1000"));
        QCOMPARE(page.root().member("items")->size(), 1000);
        QVERIFY(page.root().member("nextLink")->text().endsWith(QLatin1String("start-index=1001&max-results=1000")));
        QVERIFY(!page.root().member("previousLink"));
        const JsonValue &firstAccount = page.root().member("items")->at(0);
        QCOMPARE(firstAccount.member("id")->isString(), true);
        QCOMPARE(firstAccount.member("id")->text(), QStringLiteral("5000000000"));
        QCOMPARE(firstAccount.member("webProperties")->size(), 2);
        QCOMPARE(firstAccount.member("webProperties")->at(0).member("profiles")->size(), 3);

        page = f.get(base + QStringLiteral("?start-index=1401&max-results=200"));
        QCOMPARE(page.root().member("items")->size(), 100);
        QVERIFY(!page.root().member("nextLink"));
        QCOMPARE(page.root().member("startIndex")->text(), QStringLiteral("1401"));

        // A property without views has no "profiles"; Cyrillic as UTF-8.
        f.module.setAccounts(UserId, accounts());
        page = f.get(base);
        const JsonValue &items = *page.root().member("items");
        QVERIFY(!items.at(0).member("webProperties")->at(1).member("profiles"));
        QCOMPARE(items.at(1).member("name")->text(), QStringLiteral("Мебель «Уют»"));

        const ExchangeResult bad = f.client->get(Token, base + QStringLiteral("?start-index=0"));
        QCOMPARE(bad.status, 400);
    }

    // The v3 error envelope for each refusal.
    void simErrors_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("query"); // after /data/ga?
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("message");
        const QString good = QStringLiteral("ids=ga:11112222&start-date=2024-03-01&end-date=2024-03-31");
        QTest::newRow("unknown metric") << Token << good + "&metrics=ga:users,ga:bogus" << 400 << "invalidParameter"
                                        << "Unknown metric(s): ga:bogus";
        QTest::newRow("bad filter") << Token << good + "&metrics=ga:users&filters=ga:pagePath" << 400
                                    << "invalidParameter" << "Invalid value 'ga:pagePath' for filters parameter.";
        QTest::newRow("dangling escape") << Token << good + "&metrics=ga:users&filters=ga:pagePath==a%5C" << 400
                                         << "invalidParameter" << "Invalid value 'ga:pagePath==a\\' for filters parameter.";
        QTest::newRow("no metrics") << Token << good << 400 << "required" << "Required parameter: metrics";
        QTest::newRow("backwards") << Token
                                   << "ids=ga:11112222&start-date=2024-03-31&end-date=2024-03-01&metrics=ga:users"
                                   << 400 << "invalidParameter"
                                   << "Invalid value '2024-03-01' for end-date parameter. end-date (2024-03-01) must "
                                      "be on or after start-date (2024-03-31).";
        QTest::newRow("not the account's view") << OtherToken << good + "&metrics=ga:users" << 403
                                                << "insufficientPermissions"
                                                << "User does not have sufficient permissions for this profile.";
        QTest::newRow("no analytics scope") << NoScopeToken << good + "&metrics=ga:users" << 403
                                            << "insufficientPermissions"
                                            << "Request had insufficient authentication scopes.";
        QTest::newRow("unknown token") << "ya29.unknown" << good + "&metrics=ga:users" << 401 << "authError"
                                       << "Request had invalid authentication credentials. Expected OAuth 2 access "
                                          "token, login cookie or other valid authentication credential. See "
                                          "https://developers.google.com/identity/sign-in/web/devconsole-project.";
    }
    void simErrors()
    {
        QFETCH(QString, token);
        QFETCH(QString, query);
        QFETCH(int, code);
        QFETCH(QString, reason);
        QFETCH(QString, message);
        Fixture f;
        const ExchangeResult answer =
            f.client->get(token, QString::fromStdString(f.sim.baseUrl()) + DataPath + QLatin1Char('?') + query);
        QCOMPARE(answer.status, code);
        const QJsonObject error = QJsonDocument::fromJson(answer.body).object().value("error").toObject();
        QCOMPARE(error.keys(), (QStringList{"code", "errors", "message"}));
        QCOMPARE(error.value("code").toInt(), code);
        QCOMPARE(error.value("message").toString(), message);
        const QJsonObject item = error.value("errors").toArray().first().toObject();
        QCOMPARE(item.value("reason").toString(), reason);
        QCOMPARE(item.value("domain").toString(), QStringLiteral("global"));
        QCOMPARE(GoogleError::of(answer)->codeAndMessage(), QStringLiteral("Code: %1, %2").arg(code).arg(message));
    }

    void simReportAnswer()
    {
        Fixture f;
        JsonDocument doc = f.get(f.reportUrl(QStringLiteral("/blog/post?p=2")));
        const JsonValue &root = doc.root();
        QCOMPARE(root.member("kind")->text(), QStringLiteral("analytics#gaData"));
        QStringList names;
        for (const JsonValue &header : *root.member("columnHeaders")) {
            names << header.member("name")->text();
            QCOMPARE(header.member("columnType")->text(), QStringLiteral("METRIC"));
        }
        QCOMPARE(names.join(','), QString(AnalyticsClient::kMetrics));
        const JsonValue &totalsObject = *root.member("totalsForAllResults");
        QCOMPARE(totalsObject.member("ga:pageViews")->text(), QStringLiteral("340"));
        QVERIFY(totalsObject.member("ga:pageViews")->isString());
        QCOMPARE(totalsObject.member("ga:avgsessionDuration")->text(), QStringLiteral("125.0"));
        QCOMPARE(totalsObject.member("ga:bounceRate")->text(), QStringLiteral("45.4545"));
        QCOMPARE(root.member("rows")->size(), 1);
        QCOMPARE(root.member("profileInfo")->member("profileId")->text(), QStringLiteral("11112222"));

        // No page matches: no rows, totals "0".
        doc = f.get(f.reportUrl(QStringLiteral("/nowhere")));
        QVERIFY(!doc.root().member("rows"));
        QCOMPARE(doc.root().member("totalsForAllResults")->member("ga:users")->text(), QStringLiteral("0"));

        // A contains filter adds pages up; the averages weighted by sessions.
        doc = f.get(f.reportUrl(QStringLiteral("/")).replace(QStringLiteral("ga:pagePath==/&"),
                                                             QStringLiteral("ga:pagePath=@A,ga:pagePath==/&")));
        QCOMPARE(doc.root().member("totalsForAllResults")->member("ga:users")->text(), QStringLiteral("1005"));
        QCOMPARE(doc.root().member("totalsForAllResults")->member("ga:pageviewsPerSession")->text().left(6),
                 QStringLiteral("1.3311"));

        // Shuffled: another order, lower-case names, totals under them.
        f.module.setShuffledColumns(true);
        doc = f.get(f.reportUrl(QStringLiteral("/blog/post?p=2")));
        names.clear();
        for (const JsonValue &header : *doc.root().member("columnHeaders"))
            names << header.member("name")->text();
        QVERIFY(names.join(',') != QString(AnalyticsClient::kMetrics).toLower());
        const QStringList asked = QString(AnalyticsClient::kMetrics).toLower().split(',');
        QCOMPARE(QSet<QString>(names.begin(), names.end()), QSet<QString>(asked.begin(), asked.end()));
        QCOMPARE(doc.root().member("totalsForAllResults")->member("ga:pageviews")->text(), QStringLiteral("340"));
    }

    void simRateLimitAndControl()
    {
        Fixture f;
        const QString control = QString::fromStdString(f.sim.baseUrl()) + QStringLiteral("/__sim/settings/googleapis/analytics");
        ExchangeResult set = f.exchange.post(QString(), control, {}, QStringLiteral(R"({"requestsBeforeRateLimit":1,"shuffledColumns":true})"));
        QCOMPARE(set.status, 200);
        QCOMPARE(QJsonDocument::fromJson(set.body).object().value("shuffledColumns").toBool(), true);
        QCOMPARE(f.client->get(Token).status, 200);
        const ExchangeResult spent = f.client->get(Token);
        QCOMPARE(spent.status, 429);
        QCOMPARE(GoogleError::of(spent)->code, QStringLiteral("429"));
        QCOMPARE(f.exchange.post(QString(), control, {}, QStringLiteral(R"({"shuffledColumns":"yes"})")).status, 400);
        const ExchangeResult read = f.exchange.get(QString(), control, {});
        QCOMPARE(QJsonDocument::fromJson(read.body).object().value("requestsBeforeRateLimit").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAnalytics)
#include "tst_analytics.moc"
