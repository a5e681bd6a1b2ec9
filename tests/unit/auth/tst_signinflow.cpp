#include "app/ActivityLog.h"
#include "app/SandboxEndpoints.h"
#include "app/UiPorts.h"
#include "auth/SettingsFile.h"
#include "auth/SignInFlow.h"
#include "auth/TokenStore.h"
#include "net/RequestTrace.h"

#include "SimServer.h"
#include "support/LoopbackTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace veltrano;

namespace {

using veltrano::testing::freePort;
using veltrano::testing::RecordingBrowser;

struct RecordingView final : SignInView {
    QStringList events;
    void tokenAdded(SignInTarget target, const QString &alias) override
    {
        events << QStringLiteral("added %1 %2").arg(int(target)).arg(alias);
    }
    void indexingApiTokenSaved() override { events << QStringLiteral("indexing saved"); }
    void signInCompleted() override { events << QStringLiteral("completed"); }
};

// The browser's visit: a raw GET made on another thread while the test's
// event loop runs the steps the listener hands to the GUI thread.
QByteArray visit(quint16 port, const QByteArray &target, const QByteArray &host)
{
    QByteArray reply;
    std::atomic<bool> done{false};
    std::thread browser([&] {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) {
            const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
            ::send(fd, request.data(), size_t(request.size()), MSG_NOSIGNAL);
            char buf[4096];
            ssize_t n;
            while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
                reply.append(buf, n);
        }
        ::close(fd);
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000)
        QTest::qWait(5);
    browser.join();
    return reply;
}

} // namespace

class SignInFlowTest : public QObject {
    Q_OBJECT

    struct Fixture {
        QTemporaryDir dir;
        sim::SimServer sim;
        ActivityLog log;
        RequestTrace trace;
        RecordingBrowser browser;
        RecordingView view;
        QObject gui;
        quint16 port = freePort();
        std::unique_ptr<SignInFlow> flow;
        SettingsFile settings{dir.filePath(QStringLiteral("Veltrano.ini"))};

