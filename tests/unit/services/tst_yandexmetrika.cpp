// Yandex Metrika in the core against the simulated service over real
// sockets: the client's request and trace, the counter list with its
// paging, the traffic check and its cells, the search phrases with their
// paging, and the simulated service itself.

#include "app/CheckContext.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "reports/ReportTable.h"
#include "services/yandex_metrika/YandexCounterList.h"
#include "services/yandex_metrika/YandexMetrikaClient.h"
#include "services/yandex_metrika/YandexSearchPhrases.h"
#include "services/yandex_metrika/YandexTrafficCheck.h"

#include "services/YandexMetrikaModule.h"
#include "support/ServiceTestFixture.h"

#include <QtTest>

using namespace veltrano;
using Module = sim::YandexMetrikaModule;
using Kind = YandexTrafficCheck::RowAnswer::Kind;
using testing::ServiceTestFixture;

Q_DECLARE_METATYPE(Kind)

namespace {

const QString Token = QStringLiteral("y0_metrika_unit_token");
constexpr long long UserId = 777;
constexpr long long CounterId = 44147844;
const QString Counter = QStringLiteral("44147844");

struct NoEvents final : EventPump {
    std::function<void()> onEvents;
    void processPendingEvents() override
    {
        if (onEvents)
            onEvents();
    }
    void keepPainting() override {}
};

Module::Counter counter(long long id, const std::string &site, const std::string &status = "Active")
{
    Module::Counter c;
    c.id = id;
    c.site = site;
    c.status = status;
    return c;
}

Module::Page page(const std::string &url, double visitsPerDay)
{
    Module::Page p;
    p.url = url;
    p.visitsPerDay = visitsPerDay;
    p.usersPerDay = visitsPerDay / 2;
    p.bounceRate = 25;
    p.pageDepth = 1.5;
    p.avgVisitDurationSeconds = 65;
    return p;
}

Module::Phrase phrase(const std::string &text, double visits)
{
    return {text, visits, visits - 1, 33.333, 1.5, 90.5};
}

ExchangeResult answer(const QByteArray &body, int status = 200)
{
    ExchangeResult a;
    a.status = status;
    a.body = body;
    a.text = QString::fromUtf8(body);
    return a;
}

struct Fixture : ServiceTestFixture<NoEvents> {
    Module module{tokens};
    std::unique_ptr<YandexMetrikaClient> client;
    ReportTable table{ServiceId::YandexMetrika};
    QString firstDay = QStringLiteral("2024-03-01");
    QString lastDay = QStringLiteral("2024-03-31");

    Fixture()
    {
        module.install(sim, "/yandex-metrika");
        module.acceptToken(Token.toStdString(), UserId);
        Module::Counter main = counter(CounterId, "example.com");
        main.pages = {page("https://example.com/a", 10), page("https://example.com/it's\\here?x=1&y=#+%25", 3),
                      page("https://example.com/каталог/", 2)};
        main.phrases = {phrase("диван", 9), phrase("кресло; \"мягкое\"", 4)};
        module.setCounters(UserId, {main, counter(5, "b.example.com")});
        sim.start();
        client = std::make_unique<YandexMetrikaClient>(exchange, simUrl(QStringLiteral("/yandex-metrika")));
        run.setTable(1, &table);
    }

    QString api() const { return client->apiHost(); }

    // "Check YM" on the report through the real run frame.
    void check(std::optional<QString> savedToken = Token, const QString &counterId = Counter)
    {
        YandexTrafficCheck trafficCheck(*client);
        run.registerCheck(1, QStringLiteral("Check YM"), [&](CheckContext &context) {
            YandexTrafficCheck::Inputs inputs;
            inputs.counterId = counterId;
            if (savedToken)
                inputs.savedToken = [&] { return *savedToken; };
            inputs.period = [this] { return std::pair{firstDay, lastDay}; };
            trafficCheck.run(context, table, inputs);
        });
        run.markApiConnected();
        run.checkUrl(1);
    }

    JsonDocument get(const QString &pathAndQuery, const QString &token = Token)
    {
        return JsonDocument::parse(client->request(token, api() + pathAndQuery).body);
    }
    sim::RecordedRequest last() const { return sim.requests().back(); }
};

} // namespace

