#pragma once

#include "auth/SignInProof.h"

#include <QDateTime>
#include <QString>
#include <mutex>

namespace veltrano {

// One OAuth 2.0 authorization-code client configuration (an authorization
// server, a client id and secret, a scope) and the tokens its last exchange
// brought. The window thread configures it and starts sign-ins; the listener
// thread exchanges the code; the fields are guarded so both may touch it.
class OAuthAuthenticator final {
public:
    struct Config {
        QString authorizationEndpoint;
        QString tokenEndpoint;
        QString redirectUri;
        QString responseType = QStringLiteral("code");
        QString scope;
        QString clientId;
        QString clientSecret;
        // "access_type=offline&prompt=consent" after the scope: Google then
        // sends a refresh token with every sign-in, not only the first.
        bool offlineAccess = false;
    };
    struct Tokens {
        QString accessToken;
        QString refreshToken;
        QDateTime accessTokenExpiry; // invalid: never set
    };

    OAuthAuthenticator() = default;
    explicit OAuthAuthenticator(Config config);

    Config config() const;
    void setConfig(const Config &config);

    // The address the browser opens: the authorization endpoint with
    // response_type, client_id, redirect_uri and scope (each only when not
    // empty), every value percent-encoded, then access_type and prompt when
    // the configuration asks for offline access. With a proof, "state",
    // "code_challenge" and "code_challenge_method=S256" follow them.
    QString authorizationRequestUri(const SignInProof &proof = {}) const;

    // Keeps A-Z, a-z, 0-9, "-", ".", "_", "~"; every other byte of the UTF-8
    // text becomes "%" and two upper-case hexadecimal digits.
    static QString encode(const QString &text);

    QString authorizationCode() const;
    void setAuthorizationCode(const QString &code);
    Tokens tokens() const;

    // Form body of the code exchange: code, client_id, client_secret,
    // redirect_uri, grant_type=authorization_code, in this order, and then
    // code_verifier when one is given.
    QByteArray exchangeRequestBody(const QString &codeVerifier = {}) const;

    // What the token endpoint's answer did to this authenticator.
    struct ExchangeResult {
        bool gotAccessToken = false; // the answer carried a non-empty access_token
        QString error;               // the service's "error", when it gave one
        QString errorDescription;    // and its "error_description"
        Tokens tokens;               // the authenticator's tokens right after this answer
    };
    // Takes access_token, refresh_token and expires_in from a JSON answer,
    // each only when present. expires_in of a whole number >= 0 sets the
    // expiry to now + that many seconds; any other value clears it. A new
    // access token clears the authorization code.
    ExchangeResult applyTokenAnswer(const QByteArray &json, const QDateTime &now);

private:
    mutable std::mutex m_mutex;
    Config m_config;
    QString m_code;
    Tokens m_tokens;
};

} // namespace veltrano
