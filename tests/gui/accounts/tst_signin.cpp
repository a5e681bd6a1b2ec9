// Sign-in and the token lists of the Settings page, end to end: the real
// main window on a temporary settings folder, its listener on a free port,
// and the in-process simulator as the Yandex and Google sign-in services. The
// test plays the browser: it follows the service's redirect with a plain
// HTTP client back to the listener.

#include "app/SandboxEndpoints.h"
#include "app/VeltranoError.h"
#include "auth/SettingsFile.h"
#include "auth/TokenStore.h"
#include "net/SecretText.h"
#include "support/GuiTestSupport.h"
#include "support/MainWindowHarness.h"
#include "ui/accounts/AccountsController.h"
#include "ui/accounts/WaitDialog.h"
#include "ui/desktop/DesktopPorts.h"
#include "ui/desktop/GuiMessagePrompt.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Workbench.h"
#include "ui/widgets/MarqueeProgressBar.h"

#include "SimServer.h"
#include "services/ServiceCatalog.h"
#include "support/LoopbackTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

using namespace veltrano;
using namespace veltrano::testing;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

using veltrano::testing::freePort;

struct RecordingClipboard final : ClipboardWriter {
    QString text;
    void setText(const QString &t) override { text = t; }
};

// A listening socket that holds a port for as long as it lives.
struct PortHolder {
    int fd = -1;
    explicit PortHolder(quint16 port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~PortHolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct HttpAnswer {
    int status = 0; // 0: no answer
    std::string location;
    std::string body;
};

// One GET over a plain socket, the way a browser sends it: the target
// exactly as written in the address, the Host header from the address.
// Loopback only; "localhost" is reached on 127.0.0.1.
HttpAnswer browserGet(const std::string &url)
{
    HttpAnswer answer;
    const std::string scheme = "http://";
    if (url.rfind(scheme, 0) != 0)
        return answer;
    const size_t slash = url.find('/', scheme.size());
    const std::string authority = url.substr(scheme.size(), slash - scheme.size());
    const std::string target = slash == std::string::npos ? "/" : url.substr(slash);
    const size_t colon = authority.rfind(':');
    const int port = colon == std::string::npos ? 80 : std::stoi(authority.substr(colon + 1));

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return answer;
    }
    const std::string request =
        "GET " + target + " HTTP/1.1\r\nHost: " + authority + "\r\nAccept: text/html\r\nConnection: close\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);

    std::string data;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
        data.append(buffer, size_t(n));
        const size_t headEnd = data.find("\r\n\r\n");
        if (headEnd == std::string::npos)
            continue;
        const std::string head = data.substr(0, headEnd);
        const size_t length = head.find("Content-Length: ");
        if (length != std::string::npos &&
            data.size() >= headEnd + 4 + std::stoul(head.substr(length + 16, head.find("\r\n", length) - length - 16)))
            break;
    }
    ::close(fd);

    const size_t headEnd = data.find("\r\n\r\n");
    if (data.rfind("HTTP/1.", 0) != 0 || headEnd == std::string::npos)
        return answer;
    answer.status = std::stoi(data.substr(9, 3));
    const std::string head = data.substr(0, headEnd);
    const size_t location = head.find("\r\nLocation: ");
    if (location != std::string::npos) {
        const size_t start = location + 12;
        answer.location = head.substr(start, head.find("\r\n", start) - start);
    }
    answer.body = data.substr(headEnd + 4);
    return answer;
}

// Runs the browser's part on a thread of its own while this thread's event
// loop runs the window steps the listener hands over.
template <typename Work> auto whileEventsRun(Work work)
{
    decltype(work()) result{};
    std::atomic<bool> done{false};
    std::thread browser([&] {
        result = work();
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 30000)
        QTest::qWait(5);
    browser.join();
    return result;
}

// What the browser went through for one sign-in.
struct BrowserVisit {
    HttpAnswer consent;  // the service's answer to the authorization address
    HttpAnswer callback; // the listener's answer to the redirect
    QString code;        // the code the service put into the redirect
};

// The user agrees on the service's page; the browser follows the redirect
// back to the listener. answered, when given, turns true as soon as the
// listener's answer is in.
BrowserVisit agreeInBrowser(const QString &authorizationUri, std::atomic<bool> *answered = nullptr)
{
    return whileEventsRun([uri = authorizationUri.toStdString(), answered] {
        BrowserVisit visit;
        visit.consent = browserGet(uri);
        if (visit.consent.status == 302) {
            const QUrl redirect(QString::fromStdString(visit.consent.location));
            visit.code = QUrlQuery(redirect).queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
            visit.callback = browserGet(visit.consent.location);
        }
        if (answered)
            *answered = true;
        return visit;
    });
}

// The same on the calling thread, for a test that runs the event loop itself.
HttpAnswer agreeInBrowserWithoutEvents(const std::string &authorizationUri)
{
    const HttpAnswer consent = browserGet(authorizationUri);
    return consent.status == 302 ? browserGet(consent.location) : consent;
}

HttpAnswer openInBrowser(const std::string &url)
{
    return whileEventsRun([url] { return browserGet(url); });
}

QStringList itemTexts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QString traceValue(const RequestTrace &trace, const QString &prefix)
{
    for (const QString &line : trace.lines()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}

// Answers the next modal input dialog: records what it asked and types the
// answer (or cancels, for no answer).
struct InputDialogAnswer {
    bool appeared = false;
    QString title;
    QString label;
    QString initialText;

    void arm(std::optional<QString> answer)
    {
        auto *timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, answer] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            appeared = true;
            title = dialog->windowTitle();
            label = dialog->labelText();
            initialText = dialog->textValue();
            if (answer) {
                dialog->setTextValue(*answer);
                dialog->accept();
            } else {
                dialog->reject();
            }
            timer->deleteLater();
        });
        timer->start();
        m_timer = timer;
    }
    // Stops waiting for a dialog that was never going to come.
    void disarm()
    {
        if (m_timer)
            m_timer->deleteLater();
    }
    QPointer<QTimer> m_timer;
};

