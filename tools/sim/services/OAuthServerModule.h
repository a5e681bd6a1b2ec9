#pragma once

#include "ServiceModule.h"

#include "OAuthServerState.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace veltrano::sim {

class TokenRegistry;

// What the simulated sign-in servers share: the registered clients, the
// issued codes and the settings a test changes, plus the registry the issued
// tokens go to. Each server adds its own paths and answers in install().
class OAuthServerModule : public ServiceModule {
public:
    // Settings; they take effect at once, also after install().
    void addClient(const std::string &clientId, const std::string &secret);
    void setRefuseAccess(bool refuse);
    void setUserId(long long userId);
    void setCodeLifetime(std::chrono::seconds lifetime);
    // expires_in of the access tokens issued from now on; 0: the server's own.
    void setAccessTokenLifetime(std::chrono::seconds lifetime);
    // Revokes every refresh token issued so far (or the one given): the
    // next refresh grant with it is answered invalid_grant.
    size_t revokeRefreshTokens(const std::string &refreshToken = {});
    // A refresh token as if a sign-in of clientId had brought it.
    void addRefreshToken(const std::string &refreshToken, const std::string &clientId, const std::string &scope = {});

    // Every authorization answered with a code: the state that came with
    // it, the PKCE method, and how the code's redemption went.
    std::vector<OAuthServerState::SignInRecord> signIns() const;

protected:
    explicit OAuthServerModule(std::shared_ptr<TokenRegistry> tokens);

    // The same record on the control interface, GET /__sim/sign-ins<prefix>,
    // as a JSON array of {"client_id", "state" (when sent),
    // "code_challenge_method" (when sent), "redemption"}.
    void installSignInRecord(SimServer &server, const std::string &prefix);
    // POST /__sim/oauth<prefix> with {"accessTokenLifetime": seconds,
    // "revokeRefreshTokens": true, "refreshToken": "..."} changes the
    // settings above while the simulator runs.
    void installSettingsControl(SimServer &server, const std::string &prefix);

    std::shared_ptr<TokenRegistry> m_tokens;
    std::shared_ptr<OAuthServerState> m_state;
};

} // namespace veltrano::sim
