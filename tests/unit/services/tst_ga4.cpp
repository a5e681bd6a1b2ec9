// Google Analytics 4 in the core: the account summaries reader, the cells of
// a runReport answer, the page filter, "Check GA" on a GA4 property through
// the run frame, and the simulated Admin and Data APIs. The answers Google
// documents are fixtures of their own (tests/fixtures/analytics), apart
// from the simulator.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/RunControl.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "reports/ReportTable.h"
#include "services/analytics/Ga4AccountSummaries.h"
#include "services/analytics/Ga4Client.h"
#include "services/analytics/Ga4PageCheck.h"
#include "services/analytics/Ga4SiteCheck.h"
#include "services/shared/SitePageFigures.h"

#include "SimServer.h"
#include "services/AnalyticsAdminModule.h"
#include "services/AnalyticsDataModule.h"
#include "services/AnalyticsModule.h"
#include "services/Ga4Accounts.h"
#include "support/ServiceTestFixture.h"

#include <QFile>
#include <QtTest>

using namespace veltrano;
using testing::ServiceTestFixture;
using sim::Ga4Accounts;

namespace {

constexpr long long UserId = 7101;
const QString Token = QStringLiteral("ya29.ga4-unit");
const QString NoScopeToken = QStringLiteral("ya29.ga4-noscope");
constexpr qint64 PropertyId = 213025502;
const std::string ReportPath = "/analyticsdata/v1beta/properties/213025502:runReport";

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(VELTRANO_FIXTURES_DIR "/analytics/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

ExchangeResult answer(const QByteArray &body, int status = 200)
{
    ExchangeResult result;
    result.status = status;
    result.reason = status == 200 ? QStringLiteral("OK") : QStringLiteral("Error");
    result.body = body;
    result.text = QString::fromUtf8(body);
    return result;
}

sim::Response documented(const char *name, int status)
{
    return sim::Response::text(fixture(name).toStdString(), status, "application/json; charset=UTF-8");
}

Ga4Accounts::PageTotals totals(double users, double views, double sessions, double duration, double bounce)
{
    Ga4Accounts::PageTotals t;
    t.users = users;
    t.pageviews = views;
    t.sessions = sessions;
    t.avgSessionDuration = duration;
    t.bounceRate = bounce; // percent
    t.pageviewsPerSession = sessions > 0 ? views / sessions : 0;
    return t;
}

} // namespace

namespace {

struct Fixture : ServiceTestFixture<> {
    std::shared_ptr<Ga4Accounts> accounts = std::make_shared<Ga4Accounts>(tokens);
    sim::AnalyticsAdminModule admin{accounts};
    sim::AnalyticsDataModule data{accounts};
    std::unique_ptr<Ga4Client> client;
    ReportTable table{ServiceId::Analytics};

    Fixture()
    {
        admin.install(sim, "/analyticsadmin");
        data.install(sim, "/analyticsdata");
        Ga4Accounts::Property shop;
        shop.id = std::to_string(PropertyId);
        shop.name = "Shop";
        shop.pages = {{"/", totals(1000, 2000, 1500, 3599.4, 50)},
                      {"/blog/post?p=2", totals(120, 340, 150, 125, 45.4545)},
                      {"/blog/post", totals(7, 7, 7, 59.5, 100)},
                      {"/каталог/диван", totals(3, 4, 2, 10, 0)}};
        accounts->setAccounts(UserId, {{"100001", "Shop account", {shop}}, {"100002", "No properties", {}}});
        sim::AnalyticsModule v3(tokens);
        v3.acceptToken(Token.toStdString(), UserId);
        v3.acceptToken(NoScopeToken.toStdString(), UserId, "https://www.googleapis.com/auth/webmasters");
        sim.start();
        client = std::make_unique<Ga4Client>(
            exchange, Ga4Client::Hosts{simUrl(QStringLiteral("/analyticsadmin")), simUrl(QStringLiteral("/analyticsdata"))});
        run.setTable(3, &table);
    }

    // "Check GA (whole site)", rowsPerPart page rows a request.
    void siteCheck(int rowsPerPart, const QString &token = Token)
    {
        Ga4SiteCheck ga4(*client, rowsPerPart);
        run.registerCheck(3, QStringLiteral("Check GA (whole site)"), [&](CheckContext &context) {
            ga4.run(context, table,
                    {PropertyId, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), [token] { return token; }});
        });
        run.markApiConnected();
        run.runCheck(3, 0);
    }