const QString YandexWebmasterSection = QStringLiteral("YandexWM_Token");

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT

    // The window on a settings folder of its own, its listener on a free
    // port, every service at the in-process simulator.
    struct Fixture {
        QTemporaryDir dir;
        sim::SimServer sim;
        RecordingPrompt prompt;
        RecordingBrowser browser;
        RecordingClipboard clipboard;
        quint16 port = freePort();
        Endpoints endpoints;
        std::unique_ptr<Workbench> app;
        MainWindow *window = nullptr;

        Fixture()
        {
            sim::installAllServices(sim);
            sim.start();
            endpoints = simulatorEndpoints(QString::fromStdString(sim.baseUrl()), port);
        }
        QString folder() const { return dir.path() + QLatin1Char('/'); }
        SettingsFile settings() const { return SettingsFile(SettingsFile::pathIn(folder())); }
        void open()
        {
            MainWindowOptions options = quietWindowOptions(folder());
            options.prompt = &prompt;
            options.browser = &browser;
            options.clipboardWriter = &clipboard;
            app = std::make_unique<Workbench>(endpoints, options);
            window = &app->window();
            app->accounts()->signIn().setExchangeTimeout(std::chrono::milliseconds(5000));
            window->show();
        }
        void restart()
        {
            window->close();
            app.reset();
            window = nullptr;
            open();
        }
        template <typename T> T *find(const char *name) const
        {
            return window->findChild<T *>(QString::fromLatin1(name));
        }
        void press(const char *name) const
        {
            if (auto *action = find<QAction>(name))
                action->trigger();
            else
                find<QPushButton>(name)->click();
        }
        QStringList log() const { return app->activityLog().messagesInOrder(); }
        QStringList aliases(const QString &section) const { return TokenStore(settings(), section).aliases(); }
        std::string callbackUrl(const QByteArray &query) const
        {
            return "http://localhost:" + std::to_string(port) + "/Callback?" + query.toStdString();
        }
    };

private Q_SLOTS:
    void signInStoresTokenAndListsIt_data();
    void signInStoresTokenAndListsIt();
    void refusedAccessStoresNothing();
    void replayedReturnIsRefused();
    void waitDialogOffersTheLinkWhenNoBrowserOpens();
    void cancelledSignInStoresNothingWhenTheBrowserComesBack();
    void tokenEndpointFailureStoresNothing();
    void indexingApiSignInKeepsOneToken();

    void startLoadsListsInFileOrder();
    void portTakenAtStartStillFinishesStartUp();
    void signInTriesThePortAgain();
    void closingStopsTheListener();
    void closingDuringIndexingNoticeDoesNotHang();
    void closingDuringExchangeDoesNotWaitForTheService();

    void rename_data();
    void rename();
    void nothingSelectedDoesNothing();
    void deleteAsksThenRemovesEntryAndSelection_data();
    void deleteAsksThenRemovesEntryAndSelection();
    void doubleClickConnectsEvenWhenButtonIsDisabled();
    void ahrefsTokenSurvivesRestart();
    void refusedWritesAreReported();
};

// ---------------------------------------------------------------------------
// Sign-in

void TestSignIn::signInStoresTokenAndListsIt_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("renameButton");
    QTest::addColumn<QString>("logName");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("newAlias");

    const auto row = [](const char *name, const char *trigger, const char *list, const char *section,
                        const char *rename, const char *logName, const QStringList &existing, const char *newAlias) {
        QTest::newRow(name) << QString::fromLatin1(trigger) << QString::fromLatin1(list) << QString::fromLatin1(section)
                            << QString::fromLatin1(rename) << QString::fromLatin1(logName) << existing
                            << QString::fromLatin1(newAlias);
    };
    row("Yandex Webmaster, first account", "Button3", "ListBox1", "YandexWM_Token", "Button4", "YandexWM", {},
        "token_1");
    row("Yandex Metrika, after two", "Button7", "ListBox2", "YandexMetrika_Token", "Button8", "YandexMetrika",
        {"token_1", "token_2"}, "token_3");
    // token_2 is taken, so the next number is used.
    row("Search Console, after a renamed entry", "MenuItem1", "ListBox3", "GoogleSC_Token", "Button12", "GoogleSC",
        {"token_2"}, "token_3");
    row("Google Analytics, first account", "Button15", "ListBox4", "GoogleAnalytics_Token", "Button16",
        "GoogleAnalytics", {}, "token_1");
}

