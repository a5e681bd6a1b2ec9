#include "net/HttpClient.h"

#include "SimServer.h"

#include <QtTest>

using veltrano::HttpClient;
using veltrano::HttpRequest;
using veltrano::HttpResponse;
namespace sim = veltrano::sim;

using namespace std::chrono_literals;

namespace {

QStringList lines(const std::vector<std::string> &raw)
{
    QStringList out;
    for (const std::string &line : raw)
        out << QString::fromStdString(line);
    return out;
}

} // namespace

class HttpClientTest : public QObject {
    Q_OBJECT
private:
    sim::SimServer m_server;
    QString m_base;

    HttpResponse send(const HttpRequest &request, std::chrono::milliseconds timeout = 5s)
    {
        HttpClient::Options options;
        options.readTimeout = timeout;
        return HttpClient(options).send(request);
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
    }

    // Every line of the request head as it arrived, in order.
    void requestHeadAsSent_data()
    {
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QStringList>("callerLines");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("expectedTail"); // the lines after Host and User-Agent

        const QStringList ours = {"Connection: keep-alive", "Keep-Alive: 300"};
        QTest::newRow("GET, no body") << QByteArray("GET") << QStringList{"Authorization: OAuth tok-1"}
                                      << QByteArray() << (ours + QStringList{"Authorization: OAuth tok-1"});
        QTest::newRow("caller lines unchanged and in order")
            << QByteArray("GET") << QStringList{"X-B: 2", "x-a:1", "Authorization: OAuth  spaced  "}
            << QByteArray() << (ours + QStringList{"X-B: 2", "x-a:1", "Authorization: OAuth  spaced  "});
        QTest::newRow("empty token still sent") << QByteArray("GET") << QStringList{"Authorization: OAuth "}
                                                << QByteArray()
                                                << (ours + QStringList{"Authorization: OAuth "});
        QTest::newRow("POST body gets text/html")
            << QByteArray("POST") << QStringList{"Authorization: OAuth t"} << QByteArray("{\"a\":1}")
            << (ours + QStringList{"Authorization: OAuth t", "Content-Type: text/html", "Content-Length: 7"});
        QTest::newRow("caller's own content type")
            << QByteArray("POST") << QStringList{"Content-Type: application/json"} << QByteArray("{}")
            << (ours + QStringList{"Content-Type: application/json", "Content-Length: 2"});
        QTest::newRow("POST without body") << QByteArray("POST") << QStringList{} << QByteArray()
                                           << (ours + QStringList{"Content-Length: 0"});
        QTest::newRow("line breaks cannot add a header")
            << QByteArray("GET") << QStringList{"Authorization: OAuth x\r\nX-Injected: 1"} << QByteArray()
            << (ours + QStringList{"Authorization: OAuth xX-Injected: 1"});
    }
    void requestHeadAsSent()
    {
        QFETCH(QByteArray, verb);
        QFETCH(QStringList, callerLines);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expectedTail);

        m_server.setResponse(verb.toStdString(), "/v4/user", sim::Response::json("{}"));
        const HttpResponse response = send({verb, m_base + "/v4/user", callerLines, body});
        QCOMPARE(response.status, 200);