class TestYandexMetrika : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void clientSendsTheTwoHeaderLinesAndTracesAMaskedToken();
    void clientSendsAnEmptyTokenAsItIs();
    void serviceErrorReadsCodeAndMessage_data();
    void serviceErrorReadsCodeAndMessage();

    void counterListKeepsActiveCountersSortedBySite();
    void counterListAsksForTheNextPageWhileRowsExceedTheReceived();
    void counterListFailures_data();
    void counterListFailures();

    void rowAnswerCells_data();
    void rowAnswerCells();
    void formattedCellsFollowTheUserLocale();
    void filterReachesTheServiceAsTheUrl_data();
    void filterReachesTheServiceAsTheUrl();
    void checkFillsRowsAndEmptiesAFailedOne();
    void checkEndsAtARefusedToken();
    void checkNeedsACounterAndAnAccount();
    void checkReadsThePeriodForEveryRow();

    void phrasesPageUntilTotalRows_data();
    void phrasesPageUntilTotalRows();
    void phraseCellsAndUnreadableElements();
    void phrasesFailures_data();
    void phrasesFailures();

    void simCountersPage();
    void simBytimeSplitsThePeriodByGroup_data();
    void simBytimeSplitsThePeriodByGroup();
    void simErrors_data();
    void simErrors();
    void simSearchPhrasesPage();
};

// ---------------------------------------------------------------------------
// Client

void TestYandexMetrika::clientSendsTheTwoHeaderLinesAndTracesAMaskedToken()
{
    Fixture f;
    const QString command = f.api() + QStringLiteral("/management/v1/counters");
    const ExchangeResult result = f.client->request(Token, command);

    QCOMPARE(result.status, 200);
    QVERIFY(result.text.contains(QStringLiteral("\"counters\"")));
    const sim::RecordedRequest request = f.last();
    QCOMPARE(request.method, std::string("GET"));
    QCOMPARE(request.header("Authorization"), "OAuth " + Token.toStdString());
    QCOMPARE(request.header("Content-Type"), std::string("application/x-yametrika+json"));
    QCOMPARE(f.trace.lines(), (QStringList{"- Authorization: OAuth y0_m...", "", "URL: " + command, "HTTP Code: 200 OK"}));
    QVERIFY(!f.trace.text().contains(Token));
    QCOMPARE(f.log.messagesInOrder(), QStringList{"Yandex Metrika - HTTP Code: 200 OK"});

    // A second call carries nothing of the first.
    f.client->request(QStringLiteral("other"), command);
    QCOMPARE(f.last().header("Authorization"), std::string("OAuth other"));
    QCOMPARE(f.log.messagesInOrder().last(), QStringLiteral("Yandex Metrika - HTTP Code: 403 Forbidden"));
}

void TestYandexMetrika::clientSendsAnEmptyTokenAsItIs()
{
    Fixture f;
    const ExchangeResult result = f.client->request(QString(), f.api() + QStringLiteral("/management/v1/counters"));
    QCOMPARE(result.status, 401);
    QCOMPARE(f.last().headerLines.empty(), false);
    QCOMPARE(f.trace.lines().first(), QStringLiteral("- Authorization: OAuth "));
    QCOMPARE(f.log.messagesInOrder(), QStringList{"Yandex Metrika - HTTP Code: 401 Unauthorized"});
}

void TestYandexMetrika::serviceErrorReadsCodeAndMessage_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected"); // empty: not an error object

    QTest::newRow("documented object")
        << QByteArray(R"({"errors":[{"error_type":"invalid_token","message":"Invalid oauth_token"}],)"
                      R"("code":403,"message":"Invalid oauth_token"})")
        << 403 << "Code: 403, Invalid oauth_token";
    QTest::newRow("no code: the HTTP status")
        << QByteArray(R"({"errors":[{"error_type":"quota","message":"Quota exceeded"}]})") << 429
        << "Code: 429, Quota exceeded";
    QTest::newRow("no message: the code alone") << QByteArray(R"({"errors":[],"code":400})") << 400 << "Code: 400";
    QTest::newRow("a report is no error") << QByteArray(R"({"totals":[[1.0]]})") << 200 << "";
    QTest::newRow("not JSON") << QByteArray("<html>502</html>") << 502 << "";
}

void TestYandexMetrika::serviceErrorReadsCodeAndMessage()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, expected);
    const auto error = YandexMetrikaClient::serviceError(answer(body, status));
    QCOMPARE(error ? YandexMetrikaClient::codeText(*error) : QString(), expected);
}

