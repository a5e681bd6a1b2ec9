#include "auth/RefreshTokenStore.h"

namespace veltrano {

RefreshTokenStore::RefreshTokenStore(SettingsFile file, QString tokenSection)
    : m_file(std::move(file)), m_section(std::move(tokenSection))
{
}

QString RefreshTokenStore::refreshSection(const QString &tokenSection)
{
    return tokenSection + QStringLiteral("_Refresh");
}

QString RefreshTokenStore::expirySection(const QString &tokenSection)
{
    return tokenSection + QStringLiteral("_Expiry");
}

QStringList RefreshTokenStore::companionSections(const QString &tokenSection)
{
    return {refreshSection(tokenSection), expirySection(tokenSection)};
}

RefreshTokenStore::Entry RefreshTokenStore::read(const QString &key) const
{
    Entry entry;
    if (m_file.readString(m_section, key).isEmpty())
        return entry;
    entry.refreshToken = m_file.readString(refreshSection(m_section), key);
    entry.expiry = parseExpiry(m_file.readString(expirySection(m_section), key));
    return entry;
}

QList<SettingsFile::Change> RefreshTokenStore::changes(const QString &key, const QString &accessToken,
                                                       const std::optional<QString> &refreshToken,
                                                       const QDateTime &expiry) const
{
    QList<SettingsFile::Change> list{{m_section, key, accessToken}};
    if (refreshToken) {
        list.append({refreshSection(m_section), key,
                     refreshToken->isEmpty() ? std::optional<QString>() : std::optional<QString>(*refreshToken)});
    }
    list.append({expirySection(m_section), key,
                 expiry.isValid() ? std::optional<QString>(expiryText(expiry)) : std::optional<QString>()});
    return list;
}

void RefreshTokenStore::store(const QString &key, const QString &accessToken,
                              const std::optional<QString> &refreshToken, const QDateTime &expiry)
{
    m_file.apply(changes(key, accessToken, refreshToken, expiry));
}

QList<SettingsFile::Change> RefreshTokenStore::removal(const QString &key) const
{
    return {{m_section, key, {}}, {refreshSection(m_section), key, {}}, {expirySection(m_section), key, {}}};
}

QString RefreshTokenStore::expiryText(const QDateTime &expiry)
{
    return QString::number(expiry.toSecsSinceEpoch());
}

QDateTime RefreshTokenStore::parseExpiry(const QString &text)
{
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    // Anything but a plain count of seconds from 1970 up to the year 9999
    // is no expiry: the token is then renewed only once it is refused.
    if (!ok || seconds < 0 || seconds > 253402300799LL)
        return {};
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

} // namespace veltrano