void TestSignIn::signInStoresTokenAndListsIt()
{
    QFETCH(QString, trigger);
    QFETCH(QString, list);
    QFETCH(QString, section);
    QFETCH(QString, renameButton);
    QFETCH(QString, logName);
    QFETCH(QStringList, existing);
    QFETCH(QString, newAlias);

    Fixture f;
    for (const QString &alias : existing)
        f.settings().writeString(section, alias, QStringLiteral("earlier-") + alias);
    f.open();
    auto *tokens = f.find<QListWidget>(list.toLatin1());
    auto *rename = f.find<QPushButton>(renameButton.toLatin1());
    QCOMPARE(rename->isEnabled(), !existing.isEmpty());

    f.press(trigger.toLatin1());
    QCOMPARE(f.browser.opened.size(), 1);
    WaitDialog *wait = f.app->waitDialog();
    QVERIFY(wait->isVisible());
    QVERIFY(wait->progressBar()->marquee());

    const BrowserVisit visit = agreeInBrowser(f.browser.opened[0]);
    QCOMPARE(visit.consent.status, 302);
    QVERIFY(!visit.code.isEmpty());
    QCOMPARE(visit.callback.status, 200);

    // The token the service issued is stored under the next free alias,
    // as the section's last entry, and appended to the list; the trace
    // shows only its first characters.
    const QString accessToken = f.settings().readString(section, newAlias);
    QVERIFY(accessToken.size() > 20);
    QCOMPARE(f.aliases(section), existing + QStringList{newAlias});
    QCOMPARE(traceValue(f.app->requestTrace(), QStringLiteral("- AccessToken: ")), secretPreview(accessToken));
    QVERIFY(!f.app->requestTrace().text().contains(accessToken));
    QCOMPARE(itemTexts(tokens), existing + QStringList{newAlias});
    QVERIFY(rename->isEnabled());
    // The new account is the selected one, ready for "Connect to Account".
    QCOMPARE(tokens->selectedItems().size(), 1);
    QCOMPARE(tokens->selectedItems()[0]->text(), newAlias);

    const QStringList log = f.log();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log[0], QStringLiteral("Code check..."));
    QCOMPARE(log[1], logName + QStringLiteral(" Code TRUE: ") + secretPreview(visit.code));
    QVERIFY2(log[2].startsWith(logName + QStringLiteral(" Access Token Expiry: ")), qPrintable(log[2]));
    QVERIFY(!wait->isVisible());
    QVERIFY(f.prompt.shown.isEmpty());

    QVERIFY(!f.app->requestTrace().text().contains(visit.code));

    // Connecting the new account (for the services that can) writes its
    // requests to the log and the trace, never the token itself.
    tokens->setCurrentRow(tokens->count() - 1);
    for (const ServiceDescriptor *info : ServiceTable::all()) {
        if (info->tokenSection == section)
            f.app->accounts()->runConnectOperation(info->id);
    }
    QVERIFY(!f.app->requestTrace().text().contains(accessToken));
    for (const QString &line : f.log())
        QVERIFY2(!line.contains(accessToken), qPrintable(line));
}

void TestSignIn::refusedAccessStoresNothing()
{
    Fixture f;
    // The simulated service refuses every sign-in of a "deny..." client.
    f.endpoints.ywmClientId = QStringLiteral("deny0123456789abcdef0123456789ab");
    f.open();
    f.press("Button3");
    const BrowserVisit visit = agreeInBrowser(f.browser.opened.value(0));
    QCOMPARE(visit.consent.status, 302);
    QVERIFY(visit.code.isEmpty());
    QCOMPARE(visit.callback.status, 200);

    QCOMPARE(f.log(), QStringList({"Code check...", "Code empty"}));
    QCOMPARE(f.find<QListWidget>("ListBox1")->count(), 0);
    QVERIFY(!f.settings().exists());
    QVERIFY(!f.find<QPushButton>("Button4")->isEnabled());
    // The user closes the wait dialog himself.
    QVERIFY(f.app->waitDialog()->isVisible());
}

void TestSignIn::replayedReturnIsRefused()
{
    Fixture f;
    f.open();
    f.press("Button7");
    const BrowserVisit visit = agreeInBrowser(f.browser.opened.value(0));
    QCOMPARE(visit.callback.status, 200);
    QCOMPARE(f.aliases(QStringLiteral("YandexMetrika_Token")), QStringList{"token_1"});
    const size_t tokenRequests = f.sim.requestCount();

    // The same return opened again: that sign-in has finished, so the code
    // is not even sent to the service, and nothing new is stored.
    const HttpAnswer again = openInBrowser(visit.consent.location);
    QCOMPARE(again.status, 200);
    QVERIFY2(again.body.find("no longer pending") != std::string::npos, again.body.c_str());
    QVERIFY(f.log().last().startsWith(QStringLiteral("Sign-in refused: Veltrano is not waiting")));
    QCOMPARE(f.sim.requestCount(), tokenRequests);
    QCOMPARE(f.aliases(QStringLiteral("YandexMetrika_Token")), QStringList{"token_1"});
    QCOMPARE(itemTexts(f.find<QListWidget>("ListBox2")), QStringList{"token_1"});
}

