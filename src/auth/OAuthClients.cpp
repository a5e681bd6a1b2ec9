#include "auth/OAuthClients.h"

#include "services/ServiceTable.h"

namespace veltrano {

OAuthClients::OAuthClients(const Endpoints &endpoints)
{
    for (const SignInKind *kind : ServiceTable::allSignIns())
        m_clients[kind->target].setConfig(configFor(*kind, endpoints));
}

OAuthAuthenticator *OAuthClients::of(SignInTarget target)
{
    const auto found = m_clients.find(target);
    return found == m_clients.end() ? nullptr : &found->second;
}

OAuthAuthenticator::Config OAuthClients::configFor(const SignInKind &kind, const Endpoints &endpoints)
{
    const OAuthApplication &application = *kind.application;
    return configFor(kind, endpoints,
                     {endpoints.*application.clientId, endpoints.*application.clientSecret});
}

OAuthAuthenticator::Config OAuthClients::configFor(const SignInKind &kind, const Endpoints &endpoints,
                                                   const OAuthCredentials &credentials)
{
    const OAuthApplication &application = *kind.application;
    const QString host = application.hostOf(endpoints);
    OAuthAuthenticator::Config c;
    c.authorizationEndpoint = host + application.authorizePath;
    c.tokenEndpoint = host + application.tokenPath;
    c.redirectUri = endpoints.redirectUri();
    c.scope = kind.scope(endpoints);
    c.clientId = credentials.clientId;
    c.clientSecret = credentials.clientSecret;
    c.offlineAccess = application.asksOfflineAccess;
    return c;
}

} // namespace veltrano
