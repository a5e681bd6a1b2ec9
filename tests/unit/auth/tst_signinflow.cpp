#include "app/SandboxEndpoints.h"
#include "auth/HttpRequestReader.h"
#include "auth/SettingsFile.h"
#include "auth/SignInFlow.h"
#include "auth/SignInProof.h"
#include "auth/TokenStore.h"

#include "support/LoopbackTestSupport.h"
#include "support/ServiceTestFixture.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
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
using veltrano::testing::ServiceTestFixture;

struct RecordingView final : SignInView {
    QStringList events;
    void tokenAdded(SignInTarget target, const QString &alias) override
    {
        events << QStringLiteral("added %1 %2").arg(int(target)).arg(alias);
    }
    void singleTokenSaved(const QString &) override { events << QStringLiteral("indexing saved"); }
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

// A parameter of the address the browser was sent to, decoded.
QString paramOf(const QString &address, const QString &name)
{
    return QUrlQuery(QUrl(address)).queryItemValue(name, QUrl::FullyDecoded);
}

} // namespace

class SignInFlowTest : public QObject {
    Q_OBJECT

    struct Fixture : ServiceTestFixture<> {
        QTemporaryDir dir;
        RecordingBrowser browser;
        RecordingView view;
        QObject gui;
        quint16 port = freePort();
        std::unique_ptr<SignInFlow> flow;
        SettingsFile settings{dir.filePath(QStringLiteral("Veltrano.ini"))};

