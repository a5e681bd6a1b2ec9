#pragma once

#include "app/Endpoints.h"
#include "app/ServiceDescriptor.h"
#include "auth/RefreshTokenStore.h"
#include "auth/SettingsFile.h"
#include "auth/TokenRenewer.h"
#include "net/AccessRenewal.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

namespace veltrano {

class ActivityLog;
class RequestTrace;

// Renews the access tokens of the connected accounts of every service that
// signs in with OAuth, the Indexing API's single token among them. A
// request's token is looked up among the token sections of the settings
// file; its refresh token and expiry stand beside it (RefreshTokenStore).
//
// Before a request whose token expires within a minute, and once after a
// 401, the token is renewed at its application's token endpoint with the
// application the user entered (or the build-time one), stored in place of
// the old one in one write, and put into the request. The log gets
// "<service>: access renewed for '<alias>'", the trace the new token's first
// four characters. A check that goes on with the token it read at its start
// gets the newest one, request after request.
//
// A refusal of the renewal itself (invalid_grant: revoked, expired,
// password changed; or a client the server no longer knows) raises
// VeltranoError naming the account and saying to sign in again with "Add";
// the file stays as it was. An account without a refresh token (a file of
// an earlier version) is used as it is until its token is refused.
class AccountRenewal final : public AccessRenewal {
public:
    AccountRenewal(const Endpoints &endpoints, SettingsFile settings, ActivityLog &log, RequestTrace &trace);

    // Tests set the clock.
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    void beforeSend(HttpRequest &request, const HttpClient::Options &transport) override;
    bool renewAfterRefusal(HttpRequest &request, const HttpClient::Options &transport) override;

    // How long before its expiry a token is renewed.
    static constexpr int kRenewAheadSeconds = 60;

private:
    struct Account {
        const ServiceDescriptor *service = nullptr;
        const SignInKind *kind = nullptr;
        QString section;
        QString key; // the alias, or the single token's key
    };
    // The newest token for the one the request carries.
    QString currentToken(const QString &token) const;
    std::optional<Account> accountOf(const QString &token) const;
    std::optional<Account> findAccount(const QString &token) const;
    // The refresh token and expiry of an account.
    RefreshTokenStore::Entry entryOf(const Account &account) const;
    // Forgets what was read from the settings file when the file changed
    // since (or when forced, after a write of our own), so a request costs
    // one look at the file's date and size rather than a read of every
    // token section.
    void dropStaleReadings(bool force = false) const;
    // Renews and stores; false when no new token came.
    bool renew(const Account &account, const QString &refreshToken, HttpRequest &request, const QString &token,
               const HttpClient::Options &transport);

    Endpoints m_endpoints;
    SettingsFile m_settings;
    ActivityLog &m_log;
    RequestTrace &m_trace;
    std::function<QDateTime()> m_now;
    // Every token replaced by a renewal, and the token that replaced it.
    QHash<QString, QString> m_renewed;
    // What was read from the file, valid while its date and size stay.
    mutable QDateTime m_readModified;
    mutable qint64 m_readSize = -1;
    mutable QHash<QString, std::optional<Account>> m_accounts;      // by token
    mutable QHash<QString, RefreshTokenStore::Entry> m_entries; // by section + "\n" + key
};

} // namespace veltrano
