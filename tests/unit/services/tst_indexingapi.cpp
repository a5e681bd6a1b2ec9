// The Indexing API submission against the simulated Indexing API over
// sockets: what is sent per page (body byte for byte, the one header line),
// the order of request, events, pause and progress, which refusals end the
// run and which concern one page only, answers that cannot be read, and the
// cancel point. The simulator module's own answers are checked at the end.

#include "services/search_console/GoogleApiClient.h"
#include "services/search_console/IndexingApiSubmission.h"

#include "services/IndexingApiModule.h"
#include "services/SearchConsoleAccounts.h"
#include "support/ServiceTestFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <functional>

using namespace veltrano;
using namespace veltrano::testing;
using Accounts = sim::SearchConsoleAccounts;
using Outcome = IndexingApiSubmission::Outcome;

Q_DECLARE_METATYPE(Outcome)

namespace {

constexpr long long kUser = 11;
const QString kToken = QStringLiteral("ya29.indexing-unit-token");
const QString kSearchConsoleToken = QStringLiteral("ya29.search-console-only");
const std::string kPublishPath = "/indexing/v3/urlNotifications:publish";
const std::string kIndexingScope = "https://www.googleapis.com/auth/indexing";

// The window as the run sees it: what it was asked, in order. A pause
// returns at once, after running the test's step for it.
struct RecordingEvents final : EventPump {
    QStringList *steps = nullptr;
    QList<std::chrono::milliseconds> pauses;
    std::function<void()> duringPause;
    bool stoppedEarly = false;
    void processPendingEvents() override { *steps << QStringLiteral("events"); }
    void keepPainting() override {}
    void pause(std::chrono::milliseconds duration, const std::function<bool()> &stopEarly) override
    {
        *steps << QStringLiteral("pause");
        pauses << duration;
        if (duringPause)
            duringPause();
        stoppedEarly = stopEarly && stopEarly();
    }
};

struct Fixture : ServiceTestFixture<RecordingEvents> {
    std::shared_ptr<Accounts> accounts = std::make_shared<Accounts>(tokens);
    sim::IndexingApiModule indexing{accounts};
    std::unique_ptr<GoogleApiClient> client;
    QStringList steps;
    QList<IndexingNotification> rows;
    bool cancel = false;

    Fixture()
    {
        indexing.install(sim, indexing.defaultPrefix());
        accounts->acceptToken(kToken.toStdString(), kUser, kIndexingScope);
        accounts->acceptToken(kSearchConsoleToken.toStdString(), kUser);
        Accounts::Property owned;
        owned.siteUrl = "https://example.com/";
        Accounts::Property fullUser;
        fullUser.siteUrl = "https://shop.example.com/";
        fullUser.permissionLevel = "siteFullUser";
        accounts->setProperties(kUser, {owned, fullUser});
        // 2022-01-15T10:20:30.123456Z
        indexing.setClock([] {
            return std::chrono::system_clock::time_point(std::chrono::microseconds(1642242030123456LL));
        });
        sim.start();
        client = std::make_unique<GoogleApiClient>(
            exchange, GoogleApiClient::Hosts{simUrl("/googleapis"), simUrl("/searchconsole"), simUrl("/indexing")});
        events.steps = &steps;
    }

    IndexingApiSubmission::Result submit(const QStringList &urls, const QString &token = kToken)
    {
        IndexingApiSubmission submission(*client);
        return submission.run(token, urls,
                              {events, [this] { return cancel; },
                               [this](const IndexingNotification &row) {
                                   steps << QStringLiteral("row");
                                   rows << row;
                               },
                               [this] { steps << QStringLiteral("advance"); }});
    }

    QStringList rowUrls() const
    {
        QStringList urls;
        for (const IndexingNotification &row : rows)
            urls << row.url;
        return urls;
    }

    std::vector<sim::RecordedRequest> publishRequests() const { return sim.requestsTo(kPublishPath); }