void TestSignIn::waitDialogOffersTheLinkWhenNoBrowserOpens()
{
    Fixture f;
    f.browser.available = false;
    f.open();
    f.press("Button3");

    // At once: the address, the "Copy link" button and why it is needed.
    WaitDialog *wait = f.app->waitDialog();
    QVERIFY(wait->isVisible());
    const QString address = f.browser.opened.value(0);
    QCOMPARE(wait->addressField()->text(), address);
    QVERIFY(wait->addressField()->isReadOnly());
    QVERIFY2(wait->statusLabel()->text().contains(QStringLiteral("could not be opened")),
             qPrintable(wait->statusLabel()->text()));
    QCOMPARE(wait->copyLinkButton()->text(), QStringLiteral("Copy link"));
    wait->copyLinkButton()->click();
    QCOMPARE(f.clipboard.text, address);

    // The user pastes it into a browser of his own: the sign-in completes.
    const BrowserVisit visit = agreeInBrowser(f.clipboard.text);
    QCOMPARE(visit.callback.status, 200);
    QCOMPARE(f.aliases(YandexWebmasterSection), QStringList{"token_1"});
    QVERIFY(!wait->isVisible());
}

void TestSignIn::cancelledSignInStoresNothingWhenTheBrowserComesBack()
{
    Fixture f;
    f.open();
    f.press("Button15");
    WaitDialog *wait = f.app->waitDialog();
    QVERIFY(wait->isVisible());
    wait->cancelButton()->click();
    QVERIFY(!wait->isVisible());

    // The browser was left open and the user agrees there afterwards.
    const BrowserVisit visit = agreeInBrowser(f.browser.opened.value(0));
    QCOMPARE(visit.consent.status, 302);
    QCOMPARE(visit.callback.status, 200);
    QVERIFY2(visit.callback.body.find("no longer pending") != std::string::npos, visit.callback.body.c_str());
    QVERIFY(f.aliases(QStringLiteral("GoogleAnalytics_Token")).isEmpty());
    QCOMPARE(f.find<QListWidget>("ListBox4")->count(), 0);
    QVERIFY(f.log().last().startsWith(QStringLiteral("Sign-in refused")));
    QVERIFY(!f.settings().exists());
}

void TestSignIn::tokenEndpointFailureStoresNothing()
{
    Fixture f;
    f.sim.setResponse(
        "POST", "/yandex-oauth/token",
        sim::Response::text("<html><body>Internal Server Error</body></html>", 500, "text/html; charset=utf-8"));
    f.open();
    f.press("Button3");
    const BrowserVisit visit = agreeInBrowser(f.browser.opened.value(0));
    QVERIFY(!visit.code.isEmpty());
    QCOMPARE(visit.callback.status, 500);
    QVERIFY2(visit.callback.body.find("500") != std::string::npos, visit.callback.body.c_str());

    QCOMPARE(f.log(), QStringList{"Code check..."});
    QCOMPARE(f.find<QListWidget>("ListBox1")->count(), 0);
    QVERIFY(!f.settings().exists());
    QVERIFY(f.app->waitDialog()->isVisible());
}

