#pragma once

// What the simulated Yandex API hosts share: the OAuth token a request
// carries ("Authorization: OAuth <token>", as every Yandex API documents
// it), checked against the tokens the Yandex sign-in issued, and the error
// objects of each API with the statuses it documents for them. Included by
// the Yandex service modules' sources only.

#include "ServiceSupport.h"
#include "SimServer.h"
#include "TokenRegistry.h"

#include <string>
#include <variant>

namespace veltrano::sim::yandex {

using support::Json;

// The token of "Authorization: OAuth <token>" (the word OAuth in any letter
// case, spaces around the token dropped), "" when there is none.
std::string oauthToken(const RecordedRequest &request);

// Who a request speaks for: its token and what the Yandex sign-in granted.
struct Caller {
    std::string token;
    TokenRegistry::Grant grant;
};
// Why a request speaks for no one: it carries no token, or one that Yandex
// never issued (or a token of another issuer).
enum class TokenFault { Missing, Unknown };

std::variant<Caller, TokenFault> caller(const RecordedRequest &request, const TokenRegistry &tokens);

// Yandex Webmaster API v4: {"error_code":..,"error_message":..}, with the
// fields an error code names between them. escapeUnicode writes every
// non-ASCII character as a \u escape, like the module's other answers.
namespace webmaster {

Response error(int status, const std::string &code, const std::string &message, bool escapeUnicode);
// 401 INVALID_OAUTH_TOKEN without a token, 403 INVALID_OAUTH_TOKEN for an
// unknown one.
Response tokenRefused(TokenFault fault, bool escapeUnicode);
// 400 FIELD_VALIDATION_ERROR naming the parameter and the value sent.
Response invalidField(const std::string &name, const std::string &value, const std::string &message,
                      bool escapeUnicode);
// 403 INVALID_USER_ID naming the user id the token speaks for.
Response invalidUser(long long availableUserId, bool escapeUnicode);
// 404 HOST_NOT_VERIFIED for a host that is not a verified site of the user.
Response hostNotVerified(const std::string &hostId, bool escapeUnicode);
// 404 RESOURCE_NOT_FOUND naming the path asked for.
Response notFound(const std::string &path, bool escapeUnicode);
// 405 METHOD_NOT_ALLOWED.
Response methodNotAllowed(const std::string &method, bool escapeUnicode);

} // namespace webmaster

// Yandex Metrika (Management and Reporting APIs):
// {"errors":[{"error_type","message"}],"code","message"}, the message written
// twice and the status as "code".
namespace metrika {

Response error(int status, const std::string &type, const std::string &message);
// 401 unauthorized without a token, 403 invalid_token for an unknown one.
Response tokenRefused(TokenFault fault);
// 400 invalid_parameter.
Response invalidParameter(const std::string &message);
// 400 missing_parameter for a required parameter that is absent.
Response missingParameter(const std::string &name);
// 403 access_denied for a counter that is not the user's.
Response accessDenied();
// 404 not_found.
Response notFound();
// 405, which Metrika writes as invalid_parameter.
Response methodNotAllowed(const std::string &method);
// 429 quota_requests_by_uid once the user's daily requests are spent.
Response quotaExceeded();

} // namespace metrika

} // namespace veltrano::sim::yandex
