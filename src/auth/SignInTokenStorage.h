#pragma once

#include "app/ServiceDescriptor.h"
#include "auth/OAuthAuthenticator.h"
#include "auth/SettingsFile.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace veltrano {

class ActivityLog;
class RequestTrace;

// Keeps the token a sign-in brought where its service's descriptor says:
// under a new alias of the service's token list, or as the service's single
// token. The code and the tokens are credentials: the log and the trace see
// only their first characters.
class SignInTokenStorage final {
public:
    SignInTokenStorage(SettingsFile settings, ActivityLog &log, RequestTrace &trace);

    // Runs on the GUI thread and returns the new alias (empty for a single
    // token). A single token's notice goes to `singleTokenSaved` as soon as
    // the token is in the file, before the log lines. Raises VeltranoError
    // when the file refuses.
    QString store(SignInTarget target, const QString &code, const OAuthAuthenticator::Tokens &tokens,
                  const std::function<void(const QString &notice)> &singleTokenSaved);

    // "<short date> <long time>" of the user's locale, the time left out at
    // exactly midnight; an unset expiry is written as 30 December 1899.
    static QString expiryText(const QDateTime &expiry);

private:
    SettingsFile m_settings;
    ActivityLog &m_log;
    RequestTrace &m_trace;
};

} // namespace veltrano
