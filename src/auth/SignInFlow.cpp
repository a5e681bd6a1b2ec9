#include "auth/SignInFlow.h"

#include "app/ActivityLog.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "auth/TokenStore.h"
#include "net/HttpClient.h"
#include "net/ParseString.h"
#include "net/RequestTrace.h"

#include <QLocale>

namespace veltrano {

namespace {

// Whether the program can be waiting for this sign-in: one that fills a
// token list, or the Indexing API's.
bool isSignInTarget(SignInTarget target)
{
    return target == SignInTarget::IndexingApi || ServiceTable::ofSignIn(target);
}

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

bool SignInFlow::startListener(QString *error)
{
    if (!m_server) {
        m_server = std::make_unique<LoopbackHttpServer>(
            [this](const LoopbackHttpServer::Request &request) { return handleRequest(request); });
    }
    std::string text;
    if (m_server->start(quint16(m_endpoints.loopbackPort), &text))
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

void SignInFlow::startSignIn(SignInTarget target)
{
    OAuthAuthenticator &auth = authenticatorFor(target);
    // The Search Console and Indexing API sign-ins share one client: set the
    // scope before each of them.
    if (target == SignInTarget::SearchConsole)
        auth.setScope(m_endpoints.googleScopeBase + QLatin1String("/auth/webmasters.readonly"));
    else if (target == SignInTarget::IndexingApi)
        auth.setScope(m_endpoints.googleScopeBase + QLatin1String("/auth/indexing"));
    const QString uri = auth.authorizationRequestUri();
    m_trace.clear();
    m_trace.add(QStringLiteral("URL авторизации:"));
    m_trace.add(QStringLiteral("- ") + uri);
    m_browser.open(uri);
    m_target = int(target);
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

OAuthAuthenticator::ExchangeResult SignInFlow::exchangeCode(OAuthAuthenticator &auth,
                                                            const std::atomic<bool> *stopping)
{
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
    request.body = auth.exchangeRequestBody();
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

    // The full URL is rebuilt from the decoded parameters, each followed by "&".
    QString fullUrl = QStringLiteral("http://") + host + path + QLatin1Char('?');
    QString serviceError;
    QString serviceErrorDescription;
    for (const auto &[name, value] : request.params) {
        fullUrl += fromBytes(name) + QLatin1Char('=') + fromBytes(value) + QLatin1Char('&');
        if (name == "error")
            serviceError = fromBytes(value);
        else if (name == "error_description")
            serviceErrorDescription = fromBytes(value);
    }
    const QString code = parseString(fullUrl, m_redirectUri + QStringLiteral("?code="), QStringLiteral("&"));

    if (!gui(
            [&] {
                m_trace.add(QStringLiteral("Full URL: ") + fullUrl);
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
        if (!serviceError.isEmpty()) {
            message = QStringLiteral("The service did not grant access: ") + serviceError;
            if (!serviceErrorDescription.isEmpty())
                message += QStringLiteral(" (") + serviceErrorDescription + QLatin1Char(')');
            message += QLatin1Char('.');
        }
        return {200, resultPage(false, message)};
    }

    const auto target = SignInTarget(m_target.load());
    if (!isSignInTarget(target))
        return {200, resultPage(false, QStringLiteral("Veltrano is not waiting for a sign-in."))};

    OAuthAuthenticator &auth = authenticatorFor(target);
    auth.setAuthorizationCode(code);
    const OAuthAuthenticator::ExchangeResult result = exchangeCode(auth, request.stopping);

    if (!result.gotAccessToken) {
        // Nothing is stored: no empty or earlier token under a new alias.
        QString why = result.error.isEmpty() ? QStringLiteral("the answer held no access token") : result.error;
        if (!result.errorDescription.isEmpty())
            why += QStringLiteral(" (") + result.errorDescription + QLatin1Char(')');
        const QString line = QStringLiteral("Sign-in failed: ") + why;
        if (!gui(
                [&] {
                    m_trace.add(line);
                    m_log.addToLog(line);
                },
                request))
            return closing;
        return {200, resultPage(false, QStringLiteral("The sign-in service refused the code: ") + why +
                                           QStringLiteral(". Please try again from Veltrano."))};
    }

    if (!gui([&] { storeToken(target, code); }, request))
        return closing;
    return {200, resultPage(true, QStringLiteral("Your account is connected to Veltrano. You can close this tab."))};
}

void SignInFlow::storeToken(SignInTarget target, const QString &code)
{
    const OAuthAuthenticator::Tokens tokens = authenticatorFor(target).tokens();
    QString alias;
    if (target == SignInTarget::IndexingApi) {
        m_settings.writeString(settings::IndexingApiTokenSection, settings::IndexingApiTokenKey,
                               tokens.accessToken);
        m_view.indexingApiTokenSaved();
    } else {
        alias = TokenStore(m_settings, ServiceTable::ofSignIn(target)->tokenSection).addToken(tokens.accessToken);
    }
    const QString expiry = expiryText(tokens.accessTokenExpiry);
    m_trace.add(QStringLiteral("Code TRUE: ") + code);
    m_trace.add(QStringLiteral("- AccessToken: ") + tokens.accessToken);
    m_trace.add(QStringLiteral("- RefreshToken: ") + tokens.refreshToken);
    m_trace.add(QStringLiteral("- AccessTokenExpiry: ") + expiry);
    m_trace.add(QString());
    m_log.addToLog(logNameOf(target) + QStringLiteral(" Code TRUE: ") + code);
    m_log.addToLog(logNameOf(target) + QStringLiteral(" Access Token Expiry: ") + expiry);
    if (!alias.isEmpty())
        m_view.tokenAdded(target, alias);
    m_view.signInCompleted();
}

} // namespace veltrano