// ---------------------------------------------------------------------------
// Counter list

void TestYandexMetrika::counterListKeepsActiveCountersSortedBySite()
{
    Fixture f;
    Module::Counter named = counter(3, "a.example.com");
    named.name = "A";
    f.module.setCounters(UserId, {counter(1, "b.example.com"), counter(2, "lower.example.com", "active"),
                                  counter(4, "deleted.example.com", "Deleted"), named, counter(6, "B.example.com")});

    const std::vector<YandexCounter> list = YandexCounterList::fetch(*f.client, Token);

    QStringList rows;
    for (const YandexCounter &c : list)
        rows << c.site + QLatin1Char('|') + c.id;
    QCOMPARE(rows, (QStringList{"a.example.com|3", "b.example.com|1", "B.example.com|6"}));
    QCOMPARE(f.sim.requests().size(), size_t(1));
    QCOMPARE(f.last().target, std::string("/yandex-metrika/management/v1/counters"));
    // The answer is in the trace after an empty line.
    const QStringList trace = f.trace.lines();
    QCOMPARE(trace.at(trace.size() - 2), QString());
    QVERIFY(trace.last().startsWith(QStringLiteral("{\"rows\":5,")));
}

void TestYandexMetrika::counterListAsksForTheNextPageWhileRowsExceedTheReceived()
{
    Fixture f;
    std::vector<Module::Counter> many;
    for (int i = 0; i < 1500; ++i)
        many.push_back(counter(1000 + i, "site" + std::to_string(10000 + i) + ".example"));
    f.module.setCounters(UserId, many);

    const std::vector<YandexCounter> list = YandexCounterList::fetch(*f.client, Token);

    QCOMPARE(list.size(), size_t(1500));
    QCOMPARE(list.front().site, QStringLiteral("site10000.example"));
    QCOMPARE(list.back().id, QStringLiteral("2499"));
    const auto requests = f.sim.requests();
    QCOMPARE(requests.size(), size_t(2));
    QCOMPARE(requests[1].target, std::string("/yandex-metrika/management/v1/counters?per_page=1000&offset=1001"));

    // A service that says more than it lists: an empty page ends the list.
    f.sim.clearRequests();
    f.sim.queueResponse("GET", "/yandex-metrika/management/v1/counters",
                        sim::Response::json(R"({"rows":5,"counters":[{"id":1,"status":"Active","site":"x"}]})"));
    f.sim.queueResponse("GET", "/yandex-metrika/management/v1/counters",
                        sim::Response::json(R"({"rows":5,"counters":[]})"));
    QCOMPARE(YandexCounterList::fetch(*f.client, Token).size(), size_t(1));
    QCOMPARE(f.sim.requests().size(), size_t(2));
}

void TestYandexMetrika::counterListFailures_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("refused token")
        << QByteArray(R"({"errors":[{"error_type":"invalid_token","message":"Invalid oauth_token"}],)"
                      R"("code":403,"message":"Invalid oauth_token"})")
        << 403 << "Yandex Metrika Error - Code: 403, Invalid oauth_token";
    QTest::newRow("not JSON") << QByteArray("<html>Bad gateway</html>") << 502
                              << "Yandex Metrika gave no usable answer (HTTP status 502 Bad Gateway). Please check "
                                 "the connection and the account, then try again.";
    QTest::newRow("no counters") << QByteArray(R"({"rows":0})") << 200 << "Value 'counters' not found";
    QTest::newRow("a counter without a site")
        << QByteArray(R"({"rows":1,"counters":[{"id":1,"status":"Active"}]})") << 200 << "Value 'site' not found";
}

void TestYandexMetrika::counterListFailures()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, message);
    Fixture f;
    sim::Response response = sim::Response::json(body.toStdString(), status);
    response.reason = sim::reasonPhrase(status);
    f.sim.setResponse("GET", "/yandex-metrika/management/v1/counters", response);
    try {
        YandexCounterList::fetch(*f.client, Token);
        QFAIL("no error");
    } catch (const VeltranoError &error) {
        QCOMPARE(error.message(), message);
    }
    QVERIFY(f.trace.text().contains(QString::fromUtf8(body)));
}

// ---------------------------------------------------------------------------
// Traffic check