void TestSignIn::indexingApiSignInKeepsOneToken()
{
    Fixture f;
    f.settings().writeString(QStringLiteral("GoogleSC_IndexingApi_Token"), QStringLiteral("GSC_IA"),
                             QStringLiteral("ya29.earlier"));
    f.open();
    // What the user could see while the notice was up, and whether the
    // browser had its page by then. The notice waits for no browser: it
    // may come up while the browser is still reading, so it gives the
    // browser a few seconds, without pumping events, to have its answer.
    std::atomic<bool> browserAnswered{false};
    bool answeredWhileShown = false;
    QStringList logWhileShown;
    bool waitShownWhileShown = true;
    f.prompt.whileShown = [&] {
        logWhileShown = f.log();
        waitShownWhileShown = f.app->waitDialog()->isVisible();
        QElapsedTimer waited;
        waited.start();
        while (!browserAnswered && waited.elapsed() < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        answeredWhileShown = browserAnswered;
    };
    f.press("MenuItem2");
    QVERIFY(f.browser.opened.value(0).contains(QStringLiteral("%2Fauth%2Findexing&access_type=offline&prompt=consent&state=")));
    const BrowserVisit visit = agreeInBrowser(f.browser.opened.value(0), &browserAnswered);
    QCOMPARE(visit.callback.status, 200);

    QTRY_COMPARE(f.prompt.shown.size(), 1);
    QCOMPARE(f.prompt.shown[0].icon, MessagePrompt::Icon::Information);
    QCOMPARE(f.prompt.shown[0].text, QStringLiteral("GoogleSC Indexing API Token was Saved!"));
    QVERIFY2(answeredWhileShown, "the browser's page waited for the notice");
    // The notice comes after the sign-in has finished: the token's lines
    // are in the log and the wait dialog has closed.
    QCOMPARE(logWhileShown.size(), 3);
    QCOMPARE(logWhileShown.value(0), QStringLiteral("Code check..."));
    QVERIFY(logWhileShown.value(1).startsWith(QStringLiteral("GoogleSC Code TRUE: ")));
    QVERIFY(logWhileShown.value(2).startsWith(QStringLiteral("GoogleSC Access Token Expiry: ")));
    QVERIFY(!waitShownWhileShown);

    const QString stored =
        f.settings().readString(QStringLiteral("GoogleSC_IndexingApi_Token"), QStringLiteral("GSC_IA"));
    QCOMPARE(traceValue(f.app->requestTrace(), QStringLiteral("- AccessToken: ")), secretPreview(stored));
    QVERIFY(stored.startsWith(QStringLiteral("ya29.")) && stored != QStringLiteral("ya29.earlier"));
    QCOMPARE(f.settings().keys(QStringLiteral("GoogleSC_IndexingApi_Token")), QStringList{"GSC_IA"});
    QCOMPARE(f.log().value(1), QStringLiteral("GoogleSC Code TRUE: ") + secretPreview(visit.code));
    QCOMPARE(f.find<QListWidget>("ListBox3")->count(), 0);
    QVERIFY(f.aliases(QStringLiteral("GoogleSC_Token")).isEmpty());
    QVERIFY(!f.app->waitDialog()->isVisible());
}

// ---------------------------------------------------------------------------
// Start and close

void TestSignIn::startLoadsListsInFileOrder()
{
    Fixture f;
    QFile file(SettingsFile::pathIn(f.folder()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[GoogleAnalytics_Token]\n"
               "work=ga-1\n"
               "[yandexwm_token]\n" // section names match in any letter case
               "token_2=y2\n"
               "token_1=y1\n"
               "Main site=y3\n"
               "[Ahrefs_Token]\n"
               "Token= ahrefs-abc \n");
    file.close();
    f.open();

    const auto list = [&](const char *name) { return f.find<QListWidget>(name); };
    QCOMPARE(itemTexts(list("ListBox1")), QStringList({"token_2", "token_1", "Main site"}));
    QCOMPARE(itemTexts(list("ListBox4")), QStringList{"work"});
    QCOMPARE(list("ListBox2")->count(), 0);
    QCOMPARE(list("ListBox3")->count(), 0);
    QCOMPARE(f.app->accounts()->selectedAlias(ServiceId::YandexWebmaster), QStringLiteral("token_2"));
    QCOMPARE(f.app->accounts()->selectedToken(ServiceId::YandexWebmaster), QStringLiteral("y2"));
    QCOMPARE(f.app->accounts()->selectedAlias(ServiceId::Analytics), QStringLiteral("work"));
    QCOMPARE(f.app->accounts()->selectedAlias(ServiceId::YandexMetrika), QString());
    QCOMPARE(f.app->accounts()->selectedToken(ServiceId::YandexMetrika), QString());
    QVERIFY(f.find<QPushButton>("Button4")->isEnabled());
    QVERIFY(!f.find<QPushButton>("Button8")->isEnabled());
    QVERIFY(!f.find<QPushButton>("Button12")->isEnabled());
    QVERIFY(f.find<QPushButton>("Button16")->isEnabled());
    QCOMPARE(f.find<QLineEdit>("Edit1")->text(), QStringLiteral("ahrefs-abc"));
    QVERIFY(f.app->accounts()->signIn().isListening());
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestSignIn::portTakenAtStartStillFinishesStartUp()
{
    Fixture f;
    f.settings().writeString(YandexWebmasterSection, QStringLiteral("token_1"), QStringLiteral("y1"));
    PortHolder holder(f.port);
    QVERIFY(holder.fd >= 0);
    f.open();

    // The message names the port and says that another program holds it.
    QCOMPARE(f.prompt.shown.size(), 1);
    QCOMPARE(f.prompt.shown[0].icon, MessagePrompt::Icon::Error);
    const QString text = f.prompt.shown[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("Could not bind socket. Address and port are already in use.")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Port %1 ").arg(f.port)) && text.contains(QStringLiteral("another program")),
             qPrintable(text));
    QVERIFY(!f.app->accounts()->signIn().isListening());

    // Everything else of the start is there: the lists, the period pickers
    // and what the first show fills in.
    QCOMPARE(itemTexts(f.find<QListWidget>("ListBox1")), QStringList{"token_1"});
    QVERIFY(f.find<QPushButton>("Button4")->isEnabled());
    const QDate today = QDate::currentDate();
    QCOMPARE(f.find<QDateEdit>("DateTimePicker1")->date(), today.addDays(-30));
    QCOMPARE(f.find<QDateEdit>("DateTimePicker2")->date(), today);
    QCOMPARE(f.find<QDateEdit>("DateTimePicker3")->date(), today.addDays(-30));
    QCOMPARE(f.find<QDateEdit>("DateTimePicker4")->date(), today);
    QCOMPARE(f.find<QLabel>("lbVersion")->text(), QStringLiteral("Version: ") + MainWindow::exeVersion());
    f.window->close();
    QCOMPARE(f.prompt.shown.size(), 1);
}

void TestSignIn::signInTriesThePortAgain()
{
    Fixture f;
    auto holder = std::make_unique<PortHolder>(f.port);
    QVERIFY(holder->fd >= 0);
    f.open();
    QCOMPARE(f.prompt.shown.size(), 1);

    // Still taken: said at once, and no browser sent anywhere to wait for.
    f.press("Button3");
    QCOMPARE(f.prompt.shown.size(), 2);
    QVERIFY2(f.prompt.shown[1].text.contains(QStringLiteral("Port %1 is still held by another program").arg(f.port)),
             qPrintable(f.prompt.shown[1].text));
    QVERIFY(f.browser.opened.isEmpty());
    QVERIFY(!f.app->waitDialog()->isVisible());
    QCOMPARE(f.log().last(), QStringLiteral("Sign-in not started: Veltrano cannot listen on port %1").arg(f.port));

    // The other program has let go: the next "Add" listens and signs in.
    holder.reset();
    f.press("Button3");
    QVERIFY(f.app->accounts()->signIn().isListening());
    QCOMPARE(f.browser.opened.size(), 1);
    QVERIFY(f.app->waitDialog()->isVisible());
    QCOMPARE(agreeInBrowser(f.browser.opened[0]).callback.status, 200);
    QCOMPARE(f.aliases(YandexWebmasterSection), QStringList{"token_1"});
    QCOMPARE(f.prompt.shown.size(), 2);
}

void TestSignIn::closingStopsTheListener()
{
    Fixture f;
    f.open();
    QVERIFY(f.app->accounts()->signIn().isListening());
    f.window->close();
    QVERIFY(!f.app->accounts()->signIn().isListening());
    // The general settings were written before.
    QVERIFY(f.settings().hasKey(QStringLiteral("Settings"), QStringLiteral("req-predelay")));
    QCOMPARE(openInBrowser(f.callbackUrl("code=1")).status, 0);
}

void TestSignIn::closingDuringIndexingNoticeDoesNotHang()
{
    // The notice is a real modal message box, and the window is told to
    // close while it is up: the box goes with the window.
    struct ModalPrompt final : MessagePrompt {
        std::function<void()> whileShown;
        GuiMessagePrompt box;
        void show(Icon icon, const QString &title, const QString &text) override
        {
            if (whileShown)
                QTimer::singleShot(0, whileShown);
            box.show(icon, title, text);
        }
        bool ask(const QString &title, const QString &text) override { return box.ask(title, text); }
    } modal;

    Fixture f;
    MainWindowOptions options = quietWindowOptions(f.folder());
    options.prompt = &modal;
    options.browser = &f.browser;
    f.app = std::make_unique<Workbench>(f.endpoints, options);
    f.window = &f.app->window();
    f.window->show();
    // Should the window leave the notice up, the test dismisses it after a
    // while rather than hang, and fails.
    bool leftUp = false;
    modal.whileShown = [&f, &leftUp] {
        f.window->close();
        QTimer::singleShot(10000, f.window, [&leftUp] {
            if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                leftUp = true;
                box->reject();
            }
        });
    };

    f.press("MenuItem2");
    // The listener may stop before the browser's page has gone out; what
    // counts is that the request ended and the listener stopped.
    agreeInBrowser(f.browser.opened.value(0));
    QTRY_VERIFY(!f.app->accounts()->signIn().isListening());
    QVERIFY(!f.window->isVisible());
    QVERIFY(!leftUp);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(!f.settings().readString(QStringLiteral("GoogleSC_IndexingApi_Token"), QStringLiteral("GSC_IA")).isEmpty());
}

void TestSignIn::closingDuringExchangeDoesNotWaitForTheService()
{
    Fixture f;
    sim::Response silent;
    silent.fault = sim::Fault::NeverAnswer;
    f.sim.setResponse("POST", "/yandex-oauth/token", silent);
    f.open();
    // Far longer than the test may run: the close must not sit it out.
    f.app->accounts()->signIn().setExchangeTimeout(std::chrono::minutes(30));

    f.press("Button3");
    std::atomic<bool> done{false};
    std::thread browser([&] {
        agreeInBrowserWithoutEvents(f.browser.opened.value(0).toStdString());
        done = true;
    });
    // The listener has sent the code to the service and waits for the token.
    QTRY_VERIFY_WITH_TIMEOUT(f.sim.requestCount() >= 2, 20000);
    QCOMPARE(f.sim.requests().back().path, std::string("/yandex-oauth/token"));

    f.window->close();
    QVERIFY(!f.app->accounts()->signIn().isListening());
    QTRY_VERIFY(done.load());
    browser.join();
    QCOMPARE(f.log(), QStringList{"Code check..."});
    QVERIFY(!f.settings().hasKey(YandexWebmasterSection, QStringLiteral("token_1")));
}

// ---------------------------------------------------------------------------
// Rename, delete, double-click, the Ahrefs token

void TestSignIn::rename_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QStringList>("listAfter");
    QTest::addColumn<QStringList>("fileAfter");
    QTest::addColumn<QString>("refusal"); // part of the message; empty: none

    const QStringList unchanged{"token_1", "token_2"};
    QTest::newRow("cancel") << std::optional<QString>() << unchanged << unchanged << QString();
    QTest::newRow("empty") << std::optional<QString>(QString()) << unchanged << unchanged << QString();
    QTest::newRow("new alias") << std::optional<QString>(QStringLiteral("Main site"))
                               << QStringList{"Main site", "token_2"} << QStringList{"token_2", "Main site"}
                               << QString();
    // The token stays under its alias and moves to the end of the section.
    QTest::newRow("same alias") << std::optional<QString>(QStringLiteral("token_1")) << unchanged
                                << QStringList{"token_2", "token_1"} << QString();
    QTest::newRow("alias of another entry") << std::optional<QString>(QStringLiteral("TOKEN_2")) << unchanged
                                            << unchanged << QStringLiteral("already used");
    QTest::newRow("not a key") << std::optional<QString>(QStringLiteral("[main]")) << unchanged << unchanged
                               << QStringLiteral("cannot begin with");
    QTest::newRow("blank around") << std::optional<QString>(QStringLiteral(" main")) << unchanged << unchanged
                                  << QStringLiteral("blank");
}

void TestSignIn::rename()
{
    QFETCH(std::optional<QString>, answer);
    QFETCH(QStringList, listAfter);
    QFETCH(QStringList, fileAfter);
    QFETCH(QString, refusal);

    Fixture f;
    f.settings().writeString(YandexWebmasterSection, QStringLiteral("token_1"), QStringLiteral("first"));
    f.settings().writeString(YandexWebmasterSection, QStringLiteral("token_2"), QStringLiteral("second"));
    f.open();
    auto *list = f.find<QListWidget>("ListBox1");

    InputDialogAnswer dialog;
    dialog.arm(answer);
    f.press("Button4");
    QVERIFY(dialog.appeared);
    QCOMPARE(dialog.title, QStringLiteral("Token alias"));
    QCOMPARE(dialog.label, QStringLiteral("Enter name of the Token"));
    QCOMPARE(dialog.initialText, QStringLiteral("token_1"));

    QCOMPARE(itemTexts(list), listAfter);
    QCOMPARE(f.aliases(YandexWebmasterSection), fileAfter);
    // The first account keeps its token and its place and selection in the list.
    QCOMPARE(f.settings().readString(YandexWebmasterSection, listAfter[0]), QStringLiteral("first"));
    QCOMPARE(f.settings().readString(YandexWebmasterSection, QStringLiteral("token_2")), QStringLiteral("second"));
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->row(list->selectedItems()[0]), 0);
    if (refusal.isEmpty()) {
        QVERIFY(f.prompt.shown.isEmpty());
    } else {
        QCOMPARE(f.prompt.shown.size(), 1);
        QVERIFY2(f.prompt.shown[0].text.contains(refusal), qPrintable(f.prompt.shown[0].text));
    }
}

