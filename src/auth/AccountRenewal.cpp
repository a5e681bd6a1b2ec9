#include "auth/AccountRenewal.h"

#include "app/ActivityLog.h"
#include "app/VeltranoError.h"
#include "auth/OAuthApplicationSettings.h"
#include "auth/RefreshTokenStore.h"
#include "net/RequestTrace.h"
#include "net/SecretText.h"
#include "services/ServiceTable.h"

#include <QFileInfo>

namespace veltrano {

AccountRenewal::AccountRenewal(const Endpoints &endpoints, SettingsFile settings, ActivityLog &log,
                               RequestTrace &trace)
    : m_endpoints(endpoints), m_settings(std::move(settings)), m_log(log), m_trace(trace),
      m_now([] { return QDateTime::currentDateTimeUtc(); })
{
}

QString AccountRenewal::currentToken(const QString &token) const
{
    QString current = token;
    // Each renewal adds one link; a chain cannot loop, but stay bounded anyway.
    for (int i = 0; i < 1000; ++i) {
        const auto next = m_renewed.constFind(current);
        if (next == m_renewed.constEnd())
            break;
        current = *next;
    }
    return current;
}

void AccountRenewal::dropStaleReadings(bool force) const
{
    const QFileInfo file(m_settings.path());
    const QDateTime modified = file.exists() ? file.lastModified() : QDateTime();
    const qint64 size = file.exists() ? file.size() : -1;
    if (!force && modified == m_readModified && size == m_readSize)
        return;
    m_readModified = modified;
    m_readSize = size;
    m_accounts.clear();
    m_entries.clear();
}

RefreshTokenStore::Entry AccountRenewal::entryOf(const Account &account) const
{
    const QString id = account.section + QLatin1Char('\n') + account.key;
    if (const auto known = m_entries.constFind(id); known != m_entries.constEnd())
        return *known;
    const RefreshTokenStore::Entry entry = RefreshTokenStore(m_settings, account.section).read(account.key);
    m_entries.insert(id, entry);
    return entry;
}

std::optional<AccountRenewal::Account> AccountRenewal::accountOf(const QString &token) const
{
    if (token.isEmpty())
        return std::nullopt;
    dropStaleReadings();
    if (const auto known = m_accounts.constFind(token); known != m_accounts.constEnd())
        return *known;
    std::optional<Account> found = findAccount(token);
    m_accounts.insert(token, found);
    return found;
}

std::optional<AccountRenewal::Account> AccountRenewal::findAccount(const QString &token) const
{
    for (const SignInKind *kind : ServiceTable::allSignIns()) {
        const QString section = kind->section;
        for (const auto &[key, value] : m_settings.entries(section)) {
            if (value != token)
                continue;
            if (kind->keepsSingleToken() && key.compare(kind->singleTokenKey, Qt::CaseInsensitive) != 0)
                continue;
            return Account{ServiceTable::ofSignIn(kind->target), kind, section, key};
        }
    }
    return std::nullopt;
}

void AccountRenewal::beforeSend(HttpRequest &request, const HttpClient::Options &transport)
{
    QString token;
    if (AccessRenewal::authorizationLine(request, &token) < 0 || token.isEmpty())
        return;
    const QString current = currentToken(token);
    if (current != token)
        AccessRenewal::replaceToken(request, current);
    const std::optional<Account> account = accountOf(current);
    if (!account)
        return;
    const RefreshTokenStore::Entry entry = entryOf(*account);
    if (!entry.canRenew() || !entry.expiry.isValid())
        return;
    if (m_now().secsTo(entry.expiry) > kRenewAheadSeconds)
        return;
    renew(*account, entry.refreshToken, request, current, transport);
}

bool AccountRenewal::renewAfterRefusal(HttpRequest &request, const HttpClient::Options &transport)
{
    QString token;
    if (AccessRenewal::authorizationLine(request, &token) < 0 || token.isEmpty())
        return false;
    const std::optional<Account> account = accountOf(token);
    if (!account)
        return false;
    const RefreshTokenStore::Entry entry = entryOf(*account);
    if (!entry.canRenew())
        return false;
    return renew(*account, entry.refreshToken, request, token, transport);
}

bool AccountRenewal::renew(const Account &account, const QString &refreshToken, HttpRequest &request,
                           const QString &token, const HttpClient::Options &transport)
{
    const OAuthApplication &application = *account.kind->application;
    const QString serviceName = account.service ? QString(account.service->name) : QString(application.name);
    const OAuthCredentials credentials = OAuthApplicationSettings(m_settings).effective(application, m_endpoints);

    const TokenRenewer::Answer answer = TokenRenewer(transport).renew(
        application.hostOf(m_endpoints) + application.tokenPath, credentials, refreshToken);

    switch (answer.outcome) {
    case TokenRenewer::Answer::Outcome::Renewed:
        break;
    case TokenRenewer::Answer::Outcome::Refused: {
        QString why = answer.error;
        if (!answer.errorDescription.isEmpty())
            why += QStringLiteral(": ") + answer.errorDescription;
        m_log.addToLog(QStringLiteral("%1: access renewal refused for '%2' (%3)").arg(serviceName, account.key, why));
        throw VeltranoError(QStringLiteral("%1 no longer accepts the sign-in of the account '%2' (%3, HTTP %4): it "
                                           "was revoked, has expired or the password was changed. Sign in again "
                                           "with \"Add\" in the %1 token list on the Settings page.")
                                .arg(serviceName, account.key, why)
                                .arg(answer.status));
    }
    case TokenRenewer::Answer::Outcome::Failed:
        m_log.addToLog(QStringLiteral("%1: access renewal failed for '%2' (HTTP %3)")
                           .arg(serviceName, account.key)
                           .arg(answer.status));
        return false;
    }

    RefreshTokenStore(m_settings, account.section)
        .store(account.key, answer.accessToken, answer.refreshToken, answer.expiry);
    dropStaleReadings(true);
    if (answer.accessToken != token)
        m_renewed.insert(token, answer.accessToken);
    AccessRenewal::replaceToken(request, answer.accessToken);
    m_trace.add(QStringLiteral("Access renewed: ") + account.key);
    m_trace.add(QStringLiteral("- AccessToken: ") + secretPreview(answer.accessToken));
    m_log.addToLog(QStringLiteral("%1: access renewed for '%2'").arg(serviceName, account.key));
    return true;
}

} // namespace veltrano
