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
#include <future>
#include <mutex>
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
//
// The settings file gets a renewal's tokens in one flushed atomic write that
// runs beside the requests (SettingsFile::applyInBackground): the new access
// token goes out at once while the write waits on the disk, and every read or
// write of the file after the renewal sees the renewed tokens. A refresh
// token the server rotated is relied upon only once it is on disk: the next
// renewal, waitForWrites() and the destructor wait for the write first; until
// then the file holds the previous pair, which stays good. A write the file
// refused raises its VeltranoError ("Unable to write to ...") at the next
// request, so a check never goes on as if the tokens had been stored.
//
// Requests in flight on several threads share one renewal: renewals never
// run at once, and a request refused with a token another request has
// renewed meanwhile goes out again with the new token, without a renewal
// of its own.
class AccountRenewal final : public AccessRenewal {
public:
    AccountRenewal(const Endpoints &endpoints, SettingsFile settings, ActivityLog &log, RequestTrace &trace);
    ~AccountRenewal() override;
    AccountRenewal(const AccountRenewal &) = delete;
    AccountRenewal &operator=(const AccountRenewal &) = delete;

    // Waits until the last renewal's tokens are on disk; raises the
    // VeltranoError of a write the file refused.
    void waitForWrites();

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
    // What the settings file says of every account: which account holds a
    // token (the first in the service table's and the file's order), and
    // each account's refresh token and expiry. Read in one go and kept while
    // the file's date and size stay, so a request costs one look at the
    // file rather than a read of every token section.
    struct FileStamp {
        QDateTime modified;
        qint64 size = -1;
        bool operator==(const FileStamp &other) const = default;
    };
    struct Index {
        QHash<QString, Account> byToken;
        QHash<QString, RefreshTokenStore::Entry> entries; // by entryId()
    };
    // The newest token for the one the request carries.
    QString currentToken(const QString &token) const;
    std::optional<Account> accountOf(const QString &token) const;
    // The refresh token and expiry of an account.
    RefreshTokenStore::Entry entryOf(const Account &account) const;
    static QString entryId(const QString &section, const QString &key);
    FileStamp stampOfFile() const;
    // The index, read anew when the file changed since it was read.
    const Index &index() const;
    Index readIndex() const;
    // After a renewal's own write: the index takes the new token and entry
    // as written, so the next request reads nothing. When the file had
    // changed by other hands before the write, it is read anew instead.
    void noteOwnWrite(const Account &account, const QString &oldToken, const QString &newToken,
                      const RefreshTokenStore::Entry &entry);
    // Raises the error of a finished write, without waiting for one that runs.
    void reportFinishedWrite();
    // Renews and stores; false when no new token came.
    bool renew(const Account &account, const QString &refreshToken, HttpRequest &request, const QString &token,
               const HttpClient::Options &transport);

    // One renewal, and one look at what is known, at a time.
    std::mutex m_mutex;
    Endpoints m_endpoints;
    SettingsFile m_settings;
    ActivityLog &m_log;
    RequestTrace &m_trace;
    std::function<QDateTime()> m_now;
    // Every token replaced by a renewal, and the token that replaced it.
    QHash<QString, QString> m_renewed;
    mutable FileStamp m_stamp;
    mutable std::optional<Index> m_index;
    // The settings write of the last renewal, while it is not waited for.
    mutable std::future<void> m_write;
};

} // namespace veltrano