void TestSignIn::nothingSelectedDoesNothing()
{
    Fixture f;
    f.settings().writeString(YandexWebmasterSection, QStringLiteral("token_1"), QStringLiteral("first"));
    f.open();
    auto *list = f.find<QListWidget>("ListBox1");
    list->clearSelection();

    InputDialogAnswer dialog;
    dialog.arm(QStringLiteral("other"));
    f.press("Button4");
    f.press("Button5");
    QTest::qWait(20);
    dialog.disarm();
    QVERIFY(!dialog.appeared);
    QCOMPARE(itemTexts(list), QStringList{"token_1"});
    QCOMPARE(f.aliases(YandexWebmasterSection), QStringList{"token_1"});
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestSignIn::deleteAsksThenRemovesEntryAndSelection_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("listName");
    QTest::addColumn<QString>("deleteName");
    QTest::addColumn<QString>("serviceName");
    QTest::newRow("Yandex Webmaster") << YandexWebmasterSection << "ListBox1"
                                      << "Button5"
                                      << "Yandex Webmaster";
    QTest::newRow("Google Analytics") << "GoogleAnalytics_Token"
                                      << "ListBox4"
                                      << "Button17"
                                      << "Google Analytics";
}

void TestSignIn::deleteAsksThenRemovesEntryAndSelection()
{
    QFETCH(QString, section);
    QFETCH(QString, listName);
    QFETCH(QString, deleteName);
    QFETCH(QString, serviceName);
    Fixture f;
    f.settings().writeString(section, QStringLiteral("token_1"), QStringLiteral("first"));
    f.settings().writeString(section, QStringLiteral("token_2"), QStringLiteral("second"));
    f.open();
    auto *list = f.find<QListWidget>(listName.toLatin1().constData());
    list->setCurrentRow(0);

    // No: the question names the account and its service, and nothing goes.
    f.prompt.answer = false;
    f.press(deleteName.toLatin1().constData());
    QCOMPARE(f.prompt.asked.size(), 1);
    const QString question = f.prompt.asked[0].text;
    QVERIFY2(question.contains(QStringLiteral("'token_1'")) && question.contains(serviceName), qPrintable(question));
    QCOMPARE(itemTexts(list), QStringList({"token_1", "token_2"}));
    QCOMPARE(f.aliases(section), QStringList({"token_1", "token_2"}));
    QCOMPARE(list->currentRow(), 0);

    // Yes: the entry leaves the file and the list.
    f.prompt.answer = true;
    f.press(deleteName.toLatin1().constData());
    QCOMPARE(f.prompt.asked.size(), 2);
    QCOMPARE(itemTexts(list), QStringList{"token_2"});
    QVERIFY(list->selectedItems().isEmpty());
    QCOMPARE(f.aliases(section), QStringList{"token_2"});
    QCOMPARE(f.settings().readString(section, QStringLiteral("token_2")), QStringLiteral("second"));
    QVERIFY(f.prompt.shown.isEmpty());

    // The next sign-in does not reuse the alias that is still taken.
    QCOMPARE(TokenStore::nextAlias(f.aliases(section)), QStringLiteral("token_3"));
}

