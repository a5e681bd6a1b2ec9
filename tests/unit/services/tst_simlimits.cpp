// The simulator's documented limits as the program's HTTP client meets them:
// a burst over a service's per-minute limit gets that service's own 429, a
// burst up to it none; Metrika takes three requests of a user at once, the
// fourth is refused while they wait out the answer latency.
#include "SimServer.h"
#include "net/HttpClient.h"
#include "services/ServiceCatalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <future>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace veltrano;

namespace {

// One keep-alive connection that sends request after request, as a client
// in a hurry does; it spares the burst tests a connection per request.
class KeepAliveClient {
public:
    struct Reply {
        int status = 0;
        QByteArray head;
        QByteArray body;
        int retryAfter = -1;
    };

    explicit KeepAliveClient(int port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval timeout{30, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~KeepAliveClient() { ::close(m_fd); }
    KeepAliveClient(const KeepAliveClient &) = delete;
    KeepAliveClient &operator=(const KeepAliveClient &) = delete;

    // A failed exchange comes back with status 0.
    Reply ask(const QByteArray &verb, const QByteArray &target, const QByteArray &body)
    {
        Reply reply;
        const QByteArray request = verb + ' ' + target + " HTTP/1.1\r\nHost: sim\r\nAuthorization: Bearer t\r\n" +
                                   "Content-Type: application/json\r\nContent-Length: " +
                                   QByteArray::number(body.size()) + "\r\n\r\n" + body;
        if (!m_connected || ::send(m_fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
            return reply;
        qsizetype end = -1;
        while ((end = m_pending.indexOf("\r\n\r\n")) < 0) {
            if (!fill())
                return reply;
        }
        reply.head = m_pending.left(end);
        m_pending.remove(0, end + 4);
        const QList<QByteArray> lines = reply.head.split('\n');
        const QList<QByteArray> statusLine = lines.value(0).split(' ');
        qsizetype length = 0;
        for (const QByteArray &line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length")
                length = value.toLongLong();
            else if (name == "retry-after")
                reply.retryAfter = value.toInt();
        }
        while (m_pending.size() < length) {
            if (!fill())
                return reply;
        }
        reply.body = m_pending.left(length);
        m_pending.remove(0, length);
        reply.status = statusLine.value(1).toInt();
        return reply;
    }

private:
    bool fill()
    {
        char buffer[16384];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        m_pending.append(buffer, n);
        return true;
    }

    int m_fd = -1;
    bool m_connected = false;
    QByteArray m_pending;
};

struct Simulator {
    sim::SimServer server;
    QString base;

    Simulator()
    {
        sim::installAllServices(server);
        if (server.start())
            base = QString::fromStdString(server.baseUrl());
    }
    HttpResponse send(const QByteArray &verb, const QString &target, const QStringList &lines = {},
                      const QByteArray &body = {}) const
    {
        return HttpClient().send({verb, base + target, lines, body});
    }
    HttpResponse control(const QString &path, const QByteArray &json) const
    {
        return send("POST", path, {QStringLiteral("Content-Type: application/json")}, json);
    }
    QJsonObject rationCounts(const QString &prefix) const
    {
        return QJsonDocument::fromJson(send("GET", QStringLiteral("/__sim/ration") + prefix).body).object();
    }
};

} // namespace

class SimLimitsTest : public QObject {
    Q_OBJECT

private slots:
    void burstOverTheMinuteLimitIsRefusedInTheServicesWords_data()
    {
        QTest::addColumn<QString>("ration");   // the control path's prefix
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("refusal"); // what the 429's body says
        QTest::addColumn<QByteArray>("otherBody"); // a request the same limit does not count, or empty

        const QByteArray inspect = "{\"inspectionUrl\":\"https://example.com/a\",\"siteUrl\":\"sc-domain:example.com\"}";
        QTest::newRow("URL Inspection, per property")
            << QStringLiteral("/searchconsole") << QByteArray("POST")
            << QStringLiteral("/searchconsole/v1/urlInspection/index:inspect") << inspect << 600
            << QStringList{QStringLiteral("\"RESOURCE_EXHAUSTED\""), QStringLiteral("Queries per minute"),
                           QStringLiteral("searchconsole.googleapis.com")}
            << QByteArray("{\"inspectionUrl\":\"https://example.org/a\",\"siteUrl\":\"https://example.org/\"}");
        QTest::newRow("Search Analytics")
            << QStringLiteral("/googleapis/webmasters") << QByteArray("POST")
            << QStringLiteral("/googleapis/webmasters/v3/sites/sc-domain%3Aexample.com/searchAnalytics/query")
            << QByteArray(R"({"startDate":"2024-03-01","endDate":"2024-03-31","dimensions":["page"]})") << 1200
            << QStringList{QStringLiteral("\"RESOURCE_EXHAUSTED\""), QStringLiteral("\"rateLimitExceeded\""),
                           QStringLiteral("Queries per minute")}
            << QByteArray();
        QTest::newRow("Ahrefs")
            << QStringLiteral("/ahrefs") << QByteArray("GET")
            << QStringLiteral("/ahrefs/?from=ahrefs_rank&target=example.com&mode=exact&output=json&token=t")
            << QByteArray() << 60 << QStringList{QStringLiteral("{\"error\":\"Rate limit exceeded")} << QByteArray();
    }

    void burstOverTheMinuteLimitIsRefusedInTheServicesWords()
    {
        QFETCH(QString, ration);
        QFETCH(QByteArray, verb);
        QFETCH(QString, target);
        QFETCH(QByteArray, body);
        QFETCH(int, limit);
        QFETCH(QStringList, refusal);
        QFETCH(QByteArray, otherBody);
        Simulator sim;
        QVERIFY(!sim.base.isEmpty());
        QCOMPARE(sim.control(QStringLiteral("/__sim/ration") + ration, R"({"documented":true})").status, 200);
        KeepAliveClient client(sim.server.port());
        const QByteArray path = target.toUtf8();
        // Up to the limit: answers of the service itself, none of them 429.
        for (int i = 0; i < limit; ++i) {
            const int status = client.ask(verb, path, body).status;
            QVERIFY2(status != 429 && status != 0, qPrintable(QString::number(i)));
        }
        const KeepAliveClient::Reply refused = client.ask(verb, path, body);
        QCOMPARE(refused.status, 429);
        for (const QString &words : refusal)
            QVERIFY2(QString::fromUtf8(refused.body).contains(words), refused.body.constData());
        QVERIFY(refused.retryAfter >= 1);
        QCOMPARE(sim.rationCounts(ration).value(QStringLiteral("thisMinute")).toInt(), limit);
        if (!otherBody.isEmpty())
            QCOMPARE(client.ask(verb, path, otherBody).status != 429, true);
    }

    // Three requests of one user wait out a long answer latency together;
    // the user's fourth is refused at once in Metrika's words, another user's
    // is not, and once the three are answered the user is served again.
    void metrikaTakesThreeRequestsOfAUserAtOnce()
    {
        Simulator sim;
        QVERIFY(!sim.base.isEmpty());
        QCOMPARE(sim.control(QStringLiteral("/__sim/ration/yandex-metrika"), R"({"documented":true})").status, 200);
        QCOMPARE(sim.control(QStringLiteral("/__sim/latency"), R"({"prefix":"/yandex-metrika","ms":1500})").status,
                 200);
        const QString target = QStringLiteral("/yandex-metrika/management/v1/counters");
        const QStringList user{QStringLiteral("Authorization: OAuth user-1")};
        std::vector<std::future<HttpResponse>> waiting;
        for (int i = 0; i < 3; ++i)
            waiting.push_back(std::async(std::launch::async, [&] { return sim.send("GET", target, user); }));
        QTRY_COMPARE_WITH_TIMEOUT(sim.rationCounts(QStringLiteral("/yandex-metrika")).value("inFlight").toInt(), 3,
                                  60000);

        const HttpResponse refused = sim.send("GET", target, user);
        QCOMPARE(refused.status, 429);
        const QJsonObject error = QJsonDocument::fromJson(refused.body).object();
        QCOMPARE(error.value("code").toInt(), 429);
        QCOMPARE(error.value("errors").toArray().at(0).toObject().value("error_type").toString(),
                 QStringLiteral("quota_parallel_requests"));

        std::future<HttpResponse> otherUser = std::async(std::launch::async, [&] {
            return sim.send("GET", target, {QStringLiteral("Authorization: OAuth user-2")});
        });
        for (std::future<HttpResponse> &answer : waiting)
            QVERIFY(answer.get().status != 429);
        QVERIFY(otherUser.get().status != 429);
        // A request leaves the count just after its answer is sent: wait for it.
        QTRY_COMPARE_WITH_TIMEOUT(sim.rationCounts(QStringLiteral("/yandex-metrika")).value("inFlight").toInt(), 0,
                                  10000);
        QVERIFY(sim.send("GET", target, user).status != 429);
    }

    // Off unless set: the simulator answers as before.
    void limitsAreOffUntilSet()
    {
        Simulator sim;
        QVERIFY(!sim.base.isEmpty());
        KeepAliveClient client(sim.server.port());
        for (int i = 0; i < 70; ++i) {
            const int status =
                client.ask("GET", "/ahrefs/?from=ahrefs_rank&target=example.com&mode=exact&output=json&token=t", {})
                    .status;
            QVERIFY(status != 429 && status != 0);
        }
    }
};

QTEST_GUILESS_MAIN(SimLimitsTest)
#include "tst_simlimits.moc"
