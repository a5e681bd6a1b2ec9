#include "GoogleAccountsModule.h"

#include "DemoAccounts.h"
#include "OAuthServerState.h"
#include "ServiceSupport.h"
#include "SimServer.h"
#include "TokenRegistry.h"

namespace veltrano::sim {

namespace {

using support::Json;

constexpr int kTokenLifetimeSeconds = 3599;

Response tokenError(int status, const std::string &error, const std::string &description)
{
    return support::jsonAnswer(Json{{"error", error}, {"error_description", description}}, status);
}

// The error page of the consent screen, "Error 400: invalid_request" style.
Response errorPage(int status, const std::string &error, const std::string &message)
{
    return support::htmlPage(status, "Error " + std::to_string(status) + ": " + error, message);
}

// A client id as the Google Cloud console gives them:
// "<project number>-<letters and digits>.apps.googleusercontent.com".
bool isOwnClientId(const std::string &clientId)
{
    static const std::string suffix = ".apps.googleusercontent.com";
    if (clientId.size() <= suffix.size() || clientId.compare(clientId.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string head = clientId.substr(0, clientId.size() - suffix.size());
    const size_t dash = head.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == head.size())
        return false;
    return head.find_first_not_of("0123456789") == dash &&
           head.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789", dash + 1) == std::string::npos;
}

Response authorize(OAuthServerState &state, const RecordedRequest &request)
{
    const std::string clientId = request.queryParam("client_id");
    const std::string redirectUri = request.queryParam("redirect_uri");
    const std::string responseType = request.queryParam("response_type");
    const std::string scope = request.queryParam("scope");
    const bool refusingClient = clientId.rfind("deny", 0) == 0;

    if (clientId.empty())
        return errorPage(400, "invalid_request", "Missing required parameter: client_id");
    if (!state.knowsClient(clientId) && isOwnClientId(clientId))
        state.adoptClient(clientId);
    if (!refusingClient && !state.knowsClient(clientId))
        return errorPage(401, "invalid_client", "The OAuth client was not found.");
    if (redirectUri.empty())
        return errorPage(400, "invalid_request", "Missing required parameter: redirect_uri");
    if (!support::isLoopbackUri(redirectUri))
        return errorPage(400, "redirect_uri_mismatch",
                         "The redirect URI in the request, " + redirectUri +
                             ", does not match the ones authorized for the OAuth client.");
    if (responseType.empty())
        return errorPage(400, "invalid_request", "Missing required parameter: response_type");
    if (scope.empty())
        return errorPage(400, "invalid_request", "Missing required parameter: scope");

    const bool hasState = support::hasParam(request.query, "state");
    const auto withState = [&](std::vector<std::pair<std::string, std::string>> p) {
        if (hasState)
            p.emplace_back("state", request.queryParam("state"));
        return p;
    };
    if (responseType != "code")
        return support::redirectTo(
            support::withQuery(redirectUri, withState({{"error", "unsupported_response_type"}})));
    // PKCE (RFC 7636): a challenge without a method is "plain".
    const std::string challenge = request.queryParam("code_challenge");
    std::string method = request.queryParam("code_challenge_method");
    if (!challenge.empty() && method.empty())
        method = "plain";
    if (!challenge.empty() && !OAuthServerState::isChallengeMethod(method))
        return errorPage(400, "invalid_request", "Invalid code_challenge_method: " + method);
    if (!challenge.empty() && !OAuthServerState::isPkceText(challenge))
        return errorPage(400, "invalid_request", "Invalid code_challenge.");
    if (refusingClient || state.refusesAccess())
        return support::redirectTo(support::withQuery(redirectUri, withState({{"error", "access_denied"}})));

    OAuthServerState::CodeGrant grant{clientId,
                                      redirectUri,
                                      scope,
                                      challenge,
                                      challenge.empty() ? std::string() : method,
                                      hasState,
                                      request.queryParam("state")};
    const std::string code = state.issueCode(
        grant, [](std::mt19937_64 &random) { return "4/0A" + support::randomText(random, support::kUrlSafe, 69); });
    // Google sends the state back first, then the code and the granted
    // scope; the "/" of the code comes percent-encoded.
    std::vector<std::pair<std::string, std::string>> params;
    if (hasState)
        params.emplace_back("state", request.queryParam("state"));
    params.emplace_back("code", code);
    params.emplace_back("scope", scope);
    return support::redirectTo(support::withQuery(redirectUri, params));
}

// grant_type=refresh_token: a new access token for the refresh token; the
// answer carries no refresh token (the old one stays good until revoked).
Response refresh(OAuthServerState &state, TokenRegistry &tokens, const RecordedRequest &request)
{
    for (const char *field : {"client_id", "refresh_token"}) {
        if (request.formParam(field).empty())
            return tokenError(400, "invalid_request", std::string("Missing required parameter: ") + field);
    }
    const std::string clientId = request.formParam("client_id");
    if (!state.knowsClient(clientId))
        return tokenError(401, "invalid_client", "The OAuth client was not found.");
    if (!state.secretMatches(clientId, request.formParam("client_secret")))
        return tokenError(401, "invalid_client", "Unauthorized");
    OAuthServerState::RefreshGrant grant;
    switch (state.redeemRefresh(request.formParam("refresh_token"), clientId, grant)) {
    case OAuthServerState::RefreshRedemption::Granted:
        break;
    case OAuthServerState::RefreshRedemption::OtherClient:
        return tokenError(400, "unauthorized_client", "Unauthorized");
    default:
        return tokenError(400, "invalid_grant", "Token has been expired or revoked.");
    }
    const auto lifetime = state.accessTokenLifetime(std::chrono::seconds(kTokenLifetimeSeconds));
    const std::string accessToken = "ya29.a0" + state.randomText(support::kUrlSafe, 150);
    tokens.add(accessToken, {"google", clientId, grant.scope, grant.userId}, std::chrono::steady_clock::now() + lifetime);
    return support::jsonAnswer(Json{{"access_token", accessToken},
                                    {"expires_in", static_cast<long long>(lifetime.count())},
                                    {"scope", grant.scope},
                                    {"token_type", "Bearer"}});
}

Response token(OAuthServerState &state, TokenRegistry &tokens, const RecordedRequest &request)
{
    if (request.formParam("grant_type") == "refresh_token")
        return refresh(state, tokens, request);
    for (const char *field : {"code", "client_id", "redirect_uri", "grant_type"}) {
        if (request.formParam(field).empty())
            return tokenError(400, "invalid_request", std::string("Missing required parameter: ") + field);
    }
    const std::string grantType = request.formParam("grant_type");
    if (grantType != "authorization_code")
        return tokenError(400, "unsupported_grant_type", "Invalid grant_type: " + grantType);
    const std::string clientId = request.formParam("client_id");
    if (!state.knowsClient(clientId))
        return tokenError(401, "invalid_client", "The OAuth client was not found.");
    if (!state.secretMatches(clientId, request.formParam("client_secret")))
        return tokenError(401, "invalid_client", "Unauthorized");

    OAuthServerState::CodeGrant grant;
    switch (state.redeem(request.formParam("code"), clientId, request.formParam("redirect_uri"), true,
                         request.formParam("code_verifier"), true, grant)) {
    case OAuthServerState::Redemption::Granted:
        break;
    case OAuthServerState::Redemption::OtherRedirect:
        return tokenError(400, "redirect_uri_mismatch", "Bad Request");
    case OAuthServerState::Redemption::MissingVerifier:
        return tokenError(400, "invalid_grant", "Missing code verifier.");
    case OAuthServerState::Redemption::WrongVerifier:
        return tokenError(400, "invalid_grant", "Invalid code verifier.");
    case OAuthServerState::Redemption::UnexpectedVerifier:
        return tokenError(400, "invalid_grant", "code_verifier or verifier is not needed.");
    default:
        return tokenError(400, "invalid_grant", "Bad Request");
    }

    const auto lifetime = state.accessTokenLifetime(std::chrono::seconds(kTokenLifetimeSeconds));
    const std::string accessToken = "ya29.a0" + state.randomText(support::kUrlSafe, 150);
    const std::string refreshToken = "1//0" + state.randomText(support::kUrlSafe, 99);
    tokens.add(accessToken, {"google", clientId, grant.scope, state.userId()}, std::chrono::steady_clock::now() + lifetime);
    state.addRefreshToken(refreshToken, {clientId, grant.scope, state.userId(), false});
    return support::jsonAnswer(Json{{"access_token", accessToken},
                                    {"expires_in", static_cast<long long>(lifetime.count())},
                                    {"refresh_token", refreshToken},
                                    {"scope", grant.scope},
                                    {"token_type", "Bearer"}});
}

} // namespace

GoogleAccountsModule::GoogleAccountsModule(std::shared_ptr<TokenRegistry> tokens)
    : OAuthServerModule(std::move(tokens))
{
    m_state->addClient(demo::kGoogleClientId, demo::kGoogleClientSecret);
    m_state->setUserId(demo::kGoogleUserId);
}

void GoogleAccountsModule::install(SimServer &server, const std::string &prefix)
{
    installSignInRecord(server, prefix);
    installSettingsControl(server, prefix);
    server.addHandler("*", prefix, [state = m_state, tokens = m_tokens, prefix](const RecordedRequest &request) {
        const std::string path = request.path.substr(prefix.size());
        const bool get = request.method == "GET" || request.method == "HEAD";
        if (path == "/o/oauth2/auth" || path == "/o/oauth2/auth/oauthchooseaccount" || path == "/o/oauth2/v2/auth")
            return get ? authorize(*state, request)
                       : errorPage(405, "invalid_request", "Method " + request.method + " is not allowed here.");
        if (path == "/o/oauth2/token")
            return request.method == "POST" ? token(*state, *tokens, request)
                                            : tokenError(405, "invalid_request", "Method not allowed");
        return errorPage(404, "not_found", "The requested URL was not found on this server.");
    });
}

} // namespace veltrano::sim