    // One request straight to the simulator, as the program's exchange sends it.
    ExchangeResult send(const QString &method, const std::string &path, const QString &body = {},
                        const QString &token = kToken)
    {
        HttpRequest request;
        request.verb = method.toLatin1();
        request.url = QString::fromStdString(sim.baseUrl() + path);
        if (!token.isNull())
            request.headerLines << QStringLiteral("Authorization: Bearer ") + token;
        request.body = body.toUtf8();
        return exchange.send(QStringLiteral("sim: "), request, ServiceExchange::silent());
    }
};

QJsonObject objectOf(const ExchangeResult &answer)
{
    return QJsonDocument::fromJson(answer.body).object();
}

} // namespace

class IndexingApiTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void acceptedPagesAreListedInOrder();
    void refusals_data();
    void refusals();
    void unusableAnswersEndTheRun_data();
    void unusableAnswersEndTheRun();
    void closingTheWindowEndsTheRunAfterThePage();
    void bodiesAreEscapedUtf8();
    void notifyTimeText_data();
    void notifyTimeText();

    void simPublishAnswersAsTheReference();
    void simRefusesMalformedRequests_data();
    void simRefusesMalformedRequests();
    void simQuotaIsSetThroughTheControlInterface();
};

void IndexingApiTest::acceptedPagesAreListedInOrder()
{
    Fixture f;
    const QStringList pages = {"https://example.com/a/", "https://example.com/b/", "https://example.com/c/"};
    const auto result = f.submit(pages);

    QCOMPARE(result.outcome, Outcome::Completed);
    QVERIFY(result.ranThrough());
    QCOMPARE(f.rows.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(f.rows[i], (IndexingNotification{pages[i], "URL_UPDATED", "2022-01-15 10:20:30"}));
    // Per page: the row, the window's events, the pause, one step of the bar.
    QStringList expected;
    for (int i = 0; i < 3; ++i)
        expected << "row" << "events" << "pause" << "advance";
    QCOMPARE(f.steps, expected);
    QCOMPARE(f.events.pauses, QList<std::chrono::milliseconds>(3, std::chrono::milliseconds(1200)));

    const auto sent = f.publishRequests();
    QCOMPARE(sent.size(), size_t(3));
    for (size_t i = 0; i < sent.size(); ++i) {
        QCOMPARE(sent[i].method, std::string("POST"));
        QCOMPARE(QString::fromStdString(sent[i].body),
                 QStringLiteral("{\"url\": \"%1\", \"type\": \"URL_UPDATED\"}").arg(pages[int(i)]));
        QCOMPARE(sent[i].header("Authorization"), "OAuth " + kToken.toStdString());
        QCOMPARE(sent[i].header("Content-Type"), std::string("text/html"));
    }
    QCOMPARE(f.log.messagesInOrder(), QStringList(3, "Google Search Console - HTTP Code: 200 OK"));
    // The trace: the page, LF CR LF CR, the answer.
    QCOMPARE(f.trace.lines().filter(QStringLiteral("\n\r\n\r")).size(), 3);
    QVERIFY(f.trace.text().contains(pages[1] + "\n\r\n\r{"));
}

void IndexingApiTest::refusals_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QString>("token");
    QTest::addColumn<long long>("quota");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("requests");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("refusal"); // the log line of the refused page

    const QString notOwned = "https://shop.example.com/x/";
    QTest::newRow("403 site not owned: that page only")
        << QStringList{"https://example.com/1/", notOwned, "https://example.com/3/"} << kToken << 200LL
        << QStringList{"https://example.com/1/", "https://example.com/3/"} << 3 << Outcome::Completed
        << "Indexatioin API - HTTP Code: 403 - Permission denied. Failed to verify the URL ownership. - " + notOwned;
    QTest::newRow("400 not a URL: that page only")
        << QStringList{"example.com/1/", "https://example.com/2/"} << kToken << 200LL
        << QStringList{"https://example.com/2/"} << 2 << Outcome::Completed
        << "Indexatioin API - HTTP Code: 400 - Invalid attribute. 'url' is not in standard URL format: example.com/1/ - "
           "example.com/1/";
    QTest::newRow("429 quota spent: the run ends")
        << QStringList{"https://example.com/1/", "https://example.com/2/", "https://example.com/3/",
                       "https://example.com/4/"}
        << kToken << 1LL << QStringList{"https://example.com/1/"} << 2 << Outcome::Refused
        << "Indexatioin API - HTTP Code: 429 - Quota exceeded for quota metric 'Publish requests' and limit 'Publish "
           "requests per day' of service 'indexing.googleapis.com' for consumer 'project_number:123456789012'. - "
           "https://example.com/2/";
    QTest::newRow("401 token refused: the run ends")
        << QStringList{"https://example.com/1/", "https://example.com/2/"} << "ya29.revoked" << 200LL << QStringList{}
        << 1 << Outcome::Refused
        << "Indexatioin API - HTTP Code: 401 - Request had invalid authentication credentials. Expected OAuth 2 access "
           "token, login cookie or other valid authentication credential. See "
           "https://developers.google.com/identity/sign-in/web/devconsole-project. - https://example.com/1/";
    QTest::newRow("Search Console token: scope refused for each page")
        << QStringList{"https://example.com/1/", "https://example.com/2/"} << kSearchConsoleToken << 200LL
        << QStringList{} << 2 << Outcome::Completed
        << "Indexatioin API - HTTP Code: 403 - Request had insufficient authentication scopes. - https://example.com/2/";
}