        const auto requests = m_server.requests();
        QCOMPARE(requests.size(), size_t(1));
        const sim::RecordedRequest &r = requests.front();
        QCOMPARE(QByteArray::fromStdString(r.method), verb);
        QCOMPARE(QString::fromStdString(r.httpVersion), QStringLiteral("HTTP/1.1"));
        const QStringList expected = QStringList{QStringLiteral("Host: 127.0.0.1:%1").arg(m_server.port()),
                                                 QStringLiteral("User-Agent: ") + HttpClient::userAgent()} +
                                     expectedTail;
        QCOMPARE(lines(r.headerLines), expected);
        QCOMPARE(QByteArray::fromStdString(r.body), body);
    }

    void statusReasonAndBodyOfAnyAnswer_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("401 error body returned unchanged")
            << 401 << "Unauthorized" << QByteArray("{\"error_code\":\"INVALID_OAUTH_TOKEN\",\"error_message\":\"x\"}");
        QTest::newRow("reason with blanks") << 429 << "Too Many Requests" << QByteArray("slow down");
        QTest::newRow("custom reason") << 200 << "Fine By Me" << QByteArray("ok");
        QTest::newRow("empty reason") << 404 << "" << QByteArray("{}");
        QTest::newRow("empty body") << 204 << "No Content" << QByteArray();
        QTest::newRow("binary body") << 200 << "OK" << QByteArray("\x00\xff\xd0\r\n", 5);
    }
    void statusReasonAndBodyOfAnyAnswer()
    {
        QFETCH(int, status);
        QFETCH(QString, reason);
        QFETCH(QByteArray, body);
        sim::Response answer = sim::Response::json(body.toStdString(), status);
        answer.reason = reason.toStdString();
        m_server.setResponse("GET", "/answer", answer);

        const HttpResponse response = send({"GET", m_base + "/answer", {}, {}});
        QCOMPARE(response.status, status);
        QCOMPARE(response.reason, reason);
        QCOMPARE(response.body, body);
        QVERIFY(response.failure.isEmpty());
    }

    // Whenever no whole answer arrives: 500, no reason, no body.
    void noAnswer_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("closed without answer") << int(sim::Fault::CloseWithoutAnswer);
        QTest::newRow("connection reset") << int(sim::Fault::ResetConnection);
        QTest::newRow("silent server, read time-out") << int(sim::Fault::NeverAnswer);
        QTest::newRow("body shorter than announced") << int(sim::Fault::TruncateBody);
    }
    void noAnswer()
    {
        QFETCH(int, fault);
        sim::Response answer = sim::Response::json("{\"hosts\":[1,2,3,4,5,6,7,8,9]}", 200);
        answer.fault = sim::Fault(fault);
        answer.truncateAt = 10;
        m_server.setResponse("GET", "/fault", answer);

        const HttpResponse response = send({"GET", m_base + "/fault", {}, {}}, 1s);
        QCOMPARE(response.status, 500);
        QCOMPARE(response.reason, QString());
        QCOMPARE(response.body, QByteArray());
        QVERIFY(!response.failure.isEmpty());
        QCOMPARE(m_server.requestCount(), size_t(1));
    }

    void connectionRefused()
    {
        sim::SimServer gone;
        QVERIFY(gone.start());
        const QString url = QString::fromStdString(gone.baseUrl()) + "/v4/user";
        gone.stop();

        const HttpResponse response = send({"GET", url, {}, {}});
        QCOMPARE(response.status, 500);
        QCOMPARE(response.reason, QString());
        QVERIFY(response.body.isEmpty());
    }

    // The time-out bounds each wait, not the whole exchange: an answer that
    // starts within it arrives whole.
    void slowAnswerWithinTimeout()
    {
        sim::Response answer = sim::Response::json("{\"ok\":true}");
        answer.delayMs = 300;
        m_server.setResponse("GET", "/slow", answer);
        const HttpResponse response = send({"GET", m_base + "/slow", {}, {}}, 3s);
        QCOMPARE(response.status, 200);
        QCOMPARE(response.body, QByteArray("{\"ok\":true}"));
    }

    void nonAsciiAddressAndBodyGoAsUtf8()
    {
        m_server.setResponse("POST", "/v3/sites/*", sim::Response::json("{}"));
        const QString url = m_base + QString::fromUtf8("/v3/sites/https%3A%2F%2Fпример.рф%2F/q?name=кот дом&x=a,b;c");
        const QString json = QString::fromUtf8("{\"query\":\"Привет, мир\"}");
        const HttpResponse response = send({"POST", url, {}, json.toUtf8()});
        QCOMPARE(response.status, 200);

        const sim::RecordedRequest r = m_server.requests().front();
        QCOMPARE(QString::fromStdString(r.target),
                 QStringLiteral("/v3/sites/https%3A%2F%2F%D0%BF%D1%80%D0%B8%D0%BC%D0%B5%D1%80.%D1%80%D1%84%2F/q"
                                "?name=%D0%BA%D0%BE%D1%82%20%D0%B4%D0%BE%D0%BC&x=a,b;c"));
        QCOMPARE(QString::fromStdString(r.queryParam("name")), QString::fromUtf8("кот дом"));
        QCOMPARE(QByteArray::fromStdString(r.body), json.toUtf8());
        QCOMPARE(QString::fromStdString(r.header("Content-Length")), QString::number(json.toUtf8().size()));
    }

    void urlEncoding_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("plain") << "https://h/v4/user/1/hosts?offset=0&limit=100"
                               << QByteArray("https://h/v4/user/1/hosts?offset=0&limit=100");
        QTest::newRow("reserved characters kept") << "http://h/a:b@c/d;e=f?g=h+i&j=$,!'()*[]#k"
                                                  << QByteArray("http://h/a:b@c/d;e=f?g=h+i&j=$,!'()*[]#k");
        QTest::newRow("existing escapes kept") << "http://h/?u=https%3A%2F%2Fx.ru%2f"
                                               << QByteArray("http://h/?u=https%3A%2F%2Fx.ru%2f");
        QTest::newRow("stray percent escaped") << "http://h/?p=100%&q=%zz"
                                               << QByteArray("http://h/?p=100%25&q=%25zz");
        QTest::newRow("blank and controls") << QString("http://h/a b\tc") << QByteArray("http://h/a%20b%09c");
        QTest::newRow("characters a URL cannot hold") << "http://h/?f=\"<x>\"|{}^`\\"
                                                      << QByteArray("http://h/?f=%22%3Cx%3E%22%7C%7B%7D%5E%60%5C");
        QTest::newRow("non-ASCII as UTF-8") << QString::fromUtf8("http://h/ё€😀")
                                            << QByteArray("http://h/%D1%91%E2%82%AC%F0%9F%98%80");
    }
    void urlEncoding()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, sent);
        QCOMPARE(HttpClient::encodeUrl(url), sent);
    }

    void onlyHttpAndHttps()
    {
        const HttpResponse response = send({"GET", "file:///etc/passwd", {}, {}});
        QCOMPARE(response.status, 500);
        QVERIFY(response.body.isEmpty());
    }

    void httpsTrustsTheExtraAuthorityOnly()
    {
        sim::SimServer::Options tls;
        tls.tls = true;
        sim::SimServer secure(tls);
        QVERIFY(secure.start());
        secure.setResponse("GET", "/v4/user", sim::Response::json("{\"user_id\":1}"));
        const QString url = QString::fromStdString(secure.baseUrl()) + "/v4/user";
        QVERIFY(url.startsWith("https://"));

        HttpClient::Options trusted;
        trusted.extraCaFile = QString::fromStdString(secure.caCertificateFile());
        trusted.readTimeout = 5s;
        const HttpResponse ok = HttpClient(trusted).send({"GET", url, {}, {}});
        QCOMPARE(ok.status, 200);
        QCOMPARE(ok.body, QByteArray("{\"user_id\":1}"));
        QVERIFY(secure.requests().front().tls);

        // Without the test authority the system store alone decides: refused.
        HttpClient::Options systemOnly;
        systemOnly.readTimeout = 5s;
        const HttpResponse refused = HttpClient(systemOnly).send({"GET", url, {}, {}});
        QCOMPARE(refused.status, 500);
        QCOMPARE(refused.reason, QString());
        QVERIFY(refused.body.isEmpty());

        // An unreadable authority file adds nothing.
        HttpClient::Options missing = systemOnly;
        missing.extraCaFile = QStringLiteral("/nonexistent/ca.pem");
        QTest::ignoreMessage(QtWarningMsg,
                             "cannot read the extra certificate authority \"/nonexistent/ca.pem\"");
        QCOMPARE(HttpClient(missing).send({"GET", url, {}, {}}).status, 500);
        QCOMPARE(secure.requestCount(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(HttpClientTest)
#include "tst_httpclient.moc"
