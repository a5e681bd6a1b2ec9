#include "auth/SignInFlow.h"

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "auth/OAuthApplicationSettings.h"
#include "auth/TokenStore.h"
#include "net/HttpClient.h"
#include "net/RequestTrace.h"
#include "net/SecretText.h"

#include <QLocale>

namespace veltrano {

namespace {

QString fromBytes(const std::string &s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

SignInFlow::SignInFlow(const Endpoints &endpoints, SettingsFile settings, ActivityLog &log, RequestTrace &trace,
                       BrowserOpener &browser, SignInView &view, QObject *guiContext)
    : m_endpoints(endpoints), m_log(log), m_trace(trace), m_browser(browser), m_view(view), m_steps(guiContext),
      m_redirectUri(endpoints.redirectUri()), m_clients(endpoints), m_settings(settings),
      m_storage(std::move(settings), log, trace)
{
}

SignInFlow::~SignInFlow()
{
    stopListener();
}

bool SignInFlow::startListener(QString *error, bool *portTaken)
{
    if (!m_server) {
        m_server = std::make_unique<LoopbackHttpServer>(
            [this](const LoopbackHttpServer::Request &request) { return handleRequest(request); });
    }
    std::string text;
    if (m_server->start(quint16(m_endpoints.loopbackPort), &text, portTaken))
        return true;
    if (error)
        *error = QString::fromStdString(text);
    return false;
}

void SignInFlow::stopListener()
{
    if (m_server)
        m_server->stop();
}

bool SignInFlow::isListening() const
{
    return m_server && m_server->isRunning();
}

quint16 SignInFlow::listenerPort() const
{
    return m_server ? m_server->port() : 0;
}

OAuthAuthenticator &SignInFlow::authenticator(SignInTarget target)
{
    if (OAuthAuthenticator *client = m_clients.of(target))
        return *client;
    throw VeltranoError(QStringLiteral("No service signs in this way."));
}

SignInFlow::SignInStart SignInFlow::startSignIn(SignInTarget target)
{
    OAuthAuthenticator &auth = authenticator(target);
    // The user's own application, read anew for every sign-in; a stored one
    // of the wrong form stops here, before the browser shows a failing page.
    if (const SignInKind *kind = ServiceTable::signInKind(target)) {
        const OAuthCredentials credentials =
            OAuthApplicationSettings(m_settings).effective(*kind->application, m_endpoints);
        auth.setConfig(OAuthClients::configFor(*kind, m_endpoints, credentials));
    }
    // Pending before the browser opens: a quick browser may be back at once.
    const PendingSignIn::Entry pending = m_pending.start(target);
    const QString uri = auth.authorizationRequestUri(pending.proof);
    m_trace.clear();
    m_trace.add(QStringLiteral("URL авторизации:"));
    m_trace.add(QStringLiteral("- ") + uri);
    SignInStart start;
    start.address = uri;
    start.browserOpened = m_browser.openReporting(uri);
    return start;
}

void SignInFlow::cancelSignIn()
{
    m_pending.cancel();
}

bool SignInFlow::isSignInPending() const
{
    return m_pending.isPending();
}

SignInTarget SignInFlow::pendingTarget() const
{
    return m_pending.target();
}

bool SignInFlow::gui(const std::function<void()> &step, const LoopbackHttpServer::Request &request)
{
    return m_steps.run(
        [this, &step] {
            m_inGuiStep = true;
            struct Reset {
                std::atomic<bool> &flag;
                ~Reset() { flag = false; }
            } reset{m_inGuiStep};
            step();
        },
        request.stopping);
}

bool SignInFlow::traceAndLog(const QString &line, const LoopbackHttpServer::Request &request)
{
    return gui(
        [&] {
            m_trace.add(line);
            m_log.addToLog(line);
        },
        request);
}

OAuthAuthenticator::ExchangeResult SignInFlow::exchangeCode(OAuthAuthenticator &auth, const QString &code,
                                                            const QString &codeVerifier,
                                                            const std::atomic<bool> *stopping)
{
    std::lock_guard<std::mutex> lock(m_exchangeMutex);
    auth.setAuthorizationCode(code);
    if (auth.authorizationCode().isEmpty()) {
        throw VeltranoError(
            QStringLiteral("An authorization code is needed before it can be changed into an access token."));
    }
    HttpClient::Options options;
    options.readTimeout = m_exchangeTimeout;
    options.extraCaFile = m_endpoints.extraCaFile;
    options.cancel = stopping;
    HttpClient client(options);
    HttpRequest request;
    request.verb = "POST";
    request.url = auth.config().tokenEndpoint;
    request.headerLines << QStringLiteral("Content-Type: application/x-www-form-urlencoded");
    request.body = auth.exchangeRequestBody(codeVerifier);
    const HttpResponse response = client.send(request);
    if (response.status == 500 && response.reason.isEmpty() && response.body.isEmpty())
        throw VeltranoError(QStringLiteral("The sign-in service could not be reached (%1).").arg(request.url));
    if (response.status >= 500) {
        throw VeltranoError(
            QStringLiteral("The sign-in service answered %1 %2.").arg(response.status).arg(response.reason));
    }
    return auth.applyTokenAnswer(response.body, QDateTime::currentDateTime());
}

SignInFlow::CallbackReading SignInFlow::readCallback(const HttpRequestHead &request, const QString &redirectUri)
{
    CallbackReading reading;
    const QString prefix =
        QStringLiteral("http://") + fromBytes(request.host) + fromBytes(request.path) + QLatin1Char('?');
    reading.fullUrl = prefix;
    reading.tracedUrl = prefix;
    // The code counts only on a return to the redirect address, and only as
    // the first parameter apart from the state ones (Google sends the state
    // back first): a "code" further on, or one written inside another
    // parameter's value ("x=http://.../Callback?code=..."), is no code the
    // service sent. Its value is taken whole as decoded, so an encoded "&"
    // in it stays part of the code.
    bool codeMayFollow = prefix == redirectUri + QLatin1Char('?');
    for (const auto &[rawName, rawValue] : request.params) {
        const QString name = fromBytes(rawName);
        const QString value = fromBytes(rawValue);
        reading.fullUrl += name + QLatin1Char('=') + value + QLatin1Char('&');
        reading.tracedUrl +=
            name + QLatin1Char('=') + (name == QLatin1String("code") ? secretPreview(value) : value) + QLatin1Char('&');
        if (name == QLatin1String("state")) {
            reading.states << value;
            continue;
        }
        if (codeMayFollow && name == QLatin1String("code"))
            reading.code = value;
        codeMayFollow = false;
        if (name == QLatin1String("error"))
            reading.serviceError = value;
        else if (name == QLatin1String("error_description"))
            reading.serviceErrorDescription = value;
    }
    return reading;
}

LoopbackHttpServer::Reply SignInFlow::handleRequest(const LoopbackHttpServer::Request &request)
{
    const QString method = fromBytes(request.method);
    const QString host = fromBytes(request.host);
    const QString path = fromBytes(request.path);
    const LoopbackHttpServer::Reply closing{503, resultPage(false, QStringLiteral("Veltrano is closing."))};

    if (!gui(
            [&] {
                m_trace.add(QString());
                m_trace.add(QStringLiteral("Reply:"));
                m_trace.add(QStringLiteral("Command: ") + method);
                m_trace.add(QStringLiteral("Host: ") + host);
                m_trace.add(QStringLiteral("URL: ") + path);
            },
            request))
        return closing;

    const CallbackReading reading = readCallback(request, m_redirectUri);
    const QString &code = reading.code;

    if (!gui(
            [&] {
                m_trace.add(QStringLiteral("Full URL: ") + reading.tracedUrl);
                m_trace.add(QString());
                m_trace.add(QStringLiteral("Code check..."));
                m_log.addToLog(QStringLiteral("Code check..."));
                m_trace.add(QString());
                if (code.isEmpty()) {
                    m_trace.add(QStringLiteral("Code empty"));
                    m_log.addToLog(QStringLiteral("Code empty"));
                }
            },
            request))
        return closing;

    if (code.isEmpty()) {
        QString message = QStringLiteral("No sign-in code came with this request.");
        if (!reading.serviceError.isEmpty()) {
            message = QStringLiteral("The service did not grant access: ") + reading.serviceError;
            if (!reading.serviceErrorDescription.isEmpty())
                message += QStringLiteral(" (") + reading.serviceErrorDescription + QLatin1Char(')');
            message += QLatin1Char('.');
        }
        return {200, resultPage(false, message)};
    }

    Refusal why = Refusal::NotPending;
    const std::optional<PendingSignIn::Entry> accepted = m_pending.take(reading.states, why);
    if (!accepted) {
        const QString line =
            why == Refusal::NotPending
                ? QStringLiteral("Sign-in refused: Veltrano is not waiting for a sign-in (it was cancelled, has "
                                 "finished or was never started)")
                : QStringLiteral("Sign-in refused: the answer's state does not match the sign-in Veltrano started");
        if (!traceAndLog(line, request))
            return closing;
        const QString page =
            why == Refusal::NotPending
                ? QStringLiteral("This sign-in is no longer pending in Veltrano: it was cancelled, has already "
                                 "finished, or was never started. Nothing was stored. To connect an account, click "
                                 "\"Add\" in Veltrano again.")
                : QStringLiteral("This answer does not belong to the sign-in Veltrano is waiting for, so it was "
                                 "refused and nothing was stored.");
        return {200, resultPage(false, page)};
    }

    const SignInTarget target = accepted->target;
    OAuthAuthenticator &auth = authenticator(target);
    const OAuthAuthenticator::ExchangeResult result =
        exchangeCode(auth, code, accepted->proof.codeVerifier, request.stopping);

    if (!result.gotAccessToken) {
        // Nothing is stored: no empty or earlier token under a new alias.
        QString why = result.error.isEmpty() ? QStringLiteral("the answer held no access token") : result.error;
        if (!result.errorDescription.isEmpty())
            why += QStringLiteral(" (") + result.errorDescription + QLatin1Char(')');
        const QString line = QStringLiteral("Sign-in failed: ") + why;
        if (!traceAndLog(line, request))
            return closing;
        return {200, resultPage(false, QStringLiteral("The sign-in service refused the code: ") + why +
                                           QStringLiteral(". Please try again from Veltrano."))};
    }

    bool cancelled = false;
    if (!gui(
            [&] {
                // "Cancel" while the code was being exchanged: the user no
                // longer wants this account.
                cancelled = m_pending.wasCancelled(accepted->id);
                if (cancelled) {
                    const QString line = QStringLiteral("Sign-in cancelled: the account was not added");
                    m_trace.add(line);
                    m_log.addToLog(line);
                    return;
                }
                storeToken(target, code, result.tokens);
            },
            request))
        return closing;
    if (cancelled) {
        return {200, resultPage(false, QStringLiteral("The sign-in was cancelled in Veltrano, so the account was "
                                                      "not added. Nothing was stored."))};
    }
    return {200, resultPage(true, QStringLiteral("Your account is connected to Veltrano. You can close this tab."))};
}

void SignInFlow::storeToken(SignInTarget target, const QString &code, const OAuthAuthenticator::Tokens &tokens)
{
    const QString alias =
        m_storage.store(target, code, tokens, [this](const QString &notice) { m_view.singleTokenSaved(notice); });
    if (!alias.isEmpty())
        m_view.tokenAdded(target, alias);
    m_view.signInCompleted();
}

} // namespace veltrano
