#pragma once

#include "ServiceModule.h"

#include <chrono>
#include <memory>
#include <string>

namespace veltrano::sim {

class OAuthServerState;
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

protected:
    explicit OAuthServerModule(std::shared_ptr<TokenRegistry> tokens);

    std::shared_ptr<TokenRegistry> m_tokens;
    std::shared_ptr<OAuthServerState> m_state;
};

} // namespace veltrano::sim