void IndexingApiTest::refusals()
{
    QFETCH(QStringList, pages);
    QFETCH(QString, token);
    QFETCH(long long, quota);
    QFETCH(QStringList, listed);
    QFETCH(int, requests);
    QFETCH(Outcome, outcome);
    QFETCH(QString, refusal);

    Fixture f;
    f.indexing.setDailyQuota(quota);
    const auto result = f.submit(pages, token);

    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.ranThrough(), outcome == Outcome::Completed);
    QCOMPARE(f.rowUrls(), listed);
    QCOMPARE(int(f.publishRequests().size()), requests);
    QCOMPARE(f.log.messagesInOrder().filter(IndexingApiSubmission::kErrorLabel).last(), refusal);
    QVERIFY(!f.log.messagesInOrder().contains(IndexingApiSubmission::kCancelledLine));
    // A run that ends stops at once; a run that goes on paces every page.
    QCOMPARE(f.events.pauses.size(), outcome == Outcome::Refused ? requests - 1 : requests);
}

void IndexingApiTest::unusableAnswersEndTheRun_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<QString>("message");

    QTest::newRow("no answer") << 0 << QString() << true
                               << "Google Indexing API gave no usable answer (HTTP status 500, no answer received). "
                                  "Please check the connection and the account, then try again.";
    QTest::newRow("500, empty body") << 500 << QString() << false
                                     << "Google Indexing API gave no usable answer (HTTP status 500 Internal Server "
                                        "Error). Please check the connection and the account, then try again.";
    QTest::newRow("no latestUpdate") << 200 << R"({"urlNotificationMetadata": {"url": "https://example.com/2/"}})"
                                     << false << "Value 'latestUpdate' not found";
    QTest::newRow("no notifyTime")
        << 200
        << R"({"urlNotificationMetadata": {"url": "u", "latestUpdate": {"url": "u", "type": "URL_UPDATED"}}})"
        << false << "Value 'notifyTime' not found";
}

void IndexingApiTest::unusableAnswersEndTheRun()
{
    QFETCH(int, status);
    QFETCH(QString, body);
    QFETCH(bool, dropped);
    QFETCH(QString, message);

    Fixture f;
    f.exchange.setReadTimeout(std::chrono::milliseconds(2000));
    sim::Response answer = sim::Response::json(body.toStdString(), status ? status : 200);
    if (dropped)
        answer.fault = sim::Fault::CloseWithoutAnswer;
    // The first page is accepted; the second gets the answer at every try
    // (no answer and a 5xx are tried five times).
    const bool retried = dropped || status >= 500;
    const int tries = retried ? 5 : 1;
    const auto result = [&] {
        f.events.duringPause = [&] {
            if (f.steps.count(QStringLiteral("pause")) == 1) {
                for (int i = 0; i < tries; ++i)
                    f.sim.queueResponse("POST", kPublishPath, answer);
            }
        };
        return f.submit({"https://example.com/1/", "https://example.com/2/", "https://example.com/3/"});
    }();

    QCOMPARE(result.outcome, Outcome::Unusable);
    QVERIFY(!result.ranThrough());
    QCOMPARE(result.message, message);
    QCOMPARE(f.rowUrls(), QStringList{"https://example.com/1/"});
    QCOMPARE(f.publishRequests().size(), size_t(1 + tries));
}

