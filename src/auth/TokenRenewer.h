#pragma once

#include "auth/OAuthApplicationSettings.h"
#include "net/HttpClient.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace veltrano {

// One refresh-token grant (RFC 6749, section 6) at an authorization
// server's token endpoint: POST grant_type=refresh_token with the refresh
// token and the application's client id and secret. Google and Yandex take
// the same form; they differ in their answers, which this reads alike: the
// new access token and its lifetime, and a new refresh token only when the
// answer carries one (Yandex does, Google does not).
class TokenRenewer final {
public:
    struct Answer {
        enum class Outcome {
            Renewed, // a new access token came
            Refused, // the server refused the grant or the client for good: sign in again
            Failed,  // no usable answer (no connection, a server error, no access_token)
        };
        Outcome outcome = Outcome::Failed;
        QString accessToken;
        std::optional<QString> refreshToken; // only when the answer carried a non-empty one
        QDateTime expiry;                    // invalid: no usable expires_in
        int status = 500;
        QString error;            // the server's "error"
        QString errorDescription; // and its "error_description"
    };

    explicit TokenRenewer(HttpClient::Options options = {});

    // Raises RequestAborted when the options' cancel flag ended the exchange.
    Answer renew(const QString &tokenEndpoint, const OAuthCredentials &credentials, const QString &refreshToken);

    // The form body, byte for byte as sent.
    static QByteArray requestBody(const OAuthCredentials &credentials, const QString &refreshToken);
    // What an answer of the token endpoint says; expires_in counts from now.
    // A lifetime that is no whole number from 0 to 2^31-1 gives no expiry.
    static Answer readAnswer(int status, const QByteArray &body, const QDateTime &now);

private:
    HttpClient::Options m_options;
};

} // namespace veltrano
