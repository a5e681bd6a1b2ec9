#include "auth/SignInTokenStorage.h"

#include "app/ActivityLog.h"
#include "auth/RefreshTokenStore.h"
#include "auth/TokenStore.h"
#include "net/RequestTrace.h"
#include "net/SecretText.h"
#include "services/ServiceTable.h"

#include <QLocale>

namespace veltrano {

SignInTokenStorage::SignInTokenStorage(SettingsFile settings, ActivityLog &log, RequestTrace &trace)
    : m_settings(std::move(settings)), m_log(log), m_trace(trace)
{
}

QString SignInTokenStorage::store(SignInTarget target, const QString &code, const OAuthAuthenticator::Tokens &tokens,
                                  const std::function<void(const QString &notice)> &singleTokenSaved)
{
    const ServiceDescriptor *service = ServiceTable::ofSignIn(target);
    const SignInKind *kind = ServiceTable::signInKind(target);
    if (!service || !kind)
        return {};

    QString alias;
    if (kind->keepsSingleToken()) {
        RefreshTokenStore(m_settings, kind->section)
            .store(kind->singleTokenKey, tokens.accessToken, tokens.refreshToken, tokens.accessTokenExpiry);
        if (singleTokenSaved)
            singleTokenSaved(kind->savedNotice);
    } else {
        alias = TokenStore(m_settings, kind->section)
                    .addAccount(tokens.accessToken, tokens.refreshToken, tokens.accessTokenExpiry);
    }
    const QString logName = service->signInLogName;
    const QString expiry = expiryText(tokens.accessTokenExpiry);
    m_trace.add(QStringLiteral("Code TRUE: ") + secretPreview(code));
    m_trace.add(QStringLiteral("- AccessToken: ") + secretPreview(tokens.accessToken));
    m_trace.add(QStringLiteral("- RefreshToken: ") + secretPreview(tokens.refreshToken));
    m_trace.add(QStringLiteral("- AccessTokenExpiry: ") + expiry);
    m_trace.add(QString());
    m_log.addToLog(logName + QStringLiteral(" Code TRUE: ") + secretPreview(code));
    m_log.addToLog(logName + QStringLiteral(" Access Token Expiry: ") + expiry);
    return alias;
}

QString SignInTokenStorage::expiryText(const QDateTime &expiry)
{
    const QLocale locale;
    const QDateTime value = expiry.isValid() ? expiry : QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    QString text = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(value.time(), QLocale::LongFormat);
    return text;
}

} // namespace veltrano
