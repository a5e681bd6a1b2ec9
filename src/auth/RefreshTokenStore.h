#pragma once

#include "auth/SettingsFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace veltrano {

// What keeps an account's access alive beside its access token: the refresh
// token the authorization server gave and the time the access token stops
// working. They stand in sections of their own next to a token section,
// under the same key as the access token ("[YandexWM_Token_Refresh]" and
// "[YandexWM_Token_Expiry]" beside "[YandexWM_Token]"), so the token
// section keeps exactly its "alias=access token" entries and a program
// that knows nothing of renewal reads the file as before. An entry whose
// key has no access token belongs to no account and is never used.
class RefreshTokenStore final {
public:
    struct Entry {
        QString refreshToken;   // empty: none stored
        QDateTime expiry;       // UTC; invalid: unknown or not a number
        bool canRenew() const { return !refreshToken.isEmpty(); }
    };

    RefreshTokenStore(SettingsFile file, QString tokenSection);

    static QString refreshSection(const QString &tokenSection);
    static QString expirySection(const QString &tokenSection);
    // The sections that go with a token section: rename and delete change
    // them together with it.
    static QStringList companionSections(const QString &tokenSection);

    // The entry of key, read only when the token section holds key.
    Entry read(const QString &key) const;

    // The changes that store an access token with what keeps it alive, for
    // one atomic write. refreshToken: nullopt keeps the stored one (Google's
    // renewal answers carry none), empty removes it. An invalid expiry
    // removes the stored one.
    QList<SettingsFile::Change> changes(const QString &key, const QString &accessToken,
                                        const std::optional<QString> &refreshToken, const QDateTime &expiry) const;
    void store(const QString &key, const QString &accessToken, const std::optional<QString> &refreshToken,
               const QDateTime &expiry);

    // The changes that remove key from the token section and its companions.
    QList<SettingsFile::Change> removal(const QString &key) const;

    // The expiry as the file holds it: UTC seconds since 1970.
    static QString expiryText(const QDateTime &expiry);
    static QDateTime parseExpiry(const QString &text);

private:
    SettingsFile m_file;
    QString m_section;
};

} // namespace veltrano
