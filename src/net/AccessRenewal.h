#pragma once

#include "net/HttpClient.h"

#include <QString>

namespace veltrano {

// Keeps the OAuth access token of a service request alive. The exchange
// asks it before every request, and once more when the service answered 401
// Unauthorized; what it knows of accounts and their refresh tokens is its
// own (the settings file). Calls come on the thread that sends.
class AccessRenewal {
public:
    virtual ~AccessRenewal() = default;

    // The request may get a newer access token in its Authorization line:
    // one renewed earlier, or one renewed now because the token expires
    // within a minute.
    // `transport` is how the exchange itself sends (window kept painting,
    // "Cancel" followed); a renewal's own exchange goes the same way.
    virtual void beforeSend(HttpRequest &request, const HttpClient::Options &transport) = 0;
    // The service refused the request's token: renews it and puts the new
    // one in. True when the request should be sent once more. Raises
    // VeltranoError when the authorization server refuses the renewal for
    // good (the user has to sign in again).
    virtual bool renewAfterRefusal(HttpRequest &request, const HttpClient::Options &transport) = 0;

    // The access token of an "Authorization: OAuth <token>" or "Bearer"
    // line, and the index of that line; -1 without one.
    static qsizetype authorizationLine(const HttpRequest &request, QString *token = nullptr);
    // Puts token in place of the one the request carries.
    static void replaceToken(HttpRequest &request, const QString &token);
};

} // namespace veltrano