void TestYandexMetrika::rowAnswerCells_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("error");

    const QStringList empty(5, QString());
    QTest::newRow("figures as written and formatted")
        << QByteArray(R"({"totals":[[140.0],[98],[45.4545],[1.2345],[3725]],"time_intervals":[["a","b"]]})") << 200
        << Kind::Filled << QStringList{"140", "98", "45.5", "1.23", "62:05"} << "";
    QTest::newRow("zeros") << QByteArray(R"({"totals":[[0.0],[0.0],[0.0],[0.0],[0.0]]})") << 200 << Kind::Filled
                           << QStringList{"0", "0", "0.0", "0.00", "00:00"} << "";
    QTest::newRow("59.5 s") << QByteArray(R"({"totals":[[1],[1],[1],[1],[59.5]]})") << 200 << Kind::Filled
                            << QStringList{"1", "1", "1.0", "1.00", "01:00"} << "";
    QTest::newRow("60.5 s") << QByteArray(R"({"totals":[[1],[1],[1],[1],[60.5]]})") << 200 << Kind::Filled
                            << QStringList{"1", "1", "1.0", "1.00", "01:00"} << "";
    QTest::newRow("61.5 s") << QByteArray(R"({"totals":[[1],[1],[1],[1],[61.5]]})") << 200 << Kind::Filled
                            << QStringList{"1", "1", "1.0", "1.00", "01:02"} << "";
    QTest::newRow("first interval of several")
        << QByteArray(R"({"totals":[[7.0,3.0],[6.0,1.0],[10.0,0.0],[2.0,0.0],[30.0,0.0]]})") << 200 << Kind::Filled
        << QStringList{"7", "6", "10.0", "2.00", "00:30"} << "";
    QTest::newRow("a rejected filter")
        << QByteArray(R"({"errors":[{"error_type":"invalid_parameter","message":"Wrong parameter: 'filters'"}],)"
                      R"("code":400,"message":"Wrong parameter: 'filters'"})")
        << 400 << Kind::Unusable << empty << "Code: 400, Wrong parameter: 'filters'";
    QTest::newRow("refused token ends the check")
        << QByteArray(R"({"errors":[{"error_type":"invalid_token","message":"Invalid oauth_token"}],)"
                      R"("code":403,"message":"Invalid oauth_token"})")
        << 403 << Kind::EndCheck << empty << "Code: 403, Invalid oauth_token";
    QTest::newRow("spent quota ends the check")
        << QByteArray(R"({"errors":[{"error_type":"quota_requests_by_uid","message":"Quota exceeded"}],)"
                      R"("code":429,"message":"Quota exceeded"})")
        << 429 << Kind::EndCheck << empty << "Code: 429, Quota exceeded";
    QTest::newRow("not JSON") << QByteArray("<html>502</html>") << 502 << Kind::Unusable << empty << "";
    QTest::newRow("no totals") << QByteArray(R"({"data":[]})") << 200 << Kind::Unusable << empty << "";
    QTest::newRow("three totals") << QByteArray(R"({"totals":[[1],[1],[1]]})") << 200 << Kind::Unusable << empty
                                  << "";
    QTest::newRow("an empty total") << QByteArray(R"({"totals":[[1],[1],[],[1],[1]]})") << 200 << Kind::Unusable
                                    << empty << "";
    QTest::newRow("a total that is no number")
        << QByteArray(R"({"totals":[[1],[1],["x"],[1],[1]]})") << 200 << Kind::Unusable << empty << "";
}

void TestYandexMetrika::rowAnswerCells()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(Kind, kind);
    QFETCH(QStringList, cells);
    QFETCH(QString, error);
    const YandexTrafficCheck::RowAnswer read = YandexTrafficCheck::readAnswer(answer(body, status));
    QCOMPARE(read.kind, kind);
    QCOMPARE(read.cells, cells);
    QCOMPARE(read.error, error);
}

void TestYandexMetrika::formattedCellsFollowTheUserLocale()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const YandexTrafficCheck::RowAnswer read = YandexTrafficCheck::readAnswer(
        answer(R"({"totals":[[1234.0],[1000],[45.4545],[1.2345],[3725]]})"));
    QLocale::setDefault(saved);
    // The service's points are read as points; the cells use the comma.
    QCOMPARE(read.cells, (QStringList{"1234", "1000", "45,5", "1,23", "62:05"}));
}

