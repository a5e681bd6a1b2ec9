// The service simulator seen from the wire: a raw POSIX socket client sends
// exactly the bytes of each case and reads exactly what comes back, so the
// tests see what an HTTP client of the program would see.
#include "ControlModule.h"
#include "SimServer.h"
#include "services/ServiceCatalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <future>
#include <thread>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace veltrano::sim;

namespace {

// One HTTP/1.1 answer as read off the wire.
struct Reply {
    int status = 0;
    std::string head; // status line and header lines, without the empty line
    std::string body;
    bool complete = false;

    std::string header(const std::string &name) const
    {
        const std::string wanted = "\r\n" + QByteArray::fromStdString(name).toLower().toStdString() + ":";
        const std::string lower = QByteArray::fromStdString(head).toLower().toStdString();
        const size_t at = lower.find(wanted);
        if (at == std::string::npos)
            return {};
        const size_t start = head.find_first_not_of(' ', at + wanted.size());
        return head.substr(start, head.find("\r\n", start) - start);
    }
};

// A blocking client socket with a receive time-out, so that a server fault
// makes a test fail instead of hanging it.
class RawClient {
public:
    explicit RawClient(int port, const char *address = "127.0.0.1")
    {
        const bool v6 = std::string(address).find(':') != std::string::npos;
        m_fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        timeval timeout{10, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        const int on = 1; // small writes leave at once, not merged
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (v6) {
            sockaddr_in6 to{};
            to.sin6_family = AF_INET6;
            to.sin6_port = htons(static_cast<uint16_t>(port));
            ::inet_pton(AF_INET6, address, &to.sin6_addr);
            m_connected = ::connect(m_fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
        } else {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(static_cast<uint16_t>(port));
            ::inet_pton(AF_INET, address, &to.sin_addr);
            m_connected = ::connect(m_fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
        }
    }
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    int fd() const { return m_fd; }
    bool connected() const { return m_connected; }

    bool send(const std::string &data)
    {
        size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(m_fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads one answer; bodyExpected false for the answer to HEAD.
    Reply readReply(bool bodyExpected = true)
    {
        Reply reply;
        size_t end;
        while ((end = m_pending.find("\r\n\r\n")) == std::string::npos) {
            if (!fill())
                return reply;
        }
        reply.head = m_pending.substr(0, end);
        m_pending.erase(0, end + 4);
        // Anything but a status line here means the previous answer sent
        // more bytes than it announced.
        reply.status = reply.head.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(reply.head.substr(9, 3).c_str()) : -1;
        size_t length = 0;
        const std::string lengthText = reply.header("Content-Length");
        if (bodyExpected && !lengthText.empty())
            length = std::stoul(lengthText);
        while (m_pending.size() < length) {
            if (!fill())
                break;
        }
        reply.body = m_pending.substr(0, std::min(length, m_pending.size()));
        m_pending.erase(0, reply.body.size());
        reply.complete = reply.body.size() == length;
        return reply;
    }

    // Everything until the server ends the connection; error is 0 after an
    // orderly end, else the errno of the failed read (ECONNRESET ...).
    std::string readToEnd(int &error)
    {
        std::string all = std::move(m_pending);
        m_pending.clear();
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                all.append(buffer, static_cast<size_t>(n));
                continue;
            }
            error = n == 0 ? 0 : errno;
            return all;
        }
    }

    // Whether anything (data or the end of the stream) arrives within ms.
    bool readableWithin(int ms)
    {
        pollfd p{m_fd, POLLIN, 0};
        return !m_pending.empty() || ::poll(&p, 1, ms) > 0;
    }

private:
    bool fill()
    {
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        m_pending.append(buffer, static_cast<size_t>(n));
        return true;
    }

    int m_fd = -1;
    bool m_connected = false;
    std::string m_pending;
};

std::string get(const std::string &target, const std::string &extra = {})
{
    return "GET " + target + " HTTP/1.1\r\nHost: sim\r\n" + extra + "\r\n";
}

Reply ask(int port, const std::string &request)
{
    RawClient client(port);
    client.send(request);
    return client.readReply(request.rfind("HEAD ", 0) != 0);
}

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

} // namespace

namespace QTest {
// Failure messages show the bytes compared, escaped where not printable.
template <> inline char *toString(const std::string &text)
{
    return toPrettyCString(text.data(), qsizetype(text.size()));
}
} // namespace QTest

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(veltrano::sim::Fault)

class SimServerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordsRequestExactlyAsSent_data();
    void recordsRequestExactlyAsSent();
    void answersQueuedThenSetThenLongestHandlerThen404();
    void keepsConnectionAliveAcrossRequests();
    void faultsAsSeenByClient_data();
    void faultsAsSeenByClient();
    void refusesOversizedAndMalformedRequests_data();
    void refusesOversizedAndMalformedRequests();
    void stopReturnsPromptlyWithHeldConnections();
    void latencyHoldsOnlyTheAnswersOfItsPrefix();
    void startFailsOnTakenPort();
    void tlsHandshakeVerifiesAgainstTestAuthority_data();
    void tlsHandshakeVerifiesAgainstTestAuthority();
    void controlInterfaceSetsAnswersAndReportsRequests();
    void servesProductPages();
};

void SimServerTest::recordsRequestExactlyAsSent_data()
{
    QTest::addColumn<std::string>("head");
    QTest::addColumn<std::string>("body");
    QTest::addColumn<bool>("byteByByte");
    QTest::addColumn<bool>("expectContinue");
    QTest::addColumn<std::string>("expectedBody");

    // Body bytes that are neither ASCII nor UTF-8 must arrive unchanged.
    const std::string binary("{\"a\":1}\0\xff\xfe\r\n", 12);
    QTest::newRow("content-length") << std::string("Content-Length: 12\r\n") << binary << false << false << binary;
    QTest::newRow("chunked with extension and trailer")
        << std::string("Transfer-Encoding: chunked\r\n")
        << std::string("5;name=x\r\n{\"a\":\r\n") + "7\r\n" + binary.substr(5) + "\r\n0\r\nX-Trailer: t\r\n\r\n"
        << false << false << binary;
    QTest::newRow("sent a byte at a time") << std::string("Content-Length: 12\r\n") << binary << true << false
                                           << binary;
    QTest::newRow("expect 100-continue") << std::string("Content-Length: 12\r\nExpect: 100-continue\r\n")
                                         << binary << false << true << binary;
}

void SimServerTest::recordsRequestExactlyAsSent()
{
    QFETCH(std::string, head);
    QFETCH(std::string, body);
    QFETCH(bool, byteByByte);
    QFETCH(bool, expectContinue);
    QFETCH(std::string, expectedBody);

    SimServer server;
    QVERIFY(server.start());
    server.setResponse("POST", "/v4/user/12345/hosts", Response::json("{}"));

    const std::string request = "POST /v4/user/12345/hosts?q=%D0%BF%D1%80+x&empty=&flag HTTP/1.1\r\n"
                                "Host: 127.0.0.1\r\n"
                                "x-lower-case: Value  with  spaces\r\n"
                                "Authorization: OAuth abc\r\n"
                                "X-Empty:\r\n"
                                "Authorization: OAuth second\r\n"
                                + head + "\r\n";
    RawClient client(server.port());
    QVERIFY(client.connected());
    if (byteByByte) {
        // The pause lets the server see the bytes one by one, so every
        // boundary (the empty line, CR apart from LF) falls between reads.
        for (char c : request + body) {
            QVERIFY(client.send(std::string(1, c)));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    } else if (expectContinue) {
        QVERIFY(client.send(request));
        const Reply interim = client.readReply(false);
        QCOMPARE(interim.status, 100);
        QVERIFY(client.send(body));
    } else {
        QVERIFY(client.send(request + body));
    }
    const Reply reply = client.readReply();
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, std::string("{}"));

    const std::vector<RecordedRequest> recorded = server.requests();
    QCOMPARE(recorded.size(), size_t(1));
    const RecordedRequest &r = recorded.front();
    QCOMPARE(r.method, std::string("POST"));
    QCOMPARE(r.target, std::string("/v4/user/12345/hosts?q=%D0%BF%D1%80+x&empty=&flag"));
    QCOMPARE(r.path, std::string("/v4/user/12345/hosts"));
    QCOMPARE(r.query, std::string("q=%D0%BF%D1%80+x&empty=&flag"));
    QCOMPARE(r.queryParam("q"), std::string("\xd0\xbf\xd1\x80 x"));
    QCOMPARE(r.queryParam("missing"), std::string());

    std::vector<std::string> expectedLines = {"Host: 127.0.0.1", "x-lower-case: Value  with  spaces",
                                              "Authorization: OAuth abc", "X-Empty:", "Authorization: OAuth second"};
    for (size_t start = 0; start < head.size();) {
        const size_t end = head.find("\r\n", start);
        expectedLines.push_back(head.substr(start, end - start));
        start = end + 2;
    }
    QCOMPARE(r.headerLines, expectedLines);
    QCOMPARE(r.headers.size(), expectedLines.size());
    QCOMPARE(r.headers[1].first, std::string("x-lower-case"));
    QCOMPARE(r.headers[1].second, std::string("Value  with  spaces"));
    QCOMPARE(r.header("X-LOWER-CASE"), std::string("Value  with  spaces"));
    QCOMPARE(r.header("authorization"), std::string("OAuth abc")); // the first of two
    QCOMPARE(r.header("X-Empty"), std::string());
    QCOMPARE(r.body, expectedBody);
}

void SimServerTest::answersQueuedThenSetThenLongestHandlerThen404()
{
    SimServer server;
    QVERIFY(server.start());
    const int port = server.port();
    server.addHandler("GET", "/api", [](const RecordedRequest &) { return Response::text("short prefix"); });
    server.addHandler("GET", "/api/v4*", [](const RecordedRequest &r) { return Response::text("long " + r.path); });
    server.addHandler("POST", "/api/v4/user", [](const RecordedRequest &) { return Response::text("post"); });
    server.addHandler("GET", "/boom", [](const RecordedRequest &) -> Response { throw std::runtime_error("kaput"); });
    server.setResponse("GET", "/api/v4/user", Response::json("{\"set\":1}"));
    server.queueResponse("GET", "/api/v4/user", Response::json("{\"queued\":1}", 201));
    server.queueResponse("GET", "/api/v4/user", Response::json("{\"queued\":2}", 429));
    server.setResponse("GET", "/pages/*", Response::text("wildcard"));
    server.setResponse("GET", "/pages/exact", Response::text("exact"));
    server.setResponse("GET", "/list?offset=100", Response::text("second page"));

    const Reply q1 = ask(port, get("/api/v4/user"));
    QCOMPARE(q1.status, 201);
    QCOMPARE(q1.body, std::string("{\"queued\":1}"));
    QCOMPARE(q1.header("Content-Type"), std::string("application/json; charset=utf-8"));
    const Reply q2 = ask(port, get("/api/v4/user"));
    QCOMPARE(q2.status, 429);
    QVERIFY(q2.head.rfind("HTTP/1.1 429 Too Many Requests\r\n", 0) == 0);
    QCOMPARE(ask(port, get("/api/v4/user")).body, std::string("{\"set\":1}"));
    QCOMPARE(ask(port, get("/api/v4/user")).body, std::string("{\"set\":1}")); // a set answer stays
    QCOMPARE(ask(port, "POST /api/v4/user HTTP/1.1\r\nContent-Length: 0\r\n\r\n").body, std::string("post"));
    QCOMPARE(ask(port, get("/api/v4/hosts?x=1")).body, std::string("long /api/v4/hosts"));
    QCOMPARE(ask(port, get("/api/v3")).body, std::string("short prefix"));
    QCOMPARE(ask(port, get("/pages/exact")).body, std::string("exact"));
    QCOMPARE(ask(port, get("/pages/other")).body, std::string("wildcard"));
    QCOMPARE(ask(port, get("/list?offset=100")).body, std::string("second page"));

    const Reply thrown = ask(port, get("/boom"));
    QCOMPARE(thrown.status, 500);
    QVERIFY(thrown.body.find("kaput") != std::string::npos);

    server.clearScenario();
    QCOMPARE(ask(port, get("/api/v4/user")).body, std::string("long /api/v4/user"));
    const Reply missing = ask(port, get("/pages/exact"));
    QCOMPARE(missing.status, 404);
    QCOMPARE(missing.header("Content-Type"), std::string("application/json; charset=utf-8"));
    const QJsonDocument error = QJsonDocument::fromJson(bytes(missing.body));
    QVERIFY(error.isObject());
    QVERIFY(error.object().value(QStringLiteral("message")).toString().contains(QStringLiteral("/pages/exact")));
    QCOMPARE(server.requestCount(), size_t(13));
}

void SimServerTest::keepsConnectionAliveAcrossRequests()
{
    SimServer server;
    QVERIFY(server.start());
    server.setResponse("GET", "/a", Response::text("first answer"));
    server.addHandler("POST", "/echo", [](const RecordedRequest &r) { return Response::text(r.body); });

    RawClient client(server.port());
    // Two requests in one write: the second waits in the buffer meanwhile.
    QVERIFY(client.send(get("/a") + "HEAD /a HTTP/1.1\r\nHost: sim\r\n\r\n"));
    const Reply first = client.readReply();
    QCOMPARE(first.body, std::string("first answer"));
    QCOMPARE(first.header("Connection"), std::string());
    // HEAD announces the length of the body it does not send; a body sent
    // anyway would be read as the start of the next answer.
    const Reply head = client.readReply(false);
    QCOMPARE(head.status, 200);
    QCOMPARE(head.header("Content-Length"), std::string("12"));
    QVERIFY(client.send("POST /echo HTTP/1.1\r\nHost: sim\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello"));
    const Reply last = client.readReply();
    QCOMPARE(last.status, 200);
    QCOMPARE(last.body, std::string("hello"));
    QCOMPARE(last.header("Connection"), std::string("close"));
    int error = -1;
    QCOMPARE(client.readToEnd(error), std::string());
    QCOMPARE(error, 0);
    QCOMPARE(server.requestCount(), size_t(3));
}

void SimServerTest::faultsAsSeenByClient_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("close without answer") << Fault::CloseWithoutAnswer;
    QTest::newRow("reset connection") << Fault::ResetConnection;
    QTest::newRow("truncate body") << Fault::TruncateBody;
    QTest::newRow("never answer") << Fault::NeverAnswer;
}

void SimServerTest::faultsAsSeenByClient()
{
    QFETCH(Fault, fault);
    SimServer server;
    QVERIFY(server.start());
    Response response = Response::json("{\"samples\":[1,2,3]}");
    response.fault = fault;
    response.truncateAt = 5;
    server.setResponse("GET", "/faulty", response);

    RawClient client(server.port());
    QVERIFY(client.send(get("/faulty")));
    // The request is recorded before the fault, whatever the fault.
    QVERIFY(server.waitForRequestCount(1, 10000));
    QCOMPARE(server.requests().front().path, std::string("/faulty"));

    int error = -1;
    switch (fault) {
    case Fault::CloseWithoutAnswer:
        QCOMPARE(client.readToEnd(error), std::string());
        QCOMPARE(error, 0);
        break;
    case Fault::ResetConnection:
        QCOMPARE(client.readToEnd(error), std::string());
        QCOMPARE(error, ECONNRESET);
        break;
    case Fault::TruncateBody: {
        const Reply reply = client.readReply();
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.header("Content-Length"), std::string("19"));
        QCOMPARE(reply.body, std::string("{\"sam"));
        QVERIFY(!reply.complete);
        break;
    }
    case Fault::NeverAnswer:
        QVERIFY(!client.readableWithin(300));
        server.stop();
        QCOMPARE(client.readToEnd(error), std::string());
        break;
    case Fault::None:
        break;
    }
}

