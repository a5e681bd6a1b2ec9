#include "auth/AccountRenewal.h"

#include "app/ActivityLog.h"
#include "app/SignInRequired.h"
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

AccountRenewal::~AccountRenewal()
{
    try {
        waitForWrites();
    } catch (const VeltranoError &error) {
        m_log.addToLog(error.message());
    }
}

void AccountRenewal::waitForWrites()
{
    if (!m_write.valid())
        return;
    // get() leaves the future empty, so an error is raised once.
    m_write.get();
}

void AccountRenewal::reportFinishedWrite()
{
    if (m_write.valid() && m_write.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        m_write.get();
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

QString AccountRenewal::entryId(const QString &section, const QString &key)
{
    // Keys match without regard to letter case, as everywhere in the file.
    return section + QLatin1Char('\n') + key.toCaseFolded();
}

AccountRenewal::FileStamp AccountRenewal::stampOfFile() const
{
    const QFileInfo file(m_settings.path());
    if (!file.exists())
        return {};
    return {file.lastModified(), file.size()};
}

const AccountRenewal::Index &AccountRenewal::index() const
{
    // A reading waits for the renewal's own write still under way, so it
    // holds the renewed tokens.
    const FileStamp stamp = stampOfFile();
    if (!m_index || !(stamp == m_stamp)) {
        m_stamp = stamp;
        m_index = readIndex();
    }
    return *m_index;
}

AccountRenewal::Index AccountRenewal::readIndex() const
{
    const std::vector<const SignInKind *> kinds = ServiceTable::allSignIns();
    QStringList sections;
    for (const SignInKind *kind : kinds) {
        const QString section = kind->section;
        sections << section << RefreshTokenStore::refreshSection(section)
                 << RefreshTokenStore::expirySection(section);
    }
    const QList<QList<std::pair<QString, QString>>> read = m_settings.entriesOf(sections);

    Index index;
    for (size_t k = 0; k < kinds.size(); ++k) {
        const SignInKind *kind = kinds[k];
        const QString section = kind->section;
        QHash<QString, QString> refreshTokens;
        QHash<QString, QString> expiries;
        for (const auto &[key, value] : read[qsizetype(3 * k + 1)])
            refreshTokens.insert(key.toCaseFolded(), value);
        for (const auto &[key, value] : read[qsizetype(3 * k + 2)])
            expiries.insert(key.toCaseFolded(), value);
        for (const auto &[key, value] : read[qsizetype(3 * k)]) {
            if (value.isEmpty())
                continue;
            if (kind->keepsSingleToken() && key.compare(kind->singleTokenKey, Qt::CaseInsensitive) != 0)
                continue;
            if (!index.byToken.contains(value))
                index.byToken.insert(value, Account{ServiceTable::ofSignIn(kind->target), kind, section, key});
            const QString folded = key.toCaseFolded();
            index.entries.insert(entryId(section, key),
                                 {refreshTokens.value(folded),
                                  RefreshTokenStore::parseExpiry(expiries.value(folded))});
        }
    }
    return index;
}

RefreshTokenStore::Entry AccountRenewal::entryOf(const Account &account) const
{
    return index().entries.value(entryId(account.section, account.key));
}

std::optional<AccountRenewal::Account> AccountRenewal::accountOf(const QString &token) const
{
    if (token.isEmpty())
        return std::nullopt;
    const Index &known = index();
    const auto found = known.byToken.constFind(token);
    if (found == known.byToken.constEnd())
        return std::nullopt;
    return *found;
}

void AccountRenewal::noteOwnWrite(const Account &account, const QString &oldToken, const QString &newToken,
                                  const RefreshTokenStore::Entry &entry)
{
    if (!m_index)
        return;
    if (const auto old = m_index->byToken.constFind(oldToken);
        old != m_index->byToken.constEnd() && old->section == account.section && old->key == account.key)
        m_index->byToken.erase(old);
    if (!m_index->byToken.contains(newToken))
        m_index->byToken.insert(newToken, account);
    m_index->entries.insert(entryId(account.section, account.key), entry);
}

void AccountRenewal::beforeSend(HttpRequest &request, const HttpClient::Options &transport)
{
    const std::lock_guard lock(m_mutex);
    reportFinishedWrite();
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
    const std::lock_guard lock(m_mutex);
    reportFinishedWrite();
    QString token;
    if (AccessRenewal::authorizationLine(request, &token) < 0 || token.isEmpty())
        return false;
    // Another request in flight met the refusal first and renewed the
    // token: this one goes again with that token.
    if (const QString current = currentToken(token); current != token) {
        AccessRenewal::replaceToken(request, current);
        return true;
    }
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
    // The refresh token about to be spent is the one on disk.
    waitForWrites();
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
        throw SignInRequired(QStringLiteral("%1 no longer accepts the sign-in of the account '%2' (%3, HTTP %4): it "
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

    // A token the file cannot hold raises here, before anything relies on it.
    m_write = m_settings.applyInBackground(RefreshTokenStore(m_settings, account.section)
                                               .changes(account.key, answer.accessToken, answer.refreshToken,
                                                        answer.expiry));
    noteOwnWrite(account, token, answer.accessToken, {answer.refreshToken.value_or(refreshToken), answer.expiry});
    if (answer.accessToken != token)
        m_renewed.insert(token, answer.accessToken);
    AccessRenewal::replaceToken(request, answer.accessToken);
    m_trace.add(QStringLiteral("Access renewed: ") + account.key);
    m_trace.add(QStringLiteral("- AccessToken: ") + secretPreview(answer.accessToken));
    m_log.addToLog(QStringLiteral("%1: access renewed for '%2'").arg(serviceName, account.key));
    return true;
}

} // namespace veltrano
