#include "auth/OAuthApplicationSettings.h"

#include "app/VeltranoError.h"

#include <QRegularExpression>

namespace veltrano {

namespace {

QString keyBase(const OAuthApplication &application)
{
    QString base = application.name;
    base.remove(QLatin1Char(' '));
    return base;
}

bool isHex32(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9a-fA-F]{32}$"));
    return form.match(text).hasMatch();
}

} // namespace

OAuthApplicationSettings::OAuthApplicationSettings(SettingsFile file) : m_file(std::move(file)) {}

QString OAuthApplicationSettings::clientIdKey(const OAuthApplication &application)
{
    return keyBase(application) + QStringLiteral("_ClientId");
}

QString OAuthApplicationSettings::clientSecretKey(const OAuthApplication &application)
{
    return keyBase(application) + QStringLiteral("_ClientSecret");
}

OAuthCredentials OAuthApplicationSettings::stored(const OAuthApplication &application) const
{
    return {m_file.readString(Section, clientIdKey(application)),
            m_file.readString(Section, clientSecretKey(application))};
}

OAuthCredentials OAuthApplicationSettings::effective(const OAuthApplication &application,
                                                     const Endpoints &endpoints) const
{
    const OAuthCredentials own = stored(application);
    if (own.isEmpty())
        return {endpoints.*application.clientId, endpoints.*application.clientSecret};
    const QString why = problem(application, own);
    if (!why.isEmpty()) {
        throw VeltranoError(QStringLiteral("The %1 application in %2 cannot be used: %3. Correct it with "
                                           "\"OAuth applications...\" on the Settings page.")
                                .arg(application.name, settings::FileName, why));
    }
    return own;
}

void OAuthApplicationSettings::store(const OAuthApplication &application, const OAuthCredentials &credentials)
{
    if (credentials.isEmpty()) {
        m_file.apply({{QString(Section), clientIdKey(application), {}},
                      {QString(Section), clientSecretKey(application), {}}});
        return;
    }
    const QString why = problem(application, credentials);
    if (!why.isEmpty())
        throw VeltranoError(why);
    m_file.apply({{QString(Section), clientIdKey(application), credentials.clientId},
                  {QString(Section), clientSecretKey(application), credentials.clientSecret}});
}

QString OAuthApplicationSettings::problem(const OAuthApplication &application, const OAuthCredentials &c)
{
    if (c.isEmpty())
        return {};
    // What is wrong with a value typed comes first; a missing half last.
    for (const QString *text : {&c.clientId, &c.clientSecret}) {
        const QString what = text == &c.clientId ? QStringLiteral("client id") : QStringLiteral("client secret");
        if (text->size() > kMaxLength)
            return QStringLiteral("the %1 is %2 characters long; it cannot be longer than %3")
                .arg(what)
                .arg(text->size())
                .arg(kMaxLength);
        for (const QChar ch : *text) {
            if (ch.isSpace())
                return QStringLiteral("the %1 contains a blank; copy it again without spaces").arg(what);
        }
    }
    if (application.host == OAuthApplication::Host::YandexOAuth) {
        if (!c.clientId.isEmpty() && !isHex32(c.clientId))
            return QStringLiteral("a Yandex client id (ClientID) is 32 hexadecimal digits");
        if (!c.clientSecret.isEmpty() && !isHex32(c.clientSecret))
            return QStringLiteral("a Yandex client secret is 32 hexadecimal digits");
    } else {
        static const QRegularExpression googleId(
            QStringLiteral("^[0-9]+-[a-z0-9]+\\.apps\\.googleusercontent\\.com$"));
        static const QRegularExpression googleSecret(QStringLiteral("^[A-Za-z0-9_-]+$"));
        if (!c.clientId.isEmpty() && !googleId.match(c.clientId).hasMatch())
            return QStringLiteral("a Google client id has the form <digits>-<letters and digits>"
                                  ".apps.googleusercontent.com");
        if (!c.clientSecret.isEmpty() && !googleSecret.match(c.clientSecret).hasMatch())
            return QStringLiteral("a Google client secret holds only letters, digits, \"-\" and \"_\"");
    }
    if (c.clientId.isEmpty() || c.clientSecret.isEmpty())
        return QStringLiteral("enter both the client id and the client secret, or leave both empty to use the "
                              "application Veltrano was built with");
    return {};
}

} // namespace veltrano
