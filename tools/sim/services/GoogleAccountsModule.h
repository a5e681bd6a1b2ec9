#pragma once

#include "app/SimulatorPrefixes.h"

#include "OAuthServerModule.h"

#include <memory>
#include <string>

namespace veltrano::sim {

class TokenRegistry;

// Google OAuth 2.0 for installed applications, the authorization-code flow:
//   GET  <prefix>/o/oauth2/auth, <prefix>/o/oauth2/auth/oauthchooseaccount,
//        <prefix>/o/oauth2/v2/auth
//        ?response_type=code&client_id=..&redirect_uri=..&scope=..[&state=..]
//        [&code_challenge=..&code_challenge_method=S256|plain]
//        302 to redirect_uri?[state=..&]code=4%2F0A..&scope=.. (the state
//        first, as Google sends it); a refusal redirects with
//        ?error=access_denied[&state=..]; a missing parameter, a PKCE method
//        other than S256 and plain, a malformed challenge or a non-loopback
//        redirect_uri is a 400 page, an unknown client a 401 page.
//   POST <prefix>/o/oauth2/token  (form: code, client_id, client_secret,
//        redirect_uri, grant_type=authorization_code[, code_verifier])
//        {"access_token":"ya29..","expires_in":3599,"refresh_token":"1//..","scope":..,"token_type":"Bearer"}
//        errors: 400 invalid_request, 400 unsupported_grant_type, 401
//        invalid_client, 400 redirect_uri_mismatch, 400 invalid_grant
//        "Bad Request" (unknown, used, expired or another client's code),
//        and for PKCE 400 invalid_grant "Missing code verifier.", "Invalid
//        code verifier." or "code_verifier or verifier is not needed." (a
//        verifier for a code issued without a challenge).
// The scope granted at the consent page is remembered with the token in the
// shared registry (issuer "google"). Server faults (5xx) are scenarios:
// SimServer::setResponse on the token path answers before this module.
// A client id beginning with "deny" stands for a user who refuses access.
class GoogleAccountsModule final : public OAuthServerModule {
public:
    explicit GoogleAccountsModule(std::shared_ptr<TokenRegistry> tokens);

    std::string defaultPrefix() const override { return simprefix::GoogleAccounts; }
    void install(SimServer &server, const std::string &prefix) override;
};

} // namespace veltrano::sim
