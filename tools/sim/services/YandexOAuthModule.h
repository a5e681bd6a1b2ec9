#pragma once

#include "app/SimulatorPrefixes.h"

#include "OAuthServerModule.h"

#include <memory>
#include <string>

namespace veltrano::sim {

class TokenRegistry;

// Yandex OAuth, the authorization-code flow as Yandex documents it:
//   GET  <prefix>/authorize?response_type=code&client_id=..&redirect_uri=..[&state=..][&scope=..]
//        [&code_challenge=..&code_challenge_method=S256|plain]
//        302 to redirect_uri?code=<7 digits>[&state=..]; a refusal redirects
//        with ?error=access_denied&error_description=..; a PKCE method other
//        than S256 and plain or a malformed challenge redirects with
//        ?error=invalid_request; an unknown client, a missing or non-loopback
//        redirect_uri is a 400 page.
//   POST <prefix>/token  (form: grant_type=authorization_code, code,
//        client_id, client_secret[, code_verifier]; redirect_uri is allowed
//        and ignored)
//        {"token_type":"bearer","access_token":..,"expires_in":31536000,"refresh_token":..}
//        errors: 400 invalid_request (a field missing), 400
//        unsupported_grant_type, 401 invalid_client, 400 invalid_grant
//        "Code has expired" (unknown, used, expired or another client's code,
//        and a code_verifier missing or not matching the challenge; a
//        verifier for a code issued without one is ignored).
// Issued tokens go into the shared token registry as issuer "yandex", for
// the account set with setUserId (the demo account unless changed).
// A client id beginning with "deny" stands for a user who refuses access.
class YandexOAuthModule final : public OAuthServerModule {
public:
    explicit YandexOAuthModule(std::shared_ptr<TokenRegistry> tokens);

    std::string defaultPrefix() const override { return simprefix::YandexOAuth; }
    void install(SimServer &server, const std::string &prefix) override;
};

} // namespace veltrano::sim