void TestSignIn::doubleClickConnectsEvenWhenButtonIsDisabled()
{
    Fixture f;
    f.settings().writeString(QStringLiteral("GoogleSC_Token"), QStringLiteral("token_1"), QStringLiteral("ya29.a"));
    f.open();
    f.find<QTabWidget>("pcPages")->setCurrentIndex(1);
    f.find<QTabWidget>("pcAnalyticSystems")->setCurrentIndex(2);
    auto *list = f.find<QListWidget>("ListBox3");
    auto *connectButton = f.find<QPushButton>("Button14");

    QStringList connected; // the token each run saw
    AccountsController *accounts = f.app->accounts();
    accounts->setConnectOperation(ServiceId::SearchConsole, [&] {
        connected << accounts->selectedToken(ServiceId::SearchConsole);
        if (connected.size() == 3)
            throw VeltranoError(QStringLiteral("Value 'siteEntry' not found"));
    });

    connectButton->click();
    QCOMPARE(connected, QStringList{"ya29.a"});

    // As after a successful connection: only the double-click is left.
    connectButton->setEnabled(false);
    const QRect itemRect = list->visualItemRect(list->item(0));
    doubleClick(list->viewport(), itemRect.center());
    QCOMPARE(connected.size(), 2);

    // An error of the operation reaches the error box.
    doubleClick(list->viewport(), itemRect.center());
    QCOMPARE(connected.size(), 3);
    QCOMPARE(f.prompt.texts, QStringList{"Value 'siteEntry' not found"});

    // A double-click beside the entries, nothing selected: nothing runs.
    list->clearSelection();
    doubleClick(list->viewport(), QPoint(10, list->viewport()->height() - 5));
    QCOMPARE(connected.size(), 3);
}

