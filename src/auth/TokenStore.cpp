#include "auth/TokenStore.h"

#include "app/VeltranoError.h"
#include "auth/RefreshTokenStore.h"

namespace veltrano {

TokenStore::TokenStore(SettingsFile file, QString section)
    : m_file(std::move(file)), m_section(std::move(section))
{
}

QStringList TokenStore::aliases() const
{
    return m_file.keys(m_section);
}

QString TokenStore::token(const QString &alias) const
{
    return m_file.readString(m_section, alias);
}

QString TokenStore::nextAlias(const QStringList &aliases)
{
    for (qsizetype number = aliases.size() + 1;; ++number) {
        const QString alias = QStringLiteral("token_%1").arg(number);
        if (!aliases.contains(alias, Qt::CaseInsensitive))
            return alias;
    }
}

QString TokenStore::addToken(const QString &token)
{
    const QString alias = nextAlias(aliases());
    m_file.writeString(m_section, alias, token);
    return alias;
}

QString TokenStore::addAccount(const QString &token, const QString &refreshToken, const QDateTime &expiry)
{
    const QString alias = nextAlias(aliases());
    m_file.apply(RefreshTokenStore(m_file, m_section).changes(alias, token, refreshToken, expiry));
    return alias;
}

QString TokenStore::aliasProblem(const QString &newAlias, const QString &currentAlias) const
{
    if (newAlias.trimmed().isEmpty())
        return QStringLiteral("An alias cannot be empty");
    if (newAlias != newAlias.trimmed())
        return QStringLiteral("An alias cannot begin or end with a blank");
    if (newAlias.startsWith(QLatin1Char('[')) || newAlias.startsWith(QLatin1Char(';')))
        return QStringLiteral("An alias cannot begin with \"[\" or \";\"");
    if (!SettingsFile::canHoldKey(newAlias))
        return QStringLiteral("An alias cannot contain \"=\" or a line break");
    if (newAlias.compare(currentAlias, Qt::CaseInsensitive) != 0 && m_file.hasKey(m_section, newAlias))
        return QStringLiteral("The alias \"%1\" is already used by another token").arg(newAlias);
    return {};
}

bool TokenStore::rename(const QString &alias, const QString &newAlias)
{
    if (newAlias.isEmpty())
        return false;
    const QString problem = aliasProblem(newAlias, alias);
    if (!problem.isEmpty())
        throw VeltranoError(problem);
    // One write moves the token, so a refused write cannot lose it.
    m_file.renameKeyWith(m_section, RefreshTokenStore::companionSections(m_section), alias, newAlias);
    return true;
}

void TokenStore::remove(const QString &alias)
{
    m_file.apply(RefreshTokenStore(m_file, m_section).removal(alias));
}

} // namespace veltrano
