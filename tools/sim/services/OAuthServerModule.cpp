#include "OAuthServerModule.h"

#include "OAuthServerState.h"

namespace veltrano::sim {

OAuthServerModule::OAuthServerModule(std::shared_ptr<TokenRegistry> tokens)
    : m_tokens(std::move(tokens)), m_state(std::make_shared<OAuthServerState>())
{
}

void OAuthServerModule::addClient(const std::string &clientId, const std::string &secret)
{
    m_state->addClient(clientId, secret);
}

void OAuthServerModule::setRefuseAccess(bool refuse)
{
    m_state->setRefuseAccess(refuse);
}

void OAuthServerModule::setUserId(long long userId)
{
    m_state->setUserId(userId);
}

void OAuthServerModule::setCodeLifetime(std::chrono::seconds lifetime)
{
    m_state->setCodeLifetime(lifetime);
}

} // namespace veltrano::sim