void SimServerTest::refusesOversizedAndMalformedRequests_data()
{
    QTest::addColumn<std::string>("request");
    QTest::addColumn<int>("status");

    QTest::newRow("header section over the limit")
        << get("/x", "X-Big: " + std::string(3000, 'a') + "\r\n") << 431;
    QTest::newRow("content-length over the limit") << std::string("POST /x HTTP/1.1\r\nContent-Length: 5000\r\n\r\n")
                                                   << 413;
    QTest::newRow("content-length beyond 64 bits")
        << std::string("POST /x HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n") << 413;
    QTest::newRow("chunks over the limit")
        << std::string("POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n200\r\n") + std::string(512, 'a')
               + "\r\n400\r\n"
        << 413;
    QTest::newRow("malformed request line") << std::string("GARBAGE\r\n\r\n") << 400;
    QTest::newRow("header line without colon") << get("/x", "NoColonHere\r\n") << 400;
    QTest::newRow("conflicting content-length")
        << std::string("POST /x HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab") << 400;
    QTest::newRow("malformed chunk size")
        << std::string("POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n") << 400;
    QTest::newRow("unknown transfer coding")
        << std::string("POST /x HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n") << 501;
}

void SimServerTest::refusesOversizedAndMalformedRequests()
{
    QFETCH(std::string, request);
    QFETCH(int, status);
    SimServer::Options options;
    options.maxHeaderBytes = 1024;
    options.maxBodyBytes = 1000;
    SimServer server(options);
    QVERIFY(server.start());
    server.setResponse("*", "/x", Response::text("fine"));

    RawClient client(server.port());
    QVERIFY(client.send(request));
    const Reply reply = client.readReply();
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("Connection"), std::string("close"));
    QVERIFY(QJsonDocument::fromJson(bytes(reply.body)).isObject());
    QCOMPARE(server.requestCount(), size_t(0));
    // The server goes on serving.
    QCOMPARE(ask(server.port(), get("/x")).body, std::string("fine"));
}

