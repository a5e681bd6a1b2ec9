#include "OAuthServerState.h"

#include "ServiceSupport.h"

namespace veltrano::sim {

OAuthServerState::OAuthServerState() : m_random(std::random_device{}()) {}

void OAuthServerState::addClient(const std::string &clientId, const std::string &secret)
{
    std::lock_guard lock(m_mutex);
    m_clients[clientId] = secret;
}

bool OAuthServerState::knowsClient(const std::string &clientId) const
{
    std::lock_guard lock(m_mutex);
    return m_clients.count(clientId) != 0;
}

bool OAuthServerState::secretMatches(const std::string &clientId, const std::string &secret) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_clients.find(clientId);
    return it != m_clients.end() && it->second == secret;
}

void OAuthServerState::setRefuseAccess(bool refuse)
{
    std::lock_guard lock(m_mutex);
    m_refuseAccess = refuse;
}

bool OAuthServerState::refusesAccess() const
{
    std::lock_guard lock(m_mutex);
    return m_refuseAccess;
}

void OAuthServerState::setUserId(long long userId)
{
    std::lock_guard lock(m_mutex);
    m_userId = userId;
}

long long OAuthServerState::userId() const
{
    std::lock_guard lock(m_mutex);
    return m_userId;
}

void OAuthServerState::setCodeLifetime(std::chrono::seconds lifetime)
{
    std::lock_guard lock(m_mutex);
    m_codeLifetime = lifetime;
}

OAuthServerState::Redemption OAuthServerState::redeem(const std::string &code, const std::string &clientId,
                                                      const std::string &redirectUri, bool checkRedirect,
                                                      CodeGrant &grant)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_codes.find(code);
    if (it == m_codes.end())
        return Redemption::UnknownCode;
    IssuedCode &issued = it->second;
    if (issued.grant.clientId != clientId)
        return Redemption::OtherClient;
    if (issued.used)
        return Redemption::AlreadyUsed;
    issued.used = true;
    if (std::chrono::steady_clock::now() - issued.issuedAt > m_codeLifetime)
        return Redemption::Expired;
    if (checkRedirect && issued.grant.redirectUri != redirectUri)
        return Redemption::OtherRedirect;
    grant = issued.grant;
    return Redemption::Granted;
}

std::string OAuthServerState::randomText(std::string_view alphabet, size_t length)
{
    std::lock_guard lock(m_mutex);
    return support::randomText(m_random, alphabet, length);
}

} // namespace veltrano::sim