    void check(const QString &token = Token)
    {
        Ga4PageCheck ga4(*client);
        run.registerCheck(3, QStringLiteral("Check GA"), [&](CheckContext &context) {
            ga4.run(context, table,
                    {PropertyId, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"), [token] { return token; }});
        });
        run.markApiConnected();
        run.checkUrl(3);
    }
};

const QStringList Empty(6, QString());

} // namespace

class TestGa4 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Google's documented page: an account without "propertySummaries" has
    // no properties, and the page token leads on.
    void readsDocumentedSummaryPage()
    {
        QString next;
        const AnalyticsSummary summary =
            Ga4AccountSummaries::readPage(answer(fixture("ga4_account_summaries_page1.json")), &next);
        QVERIFY(!summary.error);
        QCOMPARE(next, QStringLiteral("AFx5mM3rHwEXAMPLE"));
        QCOMPARE(summary.accounts.size(), size_t(2));
        QCOMPARE(summary.accounts[0].id, 100001);
        QCOMPARE(summary.accounts[0].properties.size(), size_t(2));
        QCOMPARE(summary.accounts[0].properties[1].id, 213025503);
        QCOMPARE(summary.accounts[0].properties[1].name, QStringLiteral("Магазин"));
        QVERIFY(summary.accounts[0].properties[1].ga4);
        QVERIFY(summary.accounts[1].properties.empty());
        // A token without accounts gets an empty object.
        QVERIFY(Ga4AccountSummaries::readPage(answer("{}"), &next).accounts.empty());
        QVERIFY(next.isEmpty());
    }

    void refusesUnreadableSummary_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("property id not a number")
            << QByteArray(R"({"accountSummaries":[{"account":"accounts/1","propertySummaries":[{"property":"properties/abc"}]}]})");
        QTest::newRow("account without resource name") << QByteArray(R"({"accountSummaries":[{"displayName":"x"}]})");
        QTest::newRow("list that is no list") << QByteArray(R"({"accountSummaries":{"a":1}})");
        QTest::newRow("xml") << QByteArray("<?xml version=\"1.0\"?><accountSummaries/>");
    }
    void refusesUnreadableSummary()
    {
        QFETCH(QByteArray, body);
        QVERIFY_THROWS_EXCEPTION(VeltranoError, Ga4AccountSummaries::readPage(answer(body)));
    }