void SimServerTest::stopReturnsPromptlyWithHeldConnections()
{
    SimServer server;
    QVERIFY(server.start());
    Response silent;
    silent.fault = Fault::NeverAnswer;
    server.setResponse("GET", "/silent", silent);
    Response slow = Response::text("late");
    slow.delayMs = 600000;
    server.setResponse("GET", "/slow", slow);
    server.setResponse("GET", "/quick", Response::text("ok"));
    // Far more than the socket buffers hold: the server blocks writing it.
    server.setResponse("GET", "/big", Response::text(std::string(48 * 1024 * 1024, 'x')));

    RawClient mute(server.port()); // connects and never sends a byte
    RawClient idle(server.port()); // keep-alive connection after one answer
    QVERIFY(idle.send(get("/quick")));
    QCOMPARE(idle.readReply().body, std::string("ok"));
    RawClient held(server.port());
    QVERIFY(held.send(get("/silent")));
    RawClient waiting(server.port());
    QVERIFY(waiting.send(get("/slow")));
    RawClient stalled(server.port()); // asks for the big answer and reads none of it
    QVERIFY(stalled.send(get("/big")));
    QVERIFY(server.waitForRequestCount(4, 10000));

    // A generous bound that only a hang exceeds.
    auto stopped = std::async(std::launch::async, [&server] { server.stop(); });
    QVERIFY(stopped.wait_for(std::chrono::seconds(20)) == std::future_status::ready);
    for (RawClient *client : {&mute, &idle, &held, &waiting}) {
        int error = -1;
        QCOMPARE(client->readToEnd(error), std::string());
    }
    int error = -1;
    QVERIFY(stalled.readToEnd(error).size() < 48 * 1024 * 1024);
    RawClient refused(server.port());
    QVERIFY(!refused.connected());
}

