#pragma once

#include "app/Endpoints.h"
#include "app/GuiThreadSteps.h"
#include "app/ServiceTable.h"
#include "auth/LoopbackHttpServer.h"
#include "auth/OAuthAuthenticator.h"
#include "auth/SettingsFile.h"

#include <QObject>
#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>

namespace veltrano {

class ActivityLog;
class BusyState;
class BrowserOpener;
class RequestTrace;

// What the sign-in needs from the windows. Every call comes on the GUI thread.
class SignInView {
public:
    virtual ~SignInView() = default;
    // A token was stored under a new alias: append it to the service's token
    // list and enable the list's "Rename".
    virtual void tokenAdded(SignInTarget target, const QString &alias) = 0;
    // The Indexing API token was stored: tell the user and wait until the
    // message is dismissed.
    virtual void indexingApiTokenSaved() = 0;
    // Close the wait dialog when it is shown and bring the main window up.
    virtual void signInCompleted() = 0;
};

// OAuth sign-in in the user's browser, from the "Add" of a token list to the
// token stored in the settings file: the four client configurations, the
// pending target, and the loopback listener the browser comes back to.
//
// The listener serves each browser request on a thread of its own; the code
// exchange runs there, while every step that touches the log, the trace, the
// settings file or a window runs on the GUI thread (guiContext's thread) and
// the connection thread waits for it.
class SignInFlow final {
public:
    SignInFlow(const Endpoints &endpoints, SettingsFile settings, ActivityLog &log, RequestTrace &trace,
               BrowserOpener &browser, SignInView &view, QObject *guiContext);
    ~SignInFlow();

    // Starts the listener on the configured loopback port (0: any free port,
    // for tests). Returns false with the error text when the port is taken.
    bool startListener(QString *error);
    void stopListener();
    bool isListening() const;
    quint16 listenerPort() const;

    // "Add": sets the scope for Search Console and Indexing API sign-ins,
    // writes the address to the trace, opens it in the browser and marks the
    // target as pending. The caller then shows the wait dialog.
    void startSignIn(SignInTarget target);

    SignInTarget pendingTarget() const { return SignInTarget(m_target.load()); }
    OAuthAuthenticator &authenticator(SignInTarget target);
    QString redirectUri() const { return m_redirectUri; }

    // Whether a GUI step of a browser request is running right now (the
    // Indexing API message waits in one): the window must not stop the
    // listener from inside it.
    bool inGuiStep() const { return m_inGuiStep.load(); }

    // A browser request that comes back while a request or a check runs is
    // handled once the program is idle again, never inside the request.
    void setBusyState(BusyState *busy) { m_steps.setBusyState(busy); }

    // Tests shorten the wait for the token endpoint.
    void setExchangeTimeout(std::chrono::milliseconds timeout) { m_exchangeTimeout = timeout; }

    // The browser's request, as the listener hands it over (public for tests).
    LoopbackHttpServer::Reply handleRequest(const LoopbackHttpServer::Request &request);

    // "<short date> <long time>" of the user's locale, the time left out at
    // exactly midnight; an unset expiry is written as 30 December 1899.
    static QString expiryText(const QDateTime &expiry);
    // The page the browser shows after coming back.
    static std::string resultPage(bool success, const QString &message);

private:
    enum class Authenticator { Yandex1, Yandex2, Google3, Google4 };
    OAuthAuthenticator &authenticatorFor(SignInTarget target);
    bool gui(const std::function<void()> &step, const LoopbackHttpServer::Request &request);
    // Exchanges the code on the calling thread; throws VeltranoError when the
    // token endpoint cannot be reached or answers with a server error. A
    // raised stopping flag (the listener stops) ends the exchange early.
    OAuthAuthenticator::ExchangeResult exchangeCode(OAuthAuthenticator &authenticator,
                                                    const std::atomic<bool> *stopping = nullptr);
    void storeToken(SignInTarget target, const QString &code);

    Endpoints m_endpoints;
    SettingsFile m_settings;
    ActivityLog &m_log;
    RequestTrace &m_trace;
    BrowserOpener &m_browser;
    SignInView &m_view;
    GuiThreadSteps m_steps;
    QString m_redirectUri;
    std::array<OAuthAuthenticator, 4> m_authenticators;
    std::atomic<int> m_target{0};
    std::atomic<bool> m_inGuiStep{false};
    std::chrono::milliseconds m_exchangeTimeout{90000};
    std::unique_ptr<LoopbackHttpServer> m_server;
};

} // namespace veltrano
