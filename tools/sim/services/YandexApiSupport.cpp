#include "YandexApiSupport.h"

#include <strings.h>

namespace veltrano::sim::yandex {

std::string oauthToken(const RecordedRequest &request)
{
    const std::string value = request.header("Authorization");
    if (value.size() < 6 || strncasecmp(value.c_str(), "OAuth ", 6) != 0)
        return {};
    const size_t start = value.find_first_not_of(' ', 6);
    if (start == std::string::npos)
        return {};
    return value.substr(start, value.find_last_not_of(' ') + 1 - start);
}

std::variant<Caller, TokenFault> caller(const RecordedRequest &request, const TokenRegistry &tokens)
{
    std::string token = oauthToken(request);
    if (token.empty())
        return TokenFault::Missing;
    auto grant = tokens.find(token);
    if (!grant || grant->issuer != "yandex")
        return TokenFault::Unknown;
    return Caller{std::move(token), std::move(*grant)};
}

namespace webmaster {

Response error(int status, const std::string &code, const std::string &message, bool escapeUnicode)
{
    return support::jsonAnswer(Json{{"error_code", code}, {"error_message", message}}, status, escapeUnicode);
}

Response tokenRefused(TokenFault fault, bool escapeUnicode)
{
    if (fault == TokenFault::Missing)
        return error(401, "INVALID_OAUTH_TOKEN", "OAuth token is missing", escapeUnicode);
    return error(403, "INVALID_OAUTH_TOKEN", "Invalid oauth token", escapeUnicode);
}

Response invalidField(const std::string &name, const std::string &value, const std::string &message, bool escapeUnicode)
{
    return support::jsonAnswer(Json{{"error_code", "FIELD_VALIDATION_ERROR"},
                                    {"field_name", name},
                                    {"field_value", value},
                                    {"error_message", message}},
                               400, escapeUnicode);
}

Response invalidUser(long long availableUserId, bool escapeUnicode)
{
    return support::jsonAnswer(
        Json{{"error_code", "INVALID_USER_ID"},
             {"available_user_id", availableUserId},
             {"error_message", "Invalid user id. " + std::to_string(availableUserId) + " should be used."}},
        403, escapeUnicode);
}

Response hostNotVerified(const std::string &hostId, bool escapeUnicode)
{
    return support::jsonAnswer(Json{{"error_code", "HOST_NOT_VERIFIED"},
                                    {"host_id", hostId},
                                    {"error_message", "Host " + hostId + " is not verified by the user"}},
                               404, escapeUnicode);
}

Response notFound(const std::string &path, bool escapeUnicode)
{
    return error(404, "RESOURCE_NOT_FOUND", "No resource " + path, escapeUnicode);
}

Response methodNotAllowed(const std::string &method, bool escapeUnicode)
{
    return error(405, "METHOD_NOT_ALLOWED", "Method " + method + " is not allowed", escapeUnicode);
}

} // namespace webmaster

namespace metrika {

Response error(int status, const std::string &type, const std::string &message)
{
    return support::jsonAnswer(Json{{"errors", Json::array({Json{{"error_type", type}, {"message", message}}})},
                                    {"code", status},
                                    {"message", message}},
                               status);
}

Response tokenRefused(TokenFault fault)
{
    if (fault == TokenFault::Missing)
        return error(401, "unauthorized", "Unauthorized");
    return error(403, "invalid_token", "Invalid oauth_token");
}

Response invalidParameter(const std::string &message)
{
    return error(400, "invalid_parameter", message);
}

Response missingParameter(const std::string &name)
{
    return error(400, "missing_parameter", "Required parameter '" + name + "' is missing");
}

Response accessDenied()
{
    return error(403, "access_denied", "Access is denied");
}

Response notFound()
{
    return error(404, "not_found", "Entity not found");
}

Response methodNotAllowed(const std::string &method)
{
    return error(405, "invalid_parameter", "Method " + method + " is not allowed");
}

Response quotaExceeded()
{
    return error(429, "quota_requests_by_uid", "Quota exceeded: the daily limit of requests to the API for this user");
}

} // namespace metrika

} // namespace veltrano::sim::yandex