// An answer below a prefix with a latency goes out no sooner than the
// latency; while answers wait it out, other connections are answered, and
// several answers of the prefix wait at once. Set in code or through the
// control interface.
void SimServerTest::latencyHoldsOnlyTheAnswersOfItsPrefix()
{
    SimServer server;
    installAllServices(server);
    QVERIFY(server.start());
    server.setResponse("GET", "/module/a", Response::text("a"));
    server.setResponse("GET", "/module/held", Response::text("held"));
    server.setResponse("GET", "/other", Response::text("other"));

    const std::string control = "POST /__sim/latency HTTP/1.1\r\nHost: sim\r\nContent-Type: application/json\r\n";
    auto setLatency = [&](const std::string &json) {
        return ask(server.port(), control + "Content-Length: " + std::to_string(json.size()) + "\r\n\r\n" + json);
    };
    QCOMPARE(setLatency(R"({"prefix":"/module","ms":150})").status, 200);
    QCOMPARE(setLatency(R"({"prefix":"/module","ms":-1})").status, 400);
    QCOMPARE(setLatency(R"({"prefix":"/module"})").status, 400);
    QCOMPARE(QJsonDocument::fromJson(bytes(ask(server.port(), get("/__sim/latency")).body)).object(),
             (QJsonObject{{"/module", 150}}));
    QCOMPARE(server.latencyFor("/module/a"), 150);
    QCOMPARE(server.latencyFor("/other"), 0);

    const auto start = std::chrono::steady_clock::now();
    QCOMPARE(ask(server.port(), get("/module/a")).body, std::string("a"));
    QVERIFY(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(150));

    // The longest prefix counts; two answers of it wait at once while the
    // rest of the server answers.
    server.setLatency("/module/held", 600000);
    RawClient first(server.port());
    RawClient second(server.port());
    QVERIFY(first.send(get("/module/held")));
    QVERIFY(second.send(get("/module/held")));
    QVERIFY(server.waitForRequestCount(3, 10000));
    QCOMPARE(ask(server.port(), get("/other")).body, std::string("other"));
    QCOMPARE(ask(server.port(), get("/module/a")).body, std::string("a"));
    server.setLatency("/module", 0);
    server.setLatency("/module/held", 0);
    QVERIFY(server.latencies().empty());
    // Stopping ends the waits (see stopReturnsPromptlyWithHeldConnections).
    server.stop();
    int error = -1;
    QCOMPARE(first.readToEnd(error), std::string());
}

