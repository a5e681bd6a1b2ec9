#include "OAuthServerModule.h"

#include "OAuthServerState.h"
#include "ServiceSupport.h"

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

std::vector<OAuthServerState::SignInRecord> OAuthServerModule::signIns() const
{
    return m_state->signIns();
}

void OAuthServerModule::installSignInRecord(SimServer &server, const std::string &prefix)
{
    server.addControlHandler("GET", "/__sim/sign-ins" + prefix, [state = m_state](const RecordedRequest &) {
        support::Json all = support::Json::array();
        for (const OAuthServerState::SignInRecord &record : state->signIns()) {
            support::Json entry{{"client_id", record.clientId}};
            if (record.stateSent)
                entry["state"] = record.state;
            if (!record.codeChallengeMethod.empty())
                entry["code_challenge_method"] = record.codeChallengeMethod;
            entry["redemption"] = record.redemption;
            all.push_back(std::move(entry));
        }
        return support::jsonAnswer(all);
    });
}

} // namespace veltrano::sim
