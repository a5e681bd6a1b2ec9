// Retries of service requests: which answers are tried again, how long the
// waits are, what the log and the progress bar say meanwhile, and that a
// cancel ends a wait.
#include "net/RetryPolicy.h"
#include "net/RetryRunner.h"
#include "net/ServiceExchange.h"

#include "SimServer.h"
#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/DailyQuota.h"
#include "net/HttpClient.h"
#include "net/RequestTrace.h"

#include <QtTest>

#include <memory>

using veltrano::ActivityLog;
using veltrano::BusyState;
using veltrano::EventPump;
using veltrano::ExchangeResult;
using veltrano::HttpResponse;
using veltrano::ProgressReporter;
using veltrano::RequestAborted;
using veltrano::RequestTrace;
using veltrano::RetryPolicy;
using veltrano::RetryRunner;
using veltrano::ServiceExchange;
using veltrano::VeltranoError;
namespace sim = veltrano::sim;

using namespace std::chrono_literals;

namespace {

const QString kLabel = QStringLiteral("Google Search Console - HTTP Code: ");

sim::Response googleError(int code, const std::string &message, const std::string &status)
{
    return sim::Response::json(R"({"error":{"code":)" + std::to_string(code) + R"(,"message":")" + message +
                                   R"(","status":")" + status + R"("}})",
                               code);
}

sim::Response dropped()
{
    sim::Response r;
    r.fault = sim::Fault::CloseWithoutAnswer;
    return r;
}

class RecordingProgress final : public ProgressReporter {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void showWaiting(const QString &note) override { notes << note; }
    QStringList notes;
};

// Raises the abort flag the first time the wait hands the window its
// events, as a click on "Cancel" would.
class CancellingPump final : public EventPump {
public:
    explicit CancellingPump(BusyState &busy) : m_busy(busy) {}
    void processPendingEvents() override
    {
        ++passes;
        m_busy.abortRequests();
    }
    void keepPainting() override {}
    int passes = 0;

private:
    BusyState &m_busy;
};

HttpResponse answer(int status, QByteArray retryAfter = {})
{
    HttpResponse r;
    r.status = status;
    r.reason = QStringLiteral("Reason");
    r.retryAfter = std::move(retryAfter);
    return r;
}

HttpResponse noAnswer(bool transient)
{
    HttpResponse r;
    r.failure = QStringLiteral("Connection refused");
    r.transient = transient;
    return r;
}

} // namespace

class RetryTest : public QObject {
    Q_OBJECT
private:
    sim::SimServer m_server;
    QString m_base;
    std::unique_ptr<ActivityLog> m_log;
    RequestTrace m_trace;

    ServiceExchange exchange()
    {
        ServiceExchange e(*m_log, m_trace);
        e.setReadTimeout(2s);
        RetryPolicy policy;
        policy.firstDelay = 0ms; // the waits' length is RetryPolicy's own test
        e.setRetryPolicy(policy);
        return e;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_base = QString::fromStdString(m_server.baseUrl());
    }
    void init()
    {
        m_server.clearScenario();
        m_server.clearRequests();
        m_trace.clear();
        m_log = std::make_unique<ActivityLog>();
    }

    void whichAnswersAreTriedAgain_data()
    {
        QTest::addColumn<HttpResponse>("response");
        QTest::addColumn<int>("reason");
        QTest::newRow("200") << answer(200) << int(RetryPolicy::Reason::None);
        QTest::newRow("400 says something about the request") << answer(400) << int(RetryPolicy::Reason::None);
        QTest::newRow("401 is the token renewal's") << answer(401) << int(RetryPolicy::Reason::None);
        QTest::newRow("403") << answer(403) << int(RetryPolicy::Reason::None);
        QTest::newRow("404") << answer(404) << int(RetryPolicy::Reason::None);
        QTest::newRow("429") << answer(429) << int(RetryPolicy::Reason::Quota);
        QTest::newRow("500") << answer(500) << int(RetryPolicy::Reason::ServerError);
        QTest::newRow("501 is final") << answer(501) << int(RetryPolicy::Reason::None);
        QTest::newRow("502") << answer(502) << int(RetryPolicy::Reason::ServerError);
        QTest::newRow("503") << answer(503) << int(RetryPolicy::Reason::ServerError);
        QTest::newRow("504") << answer(504) << int(RetryPolicy::Reason::ServerError);
        QTest::newRow("refused, reset, dropped, silent") << noAnswer(true) << int(RetryPolicy::Reason::NoAnswer);
        QTest::newRow("certificate refused") << noAnswer(false) << int(RetryPolicy::Reason::None);
        HttpResponse cancelled = noAnswer(true);
        cancelled.cancelled = true;
        QTest::newRow("cancelled") << cancelled << int(RetryPolicy::Reason::None);
    }
    void whichAnswersAreTriedAgain()
    {
        QFETCH(HttpResponse, response);
        QFETCH(int, reason);
        QCOMPARE(int(RetryPolicy::reasonToRetry(response)), reason);
    }