    void reportCells_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("cells"); // one entry "!" for a refused answer
        QTest::newRow("documented, every value a text")
            << fixture("ga4_run_report.json")
            << QStringList{"1203", "3400", "1500", "0:2:5", "2.3", "45.5"};
        QTest::newRow("documented, no rows") << fixture("ga4_run_report_empty.json")
                                             << QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"};
        QTest::newRow("headers in another order")
            << QByteArray(R"({"metricHeaders":[{"name":"bounceRate"},{"name":"sessions"},{"name":"totalUsers"}],
                "rows":[{"metricValues":[{"value":"0.5"},{"value":"10"},{"value":"8"}]}]})")
            << QStringList{"8", "", "10", "", "", "50.0"};
        QTest::newRow("unknown metric ignored")
            << QByteArray(R"({"metricHeaders":[{"name":"newUsers"},{"name":"screenPageViews"}],
                "rows":[{"metricValues":[{"value":"3"},{"value":"4"}]}]})")
            << QStringList{"", "4", "", "", "", ""};
        QTest::newRow("value not a number")
            << QByteArray(R"({"metricHeaders":[{"name":"totalUsers"}],"rows":[{"metricValues":[{"value":"n/a"}]}]})")
            << QStringList{"!"};
        QTest::newRow("duration not a number")
            << QByteArray(R"({"metricHeaders":[{"name":"averageSessionDuration"}],"rows":[{"metricValues":[{"value":"1e999"}]}]})")
            << QStringList{"!"};
        QTest::newRow("fewer values than headers")
            << QByteArray(R"({"metricHeaders":[{"name":"totalUsers"},{"name":"sessions"}],"rows":[{"metricValues":[{"value":"1"}]}]})")
            << QStringList{"!"};
        QTest::newRow("no headers") << QByteArray(R"({"rows":[]})") << QStringList{"!"};
    }
    void reportCells()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, cells);
        const JsonDocument doc = JsonDocument::parse(body);
        const auto read = Ga4PageCheck::reportCells(doc.root());
        if (cells == QStringList{QStringLiteral("!")}) {
            QVERIFY(std::holds_alternative<QString>(read));
            QVERIFY(!std::get<QString>(read).isEmpty());
        } else {
            const QString *why = std::get_if<QString>(&read);
            QVERIFY2(!why, why ? qPrintable(*why) : "");
            QCOMPARE(std::get<QStringList>(read), cells);
        }
    }

    void pageFilter_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("path") << "https://www.example.com/blog/post" << "pagePath" << "/blog/post";
        QTest::newRow("query") << "https://example.com/blog/post?p=2" << "pagePathPlusQueryString" << "/blog/post?p=2";
        QTest::newRow("fragment dropped") << "https://example.com/a#top" << "pagePath" << "/a";
        QTest::newRow("cyrillic as written") << "https://пример.рф/каталог/диван" << "pagePath" << "/каталог/диван";
        QTest::newRow("percent-encoded as written") << "https://example.com/%D0%BA" << "pagePath" << "/%D0%BA";
        QTest::newRow("no path") << "https://example.com" << "pagePath" << "/";
    }
    void pageFilter()
    {
        QFETCH(QString, url);
        QFETCH(QString, field);
        QFETCH(QString, value);
        const Ga4PageCheck::PageFilter filter = Ga4PageCheck::pageFilter(url);
        QCOMPARE(filter.fieldName, field);
        QCOMPARE(filter.value, value);
    }

    void quotaLine()
    {
        const JsonDocument doc = JsonDocument::parse(fixture("ga4_run_report.json"));
        QCOMPARE(Ga4PageCheck::quotaLine(doc.root()),
                 QStringLiteral("Google Analytics 4 quota left: 39982 tokens this hour, 199982 today"));
        QVERIFY(!Ga4PageCheck::quotaLine(JsonDocument::parse(fixture("ga4_run_report_empty.json")).root()));
    }

    // The whole list from the simulated Admin API, page after page.
    void fetchesEveryPage()
    {
        Fixture f;
        f.accounts->setAccounts(UserId, Ga4Accounts::generated(450, 2));
        const AnalyticsSummary summary = Ga4AccountSummaries::fetch(*f.client, Token, f.trace);
        QVERIFY(!summary.error);
        QCOMPARE(summary.accounts.size(), size_t(450));
        QCOMPARE(summary.accounts.back().properties.size(), size_t(2));
        QCOMPARE(f.sim.requestsTo("/analyticsadmin/v1beta/accountSummaries").size(), size_t(3));
        const sim::RecordedRequest first = f.sim.requests().front();
        QCOMPARE(QString::fromStdString(first.header("Authorization")), QStringLiteral("Bearer ") + Token);
    }

    // The check against the simulated Data API: figures by header name, a
    // query matched with its path, a page without visits, and the quota
    // once.
    void checksPagesAgainstSimulator()
    {
        Fixture f;
        sim::Ga4Accounts::Settings settings;
        settings.reversedMetricHeaders = true;
        f.accounts->setSettings(settings);
        f.table.appendRows({QStringLiteral("https://example.com/blog/post?p=2"), QStringLiteral("https://example.com/"),
                            QStringLiteral("https://example.com/nobody-here"),
                            QStringLiteral("https://example.com/каталог/диван")});
        f.check();
        QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"120", "340", "150", "0:2:5", "2.3", "45.5"}));
        QCOMPARE(f.table.rowTexts(1).mid(1), (QStringList{"1000", "2000", "1500", "0:59:59", "1.3", "50.0"}));
        QCOMPARE(f.table.rowTexts(2).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
        QCOMPARE(f.table.rowTexts(3).mid(1), (QStringList{"3", "4", "2", "0:0:10", "2.0", "0.0"}));
        const QStringList log = f.log.messagesInOrder();
        QCOMPARE(log.filter(QStringLiteral("quota left")),
                 QStringList{QStringLiteral("Google Analytics 4 quota left: 39996 tokens this hour, 199996 today")});
        QVERIFY(log.contains(QStringLiteral("Check finished")));
        // The body carries the exact filter and asks for the quota.
        const sim::RecordedRequest request = f.sim.requestsTo(ReportPath).front();
        QVERIFY(request.body.find(R"("fieldName":"pagePathPlusQueryString")") != std::string::npos);
        QVERIFY(request.body.find(R"("matchType":"EXACT","value":"/blog/post?p=2","caseSensitive":true)") !=
                std::string::npos);
        QVERIFY(request.body.find(R"("returnPropertyQuota":true)") != std::string::npos);
    }

    // A page report as Google documents it: values by their header's name,
    // one path in its escaped and its Unicode form is one page, and rows
    // that cannot be read are counted, never filled.
    void readsDocumentedPageReport()
    {
        SitePageFigures pages;
        const Ga4SiteCheck::PageRead read =
            Ga4SiteCheck::readAnswer(JsonDocument::parse(fixture("ga4_run_report_pages.json")).root(), pages);
        QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
        QCOMPARE(read.totalRows, 3120);
        QCOMPARE(read.rows, 6);
        QCOMPARE(read.added, 3); // "/", the catalogue page, "(not set)"
        QCOMPARE(read.repeats, 1);
        QCOMPARE(read.unreadable, 2);
        const QStringList *home = pages.find(Ga4SiteCheck::rowKey(QStringLiteral("https://example.com/#top")));
        QVERIFY(home);
        QCOMPARE(*home, (QStringList{"1000", "2000", "1500", "0:59:59", "1.3", "50.0"}));
        const QStringList *sofa = pages.find(
            Ga4SiteCheck::rowKey(QStringLiteral("https://xn--e1afmkfd.xn--p1ai/%d0%ba%d0%b0%d1%82%d0%b0%d0%bb%d0%be%d0%b3/диван")));
        QVERIFY(sofa);
        QCOMPARE(sofa->at(0), QStringLiteral("3"));
        QVERIFY(!pages.find(Ga4SiteCheck::rowKey(QStringLiteral("https://example.com/broken"))));

        SitePageFigures none;
        QVERIFY(!Ga4SiteCheck::readAnswer(JsonDocument::parse(fixture("ga4_run_report.json")).root(), none)
                     .error.isEmpty()); // a report without the page dimension
    }

    // The whole-site check gives every row the cells the page-by-page check
    // gives it, paging by offset through both reports it needs; a host in
    // Unicode or punycode, percent-escapes and a fragment do not matter.
    void siteCheckMatchesThePageCheck()
    {
        const QStringList urls{QStringLiteral("https://example.com/blog/post?p=2"), QStringLiteral("https://example.com/"),
                               QStringLiteral("https://example.com/nobody-here"),
                               QStringLiteral("https://пример.рф/каталог/диван#reviews"),
                               QStringLiteral("https://xn--e1afmkfd.xn--p1ai/%D0%BA%D0%B0%D1%82%D0%B0%D0%BB%D0%BE%D0%B3/%D0%B4%D0%B8%D0%B2%D0%B0%D0%BD"),
                               QStringLiteral("https://example.com/blog/post")};
        Fixture pageByPage;
        pageByPage.table.appendRows(urls);
        pageByPage.check();
        Fixture whole;
        whole.table.appendRows(urls);
        whole.siteCheck(2);
        for (const int row : {0, 1, 2, 3, 5})
            QCOMPARE(whole.table.rowTexts(row), pageByPage.table.rowTexts(row));
        // The page's escaped form, which an exact filter does not find, is
        // matched through the key.
        QCOMPARE(pageByPage.table.rowTexts(4).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
        QCOMPARE(whole.table.rowTexts(4).mid(1), whole.table.rowTexts(3).mid(1));
        QCOMPARE(whole.table.rowTexts(2).mid(1), (QStringList{"0", "0", "0", "0:0:0", "0.0", "0.0"}));
        // Three paths in two parts, four paths with their queries in two.
        const auto sent = whole.sim.requestsTo(ReportPath);
        QCOMPARE(sent.size(), size_t(4));
        QVERIFY(sent[1].body.find(R"("offset":2,"limit":2)") != std::string::npos);
        QVERIFY(sent[2].body.find(R"("dimensions":[{"name":"pagePathPlusQueryString"}])") != std::string::npos);
        const QStringList log = whole.log.messagesInOrder();
        QVERIFY2(log.contains(QStringLiteral(
                     "Google Analytics: 7 pages in the property's report (4 requests), 5 of 6 rows matched")),
                 qPrintable(log.join(QLatin1Char('\n'))));
        QCOMPARE(log.filter(QStringLiteral("quota left")).size(), 1);
    }

    // A report that brings the same page at every offset stops with a
    // message; a refusal writes no row.
    void siteCheckStopsAndRefusals()
    {
        {
            Fixture f;
            const std::string part = R"({"dimensionHeaders":[{"name":"pagePath"}],"metricHeaders":[{"name":"totalUsers"}],)"
                                     R"("rows":[{"dimensionValues":[{"value":"/x"}],"metricValues":[{"value":"1"}]},)"
                                     R"({"dimensionValues":[{"value":"/y"}],"metricValues":[{"value":"2"}]}],"rowCount":99})";
            for (int i = 0; i < 3; ++i)
                f.sim.queueResponse("POST", ReportPath, sim::Response::json(part));
            f.table.appendRows({QStringLiteral("https://example.com/y")});
            f.siteCheck(2);
            QCOMPARE(f.sim.requestsTo(ReportPath).size(), size_t(2));
            QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"2", "", "", "", "", ""}));
            QCOMPARE(f.prompt.texts.size(), 1);
            QVERIFY2(f.prompt.texts[0].contains(QStringLiteral("brought no new page at row 3")),
                     qPrintable(f.prompt.texts[0]));
        }
        {
            Fixture f;
            f.sim.queueResponse("POST", ReportPath, documented("ga4_error_429.json", 429));
            f.table.appendRows({QStringLiteral("https://example.com/")});
            f.table.setRowCells(0, QStringList(6, QStringLiteral("old")));
            f.siteCheck(250000);
            QCOMPARE(f.table.rowTexts(0).mid(1), QStringList(6, QStringLiteral("old")));
            QCOMPARE(f.prompt.texts.size(), 1);
            QVERIFY2(f.prompt.texts[0].startsWith(QStringLiteral("Google Analytics Error - Code: 429")),
                     qPrintable(f.prompt.texts[0]));
        }
    }

    // Google's documented refusals: a refused token and a spent quota end
    // the check, a refused property empties the row and the run goes on.
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("fixtureName");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("endsCheck");
        QTest::newRow("401") << QByteArray("ga4_error_401.json") << 401 << true;
        QTest::newRow("429 RESOURCE_EXHAUSTED") << QByteArray("ga4_error_429.json") << 429 << true;
        QTest::newRow("403") << QByteArray("ga4_error_403.json") << 403 << false;
    }
    void refusals()
    {
        QFETCH(QByteArray, fixtureName);
        QFETCH(int, status);
        QFETCH(bool, endsCheck);
        Fixture f;
        f.table.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/blog/post"),
                            QStringLiteral("https://example.com/blog/post?p=2")});
        for (int row = 0; row < 3; ++row)
            f.table.setRowCells(row, {"old", "old", "old", "old", "old", "old"});
        f.sim.queueResponse("POST", ReportPath, documented("ga4_run_report.json", 200));
        f.sim.queueResponse("POST", ReportPath, documented(fixtureName.constData(), status));
        f.check();
        const QStringList log = f.log.messagesInOrder();
        const QString line = QStringLiteral("Google Analytics Error - Code: %1, ").arg(status);
        QCOMPARE(f.table.rowTexts(0).mid(1), (QStringList{"1203", "3400", "1500", "0:2:5", "2.3", "45.5"}));
        if (endsCheck) {
            QCOMPARE(f.table.rowTexts(1).mid(1), QStringList(6, QStringLiteral("old")));
            QCOMPARE(f.table.rowTexts(2).mid(1), QStringList(6, QStringLiteral("old")));
            QVERIFY(f.prompt.texts.last().startsWith(line));
            QVERIFY(!log.contains(QStringLiteral("Check finished")));
        } else {
            QCOMPARE(f.table.rowTexts(1).mid(1), Empty);
            QCOMPARE(f.table.rowTexts(2).mid(1), (QStringList{"120", "340", "150", "0:2:5", "2.3", "45.5"}));
            QVERIFY2(!log.filter(QRegularExpression(QStringLiteral("^Google Analytics Error - Code: 403, .*\\(2/3\\)$")))
                          .isEmpty(),
                     qPrintable(log.join('\n')));
        }
        // The quota of the answers that came, once, also when the run ended early.
        QCOMPARE(log.filter(QStringLiteral("quota left")).size(), 1);
    }

    // An answer in XML, or a value that is no number, is the row's error.
    void unreadableAnswerIsRowError()
    {
        Fixture f;
        f.table.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/x")});
        f.sim.queueResponse("POST", ReportPath, sim::Response::text("<?xml version=\"1.0\"?><report/>", 200, "text/xml"));
        f.sim.queueResponse(
            "POST", ReportPath,
            sim::Response::json(R"({"metricHeaders":[{"name":"totalUsers"}],"rows":[{"metricValues":[{"value":"12abc"}]}]})"));
        f.check();
        QCOMPARE(f.table.rowTexts(0).mid(1), Empty);
        QCOMPARE(f.table.rowTexts(1).mid(1), Empty);
        const QStringList log = f.log.messagesInOrder();
        QVERIFY(log.contains(QStringLiteral("Check finished")));
        QCOMPARE(log.filter(QStringLiteral("Google Analytics Error - Code: 200")).size(), 2);
    }

    // The simulated Data API answers each refusal with Google's status.
    void simulatorRefusals_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errorStatus");
        const QByteArray good = Ga4Client::pageReportBody("2024-03-01", "2024-03-31", "pagePath", "/").toUtf8();
        QTest::newRow("unknown token") << "ya29.unknown" << "213025502" << good << 401 << "UNAUTHENTICATED";
        QTest::newRow("no analytics scope") << NoScopeToken << "213025502" << good << 403 << "PERMISSION_DENIED";
        QTest::newRow("property of someone else") << Token << "999" << good << 403 << "PERMISSION_DENIED";
        QTest::newRow("property id not a number") << Token << "abc" << good << 400 << "INVALID_ARGUMENT";
        QTest::newRow("no date range") << Token << "213025502" << QByteArray(R"({"metrics":[{"name":"sessions"}]})")
                                       << 400 << "INVALID_ARGUMENT";
        QTest::newRow("unknown metric")
            << Token << "213025502"
            << QByteArray(R"({"dateRanges":[{"startDate":"today","endDate":"today"}],"metrics":[{"name":"ga:users"}]})")
            << 400 << "INVALID_ARGUMENT";
        QTest::newRow("limit 0") << Token << "213025502"
                                 << Ga4Client::siteReportBody("2024-03-01", "2024-03-31", "pagePath", 0, 0).toUtf8()
                                 << 400 << "INVALID_ARGUMENT";
        QTest::newRow("negative offset")
            << Token << "213025502"
            << Ga4Client::siteReportBody("2024-03-01", "2024-03-31", "pagePath", -1, 10).toUtf8() << 400
            << "INVALID_ARGUMENT";
        QTest::newRow("unknown dimension")
            << Token << "213025502"
            << Ga4Client::siteReportBody("2024-03-01", "2024-03-31", "country", 0, 10).toUtf8() << 400
            << "INVALID_ARGUMENT";
    }
    void simulatorRefusals()
    {
        QFETCH(QString, token);
        QFETCH(QString, property);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, errorStatus);
        Fixture f;
        const ExchangeResult result = f.exchange.post(
            QStringLiteral("GA4 - "), f.simUrl(QStringLiteral("/analyticsdata/v1beta/properties/%1:runReport").arg(property)),
            {QStringLiteral("Authorization: Bearer ") + token, QStringLiteral("Content-Type: application/json")},
            QString::fromUtf8(body));
        QCOMPARE(result.status, status);
        const std::optional<GoogleError> error = GoogleError::of(result);
        QVERIFY(error);
        QCOMPARE(error->code, QString::number(status));
        QCOMPARE(error->status, errorStatus);
    }

    void simulatorSpentQuota()
    {
        Fixture f;
        sim::Ga4Accounts::Settings settings;
        settings.tokensPerHour = 1;
        f.accounts->setSettings(settings);
        f.table.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/blog/post"),
                            QStringLiteral("https://example.com/x")});
        f.check();
        QCOMPARE(f.sim.requestsTo(ReportPath).size(), size_t(2));
        QVERIFY(f.prompt.texts.last().startsWith(QStringLiteral("Google Analytics Error - Code: 429, Exhausted")));
        QVERIFY(f.log.messagesInOrder().contains(
            QStringLiteral("Google Analytics 4 quota left: 0 tokens this hour, 199999 today")));
    }
};

QTEST_GUILESS_MAIN(TestGa4)
#include "tst_ga4.moc"
