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
//        302 to redirect_uri?code=4%2F0A..&scope=..[&state=..]; a refusal
//        redirects with ?error=access_denied; a missing parameter or a
//        non-loopback redirect_uri is a 400 page, an unknown client a 401 page.
//   POST <prefix>/o/oauth2/token  (form: code, client_id, client_secret,
//        redirect_uri, grant_type=authorization_code)
//        {"access_token":"ya29..","expires_in":3599,"refresh_token":"1//..","scope":..,"token_type":"Bearer"}
//        errors: 400 invalid_request, 400 unsupported_grant_type, 401
//        invalid_client, 400 redirect_uri_mismatch, 400 invalid_grant
//        "Bad Request" (unknown, used, expired or another client's code).
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