    void backoffDoublesUpToItsCap_data()
    {
        QTest::addColumn<int>("failedTries");
        QTest::addColumn<double>("jitter");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("first wait") << 1 << 0.0 << qint64(1000);
        QTest::newRow("second") << 2 << 0.0 << qint64(2000);
        QTest::newRow("third with jitter") << 3 << 0.5 << qint64(4500);
        QTest::newRow("seventh reaches the cap") << 7 << 0.0 << qint64(64000);
        QTest::newRow("cap holds with jitter") << 7 << 0.99 << qint64(64000);
        QTest::newRow("far beyond") << 1000 << 0.0 << qint64(64000);
    }
    void backoffDoublesUpToItsCap()
    {
        QFETCH(int, failedTries);
        QFETCH(double, jitter);
        QFETCH(qint64, ms);
        QCOMPARE(RetryPolicy().backoff(failedTries, jitter).count(), ms);
    }

    // Retry-After in seconds or as an HTTP date; anything unreasonable
    // leaves the normal backoff in force.
    void retryAfterValues_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<qint64>("ms"); // -1: not believed
        QTest::newRow("seconds") << QByteArray("4") << qint64(4000);
        QTest::newRow("blanks around") << QByteArray(" 30 ") << qint64(30000);
        QTest::newRow("zero") << QByteArray("0") << qint64(0);
        QTest::newRow("negative") << QByteArray("-3") << qint64(-1);
        QTest::newRow("not a number") << QByteArray("soon") << qint64(-1);
        QTest::newRow("fraction") << QByteArray("1.5") << qint64(-1);
        QTest::newRow("huge") << QByteArray("99999999999999999999") << qint64(-1);
        QTest::newRow("a day") << QByteArray("86400") << qint64(-1);
        QTest::newRow("HTTP date") << QByteArray("Sun, 06 Nov 1994 08:49:47 GMT") << qint64(10000);
        QTest::newRow("RFC 850 date") << QByteArray("Sunday, 06-Nov-94 08:49:47 GMT") << qint64(10000);
        QTest::newRow("asctime date") << QByteArray("Sun Nov  6 08:49:47 1994") << qint64(10000);
        QTest::newRow("date in the past") << QByteArray("Sun, 06 Nov 1994 08:49:00 GMT") << qint64(-1);
        QTest::newRow("empty") << QByteArray() << qint64(-1);
    }
    void retryAfterValues()
    {
        QFETCH(QByteArray, value);
        QFETCH(qint64, ms);
        const QDateTime now(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
        const auto wait = RetryPolicy::retryAfter(value, now);
        QCOMPARE(wait ? wait->count() : -1, ms);
        // The wait before a try falls back on the backoff.
        QCOMPARE(RetryPolicy().waitBefore(2, value, now, 0.0).count(), ms < 0 ? 2000 : ms);
    }

    void analyticsReportingTriesServerErrorsTwice()
    {
        const RetryPolicy policy = RetryPolicy::analyticsReporting();
        QCOMPARE(policy.triesFor(RetryPolicy::Reason::ServerError), 2);
        QCOMPARE(policy.triesFor(RetryPolicy::Reason::Quota), 5);
        QCOMPARE(policy.triesFor(RetryPolicy::Reason::NoAnswer), 5);
        QCOMPARE(RetryPolicy().triesFor(RetryPolicy::Reason::ServerError), 5);
    }

    // A burst of failures the service recovers from: the request is
    // answered, one log line per wait names the failure and the try to
    // come, the status line is the answer's, the progress bar shows each
    // wait and is given back.
    void burstIsRiddenOut_data()
    {
        QTest::addColumn<QList<int>>("failures"); // status, or 0 for a dropped connection
        QTest::addColumn<QStringList>("log");
        QTest::newRow("503 twice") << QList<int>{503, 503}
                                   << QStringList{kLabel + "503 Service Unavailable, trying again in 0 s (2/5)",
                                                  kLabel + "503 Service Unavailable, trying again in 0 s (3/5)",
                                                  kLabel + "200 OK"};
        QTest::newRow("quota, then a server error")
            << QList<int>{429, 500}
            << QStringList{kLabel + "429 Too Many Requests, quota exceeded, trying again in 0 s (2/5)",
                           kLabel + "500 Internal Server Error, trying again in 0 s (3/5)", kLabel + "200 OK"};
        QTest::newRow("dropped connection")
            << QList<int>{0}
            << QStringList{"Google Search Console - no answer (Server returned nothing (no headers, no data)), "
                           "trying again in 0 s (2/5)",
                           kLabel + "200 OK"};
        QTest::newRow("four failures, the fifth try answers")
            << QList<int>{502, 504, 503, 429}
            << QStringList{kLabel + "502 Bad Gateway, trying again in 0 s (2/5)",
                           kLabel + "504 Gateway Timeout, trying again in 0 s (3/5)",
                           kLabel + "503 Service Unavailable, trying again in 0 s (4/5)",
                           kLabel + "429 Too Many Requests, quota exceeded, trying again in 0 s (5/5)",
                           kLabel + "200 OK"};
    }
    void burstIsRiddenOut()
    {
        QFETCH(QList<int>, failures);
        QFETCH(QStringList, log);
        for (const int status : failures)
            m_server.queueResponse("POST", "/query",
                                   status ? googleError(status, "The service is currently unavailable.", "UNAVAILABLE")
                                          : dropped());
        m_server.setResponse("POST", "/query", sim::Response::json(R"({"rows":[]})"));
        RecordingProgress progress;
        ServiceExchange e = exchange();
        e.setProgress(&progress);

        const ExchangeResult result = e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}"));
        QCOMPARE(result.status, 200);
        QCOMPARE(result.text, QStringLiteral(R"({"rows":[]})"));
        QCOMPARE(m_log->messagesInOrder(), log);
        QCOMPARE(m_server.requestsTo("/query").size(), size_t(failures.size() + 1));
        // The trace holds the answer that counts.
        QCOMPARE(m_trace.lines(), (QStringList{QString(), QStringLiteral("HTTP Code: 200 OK")}));
        QCOMPARE(progress.notes.size(), 2 * failures.size());
        QCOMPARE(progress.notes.first(), QStringLiteral("Waiting 0 s before try 2/5"));
        QCOMPARE(progress.notes.last(), QString());
    }

    // Answers about the request itself are final at once.
    void finalAnswersAreNotRepeated_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("400") << 400;
        QTest::newRow("401") << 401;
        QTest::newRow("403") << 403;
        QTest::newRow("404") << 404;
    }
    void finalAnswersAreNotRepeated()
    {
        QFETCH(int, status);
        m_server.setResponse("POST", "/query", googleError(status, "no", "NO"));
        QCOMPARE(exchange().post(kLabel, m_base + "/query", {}, QStringLiteral("{}")).status, status);
        QCOMPARE(m_server.requestsTo("/query").size(), size_t(1));
        QCOMPARE(m_log->rowCount(), 1);
    }

    // The answer's Retry-After sets the wait, whatever the backoff says.
    void retryAfterIsHonoured()
    {
        sim::Response busy = googleError(429, "Quota exceeded", "RESOURCE_EXHAUSTED");
        busy.headers.emplace_back("Retry-After", "1");
        m_server.queueResponse("POST", "/query", busy);
        m_server.setResponse("POST", "/query", sim::Response::json("{}"));
        ServiceExchange e = exchange();
        RetryPolicy slow;
        slow.firstDelay = 3600s; // a wait the test would never see end
        e.setRetryPolicy(slow);
        QCOMPARE(e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}")).status, 200);
        QCOMPARE(m_log->messagesInOrder().first(),
                 kLabel + "429 Too Many Requests, quota exceeded, trying again in 1 s (2/5)");
    }

    // A server that never recovers: five tries, then its answer stands; the
    // twentieth request given up on in a row ends the run with a message
    // instead of burning the quota. One answer in between starts the count
    // again.
    void serverDownForEver()
    {
        m_server.setResponse("POST", "/query", googleError(503, "The service is currently unavailable.", "UNAVAILABLE"));
        ServiceExchange e = exchange();
        const ExchangeResult first = e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}"));
        QCOMPARE(first.status, 503);
        QCOMPARE(m_server.requestsTo("/query").size(), size_t(5));
        QCOMPARE(m_log->messagesInOrder().last(), kLabel + "503 Service Unavailable");

        m_server.queueResponse("POST", "/ok", sim::Response::json("{}"));
        for (int i = 2; i < ServiceExchange::kGiveUpsInARow; ++i)
            QCOMPARE(e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}")).status, 503);
        QCOMPARE(e.post(kLabel, m_base + "/ok", {}, QStringLiteral("{}")).status, 200);
        for (int i = 1; i < ServiceExchange::kGiveUpsInARow; ++i)
            QCOMPARE(e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}")).status, 503);
        try {
            e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}"));
            QFAIL("the twentieth request given up on did not end the run");
        } catch (const VeltranoError &error) {
            QCOMPARE(error.message(), ServiceExchange::giveUpText(kLabel));
            QVERIFY(error.message().startsWith(QStringLiteral("Google Search Console gave no usable answer to 20 ")));
        }
    }

    // "Cancel" during a long wait ends it at the window's next pass and
    // reads as a cancel, never as the failed answer.
    void cancelEndsTheWait()
    {
        m_server.setResponse("POST", "/query", googleError(503, "The service is currently unavailable.", "UNAVAILABLE"));
        BusyState busy;
        CancellingPump pump(busy);
        RecordingProgress progress;
        ServiceExchange e = exchange();
        RetryPolicy slow;
        slow.firstDelay = 3600s;
        e.setRetryPolicy(slow);
        e.setBusyState(&busy);
        e.setEventPump(&pump);
        e.setProgress(&progress);
        QVERIFY_THROWS_EXCEPTION(RequestAborted, e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}")));
        QVERIFY(pump.passes > 0);
        QCOMPARE(m_server.requestsTo("/query").size(), size_t(1));
        QVERIFY(!busy.isBusy());
        QCOMPARE(progress.notes.last(), QString()); // the bar is given back
    }

    // "Cancel" while a failed answer was on its way, on the first try or on
    // the last one: the run ends as cancelled, with neither another try
    // announced nor the failure handed on as the row's answer.
    void cancelDuringTheRequestEndsTheRun_data()
    {
        QTest::addColumn<int>("clickOnTry");
        QTest::newRow("first try") << 1;
        QTest::newRow("last try") << RetryPolicy().maxServerErrorTries;
    }

    void cancelDuringTheRequestEndsTheRun()
    {
        QFETCH(int, clickOnTry);
        ActivityLog log;
        std::atomic<bool> abort = false;
        RetryPolicy policy;
        policy.firstDelay = std::chrono::milliseconds(0);
        RetryRunner runner(policy, {log, nullptr, &abort, nullptr});
        int attempts = 0;
        QVERIFY_THROWS_EXCEPTION(RequestAborted, runner.run(kLabel, [&] {
            if (++attempts == clickOnTry)
                abort = true; // the click, handled while the answer came in
            return answer(503);
        }));
        QCOMPARE(attempts, clickOnTry);
        QCOMPARE(log.messagesInOrder().size(), qsizetype(clickOnTry - 1));
    }

    // Answers that say a daily quota is spent, in each service's words, and
    // when that quota returns; a per-minute quota is no such answer.
    void dailyQuotaIsRecognised_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("quota"); // empty: not a spent daily quota
        QTest::addColumn<QDateTime>("returnsAt");
        const QDateTime pacificMidnight(QDate(2026, 3, 6), QTime(8, 0), Qt::UTC);   // PST
        const QDateTime summerMidnight(QDate(2026, 7, 16), QTime(7, 0), Qt::UTC);   // PDT
        const QByteArray perDay = "{\"error\":{\"code\":429,\"message\":\"Quota exceeded for quota metric 'Queries' and "
                                  "limit 'Queries per day' of service 'searchconsole.googleapis.com' for consumer "
                                  "'project_number:1'.\",\"status\":\"RESOURCE_EXHAUSTED\"}}";
        QTest::newRow("Google per day") << 429 << perDay << "\"Queries per day\" of searchconsole.googleapis.com"
                                        << pacificMidnight;
        QTest::newRow("Google per minute")
            << 429
            << QByteArray("{\"error\":{\"code\":429,\"message\":\"Quota exceeded for quota metric 'Queries' and limit "
                          "'Queries per minute per user' of service 's'.\",\"status\":\"RESOURCE_EXHAUSTED\"}}")
            << QString() << QDateTime();
        QTest::newRow("Metrika's daily requests")
            << 429
            << QByteArray("{\"errors\":[{\"error_type\":\"quota_requests_by_uid\",\"message\":\"Quota exceeded\"}],"
                          "\"code\":429,\"message\":\"Quota exceeded\"}")
            << "\"quota_requests_by_uid\" (Yandex Metrika requests of a user a day)"
            << QDateTime(QDate(2026, 3, 6), QTime(0, 0), Qt::UTC);
        QTest::newRow("Metrika's short window")
            << 429 << QByteArray("{\"errors\":[{\"error_type\":\"quota_requests_by_ip\",\"message\":\"x\"}],\"code\":429}")
            << QString() << QDateTime();
        QTest::newRow("Analytics 4 tokens of the day")
            << 429
            << QByteArray("{\"error\":{\"code\":429,\"message\":\"Exhausted property tokens per day. These quota "
                          "tokens will return tomorrow.\",\"status\":\"RESOURCE_EXHAUSTED\"}}")
            << "\"property tokens per day\" of analyticsdata.googleapis.com" << pacificMidnight;
        QTest::newRow("Analytics 4 tokens of the hour")
            << 429
            << QByteArray("{\"error\":{\"code\":429,\"message\":\"Exhausted property tokens per hour for a project "
                          "per property. These quota tokens will return in under an hour.\",\"status\":"
                          "\"RESOURCE_EXHAUSTED\"}}")
            << "\"property tokens per hour\" of analyticsdata.googleapis.com"
            << QDateTime(QDate(2026, 3, 6), QTime(0, 30), Qt::UTC);
        QTest::newRow("a per-day text with a success status") << 200 << perDay << QString() << QDateTime();
        QTest::newRow("not JSON") << 429 << QByteArray("<html>per day</html>") << QString() << QDateTime();
        QTest::newRow("summer time") << 429 << perDay << "\"Queries per day\" of searchconsole.googleapis.com"
                                     << summerMidnight;
    }
    void dailyQuotaIsRecognised()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, quota);
        QFETCH(QDateTime, returnsAt);
        const bool summer = QString::fromUtf8(QTest::currentDataTag()) == QLatin1String("summer time");
        const QDateTime now = summer ? QDateTime(QDate(2026, 7, 15), QTime(23, 30), Qt::UTC)
                                     : QDateTime(QDate(2026, 3, 5), QTime(23, 30), Qt::UTC);
        const std::optional<veltrano::QuotaSpent> spent = veltrano::DailyQuota::spentIn(status, body, now);
        QCOMPARE(spent.has_value(), !quota.isEmpty());
        if (!spent)
            return;
        QCOMPARE(spent->quota(), quota);
        QCOMPARE(spent->returnsAt(), returnsAt);
        // A spent daily quota is not waited for.
        HttpResponse response = answer(status);
        response.body = body;
        QCOMPARE(int(RetryPolicy::reasonToRetry(response)), int(RetryPolicy::Reason::None));
    }

    // An exchange that stops on a spent quota raises it; one that does not
    // hands the answer back to its caller.
    void spentQuotaStopsWhenAsked()
    {
        m_server.setResponse("POST", "/query",
                             sim::Response::json("{\"error\":{\"code\":429,\"message\":\"Quota exceeded for quota metric "
                                                 "'Queries' and limit 'Queries per day' of service 'x'.\"}}",
                                                 429));
        ServiceExchange e = exchange();
        QCOMPARE(e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}")).status, 429);
        e.setStopOnSpentQuota(true);
        QVERIFY_THROWS_EXCEPTION(veltrano::QuotaSpent, e.post(kLabel, m_base + "/query", {}, QStringLiteral("{}")));
        QCOMPARE(m_server.requestsTo("/query").size(), size_t(2)); // never tried again
    }

    void waitLineWordsAndSeconds_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << qint64(4000) << "4 s";
        QTest::newRow("rounded up") << qint64(1200) << "2 s";
        QTest::newRow("none") << qint64(0) << "0 s";
    }
    void waitLineWordsAndSeconds()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(RetryRunner::secondsText(std::chrono::milliseconds(ms)), text);
    }
};

Q_DECLARE_METATYPE(HttpResponse)

QTEST_GUILESS_MAIN(RetryTest)
#include "tst_retry.moc"
