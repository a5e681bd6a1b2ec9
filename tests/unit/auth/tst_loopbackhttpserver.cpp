#include "auth/LoopbackHttpServer.h"

#include <QElapsedTimer>
#include <QtTest>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using veltrano::LoopbackHttpServer;

namespace {

// A plain client socket to the server under test.
int connectTo(const char *address, uint16_t port, int family = AF_INET)
{
    int fd = ::socket(family, SOCK_STREAM, 0);
    int rc;
    if (family == AF_INET) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &addr.sin_addr);
        rc = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    } else {
        sockaddr_in6 addr{};
        addr.sin6_family = AF_INET6;
        addr.sin6_port = htons(port);
        ::inet_pton(AF_INET6, address, &addr.sin6_addr);
        rc = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    }
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

std::string readAll(int fd)
{
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
        out.append(buf, size_t(n));
    return out;
}

std::string exchange(uint16_t port, const std::string &raw)
{
    int fd = connectTo("127.0.0.1", port);
    if (fd < 0)
        return "connect failed";
    ::send(fd, raw.data(), raw.size(), MSG_NOSIGNAL);
    std::string reply = readAll(fd);
    ::close(fd);
    return reply;
}

std::string statusLine(const std::string &reply)
{
    return reply.substr(0, reply.find("\r\n"));
}

} // namespace

class LoopbackHttpServerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void handsDecodedParametersInOrder()
    {
        LoopbackHttpServer::Request seen;
        LoopbackHttpServer server([&](const LoopbackHttpServer::Request &r) {
            seen = r;
            return LoopbackHttpServer::Reply{200, "<p>done</p>"};
        });
        std::string error;
        QVERIFY(server.start(0, &error));
        const std::string reply = exchange(
            server.port(), "GET /Callback?code=4%2F0Ab&scope=x+y&flag HTTP/1.1\r\nHost: localhost:1\r\n\r\n");
        QCOMPARE(statusLine(reply), std::string("HTTP/1.1 200 OK"));
        QVERIFY(reply.ends_with("<p>done</p>"));
        QCOMPARE(seen.method, std::string("GET"));
        QCOMPARE(seen.host, std::string("localhost:1"));
        QCOMPARE(seen.path, std::string("/Callback"));
        QCOMPARE(seen.params.size(), size_t(3));
        QCOMPARE(seen.params[0], std::make_pair(std::string("code"), std::string("4/0Ab")));
        QCOMPARE(seen.params[1], std::make_pair(std::string("scope"), std::string("x y")));
        QCOMPARE(seen.params[2], std::make_pair(std::string("flag"), std::string()));
    }

    void answersOtherMethodsWithoutTheHandler()
    {
        int calls = 0;
        LoopbackHttpServer server([&](const LoopbackHttpServer::Request &) {
            ++calls;
            return LoopbackHttpServer::Reply{};
        });
        QVERIFY(server.start(0, nullptr));
        QCOMPARE(statusLine(exchange(server.port(), "OPTIONS / HTTP/1.1\r\nHost: x\r\n\r\n")),
                 std::string("HTTP/1.1 200 OK"));
        const std::string head = exchange(server.port(), "HEAD /Callback HTTP/1.1\r\nHost: x\r\n\r\n");
        QCOMPARE(statusLine(head), std::string("HTTP/1.1 200 OK"));
        QCOMPARE(calls, 1);
    }

    void handlerErrorBecomesEscaped500()
    {
        LoopbackHttpServer server([](const LoopbackHttpServer::Request &) -> LoopbackHttpServer::Reply {
            throw std::runtime_error("bad <script>");
        });
        QVERIFY(server.start(0, nullptr));
        const std::string reply = exchange(server.port(), "GET / HTTP/1.1\r\n\r\n");
        QCOMPARE(statusLine(reply), std::string("HTTP/1.1 500 Internal Server Error"));
        QVERIFY(reply.ends_with("bad &lt;script&gt;"));
    }

    void refusesBadRequests_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("status");
        QTest::newRow("garbage") << QByteArray("\x01\x02garbage\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
        QTest::newRow("huge head") << QByteArray("GET /" + QByteArray(40000, 'a') + " HTTP/1.1\r\n\r\n")
                                   << QByteArray("HTTP/1.1 431 Request Header Fields Too Large");
        QTest::newRow("huge body") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n")
                                   << QByteArray("HTTP/1.1 413 Payload Too Large");
        QTest::newRow("half request") << QByteArray("GET /Callback?code=1 HTTP/1.1\r\nHost: x\r\n")
                                      << QByteArray("HTTP/1.1 408 Request Timeout");
    }
    void refusesBadRequests()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, status);
        int calls = 0;
        LoopbackHttpServer::Limits limits;
        limits.requestTimeoutMs = 300;
        LoopbackHttpServer server(
            [&](const LoopbackHttpServer::Request &) {
                ++calls;
                return LoopbackHttpServer::Reply{};
            },
            limits);
        QVERIFY(server.start(0, nullptr));
        QCOMPARE(statusLine(exchange(server.port(), raw.toStdString())), status.toStdString());
        QCOMPARE(calls, 0);
    }

    void boundsConnectionsAndStopsPromptly()
    {
        // Handlers that wait until the server stops, as a sign-in step waits
        // for the window; the connections beyond the limit are refused at once.
        LoopbackHttpServer::Limits limits;
        limits.maxConnections = 3;
        auto server = std::make_unique<LoopbackHttpServer>(
            [](const LoopbackHttpServer::Request &r) {
                while (!*r.stopping)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                return LoopbackHttpServer::Reply{};
            },
            limits);
        QVERIFY(server->start(0, nullptr));
        std::vector<int> waiting;
        for (int i = 0; i < 3; ++i) {
            int fd = connectTo("127.0.0.1", server->port());
            QVERIFY(fd >= 0);
            ::send(fd, "GET / HTTP/1.1\r\n\r\n", 18, MSG_NOSIGNAL);
            waiting.push_back(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QCOMPARE(statusLine(exchange(server->port(), "GET / HTTP/1.1\r\n\r\n")),
                 std::string("HTTP/1.1 503 Service Unavailable"));
        QElapsedTimer timer;
        timer.start();
        server->stop();
        QVERIFY2(timer.elapsed() < 3000, "stop() waited for the clients");
        for (int fd : waiting)
            ::close(fd);
    }

    void listensOnLoopbackOnly()
    {
        LoopbackHttpServer server([](const LoopbackHttpServer::Request &) { return LoopbackHttpServer::Reply{}; });
        QVERIFY(server.start(0, nullptr));
        int fd = connectTo("::1", server.port(), AF_INET6);
        if (fd >= 0)
            ::close(fd); // IPv6 loopback answers where the system has IPv6
        // Every non-loopback address of this machine must refuse.
        ifaddrs *list = nullptr;
        QVERIFY(::getifaddrs(&list) == 0);
        int tried = 0;
        for (ifaddrs *a = list; a; a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET)
                continue;
            char text[INET_ADDRSTRLEN];
            ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(a->ifa_addr)->sin_addr, text, sizeof text);
            if (std::string(text).starts_with("127."))
                continue;
            ++tried;
            int other = connectTo(text, server.port());
            QVERIFY2(other < 0, text);
        }
        ::freeifaddrs(list);
        if (tried == 0)
            qInfo("no non-loopback IPv4 address on this machine");
    }

    void reportsTakenPort()
    {
        LoopbackHttpServer first([](const LoopbackHttpServer::Request &) { return LoopbackHttpServer::Reply{}; });
        QVERIFY(first.start(0, nullptr));
        LoopbackHttpServer second([](const LoopbackHttpServer::Request &) { return LoopbackHttpServer::Reply{}; });
        std::string error;
        bool taken = false;
        QVERIFY(!second.start(first.port(), &error, &taken));
        QCOMPARE(error, std::string("Could not bind socket. Address and port are already in use."));
        QVERIFY(taken);
        QVERIFY(!second.isRunning());

        // Once the other program lets go of the port, trying again works.
        const uint16_t port = first.port();
        first.stop();
        QVERIFY(second.start(port, &error, &taken));
        QVERIFY(!taken);
        QCOMPARE(second.port(), port);
    }
};

QTEST_GUILESS_MAIN(LoopbackHttpServerTest)
#include "tst_loopbackhttpserver.moc"