void IndexingApiTest::closingTheWindowEndsTheRunAfterThePage()
{
    Fixture f;
    f.events.duringPause = [&] { f.cancel = true; };
    const auto result = f.submit({"https://example.com/1/", "https://example.com/2/", "https://example.com/3/"});

    QCOMPARE(result.outcome, Outcome::Cancelled);
    QVERIFY(result.ranThrough());
    QVERIFY(f.events.stoppedEarly);
    QCOMPARE(f.rowUrls(), QStringList{"https://example.com/1/"});
    QCOMPARE(f.publishRequests().size(), size_t(1));
    QCOMPARE(f.steps, (QStringList{"row", "events", "pause", "advance"}));
    QCOMPARE(f.log.messagesInOrder(),
             (QStringList{"Google Search Console - HTTP Code: 200 OK", "Indexation cancelled..."}));
}

void IndexingApiTest::bodiesAreEscapedUtf8()
{
    Fixture f;
    const QString cyrillic = QStringLiteral("https://example.com/диваны/угловой/");
    const QString quoted = QStringLiteral("https://example.com/\"best\"/");
    const auto result = f.submit({cyrillic, quoted});

    QCOMPARE(result.outcome, Outcome::Completed);
    QCOMPARE(f.rowUrls(), (QStringList{cyrillic, quoted}));
    const auto sent = f.publishRequests();
    QCOMPARE(QByteArray::fromStdString(sent[0].body),
             QByteArray("{\"url\": \"https://example.com/\xd0\xb4\xd0\xb8\xd0\xb2\xd0\xb0\xd0\xbd\xd1\x8b/"
                        "\xd1\x83\xd0\xb3\xd0\xbb\xd0\xbe\xd0\xb2\xd0\xbe\xd0\xb9/\", \"type\": \"URL_UPDATED\"}"));
    QCOMPARE(QByteArray::fromStdString(sent[1].body),
             QByteArray("{\"url\": \"https://example.com/\\\"best\\\"/\", \"type\": \"URL_UPDATED\"}"));
}

void IndexingApiTest::notifyTimeText_data()
{
    QTest::addColumn<QString>("notifyTime");
    QTest::addColumn<QString>("shown");
    QTest::newRow("nine digits") << "2024-05-06T07:08:09.123456789Z" << "2024-05-06 07:08:09";
    QTest::newRow("six digits") << "2022-01-15T10:20:30.123456Z" << "2022-01-15 10:20:30";
    QTest::newRow("whole seconds") << "2022-01-15T10:20:30Z" << "2022-01-15 10:20:30";
    QTest::newRow("no T") << "2022-01-15" << "2022-01-15";
}

void IndexingApiTest::notifyTimeText()
{
    QFETCH(QString, notifyTime);
    QFETCH(QString, shown);
    QCOMPARE(IndexingApiSubmission::notifyTimeText(notifyTime), shown);
}

// ---------------------------------------------------------------------------
// The simulated Indexing API

void IndexingApiTest::simPublishAnswersAsTheReference()
{
    Fixture f;
    const QString page = QStringLiteral("https://example.com/sofas/");
    const auto updated = f.send("POST", kPublishPath, R"({"url": ")" + page + R"(", "type": "URL_UPDATED"})");
    QCOMPARE(updated.status, 200);
    const QJsonObject first = objectOf(updated)["urlNotificationMetadata"].toObject();
    QCOMPARE(first.keys(), (QStringList{"latestUpdate", "url"}));
    QCOMPARE(first["latestUpdate"].toObject()["notifyTime"].toString(), "2022-01-15T10:20:30.123456000Z");

    const auto deleted = f.send("POST", kPublishPath, R"({"url": ")" + page + R"(", "type": "URL_DELETED"})");
    const QJsonObject second = objectOf(deleted)["urlNotificationMetadata"].toObject();
    QCOMPARE(second["url"].toString(), page);
    QCOMPARE(second["latestUpdate"].toObject()["type"].toString(), "URL_UPDATED");
    QCOMPARE(second["latestRemove"].toObject()["type"].toString(), "URL_DELETED");
    QCOMPARE(second["latestRemove"].toObject()["url"].toString(), page);

    // The metadata of a page notified before; 404 for one never notified.
    QCOMPARE(objectOf(f.send("GET", "/indexing/v3/urlNotifications/metadata?url=https%3A%2F%2Fexample.com%2Fsofas%2F")),
             second);
    const auto unknown = f.send("GET", "/indexing/v3/urlNotifications/metadata?url=https%3A%2F%2Fexample.com%2Fnew%2F");
    QCOMPARE(unknown.status, 404);
    QCOMPARE(objectOf(unknown)["error"].toObject()["status"].toString(), "NOT_FOUND");
    QCOMPARE(f.indexing.requestTimes().size(), size_t(4));
}

