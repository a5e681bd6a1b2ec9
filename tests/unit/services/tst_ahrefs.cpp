// Ahrefs in the core against the simulated service over real sockets: the
// request addresses, the URL check, the data explorer's listings, the
// backlinks history reader, and the simulated service itself.

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/ProgressReporter.h"
#include "app/RunControl.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceExchange.h"
#include "reports/ReportTable.h"
#include "services/ahrefs/AhrefsBacklinksHistory.h"
#include "services/ahrefs/AhrefsClient.h"
#include "services/ahrefs/AhrefsDataExplorer.h"
#include "services/ahrefs/AhrefsUrlCheck.h"

#include "SimServer.h"
#include "services/AhrefsModule.h"
#include "support/ServiceTestFixture.h"

#include <QtTest>

using namespace veltrano;
using Module = sim::AhrefsModule;
using Kind = AhrefsUrlCheck::RowAnswer::Kind;
using testing::ServiceTestFixture;

Q_DECLARE_METATYPE(Kind)

namespace {

const QString Token = QStringLiteral("tok-0123456789");

Module::Page page(const std::string &url, long long rank, const std::string &title)
{
    Module::Page p;
    p.url = url;
    p.ahrefsRank = rank;
    p.httpCode = 200;
    p.linksInternal = 57;
    p.linksExternal = 3;
    p.title = title;
    p.firstSeen = "2023-01-02T03:04:05Z";
    p.lastVisited = "2024-03-01T10:00:00Z";
    return p;
}

// A small site: its home page (Cyrillic title), a page whose address is
// the start of one with "&" in its query, and a catalogue page; two
// backlinks with a Cyrillic anchor.
Module::Site smallSite()
{
    Module::Site site;
    site.host = "example.com";
    site.pages = {
        page("https://example.com/", 41, "Главная — мебель «Уют»"), page("https://example.com/?a=1", 9, "Query page"),
        page("https://example.com/catalog/", 12, "Catalogue"), page("https://blog.example.com/post/", 5, "Blog post")};
    Module::Backlink b;
    b.urlFrom = "https://mebel-blog.ru/post/1/";
    b.urlTo = "https://example.com/";
    b.ahrefsRank = 20;
    b.domainRating = 44;
    b.title = "Обзор мебели";
    b.anchor = "кресло «Уют»";
    site.backlinks = {b};
    b.urlFrom = "https://forum.example.org/t/2/";
    b.anchor = "click here";
    b.domainRating = 30;
    site.backlinks.push_back(b);
    return site;
}

struct Fixture : ServiceTestFixture<> {
    Module module;
    std::unique_ptr<AhrefsClient> client;
    ReportTable table{ServiceId::Ahrefs};

    Fixture()
    {
        module.install(sim, "/ahrefs");
        module.acceptToken(Token.toStdString());
        module.setSites({smallSite()});
        sim.start();
        client = std::make_unique<AhrefsClient>(exchange, simUrl(QStringLiteral("/ahrefs")));
        run.setTable(4, &table);
    }

    // "Check URL" on the Ahrefs report through the real run frame; the
    // token typed in the field and the one saved in the file may differ.
    void check(const QString &savedToken = Token, const QString &tokenField = QStringLiteral("typed"),
               const QString &site = QStringLiteral("example.com"))
    {
        AhrefsUrlCheck urlCheck(*client);
        run.registerCheck(4, QStringLiteral("Check Ahrefs"), [&](CheckContext &context) {
            urlCheck.run(context, table, {tokenField, site, [&] { return savedToken; }});
        });
        run.markApiConnected();
        run.checkUrl(4);
    }

    JsonDocument get(const AhrefsQuery &query, const QString &token = Token)
    {
        return JsonDocument::parse(client->request(query, token).body);
    }
};

QByteArray countsAnswer(const QList<std::tuple<const char *, const char *, const char *, int, int>> &counts)
{
    QByteArray body = R"({"counts":[)";
    for (const auto &[date, type, origin, refpages, all] : counts) {
        if (!body.endsWith('['))
            body += ',';
        body += QStringLiteral(R"({"date":"%1","type":"%2","origin":"%3","refpages":%4,"all":%5})")
                    .arg(QLatin1String(date), QLatin1String(type), QLatin1String(origin))
                    .arg(refpages)
                    .arg(all)
                    .toUtf8();
    }
    return body + "]}";
}

ExchangeResult answerOf(const QByteArray &body, int status = 200)
{
    return ExchangeResult{status, status == 200 ? QStringLiteral("OK") : QStringLiteral("Bad Gateway"), body,
                          QString::fromUtf8(body), {}};
}

} // namespace

class AhrefsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // ---- request addresses ------------------------------------------------

    void valuesReachTheServiceWhole_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("token");
        QTest::newRow("query with & and #") << "https://example.com/?a=1&b=2#top"
                                            << "" << Token;
        QTest::newRow("Cyrillic address") << "https://пример.рф/каталог/?q=диван"
                                          << "" << Token;
        QTest::newRow("plus, space, percent") << "https://example.com/a+b c%20d"
                                              << "" << Token;
        QTest::newRow("condition with quotes") << "example.com"
                                               << "date>=\"2022-04-11\",type=\"new\"" << Token;
        QTest::newRow("token with & and =") << "example.com"
                                            << ""
                                            << "t&k=1+2";
    }
    void valuesReachTheServiceWhole()
    {
        QFETCH(QString, target);
        QFETCH(QString, where);
        QFETCH(QString, token);
        Fixture f;
        f.client->request(AhrefsQuery{QStringLiteral("pages"), where, 7, target, QStringLiteral("exact")}, token);
        const auto sent = f.requests();
        QCOMPARE(sent.size(), size_t(1));
        const sim::RecordedRequest &r = sent[0];
        QCOMPARE(r.path, std::string("/ahrefs/"));
        QVERIFY(r.headerLines.size() > 0);
        QCOMPARE(r.header("Authorization"), std::string());
        QCOMPARE(QString::fromStdString(r.queryParam("target")), target);
        QCOMPARE(QString::fromStdString(r.queryParam("where")), where);
        QCOMPARE(QString::fromStdString(r.queryParam("token")), token);
        QCOMPARE(r.queryParam("mode"), std::string("exact"));
        QCOMPARE(r.queryParam("limit"), std::string("7"));
        QCOMPARE(r.queryParam("output"), std::string("json"));
        // The parameters in the order the reference writes them.
        QStringList names;
        for (const QString &pair : QString::fromStdString(r.query).split(QLatin1Char('&')))
            names << pair.section(QLatin1Char('='), 0, 0);
        QStringList expected{"from", "limit", "target", "mode", "output", "token"};
        if (!where.isEmpty())
            expected.insert(1, QStringLiteral("where"));
        QCOMPARE(names, expected);
        QCOMPARE(f.log.messagesInOrder(), QStringList{"Ahrefs - HTTP Code: 200 OK"});
    }

    void tracedAddressMasksTheToken()
    {
        Fixture f;
        const AhrefsQuery query = AhrefsBacklinksHistory::query(QStringLiteral("example.com"), QDate(2024, 3, 31));
        const QString traced = f.client->tracedUrl(query, QStringLiteral("secret-token-123"));
        QVERIFY(traced.endsWith(QStringLiteral("&output=json&token=secr...")));
        QVERIFY(!traced.contains(QStringLiteral("token-123")));
        QCOMPARE(AhrefsClient::maskedToken(QStringLiteral("ab")), QStringLiteral("ab..."));
        // The rest reads as sent.
        QCOMPARE(traced.left(traced.indexOf(QStringLiteral("&token="))),
                 f.client->url(query, QStringLiteral("x")).left(traced.indexOf(QStringLiteral("&token="))));
    }

    void historyCountsBackSevenHundredTwentyDays()
    {
        Fixture f;
        f.client->request(AhrefsBacklinksHistory::query(QStringLiteral("example.com"), QDate(2024, 3, 31)), Token);
        const sim::RecordedRequest r = f.requests().at(0);
        QCOMPARE(r.queryParam("from"), std::string("backlinks_new_lost_counters_by_type"));
        QCOMPARE(r.queryParam("where"), std::string("date>=\"2022-04-11\""));
        QCOMPARE(r.queryParam("limit"), std::string("10000"));
        QCOMPARE(r.queryParam("mode"), std::string("prefix"));
        QCOMPARE(r.queryParam("target"), std::string("example.com"));
    }

    // ---- URL check ------------------------------------------------------------

    void readsRowAnswers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("cells");
        const QStringList noData(6, QString());
        const QStringList no{"No", "", "", "", "", ""};
        QTest::newRow("found") << QByteArray(R"({"pages":[{"url":"u","ahrefs_rank":41,"http_code":200,)"
                                             R"("links_internal":57,"links_external":3,"title":"Главная"}]})")
                               << Kind::Found << QStringList{"Yes", "41", "200", "57", "3", "Главная"};
        QTest::newRow("escaped title, null and 140.0")
            << QByteArray(
                   R"({"pages":[{"ahrefs_rank":140.0,"http_code":null,"links_internal":0,)"
                   R"("links_external":12345678901234,"title":"\u0414\u0438\u0432\u0430\u043d \u00ab1\u00bb"}]})")
            << Kind::Found << QStringList{"Yes", "140", "", "0", "12345678901234", "Диван «1»"};
        QTest::newRow("two pages: the first counts")
            << QByteArray(R"({"pages":[{"ahrefs_rank":1,"http_code":200,"links_internal":2,"links_external":3,)"
                          R"("title":"first"},{"ahrefs_rank":9,"http_code":404,"links_internal":9,)"
                          R"("links_external":9,"title":"second"}]})")
            << Kind::Found << QStringList{"Yes", "1", "200", "2", "3", "first"};
        QTest::newRow("no page") << QByteArray(R"({"pages":[]})") << Kind::NotFound << no;
        QTest::newRow("not JSON") << QByteArray("<html>Bad gateway</html>") << Kind::Unusable << noData;
        QTest::newRow("empty body") << QByteArray() << Kind::Unusable << noData;
        QTest::newRow("no pages") << QByteArray(R"({"refpages":[]})") << Kind::Unusable << noData;
        QTest::newRow("pages not a list") << QByteArray(R"({"pages":{}})") << Kind::Unusable << noData;
        QTest::newRow("empty error, pages") << QByteArray(R"({"error":"","pages":[]})") << Kind::NotFound << no;
        QTest::newRow("service error") << QByteArray(R"({"error":"Authentication Error"})") << Kind::ServiceError
                                       << QStringList();
    }
    void readsRowAnswers()
    {
        QFETCH(QByteArray, body);
        QFETCH(Kind, kind);
        QFETCH(QStringList, cells);
        const AhrefsUrlCheck::RowAnswer read = AhrefsUrlCheck::readAnswer(answerOf(body));
        QCOMPARE(read.kind, kind);
        QCOMPARE(read.cells, cells);
        if (kind == Kind::ServiceError)
            QCOMPARE(read.error, QStringLiteral("Authentication Error"));
    }

    void pageWithoutAMemberIsAnError()
    {
        const QByteArray body =
            R"({"pages":[{"ahrefs_rank":1,"http_code":200,"links_internal":2,"links_external":3}]})";
        try {
            AhrefsUrlCheck::readAnswer(answerOf(body));
            QFAIL("no error");
        } catch (const VeltranoError &e) {
            QCOMPARE(e.message(), QStringLiteral("Value 'title' not found"));
        }
    }

    void checkMarksEveryRow_data()
    {
        QTest::addColumn<bool>("escapeUnicode");
        QTest::newRow("raw UTF-8") << false;
        QTest::newRow("\\u escapes") << true;
    }
    void checkMarksEveryRow()
    {
        QFETCH(bool, escapeUnicode);
        Fixture f;
        f.module.setEscapeUnicode(escapeUnicode);
        f.table.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/missing/"),
                            QStringLiteral("https://example.com/?a=1&b=2")});

        f.check();

        QCOMPARE(f.table.rowTexts(0),
                 (QStringList{"https://example.com/", "Yes", "41", "200", "57", "3", "Главная — мебель «Уют»"}));
        QCOMPARE(f.table.rowTexts(1), (QStringList{"https://example.com/missing/", "No", "", "", "", "", ""}));
        // Asked about as a whole, the address with "&" is unknown; cut at the
        // "&" it would have been the known "?a=1".
        QCOMPARE(f.table.rowTexts(2), (QStringList{"https://example.com/?a=1&b=2", "No", "", "", "", "", ""}));
        QCOMPARE(f.log.messagesInOrder(),
                 (QStringList{"Check started", "Ahrefs - HTTP Code: 200 OK", "Ahrefs - HTTP Code: 200 OK",
                              "Ahrefs - HTTP Code: 200 OK", "Check finished"}));
        QVERIFY(f.run.flags().reportDataReady);
        QCOMPARE(f.progress.position, 3);
        QVERIFY(f.prompt.texts.isEmpty());

        const auto sent = f.requests();
        QCOMPARE(sent.size(), size_t(3));
        for (const auto &r : sent) {
            QCOMPARE(r.queryParam("from"), std::string("pages"));
            QCOMPARE(r.queryParam("mode"), std::string("exact"));
            QCOMPARE(r.queryParam("limit"), std::string("1"));
            // The token saved in the settings file, not the field's text.
            QCOMPARE(QString::fromStdString(r.queryParam("token")), Token);
        }
        QCOMPARE(sent[2].queryParam("target"), std::string("https://example.com/?a=1&b=2"));
        // The trace holds each answer between blank lines, and no token.
        QVERIFY(f.trace.lines().contains(QStringLiteral(R"({"pages":[]})")));
        QVERIFY(!f.trace.text().contains(Token));
    }

    void unusableAnswerEmptiesTheRowAndGoesOn()
    {
        Fixture f;
        f.table.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/bad"),
                            QStringLiteral("https://example.com/catalog/")});
        f.table.setRowCells(1, {"Yes", "1", "200", "1", "1", "old title"});
        f.sim.setResponse("GET",
                          "/ahrefs/?from=pages&limit=1&target=https%3A%2F%2Fexample.com%2Fbad&mode=exact&output="
                          "json&token=" +
                              Token.toStdString(),
                          sim::Response::text("<html>Bad gateway</html>", 502, "text/html"));
        f.check();
        QCOMPARE(f.table.rowTexts(1), (QStringList{"https://example.com/bad", "", "", "", "", "", ""}));
        QCOMPARE(f.table.cell(2, 1), QStringLiteral("Yes"));
        QVERIFY(f.log.messagesInOrder().contains(QStringLiteral("Ahrefs Error Get Object Data: 2/3")));
        QVERIFY(f.run.flags().reportDataReady);
    }

    void serviceErrorEndsTheCheck_data()
    {
        QTest::addColumn<QString>("savedToken");
        QTest::addColumn<double>("rowsLeft");
        QTest::addColumn<int>("rowsDone");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused token") << "wrong" << 100.0 << 0 << "Ahrefs Error: Authentication Error";
        // A pages answer with one page costs 1.2 rows: two rows are paid for.
        QTest::newRow("rows used up") << Token << 2.3 << 2 << "Ahrefs Error: API rows limit exceeded";
    }
    void serviceErrorEndsTheCheck()
    {
        QFETCH(QString, savedToken);
        QFETCH(double, rowsLeft);
        QFETCH(int, rowsDone);
        QFETCH(QString, message);
        Fixture f;
        f.module.setRowsLeft(Token.toStdString(), rowsLeft);
        f.table.appendRows({QStringLiteral("https://example.com/"), QStringLiteral("https://example.com/catalog/"),
                            QStringLiteral("https://example.com/?a=1"), QStringLiteral("https://example.com/x")});
        f.check(savedToken);

        QCOMPARE(f.prompt.texts, QStringList{message});
        QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::Warning});
        QCOMPARE(int(f.requests().size()), rowsDone + 1);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(f.table.cell(row, 1), row < rowsDone ? QStringLiteral("Yes") : QString());
        QVERIFY(!f.run.flags().reportDataReady);
        QVERIFY(!f.log.messagesInOrder().filter(QStringLiteral("Get Object Data")).size());
        QCOMPARE(f.log.messagesInOrder().last(), QStringLiteral("Check finished"));
    }

    void checkNeedsTokenAndSite_data()
    {
        QTest::addColumn<QString>("tokenField");
        QTest::addColumn<QString>("site");
        QTest::newRow("no token") << ""
                                  << "example.com";
        QTest::newRow("no site") << "typed"
                                 << "";
    }
    void checkNeedsTokenAndSite()
    {
        QFETCH(QString, tokenField);
        QFETCH(QString, site);
        Fixture f;
        f.table.appendRows({QStringLiteral("https://example.com/")});
        f.check(Token, tokenField, site);
        QCOMPARE(f.prompt.texts, QStringList{"Please enter the Ahrefs Token or Site Host"});
        QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::None});
        QCOMPARE(f.sim.requestCount(), size_t(0));
        QCOMPARE(f.table.cell(0, 1), QString());
    }

    // ---- data explorer -----------------------------------------------------------

    void explorerListsEveryTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("linesPerRow");
        QTest::addColumn<QStringList>("firstLines");
        QTest::addColumn<QString>("label");
        QTest::newRow("pages") << "pages" << 7
                               << QStringList{"https://example.com/", "- ahrefs_rank: 0",    "- http_code: 200",
                                              "- links_internal: 0",  "- links_external: 0", "- title: " /*filled*/}
                               << "Data: pages (last 100)";
        QTest::newRow("ahrefs_rank") << "ahrefs_rank" << 1 << QStringList{"- https://example.com/: 0"}
                                     << "Data: ahrefs_rank (last 100)";
        QTest::newRow("backlinks") << "backlinks" << 9 << QStringList() << "Data: backlinks (last 100)";
        QTest::newRow("anchors") << "anchors" << 1 << QStringList() << "Data: anchors (last 100)";
        QTest::newRow("refdomains") << "refdomains" << 5 << QStringList() << "Data: refdomains (last 100)";
    }
    void explorerListsEveryTable()
    {
        QFETCH(QString, table);
        QFETCH(int, linesPerRow);
        QFETCH(QStringList, firstLines);
        QFETCH(QString, label);
        Fixture f;
        Module::Site site = Module::generatedSite("example.com", 150, 400, "2024-03-31", 0);
        site.pages[0].ahrefsRank = 0;
        site.pages[0].linksInternal = 0;
        site.pages[0].linksExternal = 0;
        f.module.setSites({site});
        const ExchangeResult answer =
            f.client->request(AhrefsDataExplorer::query(table, 100, QStringLiteral("example.com")), Token);
        const AhrefsDataExplorer::Listing listing = AhrefsDataExplorer::list(table, 100, answer);

        QCOMPARE(listing.label, std::optional<QString>(label));
        QVERIFY(listing.lines.size() > 0);
        QCOMPARE(listing.lines.size() % linesPerRow, 0);
        const int rows = int(listing.lines.size()) / linesPerRow;
        QVERIFY2(rows <= 100, qPrintable(QString::number(rows)));
        if (table == QLatin1String("pages") || table == QLatin1String("ahrefs_rank") ||
            table == QLatin1String("backlinks"))
            QCOMPARE(rows, 100); // the site has more than 100 of these
        for (int i = 0; i < firstLines.size() - 1; ++i)
            QCOMPARE(listing.lines[i], firstLines[i]);
        if (!firstLines.isEmpty())
            QVERIFY(listing.lines[firstLines.size() - 1].startsWith(firstLines.last()));
        if (linesPerRow > 1)
            QCOMPARE(listing.lines[linesPerRow - 1], QString());
        const auto sent = f.requests();
        QCOMPARE(sent[0].queryParam("mode"), std::string("prefix"));
        QCOMPARE(sent[0].queryParam("limit"), std::string("100"));
    }

    void explorerListsObjectMembers()
    {
        Fixture f;
        f.module.acceptToken(Token.toStdString(), 500000, "Лёгкий тариф");
        AhrefsDataExplorer::Listing listing =
            AhrefsDataExplorer::list(QStringLiteral("subscription_info"), 100,
                                     f.client->request(AhrefsDataExplorer::query(QStringLiteral("subscription_info"),
                                                                                 100, QStringLiteral("example.com")),
                                                       Token));
        QCOMPARE(listing.lines,
                 (QStringList{"- rows_left: 500000", "- rows_limit: 500000", "- subscription: Лёгкий тариф"}));
        QCOMPARE(listing.label, std::optional<QString>(QStringLiteral("Data: subscription_info")));

        listing = AhrefsDataExplorer::list(
            QStringLiteral("metrics"), 100,
            f.client->request(AhrefsDataExplorer::query(QStringLiteral("metrics"), 100, QStringLiteral("example.com")),
                              Token));
        QCOMPARE(listing.label, std::optional<QString>(QStringLiteral("Data: metrics")));
        QCOMPARE(listing.lines.mid(0, 3), (QStringList{"- backlinks: 2", "- refpages: 2", "- pages: 3"}));

        // A member holding an object or a list shows an empty text.
        listing = AhrefsDataExplorer::list(QStringLiteral("metrics"), 100,
                                           answerOf(R"({"metrics":{"a":{"x":1},"b":[1],"c":0.5,"d":true}})"));
        QCOMPARE(listing.lines, (QStringList{"- a: ", "- b: ", "- c: 0.5", "- d: true"}));
    }

    void explorerStopsAtARowWithoutAMember()
    {
        const QByteArray body = R"({"refdomains":[{"refdomain":"a.example","backlinks":3,"refpages":2,)"
                                R"("domain_rating":40},{"refdomain":"b.example","backlinks":5,"refpages":4},)"
                                R"({"refdomain":"c.example","backlinks":1,"refpages":1,"domain_rating":7}]})";
        const AhrefsDataExplorer::Listing listing =
            AhrefsDataExplorer::list(QStringLiteral("refdomains"), 100, answerOf(body));
        QCOMPARE(listing.lines, (QStringList{"a.example", "- backlinks: 3", "- refpages: 2", "- domain_rating: 40", "",
                                             "b.example", "- backlinks: 5", "- refpages: 4",
                                             "refdomains:", "- error: Value 'domain_rating' not found"}));
        QCOMPARE(listing.label, std::optional<QString>(QStringLiteral("Data: refdomains (last 100)")));
    }

    void explorerSaysWhyThereIsNoData_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("why");
        QTest::newRow("service error") << QByteArray(R"({"error":"Authentication Error"})") << 200
                                       << "Authentication Error";
        QTest::newRow("not JSON") << QByteArray("<html>proxy</html>") << 502
                                  << "Ahrefs gave no usable answer (HTTP status 502 Bad Gateway). Please check the "
                                     "connection and the account, then try again.";
        QTest::newRow("no data member") << QByteArray(R"({"refpages":[]})") << 200 << "Value 'pages' not found";
        QTest::newRow("data not a list") << QByteArray(R"({"pages":{"url":"x"}})") << 200 << "Value 'pages' not found";
    }
    void explorerSaysWhyThereIsNoData()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, why);
        const AhrefsDataExplorer::Listing listing =
            AhrefsDataExplorer::list(QStringLiteral("pages"), 100, answerOf(body, status));
        QCOMPARE(listing.lines, (QStringList{"pages:", "- error: " + why}));
        QVERIFY(!listing.label); // the label keeps what it showed
    }

    void anchorsReadTheSameEscapedOrRaw_data()
    {
        QTest::addColumn<bool>("escapeUnicode");
        QTest::newRow("raw UTF-8") << false;
        QTest::newRow("\\u escapes") << true;
    }
    void anchorsReadTheSameEscapedOrRaw()
    {
        QFETCH(bool, escapeUnicode);
        Fixture f;
        f.module.setEscapeUnicode(escapeUnicode);
        const auto listing = [&](const char *table) {
            const QString name = QString::fromLatin1(table);
            return AhrefsDataExplorer::list(
                name, 100,
                f.client->request(AhrefsDataExplorer::query(name, 100, QStringLiteral("example.com")), Token));
        };
        QCOMPARE(listing("anchors").lines, (QStringList{"- кресло «Уют»", "- click here"}));
        const QStringList backlinks = listing("backlinks").lines;
        QCOMPARE(backlinks.mid(0, 9),
                 (QStringList{"https://mebel-blog.ru/post/1/", "- url_to: https://example.com/", "- ahrefs_rank: 20",
                              "- domain_rating: 44", "- links_internal: 0", "- links_external: 0",
                              "- title: Обзор мебели", "- anchor: кресло «Уют»", ""}));
    }

    // ---- backlinks history -------------------------------------------------------

    void historyKeepsTheFirstNewRecrawlPerDay()
    {
        // Newest first, as the service lists the counters.
        const QByteArray body = countsAnswer({{"2024-03-08", "lost", "recrawl", 4, 6},
                                              {"2024-03-08", "new", "new_page", 9, 9},
                                              {"2024-03-08", "new", "recrawl", 12, 17},
                                              {"2024-03-08", "new", "recrawl", 1, 99},
                                              {"2024-03-07", "new", "recrawl", 3, 5},
                                              {"2024-03-07", "lost", "link_removed", 2, 2},
                                              {"2024-03-06", "new", "Recrawl", 8, 8},
                                              {"2024-03-05", "new", "recrawl", 0, 0}});
        const AhrefsBacklinksHistory::Reading reading = AhrefsBacklinksHistory::read(answerOf(body));
        QVERIFY(reading.ok());
        QStringList days;
        for (const auto &day : reading.days)
            days << day.date + QLatin1Char('=') + day.refpages + QLatin1Char('/') + day.all;
        QCOMPARE(days, (QStringList{"2024-03-05=0/0", "2024-03-07=3/5", "2024-03-08=12/17"}));
        QCOMPARE(reading.days.back().count, qint64(17));
        QCOMPARE(reading.counterLines.size(), 8);
        QCOMPARE(reading.counterLines[0],
                 QStringLiteral("- 2024-03-08 (type: lost / origin: recrawl): refpages: 4 / all: 6"));

        const AreaChartData chart = AhrefsBacklinksHistory::chartData(QStringLiteral("example.com"), reading.days);
        QCOMPARE(chart.title, QStringLiteral("Backlinks History for \"example.com\" (last two years)"));
        QCOMPARE(chart.points.size(), size_t(3));
        QCOMPARE(chart.points[2].label, QStringLiteral("2024-03-08"));
        QCOMPARE(chart.points[2].value, qint64(17));
    }

    void historyFailures_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("serviceError");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("counterLines");
        QTest::newRow("service error") << QByteArray(R"({"error":"API rows limit exceeded"})")
                                       << "API rows limit exceeded"
                                       << "" << 0;
        QTest::newRow("not JSON") << QByteArray("oops") << ""
                                  << "Ahrefs gave no usable answer (HTTP status 200 OK). Please check the connection "
                                     "and the account, then try again."
                                  << 0;
        QTest::newRow("no counts") << QByteArray(R"({"pages":[]})") << ""
                                   << "Value 'counts' not found" << 0;
        QTest::newRow("counter without origin")
            << QByteArray(R"({"counts":[{"date":"2024-03-08","type":"new","origin":"recrawl","refpages":1,"all":2},)"
                          R"({"date":"2024-03-07","type":"new","refpages":1,"all":2}]})")
            << ""
            << "Value 'origin' not found" << 1;
        QTest::newRow("all not a whole number")
            << QByteArray(
                   R"({"counts":[{"date":"2024-03-08","type":"new","origin":"recrawl","refpages":1,"all":"many"}]})")
            << ""
            << "'many' is not a valid integer value" << 1;
    }
    void historyFailures()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, serviceError);
        QFETCH(QString, failure);
        QFETCH(int, counterLines);
        const AhrefsBacklinksHistory::Reading reading = AhrefsBacklinksHistory::read(answerOf(body));
        QVERIFY(!reading.ok());
        QCOMPARE(reading.serviceError, serviceError);
        QCOMPARE(reading.failure, failure);
        QVERIFY(reading.days.empty());
        QCOMPARE(reading.counterLines.size(), counterLines);
    }

    // ---- the simulated service ---------------------------------------------------

    void serviceMatchesTargetsByMode_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("urls");
        const QString home = QStringLiteral("https://example.com/");
        const QString query = QStringLiteral("https://example.com/?a=1");
        const QString catalog = QStringLiteral("https://example.com/catalog/");
        const QString blog = QStringLiteral("https://blog.example.com/post/");
        QTest::newRow("exact") << home << "exact" << QStringList{home};
        QTest::newRow("exact, other scheme") << "http://example.com/catalog/"
                                             << "exact" << QStringList{catalog};
        QTest::newRow("exact, unknown") << "https://example.com/?a=1&b=2"
                                        << "exact" << QStringList();
        QTest::newRow("prefix") << "example.com/c"
                                << "prefix" << QStringList{catalog};
        QTest::newRow("prefix, host") << "example.com"
                                      << "prefix" << QStringList{home, query, catalog};
        QTest::newRow("domain") << "https://www.example.com/x"
                                << "domain" << QStringList{home, query, catalog};
        QTest::newRow("subdomains") << "example.com"
                                    << "subdomains" << QStringList{home, query, catalog, blog};
        QTest::newRow("other site") << "example.org"
                                    << "subdomains" << QStringList();
    }
    void serviceMatchesTargetsByMode()
    {
        QFETCH(QString, target);
        QFETCH(QString, mode);
        QFETCH(QStringList, urls);
        Fixture f;
        const JsonDocument doc = f.get({QStringLiteral("ahrefs_rank"), QString(), 50, target, mode});
        const JsonValue &pages = doc.root().requireMember("pages");
        QStringList seen;
        for (const JsonValue &p : pages)
            seen << p.memberText("url");
        QCOMPARE(seen, urls);
    }

    void serviceFiltersCountersByConditionAndLimit()
    {
        Fixture f;
        f.module.setSites({Module::generatedSite("example.com", 3, 0, "2024-03-31", 730)});
        JsonDocument doc = f.get(AhrefsBacklinksHistory::query(QStringLiteral("example.com"), QDate(2024, 3, 31)));
        const JsonValue &counts = doc.root().requireMember("counts");
        QCOMPARE(counts.size(), qsizetype(721 * 4)); // 2022-04-11 .. 2024-03-31, four counters a day
        QCOMPARE(counts.at(0).memberText("date"), QStringLiteral("2024-03-31"));
        QCOMPARE(counts.at(counts.size() - 1).memberText("date"), QStringLiteral("2022-04-11"));
        QStringList members;
        for (const JsonValue &m : counts.at(0))
            members << m.key();
        QCOMPARE(members, (QStringList{"date", "type", "origin", "refpages", "all"}));
        QVERIFY(counts.at(0).requireMember("all").isNumber());

        doc = f.get({AhrefsBacklinksHistory::table(), QStringLiteral("type=\"new\",origin:\"recrawl\""), 3,
                     QStringLiteral("example.com"), QStringLiteral("prefix")});
        QStringList rows;
        for (const JsonValue &c : doc.root().requireMember("counts"))
            rows << c.memberText("date") + QLatin1Char(' ') + c.memberText("type") + QLatin1Char(' ') +
                        c.memberText("origin");
        QCOMPARE(rows, (QStringList{"2024-03-31 new recrawl", "2024-03-30 new recrawl", "2024-03-29 new recrawl"}));
    }

    void serviceRefusesAsItDocuments_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("error");
        const QString t = QStringLiteral("&token=") + Token;
        QTest::newRow("no token") << "from=pages&target=example.com&mode=exact"
                                  << "Authentication Error";
        QTest::newRow("unknown token") << "from=pages&target=example.com&mode=exact&token=nope"
                                       << "Authentication Error";
        QTest::newRow("unknown table") << "from=keywords&target=example.com&mode=exact" + t
                                       << "Unknown table 'keywords'";
        QTest::newRow("no target") << "from=pages&mode=exact" + t << "Parameter 'target' is required";
        QTest::newRow("bad mode") << "from=pages&target=example.com&mode=all" + t << "Invalid mode 'all'";
        QTest::newRow("bad limit") << "from=pages&target=example.com&mode=exact&limit=-1" + t << "Invalid limit '-1'";
        QTest::newRow("bad condition") << "from=pages&target=example.com&mode=exact&where=date%3E%3D%22x" + t
                                       << "Invalid where condition 'date>=\"x'";
        QTest::newRow("unknown column") << "from=pages&target=example.com&mode=exact&where=color%3D%22red%22" + t
                                        << "Unknown column 'color' in where";
    }
    void serviceRefusesAsItDocuments()
    {
        QFETCH(QString, query);
        QFETCH(QString, error);
        Fixture f;
        const ExchangeResult answer =
            f.exchange.get(QStringLiteral("Ahrefs - HTTP Code: "),
                           QString::fromStdString(f.sim.baseUrl()) + QStringLiteral("/ahrefs/?") + query, {});
        const JsonDocument doc = JsonDocument::parse(answer.body);
        QCOMPARE(AhrefsClient::serviceError(doc), error);
    }

    void serviceChargesRowsAsTheReferenceLists()
    {
        Fixture f;
        const auto rowsLeft = [&] {
            return f.get({QStringLiteral("subscription_info"), QString(), 1, QString(), QString()})
                .root()
                .requireMember("info")
                .memberText("rows_left");
        };
        QCOMPARE(rowsLeft(), QStringLiteral("500000"));
        // pages: 1 a request and 0.2 a page; three pages
        f.get({QStringLiteral("pages"), QString(), 10, QStringLiteral("example.com"), QStringLiteral("prefix")});
        // refdomains: 1 and 1 a row, "where" 5; two domains
        f.get({QStringLiteral("refdomains"), QStringLiteral("backlinks>0"), 10, QStringLiteral("example.com"),
               QStringLiteral("domain")});
        QCOMPARE(rowsLeft(), QStringLiteral("499990")); // 500000 - 1.6 - 8, rounded down
    }
};

QTEST_GUILESS_MAIN(AhrefsTest)
#include "tst_ahrefs.moc"