void TestYandexMetrika::filterReachesTheServiceAsTheUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("visits");
    QTest::newRow("query with & and =") << "https://example.com/a" << "310";
    QTest::newRow("quote, backslash, &, #, + and %") << "https://example.com/it's\\here?x=1&y=#+%25" << "93";
    QTest::newRow("Cyrillic") << "https://example.com/каталог/" << "62";
    QTest::newRow("no such page") << "https://example.com/a?b=1&c=2" << "0";
}

void TestYandexMetrika::filterReachesTheServiceAsTheUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, visits);
    Fixture f;
    const ExchangeResult result =
        f.client->request(Token, YandexTrafficCheck::url(f.api(), f.firstDay, f.lastDay, Counter, url));

    const sim::RecordedRequest request = f.last();
    QCOMPARE(QString::fromStdString(request.queryParam("filters")), YandexTrafficCheck::filter(url));
    QCOMPARE(request.queryParam("date1"), std::string("2024-03-01"));
    QCOMPARE(request.queryParam("date2"), std::string("2024-03-31"));
    QCOMPARE(request.queryParam("ids"), Counter.toStdString());
    QCOMPARE(request.queryParam("group"), std::string("all"));
    QCOMPARE(request.queryParam("metrics"),
             std::string("ym:s:visits,ym:s:users,ym:s:bounceRate,ym:s:pageDepth,ym:s:avgVisitDurationSeconds"));
    QCOMPARE(YandexTrafficCheck::readAnswer(result).cells.first(), visits);
}

void TestYandexMetrika::checkFillsRowsAndEmptiesAFailedOne()
{
    Fixture f;
    f.table.appendRows({"https://example.com/a", "https://example.com/bad", "https://example.com/каталог/"});
    f.table.setRowCells(1, {"1", "2", "3", "4", "05:00"}); // an earlier check's figures
    sim::Response rejected = sim::Response::json(
        R"({"errors":[{"error_type":"invalid_parameter","message":"Wrong parameter: 'filters'"}],)"
        R"("code":400,"message":"Wrong parameter: 'filters'"})",
        400);
    rejected.reason = "Bad Request";
    const QString bad = YandexTrafficCheck::url(f.api(), f.firstDay, f.lastDay, Counter, "https://example.com/bad");
    f.sim.setResponse("GET", bad.mid(int(f.sim.baseUrl().size())).toStdString(), rejected);

    f.check();

    QCOMPARE(f.table.rowTexts(0), (QStringList{"https://example.com/a", "310", "155", "25.0", "1.50", "01:05"}));
    QCOMPARE(f.table.rowTexts(1), (QStringList{"https://example.com/bad", "", "", "", "", ""}));
    QCOMPARE(f.table.rowTexts(2), (QStringList{"https://example.com/каталог/", "62", "31", "25.0", "1.50", "01:05"}));
    const QStringList log = f.log.messagesInOrder();
    const QString ok = QStringLiteral("Yandex Metrika - HTTP Code: 200 OK");
    QCOMPARE(log.mid(log.indexOf(QStringLiteral("Check started"))),
             (QStringList{"Check started", ok, "Yandex Metrika - HTTP Code: 400 Bad Request",
                          "Yandex Metrika Error Get Object Data: 2/3 - Code: 400, Wrong parameter: 'filters'", ok,
                          "Check finished"}));
    QCOMPARE(f.progress.maximum, 3);
    QVERIFY(f.prompt.texts.isEmpty());
    QVERIFY(f.run.flags().reportDataReady);
}

void TestYandexMetrika::checkEndsAtARefusedToken()
{
    Fixture f;
    f.table.appendRows({"https://example.com/a", "https://example.com/b"});
    f.table.setRowCells(0, {"1", "2", "3", "4", "05:00"});

    f.check(QStringLiteral("revoked"));

    QCOMPARE(f.prompt.texts, QStringList{"Yandex Metrika Error - Code: 403, Invalid oauth_token"});
    QCOMPARE(f.table.rowTexts(0), (QStringList{"https://example.com/a", "1", "2", "3", "4", "05:00"}));
    QCOMPARE(f.sim.requests().size(), size_t(1));
    QVERIFY(!f.run.flags().reportDataReady);
}

void TestYandexMetrika::checkNeedsACounterAndAnAccount()
{
    {
        Fixture f;
        f.table.appendRows({"https://example.com/a"});
        f.check(Token, QString());
        QCOMPARE(f.prompt.texts, QStringList{"Please select Website from Poject list"});
        QCOMPARE(f.prompt.icons, QList<MessagePrompt::Icon>{MessagePrompt::Icon::None});
        QCOMPARE(f.sim.requestCount(), size_t(0));
    }
    {
        Fixture f;
        f.table.appendRows({"https://example.com/a"});
        f.check(std::nullopt);
        QCOMPARE(f.sim.requestCount(), size_t(0));
        QCOMPARE(f.table.rowTexts(0), (QStringList{"https://example.com/a", "", "", "", "", ""}));
    }
}