        Fixture()
        {
            sim.start();
            Endpoints endpoints = simulatorEndpoints(QString::fromStdString(sim.baseUrl()), port);
            flow = std::make_unique<SignInFlow>(endpoints, settings, log, trace, browser, view, &gui);
            flow->setExchangeTimeout(std::chrono::milliseconds(2000));
            QString error;
            flow->startListener(&error);
        }
        QByteArray callback(const QByteArray &query)
        {
            return visit(port, "/Callback?" + query, "localhost:" + QByteArray::number(port));
        }
    };

private Q_SLOTS:
    void storesYandexWebmasterTokenUnderNextAlias()
    {
        Fixture f;
        f.settings.writeString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_1"), QStringLiteral("a"));
        f.settings.writeString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_2"), QStringLiteral("b"));
        f.sim.setResponse("POST", "/yandex-oauth/token",
                          sim::Response::json(R"({"access_token":"AQAA-new","refresh_token":"1:r",)"
                                              R"("expires_in":31536000,"token_type":"bearer"})"));
        f.flow->startSignIn(SignInTarget::YandexWebmaster);
        QCOMPARE(f.browser.opened.size(), 1);
        QVERIFY(f.browser.opened[0].contains(QStringLiteral("/yandex-oauth/authorize?response_type=code")));
        QCOMPARE(f.trace.lines().value(0), QStringLiteral("URL авторизации:"));

        const QByteArray reply = f.callback("code=4%2F0Ab&cid=x");
        QVERIFY(reply.startsWith("HTTP/1.1 200 OK"));
        QVERIFY(reply.contains("Account connected"));

        const QStringList log = f.log.messagesInOrder();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0], QStringLiteral("Code check..."));
        QCOMPARE(log[1], QStringLiteral("YandexWM Code TRUE: 4/0Ab"));
        QVERIFY(log[2].startsWith(QStringLiteral("YandexWM Access Token Expiry: ")));
        QCOMPARE(f.view.events, QStringList({QStringLiteral("added 1 token_3"), QStringLiteral("completed")}));
        TokenStore store(f.settings, QStringLiteral("YandexWM_Token"));
        QCOMPARE(store.aliases(), QStringList({"token_1", "token_2", "token_3"}));
        QCOMPARE(store.token(QStringLiteral("token_3")), QStringLiteral("AQAA-new"));

        // The code was exchanged with the form fields in their order.
        const auto sent = f.sim.requests();
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(QByteArray::fromStdString(sent[0].body),
                 QByteArray("code=4%2F0Ab&client_id=0123456789abcdef0123456789abcdef"
                            "&client_secret=fedcba9876543210fedcba9876543210&redirect_uri=http%3A%2F%2Flocalhost%3A") +
                     QByteArray::number(f.port) + "%2FCallback&grant_type=authorization_code");
    }

    void storesNothingWithoutUsableCode_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("refused") << QByteArray("error=access_denied&error_description=User+denied")
                                 << QByteArray("access_denied (User denied)");
        QTest::newRow("code not first") << QByteArray("state=x&code=123") << QByteArray("No sign-in code");
    }
    void storesNothingWithoutUsableCode()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, page);
        Fixture f;
        f.flow->startSignIn(SignInTarget::Analytics);
        const QByteArray reply = f.callback(query);
        QVERIFY(reply.startsWith("HTTP/1.1 200 OK"));
        QVERIFY2(reply.contains(page), reply.constData());
        QCOMPARE(f.log.messagesInOrder(), QStringList({"Code check...", "Code empty"}));
        QVERIFY(f.view.events.isEmpty());
        QCOMPARE(f.sim.requestCount(), size_t(0));
        QVERIFY(!f.settings.exists());
    }

    void hostGivenAsAddressGivesNoCode()
    {
        Fixture f;
        f.flow->startSignIn(SignInTarget::YandexWebmaster);
        visit(f.port, "/Callback?code=1", "127.0.0.1:" + QByteArray::number(f.port));
        QCOMPARE(f.log.messagesInOrder(), QStringList({"Code check...", "Code empty"}));
    }

    void refusedCodeStoresNothingAndSaysWhy()
    {
        Fixture f;
        f.sim.setResponse("POST", "/google-accounts/o/oauth2/token",
                          sim::Response::json(R"({"error":"invalid_grant","error_description":"Bad Request"})", 400));
        f.flow->startSignIn(SignInTarget::SearchConsole);
        const QByteArray reply = f.callback("code=used");
        QVERIFY(reply.contains("invalid_grant"));
        QCOMPARE(f.log.messagesInOrder(),
                 QStringList({"Code check...", "Sign-in failed: invalid_grant (Bad Request)"}));
        QVERIFY(f.view.events.isEmpty());
        QVERIFY(TokenStore(f.settings, QStringLiteral("GoogleSC_Token")).aliases().isEmpty());
    }

    void tokenEndpointFailureGivesErrorPage_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("server error") << 0;
        QTest::newRow("dropped") << 1;
    }
    void tokenEndpointFailureGivesErrorPage()
    {
        QFETCH(int, fault);
        Fixture f;
        sim::Response answer = sim::Response::json(R"({"error":"internal"})", 503);
        if (fault == 1)
            answer.fault = sim::Fault::CloseWithoutAnswer;
        f.sim.setResponse("POST", "/yandex-oauth/token", answer);
        f.flow->startSignIn(SignInTarget::YandexMetrika);
        const QByteArray reply = f.callback("code=abc");
        QVERIFY2(reply.startsWith("HTTP/1.1 500"), reply.constData());
        QVERIFY(reply.contains("sign-in service"));
        QCOMPARE(f.log.messagesInOrder(), QStringList({"Code check..."}));
        QVERIFY(f.view.events.isEmpty());
        QVERIFY(!f.settings.exists());
    }

    void indexingApiTokenReplacesTheSingleKey()
    {
        Fixture f;
        f.settings.writeString(QStringLiteral("GoogleSC_IndexingApi_Token"), QStringLiteral("GSC_IA"),
                               QStringLiteral("old"));
        f.sim.setResponse("POST", "/google-accounts/o/oauth2/token",
                          sim::Response::json(R"({"access_token":"ya29.new","expires_in":3599})"));
        f.flow->startSignIn(SignInTarget::IndexingApi);
        QVERIFY(f.browser.opened[0].endsWith(QStringLiteral("&scope=https%3A%2F%2Fwww.googleapis.com%2Fauth%2Findexing")));
        f.callback("code=xyz");
        QCOMPARE(f.settings.readString(QStringLiteral("GoogleSC_IndexingApi_Token"), QStringLiteral("GSC_IA")),
                 QStringLiteral("ya29.new"));
        QCOMPARE(f.view.events, QStringList({"indexing saved", "completed"}));
        QCOMPARE(f.log.messagesInOrder().value(1), QStringLiteral("GoogleSC Code TRUE: xyz"));
        QVERIFY(TokenStore(f.settings, QStringLiteral("GoogleSC_Token")).aliases().isEmpty());

        // The next Search Console sign-in asks for its own scope again.
        f.flow->startSignIn(SignInTarget::SearchConsole);
        QVERIFY(f.browser.opened[1].endsWith(QStringLiteral("%2Fauth%2Fwebmasters.readonly")));
    }

    void codeWithoutPendingSignInStoresNothing()
    {
        Fixture f;
        const QByteArray reply = f.callback("code=123");
        QVERIFY(reply.contains("not waiting"));
        QCOMPARE(f.log.messagesInOrder(), QStringList({"Code check..."}));
        QCOMPARE(f.sim.requestCount(), size_t(0));
    }

    void expiryTexts()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(SignInFlow::expiryText(QDateTime()), QLocale().toString(QDate(1899, 12, 30), QLocale::ShortFormat));
        QVERIFY(!SignInFlow::expiryText(QDateTime(QDate(2027, 1, 2), QTime(0, 0))).contains(QLatin1Char(':')));
        QVERIFY(SignInFlow::expiryText(QDateTime(QDate(2027, 1, 2), QTime(13, 5, 7))).contains(QStringLiteral("1:05:07")));
    }
};

QTEST_GUILESS_MAIN(SignInFlowTest)
#include "tst_signinflow.moc"