void SimServerTest::startFailsOnTakenPort()
{
    SimServer first;
    QVERIFY(first.start());
    QVERIFY(first.port() > 0);
    SimServer::Options options;
    options.port = first.port();
    SimServer second(options);
    QVERIFY(!second.start());
    // Once the first has stopped, the port can be taken again at once.
    first.stop();
    SimServer third(options);
    QVERIFY(third.start());
    QCOMPARE(third.port(), first.port());
}

void SimServerTest::tlsHandshakeVerifiesAgainstTestAuthority_data()
{
    QTest::addColumn<QString>("bindAddress");
    QTest::addColumn<QString>("expectedName"); // host name or IP address the client checks
    QTest::addColumn<bool>("trustAuthority");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("IPv4 loopback address") << "127.0.0.1" << "127.0.0.1" << true << true;
    QTest::newRow("localhost") << "127.0.0.1" << "localhost" << true << true;
    QTest::newRow("IPv6 loopback address") << "::1" << "::1" << true << true;
    QTest::newRow("another host name") << "127.0.0.1" << "example.org" << true << false;
    QTest::newRow("authority not trusted") << "127.0.0.1" << "127.0.0.1" << false << false;
}

void SimServerTest::tlsHandshakeVerifiesAgainstTestAuthority()
{
    QFETCH(QString, bindAddress);
    QFETCH(QString, expectedName);
    QFETCH(bool, trustAuthority);
    QFETCH(bool, accepted);

    std::string caFile;
    {
        SimServer::Options options;
        options.tls = true;
        options.bindAddress = bindAddress.toStdString();
        SimServer server(options);
        if (!server.start()) {
            QVERIFY(bindAddress.contains(QLatin1Char(':')));
            QSKIP("no IPv6 loopback on this machine");
        }
        caFile = server.caCertificateFile();
        QVERIFY(QFile::exists(QString::fromStdString(caFile)));
        QVERIFY(server.caCertificatePem().rfind("-----BEGIN CERTIFICATE-----", 0) == 0);
        QVERIFY(server.baseUrl().rfind("https://", 0) == 0);
        server.setResponse("GET", "/secure", Response::text("over TLS"));

        SSL_CTX *context = SSL_CTX_new(TLS_client_method());
        QVERIFY(context);
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        if (trustAuthority)
            QCOMPARE(SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr), 1);
        RawClient client(server.port(), options.bindAddress.c_str());
        QVERIFY(client.connected());
        SSL *ssl = SSL_new(context);
        SSL_set_fd(ssl, client.fd());
        const std::string name = expectedName.toStdString();
        if (name.find_first_not_of("0123456789.:") == std::string::npos) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.c_str());
        } else {
            SSL_set1_host(ssl, name.c_str());
            SSL_set_tlsext_host_name(ssl, name.c_str());
        }
        const bool handshake = SSL_connect(ssl) == 1;
        std::string answer;
        if (handshake) {
            const std::string request = get("/secure", "Connection: close\r\n");
            QCOMPARE(SSL_write(ssl, request.data(), static_cast<int>(request.size())), int(request.size()));
            char buffer[1024];
            int n;
            while ((n = SSL_read(ssl, buffer, sizeof buffer)) > 0)
                answer.append(buffer, static_cast<size_t>(n));
        }
        ERR_clear_error();
        SSL_free(ssl);
        SSL_CTX_free(context);

        QCOMPARE(handshake, accepted);
        if (accepted) {
            QVERIFY(answer.rfind("HTTP/1.1 200 OK\r\n", 0) == 0);
            QVERIFY(answer.size() > 8 && answer.compare(answer.size() - 8, 8, "over TLS") == 0);
            QCOMPARE(server.requestCount(), size_t(1));
            QVERIFY(server.requests().front().tls);
        } else {
            QCOMPARE(server.requestCount(), size_t(0));
        }
    }
    // The authority's certificate file goes with the server.
    QVERIFY(!QFile::exists(QString::fromStdString(caFile)));
}

