#include "YandexOAuthModule.h"

#include "DemoAccounts.h"
#include "OAuthServerState.h"
#include "ServiceSupport.h"
#include "SimServer.h"
#include "TokenRegistry.h"

namespace veltrano::sim {

namespace {

using support::Json;

constexpr long long kTokenLifetimeSeconds = 31536000; // one year, as Yandex issues them

Response tokenError(int status, const std::string &error, const std::string &description)
{
    return support::jsonAnswer(Json{{"error", error}, {"error_description", description}}, status);
}

// A ClientID as Yandex OAuth gives them: 32 lowercase hexadecimal digits.
bool isOwnClientId(const std::string &clientId)
{
    return clientId.size() == 32 && clientId.find_first_not_of("0123456789abcdef") == std::string::npos;
}

Response authorize(OAuthServerState &state, const RecordedRequest &request)
{
    const std::string clientId = request.queryParam("client_id");
    const std::string redirectUri = request.queryParam("redirect_uri");
    const std::string responseType = request.queryParam("response_type");
    const bool refusingClient = clientId.rfind("deny", 0) == 0;

    if (clientId.empty())
        return support::htmlPage(400, "Yandex OAuth", "The request has no client_id.");
    if (!state.knowsClient(clientId) && isOwnClientId(clientId))
        state.adoptClient(clientId);
    if (!refusingClient && !state.knowsClient(clientId))
        return support::htmlPage(400, "Yandex OAuth", "Application with client_id \"" + clientId + "\" was not found.");
    if (redirectUri.empty())
        return support::htmlPage(400, "Yandex OAuth", "The request has no redirect_uri.");
    if (!support::isLoopbackUri(redirectUri))
        return support::htmlPage(400, "Yandex OAuth",
                                 "redirect_uri \"" + redirectUri + "\" is not registered for this application.");

    // From here on the answer goes back to the application, as RFC 6749
    // has it for a valid client and redirect address.
    std::vector<std::pair<std::string, std::string>> params;
    const bool hasState = support::hasParam(request.query, "state");
    const auto withState = [&](std::vector<std::pair<std::string, std::string>> p) {
        if (hasState)
            p.emplace_back("state", request.queryParam("state"));
        return p;
    };
    if (responseType != "code")
        return support::redirectTo(support::withQuery(
            redirectUri, withState({{"error", "unsupported_response_type"},
                                    {"error_description", "Unsupported response_type \"" + responseType + "\""}})));
    // PKCE (RFC 7636): a challenge without a method is "plain".
    const std::string challenge = request.queryParam("code_challenge");
    std::string method = request.queryParam("code_challenge_method");
    if (!challenge.empty() && method.empty())
        method = "plain";
    if (!challenge.empty() &&
        (!OAuthServerState::isChallengeMethod(method) || !OAuthServerState::isPkceText(challenge)))
        return support::redirectTo(support::withQuery(
            redirectUri, withState({{"error", "invalid_request"},
                                    {"error_description", "Invalid code_challenge or code_challenge_method"}})));
    if (refusingClient || state.refusesAccess())
        return support::redirectTo(support::withQuery(
            redirectUri, withState({{"error", "access_denied"}, {"error_description", "User denied access"}})));

    OAuthServerState::CodeGrant grant{clientId,
                                      redirectUri,
                                      request.queryParam("scope"),
                                      challenge,
                                      challenge.empty() ? std::string() : method,
                                      hasState,
                                      request.queryParam("state")};
    const std::string code = state.issueCode(grant, [](std::mt19937_64 &random) {
        // Seven digits, never starting with 0, like the codes Yandex hands out.
        return support::randomText(random, "123456789", 1) + support::randomText(random, support::kDigits, 6);
    });
    return support::redirectTo(support::withQuery(redirectUri, withState({{"code", code}})));
}

// A new access token with a new refresh token, as Yandex answers both the
// code and the refresh grant.
Response issueTokens(OAuthServerState &state, TokenRegistry &tokens, const std::string &clientId,
                     const std::string &scope, long long userId)
{
    const auto lifetime = state.accessTokenLifetime(std::chrono::seconds(kTokenLifetimeSeconds));
    const std::string accessToken = "y0_" + state.randomText(support::kUrlSafe, 55);
    const std::string refreshToken =
        "1:" + state.randomText(support::kUrlSafe, 16) + ":" + state.randomText(support::kUrlSafe, 60);
    tokens.add(accessToken, {"yandex", clientId, scope, userId}, std::chrono::steady_clock::now() + lifetime);
    state.addRefreshToken(refreshToken, {clientId, scope, userId, false});
    return support::jsonAnswer(Json{{"token_type", "bearer"},
                                    {"access_token", accessToken},
                                    {"expires_in", static_cast<long long>(lifetime.count())},
                                    {"refresh_token", refreshToken}});
}

// grant_type=refresh_token: the refresh token and the application's
// credentials give a new pair of tokens; the old refresh token stays good.
Response refresh(OAuthServerState &state, TokenRegistry &tokens, const RecordedRequest &request)
{
    for (const char *field : {"refresh_token", "client_id", "client_secret"}) {
        if (request.formParam(field).empty())
            return tokenError(400, "invalid_request", std::string(field) + " not in POST");
    }
    const std::string clientId = request.formParam("client_id");
    if (!state.knowsClient(clientId))
        return tokenError(401, "invalid_client", "Client not found");
    if (!state.secretMatches(clientId, request.formParam("client_secret")))
        return tokenError(401, "invalid_client", "Wrong client secret");
    OAuthServerState::RefreshGrant grant;
    if (state.redeemRefresh(request.formParam("refresh_token"), clientId, grant) !=
        OAuthServerState::RefreshRedemption::Granted)
        return tokenError(400, "invalid_grant", "Invalid refresh token");
    return issueTokens(state, tokens, clientId, grant.scope, grant.userId);
}

Response token(OAuthServerState &state, TokenRegistry &tokens, const RecordedRequest &request)
{
    const std::string grantType = request.formParam("grant_type");
    if (grantType.empty())
        return tokenError(400, "invalid_request", "grant_type not in POST");
    if (grantType == "refresh_token")
        return refresh(state, tokens, request);
    if (grantType != "authorization_code")
        return tokenError(400, "unsupported_grant_type", "Unsupported grant_type \"" + grantType + "\"");
    for (const char *field : {"code", "client_id", "client_secret"}) {
        if (request.formParam(field).empty())
            return tokenError(400, "invalid_request", std::string(field) + " not in POST");
    }
    const std::string clientId = request.formParam("client_id");
    if (!state.knowsClient(clientId))
        return tokenError(401, "invalid_client", "Client not found");
    if (!state.secretMatches(clientId, request.formParam("client_secret")))
        return tokenError(401, "invalid_client", "Wrong client secret");

    // Every refused code, a failed PKCE check included, gets Yandex's one
    // answer; a code_verifier for a code issued without a challenge is
    // ignored.
    OAuthServerState::CodeGrant grant;
    if (state.redeem(request.formParam("code"), clientId, {}, false, request.formParam("code_verifier"), false,
                     grant) != OAuthServerState::Redemption::Granted)
        return tokenError(400, "invalid_grant", "Code has expired");

    return issueTokens(state, tokens, clientId, grant.scope, state.userId());
}

} // namespace

YandexOAuthModule::YandexOAuthModule(std::shared_ptr<TokenRegistry> tokens)
    : OAuthServerModule(std::move(tokens))
{
    m_state->addClient(demo::kYandexWebmasterClientId, demo::kYandexWebmasterClientSecret);
    m_state->addClient(demo::kYandexMetrikaClientId, demo::kYandexMetrikaClientSecret);
    m_state->setUserId(demo::kYandexUserId);
}

void YandexOAuthModule::install(SimServer &server, const std::string &prefix)
{
    installSignInRecord(server, prefix);
    installSettingsControl(server, prefix);
    server.addHandler("*", prefix, [state = m_state, tokens = m_tokens, prefix](const RecordedRequest &request) {
        const std::string path = request.path.substr(prefix.size());
        const bool get = request.method == "GET" || request.method == "HEAD";
        if (path == "/authorize")
            return get ? authorize(*state, request)
                       : support::htmlPage(405, "Yandex OAuth", "Method " + request.method + " is not allowed here.");
        if (path == "/token")
            return request.method == "POST" ? token(*state, *tokens, request)
                                            : tokenError(405, "invalid_request", "Method not allowed");
        return support::htmlPage(404, "Yandex OAuth", "No such page.");
    });
}

} // namespace veltrano::sim