void TestYandexMetrika::checkReadsThePeriodForEveryRow()
{
    Fixture f;
    f.table.appendRows({"https://example.com/a", "https://example.com/a?2", "https://example.com/a?3"});
    // The user picks another period while the first row is answered.
    f.events.onEvents = [&] {
        if (f.sim.requestCount() > 0)
            f.lastDay = QStringLiteral("2024-03-10");
    };

    f.check();

    const auto requests = f.sim.requests();
    QCOMPARE(requests.size(), size_t(3));
    QCOMPARE(requests[0].queryParam("date2"), std::string("2024-03-31"));
    QCOMPARE(requests[1].queryParam("date2"), std::string("2024-03-10"));
    QCOMPARE(f.table.cell(0, 1), QStringLiteral("310"));
}

// ---------------------------------------------------------------------------
// Search phrases

void TestYandexMetrika::phrasesPageUntilTotalRows_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<QStringList>("offsets");
    QTest::newRow("three pages") << 23456 << QStringList{"1", "10001", "20001"};
    QTest::newRow("exactly one page") << 10000 << QStringList{"1"};
    QTest::newRow("none") << 0 << QStringList{"1"};
}

void TestYandexMetrika::phrasesPageUntilTotalRows()
{
    QFETCH(int, total);
    QFETCH(QStringList, offsets);
    Fixture f;
    Module::Counter main = counter(CounterId, "example.com");
    main.phrases = Module::generatedPhrases(size_t(total), "seed");
    f.module.setCounters(UserId, {main});

    const std::vector<QStringList> rows = YandexSearchPhrases::fetch(*f.client, Token, Counter, "2024-03-01",
                                                                     "2024-03-31");

    QCOMPARE(int(rows.size()), total);
    QStringList sent;
    for (const sim::RecordedRequest &request : f.sim.requests()) {
        sent << QString::fromStdString(request.queryParam("offset"));
        QCOMPARE(request.queryParam("limit"), std::string("10000"));
        QCOMPARE(request.queryParam("id"), Counter.toStdString());
        QCOMPARE(request.queryParam("preset"), std::string("sources_search_phrases"));
    }
    QCOMPARE(sent, offsets);
    if (total > 0)
        QCOMPARE(rows.back().first(), QString::fromStdString(main.phrases.back().text));
}

void TestYandexMetrika::phraseCellsAndUnreadableElements()
{
    Fixture f;
    const QByteArray body =
        R"({"data":[)"
        R"({"dimensions":[{"name":"диван"},{"id":"yandex","name":"Яндекс"}],"metrics":[9.0,8.0,33.333,1.5,90.5]},)"
        R"({"dimensions":[{"name":"three"}],"metrics":[1.0,1.0,50.0]},)"
        R"({"dimensions":[],"metrics":[1.0,1.0,1.0,1.0,1.0]},)"
        R"({"dimensions":[{"name":"text"}],"metrics":[1.0,1.0,"x",1.0,1.0]},)"
        R"({"dimensions":[{"name":"a; b"}],"metrics":[140.0,2,0,0,0.4]}],"total_rows":5})";
    f.sim.setResponse("GET", "/yandex-metrika/stat/v1/data?*", sim::Response::json(body.toStdString()));

    const std::vector<QStringList> rows = YandexSearchPhrases::fetch(*f.client, Token, Counter, "a", "b");

    QCOMPARE(rows.size(), size_t(2));
    QCOMPARE(rows[0], (QStringList{"диван", "9", "8", "33.33", "1.50", "91"}));
    QCOMPARE(rows[1], (QStringList{"a; b", "140", "2", "0.00", "0.00", "0"}));
    const QStringList trace = f.trace.lines();
    const QStringList leftOut{R"({"dimensions":[{"name":"three"}],"metrics":[1.0,1.0,50.0]})",
                              R"({"dimensions":[],"metrics":[1.0,1.0,1.0,1.0,1.0]})",
                              R"({"dimensions":[{"name":"text"}],"metrics":[1.0,1.0,"x",1.0,1.0]})"};
    for (const QString &element : leftOut)
        QVERIFY2(trace.contains(element), qPrintable(element));
}

