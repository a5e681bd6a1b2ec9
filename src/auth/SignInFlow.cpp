#include "auth/SignInFlow.h"

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "auth/TokenStore.h"
#include "net/HttpClient.h"
#include "net/ParseString.h"
#include "net/RequestTrace.h"
#include "net/SecretText.h"

#include <QLocale>

namespace veltrano {

namespace {

// "YandexWM" in "YandexWM Code TRUE: "; the Indexing API sign-in is a
// Search Console one.
QString logNameOf(SignInTarget target)
{
    const ServiceInfo *service =
        ServiceTable::ofSignIn(target == SignInTarget::IndexingApi ? SignInTarget::SearchConsole : target);
    return service ? QString(service->signInLogName) : QString();
}

QString fromBytes(const std::string &s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString htmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

SignInFlow::SignInFlow(const Endpoints &endpoints, SettingsFile settings, ActivityLog &log, RequestTrace &trace,
                       BrowserOpener &browser, SignInView &view, QObject *guiContext)
    : m_endpoints(endpoints), m_settings(std::move(settings)), m_log(log), m_trace(trace), m_browser(browser),
      m_view(view), m_steps(guiContext), m_redirectUri(endpoints.redirectUri())
{
    auto config = [&](const QString &host, const char *authorize, const char *token, const QString &scope,
                      const QString &id, const QString &secret) {
        OAuthAuthenticator::Config c;
        c.authorizationEndpoint = host + QLatin1String(authorize);
        c.tokenEndpoint = host + QLatin1String(token);
        c.redirectUri = m_redirectUri;
        c.scope = scope;
        c.clientId = id;
        c.clientSecret = secret;
        return c;
    };
    const QString &google = endpoints.googleAccounts;
    const QString scopes = endpoints.googleScopeBase;
    m_authenticators[0].setConfig(config(endpoints.yandexOAuth, "/authorize", "/token", {}, endpoints.ywmClientId,
                                         endpoints.ywmClientSecret));
    m_authenticators[1].setConfig(config(endpoints.yandexOAuth, "/authorize", "/token", {}, endpoints.ymClientId,
                                         endpoints.ymClientSecret));
    m_authenticators[2].setConfig(config(google, "/o/oauth2/auth/oauthchooseaccount", "/o/oauth2/token",
                                         scopes + QLatin1String("/auth/webmasters.readonly"),
                                         endpoints.googleClientId, endpoints.googleClientSecret));
    m_authenticators[3].setConfig(config(google, "/o/oauth2/auth/oauthchooseaccount", "/o/oauth2/token",
                                         scopes + QLatin1String("/auth/analytics.readonly"),
                                         endpoints.googleClientId, endpoints.googleClientSecret));
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

OAuthAuthenticator &SignInFlow::authenticatorFor(SignInTarget target)
{
    switch (target) {
    case SignInTarget::YandexMetrika: return m_authenticators[1];
    case SignInTarget::SearchConsole:
    case SignInTarget::IndexingApi: return m_authenticators[2];
    case SignInTarget::Analytics: return m_authenticators[3];
    default: return m_authenticators[0];
    }
}

OAuthAuthenticator &SignInFlow::authenticator(SignInTarget target)
{
    return authenticatorFor(target);
}

SignInFlow::SignInStart SignInFlow::startSignIn(SignInTarget target)
{
    OAuthAuthenticator &auth = authenticatorFor(target);
    // The Search Console and Indexing API sign-ins share one client: set the
    // scope before each of them.
    if (target == SignInTarget::SearchConsole)
        auth.setScope(m_endpoints.googleScopeBase + QLatin1String("/auth/webmasters.readonly"));
    else if (target == SignInTarget::IndexingApi)
        auth.setScope(m_endpoints.googleScopeBase + QLatin1String("/auth/indexing"));
    PendingSignIn pending;
    pending.target = target;
    pending.proof = SignInProof::generate();
    const QString uri = auth.authorizationRequestUri(pending.proof);
    {
        // Pending before the browser opens: a quick browser may be back at
        // once.
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        pending.id = ++m_lastId;
        m_pending = pending;
    }
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
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    m_pending.reset();
    m_cancelledThrough = m_lastId;
}

bool SignInFlow::isSignInPending() const
{
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    return m_pending.has_value();
}

SignInTarget SignInFlow::pendingTarget() const
{
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    return m_pending ? m_pending->target : SignInTarget::None;
}

std::optional<SignInFlow::PendingSignIn> SignInFlow::takePending(const QStringList &states, Refusal &why)
{
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    if (!m_pending) {
        why = Refusal::NotPending;
        return std::nullopt;
    }
    // Exactly the state this sign-in sent, once: a second or differing
    // "state" is as good as a wrong one.
    if (states.size() != 1 || states.first() != m_pending->proof.state) {
        why = Refusal::WrongState;
        return std::nullopt;
    }
    // Taken, so that the same return opened twice, or at once in two tabs,
    // is exchanged only once.
    std::optional<PendingSignIn> taken = std::move(m_pending);
    m_pending.reset();
    return taken;
}

bool SignInFlow::wasCancelled(std::uint64_t id) const
{
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    return id <= m_cancelledThrough;
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

std::string SignInFlow::resultPage(bool success, const QString &message)
{
    const QString title = success ? QStringLiteral("Account connected") : QStringLiteral("Sign-in not completed");
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Veltrano: %1</title>"
                          "<style>body{font-family:sans-serif;margin:3em;color:#333}"
                          "h1{color:%2;font-size:1.4em}</style></head>"
                          "<body><h1>%1</h1><p>%3</p></body></html>")
        .arg(htmlEscaped(title), success ? QStringLiteral("#53A40C") : QStringLiteral("#C51E04"),
             htmlEscaped(message))
        .toStdString();
}

QString SignInFlow::expiryText(const QDateTime &expiry)
{
    const QLocale locale;
    const QDateTime value = expiry.isValid() ? expiry : QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    QString text = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(value.time(), QLocale::LongFormat);
    return text;
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
        throw VeltranoError(QStringLiteral("The sign-in service answered %1 %2.")
                                .arg(response.status)
                                .arg(response.reason));
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
    const std::optional<PendingSignIn> accepted = takePending(reading.states, why);
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
    OAuthAuthenticator &auth = authenticatorFor(target);
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
                cancelled = wasCancelled(accepted->id);
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
    QString alias;
    if (target == SignInTarget::IndexingApi) {
        m_settings.writeString(settings::IndexingApiTokenSection, settings::IndexingApiTokenKey,
                               tokens.accessToken);
        m_view.indexingApiTokenSaved();
    } else {
        alias = TokenStore(m_settings, ServiceTable::ofSignIn(target)->tokenSection).addToken(tokens.accessToken);
    }
    // The code and the tokens are credentials: the log and the trace show
    // only their first characters.
    const QString expiry = expiryText(tokens.accessTokenExpiry);
    m_trace.add(QStringLiteral("Code TRUE: ") + secretPreview(code));
    m_trace.add(QStringLiteral("- AccessToken: ") + secretPreview(tokens.accessToken));
    m_trace.add(QStringLiteral("- RefreshToken: ") + secretPreview(tokens.refreshToken));
    m_trace.add(QStringLiteral("- AccessTokenExpiry: ") + expiry);
    m_trace.add(QString());
    m_log.addToLog(logNameOf(target) + QStringLiteral(" Code TRUE: ") + secretPreview(code));
    m_log.addToLog(logNameOf(target) + QStringLiteral(" Access Token Expiry: ") + expiry);
    if (!alias.isEmpty())
        m_view.tokenAdded(target, alias);
    m_view.signInCompleted();
}

} // namespace veltrano