void TestSignIn::ahrefsTokenSurvivesRestart()
{
    Fixture f;
    f.open();
    auto *edit = f.find<QLineEdit>("Edit1");
    QTest::keyClicks(edit, QStringLiteral("ah-12"));
    QCOMPARE(f.settings().readString(QStringLiteral("Ahrefs_Token"), QStringLiteral("Token")), QStringLiteral("ah-12"));

    f.restart();
    QCOMPARE(f.find<QLineEdit>("Edit1")->text(), QStringLiteral("ah-12"));

    // Cleared, it is stored as an empty value, not dropped.
    f.find<QLineEdit>("Edit1")->clear();
    QVERIFY(f.settings().hasKey(QStringLiteral("Ahrefs_Token"), QStringLiteral("Token")));
    QCOMPARE(f.settings().readString(QStringLiteral("Ahrefs_Token"), QStringLiteral("Token"), QStringLiteral("x")),
             QString());
    f.restart();
    QCOMPARE(f.find<QLineEdit>("Edit1")->text(), QString());
    QVERIFY(f.prompt.shown.isEmpty());
}

void TestSignIn::refusedWritesAreReported()
{
    Fixture f;
    // A folder where the settings file should be: every write is refused.
    const QString path = SettingsFile::pathIn(f.folder());
    QVERIFY(QDir().mkpath(path));
    f.open();
    const QString refused = QStringLiteral("Unable to write to ") + path;

    QTest::keyClicks(f.find<QLineEdit>("Edit1"), QStringLiteral("a"));
    QCOMPARE(f.prompt.texts, QStringList{refused});

    f.press("Button3");
    const BrowserVisit visit = agreeInBrowser(f.browser.opened.value(0));
    QCOMPARE(visit.callback.status, 500);
    QVERIFY2(visit.callback.body.find(refused.toStdString()) != std::string::npos, visit.callback.body.c_str());
    QCOMPARE(f.find<QListWidget>("ListBox1")->count(), 0);
    QVERIFY(!f.find<QPushButton>("Button4")->isEnabled());
    QCOMPARE(f.log(), QStringList{"Code check..."});
    QVERIFY(f.app->waitDialog()->isVisible());
}

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
