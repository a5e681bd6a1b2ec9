#include "net/ServiceExchange.h"

#include "SimServer.h"
#include "app/ActivityLog.h"
#include "app/BusyState.h"
#include "app/VeltranoError.h"
#include "app/UiPorts.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"

#include <QtTest>
#include <memory>
#include <thread>

using veltrano::ActivityLog;
using veltrano::BusyState;
using veltrano::RequestAborted;
using veltrano::VeltranoError;
namespace serviceanswer = veltrano::serviceanswer;
using veltrano::EventPump;
using veltrano::ExchangeResult;
using veltrano::RequestTrace;
using veltrano::ServiceExchange;
namespace sim = veltrano::sim;

using namespace std::chrono_literals;

namespace {

const QString kLabel = QStringLiteral("Yandex Webmaster - HTTP Code: ");

// Counts how the exchange keeps the window alive while it waits.
class CountingPump final : public EventPump {
public:
    void processPendingEvents() override { ++inputPasses; }
    void keepPainting() override
    {
        ++paints;
        if (std::this_thread::get_id() != owner)
            ++foreignThreadCalls;
    }
    int paints = 0;
    int inputPasses = 0;
    int foreignThreadCalls = 0;
    std::thread::id owner = std::this_thread::get_id();
};

} // namespace

class ServiceExchangeTest : public QObject {
    Q_OBJECT
private:
    sim::SimServer m_server;
    QString m_base;
    std::unique_ptr<ActivityLog> m_log;
    RequestTrace m_trace;

    ServiceExchange exchange(EventPump *pump = nullptr)
    {
        ServiceExchange e(*m_log, m_trace, {}, pump);
        e.setReadTimeout(2s);
        // One try: these cases look at a single exchange (tst_retry covers
        // the tries).
        e.setRetryPolicy(veltrano::RetryPolicy::never());
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

    void logAndTraceLines_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<QString>("traceLine");
        QTest::newRow("ok") << 200 << int(sim::Fault::None) << kLabel + "200 OK" << "HTTP Code: 200 OK";
        QTest::newRow("401 logged like any answer") << 401 << int(sim::Fault::None) << kLabel + "401 Unauthorized"
                                                    << "HTTP Code: 401 Unauthorized";
        QTest::newRow("no answer ends in a blank") << 200 << int(sim::Fault::CloseWithoutAnswer) << kLabel + "500 "
                                                   << "HTTP Code: 500 ";
    }
    void logAndTraceLines()
    {
        QFETCH(int, status);
        QFETCH(int, fault);
        QFETCH(QString, logLine);
        QFETCH(QString, traceLine);
        const std::string body = "{\"error_code\":\"INVALID_OAUTH_TOKEN\"}";
        sim::Response answer = sim::Response::json(body, status);
        answer.fault = sim::Fault(fault);
        m_server.setResponse("GET", "/v4/user", answer);

        const ExchangeResult result =
            exchange().get(kLabel, m_base + "/v4/user", {QStringLiteral("Authorization: OAuth t")});
        QCOMPARE(m_log->messagesInOrder(), QStringList{logLine});
        QCOMPARE(m_trace.lines(), (QStringList{QString(), traceLine}));
        if (answer.fault == sim::Fault::None) {
            QCOMPARE(result.status, status);
            QCOMPARE(result.body, QByteArray::fromStdString(body));
            QCOMPARE(result.text, QString::fromStdString(body));
        } else {
            QCOMPARE(result.status, 500);
            QVERIFY(result.reason.isEmpty() && result.body.isEmpty() && result.text.isEmpty());
        }
    }

    void silentExchangeWritesNothing()
    {
        m_server.setResponse("GET", "/v4/user/1/hosts", sim::Response::json("{\"hosts\":[]}"));
        const ExchangeResult result = exchange().get(kLabel, m_base + "/v4/user/1/hosts", {}, ServiceExchange::silent());
        QCOMPARE(result.status, 200);
        QCOMPARE(m_log->rowCount(), 0);
        QVERIFY(m_trace.lines().isEmpty());
    }