void IndexingApiTest::simRefusesMalformedRequests_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("no token") << R"({"url": "https://example.com/", "type": "URL_UPDATED"})" << QString() << 401
                              << "UNAUTHENTICATED"
                              << "Request is missing required authentication credential. Expected OAuth 2 access "
                                 "token, login cookie or other valid authentication credential. See "
                                 "https://developers.google.com/identity/sign-in/web/devconsole-project.";
    QTest::newRow("not JSON") << "{\"url\": " << kToken << 400 << "INVALID_ARGUMENT"
                              << "Invalid JSON payload received. Unexpected token.";
    QTest::newRow("unknown member") << R"({"url": "https://example.com/", "kind": "x"})" << kToken << 400
                                    << "INVALID_ARGUMENT"
                                    << "Invalid JSON payload received. Unknown name \"kind\": Cannot find field.";
    QTest::newRow("unknown type") << R"({"url": "https://example.com/", "type": "URL_CHANGED"})" << kToken << 400
                                  << "INVALID_ARGUMENT"
                                  << "Invalid value at 'url_notification.type' "
                                     "(type.googleapis.com/google.indexing.v3.UrlNotificationType), \"URL_CHANGED\"";
    QTest::newRow("no type") << R"({"url": "https://example.com/"})" << kToken << 400 << "INVALID_ARGUMENT"
                             << "Request contains an invalid argument.";
}

void IndexingApiTest::simRefusesMalformedRequests()
{
    QFETCH(QString, body);
    QFETCH(QString, token);
    QFETCH(int, code);
    QFETCH(QString, status);
    QFETCH(QString, message);

    Fixture f;
    const auto answer = f.send("POST", kPublishPath, body, token);
    QCOMPARE(answer.status, code);
    const QJsonObject error = objectOf(answer)["error"].toObject();
    QCOMPARE(error["code"].toInt(), code);
    QCOMPARE(error["status"].toString(), status);
    QVERIFY2(error["message"].toString().startsWith(message), qPrintable(error["message"].toString()));
    QVERIFY(error["errors"].isArray());
}

void IndexingApiTest::simQuotaIsSetThroughTheControlInterface()
{
    Fixture f;
    QCOMPARE(f.indexing.dailyQuota(), 200LL);
    const auto set = f.send("POST", "/__sim/settings/indexing", R"({"dailyQuota": 2})", QString());
    QCOMPARE(objectOf(set)["dailyQuota"].toInt(), 2);

    const QString body = R"({"url": "https://example.com/", "type": "URL_UPDATED"})";
    QCOMPARE(f.send("POST", kPublishPath, body).status, 200);
    QCOMPARE(f.send("POST", kPublishPath, body).status, 200);
    const auto spent = f.send("POST", kPublishPath, body);
    QCOMPARE(spent.status, 429);
    QCOMPARE(objectOf(spent)["error"].toObject()["status"].toString(), "RESOURCE_EXHAUSTED");

    const QJsonObject state = objectOf(f.send("GET", "/__sim/settings/indexing", {}, QString()));
    QCOMPARE(state["publishedToday"].toInt(), 2);
    QCOMPARE(state["requestTimesMs"].toArray().size(), 3);
    // A new day.
    f.send("POST", "/__sim/settings/indexing", R"({"resetUsage": true})", QString());
    QCOMPARE(f.send("POST", kPublishPath, body).status, 200);
}

QTEST_GUILESS_MAIN(IndexingApiTest)
#include "tst_indexingapi.moc"