void SimServerTest::controlInterfaceSetsAnswersAndReportsRequests()
{
    SimServer server;
    installAllServices(server);
    QVERIFY(server.start());
    const int port = server.port();
    const auto post = [port](const std::string &path, const std::string &json) {
        return ask(port, "POST " + path + " HTTP/1.1\r\nContent-Length: " + std::to_string(json.size())
                                  + "\r\n\r\n" + json);
    };

    Reply set = post("/__sim/response",
                     R"({"method":"GET","path":"/yandex-webmaster/v4/user","status":401,)"
                     R"("body":"{\"error_code\":\"INVALID_OAUTH_TOKEN\"}","contentType":"application/json",)"
                     R"("headers":[["X-B","2"],"X-A: 1"]})");
    QCOMPARE(set.status, 200);
    set = post("/__sim/response", R"({"method":"POST","path":"/ahrefs","bodyBase64":"/w==","queue":true,"fault":"truncateBody",)"
                                  R"("truncateAt":0})");
    QCOMPARE(set.status, 200);

    const Reply refused = ask(port, get("/yandex-webmaster/v4/user", "X-Bytes: \xd0\xbf\r\n"));
    QCOMPARE(refused.status, 401);
    QVERIFY(refused.head.rfind("HTTP/1.1 401 Unauthorized\r\n", 0) == 0);
    QVERIFY(refused.head.find("\r\nContent-Type: application/json\r\nX-B: 2\r\nX-A: 1\r\n") != std::string::npos);
    QCOMPARE(refused.body, std::string("{\"error_code\":\"INVALID_OAUTH_TOKEN\"}"));
    const Reply truncated = ask(port, "POST /ahrefs HTTP/1.1\r\nContent-Length: 2\r\n\r\n\x80\x81");
    QCOMPARE(truncated.header("Content-Length"), std::string("1"));
    QVERIFY(!truncated.complete);

    const Reply listed = ask(port, get("/__sim/requests"));
    QCOMPARE(listed.status, 200);
    const QJsonArray requests = QJsonDocument::fromJson(bytes(listed.body)).array();
    QCOMPARE(requests.size(), 2); // control requests are not recorded
    const QJsonObject first = requests.at(0).toObject();
    QCOMPARE(first.value(QStringLiteral("target")).toString(), QStringLiteral("/yandex-webmaster/v4/user"));
    QCOMPARE(first.value(QStringLiteral("headerLines")).toArray().at(1).toString(), QStringLiteral("X-Bytes: п"));
    const QJsonObject second = requests.at(1).toObject();
    QCOMPARE(QByteArray::fromBase64(second.value(QStringLiteral("bodyBase64")).toString().toLatin1()),
             QByteArray("\x80\x81"));

    const Reply bad = post("/__sim/response", R"({"path":"/x","fault":"explode"})");
    QCOMPARE(bad.status, 400);
    QVERIFY(bad.body.find("explode") != std::string::npos);
    QCOMPARE(post("/__sim/response", "not json").status, 400);
    QCOMPARE(post("/__sim/response", R"({"path":"/x","status":"200"})").status, 400);
    QCOMPARE(post("/__sim/response", R"({"path":"/x","bodyBase64":"%%%%"})").status, 400);

    // A scenario cannot take over the control paths.
    server.setResponse("*", "/*", Response::text("catch-all"));
    QCOMPARE(post("/__sim/reset", "").status, 200);
    QCOMPARE(server.requestCount(), size_t(0));
    QCOMPARE(ask(port, get("/no-service-here")).status, 404);           // the scenario is gone too
    QCOMPARE(ask(port, get("/__sim/ca-certificate")).status, 404);      // no TLS here
}

void SimServerTest::servesProductPages()
{
    SimServer server;
    installAllServices(server);
    QVERIFY(server.start());
    const Reply en = ask(server.port(), get("/news/en"));
    QCOMPARE(en.status, 200);
    QCOMPARE(en.header("Content-Type"), std::string("text/html; charset=utf-8"));
    const Reply ru = ask(server.port(), get("/news/ru"));
    QCOMPARE(ru.status, 200);
    QVERIFY(QString::fromUtf8(bytes(ru.body)).contains(QStringLiteral("Новое в версии")));
    for (const char *path : {"/home/en", "/home/ru", "/maker", "/maker/"})
        QCOMPARE(ask(server.port(), get(path)).status, 200);
    for (const char *path : {"/news/de", "/newsletter"})
        QCOMPARE(ask(server.port(), get(path)).status, 404);
}

QTEST_GUILESS_MAIN(SimServerTest)
#include "tst_simserver.moc"