    void postSendsJsonAsUtf8()
    {
        m_server.setResponse("POST", "/query", sim::Response::json("{}"));
        const QString json = QString::fromUtf8("{\"dimensionFilterGroups\":[{\"expression\":\"/каталог/\"}]}");
        exchange().post(QStringLiteral("Google Search Console - HTTP Code: "), m_base + "/query",
                        {QStringLiteral("Authorization: OAuth g")}, json);
        const sim::RecordedRequest r = m_server.requests().front();
        QCOMPARE(QString::fromStdString(r.method), QStringLiteral("POST"));
        QCOMPARE(QByteArray::fromStdString(r.body), json.toUtf8());
        QCOMPARE(QString::fromStdString(r.header("Content-Type")), QStringLiteral("text/html"));
        QCOMPARE(m_log->messagesInOrder(), QStringList{"Google Search Console - HTTP Code: 200 OK"});
    }

    // Raw UTF-8 and invalid bytes in an answer: the text shows real
    // characters, an invalid byte becomes U+FFFD, the bytes stay as sent.
    void bodyDecodedOnce_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        const QString title = QString::fromUtf8("{\"title\":\"Купить слона — недорого\"}");
        QTest::newRow("Cyrillic") << title.toUtf8() << title;
        QTest::newRow("invalid byte") << QByteArray("{\"t\":\"a\xc3\x28z\"}") << QString::fromUtf8("{\"t\":\"a\uFFFD(z\"}");
        QTest::newRow("cut sequence at end") << QByteArray("ab\xe2\x82") << QString::fromUtf8("ab\uFFFD\uFFFD");
    }
    void bodyDecodedOnce()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        m_server.setResponse("GET", "/page", sim::Response::json(body.toStdString()));
        const ExchangeResult result = exchange().get(kLabel, m_base + "/page", {});
        QCOMPARE(result.body, body);
        QCOMPARE(result.text, text);
    }

    // While a request is in flight the window paints but takes no input;
    // the pump is only called from the caller's thread.
    void pumpKeepsPaintingWhileWaiting()
    {
        sim::Response slow = sim::Response::json("{\"user_id\":7}");
        slow.delayMs = 200;
        m_server.setResponse("GET", "/v4/user", slow);
        CountingPump pump;
        const ExchangeResult result = exchange(&pump).get(kLabel, m_base + "/v4/user", {});
        QCOMPARE(result.status, 200);
        QCOMPARE(result.text, QStringLiteral("{\"user_id\":7}"));
        QVERIFY(pump.paints > 0);
        QCOMPARE(pump.inputPasses, 0);
        QCOMPARE(pump.foreignThreadCalls, 0);

        // A failure through the worker thread reads the same as inline.
        slow.fault = sim::Fault::ResetConnection;
        m_server.setResponse("GET", "/v4/user", slow);
        QCOMPARE(exchange(&pump).get(kLabel, m_base + "/v4/user", {}).status, 500);
    }

    // "Cancel" against a server that never answers: the request is
    // abandoned within tens of milliseconds, not after the time-out, and
    // reads as RequestAborted, never as an answer. The program is busy
    // exactly while the request is in flight.
    void cancelAbandonsASilentRequestAtOnce()
    {
        sim::Response silent = sim::Response::json("{}");
        silent.fault = sim::Fault::NeverAnswer;
        m_server.setResponse("GET", "/hang", silent);

        BusyState busy;
        QElapsedTimer sinceCancel;
        bool busyWhileWaiting = false;
        ServiceExchange e = exchange();
        e.setReadTimeout(30s);
        e.setBusyState(&busy);
        // The pump runs on the caller's thread while the request waits:
        // that is where a click on "Cancel" arrives.
        struct CancellingPump final : EventPump {
            BusyState &busy;
            QElapsedTimer &since;
            bool &sawBusy;
            int paints = 0;
            CancellingPump(BusyState &b, QElapsedTimer &t, bool &s) : busy(b), since(t), sawBusy(s) {}
            void processPendingEvents() override {}
            void keepPainting() override
            {
                sawBusy = sawBusy || busy.isBusy();
                if (++paints == 10) {
                    busy.abortRequests();
                    since.start();
                }
            }
        } cancelling(busy, sinceCancel, busyWhileWaiting);
        e.setEventPump(&cancelling);

        QVERIFY_THROWS_EXCEPTION(RequestAborted, e.get(kLabel, m_base + "/hang", {}));
        QVERIFY(sinceCancel.isValid());
        QVERIFY2(sinceCancel.elapsed() < 1000, qPrintable(QString::number(sinceCancel.elapsed())));
        QVERIFY(busyWhileWaiting);
        QVERIFY(!busy.isBusy());
        QCOMPARE(m_log->rowCount(), 0); // no status line for an answer that never came

        // After the run the flag is down and requests go through again.
        busy.clearAbort();
        m_server.setResponse("GET", "/ok", sim::Response::json("{}"));
        e.setEventPump(nullptr);
        QCOMPARE(e.get(kLabel, m_base + "/ok", {}).status, 200);
        // A closing program abandons every request from then on.
        busy.abortForClose();
        busy.clearAbort();
        QVERIFY_THROWS_EXCEPTION(RequestAborted, e.get(kLabel, m_base + "/ok", {}));
    }

    // The services' own error objects give their words and the status on a
    // second line; anything else leaves the message alone.
    void serviceWordsFollowTheMessage_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("second");
        QTest::newRow("Yandex Webmaster")
            << 403 << "Forbidden" << QByteArray(R"({"error_code":"INVALID_OAUTH_TOKEN","error_message":"Invalid oauth token"})")
            << "INVALID_OAUTH_TOKEN: Invalid oauth token (HTTP status 403 Forbidden)";
        QTest::newRow("Google") << 401 << "Unauthorized"
                                << QByteArray(R"({"error":{"code":401,"message":"Request had invalid authentication credentials.","status":"UNAUTHENTICATED"}})")
                                << "UNAUTHENTICATED: Request had invalid authentication credentials. (HTTP status 401 Unauthorized)";
        QTest::newRow("Yandex Metrika")
            << 403 << "Forbidden"
            << QByteArray(R"({"errors":[{"error_type":"invalid_token","message":"Invalid oauth_token"}],"code":403,"message":"Invalid oauth_token"})")
            << "invalid_token: Invalid oauth_token (HTTP status 403 Forbidden)";
        QTest::newRow("Ahrefs") << 200 << "OK" << QByteArray(R"({"error":"invalid token"})")
                                << "invalid token (HTTP status 200 OK)";
        QTest::newRow("data, not an error") << 200 << "OK" << QByteArray(R"({"hosts":[]})") << QString();
        QTest::newRow("not JSON") << 502 << "Bad Gateway" << QByteArray("<html>") << QString();
    }
    void serviceWordsFollowTheMessage()
    {
        QFETCH(int, status);
        QFETCH(QString, reason);
        QFETCH(QByteArray, body);
        QFETCH(QString, second);
        ExchangeResult answer{status, reason, body, QString::fromUtf8(body)};
        const QString message = QStringLiteral("Value 'hosts' not found");
        const QString expected = second.isEmpty() ? message : message + QLatin1Char('\n') + second;
        QCOMPARE(serviceanswer::withServiceWords(message, answer), expected);
        try {
            serviceanswer::read(answer, [&]() -> int { throw VeltranoError(message); });
            QFAIL("no error");
        } catch (const VeltranoError &e) {
            QCOMPARE(e.message(), expected);
        }
    }

    void unusableAnswerNamesTheServiceAndStatus()
    {
        const ExchangeResult none{500, QString(), QByteArray(), QString()};
        QVERIFY_THROWS_EXCEPTION(VeltranoError, serviceanswer::parseObject(QStringLiteral("Ahrefs"), none));
        try {
            serviceanswer::parseObject(QStringLiteral("Ahrefs"), none);
        } catch (const VeltranoError &e) {
            QCOMPARE(e.message(), QStringLiteral("Ahrefs gave no usable answer (HTTP status 500, no answer received). "
                                                 "Please check the connection and the account, then try again."));
        }
        const ExchangeResult list{200, QStringLiteral("OK"), "[1]", QStringLiteral("[1]")};
        QVERIFY_THROWS_EXCEPTION(VeltranoError, serviceanswer::parseObject(QStringLiteral("Ahrefs"), list));
    }
};

QTEST_GUILESS_MAIN(ServiceExchangeTest)
#include "tst_serviceexchange.moc"