void TestYandexMetrika::phrasesFailures_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::newRow("another's counter")
        << QByteArray(R"({"errors":[{"error_type":"access_denied","message":"Access is denied"}],)"
                      R"("code":403,"message":"Access is denied"})")
        << "Yandex Metrika Error - Code: 403, Access is denied";
    QTest::newRow("no total_rows") << QByteArray(R"({"data":[]})") << "Value 'total_rows' not found";
    QTest::newRow("no data") << QByteArray(R"({"total_rows":3})") << "Value 'data' not found";
    QTest::newRow("total_rows not whole") << QByteArray(R"({"total_rows":1.5,"data":[]})")
                                          << "'1.5' is not a valid integer value";
}

void TestYandexMetrika::phrasesFailures()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    try {
        YandexSearchPhrases::readPage(answer(body));
        QFAIL("no error");
    } catch (const VeltranoError &error) {
        QCOMPARE(error.message(), message);
    }
}

// ---------------------------------------------------------------------------
// The simulated service

void TestYandexMetrika::simCountersPage()
{
    Fixture f;
    Module::Counter named = counter(9, "named.example");
    named.name = "Named";
    f.module.setCounters(UserId, {counter(1, "one.example"), named, counter(3, "three.example", "Deleted")});

    const JsonDocument all = f.get(QStringLiteral("/management/v1/counters"));
    QCOMPARE(all.root().memberText("rows"), QStringLiteral("3"));
    const JsonValue &first = all.root().requireMember("counters").at(0);
    QCOMPARE(first.memberText("id"), QStringLiteral("1"));
    QCOMPARE(first.memberText("status"), QStringLiteral("Active"));
    QVERIFY(!first.member("name")); // a counter without a name has no "name"
    QCOMPARE(first.requireMember("site2").memberText("domain"), QStringLiteral("one.example"));
    QCOMPARE(all.root().requireMember("counters").at(1).memberText("name"), QStringLiteral("Named"));

    const JsonDocument second = f.get(QStringLiteral("/management/v1/counters?per_page=1&offset=2"));
    QCOMPARE(second.root().memberText("rows"), QStringLiteral("3"));
    QCOMPARE(second.root().requireMember("counters").size(), 1);
    QCOMPARE(second.root().requireMember("counters").at(0).memberText("id"), QStringLiteral("9"));
    QCOMPARE(f.get(QStringLiteral("/management/v1/counters?offset=4")).root().requireMember("counters").size(), 0);
}

void TestYandexMetrika::simBytimeSplitsThePeriodByGroup_data()
{
    QTest::addColumn<QString>("group"); // empty: none sent
    QTest::addColumn<QString>("visits");
    QTest::addColumn<QString>("intervals");

    // 2024-03-01 is a Friday: the weeks are cut at Mondays.
    QTest::newRow("default: weeks") << "" << "[30.0,70.0,70.0,70.0,70.0]"
                                    << "01..03 04..10 11..17 18..24 25..31";
    QTest::newRow("all: one interval") << "all" << "[310.0]" << "01..31";
    QTest::newRow("month") << "month" << "[310.0]" << "01..31";
    QTest::newRow("day") << "day" << "" << "";
}

void TestYandexMetrika::simBytimeSplitsThePeriodByGroup()
{
    QFETCH(QString, group);
    QFETCH(QString, visits);
    QFETCH(QString, intervals);
    Fixture f;
    QString query = QStringLiteral("/stat/v1/data/bytime?ids=44147844&date1=2024-03-01&date2=2024-03-31"
                                   "&metrics=ym:s:visits,ym:s:avgVisitDurationSeconds"
                                   "&filters=EXISTS(ym:pv:URL=*'https://example.com/a')");
    if (!group.isEmpty())
        query += QStringLiteral("&group=") + group;
    const ExchangeResult result = f.client->request(Token, f.api() + query);
    const JsonDocument doc = JsonDocument::parse(result.body);
    const JsonValue &totals = doc.root().requireMember("totals");
    QCOMPARE(totals.size(), 2); // one array per metric
    const JsonValue &times = doc.root().requireMember("time_intervals");
    if (group == QLatin1String("day")) {
        QCOMPARE(times.size(), 31);
        QCOMPARE(totals.at(0).size(), 31);
        QVERIFY(result.text.contains(QStringLiteral("\"totals\":[[10.0,10.0,")));
        return;
    }
    QVERIFY2(result.text.contains(QStringLiteral("\"totals\":[") + visits), qPrintable(result.text));
    QStringList spans;
    for (const JsonValue &interval : times)
        spans << interval.at(0).text().mid(8) + QStringLiteral("..") + interval.at(1).text().mid(8);
    QCOMPARE(spans.join(QLatin1Char(' ')), intervals);
    QCOMPARE(totals.at(1).at(0).text(), QStringLiteral("65")); // 65.0, the page's duration
}