        Fixture()
        {
            sim.start();
            Endpoints endpoints = simulatorEndpoints(simUrl(), port);
            flow = std::make_unique<SignInFlow>(endpoints, settings, log, trace, browser, view, &gui);
            flow->setExchangeTimeout(std::chrono::milliseconds(2000));
            QString error;
            flow->startListener(&error);
        }
        QByteArray callback(const QByteArray &query)
        {
            return visit(port, "/Callback?" + query, "localhost:" + QByteArray::number(port));
        }
        // The state of the last sign-in started, as the service sends it back.
        QByteArray state() const
        {
            return QUrl::toPercentEncoding(
                paramOf(browser.opened.value(browser.opened.size() - 1), QStringLiteral("state")));
        }
        QByteArray withState(const QByteArray &query) const { return query + "&state=" + state(); }
    };

private Q_SLOTS:
    void storesYandexWebmasterTokenUnderNextAlias()
    {
        Fixture f;
        f.settings.writeString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_1"), QStringLiteral("a"));
        f.settings.writeString(QStringLiteral("YandexWM_Token"), QStringLiteral("token_2"), QStringLiteral("b"));
        f.sim.setResponse("POST", "/yandex-oauth/token",
                          sim::Response::json(R"({"access_token":"AQAA-new","refresh_token":"1:refresh",)"
                                              R"("expires_in":31536000,"token_type":"bearer"})"));
        const SignInFlow::SignInStart start = f.flow->startSignIn(SignInTarget::YandexWebmaster);
        QCOMPARE(f.browser.opened.size(), 1);
        QCOMPARE(start.address, f.browser.opened[0]);
        QVERIFY(start.browserOpened);
        QVERIFY(f.browser.opened[0].contains(QStringLiteral("/yandex-oauth/authorize?response_type=code")));
        QCOMPARE(f.trace.lines().value(0), QStringLiteral("URL авторизации:"));
        QCOMPARE(f.flow->pendingTarget(), SignInTarget::YandexWebmaster);

        const QByteArray reply = f.callback(f.withState("code=4%2F0Ab7x9&cid=x"));
        QVERIFY(reply.startsWith("HTTP/1.1 200 OK"));
        QVERIFY(reply.contains("Account connected"));
        QVERIFY(!f.flow->isSignInPending());

        // The code and the tokens are credentials: the log and the trace
        // show their first four characters only.
        const QStringList log = f.log.messagesInOrder();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0], QStringLiteral("Code check..."));
        QCOMPARE(log[1], QStringLiteral("YandexWM Code TRUE: 4/0A..."));
        QVERIFY(log[2].startsWith(QStringLiteral("YandexWM Access Token Expiry: ")));
        QCOMPARE(f.view.events, QStringList({QStringLiteral("added 1 token_3"), QStringLiteral("completed")}));
        TokenStore store(f.settings, QStringLiteral("YandexWM_Token"));
        QCOMPARE(store.aliases(), QStringList({"token_1", "token_2", "token_3"}));
        QCOMPARE(store.token(QStringLiteral("token_3")), QStringLiteral("AQAA-new"));

        const QString trace = f.trace.text();
        for (const char *secret : {"4/0Ab7x9", "AQAA-new", "1:refresh"})
            QVERIFY2(!trace.contains(QLatin1String(secret)), secret);
        QVERIFY(trace.contains(QStringLiteral("Code TRUE: 4/0A...")));
        QVERIFY(trace.contains(QStringLiteral("- AccessToken: AQAA...")));
        QVERIFY(trace.contains(QStringLiteral("code=4/0A...&")));

        // The code was exchanged with the form fields in their order, and
        // the verifier whose digest went with the authorization address.
        const auto sent = f.sim.requests();
        QCOMPARE(sent.size(), size_t(1));
        const QByteArray body = QByteArray::fromStdString(sent[0].body);
        const QByteArray fields =
            "code=4%2F0Ab7x9&client_id=0123456789abcdef0123456789abcdef"
            "&client_secret=fedcba9876543210fedcba9876543210&redirect_uri=http%3A%2F%2Flocalhost%3A" +
            QByteArray::number(f.port) + "%2FCallback&grant_type=authorization_code&code_verifier=";
        QVERIFY2(body.startsWith(fields), body.constData());
        const QString verifier = QString::fromLatin1(body.mid(fields.size()));
        QCOMPARE(SignInProof::challengeOf(verifier), paramOf(start.address, QStringLiteral("code_challenge")));
        QCOMPARE(paramOf(start.address, QStringLiteral("code_challenge_method")), QStringLiteral("S256"));
    }

    void googleReturnWithStateFirstIsStored()
    {
        // Google sends the state back before the code.
        Fixture f;
        f.sim.setResponse("POST", "/google-accounts/o/oauth2/token",
                          sim::Response::json(R"({"access_token":"ya29.first","expires_in":3599})"));
        f.flow->startSignIn(SignInTarget::Analytics);
        const QByteArray reply = f.callback("state=" + f.state() + "&code=4%2F0AeanS&scope=x");
        QVERIFY2(reply.contains("Account connected"), reply.constData());
        QCOMPARE(TokenStore(f.settings, QStringLiteral("GoogleAnalytics_Token")).token(QStringLiteral("token_1")),
                 QStringLiteral("ya29.first"));
    }

    void refusedReturnsExchangeAndStoreNothing_data()
    {
        QTest::addColumn<QString>("before"); // what happened before the browser came back
        QTest::addColumn<QString>("state");  // "right", "wrong", "none" or "twice"
        QTest::addColumn<QString>("why");

        const QString notWaiting = QStringLiteral("Sign-in refused: Veltrano is not waiting for a sign-in");
        const QString wrongState = QStringLiteral("Sign-in refused: the answer's state does not match");
        QTest::newRow("never started") << QStringLiteral("nothing") << QStringLiteral("none") << notWaiting;
        QTest::newRow("cancelled") << QStringLiteral("cancel") << QStringLiteral("right") << notWaiting;
        QTest::newRow("forged state") << QStringLiteral("start") << QStringLiteral("wrong") << wrongState;
        QTest::newRow("no state") << QStringLiteral("start") << QStringLiteral("none") << wrongState;
        QTest::newRow("second state") << QStringLiteral("start") << QStringLiteral("twice") << wrongState;
        QTest::newRow("replaced by a newer sign-in")
            << QStringLiteral("start twice") << QStringLiteral("first") << wrongState;
    }
    void refusedReturnsExchangeAndStoreNothing()
    {
        QFETCH(QString, before);
        QFETCH(QString, state);
        QFETCH(QString, why);
        Fixture f;
        if (before != QLatin1String("nothing"))
            f.flow->startSignIn(SignInTarget::YandexWebmaster);
        const QByteArray first = f.state();
        if (before == QLatin1String("cancel"))
            f.flow->cancelSignIn();
        if (before == QLatin1String("start twice"))
            f.flow->startSignIn(SignInTarget::YandexMetrika);

        QByteArray query = "code=4821937";
        if (state == QLatin1String("right"))
            query = f.withState(query);
        else if (state == QLatin1String("wrong"))
            query += "&state=" + QByteArray(43, 'A');
        else if (state == QLatin1String("twice"))
            query = f.withState(query) + "&state=x";
        else if (state == QLatin1String("first"))
            query += "&state=" + first;

        const QByteArray reply = f.callback(query);
        QVERIFY(reply.startsWith("HTTP/1.1 200 OK"));
        QVERIFY2(reply.contains("nothing was stored") || reply.contains("Nothing was stored"), reply.constData());
        const QStringList log = f.log.messagesInOrder();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0], QStringLiteral("Code check..."));
        QVERIFY2(log[1].startsWith(why), qPrintable(log[1]));
        QCOMPARE(f.sim.requestCount(), size_t(0));
        QVERIFY(f.view.events.isEmpty());
        QVERIFY(!f.settings.exists());
    }

    void finishedSignInCannotBeReplayed()
    {
        Fixture f;
        f.sim.setResponse("POST", "/yandex-oauth/token", sim::Response::json(R"({"access_token":"y0_one"})"));
        f.flow->startSignIn(SignInTarget::YandexWebmaster);
        const QByteArray query = f.withState("code=4821937");
        QVERIFY(f.callback(query).contains("Account connected"));
        QVERIFY(f.callback(query).contains("no longer pending"));
        QCOMPARE(f.sim.requestCount(), size_t(1));
        QCOMPARE(TokenStore(f.settings, QStringLiteral("YandexWM_Token")).aliases(), QStringList{"token_1"});
        QVERIFY(f.log.messagesInOrder().last().startsWith(QStringLiteral("Sign-in refused")));
    }

    void cancelDuringTheExchangeStoresNothing()
    {
        Fixture f;
        sim::Response slow = sim::Response::json(R"({"access_token":"y0_late"})");
        slow.delayMs = 600;
        f.sim.setResponse("POST", "/yandex-oauth/token", slow);
        f.flow->startSignIn(SignInTarget::YandexWebmaster);
        // "Cancel" while the service is still answering the code.
        QTimer::singleShot(200, &f.gui, [&] { f.flow->cancelSignIn(); });
        const QByteArray reply = f.callback(f.withState("code=4821937"));
        QVERIFY2(reply.contains("cancelled"), reply.constData());
        QCOMPARE(f.sim.requestCount(), size_t(1));
        QCOMPARE(f.log.messagesInOrder().last(), QStringLiteral("Sign-in cancelled: the account was not added"));
        QVERIFY(f.view.events.isEmpty());
        QVERIFY(!f.settings.exists());
    }

    void storesNothingWithoutUsableCode_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("refused") << QByteArray("error=access_denied&error_description=User+denied")
                                 << QByteArray("access_denied (User denied)");
        // The code must come first; only the state may stand before it.
        QTest::newRow("code not first") << QByteArray("scope=x&code=123") << QByteArray("No sign-in code");
        QTest::newRow("site icon") << QByteArray() << QByteArray("No sign-in code");
    }
    void storesNothingWithoutUsableCode()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, page);
        Fixture f;
        f.flow->startSignIn(SignInTarget::Analytics);
        const QByteArray reply = f.callback(f.withState(query));
        QVERIFY(reply.startsWith("HTTP/1.1 200 OK"));
        QVERIFY2(reply.contains(page), reply.constData());
        QCOMPARE(f.log.messagesInOrder(), QStringList({"Code check...", "Code empty"}));
        // A return without a code leaves the sign-in waiting.
        QVERIFY(f.flow->isSignInPending());
        QVERIFY(f.view.events.isEmpty());
        QCOMPARE(f.sim.requestCount(), size_t(0));
        QVERIFY(!f.settings.exists());
    }

    void hostGivenAsAddressGivesNoCode()
    {
        Fixture f;
        f.flow->startSignIn(SignInTarget::YandexWebmaster);
        visit(f.port, "/Callback?" + f.withState("code=1"), "127.0.0.1:" + QByteArray::number(f.port));
        QCOMPARE(f.log.messagesInOrder(), QStringList({"Code check...", "Code empty"}));
    }

    void refusedCodeStoresNothingAndSaysWhy()
    {
        Fixture f;
        f.sim.setResponse("POST", "/google-accounts/o/oauth2/token",
                          sim::Response::json(R"({"error":"invalid_grant","error_description":"Bad Request"})", 400));
        f.flow->startSignIn(SignInTarget::SearchConsole);
        const QByteArray reply = f.callback(f.withState("code=used"));
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
        const QByteArray reply = f.callback(f.withState("code=abc"));
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
        QVERIFY(f.browser.opened[0].contains(
            QStringLiteral("&scope=https%3A%2F%2Fwww.googleapis.com%2Fauth%2Findexing"
                           "&access_type=offline&prompt=consent&state=")));
        f.callback(f.withState("code=xyz"));
        QCOMPARE(f.settings.readString(QStringLiteral("GoogleSC_IndexingApi_Token"), QStringLiteral("GSC_IA")),
                 QStringLiteral("ya29.new"));
        QCOMPARE(f.view.events, QStringList({"indexing saved", "completed"}));
        QCOMPARE(f.log.messagesInOrder().value(1), QStringLiteral("GoogleSC Code TRUE: xyz..."));
        QVERIFY(TokenStore(f.settings, QStringLiteral("GoogleSC_Token")).aliases().isEmpty());

        // The next Search Console sign-in asks for its own scope again.
        f.flow->startSignIn(SignInTarget::SearchConsole);
        QVERIFY(f.browser.opened[1].contains(QStringLiteral("%2Fauth%2Fwebmasters.readonly&access_type=offline&prompt=consent&state=")));
    }

    // Where the code is read from a browser's return: the code parameter
    // right after the redirect address, the state alone allowed before it.
    void readsTheCodeOnlyWhereItBelongs_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("states");

        const QByteArray host = "localhost:42361";
        QTest::newRow("code first") << host << QByteArray("/Callback?code=4%2F0Ab&state=s") << QStringLiteral("4/0Ab")
                                    << QStringList{"s"};
        QTest::newRow("state first, as Google sends it")
            << host << QByteArray("/Callback?state=s&code=12&scope=x") << QStringLiteral("12") << QStringList{"s"};
        QTest::newRow("another parameter first")
            << host << QByteArray("/Callback?scope=x&code=12") << QString() << QStringList{};
        QTest::newRow("host by its address")
            << QByteArray("127.0.0.1:42361") << QByteArray("/Callback?code=12") << QString() << QStringList{};
        QTest::newRow("other path") << host << QByteArray("/favicon.ico?code=12") << QString() << QStringList{};
        // Found by fuzzing: the marker inside a later parameter's value gave
        // a "code" the service never sent.
        QTest::newRow("marker inside another value")
            << host << QByteArray("/Callback?x=http%3A%2F%2Flocalhost%3A42361%2FCallback%3Fcode%3D9&state=s")
            << QString() << QStringList{"s"};
        // Found by fuzzing: an encoded "&" is part of the code, not its end.
        QTest::newRow("encoded ampersand inside the code")
            << host << QByteArray("/Callback?code=a%26b") << QStringLiteral("a&b") << QStringList{};
        QTest::newRow("encoded ampersand, state first")
            << host << QByteArray("/Callback?state=abc-_123&code=4%26F0AeanS0Zx&scope=x")
            << QStringLiteral("4&F0AeanS0Zx") << QStringList{"abc-_123"};
        QTest::newRow("code marker in the path")
            << host << QByteArray("/Callback%3Fcode%3D9?state=s") << QString() << QStringList{"s"};
        QTest::newRow("a second code") << host << QByteArray("/Callback?code=1&code=2") << QStringLiteral("1")
                                       << QStringList{};
    }
    void readsTheCodeOnlyWhereItBelongs()
    {
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, target);
        QFETCH(QString, code);
        QFETCH(QStringList, states);
        HttpRequestHead request;
        QVERIFY(HttpRequestReader::parseHead(("GET " + target + " HTTP/1.1\r\nHost: " + host).toStdString(), request));
        const SignInFlow::CallbackReading reading =
            SignInFlow::readCallback(request, QStringLiteral("http://localhost:42361/Callback"));
        QCOMPARE(reading.code, code);
        QCOMPARE(reading.states, states);
    }

    void expiryTexts()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(SignInFlow::expiryText(QDateTime()), QLocale().toString(QDate(1899, 12, 30), QLocale::ShortFormat));
        QVERIFY(!SignInFlow::expiryText(QDateTime(QDate(2027, 1, 2), QTime(0, 0))).contains(QLatin1Char(':')));
        QVERIFY(
            SignInFlow::expiryText(QDateTime(QDate(2027, 1, 2), QTime(13, 5, 7))).contains(QStringLiteral("1:05:07")));
    }
};

QTEST_GUILESS_MAIN(SignInFlowTest)
#include "tst_signinflow.moc"
