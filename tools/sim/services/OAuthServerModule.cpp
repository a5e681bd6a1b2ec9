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

void OAuthServerModule::setAccessTokenLifetime(std::chrono::seconds lifetime)
{
    m_state->setAccessTokenLifetime(lifetime);
}

size_t OAuthServerModule::revokeRefreshTokens(const std::string &refreshToken)
{
    return m_state->revokeRefreshTokens(refreshToken);
}

void OAuthServerModule::addRefreshToken(const std::string &refreshToken, const std::string &clientId,
                                        const std::string &scope)
{
    m_state->addRefreshToken(refreshToken, {clientId, scope, m_state->userId(), false});
}

std::vector<OAuthServerState::SignInRecord> OAuthServerModule::signIns() const
{
    return m_state->signIns();
}

void OAuthServerModule::installSettingsControl(SimServer &server, const std::string &prefix)
{
    server.addControlHandler("POST", "/__sim/oauth" + prefix, [state = m_state](const RecordedRequest &request) {
        const support::Json spec = support::Json::parse(request.body, nullptr, false);
        if (!spec.is_object())
            return support::jsonAnswer(support::Json{{"error", "bad_request"}, {"message", "expected a JSON object"}},
                                       400);
        support::Json answer{{"ok", true}};
        if (const auto it = spec.find("accessTokenLifetime"); it != spec.end()) {
            if (!it->is_number_integer() || it->get<long long>() < 0 || it->get<long long>() > 0x7fffffffLL)
                return support::jsonAnswer(
                    support::Json{{"error", "bad_request"},
                                  {"message", "\"accessTokenLifetime\" must be a whole number of seconds"}},
                    400);
            state->setAccessTokenLifetime(std::chrono::seconds(it->get<long long>()));
        }
        if (const auto it = spec.find("revokeRefreshTokens"); it != spec.end() && it->is_boolean() && it->get<bool>()) {
            const auto one = spec.find("refreshToken");
            answer["revoked"] = state->revokeRefreshTokens(
                one != spec.end() && one->is_string() ? one->get<std::string>() : std::string());
        }
        return support::jsonAnswer(answer);
    });
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