void TestYandexMetrika::simErrors_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("pathAndQuery");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("type");

    const QString bytime = QStringLiteral("/stat/v1/data/bytime?ids=44147844&metrics=ym:s:visits");
    QTest::newRow("no token") << "" << "/management/v1/counters" << 401 << "unauthorized";
    QTest::newRow("unknown token") << "nobody" << "/management/v1/counters" << 403 << "invalid_token";
    QTest::newRow("another's counter") << Token << "/stat/v1/data/bytime?ids=1&metrics=ym:s:visits" << 403
                                       << "access_denied";
    QTest::newRow("bad filter") << Token << bytime + "&filters=EXISTS(ym:pv:URL=*'unclosed)" << 400
                                << "invalid_parameter";
    QTest::newRow("end before start") << Token << bytime + "&date1=2024-03-02&date2=2024-03-01" << 400
                                      << "invalid_parameter";
    QTest::newRow("no such day") << Token << bytime + "&date1=2024-02-30" << 400 << "invalid_parameter";
    QTest::newRow("unknown metric") << Token << "/stat/v1/data/bytime?ids=44147844&metrics=ym:s:nothing" << 400
                                    << "invalid_parameter";
    QTest::newRow("no metrics") << Token << "/stat/v1/data/bytime?ids=44147844" << 400 << "missing_parameter";
    QTest::newRow("limit above 100 000")
        << Token << "/stat/v1/data?id=44147844&preset=sources_search_phrases&limit=100001" << 400
        << "invalid_parameter";
    QTest::newRow("offset 0") << Token << "/stat/v1/data?ids=44147844&preset=sources_search_phrases&offset=0" << 400
                              << "invalid_parameter";
    QTest::newRow("unknown path") << Token << "/stat/v2/nothing" << 404 << "not_found";
}

void TestYandexMetrika::simErrors()
{
    QFETCH(QString, token);
    QFETCH(QString, pathAndQuery);
    QFETCH(int, status);
    QFETCH(QString, type);
    Fixture f;
    const ExchangeResult result = f.client->request(token, f.api() + pathAndQuery);
    QCOMPARE(result.status, status);
    const JsonDocument doc = JsonDocument::parse(result.body);
    QCOMPARE(doc.root().memberText("code"), QString::number(status));
    QVERIFY(!doc.root().memberText("message").isEmpty());
    QCOMPARE(doc.root().requireMember("errors").at(0).memberText("error_type"), type);
}

void TestYandexMetrika::simSearchPhrasesPage()
{
    Fixture f;
    // A spent quota answers 429 from the next request on.
    f.module.setQuota(Token.toStdString(), 1);
    const ExchangeResult first = f.client->request(
        Token, f.api() + QStringLiteral("/stat/v1/data?ids=44147844&preset=sources_search_phrases&offset=2&limit=1"));
    const QString phraseElement = QStringLiteral("\"data\":[{\"dimensions\":[{\"name\":\"кресло; \\\"мягкое\\\"\"}");
    QVERIFY2(first.text.contains(phraseElement), qPrintable(first.text));
    const QString metrics = QStringLiteral("\"metrics\":[4.0,3.0,33.333,1.5,90.5]");
    QVERIFY(first.text.contains(metrics));
    QVERIFY(first.text.contains(QStringLiteral("\"total_rows\":2")));
    const ExchangeResult spent = f.client->request(
        Token, f.api() + QStringLiteral("/stat/v1/data?ids=44147844&preset=sources_search_phrases"));
    QCOMPARE(spent.status, 429);
    QCOMPARE(YandexMetrikaClient::serviceError(spent)->type, QStringLiteral("quota_requests_by_uid"));
}

QTEST_GUILESS_MAIN(TestYandexMetrika)
#include "tst_yandexmetrika.moc"
