#pragma once

#include "app/Endpoints.h"
#include "app/GuiThreadSteps.h"
#include "auth/LoopbackHttpServer.h"
#include "auth/OAuthAuthenticator.h"
#include "auth/OAuthClients.h"
#include "auth/PendingSignIn.h"
#include "auth/SettingsFile.h"
#include "auth/SignInResultPage.h"
#include "auth/SignInTokenStorage.h"
#include "services/ServiceTable.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

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
    // A single token (the Indexing API's) was stored: tell the user once the
    // browser has its page. The call returns at once, so the listener sends
    // its answer without waiting for the user to dismiss the message.
    virtual void singleTokenSaved(const QString &notice) = 0;
    // Close the wait dialog when it is shown and bring the main window up.
    virtual void signInCompleted() = 0;
};

// OAuth sign-in in the user's browser, from the "Add" of a token list to the
// token stored in the settings file. It coordinates the pieces: the OAuth
// clients of the services' sign-ins (OAuthClients), the pending sign-in
// (PendingSignIn), the loopback listener the browser comes back to, the code
// exchange, the page the browser shows (SignInResultPage) and the token's
// storage (SignInTokenStorage).
//
// One sign-in is pending at a time: the last one started, until it comes
// back with its code, is cancelled, or a newer one replaces it. Each carries
// a random state and a PKCE code verifier (SignInProof). A browser return
// with a code is only exchanged when it carries the pending sign-in's state;
// any other (nothing pending, a cancelled or finished sign-in opened again,
// a forged or missing state) is refused with a short page and a log line,
// and nothing is exchanged or stored.
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
    // for tests). Returns false with the error text when it cannot listen;
    // *portTaken tells whether another program holds the port.
    bool startListener(QString *error, bool *portTaken = nullptr);
    void stopListener();
    bool isListening() const;
    quint16 listenerPort() const;

    struct SignInStart {
        QString address;            // the authorization address the browser was sent to
        bool browserOpened = false; // false: no browser could be started
    };
    // "Add": makes the sign-in pending with a fresh proof (replacing an
    // earlier pending one), writes the address to the trace and opens it in
    // the browser. The caller then shows the wait dialog with the address.
    // The client id and secret are read from the settings file each time
    // (OAuthApplicationSettings); a stored pair of the wrong form raises
    // VeltranoError and nothing is started.
    SignInStart startSignIn(SignInTarget target);

    // The user gave up waiting ("Cancel" in the wait dialog): the pending
    // sign-in, and one whose code is being exchanged right now, will store
    // nothing when the browser comes back.
    void cancelSignIn();

    bool isSignInPending() const;
    // The target of the pending sign-in; None when nothing is pending.
    SignInTarget pendingTarget() const;
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

    // What a browser's return says, read from the request alone.
    struct CallbackReading {
        // "http://" + Host + path + "?" and every decoded parameter as
        // "name=value&".
        QString fullUrl;
        // The same with the code cut short to its first characters, for
        // the trace.
        QString tracedUrl;
        // The decoded value of the "code" parameter; empty unless the
        // request is a return to the redirect address with the code as its
        // first parameter apart from the "state" ones (which Google sends
        // back before the code).
        QString code;
        QStringList states; // the values of every "state" parameter
        QString serviceError;
        QString serviceErrorDescription;
    };
    static CallbackReading readCallback(const HttpRequestHead &request, const QString &redirectUri);

    // "<short date> <long time>" of the user's locale, the time left out at
    // exactly midnight; an unset expiry is written as 30 December 1899.
    static QString expiryText(const QDateTime &expiry) { return SignInTokenStorage::expiryText(expiry); }
    // The page the browser shows after coming back.
    static std::string resultPage(bool success, const QString &message)
    {
        return SignInResultPage::html(success, message);
    }

private:
    using Refusal = PendingSignIn::Refusal;
    bool gui(const std::function<void()> &step, const LoopbackHttpServer::Request &request);
    // One line to the request trace and the activity log, on the GUI thread.
    bool traceAndLog(const QString &line, const LoopbackHttpServer::Request &request);
    // Exchanges the code on the calling thread; throws VeltranoError when the
    // token endpoint cannot be reached or answers with a server error. A
    // raised stopping flag (the listener stops) ends the exchange early.
    OAuthAuthenticator::ExchangeResult exchangeCode(OAuthAuthenticator &authenticator, const QString &code,
                                                    const QString &codeVerifier,
                                                    const std::atomic<bool> *stopping = nullptr);
    void storeToken(SignInTarget target, const QString &code, const OAuthAuthenticator::Tokens &tokens);

    Endpoints m_endpoints;
    ActivityLog &m_log;
    RequestTrace &m_trace;
    BrowserOpener &m_browser;
    SignInView &m_view;
    GuiThreadSteps m_steps;
    QString m_redirectUri;
    OAuthClients m_clients;
    SettingsFile m_settings;
    // The pending sign-in, shared with the listener's threads.
    PendingSignIn m_pending;
    SignInTokenStorage m_storage;
    // One code exchange at a time: an authenticator holds one code.
    std::mutex m_exchangeMutex;
    std::atomic<bool> m_inGuiStep{false};
    std::chrono::milliseconds m_exchangeTimeout{90000};
    std::unique_ptr<LoopbackHttpServer> m_server;
};

} // namespace veltrano
