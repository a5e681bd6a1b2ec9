#pragma once

#include "auth/SettingsFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace veltrano {

// The connected accounts of one service: the entries of its token section of
// the settings file (settings::YandexWebmasterTokens and the others), each an
// alias the user sees in the service's token list and the account's access
// token. Every call goes to the file, so the list and the file never drift
// apart for longer than one operation.
class TokenStore final {
public:
    TokenStore(SettingsFile file, QString section);

    const QString &section() const { return m_section; }

    // The aliases in file order.
    QStringList aliases() const;
    // The token stored under the alias (letter case does not matter), or
    // empty text when there is none.
    QString token(const QString &alias) const;

    // Stores the token of a newly signed-in account as the section's last
    // entry and returns its alias: "token_" + (number of entries + 1), or the
    // next higher number when an earlier rename or delete left that one taken,
    // so an existing token is never replaced.
    QString addToken(const QString &token);
    // The same for a sign-in that also brought a refresh token and an expiry
    // (RefreshTokenStore): all go to the file in one write, and entries a
    // former account left under the new alias are dropped.
    QString addAccount(const QString &token, const QString &refreshToken, const QDateTime &expiry);

    // Gives the token stored under alias the alias newAlias; the entry becomes
    // the last of the section. Its refresh token and expiry move with it in
    // the same write. Empty newAlias changes nothing and returns
    // false. An alias that another entry already has, or that the file cannot
    // hold as a key, is refused with VeltranoError and the token stays where
    // it was; so does a refused write. Renaming to the same alias is allowed.
    bool rename(const QString &alias, const QString &newAlias);

    // Removes the entry with its refresh token and expiry, in one write; a
    // missing alias is ignored. A refused write raises
    // VeltranoError and the entry stays.
    void remove(const QString &alias);

    // Why newAlias cannot be given to the entry currentAlias, in words for the
    // user; empty when it can.
    QString aliasProblem(const QString &newAlias, const QString &currentAlias = {}) const;

    // The alias a new entry gets next to these aliases.
    static QString nextAlias(const QStringList &aliases);

private:
    SettingsFile m_file;
    QString m_section;
};

} // namespace veltrano
